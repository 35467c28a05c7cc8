#include "processing/section_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "common/resistivity.h"
#include "common/language.h"
#include "common/memory_settings.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "processing/commands.h"
#include "processing/line_editing.h"
#include "processing/open_survey.h"
#include "sectionfiles/ovs_file.h"
#include "sectionfiles/res2dinv.h"
#include "tests/processing/logger_file.h"
#include "tests/sectionfiles/section_test_support.h"

namespace {

namespace fs = std::filesystem;
using sectiontest::ReadText;
using sectiontest::TempFolder;
using sectiontest::WriteText;

class SectionCommands : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings);
        SetLanguage(kLanguageEnglish);
        // "SetData.txt" goes to the current directory.
        previous = fs::current_path();
        fs::current_path(folder.path);
        doc.dataFolder = folder.path;
        ctx.progress = [this](int, int, const std::string& text) {
            progress.push_back(text);
            return true;
        };
        view.iViewMode = kViewLineResistivity;
    }
    void TearDown() override {
        fs::current_path(previous);
        SetSettingsBackend(nullptr);
    }
    // Dipole-dipole columns 10 m apart, one row each (a = 2.5, N = 3), observed 100.
    void MakeSection(int nColumn) {
        CTrevascDataOhm& s = doc.store;
        s.nColumn = nColumn;
        s.fCellSize = 10.0f;
        for (int c = 0; c < nColumn; ++c) {
            s.fColumnX[c] = 10.0f * static_cast<float>(c) + 50.0f;
            s.nRow[c] = 1;
            s.fDipoleSize[c][0] = 2.5f;
            s.fNFactor[c][0] = 3.0f;
            s.fObserved[c][0] = 100.0f;
            s.nAveraged[c][0] = 1;
        }
    }
    // A homogeneous two-layer model under every column: 100 Ohm-m, boundary at -1/3 m.
    void MakeModel() {
        CTrevascDataOhm& s = doc.store;
        s.nBoundaryColumn = s.nModelColumn = s.nColumn;
        s.nBoundary = s.nLayer = 2;
        for (int c = 0; c < s.nColumn; ++c) {
            s.fBoundaryX[c][0] = s.fBoundaryX[c][1] = s.fColumnX[c];
            s.fBoundaryElevation[c][0] = 0.0f;
            s.fBoundaryElevation[c][1] = -1.0f / 3.0f;
            s.fLayerResistivity[c][0] = s.fLayerResistivity[c][1] = 100.0f;
        }
    }
    bool Run(int id) { return table.Invoke(ctx, id); }

    CMemorySettingsBackend settings;
    TempFolder folder;
    fs::path previous;
    CBrivaneDoc doc;
    CBrivaneViewState view;
    CScriptedPrompter prompter;
    CBrivaneContext ctx{doc, view, prompter};
    CCommandTable table = BuildBrivaneCommands();
    std::vector<std::string> progress;
};

TEST_F(SectionCommands, SaveAsksBeforeReplacingAFile) {
    MakeSection(2);
    const fs::path path = folder / "s.ovs";
    WriteText(path, "keep me");
    prompter.Push(path);
    prompter.Push(PromptAnswer::Cancel);
    ASSERT_TRUE(Run(kCmdSaveSection));
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"Are you sure you want to overwrite ?"});
    EXPECT_EQ(ReadText(path), "keep me");
    prompter.Push(path);
    prompter.Push(PromptAnswer::Ok);
    ASSERT_TRUE(Run(kCmdSaveSection));
    EXPECT_EQ(ReadText(path).substr(0, 17), "2000 8 3.000000\r\n");
}

