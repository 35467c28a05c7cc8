#include "processing/batch.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/text_format.h"

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/settings.h"
#include "processing/commands.h"
#include "tests/processing/logger_file.h"

namespace {

namespace fs = std::filesystem;

std::optional<BatchOptions> Parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string e;
    auto o = ParseBatchOptions(args, e);
    if (error) *error = e;
    return o;
}

TEST(BatchOptions, ParsesEveryOption) {
    auto o = Parse({"a.sto", "--config", "4", "--marker-spacing", "25", "--file-index", "3",
                    "--kml", "--median", "5", "--grid", "2.5", "--initial-model", "1:12.5:8:100",
                    "--invert", "7:0.3:0.5:0.02", "--smooth", "h-median:5", "--smooth",
                    "v-average", "--png", "model:/tmp/m.png", "b.stn", "--lang", "ja"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->files, (std::vector<fs::path>{"a.sto", "b.stn"}));
    EXPECT_EQ(o->iConfiguration, 4);
    EXPECT_EQ(o->dMarkerSpacing, 25.0);
    EXPECT_EQ(o->iFileIndex, 3);
    EXPECT_TRUE(o->bKml);
    EXPECT_EQ(o->iMedian, 5);
    EXPECT_EQ(o->dGrid, 2.5);
    ASSERT_TRUE(o->initialModel);
    EXPECT_EQ(o->initialModel->iMode, 1);
    EXPECT_EQ(o->initialModel->fDepth, 12.5f);
    EXPECT_EQ(o->initialModel->nLayer, 8);
    EXPECT_EQ(o->initialModel->fResistivity, 100.0f);
    ASSERT_TRUE(o->inversion);
    EXPECT_EQ(o->inversion->nIteration, 7);
    EXPECT_EQ(o->inversion->dDamping, 0.02);
    ASSERT_EQ(o->smoothing.size(), 2u);
    EXPECT_EQ(o->smoothing[0].iLength, 5);
    EXPECT_EQ(o->smoothing[1].sKind, "v-average");
    ASSERT_EQ(o->pictures.size(), 1u);
    EXPECT_EQ(o->pictures[0].sDisplay, "model");
    EXPECT_EQ(o->iLanguage, kLanguageJapanese);
}

TEST(BatchOptions, BadValuesNameTheOption) {
    std::string e;
    EXPECT_FALSE(Parse({"--config", "6"}, &e));
    EXPECT_EQ(e, "--config takes a survey configuration from 0 to 5, not \"6\"");
    EXPECT_FALSE(Parse({"--median", "4"}, &e));
    EXPECT_FALSE(Parse({"--grid", "-1"}, &e));
    EXPECT_FALSE(Parse({"--grid", "2x"}, &e));
    EXPECT_FALSE(Parse({"--initial-model", "0:10"}, &e));
    EXPECT_FALSE(Parse({"--invert", "five"}, &e));
    EXPECT_FALSE(Parse({"--smooth", "h-average:3"}, &e));
    EXPECT_FALSE(Parse({"--png", "map:/tmp/x.png"}, &e));
    EXPECT_FALSE(Parse({"--png", "model:"}, &e));
    EXPECT_FALSE(Parse({"--save-ovs"}, &e));
    EXPECT_EQ(e, "option --save-ovs needs a value");
    EXPECT_FALSE(Parse({"--frobnicate", "1"}, &e));
    EXPECT_EQ(e, "unknown option --frobnicate (see --help)");
}

TEST(BatchOptions, UnknownOptionLastIsUnknownNotShortOfAValue) {
    std::string e;
    EXPECT_FALSE(Parse({"a.sto", "--foo"}, &e));
    EXPECT_EQ(e, "unknown option --foo (see --help)");
    EXPECT_FALSE(Parse({"--save-ovs", "--grid", "2", "a.sto"}, &e));
    EXPECT_EQ(e, "option --save-ovs needs a value");
}

TEST(BatchOptions, MarkerSpacingIsBounded) {
    std::string e;
    EXPECT_FALSE(Parse({"a.sto", "--marker-spacing", "1e300"}, &e));
    EXPECT_EQ(e, "--marker-spacing takes a positive distance in m up to 1000000, not \"1e300\"");
    EXPECT_FALSE(Parse({"a.sto", "--marker-spacing", "1000000.5"}, &e));
    EXPECT_TRUE(Parse({"a.sto", "--marker-spacing", "1000000"}, &e)) << e;
}

TEST(BatchOptions, CellSizeNeedsSomethingToGrid) {
    std::string e;
    EXPECT_FALSE(Parse({"--ovs", "a.ovs", "--grid", "2"}, &e));
    EXPECT_EQ(e, "--grid needs survey files or --res2dinv-in: there is nothing to grid");
    EXPECT_FALSE(Parse({"--res2dinv-in", "a.dat"}, &e));
    EXPECT_EQ(e, "--res2dinv-in needs --grid W, the horizontal cell size of the import");
    EXPECT_TRUE(Parse({"--res2dinv-in", "a.dat", "--grid", "2"}, &e)) << e;
}

TEST(BatchOptions, MapOptions) {
    auto o = Parse({"a.sto", "--config", "2", "--interpolate", "--png", "map-interp:2:/tmp/i.png",
                    "--png", "map-rho:/tmp/a:b.png", "--png", "map-gps:3:g.png", "--map-color",
                    "contour-lines", "--max-distance", "12.5", "--flag", "35.1,139.25", "--flag",
                    "-35.2,-58.5", "--kml-map", "m.kml"});
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->bInterpolate);
    ASSERT_EQ(o->pictures.size(), 3u);
    EXPECT_EQ(o->pictures[0].sDisplay, "map-interp:2");
    EXPECT_EQ(o->pictures[0].path, "/tmp/i.png");
    EXPECT_EQ(o->pictures[1].sDisplay, "map-rho") << "a path with a colon is not a depth";
    EXPECT_EQ(o->pictures[1].path, "/tmp/a:b.png");
    EXPECT_EQ(o->pictures[2].sDisplay, "map-gps") << "the GPS map takes no depth";
    EXPECT_EQ(o->pictures[2].path, "3:g.png");
    EXPECT_EQ(o->iMapColor, 2);
    EXPECT_EQ(o->dMaxDistance, 12.5);
    EXPECT_EQ(o->flags, (std::vector<std::pair<double, double>>{{35.1, 139.25}, {-35.2, -58.5}}));
    EXPECT_EQ(o->kmlMap, fs::path("m.kml"));
}

