#include "tools/example_survey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "common/memory_settings.h"
#include "common/nmea.h"
#include "common/settings.h"
#include "common/survey_file.h"

namespace fs = std::filesystem;

namespace {

class ExampleSurveyTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&settings_);
        dir_ = fs::temp_directory_path() /
               ("example_survey_test_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        SetDecodeFailureLog(dir_ / "decode.log");
    }
    void TearDown() override {
        SetSettingsBackend(nullptr);
        SetDecodeFailureLog("DecodeGPSInBrivane.txt");
        fs::remove_all(dir_);
    }

    ExampleSurveyOptions Options(const std::string& sub) const {
        ExampleSurveyOptions o;
        o.folder = dir_ / sub;
        return o;
    }

    // One file read back alone, as the processing program reads it.
    CGantrelLine ReadBack(const fs::path& path) {
        CGantrelSurvey survey;
        const SurveyFileStatus st = ReadSurveyFile(survey, path);
        EXPECT_EQ(st.nBad, 0) << path;
        EXPECT_EQ(st.nLine, 1) << path;
        return st.nLine == 1 ? survey.Line(0) : CGantrelLine();
    }

    CMemorySettingsBackend settings_;
    fs::path dir_;
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Apparent resistivity brought back to the line's starting current level.
float Normalised(const CGantrelData& d, int j, int iCurrentLevel) {
    return d.fResistivity[j] * kCurrentLevelTable[d.iCurrentLevel[j]] /
           kCurrentLevelTable[iCurrentLevel];
}