TEST_F(SectionCommands, OpeningChoosesTheDisplayFromColumnsAndLayers) {
    CTrevascDataOhm one, two;
    ASSERT_TRUE(one.Initialise(10, 10, 10, 10));
    ASSERT_TRUE(two.Initialise(10, 10, 10, 10));
    fs::create_directories(folder.path / "sub");
    one.nColumn = 1;
    one.nRow[0] = 1;
    one.fObserved[0][0] = 10.0f;
    two.nColumn = 2;
    two.nRow[0] = two.nRow[1] = 1;
    ASSERT_TRUE(WriteSectionFile(one, folder.path / "sub" / "one.ovs", nullptr));
    ASSERT_TRUE(WriteSectionFile(two, folder / "two.ovs", nullptr));
    two.nBoundaryColumn = two.nModelColumn = two.nBoundary = two.nLayer = 1;
    ASSERT_TRUE(WriteSectionFile(two, folder / "model.ovs", nullptr));

    prompter.Push(std::vector<fs::path>{folder.path / "sub" / "one.ovs"});
    ASSERT_TRUE(Run(kCmdOpenSection));
    EXPECT_EQ(view.iViewMode, kViewModel1D);
    EXPECT_EQ(doc.dataFolder, folder.path / "sub");
    prompter.Push(std::vector<fs::path>{folder / "two.ovs"});
    Run(kCmdOpenSection);
    EXPECT_EQ(view.iViewMode, kViewSectionGridded);
    prompter.Push(std::vector<fs::path>{folder / "model.ovs"});
    Run(kCmdOpenSection);
    EXPECT_EQ(view.iViewMode, kViewModel2D);
    EXPECT_TRUE(ctx.bRedraw);
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST_F(SectionCommands, LinesFromAFileEndTheSurveyUndo) {
    MakeSection(2);
    CGantrelSurvey fileSurvey;
    CGantrelLine& line = *fileSurvey.AddLine();
    line.AddMarker()->iMarkerNumber = 0;
    line.AddData()->nReceiver = 1;
    ASSERT_TRUE(WriteSectionFile(doc.store, folder / "lines.ovs", &fileSurvey));
    doc.survey.AddLine();
    doc.bSurveyUndo = 1;  // an edit of the survey before
    ASSERT_TRUE(table.IsEnabled(ctx, kCmdUndo));
    prompter.Push(std::vector<fs::path>{folder / "lines.ovs"});
    ASSERT_TRUE(Run(kCmdOpenSection));
    EXPECT_EQ(doc.survey.nLine, 1);
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdUndo))
        << "Undo would put the old survey beside the file's section";
}

TEST_F(SectionCommands, GriddingClearsTheColumnValueAnEarlierFileGave) {
    MakeSection(1);
    doc.store.fColumnAux[0] = 7.5f;
    CGantrelLine& line = *doc.survey.AddLine();
    line.pGeometry->fTransmitterDipole = line.pGeometry->fReceiverDipole = 2.5f;
    line.nMaxReceiver = 1;
    for (float x : {10.0f, 20.0f}) {
        CGantrelData& d = *line.AddData();
        d.fDistance = x;
        d.nReceiver = 1;
        d.fResistance[0] = 1.0f;
        ComputeResistivity(d, *line.pGeometry);
    }
    doc.survey.bMarkerDistance = 1;
    prompter.Push(5.0);  // cell size
    ASSERT_TRUE(Run(kCmdConvertToGrid));
    ASSERT_GT(doc.store.nColumn, 1);
    EXPECT_EQ(doc.store.fColumnAux[0], 0.0f);
}

TEST_F(SectionCommands, OpeningAFileThatCannotBeReadSaysSoAndChangesNothing) {
    MakeSection(2);
    prompter.Push(std::vector<fs::path>{folder / "gone.ovs"});
    Run(kCmdOpenSection);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"Cannot open the file " + (folder / "gone.ovs").string()});
    EXPECT_EQ(ctx.failure, prompter.Messages().back());
    EXPECT_EQ(doc.store.nColumn, 2);
    EXPECT_EQ(view.iViewMode, kViewLineResistivity);
}

// A file that gives nothing leaves the session as it was: it is no input file, and no new
// data are told to the window (which then keeps its title, caption and recent files).
TEST_F(SectionCommands, AFileThatGivesNothingIsNoFileOfTheSession) {
    MakeSection(2);
    std::ofstream(folder / "text.ovs", std::ios::binary) << "not a section file\r\n";
    std::ofstream(folder / "empty.ovs", std::ios::binary) << "";
    for (const char* name : {"gone.ovs", "text.ovs", "empty.ovs"}) {
        SCOPED_TRACE(name);
        const auto inputs = doc.inputFiles;
        ctx.bNewData = false;
        prompter.Push(std::vector<fs::path>{folder / name});
        Run(kCmdOpenSection);
        EXPECT_TRUE(ctx.failure);
        EXPECT_FALSE(ctx.bNewData);
        EXPECT_EQ(doc.inputFiles, inputs);
        EXPECT_EQ(doc.store.nColumn, 2);
    }
}

