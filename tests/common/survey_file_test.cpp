#include "common/survey_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/nmea.h"
#include "common/record_time.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "common/side_file.h"
#include "common/text_format.h"

namespace fs = std::filesystem;

namespace {

const char* kGGA = "$GPGGA,030001.00,3514.1234,N,13945.6789,E,1,08,0.9,35.2,M,39.5,M,,*47";

// A line as the logging program records it: geometry, marker 0, readings and fixes as they
// arrive, a MARK, and the end marker.
const char* kLoggerLine =
    "33  GOHM      7.500      2.500      0.000      2.500 12:00:00.00 06/15/09 1 \n"
    "3         0.00         0.00  12:00:00.00 06/15/09         0           3           0 5\n"
    "30 2    12.345 55     23.456 -13  12:00:01.50 06/15/09\n"
    "21 $GPGGA,030001.00,3514.1234,N,13945.6789,E,1,08,0.9,35.2,M,39.5,M,,*47  12:00:01.25 "
    "06/15/09\n"
    "30 2    11.000 45      9.875 46  12:00:02.00 06/15/09\n"
    "3         0.00        10.00  12:00:02.50 06/15/09         0           3           1 5\n"
    "30 1   100.250 70  12:00:03.75 06/15/09\n"
    "3         0.00        20.00  12:00:04.00 06/15/09         0           3           2 5\n";

class SurveyFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "Asia/Tokyo", 1);
        tzset();
        SetSettingsBackend(&settings_);
        SetLanguage(kLanguageEnglish);
        dir_ = fs::temp_directory_path() /
               ("survey_file_test_" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        SetDecodeFailureLog(dir_ / "decode.log");
    }
    void TearDown() override {
        SetSettingsBackend(nullptr);
        SetDecodeFailureLog("DecodeGPSInBrivane.txt");
        fs::remove_all(dir_);
    }

    fs::path Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return dir_ / name;
    }
    static std::string Slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    fs::path SaveSurvey(const CGantrelSurvey& s, const std::string& name, int bZeroStatus) {
        CTextWriter out;
        EXPECT_TRUE(out.Open(dir_ / name));
        for (int l = 0; l < s.nLine; ++l)
            EXPECT_TRUE(WriteSurveyLine(s.Line(l), out, s.bMarkerDistance, bZeroStatus));
        EXPECT_TRUE(out.Close());
        return dir_ / name;
    }

    CMemorySettingsBackend settings_;
    fs::path dir_;
};

