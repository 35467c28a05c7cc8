// The logging window without instruments: the demonstrations started from their menu items
// (the read-file ones through a real file dialog), stepped by the window's poll timer on a
// clock the test moves on, a line recorded by keys; and the upload of recorded readings to a
// real HTTP server on 127.0.0.1 through the libcurl client.
#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <fstream>

#include "acquisition/demonstration.h"
#include "common/text_format.h"
#include "logger/tessick_menu.h"
#include "tests/apps/tessick/tessick_gui_support.h"
#include "tests/support/http_test_server.h"

namespace tessick_test {
namespace {

using TessickDemonstration = WindowTest;

// Keeps the poll timer running until pred holds, at most five seconds.
template <class Pred>
bool WaitUntil(Pred pred) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < 5000) QTest::qWait(20);
    return pred();
}

int CountLines(const CLineLog& log, const std::string& text) {
    int n = 0;
    for (const std::string& line : log) n += line.find(text) != std::string::npos ? 1 : 0;
    return n;
}

// Answers the next open dialog with a file (or cancels it when file is empty), checking its
// filter.
void AnswerOpen(CQtPrompter& p, const std::string& filter, const fs::path& file) {
    p.PushAnswer([filter, file](QDialog& d) {
        auto* fd = dynamic_cast<QFileDialog*>(&d);
        ASSERT_NE(fd, nullptr) << "a file dialog";
        EXPECT_EQ(fd->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(fd->nameFilters(), QStringList{QString::fromStdString(filter)})
            << "the patterns shown once";
        if (file.empty()) {
            d.reject();
            return;
        }
        fd->selectFile(QString::fromStdString(file.string()));
        d.accept();
    });
}

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

TEST_F(TessickDemonstration, ConstantModelLineRecordedByKeys) {
    Make(manualClock);
    for (int id : {kCmdDemoReadFile, kCmdDemoConstantModel, kCmdDemoTwoLayerModel,
                   kCmdDemoGPSReadFile, kCmdDemoGPSTrack})
        EXPECT_TRUE(W().Action(id)->isEnabled()) << id;
    ASSERT_TRUE(W().RunCommand(kCmdDemoConstantModel));
    EXPECT_EQ(S().bGantrelStarted, 1);
    EXPECT_EQ(S().bGantrelDemonstration, 1);
    EXPECT_TRUE(W().IsPollTimerRunning()) << "its steps come from the window's timer";
    EXPECT_EQ(Big(kIdcStartMark).text(), "START (M)");
    EXPECT_EQ(Big(kIdcStartMark).State().color, kButtonGreen);
    EXPECT_EQ(Big(kIdcGantrel).text(), "Start Gantrel") << "the start button keeps its caption";
    for (int id : {kCmdDemoReadFile, kCmdDemoConstantModel, kCmdDemoTwoLayerModel})
        EXPECT_FALSE(W().Action(id)->isEnabled()) << id;
    EXPECT_TRUE(W().Action(kCmdDemoGPSTrack)->isEnabled()) << "the GPS is still stopped";
    EXPECT_TRUE(W().Action(kCmdStopGantrel)->isEnabled());
    EXPECT_FALSE(W().RunCommand(kCmdDemoTwoLayerModel)) << "the instrument is started already";

    QTest::qWait(300);
    EXPECT_EQ(S().readings.Count(), 0) << "the first step comes one period after the start";
    DemoSecond(1);
    const fs::path file = S().sSurveyPath[kFirstInstrument];
    EXPECT_FALSE(fs::exists(file)) << "shown, not recorded, before START";
    const auto vi = ConstantModelVI(S().geometry[kFirstInstrument]);
    EXPECT_EQ(S().readings.Latest().nReceiver, 5);
    EXPECT_FLOAT_EQ(S().readings.Latest().fResistance[4], std::stof(FormatC("%f", vi[4])));
    EXPECT_EQ(Form().findChild<QLineEdit*>("2005")->text(), "13.10");
    EXPECT_EQ(Form().findChild<QLineEdit*>("2006")->text(), "13.50");
    EXPECT_TRUE(Form().findChild<QPlainTextEdit*>("1002")->toPlainText().contains(",131,135,24"));

    Key(Qt::Key_M);  // START
    auto records = Records(file);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].rfind("33 ", 0), 0u) << "the geometry first";
    EXPECT_EQ(records[1].rfind("3 ", 0), 0u);
    EXPECT_EQ(Big(kIdcStartMark).text(), "MARK (M)");
    EXPECT_EQ(Big(kIdcEndLine).text(), "END LINE (E)");
    EXPECT_EQ(Big(kIdcEndLine).State().color, kButtonRed);
    EXPECT_EQ(Big(kIdcPause).text(), "PAUSE (P)");
    EXPECT_EQ(Big(kIdcPause).State().color, kButtonYellow);
    EXPECT_FALSE(Big(kIdcGantrel).isEnabled()) << "no stop in the middle of a line";
    EXPECT_FALSE(W().Action(kCmdStopGantrel)->isEnabled());

    DemoSecond(2);
    DemoSecond(3);
    records = Records(file);
    EXPECT_EQ(CountKind(records, "30"), 2);
    EXPECT_EQ(records.back().rfind("30 ", 0), 0u);

    Key(Qt::Key_M);
    Key(Qt::Key_M);
    records = Records(file);
    EXPECT_EQ(CountKind(records, "3"), 3) << "START and two MARKs";
    EXPECT_EQ(Form().findChild<QLineEdit*>("1106")->text(), "2");
    EXPECT_EQ(Big(kIdcStartMark).text(), "MARK (M)");

    Key(Qt::Key_P);
    EXPECT_EQ(S().bPaused, 1);
    EXPECT_EQ(Big(kIdcPause).text(), "Re-START (P)");
    EXPECT_EQ(Big(kIdcPause).State().color, kButtonGreen);
    EXPECT_EQ(Big(kIdcStartMark).text(), "N/A");
    DemoSecond(4);
    EXPECT_EQ(CountKind(Records(file), "30"), 2) << "nothing is written while paused";
    Key(Qt::Key_M);
    EXPECT_EQ(CountKind(Records(file), "3"), 3) << "no MARK while paused";

    Key(Qt::Key_E);  // END LINE, from the pause
    records = Records(file);
    EXPECT_EQ(CountKind(records, "3"), 4);
    EXPECT_EQ(records.back().rfind("3 ", 0), 0u) << "the END marker ends the line";
    EXPECT_EQ(S().markers.Latest().iKind, 2);
    EXPECT_EQ(S().iRecordState, 0);
    EXPECT_EQ(S().bPaused, 0);
    EXPECT_EQ(Big(kIdcStartMark).text(), "START (M)");
    EXPECT_EQ(Big(kIdcEndLine).text(), "N/A");
    EXPECT_EQ(Big(kIdcPause).text(), "N/A");
    EXPECT_TRUE(Big(kIdcGantrel).isEnabled());
    DemoSecond(5);
    EXPECT_EQ(Records(file), records) << "between lines the readings are only shown";

    // Stopped as a serial instrument is: the demonstration ends, its items come back.
    QTest::mouseClick(&Big(kIdcGantrel), Qt::LeftButton);
    EXPECT_EQ(S().bGantrelStarted, 0);
    EXPECT_EQ(S().bGantrelDemonstration, 0);
    EXPECT_FALSE(W().IsPollTimerRunning());
    EXPECT_TRUE(W().Action(kCmdDemoConstantModel)->isEnabled());
    manualClock.Advance(3000);
    QTest::qWait(250);
    EXPECT_EQ(S().readings.Count(), 5);
}