TEST_F(SectionCommands, ImportAsksTheCellSizeAndRemembersIt) {
    WriteText(folder / "in.dat",
              "Line\n1.0\n3\n3\n1\n0\n0.0 2.0 1 100\n2.0 2.0 1 110\n4.0 2.0 1 120\n");
    prompter.Push(std::vector<fs::path>{folder / "in.dat"});
    prompter.Push(2.0);
    ASSERT_TRUE(Run(kCmdImportRes2dinv));
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"dipole-dipole method : nDipoleIndex=1",
                                        "0 nSeparationIndex=1"}));
    EXPECT_EQ(prompter.History().back().sText, "Horizontal cell size");
    // 0, 2 and 4 m in cells of 2 m: the point at the largest x has a column of its own.
    EXPECT_EQ(doc.store.nColumn, 3);
    EXPECT_EQ(doc.store.fObserved[2][0], 120.0f);
    EXPECT_EQ(ReadSettingString("xCellSize", ""), "2.000000");
    EXPECT_EQ(view.iViewMode, kViewModel1D);
}

TEST_F(SectionCommands, CancelledCellSizeKeepsTheSection) {
    MakeSection(3);
    WriteText(folder / "in.dat", "Line\n1.0\n2\n2\n1\n0\n0.0 5.0 80\n9.0 5.0 90\n");
    settings.WriteString(SettingsScope::Profile, "xCellSize", "3.500000");
    prompter.PushCancel();
    ImportRes2dinvFile(doc.store, folder / "in.dat", prompter);
    EXPECT_EQ(doc.store.nColumn, 3);
    EXPECT_EQ(doc.store.fNFactor[0][0], 3.0f);
}

TEST_F(SectionCommands, TooSmallCellSizeIsExplainedAndAskedAgain) {
    CTrevascDataOhm small;
    ASSERT_TRUE(small.Initialise(5, 10, 5, 10));
    WriteText(folder / "in.dat", "Line\n1.0\n3\n2\n1\n0\n0.0 2.0 1 100\n10.0 2.0 1 110\n");
    prompter.Push(1.0);
    prompter.Push(2.5);
    EXPECT_EQ(ImportRes2dinvFile(small, folder / "in.dat", prompter), 2);
    EXPECT_EQ(prompter.Messages().back(),
              "A horizontal cell size of 1 m needs 11 columns; a section can hold at most 5.\n"
              "Enter a cell size of at least 2.001 m.");
    EXPECT_EQ(small.nColumn, 5);
}

TEST_F(SectionCommands, ExportWritesTheGriddedSection) {
    MakeSection(1);
    prompter.Push(folder / "out.dat");
    ASSERT_TRUE(Run(kCmdExportRes2dinv));
    EXPECT_EQ(
        ReadText(folder / "out.dat"),
        "out.dat\r\n2.500000\r\n3\r\n1\r\n1\r\n0\r\n50.000000 5.000000 1.000000 100.000000\r\n");
}

TEST_F(SectionCommands, ExportWithoutAGridIsRefusedBeforeTheFileDialog) {
    ASSERT_TRUE(Run(kCmdExportRes2dinv));
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"There is no gridded section to export. Convert the data "
                                       "to grid data, or open a section file, first."});
    EXPECT_EQ(prompter.History().size(), 1u) << "no file dialog";
    EXPECT_EQ(ctx.failure, prompter.Messages().back());
    EXPECT_TRUE(fs::is_empty(folder.path));
}

