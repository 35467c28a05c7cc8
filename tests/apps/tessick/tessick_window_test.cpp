// The logging window driven as the operator drives it: a console on a pseudo-terminal, the
// keys M, E and P, the auxiliary windows, the language and the exit.
#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPlainTextEdit>

#include "logger/tessick_menu.h"
#include "tests/apps/tessick/tessick_gui_support.h"

namespace tessick_test {
namespace {

using TessickWindow = WindowTest;

TEST_F(TessickWindow, ALineRecordedByKeysFromAConsoleOnAPseudoTerminal) {
    Make();
    EXPECT_EQ(Big(kIdcGantrel).text(), "Start Gantrel");
    EXPECT_EQ(Big(kIdcStartMark).text(), "N/A");
    EXPECT_FALSE(W().IsPollTimerRunning());
    Key(Qt::Key_M);
    EXPECT_EQ(S().iRecordState, 0) << "keys do nothing while the instrument is stopped";

    CPty pty;
    StartGantrel(pty);
    EXPECT_TRUE(W().IsPollTimerRunning());
    EXPECT_EQ(Big(kIdcGantrel).text(), "Stop Gantrel");
    EXPECT_EQ(Big(kIdcGantrel).State().color, kButtonGreen);
    EXPECT_EQ(Big(kIdcStartMark).text(), "START (M)");
    const fs::path file = S().sSurveyPath[kFirstInstrument];

    // Readings before START are shown, not recorded.
    pty.Send(Console(1.0));
    WaitForReadings(1);
    pty.Consumed();
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(Form().findChild<QLineEdit*>("2001")->text(), "13.10");

    Key(Qt::Key_M);  // START
    auto records = Records(file);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].rfind("33 ", 0), 0u);
    EXPECT_EQ(records[1].rfind("3 ", 0), 0u);
    EXPECT_EQ(Big(kIdcStartMark).text(), "MARK (M)");
    EXPECT_EQ(Big(kIdcEndLine).text(), "END LINE (E)");
    EXPECT_EQ(Big(kIdcEndLine).State().color, kButtonRed);
    EXPECT_EQ(Big(kIdcPause).text(), "PAUSE (P)");
    EXPECT_FALSE(Big(kIdcGantrel).isEnabled());
    EXPECT_FALSE(W().Action(kCmdIncrementFileID)->isEnabled());
    EXPECT_TRUE(W().Action(kCmdEndLine)->isEnabled());

    pty.Send(Console(2.0) + Console(3.0));
    WaitForReadings(3);
    pty.Consumed();
    EXPECT_EQ(CountKind(Records(file), "30"), 2);

    Key(Qt::Key_M);
    Key(Qt::Key_M);
    records = Records(file);
    EXPECT_EQ(CountKind(records, "3"), 3) << "START and two MARKs";
    EXPECT_EQ(Form().findChild<QLineEdit*>("1106")->text(), "2");
    EXPECT_TRUE(Form().findChild<QPlainTextEdit*>("1002")->toPlainText().endsWith(">>Marker (2)"));

    Key(Qt::Key_P);
    EXPECT_EQ(Big(kIdcPause).text(), "Re-START (P)");
    EXPECT_EQ(Big(kIdcStartMark).text(), "N/A");
    pty.Send(Console(4.0));
    WaitForReadings(4);
    pty.Consumed();
    EXPECT_EQ(CountKind(Records(file), "30"), 2) << "nothing is written while paused";
    Key(Qt::Key_M);
    EXPECT_EQ(CountKind(Records(file), "3"), 3) << "no MARK while paused";

    Key(Qt::Key_E);
    records = Records(file);
    EXPECT_EQ(CountKind(records, "3"), 4);
    EXPECT_EQ(records.back().rfind("3 ", 0), 0u) << "the END marker ends the line";
    EXPECT_EQ(S().markers.Latest().iKind, 2);
    EXPECT_EQ(Big(kIdcStartMark).text(), "START (M)");
    EXPECT_EQ(Big(kIdcEndLine).text(), "N/A");
    EXPECT_EQ(Big(kIdcPause).text(), "N/A");
    EXPECT_TRUE(Big(kIdcGantrel).isEnabled());
    EXPECT_TRUE(W().Action(kCmdIncrementFileID)->isEnabled());