TEST(BatchOptions, BadMapOptionsNameTheOption) {
    std::string e;
    EXPECT_FALSE(Parse({"a.sto", "--flag", "35,139", "--flag", "35.1,139"}, &e));
    EXPECT_EQ(e, "--flag sets the survey line of configuration 2: give --config 2");
    EXPECT_FALSE(Parse({"a.sto", "--config", "2", "--flag", "35,139"}, &e));
    EXPECT_EQ(e, "--flag needs at least two flags, the line's two ends");
    EXPECT_FALSE(Parse({"--flag", "35"}, &e));
    EXPECT_EQ(e, "--flag takes LAT,LON in degrees (-90..90, -180..180), not \"35\"");
    EXPECT_FALSE(Parse({"--flag", "91,0"}, &e));
    EXPECT_FALSE(Parse({"--flag", "0,180"}, &e));
    EXPECT_FALSE(Parse({"--map-color", "rainbow"}, &e));
    EXPECT_EQ(e, "--map-color takes mosaic, contour or contour-lines, not \"rainbow\"");
    EXPECT_FALSE(Parse({"--max-distance", "-1"}, &e));
    EXPECT_FALSE(Parse({"--max-distance", "nan"}, &e));
    EXPECT_FALSE(Parse({"--png", "map-interp:3:"}, &e)) << "no path";
    EXPECT_FALSE(Parse({"--png", "map-interp:99999999999:x.png"}, &e));
    EXPECT_FALSE(Parse({"--interpolate", "--ovs", "a.ovs"}, &e));
    EXPECT_EQ(e, "--interpolate needs survey files with GPS: there is nothing to interpolate");
}

class BatchRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&store);
        folder = fs::temp_directory_path() /
                 ("gantrel_batch_" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        SetSettingsBackend(nullptr);
        SetLanguage(kLanguageEnglish);
        fs::remove_all(folder);
    }
    // The log's "error:" line, without its line end; empty when there is none.
    std::string ErrorLine() const {
        const std::string text = log.str();
        const size_t at = text.find("error: ");
        if (at == std::string::npos) return {};
        return text.substr(at, text.find('\n', at) - at);
    }
    std::string Path(const std::string& name) const { return (folder / name).string(); }
    int Run(std::vector<std::string> args) {
        std::string error;
        auto o = ParseBatchOptions(args, error);
        EXPECT_TRUE(o) << error;
        if (!o) return -1;
        return RunBatch(*o, log, {});
    }
    CMemorySettingsBackend store;
    fs::path folder;
    std::ostringstream log;
};

void WriteText(const fs::path& path, const std::string& text) {
    CTextWriter w;
    ASSERT_TRUE(w.Open(path));
    w.Write(text);
    w.Close();
}

TEST_F(BatchRunTest, WholeJobFromSurveyFilesToModel) {
    testdata::WriteLoggerFile(folder / "line01.sto", 120, 10, 10.0, false);
    testdata::WriteLoggerFile(folder / "line02.sto", 120, 10, 10.0, false, 1);
    const int status =
        Run({(folder / "line01.sto").string(), (folder / "line02.sto").string(), "--median", "3",
             "--grid", "2", "--initial-model", "0:10:6", "--invert", "3", "--save-sto",
             (folder / "out.sto").string()});
    EXPECT_EQ(status, 0) << log.str();
    const std::string text = log.str();
    EXPECT_NE(text.find("message: 2 files are opened. 2 lines are imported\n"), std::string::npos);
    EXPECT_NE(text.find("summary: lines 2, readings 240\n"), std::string::npos);
    EXPECT_NE(text.find("progress: i=0/"), std::string::npos);
    EXPECT_NE(text.find("message: Inversion finished !\n"), std::string::npos);
    EXPECT_NE(text.find("summary: final misfit "), std::string::npos);
    EXPECT_TRUE(fs::exists(folder / "out.sto"));
    EXPECT_TRUE(fs::exists(folder / "rms_error.txt")) << "side files go to the data folder";
}

TEST_F(BatchRunTest, FailuresSayWhatAndWhich) {
    EXPECT_EQ(Run({(folder / "missing.sto").string()}), 1);
    EXPECT_EQ(ErrorLine(), "error: opening the survey files: cannot open the file " +
                               Path("missing.sto") + ": there is no such file");
    log.str("");
    testdata::WriteLoggerFile(folder / "line01.sto", 20, 10, 10.0, false);
    // Initial model before any grid: the command is not available.
    EXPECT_EQ(Run({(folder / "line01.sto").string(), "--initial-model", "0:10:6"}), 1);
    EXPECT_NE(log.str().find("error: initial model: the command is not available now"),
              std::string::npos)
        << log.str();
    log.str("");
    // A cell size the gridding refuses (far too many columns) fails instead of looping.
    EXPECT_EQ(Run({(folder / "line01.sto").string(), "--grid", "0.0001"}), 1);
    EXPECT_NE(log.str().find("error: converting to grid data: "), std::string::npos) << log.str();
}

TEST_F(BatchRunTest, NameWithoutDigitsTakesTheGivenIndex) {
    testdata::WriteLoggerFile(folder / "north.sto", 20, 10, 10.0, false);
    EXPECT_EQ(Run({(folder / "north.sto").string(), "--file-index", "9", "--save-stn",
                   (folder / "north.stn").string()}),
              0)
        << log.str();
    EXPECT_TRUE(fs::exists(folder / "north.stn"));
    log.str("");
    EXPECT_EQ(Run({(folder / "north.sto").string()}), 1) << "without --file-index";
    EXPECT_EQ(ErrorLine(), "error: opening the survey files: the name of " + Path("north.sto") +
                               " gives no file index (it has no digits): give one with "
                               "--file-index N");
    log.str("");
    testdata::WriteLoggerFile(folder / "line07.sto", 20, 10, 10.0, false);
    EXPECT_EQ(Run({Path("line07.sto"), Path("north.sto")}), 0)
        << "the index of the first name serves the next: " << log.str();
}