float Median(std::vector<float> v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

bool Listed(const std::vector<ExampleValue>& list, int i, int j) {
    return std::any_of(list.begin(), list.end(),
                       [&](const ExampleValue& v) { return v.iReading == i && v.iReceiver == j; });
}

TEST_F(ExampleSurveyTest, EachLineFileReadsBackWholeWithItsMarkersAndFixes) {
    const ExampleSurveyReport report = WriteExampleSurvey(Options("survey"));
    ASSERT_TRUE(report.bOK) << report.sError;
    ASSERT_EQ(report.line.size(), 4u);
    EXPECT_DOUBLE_EQ(report.plan.dLength, 400.0);
    EXPECT_EQ(report.plan.nMarker, 41);
    for (int k = 0; k < 4; ++k) {
        const ExampleLineReport& r = report.line[k];
        EXPECT_EQ(r.path, dir_ / "survey" / ("line0" + std::to_string(k + 1) + ".sto"));
        const CGantrelLine line = ReadBack(r.path);
        EXPECT_EQ(line.nData(), 400);
        ASSERT_EQ(line.nMarker(), 41);
        EXPECT_EQ(line.nGPS(), r.nFix);
        EXPECT_EQ(r.nFix, 400);
        for (int m = 0; m < line.nMarker(); ++m) {
            EXPECT_EQ(line.pMarker[m].iMarkerNumber, m);
            EXPECT_EQ(line.pMarker[m].iLineID, k);
        }
        EXPECT_EQ(line.pGPS[0].iUTMZone, 54);
        EXPECT_NEAR(line.pGPS[0].dLatitude, 35.2, 0.01);
        EXPECT_NEAR(line.pGPS[0].dLongitude, 139.7 + 0.0002 * k, 0.01);
        // Readings a second apart, markers tied to the reading walked past 10 m later.
        EXPECT_EQ(line.pData[399].time - line.pData[0].time, 399);
        EXPECT_NEAR(line.pMarker[20].iDataIndex, 200, 6);
    }
}

TEST_F(ExampleSurveyTest, RecordsHaveTheLoggingProgramsLayout) {
    const ExampleSurveyReport report = WriteExampleSurvey(Options("survey"));
    ASSERT_TRUE(report.bOK) << report.sError;
    const std::string text = Slurp(report.line[0].path);
    EXPECT_EQ(
        text.rfind("33  GOHM      7.500      2.500      0.000      2.500 09:30:00.00 10/08/24 "
                   "1 \r\n3         0.00         0.00  09:30:00.00 10/08/24         0     "
                   "      0           0 5\r\n",
                   0),
        0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
              std::count(text.begin(), text.end(), '\r'));

    const std::regex reading(R"(30 5( {0,5}\d+\.\d{3} -?\d\d ){5} \d\d:\d\d:\d\d\.\d\d 10/08/24)");
    const std::regex gps(R"(21 \$(GPGGA,[^*]+)\*([0-9A-F]{2})  09:\d\d:\d\d\.\d\d 10/08/24)");
    int nReading = 0, nGPS = 0;
    for (const std::string& line : Lines(text)) {
        std::smatch m;
        if (line.rfind("30", 0) == 0) {
            EXPECT_TRUE(std::regex_match(line, reading)) << line;
            ++nReading;
        } else if (line.rfind("21", 0) == 0) {
            ASSERT_TRUE(std::regex_match(line, m, gps)) << line;
            unsigned sum = 0;
            for (char c : m[1].str()) sum ^= static_cast<unsigned char>(c);
            EXPECT_EQ(std::stoul(m[2].str(), nullptr, 16), sum) << line;
            ++nGPS;
        }
    }
    EXPECT_EQ(nReading, 400);
    EXPECT_EQ(nGPS, 400);
    EXPECT_EQ(
        Lines(text).back(),
        "3         0.00         0.00  09:36:40.00 10/08/24         0           0          40 5");
}

TEST_F(ExampleSurveyTest, HomogeneousEarthReadsBackAsItsResistivity) {
    // Without noise the V/I written must turn back into the earth's resistivity (times the
    // filter's 0.999375) in the processing program, for equal and unequal dipoles.
    for (const float tx : {2.5f, 5.0f}) {
        ExampleSurveyOptions o = Options(tx == 2.5f ? "equal" : "unequal");
        o.nLine = 1;
        o.nReadingPerLine = 30;
        o.fNoise = 0.0f;
        o.nSpikePerLine = o.nInvalidPerLine = 0;
        o.earth.fCoverResistivity = o.earth.fBasementResistivity = 100.0f;
        o.earth.fChannelDepth = 0.0f;
        o.geometry.fTransmitterDipole = tx;
        o.geometry.fRopeLength = 2.0f;
        const ExampleSurveyReport report = WriteExampleSurvey(o);
        ASSERT_TRUE(report.bOK) << report.sError;
        const CGantrelLine line = ReadBack(report.line[0].path);
        ASSERT_EQ(line.nData(), 30);
        for (const CGantrelData& d : line.pData)
            for (int j = 0; j < 5; ++j)
                EXPECT_NEAR(d.fResistivity[j], 99.9375, 0.1) << tx << " " << j;
    }
}

TEST_F(ExampleSurveyTest, ValuesShowCoverBasementAndChannel) {
    const ExampleSurveyOptions o = Options("survey");
    const ExampleSurveyReport report = WriteExampleSurvey(o);
    ASSERT_TRUE(report.bOK) << report.sError;
    std::vector<float> shallow, deep;
    for (const ExampleLineReport& r : report.line) {
        const CGantrelLine line = ReadBack(r.path);
        std::vector<float> first;
        for (int i = 0; i < line.nData(); ++i) {
            const CGantrelData& d = line.pData[i];
            for (int j = 0; j < 5; ++j) {
                if (Listed(r.spike, i, j) || Listed(r.invalid, i, j)) continue;
                const float rho = Normalised(d, j, o.iCurrentLevel);
                EXPECT_GT(rho, 3.0f) << i << " " << j;
                EXPECT_LT(rho, 240.0f) << i << " " << j;
            }
            first.push_back(Normalised(d, 0, o.iCurrentLevel));
            shallow.push_back(first.back());
            deep.push_back(Normalised(d, 4, o.iCurrentLevel));
        }
        // The channel: the lowest stretch of the shallowest receiver lies where its axis
        // crosses this line, seen from the operator's station.
        const double y = o.earth.ChannelAxis(r.dX, report.plan.dLength);
        const double station = (r.bForward ? y : report.plan.dLength - y) +
                               ValueOffsetBehindOperator(o.geometry, 5, 0);
        const int expected = static_cast<int>(station / report.plan.dLength * 400.0);
        int lowest = 2;
        float low = 1e9f;
        for (int i = 2; i + 2 < 400; ++i) {
            const float m = Median({first.begin() + i - 2, first.begin() + i + 3});
            if (m < low) low = m, lowest = i;
        }
        EXPECT_NEAR(lowest, expected, 8) << r.path;
        EXPECT_LT(low, 0.4f * Median(first)) << r.path;
    }
    std::sort(shallow.begin(), shallow.end());
    std::sort(deep.begin(), deep.end());
    EXPECT_GT(shallow[shallow.size() * 9 / 10], 120.0f);  // where the cover is thick
    EXPECT_LT(deep[deep.size() / 10], 45.0f);             // where the basement is near
    EXPECT_LT(deep[deep.size() / 2], shallow[shallow.size() / 2]);
}

TEST_F(ExampleSurveyTest, SpikesInvalidValuesAndLevelChangeAreWhereReported) {
    const ExampleSurveyOptions o = Options("survey");
    const ExampleSurveyReport report = WriteExampleSurvey(o);
    ASSERT_TRUE(report.bOK) << report.sError;
    for (const ExampleLineReport& r : report.line) {
        EXPECT_EQ(r.spike.size(), 3u);
        EXPECT_EQ(r.invalid.size(), 3u);
        const CGantrelLine line = ReadBack(r.path);
        for (int i = 0; i < line.nData(); ++i)
            for (int j = 0; j < 5; ++j) {
                EXPECT_EQ(line.pData[i].bValid[j], Listed(r.invalid, i, j) ? 0 : 1);
                const bool changed = r.iLevelChangeReading >= 0 && i >= r.iLevelChangeReading;
                EXPECT_EQ(line.pData[i].iCurrentLevel[j], changed ? 3 : 4);
                EXPECT_EQ(line.pData[i].iStatus[j], 5);
            }
        for (const ExampleValue& s : r.spike) {
            std::vector<float> around;
            for (int i : {s.iReading - 2, s.iReading - 1, s.iReading + 1, s.iReading + 2})
                around.push_back(Normalised(line.pData[i], s.iReceiver, o.iCurrentLevel));
            const float ratio =
                Normalised(line.pData[s.iReading], s.iReceiver, o.iCurrentLevel) / Median(around);
            EXPECT_GT(ratio, 7.0f);
            EXPECT_LT(ratio, 14.0f);
        }
    }
    // Lines 2 and 4 switch from level 4 to 3 (twice the current): V/I halves.
    EXPECT_EQ(report.line[0].iLevelChangeReading, -1);
    ASSERT_EQ(report.line[1].iLevelChangeReading, 220);
    const CGantrelLine line = ReadBack(report.line[1].path);
    std::vector<float> before, after;
    for (int i = 214; i < 220; ++i) before.push_back(line.pData[i].fResistance[4]);
    for (int i = 220; i < 226; ++i) after.push_back(line.pData[i].fResistance[4]);
    EXPECT_NEAR(Median(after) / Median(before), 0.5f, 0.12f);
}

TEST_F(ExampleSurveyTest, SameOptionsGiveSameBytesAndLinesDoNotDependOnLaterOnes) {
    ExampleSurveyOptions o = Options("a");
    o.nLine = 2;
    o.nReadingPerLine = 100;
    ExampleSurveyOptions again = o, shorter = o, reseeded = o;
    again.folder = dir_ / "b";
    shorter.folder = dir_ / "c";
    shorter.nLine = 1;
    reseeded.folder = dir_ / "d";
    reseeded.iSeed = 2;
    for (const auto* opt : {&o, &again, &shorter, &reseeded})
        ASSERT_TRUE(WriteExampleSurvey(*opt).bOK);
    for (const char* name : {"line01.sto", "line02.sto"}) {
        EXPECT_EQ(Slurp(o.folder / name), Slurp(again.folder / name)) << name;
        EXPECT_NE(Slurp(o.folder / name), Slurp(reseeded.folder / name)) << name;
    }
    EXPECT_EQ(Slurp(o.folder / "line01.sto"), Slurp(shorter.folder / "line01.sto"));
    EXPECT_FALSE(fs::exists(shorter.folder / "line02.sto"));
}

TEST(ExampleSurveyPlan, LinesStayWithinTheCapacitiesOfALine) {
    const ExampleLinePlan large = PlanExampleLine(LargeExampleOptions("x"));
    EXPECT_EQ(large.nReading, 50000);
    EXPECT_DOUBLE_EQ(large.dLength, 5000.0);
    EXPECT_DOUBLE_EQ(large.dMarkerSpacing, 10.0);
    EXPECT_EQ(large.nMarker, 501);
    EXPECT_EQ(large.iGPSInterval, 1);
    EXPECT_EQ(large.nFix, 5000);

    // A reading a second for 50,000 s: markers every 100 m and a fix every 3 s fit.
    ExampleSurveyOptions slow = LargeExampleOptions("x");
    slow.nReadingPerSecond = 1;
    const ExampleLinePlan p = PlanExampleLine(slow);
    EXPECT_DOUBLE_EQ(p.dMarkerSpacing, 100.0);
    EXPECT_EQ(p.nMarker, 501);
    EXPECT_EQ(p.iGPSInterval, 3);
    EXPECT_EQ(p.nFix, 16667);
}

TEST_F(ExampleSurveyTest, RefusesBadOptionsAndFoldersItCannotWrite) {
    ExampleSurveyOptions o = Options("x");
    o.nReadingPerLine = 50001;
    EXPECT_EQ(WriteExampleSurvey(o).sError, "Readings per line must be 2 to 50000");
    o = Options("x");
    o.nLine = 0;
    EXPECT_EQ(CheckExampleOptions(o), "Lines must be 1 to 1000");

    std::ofstream(dir_ / "file") << "x";
    o = Options("file");
    o.folder /= "sub";
    ExampleSurveyReport report = WriteExampleSurvey(o);
    EXPECT_FALSE(report.bOK);
    EXPECT_EQ(report.sError, "Cannot create the folder " + o.folder.string());

    // A folder in the way of the second file: the first is written and reported.
    o = Options("blocked");
    o.nReadingPerLine = 20;
    fs::create_directories(o.folder / "line02.sto");
    report = WriteExampleSurvey(o);
    EXPECT_FALSE(report.bOK);
    EXPECT_EQ(report.sError, "Cannot open the file " + (o.folder / "line02.sto").string());
    ASSERT_EQ(report.line.size(), 1u);
    EXPECT_GT(fs::file_size(o.folder / "line01.sto"), 0u);
}

}  // namespace