void ExpectSameReading(const CGantrelData& a, const CGantrelData& b, bool bStatus) {
    ASSERT_EQ(a.nReceiver, b.nReceiver);
    EXPECT_EQ(a.time, b.time);
    EXPECT_EQ(a.iMilliSecond, b.iMilliSecond);
    for (int i = 0; i < a.nReceiver; ++i) {
        EXPECT_EQ(a.fResistance[i], b.fResistance[i]);
        EXPECT_EQ(a.fResistivity[i], b.fResistivity[i]);
        if (bStatus) {
            EXPECT_EQ(a.bValid[i], b.bValid[i]);
            EXPECT_EQ(a.iCurrentLevel[i], b.iCurrentLevel[i]);
            EXPECT_EQ(a.iStatus[i], b.iStatus[i]);
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Records

TEST(SurveyRecords, ReadingRecordGivesValuesStatusAndTime) {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    CGantrelData d;
    ASSERT_EQ(ParseReadingRecord("30 2     12.345 55     23.456 -13  12:34:56.78 06/15/09", d), 2);
    EXPECT_FLOAT_EQ(d.fResistance[0], 12.345f);
    EXPECT_FLOAT_EQ(d.fResistance[1], 23.456f);
    EXPECT_EQ(d.bValid[0], 1);
    EXPECT_EQ(d.iCurrentLevel[0], 5);
    EXPECT_EQ(d.iStatus[0], 5);
    EXPECT_EQ(d.bValid[1], 0);
    EXPECT_EQ(d.iCurrentLevel[1], 1);
    EXPECT_EQ(d.iStatus[1], 3);
    EXPECT_EQ(d.time, 1245036896);
    EXPECT_EQ(d.iMilliSecond, 780);
    EXPECT_EQ(d.bDistance, 0);
}

TEST(SurveyRecords, HostileReadingsAreRejected) {
    const std::string bad[] = {"30 6 1 0 2 0 3 0 4 0 5 0 6 0 12:00:00.00 06/15/09",
                               "30 0 12:00:00.00 06/15/09",
                               "30 1 1e999 55 12:00:00.00 06/15/09",
                               "30 1 nan 55 12:00:00.00 06/15/09",
                               "30 1 12.5 x5 12:00:00.00 06/15/09",
                               "30 2 12.5 55 12:00:00.00 06/15/09",
                               "30 1 12.5 55 12:00:00.00",
                               "30",
                               std::string("30 1 1\0 55 12:00:00.00 06/15/09", 32)};
    for (const std::string& rec : bad) {
        CGantrelData d;
        EXPECT_EQ(ParseReadingRecord(rec, d), 0) << rec;
    }
}

TEST(SurveyRecords, ReadingFormsAndErrorWord) {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    CGantrelData d;
    ASSERT_EQ(ParseReadingRecord("30 2 12.345 55 23.456 -13 12:34:56.78 06/15/09 12.5", d), 2);
    EXPECT_EQ(FormatReadingRecord(d, ReadingForm::ZeroStatus, true),
              "30 2     12.345 0      23.456 0  12:34:56.78 06/15/09 12.500000");
    EXPECT_EQ(FormatReadingRecord(d, ReadingForm::WithStatus, false),
              "30 2     12.345 55     23.456 -13  12:34:56.78 06/15/09");
    EXPECT_EQ(FormatReadingRecord(d, ReadingForm::Logging, false),
              "30 2    12.345 55     23.456 13  12:34:56.78 06/15/09");
    d.fResistance[1] = -1.5e8f;
    EXPECT_EQ(FormatReadingRecord(d, ReadingForm::ZeroStatus, false), "ERROR");
    d.fResistance[1] = std::nanf("");
    EXPECT_EQ(FormatReadingRecord(d, ReadingForm::ZeroStatus, false), "ERROR");
}

TEST(SurveyRecords, WideValueStaysASeparateToken) {
    CGantrelData d;
    ASSERT_EQ(ParseReadingRecord("30 2 1234567.5 55 99999999 12 12:00:00.00 06/15/09", d), 2);
    CGantrelData back;
    ASSERT_EQ(ParseReadingRecord(FormatReadingRecord(d, ReadingForm::WithStatus, false), back), 2);
    ASSERT_EQ(ParseReadingRecord(FormatReadingRecord(d, ReadingForm::Logging, false), back), 2);
    EXPECT_EQ(back.fResistance[0], d.fResistance[0]);
    EXPECT_EQ(back.fResistance[1], d.fResistance[1]);
    EXPECT_EQ(back.iCurrentLevel[1], 1);
}

TEST(SurveyRecords, ValuesAreFormattedAsPrintfWouldFormatThem) {
    std::mt19937 rng(11);
    std::vector<float> values = {0.0f,       -0.0f,       -0.0001f, 0.0625f, -0.0625f, 0.0078125f,
                                 3.0f / 128, 99999999.0f, -1e-30f,  1e8f,    1e-45f};
    for (int i = 0; i < 20000; ++i) {
        const std::uint32_t bits = rng();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (std::isfinite(f) && std::fabs(f) <= 1e8f) values.push_back(f);
        values.push_back(static_cast<float>(rng() % 100000000) / 1000.0f);
    }
    CGantrelData d;
    d.nReceiver = 1;
    for (float f : values) {
        d.fResistance[0] = f;
        d.fResistivity[0] = f;
        d.fDistance = f;
        const std::string rec = FormatReadingRecord(d, ReadingForm::ZeroStatus, true);
        std::string value = FormatC("%11.3f", static_cast<double>(f));
        if (value[0] != ' ') value = " " + value;  // never glued to the receiver count
        const std::string expected = "30 1" + value + " 0 ";
        ASSERT_EQ(rec.substr(0, expected.size()), expected) << f;
        ASSERT_EQ(rec.substr(rec.rfind(' ')), FormatC(" %f", static_cast<double>(f))) << f;
        ASSERT_EQ(FormatResistivityLine(d), FormatC(" %f ", static_cast<double>(f))) << f;
    }
}

TEST(SurveyRecords, RawConsoleRecord) {
    CGantrelData d;
    ASSERT_EQ(ParseRawRecord("21 12.5,55,80,55,8.1,50,46 12:34:56.78 06/15/09", d), 2);
    EXPECT_FLOAT_EQ(d.fResistance[0], 12.5f);
    EXPECT_FLOAT_EQ(d.fReceiverLevel[0], 5.5f);
    EXPECT_FLOAT_EQ(d.fTransmitterLevel, 8.0f);
    EXPECT_FLOAT_EQ(d.fReceiverLevel[1], 5.0f);
    EXPECT_EQ(d.iCurrentLevel[1], 4);
    EXPECT_EQ(d.iStatus[1], 6);
    EXPECT_EQ(d.iMilliSecond, 780);
    EXPECT_EQ(ParseRawRecord("21 12.5,55,80,55,8.1 12:34:56.78 06/15/09", d), 0);
    EXPECT_EQ(ParseRawRecord("21 1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1 12:34:56.78 06/15/09", d),
              0);
    EXPECT_EQ(ParseRawRecord("21 $GPGGA,1,2,3", d), 0);
}

TEST(SurveyRecords, GeometryRecordSetsDifferentSizeAndOptionalFields) {
    GeometryRecord g;
    ASSERT_TRUE(ParseGeometryRecord(
        "33  GOHM 7.5 2.5 3.0 5.0 12:00:00.00 06/15/09 0 1 0 1 1 0 1.0 2.0 1.0 1.0 0.5", g));
    CGantrelGeometry geometry = CGantrelGeometry::Initial();
    CGantrelLine line;
    g.ApplyTo(geometry, &line);
    EXPECT_EQ(geometry.bDifferentSize, 1);
    EXPECT_FLOAT_EQ(geometry.fRopeLength, 3.0f);
    EXPECT_FLOAT_EQ(geometry.fReceiverDipole, 5.0f);
    EXPECT_EQ(line.bUse, 0);
    EXPECT_EQ(line.bReceiverUse[1], 0);
    EXPECT_EQ(line.bReceiverUse[4], 0);
    EXPECT_FLOAT_EQ(geometry.pReceiverFactor[1], 2.0f);
    EXPECT_FLOAT_EQ(geometry.pReceiverFactor[4], 0.5f);
    EXPECT_FALSE(ParseGeometryRecord("33  GOHM 7.5 2.5 0.0 2.5 12:00:00.00", g));
    EXPECT_FALSE(ParseGeometryRecord("33  GOHM 7.5 inf 0.0 2.5 12:00:00.00 06/15/09", g));
}

// ---------------------------------------------------------------------------------------------
// Survey file reader

TEST_F(SurveyFileTest, LoggerFileGivesOneCompleteLine) {
    CGantrelSurvey s;
    const SurveyFileStatus st = ReadSurveyFile(s, Write("a.sto", kLoggerLine));
    ASSERT_EQ(st.nLine, 1);
    EXPECT_EQ(st.nBad, 0);
    const CGantrelLine& line = s.Line(0);
    ASSERT_EQ(line.nData(), 3);
    ASSERT_EQ(line.nMarker(), 3);
    ASSERT_EQ(line.nGPS(), 1);
    EXPECT_EQ(line.nMaxReceiver, 2);
    EXPECT_EQ(line.pMarker[0].nData, 2);
    EXPECT_EQ(line.pMarker[1].nData, 1);
    EXPECT_EQ(line.pMarker[2].iKind, 2);
    EXPECT_EQ(line.pData[2].iMarkerIndex, 1);
    EXPECT_EQ(line.pMarker[1].iDataIndex, 1);  // 12:00:02.50 is nearest the second reading
    EXPECT_EQ(line.pGPS[0].iDataIndex, 0);
    EXPECT_GT(line.pData[0].fResistivity[0], 0.0f);
    EXPECT_EQ(s.bGPS, 1);
    EXPECT_EQ(s.bMarkerDistance, 0);  // the readings carry no distance
    EXPECT_EQ(ReadSuiteInt("iUTMZone", 0), 54);
    EXPECT_EQ(Slurp(dir_ / "gps.nmea"),
              "$GPRMC,120001.250,A,3514.12340,N,13945.67890,E,  0.0,  0.0,150609,0.0,W*60\r\n");
}

TEST_F(SurveyFileTest, ReadingWithSixReceiversIsLeftOutAndReported) {
    std::string text = kLoggerLine;
    text.insert(text.find("30 1"), "30 6 1 0 2 0 3 0 4 0 5 0 6 0 12:00:03.00 06/15/09\n");
    CGantrelSurvey s;
    CScriptedPrompter prompter;
    const fs::path path = Write("six.sto", text);
    ASSERT_EQ(ReadSurveyFile(s, path, prompter), 1);
    EXPECT_EQ(s.Line(0).nData(), 3);
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0],
              path.string() +
                  ": 1 record(s) could not be read and were left out.\nThe first is "
                  "at line 7: reading with a receiver count outside 1 to 5.");
}

TEST_F(SurveyFileTest, CannotOpenTheFile) {
    CGantrelSurvey s;
    CScriptedPrompter prompter;
    EXPECT_EQ(ReadSurveyFile(s, dir_ / "missing.sto", prompter), 0);
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0], "Cannot open the file " + (dir_ / "missing.sto").string());
    EXPECT_FALSE(fs::exists(dir_ / "gps.nmea"));
}