// Answers "Inverted section parameters" with the switch and the iterations.
void AnswerLive(CQtPrompter& p, bool on, const QString& iterations) {
    p.PushAnswer([on, iterations](QDialog& d) {
        auto* box = d.findChild<QCheckBox*>("bOn");
        ASSERT_NE(box, nullptr);
        box->setChecked(on);
        SetFieldText(d, "fCellSize", "5");
        SetFieldText(d, "nLayer", "4");
        SetFieldText(d, "fDepth", "4");
        SetFieldText(d, "nIteration", iterations);
        ClickNamed(d, "ok");
    });
}

// The model window's inverted section: off (no worker) until turned on in its dialog, then
// the columns of the line recorded with the newest marked; the parameters are kept.
TEST_F(TessickDemonstration, InvertedSectionShowsTheRecordedLineAndItsParametersAreKept) {
    using namespace std::chrono_literals;
    Make(manualClock);
    ASSERT_TRUE(W().OpenAuxWindow(kModelWindow));
    CRealtimeViewWidget* view = W().AuxView(kModelWindow);
    ASSERT_TRUE(view->Command(kCmdViewInvertedSection));
    EXPECT_TRUE(view->IsChecked(kCmdViewInvertedSection));
    EXPECT_FALSE(view->IsChecked(kCmdViewDepth));
    ASSERT_NE(W().LiveSection(), nullptr);
    EXPECT_EQ(W().LiveSection()->Section(), nullptr) << "off: no worker";
    view->Grab();
    EXPECT_EQ(view->LiveDrawer()->nColumnDrawn, 0);

    AnswerLive(P(), true, "3");
    ASSERT_TRUE(view->Command(kCmdLiveSectionParameters));
    ASSERT_NE(W().LiveSection()->Section(), nullptr);
    const LiveViewSettings kept = ReadLiveViewSettings();
    EXPECT_TRUE(kept.bOn);
    EXPECT_EQ(kept.section.nIteration, 3);
    EXPECT_EQ(kept.section.nLayer, 4);

    ASSERT_TRUE(W().RunCommand(kCmdDemoTwoLayerModel));
    DemoSecond(1);
    Key(Qt::Key_M);  // START
    for (int k = 2; k <= 31; ++k) {
        DemoSecond(k);
        if (k % 10 == 1) Key(Qt::Key_M);
    }
    Key(Qt::Key_E);
    const CLiveSection* live = W().LiveSection()->Section();
    ASSERT_TRUE(live->WaitUntilCurrent(60s));
    EXPECT_EQ(live->Summary().nReading, 30) << "every reading written reached the section";
    view->Grab();
    EXPECT_GE(view->LiveDrawer()->nColumnDrawn, 3);
    EXPECT_EQ(view->LiveDrawer()->iMarkedColumn, live->Summary().iNewestColumn);

    AnswerLive(P(), false, "3");
    ASSERT_TRUE(view->Command(kCmdLiveSectionParameters));
    EXPECT_EQ(W().LiveSection()->Section(), nullptr) << "turned off: the worker is gone";
    EXPECT_FALSE(ReadLiveViewSettings().bOn);
}

