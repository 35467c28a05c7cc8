// The hand-off to the external plotter: what the flat file carries (read back by a reader of
// the documented layout), where its path is recorded, which program is started with which
// arguments, and one real start of a small script standing in for the plotter.
#include "display/plotter_handoff.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "platform/qt_process_launcher.h"
#include "platform/qt_settings.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A reader of docs/plotter-flat-file.md, written from the document, not from the writer.
class FlatFileReader {
public:
    explicit FlatFileReader(std::string bytes) : bytes_(std::move(bytes)) {}
    std::int32_t Int() {
        if (!Need(4)) return 0;
        std::uint32_t u = 0;
        for (int k = 3; k >= 0; --k) u = (u << 8) | static_cast<unsigned char>(bytes_[at_ + k]);
        at_ += 4;
        return static_cast<std::int32_t>(u);
    }
    float Float() {
        const std::int32_t i = Int();
        float f = 0;
        std::memcpy(&f, &i, sizeof f);
        return f;
    }
    std::string String() {
        const std::int32_t n = Int();
        if (n < 0 || !Need(static_cast<size_t>(n))) return {};
        std::string s = bytes_.substr(at_, static_cast<size_t>(n));
        at_ += static_cast<size_t>(n);
        return s;
    }
    bool AtEnd() const { return ok_ && at_ == bytes_.size(); }
    bool Ok() const { return ok_; }

private:
    bool Need(size_t n) {
        if (bytes_.size() - at_ < n) ok_ = false;
        return ok_;
    }
    std::string bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

struct ReadFlatFile {
    int format = 0, version = 0, nColumn = 0, nLayer = 0;
    std::vector<float> x, z, res;
    float fMin = 0, fMax = 0;
    std::vector<std::pair<std::string, float>> markers;
    std::string unit, title, legend;
    int zone = 0;
    float labelHeight = 0, labelInterval = 0;
    int showMarkers = 0, contour = 0, colors = 0;
    bool complete = false;
};

ReadFlatFile Read(const std::string& bytes) {
    FlatFileReader in(bytes);
    ReadFlatFile f;
    f.format = in.Int();
    f.version = in.Int();
    f.nColumn = in.Int();
    f.nLayer = in.Int();
    for (int k = 0; k < f.nColumn * f.nLayer && in.Ok(); ++k) {
        f.x.push_back(in.Float());
        f.z.push_back(in.Float());
    }
    for (int k = 0; k < f.nColumn * f.nLayer && in.Ok(); ++k) f.res.push_back(in.Float());
    f.fMin = in.Float();
    f.fMax = in.Float();
    const int nMarker = in.Int();
    for (int k = 0; k < nMarker && in.Ok(); ++k) {
        std::string label = in.String();
        f.markers.emplace_back(label, in.Float());
    }
    f.unit = in.String();
    f.title = in.String();
    f.legend = in.String();
    f.zone = in.Int();
    f.labelHeight = in.Float();
    f.labelInterval = in.Float();
    f.showMarkers = in.Int();
    f.contour = in.Int();
    f.colors = in.Int();
    f.complete = in.AtEnd();
    return f;
}

// Records every start and says yes to the programs it is told to.
class RecordingLauncher : public CProcessLauncher {
public:
    bool Start(const fs::path& program, const std::vector<std::string>& arguments) override {
        started.push_back(program.string());
        lastArguments = arguments;
        for (const auto& p : starting)
            if (p == program.string()) return true;
        return false;
    }
    std::vector<std::string> starting;  // programs that start
    std::vector<std::string> started;   // every attempt, in order
    std::vector<std::string> lastArguments;
};

class PlotterHandOff : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings);
        SetLanguage(kLanguageEnglish);
        doc = std::make_unique<CBrivaneDoc>();
        ctx = std::make_unique<CBrivaneContext>(*doc, view, prompter);
        folder = fs::temp_directory_path() /
                 ("gantrel_plotter_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        doc->dataFolder = folder;
        table = BuildBrivaneCommands();
        RegisterPlotterCommands(table, launcher);
    }
    void TearDown() override {
        ctx.reset();
        doc.reset();
        fs::remove_all(folder);
        SetSettingsBackend(nullptr);
    }
    // Two columns at 0 and 10 m with two layers (tops 0 and -5 m).
    void MakeModel() {
        CTrevascDataOhm& s = doc->store;
        s.nColumn = s.nBoundaryColumn = s.nModelColumn = 2;
        s.nLayer = s.nBoundary = 2;
        const float res[2][2] = {{100.0f, 300.0f}, {200.0f, 400.0f}};
        for (int c = 0; c < 2; ++c) {
            for (int j = 0; j < 2; ++j) {
                s.fBoundaryX[c][j] = 10.0f * static_cast<float>(c);
                s.fBoundaryElevation[c][j] = j == 0 ? 0.0f : -5.0f;
                s.fLayerResistivity[c][j] = res[c][j];
            }
        }
    }
    fs::path FlatFile() const { return folder / "Marbeck_flat_file_new.geo"; }

    CMemorySettingsBackend settings;
    std::unique_ptr<CBrivaneDoc> doc;
    CBrivaneViewState view;
    CScriptedPrompter prompter;
    std::unique_ptr<CBrivaneContext> ctx;
    fs::path folder;
    RecordingLauncher launcher;
    CCommandTable table;
};