TEST_F(BatchRunTest, OverlongFileNameFailsWithoutThrowing) {
    const std::string name = Path(std::string(300, 'a') + ".sto");
    EXPECT_EQ(Run({name}), 1);
    EXPECT_EQ(ErrorLine().rfind("error: opening the survey files: cannot open the file " + name +
                                    ": ",
                                0),
              0u)
        << log.str();
}

TEST_F(BatchRunTest, EveryGivenPathMustBeASurveyFile) {
    testdata::WriteLoggerFile(folder / "line01.sto", 20, 10, 10.0, false);
    WriteText(folder / "notes.txt", "field notes, no records\n");
    EXPECT_EQ(Run({Path("line01.sto"), Path("notes.txt")}), 1);
    EXPECT_EQ(ErrorLine(), "error: opening the survey files: " + Path("notes.txt") +
                               " holds no survey line that could be read.");
    log.str("");
    fs::create_directories(folder / "somedir");
    EXPECT_EQ(Run({Path("line01.sto"), Path("somedir")}), 1);
    EXPECT_EQ(ErrorLine(), "error: opening the survey files: cannot open the file " +
                               Path("somedir") + ": it is a folder, not a file");
}

TEST_F(BatchRunTest, UnwritableKmlFailsTheOpening) {
    testdata::WriteLoggerFile(folder / "line01.sto", 30, 10, 10.0, true);
    fs::create_directories(folder / "gps_0.kml");  // where the track would go
    EXPECT_EQ(Run({Path("line01.sto"), "--kml"}), 1);
    EXPECT_EQ(ErrorLine(),
              "error: opening the survey files: Cannot open the file " + Path("gps_0.kml"));
    EXPECT_NE(log.str().find("message: Cannot open the file " + Path("gps_0.kml") + "\n"),
              std::string::npos)
        << "the message the window shows is shown too";
}

TEST_F(BatchRunTest, SectionFileThatCannotBeReadFailsAndNothingIsSaved) {
    EXPECT_EQ(Run({"--ovs", Path("missing.ovs"), "--save-ovs", Path("out.ovs")}), 1);
    EXPECT_EQ(ErrorLine(), "error: opening " + Path("missing.ovs") + ": Cannot open the file " +
                               Path("missing.ovs"));
    EXPECT_FALSE(fs::exists(folder / "out.ovs"));
    log.str("");
    testdata::WriteLoggerFile(folder / "line01.sto", 20, 10, 10.0, false);
    EXPECT_EQ(Run({"--ovs", Path("line01.sto")}), 1);
    EXPECT_EQ(ErrorLine(), "error: opening " + Path("line01.sto") + ": " + Path("line01.sto") +
                               ", line 1: \"GOHM\" in the header line is not a number of the "
                               "expected kind. Nothing was read.");
}

TEST_F(BatchRunTest, Res2dinvImportTakesTheGridCellSize) {
    testdata::WriteLoggerFile(folder / "line01.sto", 120, 10, 10.0, false);
    ASSERT_EQ(Run({Path("line01.sto"), "--grid", "2", "--res2dinv", Path("out.dat")}), 0)
        << log.str();
    log.str("");
    EXPECT_EQ(Run({"--res2dinv-in", Path("out.dat"), "--grid", "2", "--initial-model", "0:10:6",
                   "--save-ovs", Path("imported.ovs")}),
              0)
        << log.str();
    EXPECT_NE(log.str().find("summary: columns "), std::string::npos);
    EXPECT_TRUE(fs::exists(folder / "imported.ovs"));
}

