#include "processing/open_survey.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "processing/commands.h"
#include "processing/line_editing.h"
#include "tests/processing/logger_file.h"

namespace {

namespace fs = std::filesystem;

using testdata::WriteLoggerFile;

class OpenSurveyTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&store);
        SetLanguage(kLanguageEnglish);
        folder = fs::temp_directory_path() /
                 ("gantrel_open_" + std::string(::testing::UnitTest::GetInstance()
                                                    ->current_test_info()
                                                    ->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        SetSettingsBackend(nullptr);
        fs::remove_all(folder);
    }
    void PushConfiguration(int config) {
        prompter.PushDialog<CSurveyConfigurationValues>(
            [config](CSurveyConfigurationValues& v) { v.iSurveyConfiguration = config; });
    }
    bool Open() { return table.Invoke(ctx, kCmdOpenGantrel); }

    CMemorySettingsBackend store;
    fs::path folder;
    CBrivaneDoc doc;
    CBrivaneViewState view;
    CScriptedPrompter prompter;
    CBrivaneContext ctx{doc, view, prompter};
    CCommandTable table = BuildBrivaneCommands();
};

TEST_F(OpenSurveyTest, TwoFilesShareTheIndexOfTheFirst) {
    WriteLoggerFile(folder / "line12_b7.sto", 20, 10, 10.0, false);
    WriteLoggerFile(folder / "north.sto", 20, 10, 10.0, false, 1);
    prompter.Push(std::vector<fs::path>{folder / "line12_b7.sto", folder / "north.sto"});
    PushConfiguration(0);
    ASSERT_TRUE(Open());
    ASSERT_EQ(doc.survey.nLine, 2);
    EXPECT_EQ(doc.survey.Line(0).iFileIndex, 12);
    EXPECT_EQ(doc.survey.Line(1).iFileIndex, 12);
    const auto messages = prompter.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0], "2 files are opened. 2 lines are imported");
    EXPECT_EQ(messages[1], "Number of depth = 5");
    EXPECT_FALSE(prompter.AnyUnanswered());
    EXPECT_EQ(view.iViewMode, kViewSectionOriginal) << "markers carry distances: marker path";
    EXPECT_EQ(doc.dataFolder, folder);
    // Readings got distances between their markers (0, 10, 20 m).
    const CGantrelLine& line = doc.survey.Line(0);
    EXPECT_GT(line.pData.back().fDistance, line.pData.front().fDistance);
    EXPECT_LE(line.pData.back().fDistance, 20.0f);
    // The list of files opened.
    std::ifstream list(folder / "Gantrel_data_files.txt", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(list)), {});
    EXPECT_EQ(text, (folder / "line12_b7.sto").string() + "\r\n" + (folder / "north.sto").string() +
                        "\r\n");
    EXPECT_EQ(ReadSettingInt("iSurveyConfiguration", -1), 0);
    EXPECT_EQ(ReadSettingInt("bSTNFile", -1), 0);
}

TEST_F(OpenSurveyTest, FileWithoutDigitsAloneAsksForTheIndex) {
    WriteLoggerFile(folder / "north.sto", 5, 0, 10.0, false);
    prompter.Push(std::vector<fs::path>{folder / "north.sto"});
    prompter.Push(7);
    prompter.PushCancel();  // survey configuration
    ASSERT_TRUE(Open());
    EXPECT_EQ(prompter.History()[1].sText,
              "Enter file index for the file " + (folder / "north.sto").string());
    EXPECT_EQ(doc.survey.Line(0).iFileIndex, 7);
    EXPECT_EQ(view.iViewMode, kViewNothing) << "cancelled configuration leaves the view";
    EXPECT_EQ(doc.survey.nLine, 1) << "and the lines loaded";
}

TEST_F(OpenSurveyTest, CancellingTheClearQuestionKeepsEverything) {
    WriteLoggerFile(folder / "l1.sto", 5, 0, 10.0, false);
    prompter.Push(std::vector<fs::path>{folder / "l1.sto"});
    PushConfiguration(0);
    ASSERT_TRUE(Open());
    prompter.ClearHistory();
    prompter.Push(PromptAnswer::Cancel);
    Open();
    EXPECT_EQ(doc.survey.nLine, 1);
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"Are you sure you want to clear current all data ?"}));
    // OK then cancel in the file dialog: nothing new was chosen, nothing is lost.
    prompter.Push(PromptAnswer::Ok);
    prompter.PushCancel();
    Open();
    EXPECT_EQ(doc.survey.nLine, 1);
    EXPECT_TRUE(doc.survey.HasDistances());
}