    QTest::mouseClick(&Big(kIdcGantrel), Qt::LeftButton);
    EXPECT_EQ(S().bGantrelStarted, 0);
    EXPECT_FALSE(W().IsPollTimerRunning()) << "no device left: the poll timer goes";
    EXPECT_EQ(Big(kIdcGantrel).text(), "Start Gantrel");
}

TEST_F(TessickWindow, KeysReachTheEngineFromEveryView) {
    Make();
    CPty pty;
    StartGantrel(pty);
    for (int w = 0; w < kAuxWindows; ++w) ASSERT_TRUE(W().OpenAuxWindow(w));
    QTest::keyClick(W().AuxView(kGPSWindow), Qt::Key_M);
    EXPECT_EQ(S().iRecordState, 1);
    QTest::keyClick(W().AuxView(kLoggingWindow), Qt::Key_M);
    EXPECT_EQ(S().iMarkerNumber, 1);
    QTest::keyClick(W().AuxView(kProfileWindow), Qt::Key_E);
    EXPECT_EQ(S().iRecordState, 0);
    QTest::keyClick(W().AuxView(kModelWindow), Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(S().iRecordState, 0) << "Ctrl+M is no command key";
}

TEST_F(TessickWindow, EachAuxiliaryWindowOpensOnceAndItsButtonFollows) {
    Make();
    const std::pair<int, int> buttons[] = {{kIdcProfileWindow, kCmdShowProfileWindow},
                                           {kIdcGPSWindow, kCmdShowGPSWindow},
                                           {kIdcModelWindow, kCmdShowModelWindow},
                                           {kIdcLoggingWindow, kCmdShowLoggingWindow}};
    for (const auto& [id, command] : buttons) {
        auto* button = Form().findChild<QPushButton*>(QString::number(id));
        ASSERT_NE(button, nullptr);
        const int w = WindowOfFormButton(id);
        EXPECT_TRUE(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_NE(W().AuxSubWindow(w), nullptr);
        EXPECT_FALSE(button->isEnabled());
        EXPECT_FALSE(W().Action(command)->isEnabled());
        EXPECT_FALSE(W().RunCommand(command)) << "a second one does not open";
        EXPECT_EQ(W().Area()->subWindowList().size(), 2);
        W().AuxSubWindow(w)->close();
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(W().AuxSubWindow(w), nullptr);
        EXPECT_TRUE(button->isEnabled());
        EXPECT_TRUE(W().Action(command)->isEnabled());
        // The menu item opens it as well.
        ASSERT_TRUE(W().RunCommand(command));
        EXPECT_FALSE(button->isEnabled());
        W().AuxSubWindow(w)->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // Placement of the model and GPS windows.
    W().OpenAuxWindow(kModelWindow);
    EXPECT_EQ(W().AuxSubWindow(kModelWindow)->geometry(), QRect(10, 10, 400, 400));
    W().OpenAuxWindow(kGPSWindow);
    EXPECT_EQ(W().AuxSubWindow(kGPSWindow)->geometry(), QRect(100, 100, 500, 500));
}

TEST_F(TessickWindow, TheControlFormCannotBeClosedByItself) {
    Make();
    QMdiSubWindow* form = W().Area()->subWindowList().front();
    form->close();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(P().Messages().back(), "OnClose in CControlForm");
}

TEST_F(TessickWindow, AboutShowsTheProjectVersion) {
    Make();
    ASSERT_TRUE(W().RunCommand(kCmdAbout));
    EXPECT_EQ(P().Messages().back(), std::string("Tessick Version ") + TESSICK_PROJECT_VERSION);
}

TEST_F(TessickWindow, ProfileViewMenuSwitchesModesAndIsStored) {
    Make();
    W().OpenAuxWindow(kProfileWindow);
    CRealtimeViewWidget* view = W().AuxView(kProfileWindow);
    W().Area()->setActiveSubWindow(W().AuxSubWindow(kProfileWindow));
    QMenu* menu = W().findChild<QMenu*>("viewMenu");
    ASSERT_NE(menu, nullptr) << "the profile window brings its View menu";
    EXPECT_TRUE(view->IsChecked(kCmdViewResistance));
    ASSERT_TRUE(view->Command(kCmdViewModel));
    EXPECT_EQ(ReadSettingInt("iViewMenu", -1), 3);
    EXPECT_FALSE(view->Grab().isNull());
}

TEST_F(TessickWindow, ExitWhileRecordingWritesTheEndMarker) {
    Make();
    CPty pty;
    StartGantrel(pty);
    Key(Qt::Key_M);
    WriteSuiteInt("GPS_Active", 1);
    const fs::path file = S().sSurveyPath[kFirstInstrument];

    P().PushAnswer([](QDialog& d) { ClickButton(d, CancelText()); });
    EXPECT_FALSE(W().close());
    EXPECT_EQ(P().History().back().sText, "Are you sure you want to exit?");
    EXPECT_EQ(S().iRecordState, 1);
    EXPECT_EQ(CountKind(Records(file), "3"), 1);

    W().move(500, 20);
    P().PushAnswer([](QDialog& d) { ClickButton(d, OkText()); });
    EXPECT_TRUE(W().close());
    const auto records = Records(file);
    EXPECT_EQ(CountKind(records, "3"), 2);
    EXPECT_EQ(records.back().rfind("3 ", 0), 0u);
    EXPECT_EQ(ReadSuiteInt("GPS_Active", -1), 0);
    EXPECT_GE(ReadSettingInt("WindowW", 0), 768);
    EXPECT_EQ(ReadSettingInt("WindowX", -1), 500) << "stored as it was; clamped when read";
}

TEST_F(TessickWindow, FirstStartAsksTheLanguageAndJapaneseMenusFollow) {
    WriteSuiteValue("LanguageRegister", "0");
    window = std::make_unique<CTessickMainWindow>(ports, clock);
    window->Prompter().SetScripted(true);
    window->Prompter().PushAnswer([](QDialog& d) { ClickButton(d, "Japanese"); });
    window->Start();
    ASSERT_EQ(P().History().size(), 1u);
    EXPECT_EQ(P().History()[0].sText, "Select the language !");
    EXPECT_EQ(W().Action(kCmdShowProfileWindow)->text(), "プロファイル・ウィンドウを表示");
    EXPECT_EQ(Big(kIdcGantrel).text(), "ｶﾞﾝﾄﾚﾙの受信");
    EXPECT_TRUE(W().Action(kCmdJapanese)->isChecked());
    ASSERT_TRUE(W().RunCommand(kCmdJapanese));
    EXPECT_EQ(W().Action(kCmdShowProfileWindow)->text(), "Show profile window");
    EXPECT_EQ(Big(kIdcGantrel).text(), "Start Gantrel");
    EXPECT_FALSE(W().Action(kCmdJapanese)->isChecked());

    // A later start does not ask.
    window.reset();
    Make();
    EXPECT_TRUE(P().History().empty());
}

TEST_F(TessickWindow, TheSavedPlacementComesBackUnchangedAtEveryStart) {
    // Inside the test screen (800 x 600), above the smallest size.
    WriteSettingInt("WindowX", 10);
    WriteSettingInt("WindowY", 20);
    WriteSettingInt("WindowW", 780);
    WriteSettingInt("WindowH", 560);
    for (int start = 0; start < 3; ++start) {
        Make();
        EXPECT_EQ(W().size(), QSize(780, 560)) << start;
        P().PushAnswer([](QDialog& d) { ClickButton(d, OkText()); });
        ASSERT_TRUE(W().close());
        EXPECT_EQ(ReadSettingInt("WindowW", 0), 780) << start;
        EXPECT_EQ(ReadSettingInt("WindowH", 0), 560) << start;
        window.reset();
    }
}

TEST_F(TessickWindow, PlacementIsClampedAtStart) {
    WriteSettingInt("WindowX", 500);
    WriteSettingInt("WindowW", 300);
    WriteSettingInt("WindowH", 200);
    Make();
    EXPECT_EQ(W().pos().x(), 200);
    EXPECT_EQ(W().size(), QSize(768, 537));
}

}  // namespace
}  // namespace tessick_test