TEST_F(BatchRunTest, Res2dinvImportOfAFolderFails) {
    fs::create_directories(folder / "in.dat");
    EXPECT_EQ(Run({"--res2dinv-in", Path("in.dat"), "--grid", "2"}), 1);
    EXPECT_EQ(ErrorLine(), "error: importing " + Path("in.dat") + ": Cannot read the file " +
                               Path("in.dat") + " as a RES2DINV file: line 1 does not hold the "
                               "title.");
}

TEST_F(BatchRunTest, RefusedSaveFailsEvenOverAStaleFile) {
    testdata::WriteLoggerFile(folder / "line01.sto", 120, 10, 10.0, false);
    WriteText(folder / "old.st4", "from an earlier run\n");
    EXPECT_EQ(Run({Path("line01.sto"), "--grid", "2", "--st4", Path("old.st4")}), 1);
    EXPECT_EQ(ErrorLine(), "error: saving the .st4 file: There is no resistivity model to save. "
                           "Make the initial model first.");
    EXPECT_EQ(log.str().find("wrote: "), std::string::npos);
}

TEST_F(BatchRunTest, JapaneseSaveFailureIsAFailure) {
    testdata::WriteLoggerFile(folder / "line01.sto", 120, 10, 10.0, false);
    const std::string target = Path("no_such_folder/out.ovs");
    EXPECT_EQ(Run({Path("line01.sto"), "--grid", "2", "--lang", "ja", "--save-ovs", target}), 1);
    EXPECT_EQ(ErrorLine(),
              "error: saving the section file: ファイル " + target + " に書き込めません");
}

TEST_F(BatchRunTest, SurveySavesThatCannotOpenTheirFileFail) {
    testdata::WriteLoggerFile(folder / "line01.sto", 20, 10, 10.0, false);
    const std::string sto = Path("no_such_folder/out.sto"), stn = Path("no_such_folder/out.stn");
    EXPECT_EQ(Run({Path("line01.sto"), "--save-sto", sto}), 1);
    EXPECT_EQ(ErrorLine(), "error: saving the survey file: Cannot open the file " + sto);
    log.str("");
    EXPECT_EQ(Run({Path("line01.sto"), "--save-stn", stn}), 1);
    EXPECT_EQ(ErrorLine(), "error: saving the mapping file: Cannot open the file " + stn);
}

TEST_F(BatchRunTest, RefusedGriddingFailsThoughASectionWasOpenedBefore) {
    testdata::WriteLoggerFile(folder / "line01.sto", 120, 10, 10.0, false);
    ASSERT_EQ(Run({Path("line01.sto"), "--grid", "2", "--save-ovs", Path("old.ovs")}), 0)
        << log.str();
    log.str("");
    // The section file brings columns; the gridding that follows is refused.
    EXPECT_EQ(Run({Path("line01.sto"), "--ovs", Path("old.ovs"), "--grid", "0.0001"}), 1);
    EXPECT_EQ(ErrorLine().rfind("error: converting to grid data: ", 0), 0u) << log.str();
    EXPECT_EQ(log.str().find("summary: columns"), std::string::npos);
}

TEST_F(BatchRunTest, RefusedInitialModelIsJudgedByItsOwnReport) {
    testdata::WriteLoggerFile(folder / "line01.sto", 120, 10, 10.0, false);
    ASSERT_EQ(Run({Path("line01.sto"), "--grid", "2", "--initial-model", "0:10:6", "--save-ovs",
                   Path("model.ovs")}),
              0)
        << log.str();
    log.str("");
    // The file brings a model; the new one is refused (too many layers).
    EXPECT_EQ(Run({"--ovs", Path("model.ovs"), "--initial-model", "0:10:500"}), 1);
    EXPECT_EQ(ErrorLine(), "error: initial model: the answer to \"Initial model\" was refused");
}

