#include "common/nmea.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>

#include "common/text_format.h"
#include "tests/support/gga_sentences.h"

namespace fs = std::filesystem;

namespace {
// 15 June 2009 09:08:07 local time, whatever zone the tests run in.
std::int64_t June15() {
    std::tm clock{};
    clock.tm_year = 2009 - 1900;
    clock.tm_mon = 5;
    clock.tm_mday = 15;
    clock.tm_hour = 9;
    clock.tm_min = 8;
    clock.tm_sec = 7;
    clock.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&clock));
}

const char* kNorthEast =
    "21 $GPGGA,000807.00,3514.1234,N,13945.6789,E,1,08,1.0,35.2,M,39.0,M,,*47 09:08:07.50 "
    "06/15/09";
const char* kSouthWest =
    "21 $GPGGA,000807.00,3514.1234,S,13945.6789,W,1,08,1.0,35.2,M,39.0,M,,*47 09:08:07.50 "
    "06/15/09";

// Builds of several folders may run the same test at once: every process gets its own names.
fs::path PrivateTempPath(const std::string& name) {
    static const std::string tag = std::to_string(std::random_device{}());
    return fs::temp_directory_path() / ("gantrel_nmea_" + tag + "_" + name);
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sends the decoder's failure log to a private folder and restores the default afterwards.
class DecodeGGATest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = PrivateTempPath(::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        SetDecodeFailureLog(Log());
    }
    void TearDown() override {
        SetDecodeFailureLog("DecodeGPSInBrivane.txt");
        fs::remove_all(dir_);
    }
    fs::path Log() const { return dir_ / "DecodeGPSInBrivane.txt"; }

    fs::path dir_;
};
}  // namespace

TEST_F(DecodeGGATest, NorthEastSentence) {
    CGPSData gps;
    EXPECT_EQ(DecodeGGA(gps, kNorthEast), 54);
    EXPECT_EQ(gps.sSentence,
              "$GPGGA,000807.00,3514.1234,N,13945.6789,E,1,08,1.0,35.2,M,39.0,M,,*47");
    EXPECT_EQ(gps.iLatitudeDegree, 35);
    EXPECT_DOUBLE_EQ(gps.dLatitudeMinute, 14.1234);
    EXPECT_EQ(gps.sNorthSouth, "N");
    EXPECT_NEAR(gps.dLatitude, 35.235390, 1e-12);
    EXPECT_EQ(gps.iLongitudeDegree, 139);
    EXPECT_DOUBLE_EQ(gps.dLongitudeMinute, 45.6789);
    EXPECT_EQ(gps.sEastWest, "E");
    EXPECT_NEAR(gps.dLongitude, 139.761315, 1e-12);
    EXPECT_DOUBLE_EQ(gps.dAltitude, 35.2);
    // Time of reception from the record, not the sentence's UTC time.
    EXPECT_EQ(gps.time, June15());
    EXPECT_EQ(gps.iMilliSecond, 500);
    EXPECT_EQ(gps.iUTMZone, 54);
    EXPECT_NEAR(gps.dEasting, 387289.63, 0.01);
    EXPECT_NEAR(gps.dNorthing, 3899850.40, 0.01);
    EXPECT_FALSE(fs::exists(Log()));
}

TEST_F(DecodeGGATest, SouthWestSentenceIsNegative) {
    CGPSData gps;
    EXPECT_EQ(DecodeGGA(gps, kSouthWest), 7);
    EXPECT_EQ(gps.sNorthSouth, "S");
    EXPECT_EQ(gps.sEastWest, "W");
    EXPECT_NEAR(gps.dLatitude, -35.235390, 1e-12);
    EXPECT_NEAR(gps.dLongitude, -139.761315, 1e-12);
    EXPECT_EQ(gps.iLatitudeDegree, 35);  // parts stay unsigned
    EXPECT_EQ(gps.iLongitudeDegree, 139);
}

TEST_F(DecodeGGATest, LowerCaseHemispheresAndGNTalker) {
    CGPSData gps;
    EXPECT_EQ(DecodeGGA(gps, "21 $GNGGA,0,3514.1234,s,13945.6789,w,0,,,7 09:08:07.50 06/15/09"), 7);
    EXPECT_LT(gps.dLatitude, 0.0);
    EXPECT_LT(gps.dLongitude, 0.0);
    EXPECT_DOUBLE_EQ(gps.dAltitude, 7.0);  // fix quality 0 is not checked
}