TEST_F(PlotterHandOff, FlatFileCarriesTheModelMarkersTextsAndZone) {
    MakeModel();
    for (int l = 0; l < 2; ++l) {
        CGantrelLine& line = *doc->survey.AddLine();
        for (int m = 0; m < 2; ++m) line.AddMarker()->fDistance = 25.0f * static_cast<float>(m) + l;
    }
    WriteSuiteInt("iUTMZone", 54);
    doc->sPlotterLocation = "/opt/plotter";
    launcher.starting = {"/opt/plotter"};
    ASSERT_TRUE(table.Invoke(*ctx, kCmdShowModelPlotter));

    EXPECT_EQ(ReadFlatFileName(), FlatFile().string()) << "its full path in the plotter settings";
    const ReadFlatFile f = Read(Slurp(FlatFile()));
    ASSERT_TRUE(f.complete) << "every item there and nothing after them";
    EXPECT_EQ(f.format, 21);
    EXPECT_EQ(f.version, 1);
    EXPECT_EQ(f.nColumn, 2);
    EXPECT_EQ(f.nLayer, 2);
    EXPECT_EQ(f.x, (std::vector<float>{0, 0, 10, 10}));
    EXPECT_EQ(f.z, (std::vector<float>{0, -5, 0, -5}));
    EXPECT_EQ(f.res, (std::vector<float>{100, 300, 200, 400}));
    EXPECT_EQ(f.fMin, 100.0f);
    EXPECT_EQ(f.fMax, 400.0f);
    ASSERT_EQ(f.markers.size(), 4u);
    EXPECT_EQ(f.markers[0].first, "Marker:0-0");
    EXPECT_EQ(f.markers[3].first, "Marker:1-1");
    EXPECT_EQ(f.markers[3].second, 26.0f);
    EXPECT_EQ(f.unit, "Ohm-m");
    EXPECT_EQ(f.title, "Resistivity model");
    EXPECT_EQ(f.legend, "Resistivity");
    EXPECT_EQ(f.zone, 54);
    EXPECT_EQ(doc->store.iUTMZone, 54);
    EXPECT_EQ(f.labelHeight, 2.0f);
    EXPECT_EQ(f.labelInterval, 10.0f);
    EXPECT_EQ(f.showMarkers, 1);
    EXPECT_EQ(f.contour, -1);
    EXPECT_EQ(f.colors, 4);
}

TEST_F(PlotterHandOff, DocumentedExampleHasItsSizeAndFirstBytes) {
    MakeModel();
    const std::string bytes = SerializeFlatFile(BuildFlatFile(doc->store, doc->survey, 54));
    EXPECT_EQ(bytes.size(), 145u);
    const unsigned char first[32] = {0x15, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,
                                     0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xa0, 0xc0};
    EXPECT_EQ(bytes.substr(0, 32), std::string(reinterpret_cast<const char*>(first), 32));
}

