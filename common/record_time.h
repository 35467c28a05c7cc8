// Time and date fields of the survey text files. Times are local time: the record's `time`
// is calendar seconds built from the local date and time (the platform decides daylight
// saving), `iMilliSecond` the sub-second part.
//
// Both directions keep a small per-thread cache of the calendar conversion for one local
// hour, used only when no clock change lies within an hour of it; a file of a million
// records then costs a few mktime/localtime calls instead of a million.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct RecordClock {
    int iYear = 0;  // full year (two-digit file year + 2000)
    int iMonth = 0, iDay = 0;
    int iHour = 0, iMinute = 0, iSecond = 0;
    int iMilliSecond = 0;
};

// Parses the time token ("hh:mm:ss.ss", by character position: hour at 0-1, minute at 3-4,
// up to five characters of seconds from 6) and the date token ("mm/dd/yy": month at 0-1
// clamped to 1..12, day at 3-4 clamped to 1..31, year at 6-7 plus 2000) into calendar time
// and milliseconds. Milliseconds are the fractional seconds to the nearest millisecond
// (56.78 gives 780, 12.34 gives 340), so that the hundredths written back are the ones read.
// False when the tokens are too short, a field is not a number,
// hour/minute/second are out of range or the local time cannot be formed; time and ms are
// then left unchanged.
bool ParseRecordTime(std::string_view timeToken, std::string_view dateToken, std::int64_t& time,
                     int& iMilliSecond);

// Local calendar time of a broken-down local clock (tm_isdst left to the platform); false
// when the platform cannot form it. Seconds may be 0..60, other fields in their usual ranges
// (day beyond the month's end rolls over as mktime does).
bool LocalCalendarTime(int iYear, int iMonth, int iDay, int iHour, int iMinute, int iSecond,
                       std::int64_t& time);

// Breaks calendar time down in the local time zone; false when that fails.
bool LocalClock(std::int64_t time, int iMilliSecond, RecordClock& clock);

// The time field " %.2d:%.2d:%.2d.%.2d" (hundredths = ms / 10) followed by the date field
// " %.2d/%.2d/%.2d", as the writers put them after a record's values. When the time cannot be
// broken down, hour, minute and second are written as -1, month and day as 0 and the year as
// -2000.
std::string FormatRecordTimeDate(std::int64_t time, int iMilliSecond);
// The same appended to out (no allocation once out has room; used by the bulk writers).
void AppendRecordTimeDate(std::string& out, std::int64_t time, int iMilliSecond);

// While one exists on a thread, the conversions above take the time zone as it was when the
// first was made (one look at the environment per batch instead of one per record). The
// survey file readers and writers hold one for a whole file.
class CRecordTimeBatch {
public:
    CRecordTimeBatch();
    ~CRecordTimeBatch();
    CRecordTimeBatch(const CRecordTimeBatch&) = delete;
    CRecordTimeBatch& operator=(const CRecordTimeBatch&) = delete;
};
