// The logging document: language question, window placement, auxiliary windows, menu
// enabling, the language switch and the exit with a line being recorded.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "logger/tessick_menu.h"
#include "logger/tessick_texts.h"
#include "tests/logger/logger_support.h"

namespace loggertest {
namespace {

using TessickDoc = DocTest;

TEST_F(TessickDoc, FirstRunAsksTheLanguageOnceAndLaterRunsDoNot) {
    WriteSuiteValue("LanguageRegister", "0");
    prompter.Push(1);  // "Japanese"
    MakeDoc();
    ASSERT_EQ(prompter.History().size(), 1u);
    EXPECT_EQ(prompter.History()[0].sKind, "two-button");
    EXPECT_EQ(prompter.History()[0].sText, "Select the language !");
    EXPECT_EQ(doc->Language(), kLanguageJapanese);
    EXPECT_EQ(ReadSuiteInt("LanguageRegister", 0), 1);
    EXPECT_EQ(ReadSuiteInt("Language", 0), 1);
    EXPECT_EQ(S().form.gantrel.sCaption, "ｶﾞﾝﾄﾚﾙの受信") << "captions follow the chosen language";

    doc.reset();
    prompter.ClearHistory();
    MakeDoc();
    EXPECT_TRUE(prompter.History().empty());
    EXPECT_EQ(doc->Language(), kLanguageJapanese);
}

TEST_F(TessickDoc, GPSActiveIsClearedAtCreationAndDestruction) {
    WriteSuiteInt("GPS_Active", 1);
    MakeDoc();
    EXPECT_EQ(ReadSuiteInt("GPS_Active", -1), 0);
    WriteSuiteInt("GPS_Active", 1);
    doc.reset();
    EXPECT_EQ(ReadSuiteInt("GPS_Active", -1), 0);
}

TEST_F(TessickDoc, WindowPlacementIsClamped) {
    EXPECT_EQ(LoadTessickPlacement(), (CTessickPlacement{0, 0, 1200, 600}));
    SaveTessickPlacement({500, -3, 300, 200});
    EXPECT_EQ(LoadTessickPlacement(), (CTessickPlacement{200, 0, 768, 537}));
    SaveTessickPlacement({10, 20, 5000, 2001});
    EXPECT_EQ(LoadTessickPlacement(), (CTessickPlacement{10, 20, 2000, 2000}));
}

TEST_F(TessickDoc, EachAuxiliaryWindowOpensOnceAndItsMenuItemFollows) {
    MakeDoc();
    for (int cmd : {kCmdShowProfileWindow, kCmdShowGPSWindow, kCmdShowModelWindow,
                    kCmdShowLoggingWindow}) {
        const int w = CTessickDoc::WindowOfCommand(cmd);
        ASSERT_GE(w, 0);
        EXPECT_TRUE(doc->IsEnabled(cmd));
        EXPECT_TRUE(doc->OpenWindow(w));
        EXPECT_FALSE(doc->OpenWindow(w)) << "at most one of each kind";
        EXPECT_FALSE(doc->IsEnabled(cmd));
        doc->WindowClosed(w);
        EXPECT_TRUE(doc->IsEnabled(cmd));
    }
    EXPECT_EQ(CTessickDoc::WindowOfCommand(kCmdProfileClosed), -1);
    // While the program closes, a view's destruction no longer clears its flag.
    doc->OpenWindow(kProfileWindow);
    doc->PrepareClose();
    doc->WindowClosed(kProfileWindow);
    EXPECT_TRUE(doc->IsWindowOpen(kProfileWindow));
}

TEST_F(TessickDoc, MenuItemsFollowTheRecordState) {
    MakeDoc();
    EXPECT_TRUE(doc->IsEnabled(kCmdStartGantrel));
    EXPECT_FALSE(doc->IsEnabled(kCmdStopGantrel));
    EXPECT_FALSE(doc->IsEnabled(kCmdMark));
    EXPECT_FALSE(doc->IsEnabled(kCmdEndLine));
    EXPECT_TRUE(doc->IsEnabled(kCmdIncrementFileID));
    EXPECT_FALSE(doc->IsEnabled(kCmdThreadStartGantrel)) << "the thread submenu is never enabled";
    EXPECT_TRUE(doc->IsEnabled(kCmdDemoConstantModel));
    EXPECT_TRUE(doc->IsEnabled(kCmdDemoGPSTrack));
    EXPECT_FALSE(doc->IsEnabled(kCmdUpload)) << "no uploader plugged in";
    EXPECT_FALSE(doc->Execute(kCmdMark)) << "disabled commands do not run";

    CPty pty;
    StartGantrel(pty);
    EXPECT_TRUE(doc->IsEnabled(kCmdMark));
    EXPECT_TRUE(doc->IsEnabled(kCmdStopGantrel));
    EXPECT_FALSE(doc->IsEnabled(kCmdDemoConstantModel)) << "the instrument is started";
    EXPECT_TRUE(doc->IsEnabled(kCmdDemoGPSTrack));
    ASSERT_TRUE(doc->Execute(kCmdMark));  // START
    EXPECT_EQ(S().iRecordState, 1);
    EXPECT_FALSE(doc->IsEnabled(kCmdStopGantrel)) << "stop only while idle";
    EXPECT_FALSE(doc->IsEnabled(kCmdIncrementFileID));
    EXPECT_FALSE(doc->IsEnabled(kCmdSetUpGeometry));
    EXPECT_FALSE(doc->IsEnabled(kCmdDataFileNameAndFolder));
    EXPECT_TRUE(doc->IsEnabled(kCmdPause));
    EXPECT_TRUE(doc->Execute(kCmdPause));
    EXPECT_FALSE(doc->IsEnabled(kCmdMark)) << "no MARK while paused";
    EXPECT_TRUE(doc->Execute(kCmdEndLine));
    EXPECT_EQ(S().iRecordState, 0);
    EXPECT_EQ(S().bPaused, 0);
    EXPECT_TRUE(doc->IsEnabled(kCmdIncrementFileID));
}

TEST_F(TessickDoc, KeysActOnlyWhileTheFirstInstrumentIsStarted) {
    MakeDoc();
    EXPECT_FALSE(doc->OnKey('M'));
    EXPECT_EQ(S().iRecordState, 0);
    CPty pty;
    StartGantrel(pty);
    EXPECT_TRUE(doc->OnKey('M'));
    EXPECT_TRUE(doc->OnKey('m'));
    EXPECT_EQ(S().iMarkerNumber, 1);
    EXPECT_FALSE(doc->OnKey('X'));
    EXPECT_TRUE(doc->OnKey('E'));
    EXPECT_EQ(S().iRecordState, 0);
}

TEST_F(TessickDoc, DataArrivalIsKeptForTheSweep) {
    MakeDoc();
    CPty pty;
    StartGantrel(pty);
    int updates = 0;
    doc->onViewsUpdate = [&] { ++updates; };
    clock.Advance(5000);
    Tick();
    EXPECT_EQ(updates, 0) << "a tick without data does not redraw the views";
    const CClockTime before = doc->lastDataArrival;
    pty.Send(ConsoleLine(2) + "\r\n");
    Tick();
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(doc->lastDataArrival, clock.Now());
    EXPECT_GT(doc->lastDataArrival.time, before.time);
}

TEST_F(TessickDoc, JapaneseSwitchRecaptionsTheButtonsAndStoresTheLanguage) {
    MakeDoc();
    CPty pty;
    StartGantrel(pty);
    doc->Execute(kCmdMark);
    int changed = 0;
    doc->onLanguageChanged = [&] { ++changed; };
    ASSERT_TRUE(doc->Execute(kCmdJapanese));
    EXPECT_TRUE(doc->IsChecked(kCmdJapanese));
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(ReadSuiteInt("Language", 0), 1);
    EXPECT_EQ(S().form.gantrel.sCaption, "ｶﾞﾝﾄﾚﾙの終了");
    EXPECT_EQ(S().form.startMark.sCaption, "マーカー (M)");
    EXPECT_EQ(S().form.endLine.sCaption, "測定終了 (E)");
    EXPECT_EQ(S().form.pause.sCaption, "一時停止 (P)");
    EXPECT_EQ(doc->parameter.sValueLabel, "比抵抗");
    // Commands after the switch speak Japanese too.
    doc->Execute(kCmdMark);
    EXPECT_EQ(S().dataLines.Latest(), ">>ﾏｰｶｰ (1)");
    doc->Execute(kCmdJapanese);
    EXPECT_EQ(S().form.startMark.sCaption, "MARK (M)");
    EXPECT_EQ(TranslateCaption("N/A", 1), "N/A");
}

TEST_F(TessickDoc, ExitWhileRecordingWritesTheEndMarkerAfterOK) {
    MakeDoc();
    CPty pty;
    StartGantrel(pty);
    doc->Execute(kCmdMark);
    doc->Execute(kCmdMark);
    WriteSuiteInt("GPS_Active", 1);

    prompter.Push(PromptAnswer::Cancel);
    EXPECT_FALSE(doc->ConfirmExit());
    EXPECT_EQ(prompter.History().back().sText, "Are you sure you want to exit?");
    EXPECT_EQ(S().iRecordState, 1) << "a cancelled exit changes nothing";

    prompter.Push(PromptAnswer::Ok);
    ASSERT_TRUE(doc->ConfirmExit());
    doc->PrepareClose();
    EXPECT_EQ(S().iRecordState, 0);
    EXPECT_EQ(ReadSuiteInt("GPS_Active", -1), 0);
    const std::string file = ReadFile(S().sSurveyPath[kFirstInstrument]);
    // START, MARK and the END marker, the END marker last.
    std::vector<std::string> records;
    std::istringstream in(file);
    for (std::string line; std::getline(in, line);) records.push_back(line);
    ASSERT_FALSE(records.empty());
    int markers = 0;
    for (const auto& r : records) markers += r.rfind("3 ", 0) == 0 ? 1 : 0;
    EXPECT_EQ(markers, 3) << file;
    EXPECT_EQ(records.back().rfind("3 ", 0), 0u) << file;
    EXPECT_NE(file.find("\r\n"), std::string::npos) << "CR LF line ends";
    EXPECT_EQ(S().markers.Latest().iMarkerNumber, 2);
    EXPECT_EQ(S().markers.Latest().iKind, 2);
}

TEST_F(TessickDoc, ExitQuestionIsAskedInJapaneseInJapaneseMode) {
    MakeDoc();
    doc->ToggleJapanese();
    prompter.Push(PromptAnswer::Ok);
    EXPECT_TRUE(doc->ConfirmExit());
    EXPECT_EQ(prompter.History().back().sText, "終了しますか?");
}

TEST_F(TessickDoc, SetupDatabaseStoresTheURL) {
    MakeDoc();
    prompter.Push(std::string("http://127.0.0.1:8080/up.php"));
    ASSERT_TRUE(doc->Execute(kCmdSetupDatabase));
    EXPECT_EQ(ReadSettingString("sRegistrationURL", ""), "http://127.0.0.1:8080/up.php");
    prompter.PushCancel();
    doc->Execute(kCmdSetupDatabase);
    EXPECT_EQ(ReadSettingString("sRegistrationURL", ""), "http://127.0.0.1:8080/up.php");
}

TEST(TessickMenu, BothLanguagesCarryEveryCommandOnceWithText) {
    const std::vector<int> ids = MainMenuCommands();
    std::set<int> unique(ids.begin(), ids.end());
    EXPECT_EQ(unique.size(), ids.size());
    for (int id : {32783, 32801, 32800, 32785, 32815, 32811, 32813, 32797, 32826, 32842, 32850,
                   32854, 32821, 32822, 32823, 32824, 32786, 32831, 32852, 32853, 32809, 32791,
                   32843, 32845, 32802, 32858, 32848, 32856, 32806, 32772, 32780, 32778, 32781,
                   32775}) {
        const CMenuEntry* e = FindMenuEntry(id);
        ASSERT_NE(e, nullptr) << id;
        EXPECT_FALSE(e->Text(0).empty()) << id;
        EXPECT_FALSE(e->Text(1).empty()) << id;
        EXPECT_NE(e->Text(0), e->Text(1)) << id;
    }
    EXPECT_EQ(FindMenuEntry(kCmdShowLoggingWindow)->sEnglish, "Show logging winodw");
    EXPECT_EQ(FindMenuEntry(kCmdUpload)->sEnglish, "Upload  data to database");
    EXPECT_TRUE(FindMenuEntry(kCmdJapanese)->bCheckable);
    EXPECT_EQ(FindMenuEntry(kCmdColorManual)->sEnglish, "Manual");
    EXPECT_TRUE(TessickViewMenu(kLoggingWindow).empty());
}

}  // namespace
}  // namespace loggertest
