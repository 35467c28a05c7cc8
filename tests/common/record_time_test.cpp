#include "common/record_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// Switches the process's time zone for one test and restores the one ctest pinned.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

// Splits " hh:mm:ss.hh mm/dd/yy" into its two tokens and parses them back.
bool RoundTrip(std::int64_t t, std::int64_t& back) {
    const std::string s = FormatRecordTimeDate(t, 0);
    int ms = 0;
    return ParseRecordTime(std::string_view(s).substr(1, 11), std::string_view(s).substr(13, 8),
                           back, ms);
}

// 2009-06-15 12:34:56 in Tokyo (UTC+9, no daylight saving).
constexpr std::int64_t kTokyoNoon = 1245036896;

}  // namespace

TEST(RecordTime, ParsesTimeAndDateAsLocalTime) {
    ScopedTimeZone tz("Asia/Tokyo");
    std::int64_t t = 0;
    int ms = 0;
    ASSERT_TRUE(ParseRecordTime("12:34:56.78", "06/15/09", t, ms));
    EXPECT_EQ(t, kTokyoNoon);
    EXPECT_EQ(ms, 780);  // to the nearest millisecond, not truncated from 56.779999
    ASSERT_TRUE(ParseRecordTime("12:34:12.34", "06/15/09", t, ms));
    EXPECT_EQ(ms, 340);
    ASSERT_TRUE(ParseRecordTime("12:34:12.999", "06/15/09", t, ms));  // five characters: 12.99
    EXPECT_EQ(ms, 990);
    ASSERT_TRUE(ParseRecordTime("12:34:5.999", "06/15/09", t, ms));
    EXPECT_EQ(ms, 999);
    ASSERT_TRUE(ParseRecordTime("12:34:56", "06/15/09", t, ms));
    EXPECT_EQ(t, kTokyoNoon);
    EXPECT_EQ(ms, 0);
}

TEST(RecordTime, ClampsMonthAndDay) {
    ScopedTimeZone tz("Asia/Tokyo");
    std::int64_t t = 0;
    int ms = 0;
    RecordClock k;
    ASSERT_TRUE(ParseRecordTime("00:00:00.00", "13/00/09", t, ms));
    ASSERT_TRUE(LocalClock(t, ms, k));
    EXPECT_EQ(k.iYear, 2009);
    EXPECT_EQ(k.iMonth, 12);
    EXPECT_EQ(k.iDay, 1);
    ASSERT_TRUE(ParseRecordTime("00:00:00.00", "00/32/10", t, ms));
    ASSERT_TRUE(LocalClock(t, ms, k));
    EXPECT_EQ(k.iYear, 2010);
    EXPECT_EQ(k.iMonth, 1);
    EXPECT_EQ(k.iDay, 31);
}

TEST(RecordTime, RejectsMalformedTokensAndKeepsTheOldValue) {
    const char* badTimes[] = {
        "",          "12:34",      "12:3a:56.78", "1:23:45.00",  "24:00:00.00", "12:60:00",
        "12:34:nan", "12:34:-1.0", "12:34:60.00", "12:34:5x.00", "ab:cd:ef.gh"};
    for (const char* bad : badTimes) {
        std::int64_t t = 42;
        int ms = 7;
        EXPECT_FALSE(ParseRecordTime(bad, "06/15/09", t, ms)) << bad;
        EXPECT_EQ(t, 42) << bad;
        EXPECT_EQ(ms, 7) << bad;
    }
    const char* badDates[] = {"", "6/15/09", "06/15/9", "06/15/xx", "06-15-0"};
    for (const char* bad : badDates) {
        std::int64_t t = 42;
        int ms = 7;
        EXPECT_FALSE(ParseRecordTime("12:34:56.78", bad, t, ms)) << bad;
        EXPECT_EQ(t, 42) << bad;
    }
}

TEST(RecordTime, FormatsHundredthsByIntegerDivision) {
    ScopedTimeZone tz("Asia/Tokyo");
    EXPECT_EQ(FormatRecordTimeDate(kTokyoNoon, 779), " 12:34:56.77 06/15/09");
    EXPECT_EQ(FormatRecordTimeDate(kTokyoNoon - 3 * 3600 - 26 * 60 - 49, 65),
              " 09:08:07.06 06/15/09");
}

TEST(RecordTime, FormatsAnUnrepresentableTimeAsMinusOnes) {
    EXPECT_EQ(FormatRecordTimeDate(INT64_C(9000000000000000000), 0), " -01:-01:-01.00 00/00/-2000");
}