TEST_F(OpenSurveyTest, MarkersWithoutDistancesAskForTheSpacing) {
    WriteLoggerFile(folder / "l3.sto", 30, 10, 0.0, false);
    prompter.Push(std::vector<fs::path>{folder / "l3.sto"});
    PushConfiguration(1);  // needs GPS; the file has none: marker path
    prompter.Push(25.0);
    prompter.PushDialog<CEditOriginalDataValues>([](CEditOriginalDataValues&) { return true; });
    ASSERT_TRUE(Open());
    EXPECT_FALSE(prompter.AnyUnanswered());
    const CGantrelLine& line = doc.survey.Line(0);
    ASSERT_EQ(line.nMarker(), 4);
    EXPECT_EQ(line.pMarker[1].fDistance, 25.0f);
    EXPECT_EQ(line.pMarker[3].fDistance, 75.0f);
    EXPECT_EQ(view.iViewMode, kViewSectionOriginal);
    bool asked = false;
    for (const auto& s : prompter.History()) asked = asked || s.sText == "Enter marker spacing (m)";
    EXPECT_TRUE(asked);
}

TEST_F(OpenSurveyTest, SpacingNoFloatHoldsIsRefusedWithTheBound) {
    // 41 markers: at 500 km apart the last would lie 20000 km along the line.
    WriteLoggerFile(folder / "l3.sto", 400, 10, 0.0, false);
    prompter.Push(std::vector<fs::path>{folder / "l3.sto"});
    PushConfiguration(0);
    prompter.Push(5.0e5);
    prompter.PushCancel();
    Open();
    const std::string refusal =
        "The marker spacing must be a number that keeps every marker within 1e+07 m of 0.";
    EXPECT_EQ(prompter.Messages().back(), refusal);
    EXPECT_EQ(ctx.failure, refusal) << "cancelled after the refusal";
    for (const CGantrelData& d : doc.survey.Line(0).pData) ASSERT_TRUE(std::isfinite(d.fDistance));
    EXPECT_FALSE(doc.survey.HasDistances());
}

TEST_F(OpenSurveyTest, SpacingNotAboveZeroOrPastTheBoundIsAskedAgain) {
    WriteLoggerFile(folder / "l3.sto", 30, 10, 0.0, false);
    prompter.Push(std::vector<fs::path>{folder / "l3.sto"});
    PushConfiguration(0);
    for (double refused : {0.0, -10.0, 2.0e6, std::nan("")}) prompter.Push(refused);
    prompter.Push(10.0);
    prompter.PushDialog<CEditOriginalDataValues>([](CEditOriginalDataValues&) { return true; });
    ASSERT_TRUE(Open());
    EXPECT_FALSE(prompter.AnyUnanswered());
    int asked = 0, refusals = 0;
    for (const auto& p : prompter.History()) asked += p.sText == "Enter marker spacing (m)";
    for (const auto& m : prompter.Messages())
        refusals += m == "The marker spacing must be more than 0 m and at most 1000000 m.";
    EXPECT_EQ(asked, 5);
    EXPECT_EQ(refusals, 4);
    EXPECT_FALSE(ctx.failure) << "the spacing finally given was taken";
    EXPECT_EQ(doc.survey.Line(0).pMarker[3].fDistance, 30.0f);
    EXPECT_EQ(doc.survey.bMarkerDistance, 1) << "the markers carry distances now";
    EXPECT_EQ(view.iViewMode, kViewSectionOriginal);
}

TEST_F(OpenSurveyTest, CancelledSpacingLeavesNoDistances) {
    WriteLoggerFile(folder / "l3.sto", 30, 10, 0.0, false);
    prompter.Push(std::vector<fs::path>{folder / "l3.sto"});
    PushConfiguration(0);
    prompter.PushCancel();
    ASSERT_TRUE(Open());
    EXPECT_EQ(view.iViewMode, kViewNothing);
    EXPECT_EQ(doc.survey.Line(0).pData[5].bDistance, 0);
}