TEST_F(SectionCommands, ReopenedFileGivesTheReadingsTheirDistancesBack) {
    // A survey whose markers carry no distances, placed at 10 m when it is opened.
    testdata::WriteLoggerFile(folder / "l7.sto", 30, 10, 0.0, false);
    prompter.Push(std::vector<fs::path>{folder / "l7.sto"});
    prompter.PushDialog<CSurveyConfigurationValues>(
        [](CSurveyConfigurationValues& v) { v.iSurveyConfiguration = 0; });
    prompter.Push(10.0);
    prompter.PushAccept();  // "Edit original data"
    ASSERT_TRUE(Run(kCmdOpenGantrel));
    ASSERT_TRUE(doc.survey.HasDistances());
    std::vector<float> distances;
    for (const CGantrelData& d : doc.survey.Line(0).pData) distances.push_back(d.fDistance);
    ASSERT_GT(distances.back(), 20.0f);
    MakeSection(2);
    prompter.Push(folder / "saved.ovs");
    ASSERT_TRUE(Run(kCmdSaveSection));
    // A file of an earlier version, written without the readings' distances.
    doc.survey.bMarkerDistance = 0;
    ASSERT_TRUE(WriteSectionFile(doc.store, folder / "older.ovs", &doc.survey));

    for (const char* name : {"saved.ovs", "older.ovs"}) {
        CBrivaneDoc other;
        CBrivaneViewState otherView;
        CScriptedPrompter otherPrompter;
        CBrivaneContext otherCtx{other, otherView, otherPrompter};
        otherPrompter.Push(std::vector<fs::path>{folder / name});
        ASSERT_TRUE(table.Invoke(otherCtx, kCmdOpenSection));
        ASSERT_EQ(other.survey.nLine, 1) << name;
        EXPECT_TRUE(other.survey.HasDistances()) << name;
        const CGantrelLine& line = other.survey.Line(0);
        ASSERT_EQ(line.nData(), static_cast<int>(distances.size()));
        for (int i = 0; i < line.nData(); ++i)
            ASSERT_NEAR(line.pData[static_cast<size_t>(i)].fDistance, distances[static_cast<size_t>(i)], 1e-3f)
                << name << " reading " << i;
        EXPECT_FLOAT_EQ(other.survey.fMaxDistance, 30.0f) << name;
    }
}

TEST_F(SectionCommands, UnassignableElectrodeRefusesTheExportAndTheProgramGoesOn) {
    MakeSection(2);
    doc.store.fColumnX[1] = NAN;
    prompter.Push(folder / "a.st1");
    ASSERT_TRUE(Run(kCmdSaveST1));
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{
                  "Number of data=2 \nNumber of electrode=4 \nNumber of "
                  "topography point=3 \nNumber of N space=1",
                  " electrode location error (1)", " c1 =    0 c2 =    0 p1 =    0 p2 =    0",
                  "Nothing was written to " + (folder / "a.st1").string() + "."}));
    EXPECT_EQ(ctx.failure, prompter.Messages().back());
    EXPECT_FALSE(fs::exists(folder / "a.st1"));
    ctx.failure.reset();
    // Everything else still works: the section can be saved.
    prompter.Push(folder / "after.ovs");
    ASSERT_TRUE(Run(kCmdSaveSection));
    EXPECT_TRUE(fs::exists(folder / "after.ovs"));
    EXPECT_FALSE(ctx.failure);
}

TEST_F(SectionCommands, DataFileIsWrittenWithItsDiagnosticFile) {
    MakeSection(1);
    prompter.Push(folder / "a.st1");
    ASSERT_TRUE(Run(kCmdSaveST1));
    EXPECT_TRUE(fs::exists(folder / "a.st1"));
    EXPECT_EQ(ReadText(folder / "SetData.txt"), "43.750000\r\n53.750000\r\n56.250000\r\n");
}

TEST_F(SectionCommands, ModelFileRecomputesTheResponseFirst) {
    MakeSection(2);
    MakeModel();
    const float boundary = doc.store.fBoundaryElevation[1][1];
    // The misfits of the last inversion stay as they were written.
    std::ofstream(folder / "rms_error.txt", std::ios::binary) << " 0  0.125000 \r\n";
    prompter.Push(folder / "a.st4");
    ASSERT_TRUE(Run(kCmdSaveST4));
    ASSERT_EQ(prompter.Messages().size(), 2u);
    EXPECT_EQ(prompter.Messages()[0], "Inversion finished !");
    EXPECT_EQ(prompter.Messages()[1].substr(0, 16), "Number of data=2");
    EXPECT_EQ(progress, (std::vector<std::string>{"column 0 of 2", "column 1 of 2"}));
    EXPECT_EQ(ReadText(folder / "rms_error_st4.txt"), " 0  1 ");
    EXPECT_EQ(ReadText(folder / "rms_error.txt"), " 0  0.125000 \r\n");
    EXPECT_NEAR(doc.store.fCalculated[1][0], 99.9375f, 1e-3f);
    EXPECT_EQ(doc.store.fBoundaryElevation[1][1], boundary);
    EXPECT_EQ(doc.store.iDataType, 3);
    const std::string text = ReadText(folder / "a.st4");
    EXPECT_NE(text.find("     0.2121 "), std::string::npos);  // 99.9375 / 471.239
}

