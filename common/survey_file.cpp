#include "common/survey_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "common/language.h"
#include "common/nmea.h"
#include "common/prompter.h"
#include "common/record_time.h"
#include "common/resistivity.h"
#include "common/settings.h"
#include "common/side_file.h"
#include "common/text_format.h"

namespace {

// The line reader cuts one character beyond what a record may hold, so an overlong line is
// recognised whatever its line end.
constexpr std::size_t kReaderCut = kMaxRecordLength + 1;
// Bytes gathered before they are handed to the writer.
constexpr std::size_t kWriteChunk = 1 << 20;
// A marker or fix farther than this from every reading (s) is tied to reading 0.
constexpr std::uint64_t kNearestBound = 100000000;

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool Contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

bool HasGGA(std::string_view s) {
    return Contains(s, "$GPGGA") || Contains(s, "$GNGGA");
}

bool IsGeometryRecord(std::string_view s) {
    return StartsWith(s, "33") && Contains(s, "GOHM");
}

std::string_view StripLineEnd(std::string_view s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Numbers must fill their whole token: "12.5x" or "1e999" is a bad field, not 12.5 or inf.
bool TokenFloat(std::string_view t, float& v) {
    size_t used = 0;
    float x = 0;
    if (!ScanFloat(t, x, &used) || used != t.size() || !std::isfinite(x)) return false;
    v = x;
    return true;
}

bool TokenDouble(std::string_view t, double& v) {
    size_t used = 0;
    double x = 0;
    if (!ScanDouble(t, x, &used) || used != t.size() || !std::isfinite(x)) return false;
    v = x;
    return true;
}

bool TokenInt(std::string_view t, int& v) {
    size_t used = 0;
    int x = 0;
    if (!ScanInt(t, x, &used) || used != t.size()) return false;
    v = x;
    return true;
}

// Status token: optional '-' (invalid value), current-level digit, optional status digit.
bool ParseStatus(std::string_view t, int& bValid, int& iCurrentLevel, int& iStatus) {
    size_t pos = 0;
    int valid = 1;
    if (!t.empty() && t[0] == '-') {
        valid = 0;
        pos = 1;
    }
    if (pos >= t.size() || !IsDigit(t[pos])) return false;
    bValid = valid;
    iCurrentLevel = t[pos] - '0';
    iStatus = pos + 1 < t.size() && IsDigit(t[pos + 1]) ? t[pos + 1] - '0' : 0;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Number formatting without printf in the bulk paths; the digits are those of printf in the C
// locale ("%W.Pf", "%d").

// Keeps a number from running into the token before it when it is wider than its field.
void SeparateFromPrevious(std::string& out) {
    if (!out.empty() && out.back() != ' ') out.push_back(' ');
}

void AppendFixed(std::string& out, double v, int width, int precision) {
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
    std::string_view text;
    std::string fallback;
    if (r.ec == std::errc()) {
        text = std::string_view(buf, static_cast<size_t>(r.ptr - buf));
    } else {
        fallback = FormatC("%.*f", precision, v);
        text = fallback;
    }
    const size_t w = width > 0 ? static_cast<size_t>(width) : 0;
    if (text.size() < w)
        out.append(w - text.size(), ' ');
    else if (w > 0)
        SeparateFromPrevious(out);
    out.append(text);
}

// The same for a single-precision value with 3 or 6 decimals, by integer arithmetic: a float
// has 24 significant bits and 10^6 = 2^6 x 15625 adds 14, so the scaled value is exact in
// double precision and rounding it to an integer (ties to even, as printf rounds in the
// default mode) gives printf's digits.
void AppendFixedFloat(std::string& out, float f, int width, int precision) {
    static constexpr double kScale[] = {1.0, 10.0, 100.0, 1e3, 1e4, 1e5, 1e6};
    const double v = f;
    const double scaled = precision >= 0 && precision <= 6 ? v * kScale[precision] : 1e300;
    if (!(std::fabs(scaled) < 9.0e15)) {  // also NaN and infinities
        AppendFixed(out, v, width, precision);
        return;
    }
    auto n = static_cast<unsigned long long>(std::fabs(std::nearbyint(scaled)));
    char buf[40];
    char* const end = buf + sizeof buf;
    char* p = end;
    for (int i = 0; i < precision; ++i) {
        *--p = static_cast<char>('0' + n % 10);
        n /= 10;
    }
    if (precision > 0) *--p = '.';
    do {
        *--p = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    if (std::signbit(v)) *--p = '-';
    const auto len = static_cast<size_t>(end - p);
    const size_t w = width > 0 ? static_cast<size_t>(width) : 0;
    if (len < w)
        out.append(w - len, ' ');
    else if (w > 0)
        SeparateFromPrevious(out);
    out.append(p, len);
}

void AppendInt(std::string& out, long long v, int width = 0) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    const size_t len = static_cast<size_t>(r.ptr - buf);
    const size_t w = width > 0 ? static_cast<size_t>(width) : 0;
    if (len < w)
        out.append(w - len, ' ');
    else if (w > 0)
        SeparateFromPrevious(out);
    out.append(buf, len);
}

void AppendGeometryRecord(std::string& out, const CGantrelGeometry& g, GeometryForm form, int bUse,
                          const int* bReceiverUse) {
    out += "33  GOHM ";
    AppendFixedFloat(out, g.fOffset, 10, 3);
    out.push_back(' ');
    AppendFixedFloat(out, g.fTransmitterDipole, 10, 3);
    out.push_back(' ');
    AppendFixedFloat(out, g.fRopeLength, 10, 3);
    out.push_back(' ');
    AppendFixedFloat(out, g.fReceiverDipole, 10, 3);
    AppendRecordTimeDate(out, g.time, g.iMilliSecond);
    if (form == GeometryForm::Mapping) return;
    out.push_back(' ');
    AppendInt(out, form == GeometryForm::Processing ? bUse : 1);
    out.push_back(' ');
    if (form != GeometryForm::Processing) return;
    for (int i = 0; i < kMaxReceiver; ++i) {
        out.push_back(' ');
        AppendInt(out, bReceiverUse != nullptr ? bReceiverUse[i] : 1);
        out.push_back(' ');
    }
    for (int i = 0; i < kMaxReceiver; ++i) {
        out.push_back(' ');
        AppendFixedFloat(out, g.pReceiverFactor[static_cast<size_t>(i)], 0, 6);
        out.push_back(' ');
    }
}

void AppendMarkerRecord(std::string& out, const CMarkerData& m, MarkerForm form) {
    out += "3 ";
    AppendFixed(out, m.dX, 12, 2);
    out.push_back(' ');
    AppendFixed(out, m.dY, 12, 2);
    out.push_back(' ');
    AppendRecordTimeDate(out, m.time, m.iMilliSecond);
    AppendInt(out, form == MarkerForm::Mapping ? m.nData : 0, 10);
    out.push_back(' ');
    AppendInt(out, m.iLineID, 11);
    out.push_back(' ');
    AppendInt(out, m.iMarkerNumber, 11);
    if (form == MarkerForm::Mapping) {
        out.push_back(' ');
        AppendInt(out, 4, 4);
    } else {
        out += " 5";
    }
}

// One digit of a receiver's two-digit status field. A reading of the old mapping form has
// no current level (-1): written as such the field would be "-10", which reads back as an
// invalid value.
int StatusDigit(int v) {
    return std::clamp(v, 0, 9);
}

// bErrorWord: a value above 1e8 makes the record "ERROR" (the mapping and logging forms);
// the survey file writer writes every value its reader takes back.
void AppendReadingRecord(std::string& out, const CGantrelData& d, ReadingForm form,
                         bool bWithDistance, bool bErrorWord = true) {
    if (bErrorWord ? IsErrorReading(d) : IsUnwritableReading(d)) {
        out += "ERROR";
        return;
    }
    out += "30 ";
    AppendInt(out, d.nReceiver);
    for (int i = 0; i < d.nReceiver; ++i) {
        switch (form) {
            case ReadingForm::ZeroStatus:
                AppendFixedFloat(out, d.fResistance[i], 11, 3);
                out += " 0 ";
                break;
            case ReadingForm::WithStatus:
                AppendFixedFloat(out, d.fResistance[i], 11, 3);
                out += d.bValid[i] == 0 ? " -" : " ";
                AppendInt(out, StatusDigit(d.iCurrentLevel[i]));
                AppendInt(out, StatusDigit(d.iStatus[i]));
                if (d.bValid[i] == 0) out.push_back(' ');
                break;
            case ReadingForm::Logging:
                AppendFixedFloat(out, d.fResistance[i], 10, 3);
                out.push_back(' ');
                AppendInt(out, StatusDigit(d.iCurrentLevel[i]));
                AppendInt(out, StatusDigit(d.iStatus[i]));
                out.push_back(' ');
                break;
        }
    }
    AppendRecordTimeDate(out, d.time, d.iMilliSecond);
    if (bWithDistance) {
        out.push_back(' ');
        AppendFixedFloat(out, d.fDistance, 0, 6);
    }
}

void AppendResistivityLine(std::string& out, const CGantrelData& d) {
    for (int i = 0; i < std::clamp(d.nReceiver, 0, kMaxReceiver); ++i) {
        out.push_back(' ');
        AppendFixedFloat(out, d.fResistivity[i], 0, 6);
        out.push_back(' ');
    }
}

// NMEA checksum: XOR of the characters between '$' and '*'.
unsigned NmeaChecksum(std::string_view body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    return sum;
}

// "DDMM.MMMMMMM" (or DDD for longitude) of an angle in degrees, without sign.
std::string DegreesMinutes(double angle, int nDegreeDigits) {
    double a = std::fabs(angle);
    int degrees = static_cast<int>(std::floor(a));
    double minutes = (a - degrees) * 60.0;
    if (minutes >= 59.99999995) {  // would print as 60.0000000
        ++degrees;
        minutes = 0.0;
    }
    return FormatC("%0*d%010.7f", nDegreeDigits, degrees, minutes);
}

// A GGA sentence for a fix known only by its position (mapping files carry no sentence).
std::string SynthesizeGGA(const CGPSData& g) {
    if (!std::isfinite(g.dLatitude) || !std::isfinite(g.dLongitude) ||
        std::fabs(g.dLatitude) > 90.0 || std::fabs(g.dLongitude) > 180.0)
        return {};
    const std::int64_t day = 86400;
    const std::int64_t secondOfDay = ((g.time % day) + day) % day;  // UTC
    const double altitude = std::isfinite(g.dAltitude) ? g.dAltitude : 0.0;
    const std::string body =
        FormatC("GPGGA,%02d%02d%02d.%02d,%s,%c,%s,%c,1,00,0.0,%.1f,M,0.0,M,,",
                static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                static_cast<int>(secondOfDay % 60), std::clamp(g.iMilliSecond, 0, 999) / 10,
                DegreesMinutes(g.dLatitude, 2).c_str(), g.dLatitude < 0 ? 'S' : 'N',
                DegreesMinutes(g.dLongitude, 3).c_str(), g.dLongitude < 0 ? 'W' : 'E', altitude);
    return FormatC("$%s*%02X", body.c_str(), NmeaChecksum(body));
}

// True when a GPS record's sentence has latitude and longitude fields, i.e. a rejection is a
// real decoding failure and not a receiver still waiting for its fix.
bool HasPositionFields(std::string_view record) {
    std::string_view tokens[2];
    const size_t n = SplitTokens(record, tokens, 2);
    std::string_view sentence;
    for (size_t i = 0; i < n; ++i)
        if (!tokens[i].empty() && tokens[i][0] == '$') {
            sentence = tokens[i];
            break;
        }
    std::string_view fields[5];
    size_t nField = 0, start = 0;
    while (nField < 5) {
        const size_t comma = sentence.find(',', start);
        fields[nField++] = sentence.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return nField == 5 && !fields[2].empty() && !fields[4].empty();
}

// A 30 record: n (1..5) or 0 with the problem.
int ParseReading(std::string_view record, CGantrelData& d, RecordProblem& problem) {
    std::string_view t[15];
    const size_t n = SplitTokens(record, t, 15);
    int nReceiver = 0;
    if (n < 2 || !TokenInt(t[1], nReceiver)) {
        problem = RecordProblem::BadReading;
        return 0;
    }
    if (nReceiver < 1 || nReceiver > kMaxReceiver) {
        problem = RecordProblem::ReceiverCount;
        return 0;
    }
    const size_t nr = static_cast<size_t>(nReceiver);
    problem = RecordProblem::BadReading;
    if (n < 2 * nr + 4) return 0;
    for (size_t i = 0; i < nr; ++i) {
        if (!TokenFloat(t[2 + 2 * i], d.fResistance[i])) return 0;
        if (!ParseStatus(t[3 + 2 * i], d.bValid[i], d.iCurrentLevel[i], d.iStatus[i])) return 0;
    }
    if (!ParseRecordTime(t[2 * nr + 2], t[2 * nr + 3], d.time, d.iMilliSecond)) return 0;
    if (n > 2 * nr + 4 && TokenFloat(t[2 * nr + 4], d.fDistance)) d.bDistance = 1;
    d.nReceiver = nReceiver;
    problem = RecordProblem::None;
    return nReceiver;
}

// |a - b| without overflow whatever the two times are.
std::uint64_t TimeDistance(std::int64_t a, std::int64_t b) {
    return a > b ? static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b)
                 : static_cast<std::uint64_t>(b) - static_cast<std::uint64_t>(a);
}

// Readings and fixes sorted by time, to find the reading nearest to a moment without a scan
// of the whole line per marker or fix. Same answer as CGantrelLine::NearestReading: least
// whole-second difference, the first reading in file order on ties.
class NearestReadingIndex {
public:
    explicit NearestReadingIndex(const CGantrelLine& line) {
        sorted_.reserve(line.pData.size());
        for (size_t i = 0; i < line.pData.size(); ++i)
            sorted_.push_back({line.pData[i].time, static_cast<int>(i)});
        std::sort(sorted_.begin(), sorted_.end(), [](const Entry& a, const Entry& b) {
            return a.t != b.t ? a.t < b.t : a.i < b.i;
        });
    }

    // -1 when no reading lies within the bound.
    int Find(std::int64_t t) const {
        auto above = std::lower_bound(sorted_.begin(), sorted_.end(), t,
                                      [](const Entry& e, std::int64_t v) { return e.t < v; });
        std::uint64_t best = kNearestBound;
        int index = -1;
        auto consider = [&](std::uint64_t diff, int i) {
            if (diff < best || (diff == best && index >= 0 && i < index)) {
                best = diff;
                index = i;
            }
        };
        if (above != sorted_.end()) consider(TimeDistance(above->t, t), above->i);
        if (above != sorted_.begin()) {
            const std::int64_t tBelow = std::prev(above)->t;
            auto first = std::lower_bound(sorted_.begin(), above, tBelow,
                                          [](const Entry& e, std::int64_t v) { return e.t < v; });
            consider(TimeDistance(tBelow, t), first->i);
        }
        return index;
    }

private:
    struct Entry {
        std::int64_t t;
        int i;
    };
    std::vector<Entry> sorted_;
};

// Records of one kind grouped by the reading they belong to (iDataIndex, clamped into the
// readings so that a stale index never loses a record), keeping their order within a group.
struct ReadingBuckets {
    std::vector<int> start;  // nSlot + 1 offsets into order
    std::vector<int> order;

    template <typename Records>
    ReadingBuckets(const Records& records, size_t count, int nSlot) {
        start.assign(static_cast<size_t>(nSlot) + 1, 0);
        order.resize(count);
        auto slot = [&](size_t k) {
            return static_cast<size_t>(std::clamp(records[k].iDataIndex, 0, nSlot - 1));
        };
        for (size_t k = 0; k < count; ++k) ++start[slot(k) + 1];
        for (size_t s = 1; s < start.size(); ++s) start[s] += start[s - 1];
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (size_t k = 0; k < count; ++k)
            order[static_cast<size_t>(fill[slot(k)]++)] = static_cast<int>(k);
    }
};

void StoreLastZone(SurveyFileStatus& status, int zone) {
    if (zone == 0) return;
    WriteSuiteInt("iUTMZone", zone);
    status.iUTMZone = zone;
}

bool LooksLikeSurveyRecord(std::string_view s) {
    return (!s.empty() && s[0] == '3') || HasGGA(s);
}

bool LooksLikeMappingRecord(std::string_view s) {
    return !s.empty() && (s[0] == '3' || s[0] == '6' || s[0] == '0' || StartsWith(s, "21"));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Status and messages

std::string RecordProblemText(RecordProblem problem) {
    switch (problem) {
        case RecordProblem::None:
            return "";
        case RecordProblem::LineTooLong:
            return Tr("line longer than 1023 characters", "1023 文字を超える行");
        case RecordProblem::BadGeometry:
            return Tr(
                "geometry record (33 GOHM) with missing fields or an unreadable number, "
                "time or date",
                "ジオメトリレコード（33 GOHM）の項目が足りないか、数値・時刻・日付が読めません");
        case RecordProblem::ReceiverCount:
            return Tr("reading with a receiver count outside 1 to 5",
                      "受信器数が 1～5 の範囲外の測定値");
        case RecordProblem::BadReading:
            return Tr("reading with an unreadable value, status, time or date",
                      "値・ステータス・時刻・日付が読めない測定値");
        case RecordProblem::BadMarker:
            return Tr("marker with an unreadable position, time or date",
                      "位置・時刻・日付が読めないマーカー");
        case RecordProblem::BadGPS:
            return Tr("GPS record with an unusable position or time",
                      "位置または時刻が使えない GPS レコード");
        case RecordProblem::BadResistivityLine:
            return Tr("reading without its line of apparent resistivities",
                      "見掛比抵抗の行が欠けた測定値");
        case RecordProblem::NoLine:
            return Tr("record outside any survey line", "どの測線にも属さないレコード");
        case RecordProblem::LineFull:
            return Tr("the line is full (50000 readings, 1000 markers or 20000 GPS fixes)",
                      "測線が満杯です（測定値 50000、マーカー 1000、GPS 20000 まで）");
        case RecordProblem::SurveyFull:
            return Tr("the survey already holds 1000 lines", "測線数が上限の 1000 に達しています");
    }
    return "";
}

void SurveyFileStatus::Note(std::size_t iLineNumber, RecordProblem problem) {
    if (nBad == 0) {
        iFirstBadLine = iLineNumber;
        eFirstBad = problem;
    }
    ++nBad;
    ++nByProblem[static_cast<size_t>(problem)];
}

int SurveyFileStatus::OverCapacity() const {
    return nByProblem[static_cast<size_t>(RecordProblem::LineFull)] +
           nByProblem[static_cast<size_t>(RecordProblem::SurveyFull)];
}

std::string SurveyFileLeftOutText(const SurveyFileStatus& status) {
    if (!status.LeftOut()) return {};
    const std::string name = status.path.empty()
                                 ? std::string(Tr("Received records", "受信レコード"))
                                 : status.path.string();
    return name + ":" + SurveyFileLeftOutDetail(status);
}

std::string SurveyFileLeftOutDetail(const SurveyFileStatus& status) {
    if (!status.LeftOut()) return {};
    std::string kinds;
    for (int k = 1; k < kRecordProblemCount; ++k) {
        const int n = status.nByProblem[static_cast<size_t>(k)];
        if (n == 0) continue;
        if (!kinds.empty()) kinds += ", ";
        kinds += FormatC("%d %s", n, RecordProblemText(static_cast<RecordProblem>(k)).c_str());
    }
    std::string text;
    if (status.nBad > 0)
        text += FormatC(Tr(" %d record(s) left out (%s), the first at line %zu",
                           " %d 件のレコードを除外 (%s)、最初は %zu 行目"),
                        status.nBad, kinds.c_str(), status.iFirstBadLine);
    if (status.nUnread > 0)
        text += FormatC(Tr("%s %d line(s) after the 100000th not read", "%s 100000 行目より後の %d 行は未読"),
                        status.nBad > 0 ? ";" : "", status.nUnread);
    return text;
}

void ReportSurveyFileStatus(const SurveyFileStatus& status, CPrompter& prompter) {
    const std::string name = status.path.empty()
                                 ? std::string(Tr("Received records", "受信レコード"))
                                 : status.path.string();
    if (!status.bOpened) {
        prompter.Message(CannotOpenFileMessage(status.path));
        return;
    }
    if (status.nBad > 0) {
        prompter.Message(FormatC(
            Tr("%s: %d record(s) could not be read and were left out.\nThe first is at line "
               "%zu: %s.",
               "%s: %d 件のレコードを読み込めず、除外しました。\n最初は %zu 行目: %s"),
            name.c_str(), status.nBad, status.iFirstBadLine,
            RecordProblemText(status.eFirstBad).c_str()));
    }
    if (status.nUnread > 0) {
        prompter.Message(
            FormatC(Tr("%s: only the first 100000 lines were read; %d more lines were left out.",
                       "%s: 先頭の 100000 行だけを読み込みました。残りの %d 行は除外しました。"),
                    name.c_str(), status.nUnread));
    }
}

// ---------------------------------------------------------------------------------------------
// Records

void GeometryRecord::ApplyTo(CGantrelGeometry& g, CGantrelLine* line) const {
    g.fOffset = fOffset;
    g.fTransmitterDipole = fTransmitterDipole;
    g.fRopeLength = fRopeLength;
    g.fReceiverDipole = fReceiverDipole;
    if (fTransmitterDipole != fReceiverDipole) g.bDifferentSize = 1;
    g.time = time;
    g.iMilliSecond = iMilliSecond;
    for (int i = 0; i < nFactor; ++i)
        g.pReceiverFactor[static_cast<size_t>(i)] = fReceiverFactor[i];
    if (line == nullptr) return;
    if (nUse >= 1) line->bUse = bUse;
    for (int i = 0; i + 1 < nUse; ++i) line->bReceiverUse[i] = bReceiverUse[i];
}

bool ParseGeometryRecord(std::string_view record, GeometryRecord& geometry) {
    std::string_view t[19];
    const size_t n = SplitTokens(record, t, 19);
    if (n < 8) return false;
    GeometryRecord g;
    if (!TokenFloat(t[2], g.fOffset) || !TokenFloat(t[3], g.fTransmitterDipole) ||
        !TokenFloat(t[4], g.fRopeLength) || !TokenFloat(t[5], g.fReceiverDipole))
        return false;
    if (!ParseRecordTime(t[6], t[7], g.time, g.iMilliSecond)) return false;
    // Optional fields are taken in order up to the first one that is not a number.
    for (size_t k = 8; k < std::min<size_t>(n, 14); ++k) {
        int v = 0;
        if (!TokenInt(t[k], v)) break;
        if (k == 8)
            g.bUse = v;
        else
            g.bReceiverUse[k - 9] = v;
        ++g.nUse;
    }
    if (n > 18) {
        for (size_t k = 14; k < 19; ++k) {
            if (!TokenFloat(t[k], g.fReceiverFactor[k - 14])) break;
            ++g.nFactor;
        }
    }
    geometry = g;
    return true;
}

std::string FormatGeometryRecord(const CGantrelGeometry& g, GeometryForm form, int bUse,
                                 const int* bReceiverUse) {
    std::string s;
    AppendGeometryRecord(s, g, form, bUse, bReceiverUse);
    return s;
}

int ParseReadingRecord(std::string_view record, CGantrelData& data) {
    RecordProblem problem = RecordProblem::None;
    return ParseReading(record, data, problem);
}

int ParseOldReadingRecord(std::string_view record, CGantrelData& data) {
    std::string_view t[5];
    if (SplitTokens(record, t, 5) < 5) return 0;
    float v1 = 0, v2 = 0;
    if (!TokenFloat(t[1], v1) || !TokenFloat(t[2], v2)) return 0;
    const int n = (v1 > 0.0f ? 1 : 0) + (v2 > 0.0f ? 1 : 0);
    if (n == 0) return 0;
    if (!ParseRecordTime(t[3], t[4], data.time, data.iMilliSecond)) return 0;
    data.fResistance[0] = v1;
    data.fResistance[1] = v2;
    data.nReceiver = n;
    return n;
}

int ParseRawRecord(std::string_view record, CGantrelData& data) {
    if (!StartsWith(record, "21 ") || record.size() < 4 || record[3] == '$') return 0;
    const std::string_view body = record.substr(3);
    std::string_view fields[16];
    size_t nField = 0, start = 0;
    for (;;) {
        const size_t comma = body.find(',', start);
        if (nField == 16) return 0;  // more fields than five receivers hold
        fields[nField++] = body.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (nField % 3 != 1 || nField < 4) return 0;
    const int n = static_cast<int>(nField - 1) / 3;

    // The last field holds the status and, after blanks, the time and the date.
    std::string_view last[3];
    const size_t nLast = SplitTokens(fields[nField - 1], last, 3);
    if (nLast < 3) return 0;
    fields[nField - 1] = last[0];

    auto level = [](std::string_view f, float& v) {
        int tenths = 0;
        if (!TokenInt(Trim(f), tenths)) return false;
        v = static_cast<float>(tenths) / 10.0f;
        return true;
    };
    auto status = [](std::string_view f, int& iCurrentLevel, int& iStatus) {
        f = Trim(f);
        if (f.empty() || !IsDigit(f[0])) return false;
        iCurrentLevel = f[0] - '0';
        iStatus = f.size() > 1 && IsDigit(f[1]) ? f[1] - '0' : 0;
        return true;
    };
    CGantrelData d;
    if (!TokenFloat(Trim(fields[0]), d.fResistance[0]) || !level(fields[1], d.fReceiverLevel[0]) ||
        !level(fields[2], d.fTransmitterLevel) ||
        !status(fields[3], d.iCurrentLevel[0], d.iStatus[0]))
        return 0;
    for (int k = 1; k < n; ++k) {
        const size_t f = static_cast<size_t>(3 * k);
        if (!TokenFloat(Trim(fields[f + 1]), d.fResistance[k]) ||
            !level(fields[f + 2], d.fReceiverLevel[k]) ||
            !status(fields[f + 3], d.iCurrentLevel[k], d.iStatus[k]))
            return 0;
    }
    if (!ParseRecordTime(last[1], last[2], d.time, d.iMilliSecond)) return 0;
    d.nReceiver = n;
    data = d;
    return n;
}

int ParseResistivityLine(std::string_view text, CGantrelData& data) {
    std::string_view t[kMaxReceiver];
    const int n = std::clamp(data.nReceiver, 0, kMaxReceiver);
    const size_t nToken = SplitTokens(text, t, static_cast<size_t>(n));
    int read = 0;
    for (size_t i = 0; i < nToken; ++i) {
        if (!TokenFloat(t[i], data.fResistivity[i])) break;
        ++read;
    }
    return read;
}

bool IsUnwritableReading(const CGantrelData& data) {
    if (data.nReceiver < 1 || data.nReceiver > kMaxReceiver) return true;
    for (int i = 0; i < data.nReceiver; ++i)
        if (!std::isfinite(data.fResistance[i])) return true;
    return false;
}

std::string SurveySaveMessage(const SurveySaveReport& report, const std::filesystem::path& path,
                              bool bMapping) {
    if (!report.save.ok()) return SaveFailureMessage(report.save, path);
    if (report.nLeftOut == 0) return {};
    if (bMapping)
        return FormatC(Tr("%s: %d reading(s) hold a value above 100000000 or one that is not a "
                          "number; the mapping file holds each of them as the word ERROR, "
                          "without its values.",
                          "%s: %d 件の測定値に 100000000 を超える値または数値でない値があります。"
                          "マッピングファイルにはそれぞれ ERROR とだけ書き、値は書いていません。"),
                       path.string().c_str(), report.nLeftOut);
    return FormatC(Tr("%s: %d reading(s) hold a value that is not a number, which no survey "
                      "file can hold; they were left out of the file.",
                      "%s: %d 件の測定値に数値でない値があり、ファイルに書けないため除外しました。"),
                   path.string().c_str(), report.nLeftOut);
}

bool IsErrorReading(const CGantrelData& data) {
    if (data.nReceiver < 1 || data.nReceiver > kMaxReceiver) return true;
    for (int i = 0; i < data.nReceiver; ++i)
        if (!(std::fabs(static_cast<double>(data.fResistance[i])) <= kMaxWritableResistance))
            return true;
    return false;
}

std::string FormatReadingRecord(const CGantrelData& data, ReadingForm form, bool bWithDistance) {
    std::string s;
    AppendReadingRecord(s, data, form, bWithDistance);
    return s;
}

std::string FormatResistivityLine(const CGantrelData& data) {
    std::string s;
    AppendResistivityLine(s, data);
    return s;
}

bool ParseMarkerRecord(std::string_view record, CMarkerData& marker) {
    std::string_view t[10];
    const size_t n = SplitTokens(record, t, 10);
    if (n < 5) return false;
    CMarkerData m = marker;
    if (!TokenDouble(t[1], m.dX) || !TokenDouble(t[2], m.dY)) return false;
    if (!ParseRecordTime(t[3], t[4], m.time, m.iMilliSecond)) return false;
    int* fields[4] = {&m.nData, &m.iLineID, &m.iMarkerNumber, &m.iRecordType};
    for (size_t k = 5; k < std::min<size_t>(n, 9); ++k)
        if (!TokenInt(t[k], *fields[k - 5])) break;
    m.fDistance = static_cast<float>(m.dY);
    m.bDistance = 1;
    m.iKind = 1;
    marker = m;
    return true;
}

std::string FormatMarkerRecord(const CMarkerData& marker, MarkerForm form) {
    std::string s;
    AppendMarkerRecord(s, marker, form);
    return s;
}

std::string FormatGPSRecord(const CGPSData& gps) {
    std::string sentence = gps.sSentence;
    if (sentence.empty()) sentence = SynthesizeGGA(gps);
    if (sentence.empty()) return {};
    std::string s = "21 " + sentence + " ";
    AppendRecordTimeDate(s, gps.time, gps.iMilliSecond);
    return s;
}

std::string FormatMappingGPSRecord(const CGPSData& gps, int iLine, bool bLast) {
    std::string s = FormatC("3  %.10f %.10f", gps.dLongitude, gps.dLatitude);
    AppendRecordTimeDate(s, gps.time, gps.iMilliSecond);
    AppendInt(s, bLast ? 6 : 2, 11);
    s.append(11, ' ');
    AppendInt(s, iLine);
    s += "           1   4";
    return s;
}

// ---------------------------------------------------------------------------------------------
// After a read

void CompleteLines(CGantrelSurvey& survey) {
    for (int l = 0; l < survey.nLine; ++l) {
        CGantrelLine& line = survey.Line(l);
        if (line.pData.empty()) {
            if (l == survey.nLine - 1) {
                line.Reset();
                --survey.nLine;
                break;
            }
            continue;
        }
        const std::int64_t t0 = line.pData.front().time;
        const std::int64_t t1 = line.pData.back().time;
        if (line.pMarker.empty()) {
            CMarkerData first, second;
            first.time = t0;
            second.time = t1;
            line.pMarker.push_back(first);
            line.pMarker.push_back(second);
        } else if (line.pMarker.size() == 1) {
            const std::int64_t tm = line.pMarker.front().time;
            if (TimeDistance(tm, t0) >= TimeDistance(t1, tm)) {
                line.pMarker.push_back(line.pMarker.front());
                line.pMarker.front().time = t0;
            } else {
                CMarkerData second;
                second.time = t1;
                line.pMarker.push_back(second);
            }
        }
        line.pMarker.back().iKind = 2;

        const NearestReadingIndex nearest(line);
        for (auto& m : line.pMarker) m.iDataIndex = std::max(nearest.Find(m.time), 0);
        for (auto& g : line.pGPS) g.iDataIndex = std::max(nearest.Find(g.time), 0);
    }
}

// ---------------------------------------------------------------------------------------------
// Survey files

std::filesystem::path GpsEchoPath(const std::filesystem::path& dataFile) {
    return dataFile.parent_path() / "gps.nmea";
}

namespace {
// Asks the system to back a large array about to be filled with huge pages: a million readings
// of half a kilobyte otherwise cost a quarter of a million page faults. A hint only; where it
// is not available or refused nothing changes.
void HintLargeArray(const void* data, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHuge = uintptr_t{1} << 21;
    const auto begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
    const auto end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHuge - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

// Readings and fixes per line of a survey file, counted in a quick pass before the real one so
// every line's reading array is allocated once at its final size (a field file holds a million
// readings of half a kilobyte each; growing the arrays step by step costs more than the
// parsing).
struct LineSize {
    int nData = 0;
    int nGPS = 0;
};

std::vector<LineSize> CountRecordsPerLine(const std::filesystem::path& path) {
    std::vector<LineSize> counts;
    CLineReader in;
    if (!in.Open(path)) return counts;
    in.maxLength = 16;
    std::string text;
    while (in.ReadLine(text)) {
        if (StartsWith(text, "33") && Contains(text, "GOHM")) {
            counts.emplace_back();
        } else if (counts.empty()) {
            continue;
        } else if (StartsWith(text, "30")) {
            counts.back().nData = std::min(counts.back().nData + 1, kMaxDataPerLine);
        } else if (StartsWith(text, "21 $G") && Contains(text, "GGA")) {
            counts.back().nGPS = std::min(counts.back().nGPS + 1, kMaxGPSPerLine);
        }
    }
    return counts;
}

SurveyFileStatus ReadSurveyRecords(CGantrelSurvey& survey, CLineReader& in, int bResistivity,
                                   CTextWriter* pRMC, const std::vector<LineSize>& lineSizes);
}  // namespace

SurveyFileStatus ReadSurveyStream(CGantrelSurvey& survey, CLineReader& in, int bResistivity,
                                  CTextWriter* pRMC) {
    return ReadSurveyRecords(survey, in, bResistivity, pRMC, {});
}

namespace {
SurveyFileStatus ReadSurveyRecords(CGantrelSurvey& survey, CLineReader& in, int bResistivity,
                                   CTextWriter* pRMC, const std::vector<LineSize>& lineSizes) {
    const CRecordTimeBatch batch;
    SurveyFileStatus st;
    size_t iGeometry = 0;  // geometry records met so far: the index into lineSizes
    const size_t savedCut = in.maxLength;
    in.maxLength = kReaderCut;

    std::string text, pending;
    bool bPending = false, bPendingTooLong = false;
    size_t pendingNumber = 0;
    size_t number = 0;
    bool bTooLong = false;
    auto next = [&]() {
        if (bPending) {
            text.swap(pending);
            number = pendingNumber;
            bTooLong = bPendingTooLong;
            bPending = false;
            return true;
        }
        if (!in.ReadLine(text)) return false;
        number = in.LineNumber();
        bTooLong = in.LastLineTooLong() || text.size() > kMaxRecordLength;
        return true;
    };

    CGantrelLine* line = nullptr;
    RecordProblem lineless = RecordProblem::NoLine;  // why records have no line to go to
    int nSinceMarker = 0;
    int lastZone = 0;

    while (next()) {
        const std::string_view rec = text;
        if (bTooLong) {
            if (LooksLikeSurveyRecord(rec)) st.Note(number, RecordProblem::LineTooLong);
            continue;
        }
        if (rec.empty()) continue;

        if (IsGeometryRecord(rec)) {
            GeometryRecord g;
            ++iGeometry;
            if (!ParseGeometryRecord(rec, g)) {
                // The records up to the next geometry record belong to a line whose array is
                // unknown: they are left out rather than given to the line before.
                st.Note(number, RecordProblem::BadGeometry);
                line = nullptr;
                lineless = RecordProblem::NoLine;
                continue;
            }
            line = survey.AddLine();
            if (line == nullptr) {
                st.Note(number, RecordProblem::SurveyFull);
                lineless = RecordProblem::SurveyFull;
                continue;
            }
            g.ApplyTo(*line->pGeometry, line);
            if (iGeometry - 1 < lineSizes.size()) {
                line->pData.reserve(static_cast<size_t>(lineSizes[iGeometry - 1].nData));
                HintLargeArray(line->pData.data(), line->pData.capacity() * sizeof(CGantrelData));
                line->pGPS.reserve(static_cast<size_t>(lineSizes[iGeometry - 1].nGPS));
            }
            nSinceMarker = 0;
            ++st.nRecord;
        } else if (StartsWith(rec, "30")) {
            if (line == nullptr) {
                st.Note(number, lineless);
                continue;
            }
            if (line->nData() >= kMaxDataPerLine) {
                st.Note(number, RecordProblem::LineFull);
                continue;
            }
            CGantrelData& d = *line->AddData();
            RecordProblem problem = RecordProblem::None;
            const int n = ParseReading(rec, d, problem);
            if (n == 0) {
                line->pData.pop_back();
                st.Note(number, problem);
                continue;
            }
            d.iMarkerIndex = std::max(line->nMarker() - 1, 0);
            line->nMaxReceiver = std::max(line->nMaxReceiver, n);
            ComputeResistivity(d, *line->pGeometry);
            ++nSinceMarker;
            ++st.nRecord;
            if (bResistivity == 1) {
                const size_t readingNumber = number;
                if (!next()) {
                    st.Note(readingNumber, RecordProblem::BadResistivityLine);
                    break;
                }
                // A record where the values should be: the values are missing, the record is
                // read as usual.
                if (!bTooLong && LooksLikeSurveyRecord(text)) {
                    st.Note(readingNumber, RecordProblem::BadResistivityLine);
                    pending.swap(text);
                    pendingNumber = number;
                    bPendingTooLong = false;
                    bPending = true;
                    continue;
                }
                if (bTooLong || ParseResistivityLine(text, d) < n)
                    st.Note(number, RecordProblem::BadResistivityLine);
            }
        } else if (rec[0] == '3') {
            if (line == nullptr) {
                st.Note(number, lineless);
                continue;
            }
            if (line->nMarker() >= kMaxMarkerPerLine) {
                st.Note(number, RecordProblem::LineFull);
                continue;
            }
            CMarkerData m;
            if (!ParseMarkerRecord(rec, m)) {
                st.Note(number, RecordProblem::BadMarker);
                continue;
            }
            if (!line->pMarker.empty()) line->pMarker.back().nData = nSinceMarker;
            nSinceMarker = 0;
            *line->AddMarker() = m;
            ++st.nRecord;
        } else if (HasGGA(rec)) {
            if (line == nullptr) {
                st.Note(number, lineless);
                continue;
            }
            if (line->nGPS() >= kMaxGPSPerLine) {
                st.Note(number, RecordProblem::LineFull);
                continue;
            }
            CGPSData& g = *line->AddGPS();
            const int zone = DecodeGGA(g, rec);
            // The sentence decoded must be the GGA sentence itself, or the fix would be written
            // back as a record no reader takes for a fix.
            if (zone >= 1 && zone <= 60 && HasGGA(g.sSentence)) {
                lastZone = zone;
                WriteRMC(g, pRMC);
                ++st.nRecord;
            } else {
                line->pGPS.pop_back();
                if (HasPositionFields(rec)) st.Note(number, RecordProblem::BadGPS);
            }
        }
    }
    in.maxLength = savedCut;

    if (survey.nLine > 0) {
        CompleteLines(survey);
        survey.UpdateBoundingBox();
        bool bAll = true, bAny = false;
        for (int l = 0; l < survey.nLine && bAll; ++l)
            for (const auto& d : survey.Line(l).pData) {
                bAny = true;
                if (d.bDistance != 1) {
                    bAll = false;
                    break;
                }
            }
        if (bAll && bAny) {
            survey.bMarkerDistance = 1;
            survey.UpdateRanges();
        }
        // Each line keeps the bUse of its geometry record (1 when the record has none): a line
        // the user excluded stays excluded through a save and a reopen.
    }
    StoreLastZone(st, lastZone);
    st.nLine = survey.nLine;
    return st;
}
}  // namespace

SurveyFileStatus ReadSurveyFile(CGantrelSurvey& survey, const std::filesystem::path& path) {
    CLineReader in;
    if (!in.Open(path)) {
        SurveyFileStatus st;
        st.path = path;
        st.bOpened = false;
        st.nLine = 0;
        return st;
    }
    // The echo holds the fixes of the last survey file read; a folder that refuses it does not
    // stop the read, and it never replaces the file being read (or another input).
    const std::vector<std::filesystem::path> self{path};
    const CSideFileGuard guard(self);
    CTextWriter echo;
    const std::filesystem::path echoPath = GpsEchoPath(path);
    const bool bRefused = !GuardedInputAt(echoPath).empty();
    if (bRefused)
        NoteSideFileRefusal(echoPath);
    else
        echo.OpenReplacing(echoPath);
    SurveyFileStatus st = ReadSurveyRecords(survey, in, 0, echo.IsOpen() ? &echo : nullptr,
                                            CountRecordsPerLine(path));
    echo.Close();
    st.path = path;
    st.bEchoRefused = bRefused;
    return st;
}

int ReadSurveyFile(CGantrelSurvey& survey, const std::filesystem::path& path, CPrompter& prompter,
                   SurveyFileStatus* status) {
    const SurveyFileStatus st = ReadSurveyFile(survey, path);
    ReportSurveyFileStatus(st, prompter);
    if (status != nullptr) *status = st;
    return st.nLine;
}

bool WriteSurveyLine(const CGantrelLine& line, CTextWriter& out, int bWithDistance,
                     int bZeroStatus, int* pLeftOut) {
    const CRecordTimeBatch batch;
    const ReadingForm form = bZeroStatus == 1 ? ReadingForm::ZeroStatus : ReadingForm::WithStatus;
    std::string buf;
    buf.reserve(std::min(kWriteChunk + 4096, 512 + line.pData.size() * 200 +
                                                 (line.pMarker.size() + line.pGPS.size()) * 128));
    AppendGeometryRecord(buf, *line.pGeometry, GeometryForm::Processing, line.bUse,
                         line.bReceiverUse);
    buf.push_back('\n');

    const int nData = line.nData();
    const int nSlot = std::max(nData, 1);
    const size_t nMarkerBefore = line.pMarker.empty() ? 0 : line.pMarker.size() - 1;
    const ReadingBuckets markers(line.pMarker, nMarkerBefore, nSlot);
    const ReadingBuckets fixes(line.pGPS, line.pGPS.size(), nSlot);
    for (int s = 0; s < nSlot; ++s) {
        const auto su = static_cast<size_t>(s);
        for (int k = markers.start[su]; k < markers.start[su + 1]; ++k) {
            AppendMarkerRecord(
                buf, line.pMarker[static_cast<size_t>(markers.order[static_cast<size_t>(k)])],
                MarkerForm::Survey);
            buf.push_back('\n');
        }
        for (int k = fixes.start[su]; k < fixes.start[su + 1]; ++k) {
            const std::string rec = FormatGPSRecord(
                line.pGPS[static_cast<size_t>(fixes.order[static_cast<size_t>(k)])]);
            if (rec.empty()) continue;
            buf += rec;
            buf.push_back('\n');
        }
        if (s < nData) {
            const CGantrelData& d = line.pData[su];
            if (!IsUnwritableReading(d)) {
                AppendReadingRecord(buf, d, form, bWithDistance == 1, false);
                buf.push_back('\n');
                AppendResistivityLine(buf, d);
                buf.push_back('\n');
            } else if (pLeftOut != nullptr) {
                ++*pLeftOut;
            }
        }
        if (buf.size() >= kWriteChunk) {
            out.Write(buf);
            buf.clear();
        }
    }
    if (!line.pMarker.empty()) {
        AppendMarkerRecord(buf, line.pMarker.back(), MarkerForm::Survey);
        buf.push_back('\n');
    }
    out.Write(buf);
    return out.Good();
}

// ---------------------------------------------------------------------------------------------
// Mapping files

namespace {
// Appends a mapping-file reading to the current line, or notes why it cannot be taken (no line
// yet, or the line is full).
void AppendMappingReading(CGantrelLine* line, const CGantrelData& d, size_t number,
                          RecordProblem lineless, SurveyFileStatus& st) {
    if (line == nullptr) {
        st.Note(number, lineless);
        return;
    }
    if (line->nData() >= kMaxDataPerLine) {
        st.Note(number, RecordProblem::LineFull);
        return;
    }
    CGantrelData& added = *line->AddData();
    added = d;
    added.iMarkerIndex = std::max(line->nMarker() - 1, 0);
    line->nMaxReceiver = std::max(line->nMaxReceiver, d.nReceiver);
    ++st.nRecord;
}
}  // namespace

SurveyFileStatus ReadMappingRecords(CGantrelSurvey& survey, std::span<const std::string> lines,
                                    int bGPS) {
    const CRecordTimeBatch batch;
    SurveyFileStatus st;
    st.nGiven = static_cast<int>(lines.size());
    auto view = [&](size_t k) { return StripLineEnd(lines[k]); };

    // Pass one: the geometry records, whose times start the lines, in the order the writer
    // produced them.
    std::vector<GeometryRecord> lineGeometry;
    for (size_t k = lines.size(); k-- > 0;) {
        const std::string_view rec = view(k);
        GeometryRecord g;
        if (rec.size() <= kMaxRecordLength && IsGeometryRecord(rec) && ParseGeometryRecord(rec, g))
            lineGeometry.push_back(g);
    }

    // Pass two.
    const int nLineBefore = survey.nLine;
    int iCurrent = survey.nLine;  // index of the current line
    CGantrelLine* line = nullptr;
    RecordProblem lineless = RecordProblem::NoLine;
    CGantrelGeometry scratch;
    auto startLine = [&]() {
        line = survey.AddLine();
        if (line == nullptr) {
            lineless = RecordProblem::SurveyFull;
            return false;
        }
        line->iFileIndex = 0;
        iCurrent = survey.nLine - 1;
        // Lines of a GPS file carry no markers, which is where the array is otherwise taken
        // from: the k-th line of the file takes the k-th geometry record, the one whose time
        // started it. (Its record is written next to the line's last fix, which may lie
        // before the line's first reading.)
        const auto k = static_cast<size_t>(iCurrent - nLineBefore);
        if (bGPS == 1 && k < lineGeometry.size())
            lineGeometry[k].ApplyTo(*line->pGeometry, nullptr);
        return true;
    };
    // GPS mode: a record not earlier than the start of the next line of the file starts it.
    auto followLineStarts = [&](std::int64_t t) {
        const int iRelative = iCurrent - nLineBefore;
        if (bGPS == 1 && line != nullptr && iRelative >= 0 &&
            static_cast<size_t>(iRelative) + 1 < lineGeometry.size() &&
            t >= lineGeometry[static_cast<size_t>(iRelative) + 1].time)
            startLine();
    };
    auto appendMarker = [&](std::string_view rec, size_t number) {
        CMarkerData m;
        if (!ParseMarkerRecord(rec, m)) {
            st.Note(number, RecordProblem::BadMarker);
            return;
        }
        if (m.iMarkerNumber == 0 && !startLine()) {
            st.Note(number, lineless);
            return;
        }
        if (line == nullptr) {
            st.Note(number, lineless);
            return;
        }
        *line->pGeometry = scratch;
        if (line->nMarker() >= kMaxMarkerPerLine) {
            st.Note(number, RecordProblem::LineFull);
            return;
        }
        *line->AddMarker() = m;
        ++st.nRecord;
    };
    auto appendReading = [&](const CGantrelData& d, size_t number) {
        AppendMappingReading(line, d, number, lineless, st);
    };

    for (size_t k = lines.size(); k-- > 0;) {
        const size_t number = k + 1;
        const std::string_view rec = view(k);
        if (bGPS == 1 && iCurrent >= survey.nLine) startLine();
        if (rec.size() > kMaxRecordLength) {
            if (LooksLikeMappingRecord(rec)) st.Note(number, RecordProblem::LineTooLong);
            continue;
        }
        if (rec.empty()) continue;

        if (IsGeometryRecord(rec)) {
            GeometryRecord g;
            if (!ParseGeometryRecord(rec, g)) {
                st.Note(number, RecordProblem::BadGeometry);
                continue;
            }
            g.ApplyTo(scratch, nullptr);
            ++st.nRecord;
        } else if (StartsWith(rec, "30")) {
            CGantrelData d;
            RecordProblem problem = RecordProblem::None;
            if (ParseReading(rec, d, problem) == 0) {
                st.Note(number, problem);
                continue;
            }
            followLineStarts(d.time);
            appendReading(d, number);
        } else if (rec[0] == '3') {
            if (bGPS != 1) {
                appendMarker(rec, number);
                continue;
            }
            CGPSData g;
            ParseMappingGPS(g, rec, iCurrent - nLineBefore);
            if (g.iUTMZone < 1 || g.iUTMZone > 60) {
                st.Note(number, RecordProblem::BadGPS);
                continue;
            }
            // A fix tied to the first reading of a line is written before that reading; its
            // time tells the line as a reading's does.
            followLineStarts(g.time);
            if (line == nullptr) {
                st.Note(number, lineless);
                continue;
            }
            if (line->nGPS() >= kMaxGPSPerLine) {
                st.Note(number, RecordProblem::LineFull);
                continue;
            }
            *line->AddGPS() = g;
            ++st.nRecord;
        } else if (rec[0] == '6') {
            appendMarker(rec, number);
        } else if (rec[0] == '0') {
            CGantrelData d;
            if (ParseOldReadingRecord(rec, d) == 0) {
                st.Note(number, RecordProblem::BadReading);
                continue;
            }
            appendReading(d, number);
        }
    }

    CompleteLines(survey);
    for (int l = 0; l < survey.nLine; ++l) {
        CGantrelLine& ln = survey.Line(l);
        for (auto& d : ln.pData) ComputeResistivity(d, *ln.pGeometry);
    }
    survey.UpdateBoundingBox();
    st.nLine = survey.nLine;
    return st;
}

int ReadMappingRecords(CGantrelSurvey& survey, std::span<const std::string> lines, int bGPS,
                       CPrompter& prompter) {
    prompter.Message(FormatC(Tr("Number of data (resistivity, marker and GPS) = %d",
                                "データ数（比抵抗・マーカー・GPS） = %d"),
                             static_cast<int>(lines.size())));
    const SurveyFileStatus st = ReadMappingRecords(survey, lines, bGPS);
    ReportSurveyFileStatus(st, prompter);
    return st.nLine;
}

SurveyFileStatus ReadRawMappingRecords(CGantrelSurvey& survey, std::span<const std::string> lines) {
    const CRecordTimeBatch batch;
    SurveyFileStatus st;
    st.bRawVariant = true;
    st.nGiven = static_cast<int>(lines.size());
    CGantrelGeometry scratch;
    CGantrelLine* line = nullptr;
    RecordProblem lineless = RecordProblem::NoLine;

    for (size_t k = lines.size(); k-- > 0;) {
        const size_t number = k + 1;
        const std::string_view rec = StripLineEnd(lines[k]);
        if (rec.size() > kMaxRecordLength) {
            if (LooksLikeMappingRecord(rec)) st.Note(number, RecordProblem::LineTooLong);
            continue;
        }
        if (StartsWith(rec, "33")) {
            GeometryRecord g;
            if (!ParseGeometryRecord(rec, g)) {
                st.Note(number, RecordProblem::BadGeometry);
                continue;
            }
            g.ApplyTo(scratch, nullptr);
            ++st.nRecord;
        } else if (!rec.empty() && (rec[0] == '3' || rec[0] == '6')) {
            CMarkerData m;
            if (!ParseMarkerRecord(rec, m)) {
                st.Note(number, RecordProblem::BadMarker);
                continue;
            }
            if (m.iMarkerNumber == 0) {
                line = survey.AddLine();
                if (line == nullptr)
                    lineless = RecordProblem::SurveyFull;
                else
                    line->iFileIndex = 0;
            }
            if (line == nullptr) {
                st.Note(number, lineless);
                continue;
            }
            *line->pGeometry = scratch;
            if (line->nMarker() >= kMaxMarkerPerLine) {
                st.Note(number, RecordProblem::LineFull);
                continue;
            }
            *line->AddMarker() = m;
            ++st.nRecord;
        } else if (StartsWith(rec, "21")) {
            if (rec.size() > 3 && rec[3] == '$') continue;  // a sentence: not used here
            CGantrelData d;
            if (ParseRawRecord(rec, d) == 0) {
                st.Note(number, RecordProblem::BadReading);
                continue;
            }
            AppendMappingReading(line, d, number, lineless, st);
        }
    }

    // Markers need their readings like after any other read; the views rely on two markers.
    CompleteLines(survey);
    for (int l = 0; l < survey.nLine; ++l) {
        CGantrelLine& ln = survey.Line(l);
        for (auto& d : ln.pData) ComputeResistivity(d, *ln.pGeometry);
    }
    survey.UpdateBoundingBox();
    st.nLine = survey.nLine;
    return st;
}

namespace {
struct MappingFileLines {
    bool bOpened = false;
    std::vector<std::string> lines;
    int nUnread = 0;
};

MappingFileLines LoadMappingFile(const std::filesystem::path& path) {
    MappingFileLines f;
    CLineReader in;
    if (!in.Open(path)) return f;
    f.bOpened = true;
    in.maxLength = kReaderCut;
    std::string text;
    while (in.ReadLine(text)) {
        if (f.lines.size() >= static_cast<size_t>(kMaxMappingFileLines)) {
            ++f.nUnread;
            continue;
        }
        // An overlong line keeps its first kReaderCut characters, which marks it as overlong.
        if (in.LastLineTooLong() && text.size() <= kMaxRecordLength) text.resize(kReaderCut, ' ');
        f.lines.push_back(text);
    }
    return f;
}

bool HeaderSaysGPS(const std::vector<std::string>& lines) {
    if (lines.empty()) return false;
    std::string_view t[2];
    int mode = 0;
    return SplitTokens(lines.front(), t, 2) == 2 && TokenInt(t[1], mode) && mode == 1;
}

bool HasRawRecords(const std::vector<std::string>& lines) {
    return std::any_of(lines.begin(), lines.end(),
                       [](const std::string& s) { return StartsWith(s, "21"); });
}

SurveyFileStatus ReadLoadedMappingFile(CGantrelSurvey& survey, const std::filesystem::path& path,
                                       const MappingFileLines& f) {
    SurveyFileStatus st;
    if (!f.bOpened) {
        st.bOpened = false;
    } else if (HasRawRecords(f.lines)) {
        st = ReadRawMappingRecords(survey, f.lines);
    } else {
        st = ReadMappingRecords(survey, f.lines, HeaderSaysGPS(f.lines) ? 1 : 0);
    }
    st.path = path;
    st.nUnread = f.nUnread;
    if (!f.bOpened) st.nLine = 0;
    return st;
}
}  // namespace

SurveyFileStatus ReadMappingFile(CGantrelSurvey& survey, const std::filesystem::path& path) {
    return ReadLoadedMappingFile(survey, path, LoadMappingFile(path));
}

int ReadMappingFile(CGantrelSurvey& survey, const std::filesystem::path& path,
                    CPrompter& prompter, SurveyFileStatus* status) {
    const MappingFileLines f = LoadMappingFile(path);
    if (f.bOpened && !HasRawRecords(f.lines)) {
        prompter.Message(FormatC(Tr("Number of data (resistivity, marker and GPS) = %d",
                                    "データ数（比抵抗・マーカー・GPS） = %d"),
                                 static_cast<int>(f.lines.size())));
    }
    const SurveyFileStatus st = ReadLoadedMappingFile(survey, path, f);
    ReportSurveyFileStatus(st, prompter);
    if (status != nullptr) *status = st;
    return st.nLine;
}

namespace {
SurveySaveReport WriteMapping(CGantrelSurvey& survey, const std::filesystem::path& path) {
    SurveySaveReport report;
    CTextWriter out;
    if (!out.OpenReplacing(path)) {
        report.save = out.Result();
        return report;
    }
    const CRecordTimeBatch batch;

    bool bAnyGPS = false;
    for (int l = 0; l < survey.nLine; ++l) {
        CGantrelLine& line = survey.Line(l);
        bAnyGPS = bAnyGPS || !line.pGPS.empty();
        for (auto& m : line.pMarker) {
            m.dX = 10.0 * l;
            m.iRecordType = 4;
        }
    }
    out.Write(bAnyGPS ? "99 1 1 1\n" : "99 0 0 1\n");

    // Records in the order of writing, then handed out from the last to the first.
    std::string records;
    std::vector<size_t> ends;
    auto close = [&]() { ends.push_back(records.size()); };
    for (int l = 0; l < survey.nLine; ++l) {
        const CGantrelLine& line = survey.Line(l);
        const bool bFixes = !line.pGPS.empty();
        const int nData = line.nData();
        const int nSlot = std::max(nData, 1);
        const size_t nMarkerBefore = bFixes || line.pMarker.empty() ? 0 : line.pMarker.size() - 1;
        const ReadingBuckets markers(line.pMarker, nMarkerBefore, nSlot);
        const ReadingBuckets fixes(line.pGPS, line.pGPS.size(), nSlot);
        for (int s = 0; s < nSlot; ++s) {
            const auto su = static_cast<size_t>(s);
            for (int k = markers.start[su]; k < markers.start[su + 1]; ++k) {
                AppendMarkerRecord(
                    records,
                    line.pMarker[static_cast<size_t>(markers.order[static_cast<size_t>(k)])],
                    MarkerForm::Mapping);
                close();
            }
            for (int k = fixes.start[su]; k < fixes.start[su + 1]; ++k) {
                const auto f = static_cast<size_t>(fixes.order[static_cast<size_t>(k)]);
                const bool bLast = f + 1 == line.pGPS.size();
                if (bLast) {
                    AppendGeometryRecord(records, *line.pGeometry, GeometryForm::Mapping, 1,
                                         nullptr);
                    close();
                }
                records += FormatMappingGPSRecord(line.pGPS[f], l, bLast);
                close();
            }
            if (s < nData) {
                if (IsErrorReading(line.pData[su])) ++report.nLeftOut;
                AppendReadingRecord(records, line.pData[su], ReadingForm::ZeroStatus, false);
                close();
            }
        }
        if (!bFixes) {
            AppendGeometryRecord(records, *line.pGeometry, GeometryForm::Mapping, 1, nullptr);
            close();
            if (!line.pMarker.empty()) {
                AppendMarkerRecord(records, line.pMarker.back(), MarkerForm::Mapping);
                close();
            }
        }
    }

    std::string chunk;
    chunk.reserve(std::min(kWriteChunk + 4096, records.size() + ends.size()));
    for (size_t r = ends.size(); r-- > 0;) {
        const size_t begin = r == 0 ? 0 : ends[r - 1];
        chunk.append(records, begin, ends[r] - begin);
        chunk.push_back('\n');
        if (chunk.size() >= kWriteChunk) {
            out.Write(chunk);
            chunk.clear();
        }
    }
    out.Write(chunk);
    out.Close();
    report.save = out.Result();
    return report;
}
}  // namespace

bool WriteMappingFile(CGantrelSurvey& survey, const std::filesystem::path& path,
                      SurveySaveReport* report) {
    const SurveySaveReport r = WriteMapping(survey, path);
    if (report != nullptr) *report = r;
    return r.save.ok();
}

bool WriteMappingFile(CGantrelSurvey& survey, const std::filesystem::path& path,
                      CPrompter& prompter) {
    const SurveySaveReport r = WriteMapping(survey, path);
    if (r.ok()) return true;
    prompter.Message(SurveySaveMessage(r, path, true));
    return false;
}