TEST_F(DecodeGGATest, EmptyPositionReturnsZeroWithoutLog) {
    CGPSData gps;
    EXPECT_EQ(DecodeGGA(gps, "21 $GPGGA,000807.00,,,,,0,00,,,M,,M,,*66 09:08:07.50 06/15/09"), 0);
    EXPECT_EQ(DecodeGGA(gps, "21 $GPGGA,000807.00,3514.1234,N,,E 09:08:07.50 06/15/09"), 0);
    EXPECT_EQ(DecodeGGA(gps, "21 $GPGGA,000807.00,3514.1234 09:08:07.50 06/15/09"), 0);
    EXPECT_FALSE(fs::exists(Log()));
}

// The processing program takes from each stored "21" record what the logging program took from
// the line it received: the same decoder, the same table.
TEST_F(DecodeGGATest, StoredRecordsGiveThePositionsOfTheSharedTable) {
    for (const gga_table::Case& c : gga_table::kCases) {
        SCOPED_TRACE(c.line);
        CGPSData gps;
        const int iZone = DecodeGGA(gps, std::string("21 ") + c.line + " 09:08:07.50 06/15/09");
        ASSERT_EQ(iZone != 0, c.bFix);
        if (!c.bFix) continue;
        EXPECT_EQ(iZone, gps.iUTMZone);
        EXPECT_NEAR(gps.dLatitude, c.dLatitude, 1e-9);
        EXPECT_NEAR(gps.dLongitude, c.dLongitude, 1e-9);
        EXPECT_EQ(gps.time, June15()) << "the time follows whatever came after the checksum";
    }
}

TEST_F(DecodeGGATest, FailuresAppendTheFieldAtFaultToTheLog) {
    CGPSData gps;
    EXPECT_EQ(DecodeGGA(gps, "21 $GPGGA,0,3514.12a4,N,13945.6789,E 09:08:07.50 06/15/09"), 0);
    EXPECT_EQ(DecodeGGA(gps, "21 $GPGGA,0,3514.1234,N,1-945.6789,E 09:08:07.50 06/15/09"), 0);
    EXPECT_EQ(DecodeGGA(gps, "21 $GPGGA,0,3514.1234,N,18000.0,E 09:08:07.50 06/15/09"), 0);
    EXPECT_EQ(ReadBytes(Log()),
              "String error\r\n3514.12a4\r\nString error\r\n1-945.6789\r\n"
              "Position error\r\n18000.0\r\n");
}

TEST_F(DecodeGGATest, MissingOrUnreadableAltitudeIsZero) {
    for (const char* tail : {"1,08,1.0", "1,08,1.0,1e999", "1,08,1.0,high"}) {
        CGPSData gps;
        gps.dAltitude = 99.0;
        EXPECT_EQ(DecodeGGA(gps, std::string("21 $GPGGA,0,3514.1234,N,13945.6789,E,") + tail +
                                     " 09:08:07.50 06/15/09"),
                  54);
        EXPECT_EQ(gps.dAltitude, 0.0) << tail;
    }
}

TEST_F(DecodeGGATest, SentenceWithoutTagIsDecoded) {
    CGPSData gps;
    EXPECT_EQ(
        DecodeGGA(gps, "$GPGGA,0,3514.1234,N,13945.6789,E,1,08,1.0,35.2 09:08:07.50 06/15/09"), 54);
    EXPECT_EQ(gps.time, June15());
    EXPECT_EQ(gps.sSentence, "$GPGGA,0,3514.1234,N,13945.6789,E,1,08,1.0,35.2");
}

TEST_F(DecodeGGATest, MissingTimeIsLoggedAndRejected) {
    CGPSData gps;
    EXPECT_EQ(DecodeGGA(gps, "21 $GPGGA,0,3514.1234,N,13945.6789,E,1,08,1.0,35.2"), 0);
    EXPECT_EQ(ReadBytes(Log()),
              "Time error\r\n21 $GPGGA,0,3514.1234,N,13945.6789,E,1,08,1.0,35.2\r\n");
}

TEST_F(DecodeGGATest, HostileBytesNeverCrash) {
    CGPSData gps;
    EXPECT_EQ(DecodeGGA(gps, ""), 0);
    EXPECT_EQ(DecodeGGA(gps, "21"), 0);
    EXPECT_EQ(DecodeGGA(gps, "21 ,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,"), 0);
    EXPECT_EQ(DecodeGGA(gps, "21 $GPGGA,0,3,N,1,E 09:08:07.50 06/15/09"), 0);  // no minutes

    // A NUL byte inside the latitude is not a digit.
    std::string withNul = "21 $GPGGA,0,35#4.1,N,13945.6789,E 09:08:07.50 06/15/09";
    withNul[withNul.find('#')] = '\0';
    EXPECT_EQ(DecodeGGA(gps, withNul), 0);

    // An overlong longitude field is cut at 255 characters before it is read.
    const std::string longField = "21 $GPGGA,0,3514.1234,N,139" + std::string(1000, '4') +
                                  ",E,1,08,1.0,1e999 09:08:07.50 06/15/09";
    EXPECT_EQ(DecodeGGA(gps, longField), 0);  // an absurd longitude gets no zone
}

