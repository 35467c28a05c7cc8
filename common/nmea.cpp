#include "common/nmea.h"

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

// Digits and '.' only; the empty string passes.
bool IsNumberText(std::string_view text) {
    for (char ch : text) {
        if ((ch < '0' || ch > '9') && ch != '.') return false;
    }
    return true;
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

// One coordinate field "dddmm.mmmm": the first nDegreeDigits characters are whole degrees,
// the rest minutes. Both parts must pass the number check; a failing part is logged.
// A part that passes but holds no number ("" or ".") counts as 0.
bool ReadCoordinate(std::string_view field, size_t nDegreeDigits, int& iDegree, double& dMinute) {
    const std::string_view degreePart = field.substr(0, nDegreeDigits);
    if (!IsNumberText(degreePart)) {
        LogFailure("String error", degreePart);
        return false;
    }
    const std::string_view minutePart = field.substr(degreePart.size());
    if (!IsNumberText(minutePart)) {
        LogFailure("String error", minutePart);
        return false;
    }
    // At most three digits and at most 254 characters of digits: both always fit.
    if (!ScanInt(degreePart, iDegree)) iDegree = 0;
    if (!ScanDouble(minutePart, dMinute)) dMinute = 0.0;
    return true;
}
}  // namespace

void SetDecodeFailureLog(const std::filesystem::path& path) { FailureLogPath() = path; }

std::filesystem::path DecodeFailureLog() { return FailureLogPath(); }

int DecodeGGA(CGPSData& gps, std::string_view record) {
    std::string_view tokens[4];
    const size_t nToken = SplitTokens(record, tokens, 4);

    // "21 <sentence> <time> <date>"; a line holding the sentence without the tag in front is
    // read the same way with the tokens moved up by one.
    const size_t iSentence = nToken > 0 && !tokens[0].empty() && tokens[0][0] == '$' ? 0 : 1;
    const std::string_view sentence = iSentence < nToken ? tokens[iSentence] : std::string_view();
    const std::string_view timeToken =
        iSentence + 1 < nToken ? tokens[iSentence + 1] : std::string_view();
    const std::string_view dateToken =
        iSentence + 2 < nToken ? tokens[iSentence + 2] : std::string_view();

    gps.sSentence.assign(sentence);
    std::string_view fields[kMaxFields];
    const size_t nField = SplitFields(sentence, fields, kMaxFields);
    auto field = [&](size_t i) { return i < nField ? fields[i] : std::string_view(); };

    // No position yet (the receiver has no fix): nothing to keep and nothing to report.
    if (field(2).empty() || field(4).empty()) return 0;

    if (!ReadCoordinate(field(2), 2, gps.iLatitudeDegree, gps.dLatitudeMinute)) return 0;
    gps.dLatitude = gps.dLatitudeMinute / 60.0 + gps.iLatitudeDegree;
    if (!field(3).empty() && (field(3)[0] == 'S' || field(3)[0] == 's')) {
        gps.sNorthSouth = "S";
        gps.dLatitude = -gps.dLatitude;
    } else {
        gps.sNorthSouth = "N";
    }

    if (!ReadCoordinate(field(4), 3, gps.iLongitudeDegree, gps.dLongitudeMinute)) return 0;
    gps.dLongitude = gps.dLongitudeMinute / 60.0 + gps.iLongitudeDegree;
    if (!field(5).empty() && (field(5)[0] == 'W' || field(5)[0] == 'w')) {
        gps.sEastWest = "W";
        gps.dLongitude = -gps.dLongitude;
    } else {
        gps.sEastWest = "E";
    }

    // Minutes are not limited by the number check; a latitude past the pole is a corrupt
    // sentence, not a place.
    if (!(std::fabs(gps.dLatitude) <= 90.0)) {
        LogFailure("Latitude error", field(2));
        return 0;
    }

    double dAltitude = 0.0;
    if (!ScanDouble(field(9), dAltitude) || !std::isfinite(dAltitude)) dAltitude = 0.0;
    gps.dAltitude = dAltitude;

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
    out->Printf("$GPRMC,%02d%02d%02d.%03d,A,%d%08.5f,%s,%d%08.5f,%s,%5.1f,%5.1f,%02d%02d%02d,0.0,W*60\n",
                clock.iHour, clock.iMinute, clock.iSecond, gps.iMilliSecond, gps.iLatitudeDegree,
                gps.dLatitudeMinute, gps.sNorthSouth.c_str(), gps.iLongitudeDegree,
                gps.dLongitudeMinute, gps.sEastWest.c_str(), 0.0, 0.0, clock.iDay, clock.iMonth,
                clock.iYear - 2000);
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