TEST_F(SurveyFileTest, TwoGeometryRecordsGiveTwoLines) {
    std::string second = kLoggerLine;
    second.replace(second.find("2.500 12"), 5, "5.000");  // receiver dipole 5.0: field 6
    for (size_t p; (p = second.find("   3     ")) != std::string::npos;)
        second.replace(p, 9, "   4     ");
    CGantrelSurvey s;
    ASSERT_EQ(ReadSurveyFile(s, Write("two.sto", std::string(kLoggerLine) + second)).nLine, 2);
    EXPECT_EQ(s.Line(1).pMarker[0].iLineID, 4);
    EXPECT_EQ(s.Line(1).pMarker[0].iMarkerNumber, 0);
    EXPECT_EQ(s.Line(0).pGeometry->bDifferentSize, 0);
    EXPECT_EQ(s.Line(1).pGeometry->bDifferentSize, 1);
    EXPECT_EQ(s.Line(1).nData(), 3);
}

TEST_F(SurveyFileTest, GgaWithoutTheTagIsStillAFix) {
    std::string text = kLoggerLine;
    text.replace(text.find("21 $GPGGA"), 3, "");
    CGantrelSurvey s;
    ASSERT_EQ(ReadSurveyFile(s, Write("g.sto", text)).nLine, 1);
    EXPECT_EQ(s.Line(0).nGPS(), 1);
}

TEST_F(SurveyFileTest, LinesWithFewerThanTwoMarkersAreCompleted) {
    const char* geometry = "33  GOHM 7.5 2.5 0.0 2.5 12:00:00.00 06/15/09 1\n";
    const char* readings =
        "30 1 1.0 55 12:00:10.00 06/15/09\n30 1 1.0 55 12:00:20.00 06/15/09\n"
        "30 1 1.0 55 12:00:40.00 06/15/09\n";
    const std::string marker = "3 0.00 5.00 12:00:35.00 06/15/09 0 1 1 5\n";
    CGantrelSurvey s;
    ReadSurveyFile(s, Write("m.sto", std::string(geometry) + readings + geometry + readings +
                                         marker + geometry));
    ASSERT_EQ(s.nLine, 2);  // the last line had no readings
    const auto& none = s.Line(0).pMarker;
    ASSERT_EQ(none.size(), 2u);
    EXPECT_EQ(none[1].time - none[0].time, 30);
    EXPECT_EQ(none[0].iKind, 0);
    EXPECT_EQ(none[1].iKind, 2);
    EXPECT_EQ(none[1].iDataIndex, 2);
    const auto& one = s.Line(1).pMarker;  // 25 s after the first reading, 5 s before the last
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[0].time, s.Line(1).pData[0].time);
    EXPECT_EQ(one[0].iMarkerNumber, 1);
    EXPECT_EQ(one[1].time - one[0].time, 25);
    EXPECT_EQ(one[1].iKind, 2);
}