TEST_F(TessickDemonstration, ReadFileAsksForTheLogAndReplaysItEndlessly) {
    Make(manualClock);
    AnswerOpen(P(), "Gantrel log file(*.*)", {});
    EXPECT_TRUE(W().RunCommand(kCmdDemoReadFile));
    EXPECT_EQ(P().Messages().back(), "Could not open log file");
    EXPECT_EQ(S().bGantrelStarted, 0) << "cancelled: nothing starts";
    EXPECT_FALSE(W().IsPollTimerRunning());

    // A log as the serial port log writes it: one received line per text line, CR LF.
    const fs::path log = dir / "RS232C_Gantrel_read.txt";
    WriteText(log, Console(1.0) + "not a reading\r\n" + Console(2.0));
    AnswerOpen(P(), "Gantrel log file(*.*)", log);
    ASSERT_TRUE(W().RunCommand(kCmdDemoReadFile));
    EXPECT_EQ(P().Pending(), 0u);
    EXPECT_EQ(S().bGantrelDemonstration, 1);
    EXPECT_EQ(S().demo.file[0].Path(), log);
    DemoSecond(1);
    EXPECT_FLOAT_EQ(S().readings.Latest().fResistance[0], 1.0f);
    manualClock.Advance(1000);  // the line that is no reading: shown in both logs
    ASSERT_TRUE(WaitUntil([&] { return CountLines(S().dataLines, "not a reading") == 1; }));
    EXPECT_EQ(S().readings.Count(), 1);
    DemoSecond(2);
    EXPECT_FLOAT_EQ(S().readings.Latest().fResistance[0], 2.0f);
    DemoSecond(3);
    EXPECT_FLOAT_EQ(S().readings.Latest().fResistance[0], 1.0f) << "from its first line again";
    EXPECT_EQ(S().readings.Latest().nReceiver, 3);
}