TEST_F(OpenSurveyTest, OneDimensionalSurveyAveragesEveryLine) {
    WriteLoggerFile(folder / "s1.sto", 10, 0, 10.0, false);
    prompter.Push(std::vector<fs::path>{folder / "s1.sto"});
    PushConfiguration(5);
    ASSERT_TRUE(Open());
    EXPECT_EQ(doc.sounding.points.size(), 5u);
    EXPECT_EQ(doc.sounding.bPresent, 1);
    EXPECT_EQ(prompter.Messages().back(), "Number of data = 5");
}

TEST_F(OpenSurveyTest, FittedLinesPerLineWithGps) {
    WriteLoggerFile(folder / "g5.sto", 60, 20, 0.0, true);
    prompter.Push(std::vector<fs::path>{folder / "g5.sto"});
    PushConfiguration(4);
    prompter.Push(PromptAnswer::Yes);  // KML files
    ASSERT_TRUE(Open());
    EXPECT_FALSE(prompter.AnyUnanswered());
    const CGantrelLine& line = doc.survey.Line(0);
    ASSERT_GT(line.nGPS(), 50);
    EXPECT_EQ(view.iViewMode, kViewLineResistivity);
    EXPECT_EQ(doc.survey.bMarkerDistance, 1);
    EXPECT_TRUE(fs::exists(folder / "gps_map.txt"));
    EXPECT_TRUE(fs::exists(folder / "gps_0.kml"));
    // About 1 m per second northward: the last reading lies tens of metres along the line.
    EXPECT_GT(line.pData.back().fDistance - line.pData.front().fDistance, 40.0f);
    EXPECT_EQ(line.bPosition, 1);
    EXPECT_TRUE(doc.survey.HasDistances());
    EXPECT_GT(doc.survey.fMaxPosition - doc.survey.fMinPosition, 40.0f)
        << "the measured section spans the distances";
}

TEST_F(OpenSurveyTest, GpsMapConfigurationWaitsForFlags) {
    WriteLoggerFile(folder / "g6.sto", 10, 0, 0.0, true);
    prompter.Push(std::vector<fs::path>{folder / "g6.sto"});
    PushConfiguration(2);
    prompter.Push(PromptAnswer::No);
    ASSERT_TRUE(Open());
    EXPECT_EQ(view.iViewMode, kViewGPSMap);
    EXPECT_EQ(view.iMouseMode, kMouseFlags);
    EXPECT_EQ(prompter.Messages().back(),
              "Set beginning, ending (and nodes) of survey line by a mouse.");
    EXPECT_FALSE(fs::exists(folder / "gps_0.kml"));
}

TEST_F(OpenSurveyTest, ReopeningStartsFromNothingOfThePreviousSurvey) {
    // A survey positioned on its GPS track (configuration 1), with an edit to undo.
    WriteLoggerFile(folder / "g1.sto", 40, 10, 0.0, true);
    prompter.Push(std::vector<fs::path>{folder / "g1.sto"});
    PushConfiguration(1);
    prompter.Push(PromptAnswer::No);  // KML files
    ASSERT_TRUE(Open());
    ASSERT_EQ(doc.survey.bGPSDistance, 1);
    ASSERT_GT(doc.survey.nFlag, 0);
    doc.SaveSurveyForUndo();
    ASSERT_TRUE(table.IsEnabled(ctx, kCmdUndo));

    // Then a survey whose markers carry distances 0, 10, 20 and 30 m.
    WriteLoggerFile(folder / "m2.sto", 30, 10, 10.0, false);
    prompter.Push(PromptAnswer::Ok);  // clear the current data
    prompter.Push(std::vector<fs::path>{folder / "m2.sto"});
    PushConfiguration(0);
    ASSERT_TRUE(Open());
    EXPECT_FALSE(prompter.AnyUnanswered());
    const CGantrelLine& line = doc.survey.Line(0);
    EXPECT_EQ(line.pData[29].fDistance, 30.0f) << "the marker path assigned the distances";
    EXPECT_EQ(doc.survey.bGPSDistance, 0);
    EXPECT_EQ(doc.survey.nFlag, 0) << "the old survey's flags are gone";
    // Undo gives back the survey from before the open, not the one before its edit.
    ASSERT_TRUE(table.IsEnabled(ctx, kCmdUndo));
    ASSERT_TRUE(table.Invoke(ctx, kCmdUndo));
    EXPECT_EQ(doc.survey.bGPSDistance, 1);
    EXPECT_GT(doc.survey.nFlag, 0);
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdUndo)) << "one level of undo";
}