TEST_F(SurveyFileTest, HostileBytesAreSkippedAndTheRestIsRead) {
    std::string text = "30 1 1.0 55 12:00:00.00 06/15/09\n";  // before any line
    text += std::string("\0\xff\x01garbage\0\n", 12);
    text += kLoggerLine;
    text += "30 1 1.0 55 " + std::string(5000, ' ') + "30 1 2.0 55 12:00:09.00 06/15/09\n";
    text += "30 1 1e999 55 12:00:09.00 06/15/09\n";
    text += "3 nan 0.00 12:00:09.00 06/15/09 0 3 3 5\n";
    text += "30 1 5.0 55 12:00:09.00 06/15/09";  // no line end
    CGantrelSurvey s;
    const SurveyFileStatus st = ReadSurveyFile(s, Write("bad.sto", text));
    ASSERT_EQ(st.nLine, 1);
    EXPECT_EQ(s.Line(0).nData(), 4);  // never a record cut from the overlong line
    EXPECT_FLOAT_EQ(s.Line(0).pData[3].fResistance[0], 5.0f);
    EXPECT_EQ(st.nBad, 4);
    EXPECT_EQ(st.iFirstBadLine, 1u);
    EXPECT_EQ(st.eFirstBad, RecordProblem::NoLine);
}

TEST_F(SurveyFileTest, FullLineKeepsItsCapacityAndReports) {
    std::string text = "33  GOHM 7.5 2.5 0.0 2.5 12:00:00.00 06/15/09 1\n";
    for (int i = 0; i <= kMaxDataPerLine; ++i) text += "30 1 1.0 55 12:00:00.00 06/15/09\n";
    for (int i = 0; i <= kMaxMarkerPerLine; ++i) text += "3 0 0 12:00:00.00 06/15/09 0 0 1 5\n";
    CGantrelSurvey s;
    const SurveyFileStatus st = ReadSurveyFile(s, Write("full.sto", text));
    EXPECT_EQ(s.Line(0).nData(), kMaxDataPerLine);
    EXPECT_EQ(s.Line(0).nMarker(), kMaxMarkerPerLine);
    EXPECT_EQ(st.nBad, 2);
    EXPECT_EQ(st.iFirstBadLine, static_cast<size_t>(kMaxDataPerLine) + 2);
    EXPECT_EQ(st.eFirstBad, RecordProblem::LineFull);
}

TEST_F(SurveyFileTest, ThousandLinesAtMost) {
    std::string text;
    for (int i = 0; i <= kMaxLine; ++i)
        text +=
            "33  GOHM 7.5 2.5 0.0 2.5 12:00:00.00 06/15/09 1\n30 1 1.0 55 12:00:00.00 06/15/09\n";
    CGantrelSurvey s;
    const SurveyFileStatus st = ReadSurveyFile(s, Write("many.sto", text));
    EXPECT_EQ(st.nLine, kMaxLine);
    EXPECT_EQ(st.nBad, 2);
    EXPECT_EQ(st.eFirstBad, RecordProblem::SurveyFull);
}

TEST_F(SurveyFileTest, DistancesOnEveryReadingMakeMarkerDistances) {
    const char* text =
        "33  GOHM 7.5 2.5 0.0 2.5 12:00:00.00 06/15/09 1\n"
        "3 0.00 50.00 12:00:00.00 06/15/09 0 1 0 5\n"
        "30 1 1.0 55 12:00:01.00 06/15/09 48.0\n"
        "30 1 1.0 55 12:00:02.00 06/15/09 46.0\n"
        "3 0.00 40.00 12:00:03.00 06/15/09 0 1 1 5\n";
    CGantrelSurvey s;
    ReadSurveyFile(s, Write("d.sto", text));
    EXPECT_EQ(s.bMarkerDistance, 1);
    EXPECT_EQ(s.Line(0).bReverse, 1);
    EXPECT_FLOAT_EQ(s.fMinDistance, 40.0f);
    EXPECT_FLOAT_EQ(s.fMaxDistance, 50.0f);
}

TEST_F(SurveyFileTest, ResistivityModeTakesTheStoredValues) {
    const char* text =
        "33  GOHM 7.5 2.5 0.0 2.5 12:00:00.00 06/15/09 1\n"
        "30 2 1.0 55 2.0 55 12:00:01.00 06/15/09\n"
        " 111.5  222.25 \n"
        "30 2 1.0 55 2.0 55 12:00:02.00 06/15/09\n"
        "30 1 1.0 55 12:00:03.00 06/15/09\n"
        " 333.0 \n";
    CLineReader in;
    ASSERT_TRUE(in.Open(Write("r.sto", text)));
    CGantrelSurvey s;
    const SurveyFileStatus st = ReadSurveyStream(s, in, 1);
    ASSERT_EQ(s.Line(0).nData(), 3);  // the reading after the missing values is still read
    EXPECT_FLOAT_EQ(s.Line(0).pData[0].fResistivity[0], 111.5f);
    EXPECT_FLOAT_EQ(s.Line(0).pData[0].fResistivity[1], 222.25f);
    EXPECT_FLOAT_EQ(s.Line(0).pData[2].fResistivity[0], 333.0f);
    EXPECT_EQ(st.nBad, 1);
    EXPECT_EQ(st.iFirstBadLine, 4u);
    EXPECT_EQ(st.eFirstBad, RecordProblem::BadResistivityLine);
}

// ---------------------------------------------------------------------------------------------
// Survey file writer

TEST_F(SurveyFileTest, ReadingWithoutACurrentLevelStaysValidThroughASave) {
    CGantrelSurvey s;
    ReadSurveyFile(s, Write("a.sto", kLoggerLine));
    // What a reading of the old mapping form carries: no current level.
    s.Line(0).pData[0].iCurrentLevel[0] = -1;
    CGantrelSurvey back;
    ReadSurveyFile(back, SaveSurvey(s, "out.sto", 0));
    ASSERT_EQ(back.nLine, 1);
    EXPECT_EQ(back.Line(0).pData[0].bValid[0], 1);
    EXPECT_EQ(back.Line(0).pData[0].iCurrentLevel[0], 0);
}