// A survey file whose track runs north-east at about 1 m/s from 35 N, 139.75 E.
void WriteNorthEastFile(const fs::path& path, int readings) {
    CTextWriter w;
    ASSERT_TRUE(w.Open(path));
    auto clock = [](int s) { return FormatC(" 10:%.2d:%.2d.00 06/15/09", s / 60, s % 60); };
    w.Printf("33  GOHM %10.3f %10.3f %10.3f %10.3f%s 1 \n", 7.5, 2.5, 0.0, 2.5, clock(0).c_str());
    w.Printf("3 %12.2f %12.2f %s%10d %11d %11d 5\n", 0.0, 0.0, clock(0).c_str(), 0, 0, 0);
    for (int s = 1; s <= readings; ++s) {
        w.Printf("21 $GPGGA,01%.2d%.2d.00,3500%.5f,N,13945%.5f,E,1,08,1.0,20.0,M,,,,*00 %s\n",
                 s / 60, s % 60, 0.0004 * s, 0.0005 * s, clock(s).c_str());
        w.Printf("30 5");
        for (int r = 0; r < 5; ++r) w.Printf("%10.3f %d%d ", 0.05 + 0.01 * r + 0.0003 * s, 4, 0);
        w.Printf("%s\n", clock(s).c_str());
    }
    w.Printf("3 %12.2f %12.2f %s%10d %11d %11d 5\n", 0.0, 0.0, clock(readings + 1).c_str(), 0, 0, 1);
    w.Close();
}

TEST_F(BatchRunTest, FlagsSetTheLineOfConfigurationTwoAndTheMapIsInterpolated) {
    WriteNorthEastFile(folder / "ne01.sto", 90);
    // The interpolation's listing goes to the current folder.
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    // The track's two ends, 35 N 139.75 E and about 70 m north-east of it.
    const int status = Run({Path("ne01.sto"), "--config", "2", "--flag", "35.0,139.75", "--flag",
                            "35.0006,139.750750", "--interpolate", "--map-color", "contour",
                            "--max-distance", "20", "--save-sto", Path("out.sto")});
    EXPECT_EQ(status, 0) << log.str();
    const std::string text = log.str();
    EXPECT_NE(text.find("summary: flags 2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("message: Cell size = "), std::string::npos);
    EXPECT_NE(text.find("message: Interpolation completed.\n"), std::string::npos);
    EXPECT_NE(text.find("summary: map grid "), std::string::npos);
    EXPECT_TRUE(fs::exists(folder / "SetDistanceFromGPS_0.txt")) << "distances from the flags";
    EXPECT_EQ(ReadSettingReal("FLAG_LATITUDE", 0.0), 35.0006);
    EXPECT_TRUE(fs::exists(folder / "DataInterpolation.txt"));
    fs::current_path(previous);
}

TEST_F(BatchRunTest, ASurveyWithoutGPSCannotBeInterpolated) {
    testdata::WriteLoggerFile(folder / "n01.sto", 40, 10, 10.0, false);
    EXPECT_EQ(Run({Path("n01.sto"), "--interpolate"}), 1);
    EXPECT_EQ(ErrorLine(), "error: interpolating the map: the command is not available now");
}

TEST_F(BatchRunTest, TheKmlOverlayIsSavedByTheProgramsCommandOnTheMap) {
    WriteNorthEastFile(folder / "ne01.sto", 30);
    std::string error;
    auto o = ParseBatchOptions({Path("ne01.sto"), "--kml-map", Path("m.kml")}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(RunBatch(*o, log, {}), 1) << "without the program's drawing there is no overlay";
    EXPECT_EQ(ErrorLine(), "error: saving the map overlay: the command is not available now");
    log.str("");
    std::optional<fs::path> asked;
    int viewMode = -1;
    const int status = RunBatch(*o, log, {}, [&](CCommandTable& table) {
        table.Bind(kCmdSaveMapKML, [&](CBrivaneContext& ctx) {
            viewMode = ctx.view.iViewMode;
            asked = ctx.prompter.SaveFile("Save current map to a KML file", {}, {});
        });
    });
    EXPECT_EQ(status, 0) << log.str();
    EXPECT_EQ(asked, fs::path(Path("m.kml")));
    EXPECT_EQ(viewMode, kViewGPSMap);
    EXPECT_NE(log.str().find("wrote: " + Path("m.kml")), std::string::npos);
}

}  // namespace
