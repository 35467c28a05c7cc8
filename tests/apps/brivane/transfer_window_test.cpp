// The console transfer in the window: the menu command with its dialogs, the 100 ms timer
// driving it while a console played on a pseudo-terminal sends a stored survey, the survey
// open at the end, and Escape and the stop button ending it early.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "apps/brivane/display_view.h"
#include "apps/brivane/main_window.h"
#include "common/settings.h"
#include "processing/console_transfer.h"
#include "tests/apps/brivane/gui_support.h"
#include "tests/support/console_pty.h"

namespace {

namespace fs = std::filesystem;

class TransferWindowTest : public gui_test::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("gantrel-gui-transfer-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        WriteSuiteValue("LanguageRegister", "1");
        window = std::make_unique<CBrivaneMainWindow>();
        window->Prompter().SetScripted(true);
        window->show();
        window->Start();
        window->SerialPorts().AddKnownDevice(pty.Path());
    }
    void TearDown() override {
        window.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
        GuiTest::TearDown();
    }
    CBrivaneViewState& ViewState() { return window->Context().view; }
    QAction& A(int id) { return *window->Action(id); }
    // The command with the destination and the pty at 19,200 baud chosen in its dialogs.
    void Start() {
        CQtPrompter& p = window->Prompter();
        p.PushAnswer([this](QDialog& d) {
            dynamic_cast<QFileDialog&>(d).selectFile(QString::fromStdString(destination().string()));
            d.accept();
        });
        p.PushAnswer([this](QDialog& d) {
            auto* port = d.findChild<QComboBox*>("port");
            ASSERT_NE(port, nullptr);
            EXPECT_NE(port->findText(QString::fromStdString(pty.Path())), -1)
                << "the pseudo-terminal is listed";
            port->setEditText(QString::fromStdString(pty.Path()));
            d.findChild<QComboBox*>("baudRate")->setCurrentText("19200");
            ClickNamed(d, "ok");
        });
        ASSERT_TRUE(A(kCmdImportR731).isEnabled());
        A(kCmdImportR731).trigger();
        ASSERT_EQ(ViewState().bTransfer, 1);
    }
    fs::path destination() const { return dir / "transfer.stn"; }
    // Lets the window's timer run until the transfer is over (or the time is up).
    bool WaitForEnd(int seconds) {
        for (int i = 0; i < seconds * 20 && ViewState().bTransfer == 1; ++i) QTest::qWait(50);
        return ViewState().bTransfer == 0;
    }

    fs::path dir;
    consoletest::CConsolePty pty;
    std::unique_ptr<CBrivaneMainWindow> window;
};

TEST_F(TransferWindowTest, AConsoleTransferEndsWithTheSurveyOpen) {
    const auto console = consoletest::MakeConsoleSurvey(dir, 30);
    Start();
    EXPECT_EQ(ViewState().iViewMode, kViewSerialTransfer);
    EXPECT_TRUE(window->TransferTimer().isActive());
    EXPECT_EQ(window->TransferTimer().interval(), 100);
    EXPECT_FALSE(A(kCmdImportR731).isEnabled()) << "one transfer at a time";
    EXPECT_EQ(ReadSettingInt("Brivane_iBaudRateIndex", -1), 8);
    const auto& shown = window->Prompter().History();
    bool baud = false;
    for (const auto& s : shown) baud = baud || s.sText == pty.Path() + ": Baud rate=19200 Stop bits=1";
    EXPECT_TRUE(baud);

    pty.SendPaced(console.stream, 40, 19200);
    ASSERT_TRUE(WaitForEnd(30));
    pty.Join();
    EXPECT_FALSE(window->TransferTimer().isActive());
    EXPECT_EQ(consoletest::ReadBytes(destination()), console.destination);
    CBrivaneDoc& doc = window->Document();
    ASSERT_EQ(doc.survey.nLine, 1);
    EXPECT_EQ(doc.survey.Line(0).nData(), console.nReading);
    EXPECT_EQ(ViewState().iViewMode, kViewSectionOriginal);
    EXPECT_EQ(doc.sDataTitle, "transfer.stn");
    ASSERT_FALSE(window->RecentFiles().isEmpty());
    EXPECT_EQ(window->RecentFiles().front().toStdString(), destination().string());
    EXPECT_FALSE(A(kCmdImportR731).isEnabled()) << "the survey has a line now";
}

TEST_F(TransferWindowTest, EscapeInTheViewStopsItAndImportsNothing) {
    Start();
    pty.Send("6 marker\r\n33  GOHM      7.500      2.500      5.000      2.500 09:30:00.00 10/08/24\r\n");
    QTest::qWait(350);
    ASSERT_EQ(ViewState().pTransfer->nReceivedLine, 2);
    QTest::keyClick(&window->View(), Qt::Key_Escape);
    EXPECT_EQ(ViewState().bTransfer, 0);
    EXPECT_EQ(ViewState().iViewMode, kViewNothing);
    EXPECT_FALSE(window->TransferTimer().isActive());
    EXPECT_EQ(window->Document().survey.nLine, 0);
    EXPECT_EQ(consoletest::ReadBytes(destination()),
              "6 marker\r\n33  GOHM      7.500      2.500      5.000      2.500 09:30:00.00 "
              "10/08/24\r\n");
    EXPECT_TRUE(A(kCmdImportR731).isEnabled());
}

TEST_F(TransferWindowTest, TheStopButtonStopsIt) {
    Start();
    QTest::qWait(250);
    ASSERT_TRUE(A(kCmdStopSerialTransfer).isEnabled());
    A(kCmdStopSerialTransfer).trigger();
    EXPECT_EQ(ViewState().bTransfer, 0);
    EXPECT_EQ(ViewState().pTransfer, nullptr);
    EXPECT_FALSE(window->TransferTimer().isActive());
    // A second transfer finds the port free and the timer is started again.
    Start();
    EXPECT_TRUE(window->TransferTimer().isActive());
    A(kCmdStopSerialTransfer).trigger();
}

}  // namespace