TEST_F(SurveyFileTest, WriterLayoutIsExact) {
    CGantrelSurvey s;
    ReadSurveyFile(s, Write("a.sto", kLoggerLine));
    // Above 1e8, which the reader takes: written like any other value, wider than its field.
    s.Line(0).pData[1].fResistance[0] = 2.0e8f;
    const std::string out = Slurp(SaveSurvey(s, "out.sto", 1));
    const std::string rho0 = FormatResistivityLine(s.Line(0).pData[0]);
    const std::string rho1 = FormatResistivityLine(s.Line(0).pData[1]);
    const std::string rho2 = FormatResistivityLine(s.Line(0).pData[2]);
    EXPECT_EQ(
        out,
        "33  GOHM      7.500      2.500      0.000      2.500 12:00:00.00 06/15/09 1  1  "
        "1  1  1  1  1.000000  1.000000  1.000000  1.000000  1.000000 \r\n"
        "3         0.00         0.00  12:00:00.00 06/15/09         0           3           0 5\r\n"
        "21 " +
            std::string(kGGA) +
            "  12:00:01.25 06/15/09\r\n"
            "30 2     12.345 0      23.456 0  12:00:01.50 06/15/09\r\n" +
            rho0 +
            "\r\n"
            "3         0.00        10.00  12:00:02.50 06/15/09         0           3           1 "
            "5\r\n"
            "30 2 200000000.000 0       9.875 0  12:00:02.00 06/15/09\r\n" +
            rho1 +
            "\r\n"
            "30 1    100.250 0  12:00:03.75 06/15/09\r\n" +
            rho2 +
            "\r\n"
            "3         0.00        20.00  12:00:04.00 06/15/09         0           3           2 "
            "5\r\n");
}

TEST_F(SurveyFileTest, SavedReadingsComeBackValidWithZeroStatus) {
    CGantrelSurvey s, back;
    ReadSurveyFile(s, Write("a.sto", kLoggerLine));
    ReadSurveyFile(back, SaveSurvey(s, "zero.sto", 1));
    for (const auto& d : back.Line(0).pData)
        for (int i = 0; i < d.nReceiver; ++i) {
            EXPECT_EQ(d.bValid[i], 1);
            EXPECT_EQ(d.iCurrentLevel[i], 0);
            EXPECT_EQ(d.iStatus[i], 0);
        }
}

TEST_F(SurveyFileTest, RoundTripKeepsEveryFieldAndBytes) {
    const std::string one = kLoggerLine;
    std::string text = one + one.substr(0, one.rfind('\n', one.size() - 2) + 1);  // no end marker
    CGantrelSurvey s, back, again;
    ReadSurveyFile(s, Write("a.sto", text));
    const fs::path first = SaveSurvey(s, "first.sto", 0);
    ReadSurveyFile(back, first);
    ASSERT_EQ(back.nLine, s.nLine);
    for (int l = 0; l < s.nLine; ++l) {
        const CGantrelLine &a = s.Line(l), &b = back.Line(l);
        ASSERT_EQ(a.nData(), b.nData());
        ASSERT_EQ(a.nMarker(), b.nMarker());
        ASSERT_EQ(a.nGPS(), b.nGPS());
        for (int i = 0; i < a.nData(); ++i) ExpectSameReading(a.pData[i], b.pData[i], true);
        for (int m = 0; m < a.nMarker(); ++m) {
            EXPECT_EQ(a.pMarker[m].time, b.pMarker[m].time);
            EXPECT_EQ(a.pMarker[m].dY, b.pMarker[m].dY);
            EXPECT_EQ(a.pMarker[m].iLineID, b.pMarker[m].iLineID);
            EXPECT_EQ(a.pMarker[m].iMarkerNumber, b.pMarker[m].iMarkerNumber);
        }
        EXPECT_EQ(a.pGPS[0].sSentence, b.pGPS[0].sSentence);
        EXPECT_EQ(a.pGPS[0].dEasting, b.pGPS[0].dEasting);
        EXPECT_EQ(a.pGeometry->fOffset, b.pGeometry->fOffset);
        EXPECT_EQ(a.pGeometry->time, b.pGeometry->time);
    }
    // The layout is deterministic: writing what was read gives the same bytes.
    ReadSurveyFile(again, SaveSurvey(back, "second.sto", 0));
    EXPECT_EQ(Slurp(first), Slurp(SaveSurvey(again, "third.sto", 0)));
}

// A line as the console delivers it, with every hundredth from .00 to .99 once.
std::string LoggerLineWithEveryHundredth() {
    std::string text =
        "33  GOHM      7.500      2.500      0.000      2.500 12:00:00.00 06/15/09 1 \n"
        "3         0.00         0.00  12:00:00.00 06/15/09         0           0           0 5\n";
    for (int i = 0; i < 100; ++i)
        text += FormatC("30 2%10.3f 40 %10.3f 41  12:%02d:%02d.%02d 06/15/09\n", 10.0 + i * 0.125,
                        3.5 + i * 0.001, 1 + i / 60, i % 60, i);
    text += "3         0.00         0.00  12:03:00.00 06/15/09         0           0           1 5\n";
    return text;
}

TEST_F(SurveyFileTest, FileSavedAndReopenedSavesToTheSameBytes) {
    // Both layouts: the survey file save (zero status) and the section file's (with status).
    for (int bZeroStatus = 0; bZeroStatus <= 1; ++bZeroStatus) {
        CGantrelSurvey logger, first;
        ReadSurveyFile(logger, Write("logger.sto", LoggerLineWithEveryHundredth()));
        const std::string a = Slurp(SaveSurvey(logger, "a.sto", bZeroStatus));
        ReadSurveyFile(first, dir_ / "a.sto");
        const std::string b = Slurp(SaveSurvey(first, "b.sto", bZeroStatus));
        EXPECT_EQ(a, b) << "zero status " << bZeroStatus;
        // The logger's times are the saved ones, to the hundredth.
        for (int i = 0; i < 100; ++i) {
            const std::string time = FormatC(" 12:%02d:%02d.%02d 06/15/09", 1 + i / 60, i % 60, i);
            EXPECT_NE(a.find(time), std::string::npos) << time;
            EXPECT_EQ(first.Line(0).pData[i].iMilliSecond, 10 * i);
        }
    }
}

