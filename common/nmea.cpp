#include "common/nmea.h"

#include <algorithm>
#include <cmath>

#include "common/record_time.h"
#include "common/text_format.h"
#include "common/utm.h"

namespace {
// Longest field of a sentence that the decoder looks at; the rest of a longer one is ignored.
// The sentence itself is kept whole so that rewriting the survey loses nothing.
constexpr size_t kMaxField = 255;
constexpr size_t kMaxFields = 20;

std::filesystem::path& FailureLogPath() {
    static std::filesystem::path path = "DecodeGPSInBrivane.txt";
    return path;
}

// Appends one failure (a title line and the text that failed) to the failure log. A log
// that cannot be opened is not an error of the sentence: the sentence is skipped either way.
void LogFailure(std::string_view title, std::string_view text) {
    CTextWriter log;
    if (!log.Open(FailureLogPath(), true)) return;
    log.Write(title);
    log.Write("\n");
    log.Write(text);
    log.Write("\n");
    log.Close();
}

// Splits at commas, keeping empty fields; fields past the last one kept are ignored.
size_t SplitFields(std::string_view sentence, std::string_view* fields, size_t maxFields) {
    size_t n = 0, start = 0;
    while (n < maxFields) {
        const size_t comma = sentence.find(',', start);
        const size_t end = comma == std::string_view::npos ? sentence.size() : comma;
        fields[n++] = sentence.substr(start, end - start).substr(0, kMaxField);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return n;
}

bool IsDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

// The blanks SplitTokens separates at.
bool IsBlankChar(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

// One coordinate field in NMEA form: nDegreeDigits digits of whole degrees, two digits of
// whole minutes, then optionally '.' and decimal digits. No sign, blank or exponent: a field
// that holds anything else is corrupt, not a place.
bool ReadCoordinate(std::string_view field, size_t nDegreeDigits, int& iDegree, double& dMinute) {
    if (field.size() < nDegreeDigits + 2) return false;
    for (size_t i = 0; i < nDegreeDigits + 2; ++i)
        if (!IsDigit(field[i])) return false;
    if (field.size() > nDegreeDigits + 2) {
        if (field[nDegreeDigits + 2] != '.') return false;
        for (size_t i = nDegreeDigits + 3; i < field.size(); ++i)
            if (!IsDigit(field[i])) return false;
    }
    int degree = 0;
    double minute = 0.0;
    if (!ScanInt(field.substr(0, nDegreeDigits), degree) ||
        !ScanDouble(field.substr(nDegreeDigits), minute) || !(minute < 60.0))
        return false;
    iDegree = degree;
    dMinute = minute;
    return true;
}

bool IsHemisphere(std::string_view field, char upper) {
    return !field.empty() && (field[0] == upper || field[0] == upper + ('a' - 'A'));
}

// The sentence within a received line: from its "$GPGGA" or "$GNGGA" (bytes before it are line
// noise) to the first blank (what a receiver adds after the checksum is no field).
std::string_view SentenceIn(std::string_view text) {
    const size_t gp = text.find("$GPGGA"), gn = text.find("$GNGGA");
    const size_t begin = std::min(gp, gn);
    if (begin != std::string_view::npos) text.remove_prefix(begin);
    size_t end = 0;
    while (end < text.size() && !IsBlankChar(text[end])) ++end;
    return text.substr(0, end);
}

// The last two blank-separated tokens of text, in order (both empty when there are fewer).
void LastTwoTokens(std::string_view text, std::string_view& first, std::string_view& second) {
    std::string_view found[2];
    size_t n = 0, end = text.size();
    while (n < 2) {
        while (end > 0 && IsBlankChar(text[end - 1])) --end;
        if (end == 0) break;
        size_t begin = end;
        while (begin > 0 && !IsBlankChar(text[begin - 1])) --begin;
        found[n++] = text.substr(begin, end - begin);
        end = begin;
    }
    first = n == 2 ? found[1] : std::string_view();
    second = n == 2 ? found[0] : std::string_view();
}
}  // namespace

void SetDecodeFailureLog(const std::filesystem::path& path) {
    FailureLogPath() = path;
}

std::filesystem::path DecodeFailureLog() {
    return FailureLogPath();
}

GGAPosition DecodeGGAPosition(std::string_view sentence, CGPSData& gps, std::string_view* failing) {
    std::string_view fields[kMaxFields];
    const size_t nField = SplitFields(SentenceIn(sentence), fields, kMaxFields);
    auto field = [&](size_t i) { return i < nField ? fields[i] : std::string_view(); };
    auto fail = [&](GGAPosition why, std::string_view part) {
        if (failing != nullptr) *failing = part;
        return why;
    };
    if (field(2).empty() || field(4).empty()) return fail(GGAPosition::NoFix, {});

    int iLatDegree = 0, iLonDegree = 0;
    double dLatMinute = 0.0, dLonMinute = 0.0;
    if (!ReadCoordinate(field(2), 2, iLatDegree, dLatMinute))
        return fail(GGAPosition::NotNmea, field(2));
    if (!ReadCoordinate(field(4), 3, iLonDegree, dLonMinute))
        return fail(GGAPosition::NotNmea, field(4));
    const double dLatitude = iLatDegree + dLatMinute / 60.0;
    const double dLongitude = iLonDegree + dLonMinute / 60.0;
    // 180 degrees east or west is the zone boundary past the last UTM zone (zone 61).
    if (!(dLatitude <= 90.0)) return fail(GGAPosition::OffTheGlobe, field(2));
    if (!(dLongitude < 180.0)) return fail(GGAPosition::OffTheGlobe, field(4));

    const bool bSouth = IsHemisphere(field(3), 'S');
    const bool bWest = IsHemisphere(field(5), 'W');
    gps.iLatitudeDegree = iLatDegree;
    gps.dLatitudeMinute = dLatMinute;
    gps.sNorthSouth = bSouth ? "S" : "N";
    gps.dLatitude = bSouth ? -dLatitude : dLatitude;
    gps.iLongitudeDegree = iLonDegree;
    gps.dLongitudeMinute = dLonMinute;
    gps.sEastWest = bWest ? "W" : "E";
    gps.dLongitude = bWest ? -dLongitude : dLongitude;

    double dAltitude = 0.0;
    if (!ScanDouble(field(9), dAltitude) || !std::isfinite(dAltitude)) dAltitude = 0.0;
    gps.dAltitude = dAltitude;
    return GGAPosition::Fix;
}

int DecodeGGA(CGPSData& gps, std::string_view record) {
    // "21 <sentence> <time> <date>"; a line holding the sentence without the tag in front is
    // read the same way.
    std::string_view sentence;
    if (record.find("$GPGGA") != std::string_view::npos ||
        record.find("$GNGGA") != std::string_view::npos) {
        sentence = SentenceIn(record);
    } else {
        std::string_view tokens[2];
        const size_t nToken = SplitTokens(record, tokens, 2);
        const size_t iSentence = nToken > 0 && tokens[0][0] == '$' ? 0 : 1;
        if (iSentence < nToken) sentence = tokens[iSentence];
    }
    // The logging program stores a received line whole and appends the time and date, so they
    // are the record's last two tokens whatever the receiver sent after the checksum.
    std::string_view timeToken, dateToken;
    const size_t afterSentence =
        sentence.empty() ? record.size()
                         : static_cast<size_t>(sentence.data() - record.data()) + sentence.size();
    LastTwoTokens(record.substr(afterSentence), timeToken, dateToken);

    gps.sSentence.assign(sentence);
    std::string_view failing;
    switch (DecodeGGAPosition(sentence, gps, &failing)) {
        case GGAPosition::NoFix:
            return 0;  // no position yet: nothing to keep and nothing to report
        case GGAPosition::NotNmea:
            LogFailure("String error", failing);
            return 0;
        case GGAPosition::OffTheGlobe:
            LogFailure("Position error", failing);
            return 0;
        case GGAPosition::Fix:
            break;
    }

    // The time of reception written by the logging program, not the sentence's UTC time. A fix
    // without it cannot be tied to the readings.
    if (!ParseRecordTime(timeToken, dateToken, gps.time, gps.iMilliSecond)) {
        LogFailure("Time error", record.substr(0, 1024));
        return 0;
    }

    return ToUTM(gps);
}

void WriteRMC(const CGPSData& gps, CTextWriter* out) {
    if (out == nullptr || !out->IsOpen()) return;
    RecordClock clock;
    if (!LocalClock(gps.time, gps.iMilliSecond, clock)) {
        clock.iHour = clock.iMinute = clock.iSecond = -1;
        clock.iDay = clock.iMonth = 0;
        clock.iYear = 0;
    }
    out->Printf(
        "$GPRMC,%02d%02d%02d.%03d,A,%d%08.5f,%s,%d%08.5f,%s,%5.1f,%5.1f,%02d%02d%02d,0.0,W*60\n",
        clock.iHour, clock.iMinute, clock.iSecond, gps.iMilliSecond, gps.iLatitudeDegree,
        gps.dLatitudeMinute, gps.sNorthSouth.c_str(), gps.iLongitudeDegree, gps.dLongitudeMinute,
        gps.sEastWest.c_str(), 0.0, 0.0, clock.iDay, clock.iMonth, clock.iYear - 2000);
}

int ParseMappingGPS(CGPSData& gps, std::string_view record, int iLineIndex) {
    std::string_view tokens[9];
    const size_t nToken = SplitTokens(record, tokens, 9);
    auto token = [&](size_t i) { return i < nToken ? tokens[i] : std::string_view(); };

    gps.dAltitude = 0.0;
    double dLongitude = 0.0, dLatitude = 0.0;
    // A position off the globe is a corrupt record, not a place: it is dropped like an
    // unreadable one (a GGA sentence past the pole is refused the same way).
    const bool bPosition = ScanDouble(token(1), dLongitude) && ScanDouble(token(2), dLatitude) &&
                           std::fabs(dLongitude) <= 180.0 && std::fabs(dLatitude) <= 90.0;
    const bool bTime = ParseRecordTime(token(3), token(4), gps.time, gps.iMilliSecond);
    if (bPosition && bTime) {
        gps.dLongitude = dLongitude;
        gps.dLatitude = dLatitude;
        ToUTM(gps);
    } else {
        // Marks the fix unusable: callers accept zones 1..60 only.
        gps.iUTMZone = 0;
    }

    // A line field that cannot be read does not start a new line.
    int iLine = iLineIndex;
    if (!ScanInt(token(6), iLine)) iLine = iLineIndex;
    return iLine != iLineIndex ? 1 : 0;
}