TEST_F(PlotterHandOff, AtMostAHundredMarkerLabels) {
    MakeModel();
    for (int l = 0; l < 3; ++l) {
        CGantrelLine& line = *doc->survey.AddLine();
        for (int m = 0; m < 40; ++m) line.AddMarker();
    }
    const CPlotterFlatFile f = BuildFlatFile(doc->store, doc->survey, 0);
    ASSERT_EQ(f.markers.size(), 100u);
    EXPECT_EQ(f.markers.back().sText, "Marker:2-19");
}

TEST_F(PlotterHandOff, TheStoredProgramStartsWithTheArgumentList) {
    MakeModel();
    doc->sPlotterLocation = "/opt/x/marbeck";
    launcher.starting = {"/opt/x/marbeck"};
    ASSERT_TRUE(HandOffToPlotter(*ctx, launcher));
    EXPECT_EQ(launcher.started, std::vector<std::string>{"/opt/x/marbeck"});
    EXPECT_EQ(launcher.lastArguments,
              (std::vector<std::string>{"-0", "-100", "-20", "-10", "-1", "-10", "-0"}));
    EXPECT_TRUE(prompter.History().empty());
}

TEST_F(PlotterHandOff, SearchListIsTriedInOrderEachStoredFirst) {
    MakeModel();
    doc->sPlotterLocation = "/gone/marbeck";
    const auto& list = PlotterSearchList();
    ASSERT_EQ(list.size(), 4u);
    launcher.starting = {list[2]};
    ASSERT_TRUE(HandOffToPlotter(*ctx, launcher));
    EXPECT_EQ(launcher.started,
              (std::vector<std::string>{"/gone/marbeck", list[0], list[1], list[2]}));
    EXPECT_EQ(doc->sPlotterLocation, list[2]);
}

TEST_F(PlotterHandOff, NoneStartsSoTheUserLocatesTheProgram) {
    MakeModel();
    doc->sPlotterLocation = "/gone/marbeck";
    launcher.starting = {"/home/me/marbeck"};
    prompter.Push(std::vector<fs::path>{"/home/me/marbeck"});
    ASSERT_TRUE(HandOffToPlotter(*ctx, launcher));
    EXPECT_EQ(prompter.Messages(), std::vector<std::string>{
                                       "Can not execute Marbeck. Please set the location of "
                                       "Marbeck.exe"});
    ASSERT_EQ(launcher.started.size(), 6u);
    EXPECT_EQ(launcher.started.back(), "/home/me/marbeck");
    EXPECT_EQ(doc->sPlotterLocation, "/home/me/marbeck");
    EXPECT_FALSE(ctx->failure);

    // Cancel at the locate dialog ends the hand-off.
    launcher.starting.clear();
    launcher.started.clear();
    prompter.ClearHistory();
    prompter.Push(std::vector<fs::path>{"/still/wrong"});
    prompter.PushCancel();
    EXPECT_FALSE(HandOffToPlotter(*ctx, launcher));
    EXPECT_EQ(launcher.started.size(), 10u) << "stored, list, picked, list again";
    EXPECT_EQ(prompter.Messages().size(), 2u) << "asked as often as the pick does not start";
    EXPECT_TRUE(ctx->failure);
}

TEST_F(PlotterHandOff, FlatFileThatCannotBeWrittenStartsNothing) {
    MakeModel();
    doc->dataFolder = folder / "missing";
    EXPECT_FALSE(HandOffToPlotter(*ctx, launcher));
    EXPECT_TRUE(launcher.started.empty()) << "the plotter would show an old model";
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"Cannot open the file " +
                                       (folder / "missing" / "Marbeck_flat_file_new.geo").string()});
}