TEST_F(SurveyFileTest, ExcludedLineStaysExcludedThroughASaveAndAReopen) {
    CGantrelSurvey s, back;
    ReadSurveyFile(s, Write("a.sto", std::string(kLoggerLine) + kLoggerLine));
    ASSERT_EQ(s.nLine, 2);
    EXPECT_EQ(s.Line(0).bUse, 1);  // the logger's field 9
    s.Line(1).bUse = 0;
    s.Line(1).bReceiverUse[2] = 0;
    ReadSurveyFile(back, SaveSurvey(s, "out.sto", 1));
    ASSERT_EQ(back.nLine, 2);
    EXPECT_EQ(back.Line(0).bUse, 1);
    EXPECT_EQ(back.Line(1).bUse, 0);
    EXPECT_EQ(back.Line(1).bReceiverUse[2], 0);
    // A geometry record without the field leaves the line in use.
    CGantrelSurvey bare;
    std::string text = kLoggerLine;
    text.replace(text.find(" 06/15/09 1 \n"), 13, " 06/15/09\n");
    ReadSurveyFile(bare, Write("bare.sto", text));
    EXPECT_EQ(bare.Line(0).bUse, 1);
}

TEST_F(SurveyFileTest, EveryReadingTheReaderTakesIsWrittenAndTheRestIsCounted) {
    CGantrelSurvey s, back;
    ReadSurveyFile(s, Write("a.sto", kLoggerLine));
    s.Line(0).pData[0].fResistance[1] = 3.0e38f;  // far above 1e8, and still a number
    s.Line(0).pData[2].fResistance[0] = std::nanf("");
    CTextWriter out;
    ASSERT_TRUE(out.OpenReplacing(dir_ / "out.sto"));
    int nLeftOut = 0;
    EXPECT_TRUE(WriteSurveyLine(s.Line(0), out, 0, 1, &nLeftOut));
    ASSERT_TRUE(out.Close());
    EXPECT_EQ(nLeftOut, 1);
    ReadSurveyFile(back, dir_ / "out.sto");
    ASSERT_EQ(back.Line(0).nData(), 2);
    EXPECT_EQ(back.Line(0).pData[0].fResistance[1], 3.0e38f);
    EXPECT_EQ(SurveySaveMessage({{}, 1}, dir_ / "out.sto", false),
              (dir_ / "out.sto").string() +
                  ": 1 reading(s) hold a value that is not a number, which no survey file can "
                  "hold; they were left out of the file.");

    // The mapping format keeps its word for both, and the save says so.
    SurveySaveReport report;
    ASSERT_TRUE(WriteMappingFile(s, dir_ / "out.stn", &report));
    EXPECT_EQ(report.nLeftOut, 2);
    const std::string stn = Slurp(dir_ / "out.stn");
    size_t nError = 0;
    for (size_t at = stn.find("\nERROR\r\n"); at != std::string::npos;
         at = stn.find("\nERROR\r\n", at + 1))
        ++nError;
    EXPECT_EQ(nError, 2u);
    CScriptedPrompter prompter;
    EXPECT_FALSE(WriteMappingFile(s, dir_ / "out.stn", prompter));
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{
                  (dir_ / "out.stn").string() +
                  ": 2 reading(s) hold a value above 100000000 or one that is not a number; the "
                  "mapping file holds each of them as the word ERROR, without its values."});
}

TEST_F(SurveyFileTest, CrOnlyLineEndsReadAsCrLfDo) {
    std::string cr = kLoggerLine;
    std::replace(cr.begin(), cr.end(), '\n', '\r');
    CGantrelSurvey a, b;
    const SurveyFileStatus st = ReadSurveyFile(a, Write("cr.sto", cr));
    ReadSurveyFile(b, Write("lf.sto", kLoggerLine));
    EXPECT_EQ(st.nBad, 0);
    ASSERT_EQ(a.nLine, 1);
    EXPECT_EQ(a.Line(0).nData(), b.Line(0).nData());
    EXPECT_EQ(a.Line(0).nMarker(), b.Line(0).nMarker());
    EXPECT_EQ(a.Line(0).nGPS(), b.Line(0).nGPS());
    // The mapping reader too.
    std::string stn = "99 0 0 1\r" + FormatReadingRecord(b.Line(0).pData[0], ReadingForm::ZeroStatus,
                                                          false) +
                      "\r" + FormatMarkerRecord(b.Line(0).pMarker[0], MarkerForm::Mapping) + "\r";
    CGantrelSurvey m;
    const SurveyFileStatus ms = ReadMappingFile(m, Write("cr.stn", stn));
    EXPECT_EQ(ms.nBad, 0);
    ASSERT_EQ(m.nLine, 1);
    EXPECT_EQ(m.Line(0).nData(), 1);
}