TEST_F(OpenSurveyTest, NewSurveyDataClearTheSectionAndModelAndUndoGivesBothBack) {
    WriteLoggerFile(folder / "m1.sto", 30, 10, 10.0, false);
    prompter.Push(std::vector<fs::path>{folder / "m1.sto"});
    PushConfiguration(0);
    ASSERT_TRUE(Open());
    // A section with a model, as gridding and "Initial model" leave it.
    doc.store.nColumn = 2;
    doc.store.nRow[0] = doc.store.nRow[1] = 1;
    doc.store.fColumnX[1] = 400.0f;
    doc.store.nLayer = doc.store.nBoundary = 2;
    doc.store.nModelColumn = doc.store.nBoundaryColumn = 2;
    doc.store.fLayerResistivity[1][0] = 123.0f;
    doc.sDataTitle = "m1.sto";

    WriteLoggerFile(folder / "m2.sto", 20, 10, 10.0, false);
    prompter.Push(PromptAnswer::Ok);
    prompter.Push(std::vector<fs::path>{folder / "m2.sto"});
    PushConfiguration(0);
    ASSERT_TRUE(Open());
    EXPECT_TRUE(ctx.bNewData);
    EXPECT_EQ(doc.store.nColumn, 0) << "no section of the old survey beside the new one";
    EXPECT_EQ(doc.store.nLayer, 0);
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdInitialModel));
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdInversion));
    EXPECT_EQ(doc.survey.Line(0).nData(), 20);

    doc.sDataTitle = "m2.sto";  // as the window captions the new data
    ASSERT_TRUE(table.Invoke(ctx, kCmdUndo));
    EXPECT_EQ(doc.survey.Line(0).nData(), 30);
    EXPECT_EQ(doc.store.nColumn, 2);
    EXPECT_EQ(doc.store.fColumnX[1], 400.0f);
    EXPECT_EQ(doc.store.nLayer, 2);
    EXPECT_EQ(doc.store.fLayerResistivity[1][0], 123.0f);
    EXPECT_EQ(doc.sDataTitle, "m1.sto");
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdUndo));
}

TEST_F(OpenSurveyTest, UndoOfAnOpenEndsWithTheNextSectionOrModel) {
    WriteLoggerFile(folder / "m1.sto", 30, 10, 10.0, false);
    prompter.Push(std::vector<fs::path>{folder / "m1.sto"});
    PushConfiguration(0);
    ASSERT_TRUE(Open());
    prompter.Push(PromptAnswer::Ok);
    prompter.Push(std::vector<fs::path>{folder / "m1.sto"});
    PushConfiguration(0);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(table.IsEnabled(ctx, kCmdUndo));
    // A grid of the new survey: undoing the open now would pair the old survey with it.
    prompter.Push(5.0);
    ASSERT_TRUE(table.Invoke(ctx, kCmdConvertToGrid));
    ASSERT_GT(doc.store.nColumn, 0);
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdUndo));
    // An edit starts an undo of its own.
    doc.SaveSurveyForUndo();
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdUndo));
    EXPECT_FALSE(doc.IsOpenUndo());
}

