// Time and date fields of the survey text files. Times are local time: the record's `time`
// is calendar seconds built from the local date and time (the platform decides daylight
// saving), `iMilliSecond` the sub-second part.
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

// Parses the time token (" hh:mm:ss.ss", by character position) and the date token
// ("mm/dd/yy") into calendar time and milliseconds. False when the tokens are too short or
// do not give a valid calendar time; time and ms are then left unchanged.
bool ParseRecordTime(std::string_view timeToken, std::string_view dateToken, std::int64_t& time,
                     int& iMilliSecond);

// Breaks calendar time down in the local time zone; false when that fails.
bool LocalClock(std::int64_t time, int iMilliSecond, RecordClock& clock);

// The time field " %.2d:%.2d:%.2d.%.2d" (hundredths = ms / 10) followed by the date field, as
// the writers put them after a record's values. When the time cannot be broken down, hour,
// minute and second are written as -1, month and day as 0 and the year as -2000.
std::string FormatRecordTimeDate(std::int64_t time, int iMilliSecond);
