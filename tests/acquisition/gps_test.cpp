// GGA sentences into fixes and "21" records, and the hand-over of fixes between programs.
#include <sys/wait.h>

#include "acquisition_support.h"
#include "common/survey_file.h"
#include "platform/qt_settings.h"
#include "tests/support/gga_sentences.h"

namespace acqtest {
namespace {

constexpr const char* kGGA = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";

class GpsAcquisition : public AcquisitionTest {
protected:
    void StartGPS(CPty& pty) {
        AnswerPort(pty);
        state->ToggleGPS();
        ASSERT_EQ(state->bGPSStarted, 1);
    }
};

TEST_F(GpsAcquisition, AGGASentenceBecomesTheLatestFixAndIsPublished) {
    auto& s = MakeState();
    const CClockTime t{StartTime().time, 340};
    EXPECT_EQ(s.DispatchLine(kGGA, kSlotGPS, t, 1), kLineGGA);
    ASSERT_EQ(s.fixes.Count(), 1);
    const CGPSData& fix = s.latestFix;
    EXPECT_NEAR(fix.dLatitude, 48.1173, 1e-9);
    EXPECT_NEAR(fix.dLongitude, 11.516666667, 1e-6);
    EXPECT_EQ(fix.dAltitude, 0.0) << "the altitude is not read";
    EXPECT_EQ(fix.iUTMZone, 32);
    EXPECT_GT(fix.dEasting, 0.0);
    EXPECT_EQ(fix.sSentence, kGGA);
    EXPECT_EQ(fix.time, t.time);
    EXPECT_EQ(fix.iMilliSecond, 340);

    EXPECT_EQ(ReadSuiteValue("GPS_Latitude"), "48.117300");
    EXPECT_EQ(ReadSuiteValue("GPS_Longitude"), "11.516667");
    EXPECT_EQ(ReadSuiteValue("GPS_Elevation"), "0.000000");
    EXPECT_EQ(ReadSuiteInt("GPS_Year", 0), 2009);
    EXPECT_EQ(ReadSuiteInt("GPS_Month", 0), 6);
    EXPECT_EQ(ReadSuiteInt("GPS_Day", 0), 15);
    EXPECT_EQ(ReadSuiteInt("GPS_Hour", 0), 12);
    EXPECT_EQ(ReadSuiteInt("GPS_Minute", -1), 0);
    EXPECT_EQ(ReadSuiteInt("GPS_MilliSec", 0), 340);
    EXPECT_EQ(ReadSuiteInt("GPS_Active", 0), 1);
    EXPECT_EQ(ReadSuiteValue("GPS_ASCIIString"), kGGA);
}

TEST_F(GpsAcquisition, SouthAndWestAreNegativeAndGNGGAIsTheSame) {
    auto& s = MakeState();
    EXPECT_EQ(s.DispatchLine("$GNGGA,1,3514.1234,S,13945.6789,W,1", kSlotGPS, StartTime(), 0),
              kLineGGA);
    EXPECT_NEAR(s.latestFix.dLatitude, -35.235390, 1e-6);
    EXPECT_NEAR(s.latestFix.dLongitude, -139.761315, 1e-6);
    EXPECT_EQ(s.latestFix.iUTMZone, 7);
    EXPECT_EQ(ReadSuiteInt("GPS_Active", 0), 0) << "publish flag 0: nothing published";
}

TEST_F(GpsAcquisition, SentencesWithoutAUsablePositionChangeNoFix) {
    auto& s = MakeState();
    CPty console, gps;
    AnswerPort(console);
    s.ToggleGantrel();
    StartGPS(gps);
    s.StartMark();
    const std::string before = ReadFile(s.sSurveyPath[0]);
    EXPECT_EQ(s.DispatchLine("$GPGGA,123519,,,,,0,00,,,M,,M,,*66", kSlotGPS, StartTime(), 1),
              kLineGGA);
    EXPECT_EQ(ReadFile(s.sSurveyPath[0]), before) << "no position yet: no \"21\" record";
    for (const gga_table::Case& c : gga_table::kCases) {
        if (c.bFix) continue;
        EXPECT_EQ(s.DispatchLine(c.line, kSlotGPS, StartTime(), 1), kLineGGA) << c.line;
    }
    EXPECT_EQ(s.fixes.Count(), 0);
    EXPECT_EQ(s.latestFix.dLatitude, 0.0) << "the latest fix starts at 0 and stays";
    EXPECT_EQ(ReadSuiteInt("GPS_Active", 0), 0);
}

// The processing program reads the stored records with the same decoder and the same table
// (tests/common/nmea_test.cpp): both programs take the same positions.
TEST_F(GpsAcquisition, ReceivedLinesGiveThePositionsOfTheSharedTable) {
    auto& s = MakeState();
    for (const gga_table::Case& c : gga_table::kCases) {
        SCOPED_TRACE(c.line);
        const int nBefore = s.fixes.Count();
        EXPECT_EQ(s.DispatchLine(c.line, kSlotGPS, StartTime(), 0), kLineGGA);
        ASSERT_EQ(s.fixes.Count() - nBefore, c.bFix ? 1 : 0);
        if (!c.bFix) continue;
        EXPECT_NEAR(s.latestFix.dLatitude, c.dLatitude, 1e-9);
        EXPECT_NEAR(s.latestFix.dLongitude, c.dLongitude, 1e-9);
        EXPECT_EQ(s.latestFix.sSentence, c.line) << "kept as received";
    }
}

TEST_F(GpsAcquisition, OtherSentencesGoOnlyToTheReceivedLinesAndTheEtceteraLog) {
    auto& s = MakeState();
    s.serialLogs.Toggle();
    CPty gps;
    StartGPS(gps);
    gps.Send("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n");
    gps.Send(std::string(kGGA) + "\r\n");
    Tick();
    EXPECT_EQ(s.receivedLines.Count(), 2);
    ASSERT_EQ(s.dataLines.Count(), 1);
    EXPECT_EQ(s.dataLines[0], kGGA);
    EXPECT_EQ(ReadFile(dir / "RS232C_Etcetera_read.txt").rfind("$GPRMC", 0), 0u);
    EXPECT_EQ(ReadFile(dir / "RS232C_GPS_read.txt"), std::string(kGGA) + "\r\n");
    EXPECT_EQ(s.nViewUpdates, 1);
}

TEST_F(GpsAcquisition, RegistryModeTakesAPublishedSentenceOnce) {
    auto& s = MakeState();
    EXPECT_TRUE(s.RegistryGPSEnabled());
    s.ToggleRegistryGPS();
    EXPECT_TRUE(s.RegistryGPSChecked());
    EXPECT_TRUE(s.bPollTimerRunning);
    CGPSData published;
    published.sSentence = kGGA;
    published.dLatitude = 48.1173;
    CAcquisitionState::PublishFix(published);
    Tick();
    EXPECT_EQ(ReadSuiteInt("GPS_Active", -1), 0);
    ASSERT_EQ(s.fixes.Count(), 1);
    EXPECT_NEAR(s.latestFix.dLatitude, 48.1173, 1e-9);
    EXPECT_EQ(s.receivedLines.Latest(), kGGA);
    EXPECT_EQ(s.dataLines.Latest(), kGGA);
    EXPECT_EQ(s.nViewUpdates, 1);
    for (int i = 0; i < 5; ++i) Tick();
    EXPECT_EQ(s.fixes.Count(), 1) << "taken once";
    EXPECT_EQ(s.nViewUpdates, 1);
    EXPECT_EQ(ReadSuiteInt("GPS_Active", -1), 0) << "a taken sentence is not published again";

    s.ToggleRegistryGPS();
    EXPECT_EQ(s.bGPSStarted, 0);
    EXPECT_FALSE(s.bPollTimerRunning);
}

TEST_F(GpsAcquisition, RegistryModeIsNotOfferedWhileTheGPSPortIsRead) {
    auto& s = MakeState();
    CPty gps;
    StartGPS(gps);
    EXPECT_FALSE(s.RegistryGPSEnabled());
    s.ToggleRegistryGPS();
    EXPECT_EQ(s.bRegistryGPS, 0);
}

TEST_F(GpsAcquisition, RecordedFixesGoIntoTheSurveyFileAndPausedOnesDoNot) {
    auto& s = MakeState();
    CPty console;
    AnswerPort(console);
    s.ToggleGantrel();
    s.ToggleRegistryGPS();
    s.StartMark();
    s.ParseConsoleRecord("1.0,1,1,11", 0, kFirstInstrument, clock.Now().time);
    CGPSData fix;
    fix.sSentence = kGGA;
    CAcquisitionState::PublishFix(fix);
    Tick();
    s.Pause();
    CAcquisitionState::PublishFix(fix);
    Tick();
    EXPECT_EQ(s.fixes.Count(), 2) << "the GPS window still follows";
    s.Pause();
    s.EndLine();
    CGantrelSurvey survey;
    ReadSurveyFile(survey, s.sSurveyPath[0]);
    ASSERT_EQ(survey.nLine, 1);
    EXPECT_EQ(survey.Line(0).nGPS(), 1);
}

// Two programs on one machine: one publishes the fixes of its GPS, the other takes them, through
// the real settings store (the INI files the programs share on this platform).
TEST_F(GpsAcquisition, AFixPublishedByOneProcessIsTakenByAnother) {
    CQtSettingsBackend shared("Tessick");
    SetSettingsBackend(&shared);
    WriteSettingString("FolderPath", dir.string());
    auto taker = std::make_unique<CAcquisitionState>(ports, prompter, clock);
    taker->ToggleRegistryGPS();
    clock.Advance(100);
    taker->Tick();
    EXPECT_EQ(taker->fixes.Count(), 0) << "nothing published yet";

    const pid_t publisher = fork();
    ASSERT_GE(publisher, 0);
    if (publisher == 0) {
        CQtSettingsBackend own("Tessick");
        SetSettingsBackend(&own);
        CManualClock childClock(StartTime());
        CScriptedLoggerPrompter childPrompter;
        CPosixSerialPortSystem childPorts;
        // Left standing: the producer keeps running while the other program takes the fix.
        auto* producer = new CAcquisitionState(childPorts, childPrompter, childClock);
        producer->DispatchLine(kGGA, kSlotGPS, childClock.Now(), 1);
        _exit(ReadSuiteInt("GPS_Active", 0) == 1 ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(publisher, &status, 0), publisher);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    clock.Advance(100);
    taker->Tick();
    ASSERT_EQ(taker->fixes.Count(), 1);
    EXPECT_NEAR(taker->latestFix.dLatitude, 48.1173, 1e-9);
    EXPECT_EQ(taker->latestFix.sSentence, kGGA);
    clock.Advance(100);
    taker->Tick();
    EXPECT_EQ(taker->fixes.Count(), 1) << "taken once";

    const pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        CQtSettingsBackend own("Tessick");
        SetSettingsBackend(&own);
        _exit(ReadSuiteInt("GPS_Active", -1) == 0 && ReadSuiteValue("GPS_ASCIIString") == kGGA ? 0
                                                                                               : 4);
    }
    ASSERT_EQ(waitpid(reader, &status, 0), reader);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the other process sees the sentence taken";
    taker.reset();
    SetSettingsBackend(&settings);
}

}  // namespace
}  // namespace acqtest