TEST_F(PlotterHandOff, EnabledWithALayerAndAModelColumn) {
    EXPECT_FALSE(table.IsEnabled(*ctx, kCmdShowModelPlotter));
    doc->store.nLayer = 1;
    EXPECT_FALSE(table.IsEnabled(*ctx, kCmdShowModelPlotter));
    doc->store.nModelColumn = 1;
    EXPECT_TRUE(table.IsEnabled(*ctx, kCmdShowModelPlotter));
}

TEST_F(PlotterHandOff, LocationSurvivesOnlyThroughTheDocument) {
    EXPECT_EQ(doc->sPlotterLocation, kDefaultPlotterLocation);
    EXPECT_FALSE(settings.Contains(SettingsScope::Profile, "MarbeckString"));
    doc->sPlotterLocation = "/found/marbeck";
    ctx.reset();
    doc.reset();
    EXPECT_EQ(ReadSettingString("MarbeckString", ""), "/found/marbeck");
    CBrivaneDoc again;
    EXPECT_EQ(again.sPlotterLocation, "/found/marbeck");
}

// ---------------------------------------------------------------------------------------------
// A real start: a script stands in for the plotter and keeps what it was given.

class RealPlotter : public PlotterHandOff {
protected:
    void SetUp() override {
        PlotterHandOff::SetUp();
        if (QCoreApplication::instance() == nullptr)
            app = std::make_unique<QCoreApplication>(argc, argv);
        // The plotter reads the settings files, as the program's real settings write them.
        qtSettings = std::make_unique<CQtSettingsBackend>(kProcessingProgramTitle);
        SetSettingsBackend(qtSettings.get());
    }
    void TearDown() override {
        PlotterHandOff::TearDown();
        qtSettings.reset();
    }
    // A name a command interpreter would split and run as two commands.
    fs::path WriteScript() {
        const fs::path script = folder / "mar beck;touch injected";
        std::ofstream(script) << "#!/bin/sh\n"
                                 "here=$(dirname \"$0\")\n"
                                 "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$here/args.tmp\"\n"
                                 "flat=$(sed -n 's/^Marbeck_flat_file_name=//p' "
                                 "\"$XDG_CONFIG_HOME/Rundle/Setting.ini\")\n"
                                 "cp \"$flat\" \"$here/received.tmp\"\n"
                                 "mv \"$here/args.tmp\" \"$here/args.txt\"\n"
                                 "mv \"$here/received.tmp\" \"$here/received.geo\"\n";
        ::chmod(script.c_str(), 0755);
        return script;
    }
    bool WaitFor(const fs::path& p) {
        for (int i = 0; i < 200; ++i) {
            if (fs::exists(p)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    int argc = 1;
    char name[16] = "plotter_tests";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    std::unique_ptr<CQtSettingsBackend> qtSettings;
    CQtProcessLauncher real;
};

TEST_F(RealPlotter, ScriptGetsTheArgumentsAndTheFlatFile) {
    MakeModel();
    doc->sPlotterLocation = WriteScript().string();
    ASSERT_TRUE(HandOffToPlotter(*ctx, real));
    ASSERT_TRUE(WaitFor(folder / "received.geo")) << "the script did not run";
    EXPECT_EQ(Slurp(folder / "args.txt"), "-0\n-100\n-20\n-10\n-1\n-10\n-0\n");
    EXPECT_EQ(Slurp(folder / "received.geo"), Slurp(FlatFile()))
        << "found through the settings record";
    EXPECT_TRUE(Read(Slurp(folder / "received.geo")).complete);
    EXPECT_FALSE(fs::exists(folder / "injected")) << "no command interpreter in between";
}

TEST_F(RealPlotter, WhatCannotStartIsRefused) {
    EXPECT_FALSE(real.Start(folder / "missing", {}));
    EXPECT_FALSE(real.Start(folder, {})) << "a folder";
    const fs::path plain = folder / "plain.txt";
    std::ofstream(plain) << "not a program\n";
    ::chmod(plain.c_str(), 0644);
    EXPECT_FALSE(real.Start(plain, {})) << "not executable";
    EXPECT_FALSE(real.Start("sh", {"-c", "true"})) << "a bare name is not looked up on PATH";
}

}  // namespace