TEST_F(TessickDemonstration, GPSTrackBesideTheTwoLayerModelAndAReplayedGPSLog) {
    Make(manualClock);
    ASSERT_TRUE(W().RunCommand(kCmdDemoTwoLayerModel));
    ASSERT_TRUE(W().RunCommand(kCmdDemoGPSTrack));
    EXPECT_FALSE(W().Action(kCmdDemoGPSReadFile)->isEnabled());
    EXPECT_TRUE(W().Action(kCmdStopGPS)->isEnabled());
    ASSERT_TRUE(W().OpenAuxWindow(kGPSWindow));
    DemoSecond(1);
    ASSERT_TRUE(WaitUntil([&] { return S().fixes.Count() == 1; }));
    // Both ran on the same tick: one step each per period, side by side.
    const auto vi = TwoLayerModelVI(S().geometry[kFirstInstrument]);
    EXPECT_FLOAT_EQ(S().readings.Latest().fResistance[0], std::stof(FormatC("%f", vi[0])));
    // The first step goes 1 m north of the start, with at most half a metre of noise.
    EXPECT_NEAR(S().latestFix.dLatitude, 35.464619 + 1.0 / 110950.0, 0.6 / 110950.0);
    EXPECT_NEAR(S().latestFix.dLongitude, 136.739659, 0.6 / 90800.0);
    EXPECT_EQ(CountLines(S().receivedLines, "$GPRMC"), 1) << "shown, never dispatched";
    EXPECT_EQ(CountLines(S().dataLines, "$GPGGA"), 1);
    DemoSecond(2);
    ASSERT_TRUE(WaitUntil([&] { return S().fixes.Count() == 2; }));

    Key(Qt::Key_M);
    DemoSecond(3);
    ASSERT_TRUE(WaitUntil([&] { return S().fixes.Count() == 3; }));
    Key(Qt::Key_E);
    EXPECT_EQ(CountKind(Records(S().sSurveyPath[kFirstInstrument]), "21"), 1)
        << "the fix of the recorded second";

    // The GPS demonstration changes to a replayed log.
    ASSERT_TRUE(W().RunCommand(kCmdStopGPS));
    EXPECT_EQ(S().bGPSDemonstration, 0);
    const fs::path log = dir / "gps.log";
    WriteText(log,
              "$GPGGA,103000.00,3530.0000,N,13915.0000,E,1,08,1.0,12.0,M,37.0,M,,*5E\n"
              "$GPGSV,3,1,10*70\n");
    AnswerOpen(P(), "GPS log file(*.*)", log);
    ASSERT_TRUE(W().RunCommand(kCmdDemoGPSReadFile));
    DemoSecond(4);
    ASSERT_TRUE(WaitUntil([&] { return S().fixes.Count() == 4; }));
    EXPECT_NEAR(S().latestFix.dLatitude, 35.5, 1e-9);
    EXPECT_NEAR(S().latestFix.dLongitude, 139.25, 1e-9);
    DemoSecond(5);
    EXPECT_EQ(CountLines(S().receivedLines, "$GPGSV"), 1);
    EXPECT_EQ(CountLines(S().dataLines, "$GPGSV"), 0) << "other GPS lines: received log only";
    EXPECT_EQ(S().fixes.Count(), 4);
}

class TessickUpload : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        testhttp::ClearProxyEnvironment();
        ASSERT_TRUE(server.Ready());
    }
    void TearDown() override {
        server.Stop();  // a hanging request lets go
        WindowTest::TearDown();
    }
    // "Setup Brivane database" answered with url.
    void SetupDatabase(const std::string& url) {
        P().PushAnswer([url](QDialog& d) {
            EXPECT_EQ(d.windowTitle(), "Setup Brivane database");
            auto* label = d.findChild<QLabel*>("label");
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text(), "URL to uploading data");
            SetFieldText(d, "value", QString::fromStdString(url));
            ClickButton(d, OkText());
        });
        ASSERT_TRUE(W().RunCommand(kCmdSetupDatabase));
    }
    void StartRecordingWithUpload() {
        ASSERT_TRUE(W().RunCommand(kCmdUpload));
        EXPECT_TRUE(W().Action(kCmdUpload)->isChecked());
        ASSERT_TRUE(W().RunCommand(kCmdDemoConstantModel));
        Key(Qt::Key_M);
        ASSERT_EQ(S().iRecordState, 1);
    }

    testhttp::Server server;
};

