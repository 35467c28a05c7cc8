// The demonstrations: the synthetic earths' numbers, the generated track, replayed files and
// the demonstrations running on the engine's ticks beside each other.
#include <cmath>

#include "acquisition_support.h"
#include "common/survey_file.h"
#include "common/utm.h"

namespace acqtest {
namespace {

CGantrelGeometry Geometry(float T, float R, float L) {
    CGantrelGeometry g = CGantrelGeometry::Initial();
    g.fTransmitterDipole = T;
    g.fReceiverDipole = R;
    g.fRopeLength = L;
    return g;
}

// The latitude and longitude fields (3 and 5 of RMC, 2 and 4 of GGA) of a sentence.
std::vector<std::string> Fields(const std::string& sentence) {
    std::vector<std::string> f;
    size_t start = 0;
    for (;;) {
        const size_t comma = sentence.find(',', start);
        f.push_back(sentence.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return f;
}

TEST(DemonstrationModels, ConstantEarthGivesTheFactorsAndTheConsoleLine) {
    const CGantrelGeometry g = Geometry(5.0f, 5.0f, 5.0f);
    const float K[] = {471.239f, 942.478f, 1649.336f, 2638.938f, 3958.407f};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(LoggerUnequalDipoleFactor(g, i), K[i], 0.002) << i;
    EXPECT_EQ(SyntheticConsoleLine(ConstantModelVI(g)),
              " 4.244132,131,135,24 ,2.122066,131,24 ,1.212609,131,24 ,0.757881,131,24 "
              ",0.505254,131,24");
}

TEST(DemonstrationModels, TwoLayerEarthThroughTheSharedForwardModel) {
    const CGantrelGeometry g = Geometry(5.0f, 5.0f, 5.0f);
    std::array<float, 5> rhoa{};
    const auto vi = TwoLayerModelVI(g, &rhoa);
    const double expectRho[] = {428.6, 343.4, 263.3, 199.3, 152.3};
    const double expectVI[] = {18.19, 7.287, 3.193, 1.511, 0.7697};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_NEAR(rhoa[i], expectRho[i], 0.06) << i;
        EXPECT_NEAR(vi[i], expectVI[i], expectVI[i] * 5e-4) << i;
    }
    // Far receivers see more of the conductive half-space.
    for (size_t i = 1; i < 5; ++i) EXPECT_LT(rhoa[i], rhoa[i - 1]);
}

class Demonstration : public AcquisitionTest {
protected:
    // One poll tick 100 ms after the last, for the given number of seconds.
    void RunSeconds(int seconds) {
        for (int i = 0; i < seconds * 10; ++i) Tick();
    }
    fs::path WriteFile(const std::string& name, const std::string& text) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
    void AnswerFile(const fs::path& path) {
        prompter.script.PushDialog<CDlgOpenLogFile>([path](CDlgOpenLogFile& d) { d.sPath = path; });
    }
};

TEST_F(Demonstration, ConstantEarthShowsTheEqualDipoleFactorUnlessTheSizesDiffer) {
    auto& s = MakeState();
    ASSERT_EQ(s.geometry[0].fTransmitterDipole, 5.0f);
    ASSERT_EQ(s.geometry[0].fRopeLength, 5.0f);
    ASSERT_TRUE(s.GenerateConstantModelLine());
    const double equal[] = {93.08, 95.74, 97.10, 97.89, 98.40};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(s.readings.Latest().fResistivity[i], equal[i], 0.01);
    EXPECT_EQ(s.dataLines.Latest(), s.receivedLines.Latest());
    EXPECT_EQ(s.dataLines.Latest().substr(0, 10), " 4.244132,");

    s.geometry[0].fReceiverDipole = 10.0f;
    s.GenerateConstantModelLine();
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(s.readings.Latest().fResistivity[i], 100.0, 0.01);
}

TEST_F(Demonstration, TheFirstTrackStepMovesOneMetreNorth) {
    CDemonstrationTrack track;
    const CClockTime t{StartTime().time, 250};
    const auto s = track.Step(t);
    const auto gga = Fields(s.sGGA), rmc = Fields(s.sRMC);
    EXPECT_EQ(rmc[0], "$GPRMC");
    EXPECT_EQ(rmc[1], "120000.250") << "local time of the clock";
    EXPECT_EQ(rmc[3].substr(0, 8), "3527.877");
    EXPECT_EQ(rmc[5].substr(0, 9), "13644.379");
    EXPECT_EQ(rmc[8], "000.0");
    EXPECT_EQ(rmc[9], "150609");
    EXPECT_EQ(gga[2], rmc[3]);
    EXPECT_EQ(gga[4], rmc[5]);
    EXPECT_EQ(gga[6], "2");
    EXPECT_NEAR(std::stod(gga[9]), 10.26, 0.5);
    EXPECT_EQ(s.sRMC.substr(s.sRMC.size() - 4), "*66\n") << "fixed checksums";
    EXPECT_EQ(s.sGGA.substr(s.sGGA.size() - 4), "*5E\n");
    EXPECT_EQ(track.fHeading, 0.5f);
    // The stored track moved exactly 1 m north, without noise.
    double e0, n0, e1, n1;
    ToUTM(35.464619, 136.739659, e0, n0);
    ToUTM(track.dLatitude, track.dLongitude, e1, n1);
    EXPECT_NEAR(e1 - e0, 0.0, 1e-6);
    EXPECT_NEAR(n1 - n0, 1.0, 1e-6);
    // The same clock gives the same noise.
    CDemonstrationTrack again;
    EXPECT_EQ(again.Step(t).sGGA, s.sGGA);
}

TEST_F(Demonstration, SevenHundredTwentyStepsCloseTheCircle) {
    CDemonstrationTrack track;
    CClockTime t = StartTime();
    double maxEast = 0.0;
    double e0, n0;
    ToUTM(track.dLatitude, track.dLongitude, e0, n0);
    for (int i = 0; i < 720; ++i) {
        track.Step(t);
        t.time += 1;
        double e, n;
        ToUTM(track.dLatitude, track.dLongitude, e, n);
        maxEast = std::max(maxEast, e - e0);
    }
    EXPECT_EQ(track.fHeading, 360.0f);
    double e, n;
    ToUTM(track.dLatitude, track.dLongitude, e, n);
    EXPECT_NEAR(e, e0, 0.01);
    EXPECT_NEAR(n, n0, 0.01);
    EXPECT_NEAR(maxEast, 2 * 114.59, 0.1) << "clockwise: the far side lies east";
    EXPECT_EQ(Fields(track.Step(t).sRMC)[8], "000.0");
}

TEST_F(Demonstration, AReplayedFileStartsAgainAfterItsLastLine) {
    const std::string longLine(2500, 'x');
    const fs::path p = WriteFile("log.txt", "first\r\n\nsecond\n" + longLine + "\n");
    CDemonstrationFile f;
    ASSERT_TRUE(f.Open(p));
    std::string line;
    std::vector<std::string> got;
    for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(f.NextLine(line));
        got.push_back(line);
    }
    EXPECT_EQ(got[0], "first") << "cut at the carriage return";
    EXPECT_EQ(got[1], "second") << "the empty line is skipped, the line feed is no part";
    EXPECT_EQ(got[2], longLine.substr(0, 1023));
    EXPECT_EQ(got[3], longLine.substr(0, 1023));
    EXPECT_EQ(got[4], longLine.substr(0, 454));
    EXPECT_EQ(got[5], "first") << "endless";
    EXPECT_EQ(got[6], "second");

    CDemonstrationFile empty;
    ASSERT_TRUE(empty.Open(WriteFile("empty.txt", "")));
    EXPECT_FALSE(empty.NextLine(line));
    ASSERT_TRUE(empty.Open(WriteFile("blank.txt", "\r\n\n\n")));
    EXPECT_FALSE(empty.NextLine(line));
    EXPECT_FALSE(CDemonstrationFile().NextLine(line));
    EXPECT_FALSE(empty.Open(dir / "missing.txt"));
    EXPECT_FALSE(empty.IsOpen());
}

TEST_F(Demonstration, ModelAndTrackRunSideBySideAndRecordALine) {
    auto& s = MakeState();
    ASSERT_TRUE(s.StartDemonstration(kSlotGantrel, kDemoTwoLayerModel));
    EXPECT_EQ(s.form.startMark.sCaption, "START (M)");
    EXPECT_EQ(s.form.startMark.color, kButtonGreen);
    EXPECT_TRUE(s.bPollTimerRunning);
    clock.Advance(300);  // the GPS's schedule lags by 300 ms
    ASSERT_TRUE(s.StartDemonstration(kSlotGPS, kDemoGPSTrack));
    for (int i = 0; i < 7; ++i) Tick();
    EXPECT_EQ(s.readings.Count(), 1);
    EXPECT_EQ(s.fixes.Count(), 0) << "its first step is one period after its start";
    Tick(), Tick(), Tick();
    EXPECT_EQ(s.fixes.Count(), 1);

    s.StartMark();
    RunSeconds(10);
    s.EndLine();
    EXPECT_EQ(s.readings.Count(), 11);
    EXPECT_EQ(s.fixes.Count(), 11);
    EXPECT_EQ(ReadSuiteInt("GPS_Active", 0), 1) << "fixes are published";

    // Every record on its own line: the "21" record ends with its time and date.
    const std::string text = ReadFile(s.sSurveyPath[0]);
    int n21 = 0, nReading = 0;
    std::istringstream in(text);
    for (std::string rec; std::getline(in, rec);) {
        ASSERT_FALSE(rec.empty());
        EXPECT_EQ(rec.back(), '\r');
        if (rec.rfind("21 $GPGGA", 0) == 0) {
            ++n21;
            EXPECT_NE(rec.find("*5E  12:00:"), std::string::npos) << rec;
            EXPECT_NE(rec.find("06/15/09"), std::string::npos) << rec;
        } else if (rec.rfind("1 ", 0) == 0 || rec.rfind("5 ", 0) == 0) {
            ++nReading;
        }
    }
    EXPECT_EQ(n21, 10);

    CGantrelSurvey survey;
    EXPECT_EQ(ReadSurveyFile(survey, s.sSurveyPath[0]).nBad, 0);
    ASSERT_EQ(survey.nLine, 1);
    EXPECT_EQ(survey.Line(0).nData(), 10);
    EXPECT_EQ(survey.Line(0).nGPS(), 10);
    EXPECT_NEAR(survey.Line(0).pData[0].fResistance[0], 18.19, 0.01);
}

TEST_F(Demonstration, StartingAgainOrInRegistryModeDoesNothingButKeepsTheKind) {
    auto& s = MakeState();
    ASSERT_TRUE(s.StartDemonstration(kSlotGantrel, kDemoConstantModel));
    EXPECT_FALSE(s.StartDemonstration(kSlotGantrel, kDemoTwoLayerModel));
    EXPECT_EQ(s.demo.iGantrelKind, kDemoTwoLayerModel) << "stored though ignored";
    RunSeconds(1);
    EXPECT_EQ(s.readings.Count(), 1);
    EXPECT_NEAR(s.readings.Latest().fResistance[0], 18.19, 0.01) << "the kind stored now runs";

    s.ToggleRegistryGPS();
    EXPECT_FALSE(s.StartDemonstration(kSlotGPS, kDemoGPSTrack));
    RunSeconds(3);
    EXPECT_EQ(s.fixes.Count(), 0) << "registry mode: no GPS demonstration";

    s.ToggleGantrel();  // stops it
    EXPECT_EQ(s.bGantrelStarted, 0);
    EXPECT_EQ(s.bGantrelDemonstration, 0);
    const int n = s.readings.Count();
    RunSeconds(3);
    EXPECT_EQ(s.readings.Count(), n);
    EXPECT_FALSE(s.StartDemonstration(kSlotGantrel, 7));
}

TEST_F(Demonstration, ReplayFeedsBothDevicesAndACancelStartsNothing) {
    auto& s = MakeState();
    prompter.script.PushCancel();
    EXPECT_FALSE(s.StartDemonstration(kSlotGantrel, kDemoReadFile));
    AnswerFile(dir / "missing.txt");
    EXPECT_FALSE(s.StartDemonstration(kSlotGPS, kDemoGPSReadFile));
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"Could not open log file", "Could not open log file"}));
    EXPECT_EQ(s.bGantrelStarted + s.bGantrelDemonstration + s.bGPSStarted, 0);

    AnswerFile(WriteFile("RS232C_Gantrel_read.txt", "1.5,100,120,11\nnoise\n"));
    ASSERT_TRUE(s.StartDemonstration(kSlotGantrel, kDemoReadFile));
    AnswerFile(WriteFile("RS232C_GPS_read.txt",
                         "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\n"
                         "$GPRMC,123519,A\n"));
    ASSERT_TRUE(s.StartDemonstration(kSlotGPS, kDemoGPSReadFile));
    RunSeconds(4);
    EXPECT_EQ(s.readings.Count(), 2) << "1.5 twice; noise is no reading";
    EXPECT_EQ(s.fixes.Count(), 2);
    int nNoise = 0, nRMCData = 0, nRMCReceived = 0;
    for (const auto& l : s.dataLines) {
        nNoise += l == "noise";
        nRMCData += l.rfind("$GPRMC", 0) == 0;
    }
    for (const auto& l : s.receivedLines) nRMCReceived += l.rfind("$GPRMC", 0) == 0;
    EXPECT_EQ(nNoise, 2) << "an instrument's malformed line is shown in both logs";
    EXPECT_EQ(nRMCData, 0);
    EXPECT_EQ(nRMCReceived, 2);
}

}  // namespace
}  // namespace acqtest
