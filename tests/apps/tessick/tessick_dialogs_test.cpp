// The logging program's dialogs as real widgets, reached through the commands that show them.
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "acquisition/logger_geometry.h"
#include "acquisition/serial_ports.h"
#include "apps/tessick/dialogs/dialogs.h"
#include "logger/tessick_menu.h"
#include "tests/apps/tessick/tessick_gui_support.h"

namespace tessick_test {
namespace {

using TessickDialogs = WindowTest;

TEST_F(TessickDialogs, SerialPortDialogListsRatesAndTakesATypedDevice) {
    Make();
    CPty pty;
    ports.AddKnownDevice(pty.Path());
    std::vector<QString> rates;
    P().PushAnswer([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Serial port - Gantrel");
        auto* baud = d.findChild<QComboBox*>("iBaudRate");
        for (int i = 0; i < baud->count(); ++i) rates.push_back(baud->itemText(i));
        EXPECT_EQ(baud->currentText(), "1200") << "the default rate";
        auto* stop = d.findChild<QComboBox*>("iStopBits");
        EXPECT_EQ(stop->count(), 3);
        stop->setCurrentIndex(2);
        d.findChild<QComboBox*>("iPort")->setEditText(QString::fromStdString(pty.Path()));
        baud->setCurrentIndex(6);
        ClickNamed(d, "ok");
    });
    ASSERT_TRUE(W().RunCommand(kCmdStartGantrel));
    ASSERT_EQ(rates.size(), 15u);
    EXPECT_EQ(rates.back(), "256000");
    EXPECT_EQ(S().bGantrelStarted, 1);
    EXPECT_EQ(S().gantrelSetting.sPortName, pty.Path());
    EXPECT_EQ(S().gantrelSetting.BaudRate(), 9600);
    EXPECT_STREQ(S().gantrelSetting.StopBitsText(), "2");

    // Cancel leaves the device stopped.
    ASSERT_TRUE(W().RunCommand(kCmdStopGantrel));
    P().PushAnswer([](QDialog& d) { ClickNamed(d, "cancel"); });
    W().RunCommand(kCmdStartGantrel);
    EXPECT_EQ(S().bGantrelStarted, 0);
}

TEST_F(TessickDialogs, SerialPortDialogSaysTheSavedPortIsGoneAndPreselectsNothing) {
    const std::string gone = (dir / "usb-serial-adapter-that-was-unplugged").string();
    WriteSettingString("GPS_sComPortName", gone);
    Make();
    CPty pty;
    ports.AddKnownDevice(pty.Path());
    P().PushAnswer([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Serial port - GPS");
        auto* port = d.findChild<QComboBox*>("iPort");
        EXPECT_EQ(port->currentIndex(), -1);
        EXPECT_EQ(port->currentText(), "");
        auto* missing = d.findChild<QLabel*>("sMissing");
        ASSERT_NE(missing, nullptr);
        EXPECT_TRUE(missing->text().contains(QString::fromStdString(gone)));
        EXPECT_GE(port->sizeHint().width(),
                  port->fontMetrics().horizontalAdvance("/dev/serial/by-id/usb-FTDI-if00-p0"))
            << "room for a whole path";
        ClickNamed(d, "ok");
    });
    W().RunCommand(kCmdStartGPS);
    EXPECT_EQ(S().bGPSStarted, 0) << "OK with nothing chosen opens nothing";
    EXPECT_EQ(ReadSettingString("GPS_sComPortName", ""), gone);
}

TEST_F(TessickDialogs, FileNameAndFolderWithSet) {
    Make();
    const fs::path other = dir / "other";
    fs::create_directories(other);
    P().PushAnswer([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "File name and folder ");
        auto* folder = d.findChild<QLineEdit*>("sFolder");
        EXPECT_TRUE(folder->isReadOnly());
        EXPECT_EQ(folder->text().toStdString(), dir.string());
        SetFieldText(d, "sPrefix", "site");
        ClickNamed(d, "SET");
        EXPECT_EQ(folder->text().toStdString(), other.string());
        ClickNamed(d, "ok");
    });
    P().PushAnswer([&](QDialog& d) {  // the folder chooser
        auto& fd = dynamic_cast<QFileDialog&>(d);
        EXPECT_EQ(fd.windowTitle(), "Select destination folder");
        fd.selectFile(QString::fromStdString(other.string()));
        d.accept();
    });
    ASSERT_TRUE(W().RunCommand(kCmdDataFileNameAndFolder));
    EXPECT_EQ(S().sSurveyPath[kFirstInstrument].parent_path(), other);
    EXPECT_EQ(S().sSurveyPath[kFirstInstrument].filename().string().rfind("site_", 0), 0u);
    EXPECT_EQ(ReadSettingString("FileNamePrefix", ""), "site");
    EXPECT_EQ(Form().findChild<QLineEdit*>("1113")->text().toStdString(),
              S().sSurveyPath[kFirstInstrument].string());
}

TEST_F(TessickDialogs, GeometryDialogGroupsModesAndPreview) {
    Make();
    P().PushAnswer([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Gantrel geometry");
        auto* first = d.findChild<QGroupBox*>("iDipoleIndex");
        auto* second = d.findChild<QGroupBox*>("iDipoleIndexReceiver");
        EXPECT_EQ(first->title(), "Dipole size (cable length)");
        EXPECT_FALSE(IsShownIn(d, "iDipoleIndexReceiver"));
        EXPECT_TRUE(IsShownIn(d, "N-space"));
        EXPECT_TRUE(d.findChild<QRadioButton*>("iDipoleIndex_3")->isChecked());
        ClickNamed(d, "N-space");
        SetChecked(d, "bDifferentSize", true);
        EXPECT_EQ(first->title(), "Transmitter dipole size (cable length)");
        EXPECT_FALSE(second->isHidden());
        EXPECT_FALSE(IsShownIn(d, "N-space")) << "hidden with different sizes";
        d.findChild<QRadioButton*>("iDipoleIndexReceiver_4")->click();
        SetFieldText(d, "sRopeLength", "10");
        ClickNamed(d, "Reflesh");
        ClickNamed(d, "Apparent depth");
        EXPECT_FALSE(d.findChild<QWidget*>("preview")->grab().isNull());
        ClickNamed(d, "ok");
    });
    QTest::mouseClick(Form().findChild<QPushButton*>("1012"), Qt::LeftButton);
    const CGantrelGeometry& g = S().geometry[kFirstInstrument];
    EXPECT_EQ(g.bDifferentSize, 1);
    EXPECT_FLOAT_EQ(g.fReceiverDipole, 10.0f);
    EXPECT_FLOAT_EQ(g.fRopeLength, 10.0f);
    EXPECT_EQ(ReadSettingInt("GeometryiDipoleIndexReceiver", -1), 4);
    EXPECT_EQ(Form().findChild<QLabel*>("1030")->text(), "Transmitter dipole size");
    EXPECT_FALSE(Form().findChild<QLineEdit*>("1115")->isHidden());
    EXPECT_EQ(Form().findChild<QLineEdit*>("1115")->text(), "10.0");
}

TEST_F(TessickDialogs, ContourIntervalRefusesTooManyLevelsAndComesBack) {
    Make();
    W().OpenAuxWindow(kProfileWindow);
    int shown = 0;
    P().PushAnswer([&](QDialog& d) {
        ++shown;
        SetFieldText(d, "fMinimum", "1");
        SetFieldText(d, "fMaximum", "1000");
        SetFieldText(d, "fInterval", "1");
        ClickNamed(d, "ok");
    });
    P().PushAnswer([&](QDialog& d) {
        ++shown;
        EXPECT_EQ(FieldText(d, "fMinimum"), "1") << "what was typed comes back";
        EXPECT_EQ(FieldText(d, "fMaximum"), "1000");
        EXPECT_EQ(FieldText(d, "fInterval"), "1");
        SetFieldText(d, "fMinimum", "10");
        SetFieldText(d, "fMaximum", "100");
        SetFieldText(d, "fInterval", "10");
        ClickNamed(d, "ok");
    });
    ASSERT_TRUE(W().AuxView(kProfileWindow)->Command(kCmdColorManual));
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(W().AuxView(kProfileWindow)->IsChecked(kCmdColorManual));
    EXPECT_DOUBLE_EQ(ReadSettingReal("color_rInt", 0), 10.0);
}

TEST_F(TessickDialogs, SerialPortTestShowsTheLinesOfEveryPortThatOpened) {
    Make();
    CPty pty;
    ports.AddKnownDevice(pty.Path());
    QString text;
    P().PushAnswer([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Serialport test");
        pty.Send("hello console\r\n");
        QElapsedTimer t;
        t.start();
        auto* lines = d.findChild<QPlainTextEdit*>("lines");
        while (!lines->toPlainText().contains("hello") && t.elapsed() < 3000) QTest::qWait(50);
        text = lines->toPlainText();
        ClickNamed(d, "ok");
    });
    ASSERT_TRUE(W().RunCommand(kCmdPortTest));
    EXPECT_TRUE(text.contains(QString::fromStdString(pty.Path() + ":hello console"))) << text.toStdString();
    const auto messages = P().Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0], kTryAllPortsMessage);
}

TEST_F(TessickDialogs, SetupDatabaseAsksForTheURL) {
    Make();
    P().PushAnswer([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Setup Brivane database");
        SetFieldText(d, "value", "http://127.0.0.1:9/upload.php");
        ClickNamed(d, "ok");
    });
    ASSERT_TRUE(W().RunCommand(kCmdSetupDatabase));
    EXPECT_EQ(ReadSettingString("sRegistrationURL", ""), "http://127.0.0.1:9/upload.php");
}

}  // namespace
}  // namespace tessick_test