TEST_F(TessickUpload, AReadingRecordedInTheWindowReachesTheService) {
    server.Always({200, "stored 1", false});
    Make(manualClock);
    ASSERT_NE(W().Uploader(), nullptr);
    EXPECT_TRUE(W().Action(kCmdUpload)->isEnabled());
    EXPECT_FALSE(W().Action(kCmdUpload)->isChecked()) << "off at every start";
    const std::string url = server.URL("/gantrel/upload_gantrel_data.php");
    SetupDatabase(url);
    EXPECT_EQ(W().Uploader()->URL(), url);
    EXPECT_EQ(ReadSettingString("sRegistrationURL", ""), url);

    ASSERT_TRUE(W().RunCommand(kCmdDemoConstantModel));
    ASSERT_TRUE(W().RunCommand(kCmdUpload));
    DemoSecond(1);
    QTest::qWait(200);
    EXPECT_TRUE(server.Requests().empty()) << "nothing is sent before START";
    Key(Qt::Key_M);
    DemoSecond(2);
    ASSERT_TRUE(WaitUntil([&] { return server.Requests().size() == 1; }));
    const testhttp::Received r = server.Requests().front();
    EXPECT_EQ(r.sMethod, "POST");
    EXPECT_EQ(r.sPath, "/gantrel/upload_gantrel_data.php");
    EXPECT_EQ(r.contentTypes, std::vector<std::string>{"application/x-www-form-urlencoded"});
    const auto vi = ConstantModelVI(S().geometry[kFirstInstrument]);
    EXPECT_EQ(r.sBody, "<?xml version='1.0'?><gantrel_file><gantrel_data>"
                       "<latitude>0.000000</latitude><longitude>0.000000</longitude>"
                       "<number_of_receiver>5</number_of_receiver>" +
                           FormatC("<resistance_1>%f</resistance_1>", vi[0]) +
                           FormatC("<resistance_2>%f</resistance_2>", vi[1]) +
                           FormatC("<resistance_3>%f</resistance_3>", vi[2]) +
                           FormatC("<resistance_4>%f</resistance_4>", vi[3]) +
                           FormatC("<resistance_5>%f</resistance_5>", vi[4]) +
                           "</gantrel_data></gantrel_file>");
    // The reply comes back on a later tick, into the received-lines log.
    ASSERT_TRUE(WaitUntil([&] { return CountLines(S().receivedLines, "stored 1") == 1; }));

    // Switched off: recorded readings stay at home.
    ASSERT_TRUE(W().RunCommand(kCmdUpload));
    EXPECT_FALSE(W().Action(kCmdUpload)->isChecked());
    DemoSecond(3);
    QTest::qWait(200);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(CountKind(Records(S().sSurveyPath[kFirstInstrument]), "30"), 2);
}

TEST_F(TessickUpload, AHangingServiceNeverHoldsTheWindowUp) {
    server.Always({200, "", true});
    WriteSettingString("sRegistrationURL", server.URL("/up.php"));
    Make(manualClock);
    EXPECT_EQ(W().Uploader()->URL(), server.URL("/up.php")) << "the stored URL";
    StartRecordingWithUpload();
    // Each reading comes one period of the test's clock later while the first upload still
    // waits for its answer (2 s): recording goes on at once.
    QElapsedTimer t;
    t.start();
    for (int k = 1; k <= 3; ++k) DemoSecond(k);
    EXPECT_LT(t.elapsed(), 1900);
    EXPECT_EQ(CountKind(Records(S().sSurveyPath[kFirstInstrument]), "30"), 3);
    ASSERT_TRUE(WaitUntil([&] { return !server.Requests().empty(); }));
    EXPECT_EQ(server.Requests().size(), 1u) << "the others wait their turn, in order";
    EXPECT_TRUE(W().Action(kCmdUpload)->isChecked());
}

TEST_F(TessickUpload, ThreeFailuresInARowSwitchItOffAndRecordingGoesOn) {
    WriteSettingString("sRegistrationURL",
                       "http://127.0.0.1:" + std::to_string(testhttp::ClosedPort()) + "/up.php");
    Make(manualClock);
    StartRecordingWithUpload();
    for (int k = 1; k <= 3; ++k) {
        DemoSecond(k);
        ASSERT_TRUE(
            WaitUntil([&] { return CountLines(S().receivedLines, "Error during upload") == k; }))
            << k;
    }
    ASSERT_TRUE(WaitUntil([&] { return S().bUpload == 0; }));
    EXPECT_TRUE(P().Messages().empty()) << "no message box holds the poll";
    EXPECT_TRUE(Form()
                    .findChild<QLabel*>(QString::number(kIdcStatus))
                    ->text()
                    .contains("Upload error ! Stopped data uploading."));
    DemoSecond(4);
    EXPECT_FALSE(W().Action(kCmdUpload)->isChecked());
    EXPECT_EQ(CountKind(Records(S().sSurveyPath[kFirstInstrument]), "30"), 4);
    EXPECT_EQ(W().Uploader()->Counts().nFailed, 3);
}

}  // namespace
}  // namespace tessick_test