TEST(RecordTime, CachedHoursAgreeWithThePlatformAcrossSpringForward) {
    ScopedTimeZone tz("America/New_York");
    // 2021-03-14: clocks jump from 02:00 EST to 03:00 EDT at 07:00 UTC.
    const std::int64_t from = 1615698000;  // 05:00 UTC
    for (std::int64_t t = from; t < from + 4 * 3600; t += 7) {
        std::int64_t back = 0;
        ASSERT_TRUE(RoundTrip(t, back)) << t;
        ASSERT_EQ(back, t) << FormatRecordTimeDate(t, 0);
    }
    std::int64_t before = 0, after = 0;
    int ms = 0;
    ASSERT_TRUE(ParseRecordTime("01:59:59.00", "03/14/21", before, ms));
    ASSERT_TRUE(ParseRecordTime("03:00:00.00", "03/14/21", after, ms));
    EXPECT_EQ(after - before, 1);
}

TEST(RecordTime, CachedHoursAgreeWithThePlatformAroundFallBack) {
    ScopedTimeZone tz("America/New_York");
    // 2021-11-07: 01:00-02:00 local happens twice (05:00-07:00 UTC).
    const std::int64_t repeatedFrom = 1636261200, repeatedTo = 1636268400;
    for (std::int64_t t = repeatedFrom - 3 * 3600; t < repeatedTo + 3 * 3600; t += 11) {
        std::int64_t back = 0;
        ASSERT_TRUE(RoundTrip(t, back)) << t;
        if (t >= repeatedFrom && t < repeatedTo) {
            // Either reading of the repeated hour; never something else.
            EXPECT_TRUE(back == t || back == t - 3600 || back == t + 3600) << t;
        } else {
            ASSERT_EQ(back, t) << FormatRecordTimeDate(t, 0);
        }
    }
}

TEST(RecordTime, CacheFollowsAChangeOfTimeZone) {
    std::int64_t tokyo = 0, utc = 0;
    int ms = 0;
    {
        ScopedTimeZone tz("Asia/Tokyo");
        ASSERT_TRUE(ParseRecordTime("12:34:56.00", "06/15/09", tokyo, ms));
        EXPECT_EQ(FormatRecordTimeDate(tokyo, 0), " 12:34:56.00 06/15/09");
    }
    {
        ScopedTimeZone tz("UTC");
        ASSERT_TRUE(ParseRecordTime("12:34:56.00", "06/15/09", utc, ms));
        EXPECT_EQ(FormatRecordTimeDate(tokyo, 0), " 03:34:56.00 06/15/09");
    }
    EXPECT_EQ(utc - tokyo, 9 * 3600);
}

TEST(RecordTime, BatchLooksAtTheZoneWhenItStarts) {
    std::int64_t tokyo = 0, utc = 0;
    int ms = 0;
    {
        ScopedTimeZone tz("Asia/Tokyo");
        ASSERT_TRUE(ParseRecordTime("12:34:56.00", "06/15/09", tokyo, ms));
    }
    ScopedTimeZone tz("UTC");
    CRecordTimeBatch batch;
    ASSERT_TRUE(ParseRecordTime("12:34:56.00", "06/15/09", utc, ms));
    EXPECT_EQ(utc - tokyo, 9 * 3600);
}

TEST(RecordTime, TimeZeroWrittenWithASignedYearReadsBack) {
    ScopedTimeZone tz("Asia/Tokyo");
    const std::string written = FormatRecordTimeDate(0, 0);
    EXPECT_EQ(written, " 09:00:00.00 01/01/-30");
    std::int64_t t = 42;
    int ms = 7;
    ASSERT_TRUE(ParseRecordTime("09:00:00.00", "01/01/-30", t, ms))
        << "a geometry record with this date must not be dropped with its line";
    RecordClock clock;
    ASSERT_TRUE(LocalClock(t, ms, clock));
    EXPECT_EQ(clock.iYear, 1997);
}

TEST(RecordTime, HalfHourShiftIsNotCachedAcross) {
    // Lord Howe Island moves its clocks by 30 minutes, at 02:00 local on 2021-10-03.
    ScopedTimeZone tz("Australia/Lord_Howe");
    const std::int64_t from = 1633188600 - 2 * 3600;
    for (std::int64_t t = from; t < from + 5 * 3600; t += 13) {
        std::int64_t back = 0;
        ASSERT_TRUE(RoundTrip(t, back)) << t;
        ASSERT_EQ(back, t) << FormatRecordTimeDate(t, 0);
    }
}