TEST_F(OpenSurveyTest, FileWithoutSurveyDataKeepsTheLoadedSurvey) {
    WriteLoggerFile(folder / "m1.sto", 30, 10, 10.0, false);
    prompter.Push(std::vector<fs::path>{folder / "m1.sto"});
    PushConfiguration(0);
    ASSERT_TRUE(Open());
    doc.store.nColumn = 3;
    {
        std::ofstream(folder / "photo.sto", std::ios::binary) << "\x89PNG\r\n\x1a\n\0\0\0\rIHDR";
        std::ofstream(folder / "empty.sto");
    }
    for (const char* name : {"photo.sto", "empty.sto"}) {
        prompter.ClearHistory();
        ctx.failure.reset();
        ctx.bNewData = false;
        prompter.Push(PromptAnswer::Ok);
        prompter.Push(std::vector<fs::path>{folder / name});
        ASSERT_TRUE(Open());
        EXPECT_EQ(prompter.Messages().back(),
                  (folder / name).string() +
                      " holds no survey data. The survey loaded before is kept.");
        EXPECT_TRUE(ctx.failure.has_value());
        EXPECT_FALSE(ctx.bNewData);
        ASSERT_EQ(doc.survey.nLine, 1) << name;
        EXPECT_EQ(doc.survey.Line(0).nData(), 30);
        EXPECT_TRUE(doc.survey.HasDistances());
        EXPECT_EQ(doc.store.nColumn, 3) << "the section stays with its survey";
        EXPECT_EQ(doc.dataFolder, folder);
        for (const auto& m : prompter.Messages())
            EXPECT_EQ(m.find("lines are imported"), std::string::npos) << m;
    }
    // Two files, neither a survey.
    prompter.Push(PromptAnswer::Ok);
    prompter.Push(std::vector<fs::path>{folder / "photo.sto", folder / "empty.sto"});
    ASSERT_TRUE(Open());
    EXPECT_EQ(prompter.Messages().back(),
              "None of the 2 files holds survey data. The survey loaded before is kept.");
    EXPECT_EQ(doc.survey.nLine, 1);
}

TEST_F(OpenSurveyTest, MissingFileIsReportedAndTheOthersRead) {
    WriteLoggerFile(folder / "l1.sto", 5, 0, 10.0, false);
    prompter.Push(std::vector<fs::path>{folder / "l0.sto", folder / "l1.sto"});
    PushConfiguration(0);
    ASSERT_TRUE(Open());
    const auto messages = prompter.Messages();
    EXPECT_EQ(messages[0], "Cannot open the file " + (folder / "l0.sto").string());
    EXPECT_EQ(doc.survey.nLine, 1);
    EXPECT_EQ(ctx.failure, messages[0]) << "the window reads on; the batch must not";
}

TEST_F(OpenSurveyTest, PipesAndDevicesAreRefusedAndTheOthersRead) {
    WriteLoggerFile(folder / "l1.sto", 5, 0, 10.0, false);
    const fs::path pipe = folder / "l2.sto";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    prompter.Push(std::vector<fs::path>{pipe, "/dev/zero", folder / "l1.sto"});
    PushConfiguration(0);
    ASSERT_TRUE(Open());  // returns: nothing waits on the pipe or reads the device for ever
    const auto messages = prompter.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Cannot open the file " + pipe.string() + ": it is not a regular file");
    EXPECT_EQ(messages[1], "Cannot open the file /dev/zero: it is not a regular file");
    EXPECT_EQ(doc.survey.nLine, 1);
    EXPECT_EQ(ctx.failure, messages[0]);
}

TEST_F(OpenSurveyTest, FilesOpenedAreKeptFromSideFilesLater) {
    // A survey file that carries the name of the list file of the opening.
    WriteLoggerFile(folder / "Gantrel_data_files.txt", 5, 0, 10.0, false);
    const std::string before = [&] {
        std::ifstream in(folder / "Gantrel_data_files.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    prompter.Push(std::vector<fs::path>{folder / "Gantrel_data_files.txt"});
    prompter.Push(3);  // its name gives no file index
    PushConfiguration(0);
    ASSERT_TRUE(Open());
    EXPECT_EQ(doc.survey.nLine, 1);
    std::ifstream in(folder / "Gantrel_data_files.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before);
    const auto messages = prompter.Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "The side file " + (folder / "Gantrel_data_files.txt").string() +
                            " was not written: it is a file being read."),
              messages.end());
    EXPECT_EQ(doc.inputFiles, std::vector<fs::path>{folder / "Gantrel_data_files.txt"});
}

}  // namespace