TEST_F(SurveyFileTest, EchoNeverReplacesAFileBeingRead) {
    TakeSideFileRefusals();
    // The data file itself carries the echo's name.
    const fs::path named = Write("gps.nmea", kLoggerLine);
    CGantrelSurvey s;
    const SurveyFileStatus st = ReadSurveyFile(s, named);
    EXPECT_EQ(st.nLine, 1);
    EXPECT_TRUE(st.bEchoRefused);
    EXPECT_EQ(Slurp(named), kLoggerLine);
    EXPECT_EQ(TakeSideFileRefusals(),
              std::vector<std::string>{"The side file " + named.string() +
                                       " was not written: it is a file being read."});
    // Another file of the same selection carries it: read after this one, it must survive.
    CGantrelSurvey t;
    {
        const std::vector<fs::path> inputs{dir_ / "a.sto", named};
        const CSideFileGuard guard(inputs);
        ReadSurveyFile(t, Write("a.sto", kLoggerLine));
    }
    EXPECT_EQ(Slurp(named), kLoggerLine);
    EXPECT_EQ(TakeSideFileRefusals().size(), 1u);
    // Without a clash the echo is written as ever.
    fs::remove(named);
    ReadSurveyFile(t, dir_ / "a.sto");
    EXPECT_EQ(Slurp(named).rfind("$GPRMC,", 0), 0u);
    EXPECT_TRUE(TakeSideFileRefusals().empty());
}

TEST_F(SurveyFileTest, LeftOutTextCountsEveryKind) {
    const std::string text = std::string(kLoggerLine) +
                             "30 6 1 0 2 0 3 0 4 0 5 0 6 0 12:00:05.00 06/15/09\n"
                             "3 x 0.00 12:00:06.00 06/15/09 0 3 3 5\n";
    CGantrelSurvey s;
    const SurveyFileStatus st = ReadSurveyFile(s, Write("a.sto", text));
    EXPECT_TRUE(st.LeftOut());
    EXPECT_EQ(st.OverCapacity(), 0);
    EXPECT_EQ(SurveyFileLeftOutText(st),
              (dir_ / "a.sto").string() +
                  ": 2 record(s) left out (1 reading with a receiver count outside 1 to 5, 1 "
                  "marker with an unreadable position, time or date), the first at line 9");
    CGantrelSurvey clean;
    EXPECT_EQ(SurveyFileLeftOutText(ReadSurveyFile(clean, Write("b.sto", kLoggerLine))), "");
}

TEST_F(SurveyFileTest, FixFromAMappingFileSurvivesASurveyFileSave) {
    CGantrelSurvey s, back;
    ReadSurveyFile(s, Write("a.sto", kLoggerLine));
    CGPSData& g = s.Line(0).pGPS[0];
    const double lat = g.dLatitude, lon = g.dLongitude;
    g.sSentence.clear();
    ReadSurveyFile(back, SaveSurvey(s, "gps.sto", 1));
    ASSERT_EQ(back.Line(0).nGPS(), 1);
    EXPECT_NEAR(back.Line(0).pGPS[0].dLatitude, lat, 1e-8);
    EXPECT_NEAR(back.Line(0).pGPS[0].dLongitude, lon, 1e-8);
    EXPECT_EQ(back.Line(0).pGPS[0].time, g.time);
}

// ---------------------------------------------------------------------------------------------
// Mapping files

TEST_F(SurveyFileTest, MappingFileStartsWithHeaderThenTheLastReading) {
    CGantrelSurvey s;
    ReadSurveyFile(s, Write("a.sto", std::string(kLoggerLine) + kLoggerLine));
    ASSERT_TRUE(WriteMappingFile(s, dir_ / "a.stn"));
    const std::string text = Slurp(dir_ / "a.stn");
    EXPECT_EQ(text.substr(0, text.find("\r\n", 10) + 2),
              "99 1 1 1\r\n" +
                  FormatReadingRecord(s.Line(1).pData.back(), ReadingForm::ZeroStatus, false) +
                  "\r\n");
    EXPECT_NE(text.find("          6           1           1   4\r\n"), std::string::npos);
    EXPECT_EQ(s.Line(1).pMarker[0].dX, 10.0);
    EXPECT_EQ(s.Line(1).pMarker[0].iRecordType, 4);
}

TEST_F(SurveyFileTest, MappingFileWithFixesReadsBackLinesAndGeometry) {
    std::string second = kLoggerLine;
    second.replace(second.find("7.500"), 5, "5.000");
    for (char& c : second)  // the second line an hour later
        if (&c != second.data() && c == '2' && *(&c - 1) == '1' && *(&c + 1) == ':') c = '3';
    CGantrelSurvey s, back;
    CScriptedPrompter prompter;
    ReadSurveyFile(s, Write("a.sto", std::string(kLoggerLine) + second));
    ASSERT_TRUE(WriteMappingFile(s, dir_ / "a.stn"));
    ASSERT_EQ(ReadMappingFile(back, dir_ / "a.stn", prompter), 2);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"Number of data (resistivity, marker and GPS) = 11"});
    for (int l = 0; l < 2; ++l) {
        ASSERT_EQ(back.Line(l).nData(), s.Line(l).nData());
        for (int i = 0; i < s.Line(l).nData(); ++i)
            ExpectSameReading(s.Line(l).pData[i], back.Line(l).pData[i], false);
        EXPECT_EQ(back.Line(l).nGPS(), 1);
        EXPECT_NEAR(back.Line(l).pGPS[0].dNorthing, s.Line(l).pGPS[0].dNorthing, 1e-4);
        EXPECT_EQ(back.Line(l).pGeometry->fOffset, s.Line(l).pGeometry->fOffset);
    }
}

