#include "common/record_time.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "common/text_format.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Platform seam: the only place that knows how the C library spells the local-time calls.

bool BreakDownLocal(std::time_t t, std::tm& out) {
#if defined(_WIN32)
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

void ReloadTimeZone() {
#if defined(_WIN32)
    _tzset();
#else
    tzset();
#endif
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Local clock minus UTC at calendar time t, in seconds; false when t cannot be broken down.
bool LocalOffset(std::int64_t t, std::int64_t& offset) {
    std::tm tm{};
    if (!BreakDownLocal(static_cast<std::time_t>(t), tm)) return false;
    const std::int64_t local =
        DaysFromCivil(tm.tm_year + 1900LL, tm.tm_mon + 1, tm.tm_mday) * 86400 +
        tm.tm_hour * 3600LL + tm.tm_min * 60LL + tm.tm_sec;
    offset = local - t;
    return true;
}

// True when the local clock runs at one fixed offset from UTC over [from, to].
bool SteadyOffset(std::int64_t from, std::int64_t to) {
    std::int64_t a = 0, b = 0, c = 0;
    if (!LocalOffset(from, a) || !LocalOffset(to, b)) return false;
    if (a != b) return false;
    return LocalOffset(from + (to - from) / 2, c) && c == a;
}

thread_local int tBatchDepth = 0;

// The caches are invalid once the process's TZ changes.
struct TimeZoneStamp {
    bool bKnown = false;
    bool bSet = false;
    std::string sValue;

    // True when TZ is what it was at the last call (reloads the zone when it is not).
    bool Unchanged() {
        if (bKnown && tBatchDepth > 0) return true;
        const char* tz = std::getenv("TZ");
        const bool set = tz != nullptr;
        if (bKnown && set == bSet && (!set || sValue == tz)) return true;
        bKnown = true;
        bSet = set;
        sValue = set ? tz : "";
        ReloadTimeZone();
        return false;
    }
};

// mktime of one local hour, reused for the other seconds of that hour when no clock change
// lies within an hour either side (so the hour is neither skipped nor repeated).
struct HourToCalendarCache {
    TimeZoneStamp zone;
    bool bValid = false;
    int iYear = 0, iMonth = 0, iDay = 0, iHour = 0;
    std::int64_t base = 0;
};

// Local breakdown of one hour of calendar time, reused while t stays in it.
struct CalendarToHourCache {
    TimeZoneStamp zone;
    bool bValid = false;
    std::int64_t start = 0;  // calendar time of minute 0, second 0 of the local hour
    RecordClock clock;
};

thread_local HourToCalendarCache tToCalendar;
thread_local CalendarToHourCache tToClock;

bool MakeLocal(int iYear, int iMonth, int iDay, int iHour, int iMinute, int iSecond,
               std::int64_t& time) {
    std::tm tm{};
    tm.tm_year = iYear - 1900;
    tm.tm_mon = iMonth - 1;
    tm.tm_mday = iDay;
    tm.tm_hour = iHour;
    tm.tm_min = iMinute;
    tm.tm_sec = iSecond;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return false;
    time = static_cast<std::int64_t>(t);
    return true;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Two decimal digits at pos.
bool TwoDigits(std::string_view s, size_t pos, int& value) {
    if (pos + 2 > s.size() || !IsDigit(s[pos]) || !IsDigit(s[pos + 1])) return false;
    value = (s[pos] - '0') * 10 + (s[pos + 1] - '0');
    return true;
}

// A two-character integer at pos that may carry a sign ("-1"), as month and day are clamped
// afterwards anyway.
bool TwoCharInt(std::string_view s, size_t pos, int& value) {
    if (pos + 2 > s.size()) return false;
    size_t used = 0;
    const std::string_view field = s.substr(pos, 2);
    if (field[0] == ' ') return false;
    return ScanInt(field, value, &used) && used == 2;
}

// "%.2d": at least two digits, a minus sign before them for negative values.
void AppendInt2(std::string& out, int v) {
    if (v >= 0 && v < 100) {
        out.push_back(static_cast<char>('0' + v / 10));
        out.push_back(static_cast<char>('0' + v % 10));
        return;
    }
    char digits[16];
    const long long wide = v;
    const unsigned long long magnitude =
        wide < 0 ? static_cast<unsigned long long>(-wide) : static_cast<unsigned long long>(wide);
    auto r = std::to_chars(digits, digits + sizeof digits, magnitude);
    if (v < 0) out.push_back('-');
    if (r.ptr - digits < 2) out.push_back('0');
    out.append(digits, r.ptr);
}

}  // namespace

CRecordTimeBatch::CRecordTimeBatch() {
    // The zone is looked at once, on entering the outermost batch: before the depth counts,
    // or Unchanged() would take the zone as known without looking.
    if (tBatchDepth == 0) {
        if (!tToCalendar.zone.Unchanged()) tToCalendar.bValid = false;
        if (!tToClock.zone.Unchanged()) tToClock.bValid = false;
    }
    ++tBatchDepth;
}

CRecordTimeBatch::~CRecordTimeBatch() {
    --tBatchDepth;
}

bool LocalCalendarTime(int iYear, int iMonth, int iDay, int iHour, int iMinute, int iSecond,
                       std::int64_t& time) {
    auto& c = tToCalendar;
    if (!c.zone.Unchanged()) c.bValid = false;
    if (c.bValid && c.iYear == iYear && c.iMonth == iMonth && c.iDay == iDay && c.iHour == iHour) {
        time = c.base + iMinute * 60 + iSecond;
        return true;
    }
    std::int64_t base = 0;
    if (!MakeLocal(iYear, iMonth, iDay, iHour, 0, 0, base)) return false;
    if (SteadyOffset(base - 3600, base + 7199)) {
        c.bValid = true;
        c.iYear = iYear;
        c.iMonth = iMonth;
        c.iDay = iDay;
        c.iHour = iHour;
        c.base = base;
        time = base + iMinute * 60 + iSecond;
        return true;
    }
    // An hour near a clock change: let the platform decide every second on its own.
    c.bValid = false;
    return MakeLocal(iYear, iMonth, iDay, iHour, iMinute, iSecond, time);
}

bool ParseRecordTime(std::string_view timeToken, std::string_view dateToken, std::int64_t& time,
                     int& iMilliSecond) {
    int hour = 0, minute = 0;
    if (timeToken.size() < 7) return false;
    if (!TwoDigits(timeToken, 0, hour) || !TwoDigits(timeToken, 3, minute)) return false;
    const std::string_view secondsText = timeToken.substr(6, 5);
    if (!IsDigit(secondsText[0])) return false;
    double seconds = 0.0;
    size_t used = 0;
    if (!ScanDouble(secondsText, seconds, &used) || used != secondsText.size()) return false;
    if (hour > 23 || minute > 59 || !(seconds >= 0.0 && seconds < 60.0)) return false;

    int month = 0, day = 0, year = 0;
    if (dateToken.size() < 8) return false;
    // The year may carry a sign as the month and day may. A record time of 0 (a geometry
    // that never had one) is written with the year 1970 - 2000, "01/01/-30"; its first two
    // characters read as 1997, so the record, and the line it opens, are kept.
    if (!TwoCharInt(dateToken, 0, month) || !TwoCharInt(dateToken, 3, day) ||
        !TwoCharInt(dateToken, 6, year))
        return false;
    month = month < 1 ? 1 : (month > 12 ? 12 : month);
    day = day < 1 ? 1 : (day > 31 ? 31 : day);

    const int whole = static_cast<int>(seconds);
    // The nearest millisecond: the hundredths written as ms / 10 then read back give the same
    // hundredths again, so a file saved and reopened keeps its times to the digit.
    const long ms = std::lround((seconds - static_cast<double>(whole)) * 1000.0);
    std::int64_t t = 0;
    if (!LocalCalendarTime(year + 2000, month, day, hour, minute, whole, t)) return false;
    time = t;
    iMilliSecond = static_cast<int>(std::clamp(ms, 0L, 999L));
    return true;
}

bool LocalClock(std::int64_t time, int iMilliSecond, RecordClock& clock) {
    auto& c = tToClock;
    if (!c.zone.Unchanged()) c.bValid = false;
    if (c.bValid && time >= c.start && time < c.start + 3600) {
        const int within = static_cast<int>(time - c.start);
        clock = c.clock;
        clock.iMinute = within / 60;
        clock.iSecond = within % 60;
        clock.iMilliSecond = iMilliSecond;
        return true;
    }
    if (time < INT64_C(-100000000000) || time > INT64_C(100000000000)) return false;
    std::tm tm{};
    if (!BreakDownLocal(static_cast<std::time_t>(time), tm)) return false;
    clock.iYear = tm.tm_year + 1900;
    clock.iMonth = tm.tm_mon + 1;
    clock.iDay = tm.tm_mday;
    clock.iHour = tm.tm_hour;
    clock.iMinute = tm.tm_min;
    clock.iSecond = tm.tm_sec;
    clock.iMilliSecond = iMilliSecond;
    // A leap second (tm_sec 60) or a clock change inside the hour: do not cache.
    const std::int64_t start = time - tm.tm_min * 60 - tm.tm_sec;
    c.bValid = tm.tm_sec < 60 && SteadyOffset(start, start + 3599);
    if (c.bValid) {
        c.start = start;
        c.clock = clock;
    }
    return true;
}

void AppendRecordTimeDate(std::string& out, std::int64_t time, int iMilliSecond) {
    RecordClock k;
    if (!LocalClock(time, iMilliSecond, k)) {
        k.iHour = k.iMinute = k.iSecond = -1;
        k.iMonth = k.iDay = 0;
        k.iYear = 0;  // written as year - 2000 = -2000
    }
    out.push_back(' ');
    AppendInt2(out, k.iHour);
    out.push_back(':');
    AppendInt2(out, k.iMinute);
    out.push_back(':');
    AppendInt2(out, k.iSecond);
    out.push_back('.');
    AppendInt2(out, iMilliSecond / 10);
    out.push_back(' ');
    AppendInt2(out, k.iMonth);
    out.push_back('/');
    AppendInt2(out, k.iDay);
    out.push_back('/');
    AppendInt2(out, k.iYear - 2000);
}

std::string FormatRecordTimeDate(std::int64_t time, int iMilliSecond) {
    std::string s;
    s.reserve(24);
    AppendRecordTimeDate(s, time, iMilliSecond);
    return s;
}