// Random records over the bytes that matter to the decoder: whatever comes, an accepted fix
// has a real latitude and the zone it returns.
TEST_F(DecodeGGATest, RandomRecordsGiveConsistentResults) {
    const char alphabet[] = "0123456789.,,,,NSEWsw$ -e\0";
    std::mt19937 random(12345);
    std::uniform_int_distribution<size_t> pick(0, sizeof alphabet - 2);
    std::uniform_int_distribution<size_t> length(0, 120);
    for (int i = 0; i < 3000; ++i) {
        std::string sentence = "$GPGGA,";
        for (size_t n = length(random); n > 0; --n) sentence += alphabet[pick(random)];
        CGPSData gps;
        const int iZone = DecodeGGA(gps, "21 " + sentence + " 09:08:07.50 06/15/09");
        if (iZone != 0) {
            EXPECT_EQ(iZone, gps.iUTMZone);
            EXPECT_LE(std::fabs(gps.dLatitude), 90.0);
        }
    }
}

TEST(WriteRMC, EchoesFixInLocalTime) {
    const fs::path path = PrivateTempPath("rmc.nmea");
    CGPSData gps;
    gps.iLatitudeDegree = 35;
    gps.dLatitudeMinute = 14.1234;
    gps.sNorthSouth = "N";
    gps.iLongitudeDegree = 139;
    gps.dLongitudeMinute = 45.6789;
    gps.sEastWest = "E";
    gps.time = June15();
    gps.iMilliSecond = 65;
    {
        CTextWriter out;
        ASSERT_TRUE(out.Open(path));
        WriteRMC(gps, &out);
        gps.time = std::numeric_limits<std::int64_t>::max();  // no local time for this
        WriteRMC(gps, &out);
        WriteRMC(gps, nullptr);
    }
    EXPECT_EQ(ReadBytes(path),
              "$GPRMC,090807.065,A,3514.12340,N,13945.67890,E,  0.0,  0.0,150609,0.0,W*60\r\n"
              "$GPRMC,-1-1-1.065,A,3514.12340,N,13945.67890,E,  0.0,  0.0,0000-2000,0.0,W*60\r\n");
    fs::remove(path);
}

TEST(ParseMappingGPS, ReadsPositionAndReportsLineChange) {
    const char* record =
        "3  139.7613150000 35.2353900000 09:08:07.50 06/15/09          2           4           1   "
        "4";
    CGPSData gps;
    gps.dAltitude = 12.0;
    EXPECT_EQ(ParseMappingGPS(gps, record, 4), 0);
    EXPECT_DOUBLE_EQ(gps.dLongitude, 139.761315);
    EXPECT_DOUBLE_EQ(gps.dLatitude, 35.23539);
    EXPECT_EQ(gps.dAltitude, 0.0);
    EXPECT_EQ(gps.time, June15());
    EXPECT_EQ(gps.iUTMZone, 54);
    EXPECT_NEAR(gps.dEasting, 387289.63, 0.01);
    EXPECT_TRUE(gps.sSentence.empty());
    EXPECT_TRUE(gps.sNorthSouth.empty());
    EXPECT_EQ(ParseMappingGPS(gps, record, 3), 1);
}

TEST(ParseMappingGPS, PositionOffTheGlobeLeavesNoZone) {
    const char* kRecords[] = {"3  139.7 500.0 09:08:07.50 06/15/09 2 4 1 4",
                              "3  139.7 -90.01 09:08:07.50 06/15/09 2 4 1 4",
                              "3  180.5 35.2 09:08:07.50 06/15/09 2 4 1 4",
                              "3  -999 35.2 09:08:07.50 06/15/09 2 4 1 4",
                              "3  nan 35.2 09:08:07.50 06/15/09 2 4 1 4"};
    for (const char* record : kRecords) {
        CGPSData gps;
        gps.iUTMZone = 54;
        ParseMappingGPS(gps, record, 4);
        EXPECT_EQ(gps.iUTMZone, 0) << record;
    }
    CGPSData edge;
    ParseMappingGPS(edge, "3  -180 -90 09:08:07.50 06/15/09 2 4 1 4", 4);
    EXPECT_EQ(edge.dLatitude, -90.0) << "the poles and the date line are places";
}

TEST(ParseMappingGPS, UnreadableRecordLeavesNoZone) {
    CGPSData gps;
    EXPECT_EQ(ParseMappingGPS(gps, "3  139.7 35.2 xx 06/15/09 2 4 1 4", 4), 0);
    EXPECT_EQ(gps.iUTMZone, 0);
    EXPECT_EQ(ParseMappingGPS(gps, "3", 4), 0);
    EXPECT_EQ(gps.iUTMZone, 0);
}