TEST_F(SurveyFileTest, MappingFixOffTheGlobeIsLeftOutAndCounted) {
    CGantrelSurvey s;
    ReadSurveyFile(s, Write("a.sto", kLoggerLine));
    ASSERT_TRUE(WriteMappingFile(s, dir_ / "a.stn"));
    const std::string text = Slurp(dir_ / "a.stn");
    const CGPSData& fix = s.Line(0).pGPS[0];
    const std::string latitude = FormatC(" %.10f ", fix.dLatitude);
    const std::string longitude = FormatC(" %.10f ", fix.dLongitude);
    ASSERT_NE(text.find(latitude), std::string::npos);
    for (const auto& [from, to] : {std::pair{latitude, std::string(" 500.0 ")},
                                   std::pair{longitude, std::string(" -180.5 ")}}) {
        std::string bad = text;
        bad.replace(bad.find(from), from.size(), to);
        CGantrelSurvey back;
        const SurveyFileStatus st = ReadMappingFile(back, Write("bad.stn", bad));
        ASSERT_EQ(st.nLine, 1) << to;
        EXPECT_EQ(back.Line(0).nGPS(), 0) << to;
        EXPECT_EQ(st.nBad, 1) << to;
        EXPECT_EQ(st.eFirstBad, RecordProblem::BadGPS) << to;
        EXPECT_EQ(back.Line(0).nData(), s.Line(0).nData()) << "the readings stay";
    }
}

TEST_F(SurveyFileTest, MappingFileWithoutFixesKeepsMarkers) {
    std::string text = kLoggerLine;
    text.erase(text.find("21 $"), text.find('\n', text.find("21 $")) - text.find("21 $") + 1);
    CGantrelSurvey s, back;
    ReadSurveyFile(s, Write("a.sto", text + text));
    ASSERT_TRUE(WriteMappingFile(s, dir_ / "a.stn"));
    EXPECT_EQ(Slurp(dir_ / "a.stn").substr(0, 10), "99 0 0 1\r\n");
    ASSERT_EQ(ReadMappingFile(back, dir_ / "a.stn").nLine, 2);
    for (int l = 0; l < 2; ++l) {
        ASSERT_EQ(back.Line(l).nMarker(), 3);
        EXPECT_EQ(back.Line(l).pMarker[1].dY, 10.0);
        EXPECT_EQ(back.Line(l).pMarker[1].dX, 10.0 * l);
        EXPECT_EQ(back.Line(l).pMarker[0].nData, 2);
        ASSERT_EQ(back.Line(l).nData(), 3);
        ExpectSameReading(s.Line(l).pData[2], back.Line(l).pData[2], false);
    }
}

TEST_F(SurveyFileTest, MappingOlderFormsAndRawVariant) {
    const std::vector<std::string> records = {
        "99 0 0 1",
        "3 0.00 20.00 12:00:09.00 06/15/09 0 0 1 4",
        "33  GOHM 7.5 5.0 0.0 5.0 12:00:00.00 06/15/09",
        "0 12.5 0 12:00:02.00 06/15/09",
        "0 12.5 3.25 12:00:01.00 06/15/09",
        "6 0.00 0.00 12:00:00.00 06/15/09 0 0 0 4",
    };
    CGantrelSurvey s;
    ASSERT_EQ(ReadMappingRecords(s, records, 0).nLine, 1);
    ASSERT_EQ(s.Line(0).nData(), 2);
    EXPECT_EQ(s.Line(0).pData[0].nReceiver, 2);
    EXPECT_EQ(s.Line(0).pData[1].nReceiver, 1);
    EXPECT_FLOAT_EQ(s.Line(0).pGeometry->fTransmitterDipole, 5.0f);

    const std::vector<std::string> raw = {
        "3 0.00 20.00 12:00:09.00 06/15/09 0 0 1 4\r\n",
        "21 12.5,55,80,55,8.1,50,55 12:00:02.00 06/15/09\r\n",
        "21 $GPGGA,1 12:00:01.00 06/15/09\r\n",
        "21 12.5,55,80,55 12:00:01.00 06/15/09\r\n",
        "6 0.00 0.00 12:00:00.00 06/15/09 0 0 0 4\r\n",
    };
    CGantrelSurvey r;
    const SurveyFileStatus st = ReadRawMappingRecords(r, raw);
    ASSERT_EQ(st.nLine, 1);
    EXPECT_EQ(st.nBad, 0);
    ASSERT_EQ(r.Line(0).nData(), 2);
    EXPECT_EQ(r.Line(0).pData[1].nReceiver, 2);
    EXPECT_GT(r.Line(0).pData[1].fResistivity[1], 0.0f);
}

TEST_F(SurveyFileTest, MappingFileOverOneHundredThousandLinesIsCutAndReported) {
    // Read from the last line up, so the marker that starts the line is line 100,000.
    std::string text = "99 0 0 1\n";
    for (int i = 2; i < kMaxMappingFileLines; ++i) text += "ERROR\n";
    text += "6 0 0 12:00:00.00 06/15/09 0 0 0 4\n";
    for (int i = 0; i < 5; ++i) text += "30 1 1.0 0 12:00:01.00 06/15/09\n";
    CGantrelSurvey s;
    CScriptedPrompter prompter;
    const fs::path path = Write("big.stn", text);
    ReadMappingFile(s, path, prompter);
    ASSERT_EQ(prompter.Messages().size(), 2u);
    EXPECT_EQ(
        prompter.Messages()[1],
        path.string() + ": only the first 100000 lines were read; 5 more lines were left out.");
}

TEST_F(SurveyFileTest, NearestReadingAgreesWithTheLinearSearch) {
    std::mt19937 rng(7);
    CGantrelSurvey s;
    CGantrelLine& line = *s.AddLine();
    for (int i = 0; i < 300; ++i) line.AddData()->time = 1245000000 + static_cast<int>(rng() % 200);
    for (int i = 0; i < 200; ++i)
        line.AddGPS()->time = 1245000000 - 20 + static_cast<int>(rng() % 240);
    line.AddMarker()->time = 1;  // beyond the bound: tied to reading 0
    line.AddMarker()->time = 1245000100;
    CompleteLines(s);
    for (const auto& g : line.pGPS) EXPECT_EQ(g.iDataIndex, line.NearestReading(g.time));
    EXPECT_EQ(line.pMarker[0].iDataIndex, 0);
}