TEST_F(SectionCommands, StoppedResponsePassWritesNoModelFileAndKeepsTheResponses) {
    MakeSection(3);
    MakeModel();
    doc.store.iDataType = 4;
    for (int c = 0; c < 3; ++c) doc.store.fCalculated[c][0] = 5.0f;
    ctx.progress = [](int done, int, const std::string&) { return done < 2; };
    prompter.Push(folder / "a.st4");
    EXPECT_TRUE(Run(kCmdSaveST4));
    EXPECT_FALSE(fs::exists(folder / "a.st4"));
    for (int c = 0; c < 3; ++c) EXPECT_EQ(doc.store.fCalculated[c][0], 5.0f) << c;
    EXPECT_EQ(doc.store.iDataType, 4);
    EXPECT_EQ(prompter.Messages(), std::vector<std::string>{InversionCancelledMessage()});
    EXPECT_EQ(ctx.failure, InversionCancelledMessage());
}

TEST_F(SectionCommands, ModelFileWithoutModelIsRefusedBeforeTheFileDialog) {
    MakeSection(2);
    ASSERT_TRUE(Run(kCmdSaveST4));
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{
                  "There is no resistivity model to save. Make the initial model first."});
    EXPECT_EQ(prompter.History().size(), 1u);
    EXPECT_EQ(ctx.failure, prompter.Messages().back());
}

TEST_F(SectionCommands, WritesThatFailAreReportedAsFailures) {
    MakeSection(2);
    const fs::path nowhere = folder / "no folder";
    prompter.Push(nowhere / "a.ovs");
    Run(kCmdSaveSection);
    const auto cannotCreate = [&](const char* name) {
        return "Cannot open the file " + (nowhere / name).string() +
               ": No such file or directory. Nothing was saved.";
    };
    EXPECT_EQ(ctx.failure, cannotCreate("a.ovs"));
    ctx.failure.reset();
    prompter.Push(nowhere / "a.dat");
    Run(kCmdExportRes2dinv);
    EXPECT_EQ(ctx.failure, cannotCreate("a.dat"));
    ctx.failure.reset();
    prompter.Push(nowhere / "a.st1");
    Run(kCmdSaveST1);
    EXPECT_EQ(ctx.failure, cannotCreate("a.st1"));
    // Each failure was shown exactly as before, once.
    const std::vector<std::string> shown = prompter.Messages();
    EXPECT_EQ(shown.back(), *ctx.failure);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), *ctx.failure), 1);
}

TEST_F(SectionCommands, ImportThatGivesNoSectionIsAFailure) {
    WriteText(folder / "in.dat", "Line\n1.0\n3\n2\n1\n0\n0.0 2.0 1 100\n10.0 2.0 1 110\n");
    prompter.Push(std::vector<fs::path>{folder / "in.dat"});
    prompter.PushCancel();
    Run(kCmdImportRes2dinv);
    EXPECT_EQ(ctx.failure, "Nothing was imported from " + (folder / "in.dat").string() + ".")
        << "a message shown before the cancelled question is not the reason";
    ctx.failure.reset();
    WriteText(folder / "empty.dat", "");
    prompter.Push(std::vector<fs::path>{folder / "empty.dat"});
    Run(kCmdImportRes2dinv);
    ASSERT_FALSE(prompter.Messages().empty());
    EXPECT_EQ(ctx.failure, prompter.Messages().back());
}

TEST_F(SectionCommands, SectionFileReadOnlyInPartIsAFailure) {
    MakeSection(2);
    prompter.Push(folder / "a.ovs");
    ASSERT_TRUE(Run(kCmdSaveSection));
    std::string text = ReadText(folder / "a.ovs");
    WriteText(folder / "cut.ovs", text.substr(0, text.size() / 2));
    prompter.Push(std::vector<fs::path>{folder / "cut.ovs"});
    Run(kCmdOpenSection);
    ASSERT_TRUE(ctx.failure);
    EXPECT_EQ(*ctx.failure, prompter.Messages().back());
    EXPECT_EQ(ctx.failure->rfind((folder / "cut.ovs").string(), 0), 0u) << *ctx.failure;
}

}  // namespace
