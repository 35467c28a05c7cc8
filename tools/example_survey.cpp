#include "tools/example_survey.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <system_error>

#include "common/resistivity.h"
#include "common/text_format.h"
#include "common/utm.h"

namespace fs = std::filesystem;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::int64_t kMsPerDay = 86400000;

// ---------------------------------------------------------------------------------------------
// Random numbers: SplitMix64 to derive seeds, xorshift64* for the streams. Uniform variates
// take the top 53 bits, so every platform draws the same values.

std::uint64_t SplitMix64(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

class CRandom {
public:
    CRandom(std::uint64_t seed, std::uint64_t line, std::uint64_t purpose) {
        std::uint64_t s = seed;
        s = SplitMix64(s) ^ (line * 0xD1B54A32D192ED03ull);
        s = SplitMix64(s) ^ (purpose * 0xABC98388FB8FAC03ull);
        state_ = SplitMix64(s);
        if (state_ == 0) state_ = 0x2545F4914F6CDD1Dull;  // xorshift's one forbidden state
    }
    std::uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    // [0, 1)
    double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // 0..n-1 for n >= 1
    int Below(int n) { return static_cast<int>(Uniform() * n); }
    // lo..hi inclusive
    int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
    // Standard normal by Box-Muller (the second variate is dropped to keep draws in step).
    double Normal() {
        const double u1 = 1.0 - Uniform();  // (0, 1]
        const double u2 = Uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
    }

private:
    std::uint64_t state_;
};

// Independent streams of one line, so that e.g. a wider GPS interval leaves the readings alone.
enum StreamPurpose : std::uint64_t { kAnomalies = 1, kReadings, kMarkers, kGPS };

// ---------------------------------------------------------------------------------------------
// Local clock: milliseconds since 2000-01-01 00:00 local time, broken down by the civil
// calendar alone (the survey's own clock, so the bytes do not depend on the machine's zone).

std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = static_cast<int>(z - era * 146097);
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400) + (m <= 2 ? 1 : 0);
}

const std::int64_t kClockEpochDays = DaysFromCivil(2000, 1, 1);

std::int64_t ClockMs(int year, int month, int day, int hour, int minute) {
    return (DaysFromCivil(year, month, day) - kClockEpochDays) * kMsPerDay +
           (static_cast<std::int64_t>(hour) * 60 + minute) * 60000;
}

struct Clock {
    int y, mo, d, h, mi, s, ms;
};

Clock BreakDown(std::int64_t ms) {
    Clock c{};
    std::int64_t day = ms / kMsPerDay;
    std::int64_t rest = ms % kMsPerDay;
    if (rest < 0) {
        rest += kMsPerDay;
        --day;
    }
    CivilFromDays(day + kClockEpochDays, c.y, c.mo, c.d);
    c.h = static_cast<int>(rest / 3600000);
    c.mi = static_cast<int>(rest / 60000 % 60);
    c.s = static_cast<int>(rest / 1000 % 60);
    c.ms = static_cast<int>(rest % 1000);
    return c;
}

// The time and date fields of every record: " hh:mm:ss.hh mm/dd/yy".
void AppendTimeDate(std::string& out, std::int64_t ms) {
    const Clock c = BreakDown(ms);
    out += FormatC(" %.2d:%.2d:%.2d.%.2d %.2d/%.2d/%.2d", c.h, c.mi, c.s, c.ms / 10, c.mo, c.d,
                   c.y - 2000);
}

// ---------------------------------------------------------------------------------------------
// NMEA

// "ddmm.mmmmm" (width 2 for latitude, 3 for longitude) rounded once, so 59.999999 minutes
// never prints as 60.
std::string DegreesMinutes(double degrees, int width) {
    const long long units = std::llround(std::fabs(degrees) * 60.0 * 100000.0);
    const long long whole = units / 6000000;
    const double minutes = static_cast<double>(units % 6000000) / 100000.0;
    return FormatC("%0*lld%08.5f", width, whole, minutes);
}

std::string GGASentence(const Clock& utc, double latitude, double longitude, double altitude) {
    const std::string body =
        FormatC("GPGGA,%02d%02d%02d.00,%s,%c,%s,%c,1,09,0.9,%.1f,M,39.5,M,,", utc.h, utc.mi, utc.s,
                DegreesMinutes(latitude, 2).c_str(), latitude < 0 ? 'S' : 'N',
                DegreesMinutes(longitude, 3).c_str(), longitude < 0 ? 'W' : 'E', altitude);
    unsigned sum = 0;
    for (char ch : body) sum ^= static_cast<unsigned char>(ch);
    return FormatC("$%s*%02X", body.c_str(), sum & 0xFFu);
}

// ---------------------------------------------------------------------------------------------
// The walk along a line: the station reached tau seconds after START. The speed wobbles by
// +-15 % around its mean about every 150 s, but START and END fall exactly on the first and
// last station, where the operator presses the buttons.

constexpr double kSpeedWobble = 0.15;

struct Walk {
    double dLength;    // m
    double dDuration;  // s
    int nWobble;
    double Station(double tau) const {
        const double u = std::clamp(tau / dDuration, 0.0, 1.0);
        const double w = 2.0 * kPi * nWobble;
        return dLength * (u + kSpeedWobble * std::sin(w * u) / w);
    }
    // Time at which the station s is reached (the walk is strictly monotone).
    double TimeAt(double s) const {
        double lo = 0.0, hi = dDuration;
        for (int k = 0; k < 60; ++k) {
            const double mid = 0.5 * (lo + hi);
            (Station(mid) < s ? lo : hi) = mid;
        }
        return 0.5 * (lo + hi);
    }
};

Walk MakeWalk(const ExampleLinePlan& plan) {
    const double duration = static_cast<double>(plan.iDurationMs) / 1000.0;
    return Walk{plan.dLength, duration,
                std::max(1, static_cast<int>(std::lround(duration / 150.0)))};
}

// Readings arrive at the middle of their interval, within a tenth of it.
std::int64_t ReadingIntervalMs(const ExampleSurveyOptions& o) {
    return 1000 / o.nReadingPerSecond;
}
// A GGA sentence reaches the computer this long after its whole second (plus up to 40 ms).
constexpr std::int64_t kGPSLatencyMs = 250;
constexpr std::int64_t kGPSJitterMs = 40;

std::int64_t LineStartMs(const ExampleSurveyOptions& o, const ExampleLinePlan& plan, int k) {
    return ClockMs(o.iYear, o.iMonth, o.iDay, o.iHour, o.iMinute) +
           static_cast<std::int64_t>(k) * (plan.iDurationMs + o.iTurnSeconds * 1000LL);
}

// ---------------------------------------------------------------------------------------------
// One line

struct ValueKey {
    int i, j;
};

bool Near(const std::vector<ValueKey>& taken, int i, int j) {
    return std::any_of(taken.begin(), taken.end(),
                       [&](const ValueKey& t) { return t.j == j && std::abs(t.i - i) <= 2; });
}

// Distinct values away from the line's ends and from each other, so each stands out against
// its neighbours on the same receiver. A short line may get fewer than asked for.
std::vector<ExampleValue> PickValues(CRandom& rng, int count, int nReading, int nReceiver,
                                     std::vector<ValueKey>& taken) {
    std::vector<ExampleValue> picked;
    if (nReading < 5) return picked;
    for (int attempt = 0; attempt < 1000 && static_cast<int>(picked.size()) < count; ++attempt) {
        const int i = rng.Between(2, nReading - 3);
        const int j = rng.Below(nReceiver);
        if (Near(taken, i, j)) continue;
        taken.push_back({i, j});
        picked.push_back({i, j});
    }
    std::sort(picked.begin(), picked.end(), [](const ExampleValue& a, const ExampleValue& b) {
        return a.iReading != b.iReading ? a.iReading < b.iReading : a.iReceiver < b.iReceiver;
    });
    return picked;
}

bool Contains(const std::vector<ExampleValue>& values, int i, int j) {
    return std::any_of(values.begin(), values.end(),
                       [&](const ExampleValue& v) { return v.iReading == i && v.iReceiver == j; });
}

// Per receiver: the forward model's four distances and the apparent resistivity that V/I = 1
// gives in the processing program, whose inverse turns the modelled resistivity into V/I.
struct ReceiverSetup {
    std::array<float, 4> r{};
    double dRho1 = 1.0;
    float fBehind = 0.0f;
};

std::array<ReceiverSetup, kMaxReceiver> SetupReceivers(const ExampleSurveyOptions& o) {
    std::array<ReceiverSetup, kMaxReceiver> setup{};
    CGantrelGeometry g = o.geometry;
    g.pReceiverFactor = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f};  // the logging program has none
    CGantrelData unit;
    unit.nReceiver = o.nReceiver;
    for (int j = 0; j < o.nReceiver; ++j) unit.fResistance[j] = 1.0f;
    ComputeResistivity(unit, g);

    // Electrode positions of the towed array: transmitter dipole, then receiver dipoles behind
    // it, as the different-size computation lays them out (it does for equal sizes too).
    CGantrelGeometry layout = g;
    layout.bDifferentSize = 1;
    CGantrelData positions;
    positions.nReceiver = o.nReceiver;
    ComputeResistivity(positions, layout);

    for (int j = 0; j < o.nReceiver; ++j) {
        const FourElectrodeGeometry& e = positions.electrode[j];
        setup[j].r = {e.fAN, e.fAM, e.fBN, e.fBM};
        setup[j].dRho1 = unit.fResistivity[j];
        setup[j].fBehind = ValueOffsetBehindOperator(g, o.nReceiver, j);
    }
    return setup;
}

class CLineWriter {
public:
    CLineWriter(const ExampleSurveyOptions& o, const ExampleLinePlan& plan, int k)
        : o_(o),
          plan_(plan),
          k_(k),
          walk_(MakeWalk(plan)),
          setup_(SetupReceivers(o)),
          t0_(LineStartMs(o, plan, k)) {
        report_.nReading = plan.nReading;
        report_.bForward = k % 2 == 0;
        report_.dX = static_cast<double>(o.fLineSpacing) * k;
        const double b = o.dBearing * kPi / 180.0;
        along_ = {std::sin(b), std::cos(b)};
        across_ = {std::cos(b), -std::sin(b)};
        iZone_ = ToUTM(o.dLatitude, o.dLongitude, dEasting0_, dNorthing0_);
        bSouth_ = o.dLatitude < 0.0;
    }

    ExampleLineReport Write(const fs::path& path, std::string& sError) {
        report_.path = path;
        CRandom anomalies(o_.iSeed, static_cast<std::uint64_t>(k_), kAnomalies);
        std::vector<ValueKey> taken;
        report_.spike =
            PickValues(anomalies, o_.nSpikePerLine, plan_.nReading, o_.nReceiver, taken);
        report_.invalid =
            PickValues(anomalies, o_.nInvalidPerLine, plan_.nReading, o_.nReceiver, taken);
        if (o_.bLevelChange && k_ % 2 == 1 && o_.iChangedLevel != o_.iCurrentLevel)
            report_.iLevelChangeReading = plan_.nReading * 11 / 20;

        CTextWriter out;
        if (!out.Open(path)) {
            sError = "Cannot open the file " + path.string();
            return report_;
        }
        std::string buf;
        buf.reserve(1 << 20);
        GeometryRecord(buf);
        MarkerRecord(buf, t0_, 0);

        const std::vector<std::int64_t> marks = MarkTimes();
        CRandom readings(o_.iSeed, static_cast<std::uint64_t>(k_), kReadings);
        CRandom gps(o_.iSeed, static_cast<std::uint64_t>(k_), kGPS);
        std::size_t iMark = 0;
        int iFix = 0;
        std::int64_t fixAt = NextFixTime(gps, 0);
        const std::int64_t interval = ReadingIntervalMs(o_);
        for (int i = 0; i < plan_.nReading; ++i) {
            const std::int64_t jitter = interval / 10;
            const std::int64_t at =
                t0_ + i * interval + interval / 2 +
                readings.Between(static_cast<int>(-jitter), static_cast<int>(jitter));
            // Records go to the file in the order they arrive; a MARK pressed at the same
            // millisecond as a reading comes first.
            while (true) {
                const std::int64_t markAt = iMark < marks.size() ? marks[iMark] : INT64_MAX;
                const std::int64_t gpsAt = iFix < plan_.nFix ? fixAt : INT64_MAX;
                if (markAt <= at && markAt <= gpsAt) {
                    MarkerRecord(buf, markAt, static_cast<int>(iMark) + 1);
                    ++iMark;
                } else if (gpsAt <= at) {
                    GPSRecord(buf, gps, iFix, fixAt);
                    if (++iFix < plan_.nFix) fixAt = NextFixTime(gps, iFix);
                } else {
                    break;
                }
            }
            ReadingRecord(buf, readings, i, at);
            if (buf.size() > (1u << 20) - 512) {
                out.Write(buf);
                buf.clear();
            }
        }
        for (; iMark < marks.size(); ++iMark)
            MarkerRecord(buf, marks[iMark], static_cast<int>(iMark) + 1);
        for (; iFix < plan_.nFix;) {
            GPSRecord(buf, gps, iFix, fixAt);
            if (++iFix < plan_.nFix) fixAt = NextFixTime(gps, iFix);
        }
        MarkerRecord(buf, t0_ + plan_.iDurationMs, plan_.nMarker - 1);
        out.Write(buf);
        if (!out.Close()) {
            sError = "Cannot write the file " + path.string();
            return report_;
        }
        report_.nMarker = plan_.nMarker;
        report_.nFix = plan_.nFix;
        std::error_code ec;
        report_.nByte = fs::file_size(path, ec);
        return report_;
    }

private:
    void GeometryRecord(std::string& buf) const {
        const CGantrelGeometry& g = o_.geometry;
        buf += FormatC("33  GOHM %10.3f %10.3f %10.3f %10.3f", g.fOffset, g.fTransmitterDipole,
                       g.fRopeLength, g.fReceiverDipole);
        AppendTimeDate(buf, t0_);
        buf += " 1 \n";
    }

    // The logging program's markers carry no coordinates; k is also the session's line ID.
    void MarkerRecord(std::string& buf, std::int64_t at, int number) const {
        buf += FormatC("3 %12.2f %12.2f ", 0.0, 0.0);
        AppendTimeDate(buf, at);
        buf += FormatC("%10d %11d %11d 5\n", 0, k_, number);
    }

    // MARK presses: the operator reaches each intermediate station and presses within 0.2 s.
    std::vector<std::int64_t> MarkTimes() const {
        CRandom rng(o_.iSeed, static_cast<std::uint64_t>(k_), kMarkers);
        std::vector<std::int64_t> times;
        for (int m = 1; m < plan_.nMarker - 1; ++m) {
            const double tau = walk_.TimeAt(m * plan_.dMarkerSpacing);
            times.push_back(t0_ + std::llround(tau * 1000.0) + rng.Between(0, 200));
        }
        return times;
    }

    std::int64_t NextFixTime(CRandom& rng, int q) const {
        return t0_ + static_cast<std::int64_t>(q) * plan_.iGPSInterval * 1000 + kGPSLatencyMs +
               rng.Between(0, static_cast<int>(kGPSJitterMs));
    }

    // Plan position of station s of this line.
    void PlanPoint(double s, double& x, double& y) const {
        x = report_.dX;
        y = report_.bForward ? s : plan_.dLength - s;
    }

    // Fix q, received by the computer at `received` (the time the record carries).
    void GPSRecord(std::string& buf, CRandom& rng, int q, std::int64_t received) {
        // The fix belongs to its whole second; the antenna rides with the operator. The error
        // drifts slowly (a random walk pulled back to zero) with a little white noise on top.
        const std::int64_t second = t0_ + static_cast<std::int64_t>(q) * plan_.iGPSInterval * 1000;
        const double sigma = o_.fGPSNoise;
        driftE_ = 0.95 * driftE_ + 0.25 * sigma * rng.Normal();
        driftN_ = 0.95 * driftN_ + 0.25 * sigma * rng.Normal();
        const double noiseE = driftE_ + 0.3 * sigma * rng.Normal();
        const double noiseN = driftN_ + 0.3 * sigma * rng.Normal();
        const double altitude = o_.fAltitude + 0.3 * rng.Normal();

        double x = 0, y = 0;
        PlanPoint(walk_.Station(static_cast<double>(second - t0_) / 1000.0), x, y);
        const double e = dEasting0_ + x * across_[0] + y * along_[0] + noiseE;
        const double n = dNorthing0_ + x * across_[1] + y * along_[1] + noiseN;
        double latitude = 0, longitude = 0;
        FromUTM(iZone_, e, n, bSouth_, latitude, longitude);
        const Clock utc = BreakDown(second - o_.iUTCOffsetMinutes * 60000LL);

        buf += "21 ";
        buf += GGASentence(utc, latitude, longitude, altitude);
        buf += ' ';
        AppendTimeDate(buf, received);
        buf += '\n';
    }

    void ReadingRecord(std::string& buf, CRandom& rng, int i, std::int64_t at) const {
        const double s = walk_.Station(static_cast<double>(at - t0_) / 1000.0);
        const bool changed = report_.iLevelChangeReading >= 0 && i >= report_.iLevelChangeReading;
        const int level = changed ? o_.iChangedLevel : o_.iCurrentLevel;
        // The console's V/I scales inversely with the transmitter current of its level.
        const double levelScale = static_cast<double>(kCurrentLevelTable[o_.iCurrentLevel]) /
                                  static_cast<double>(kCurrentLevelTable[level]);
        buf += FormatC("30 %d", o_.nReceiver);
        for (int j = 0; j < o_.nReceiver; ++j) {
            double x = 0, y = 0;
            PlanPoint(s - setup_[j].fBehind, x, y);
            const LayerModel model = o_.earth.ModelAt(x, y, plan_.dLength);
            const double rho = ApparentResistivity(model, setup_[j].r);
            double v = rho / setup_[j].dRho1 * levelScale;
            v *= 1.0 + o_.fNoise * rng.Normal();
            if (Contains(report_.spike, i, j)) v *= kSpikeFactor;
            const bool invalid = Contains(report_.invalid, i, j);
            buf += FormatC(invalid ? "%10.3f -%d%d " : "%10.3f %d%d ", v, level, o_.iStatus);
        }
        AppendTimeDate(buf, at);
        buf += '\n';
    }

    const ExampleSurveyOptions& o_;
    const ExampleLinePlan& plan_;
    const int k_;
    const Walk walk_;
    const std::array<ReceiverSetup, kMaxReceiver> setup_;
    const std::int64_t t0_;
    ExampleLineReport report_;
    std::array<double, 2> along_{}, across_{};
    int iZone_ = 0;
    bool bSouth_ = false;
    double dEasting0_ = 0.0, dNorthing0_ = 0.0;
    double driftE_ = 0.0, driftN_ = 0.0;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Earth

float ExampleEarth::CoverThickness(double x, double y) const {
    // Two smooth undulations whose weights sum to 1 keep the thickness within mean +- variation.
    const double a = std::sin(2.0 * kPi * y / 173.0 + 0.5 + 0.013 * x);
    const double b = std::sin(2.0 * kPi * (y + 0.8 * x) / 61.0 + 1.3);
    return static_cast<float>(fMeanCoverThickness + fCoverThicknessVariation * (0.7 * a + 0.3 * b));
}

double ExampleEarth::ChannelAxis(double x, double fLength) const {
    return dChannelFraction * fLength + dChannelSkew * x;
}

float ExampleEarth::ChannelDepthAt(double x, double y, double fLength) const {
    if (fChannelDepth <= 0.0f || fChannelWidth <= 0.0f) return 0.0f;
    // The channel crosses obliquely: its width across its own axis is fChannelWidth.
    const double u = (y - ChannelAxis(x, fLength)) / std::sqrt(1.0 + dChannelSkew * dChannelSkew);
    const double half = fChannelWidth / 2.0;
    if (std::fabs(u) >= half) return 0.0f;
    return static_cast<float>(fChannelDepth * (1.0 - (u / half) * (u / half)));
}

LayerModel ExampleEarth::ModelAt(double x, double y, double fLength) const {
    LayerModel m;
    const float cover = std::max(0.0f, CoverThickness(x, y));
    const float channel = ChannelDepthAt(x, y, fLength);
    auto add = [&m](float thickness, float rho) {
        m.fThickness[m.nLayer] = thickness;
        m.fResistivity[m.nLayer] = rho;
        m.fLogResistivity[m.nLayer] = std::log10(rho);
        ++m.nLayer;
    };
    constexpr float kThinnest = 0.05f;  // m; thinner layers are left out
    if (channel >= kThinnest) add(channel, fChannelResistivity);
    if (cover - channel >= kThinnest) add(cover - channel, fCoverResistivity);
    add(0.0f, fBasementResistivity);
    return m;
}

// ---------------------------------------------------------------------------------------------

float ValueOffsetBehindOperator(const CGantrelGeometry& g, int nReceiver, int j) {
    // The processing program's along-line position of a receiver value, measured back from
    // the tow point (single precision, as it computes it).
    const float h = g.fReceiverDipole / 2.0f;
    const float z = static_cast<float>(nReceiver);
    const float jj = static_cast<float>(j);
    return ((z + 1.0f) * h + g.fOffset + g.fRopeLength + g.fTransmitterDipole / 2.0f +
            (z - jj) * h + g.fOffset) /
           2.0f;
}

ExampleSurveyOptions LargeExampleOptions(const fs::path& folder) {
    ExampleSurveyOptions o;
    o.folder = folder;
    o.nLine = 20;
    o.nReadingPerLine = kMaxDataPerLine;
    o.nReadingPerSecond = 10;
    return o;
}

std::string CheckExampleOptions(const ExampleSurveyOptions& o) {
    if (o.folder.empty()) return "No output folder given";
    if (o.nLine < 1 || o.nLine > kMaxLine) return FormatC("Lines must be 1 to %d", kMaxLine);
    if (o.nReadingPerLine < 2 || o.nReadingPerLine > kMaxDataPerLine)
        return FormatC("Readings per line must be 2 to %d", kMaxDataPerLine);
    if (o.nReadingPerSecond < 1 || o.nReadingPerSecond > 10)
        return "Readings per second must be 1 to 10";
    if (!(o.fSpeed >= 0.1f && o.fSpeed <= 5.0f)) return "Towing speed must be 0.1 to 5 m/s";
    if (!(o.fLineSpacing > 0.0f) || !(o.fMarkerSpacing >= 1.0f))
        return "Line spacing must be positive and marker spacing at least 1 m";
    if (o.nReceiver < 1 || o.nReceiver > kMaxReceiver)
        return FormatC("Receivers must be 1 to %d", kMaxReceiver);
    const auto level = [](int l) {
        return l >= 0 && l < static_cast<int>(kCurrentLevelTable.size());
    };
    if (!level(o.iCurrentLevel) || !level(o.iChangedLevel) || o.iStatus < 0 || o.iStatus > 9)
        return "Current levels must be 0 to 7 and the status digit 0 to 9";
    if (o.nSpikePerLine < 0 || o.nInvalidPerLine < 0 ||
        o.nSpikePerLine + o.nInvalidPerLine > o.nReadingPerLine)
        return "Spikes and invalid values must be 0 or more and at most one per reading";
    if (!(o.fNoise >= 0.0f && o.fNoise <= 0.2f) || !(o.fGPSNoise >= 0.0f))
        return "Noise must be 0 to 0.2 (relative) and GPS noise 0 or more";
    const CGantrelGeometry& g = o.geometry;
    if (!(g.fTransmitterDipole >= 1.0f) || !(g.fReceiverDipole >= 1.0f) ||
        !(g.fRopeLength >= 0.0f) || !(g.fOffset >= 0.0f))
        return "Dipoles must be at least 1 m, rope and offset 0 or more";
    if (!(std::fabs(o.dLatitude) <= 80.0) || !(std::fabs(o.dLongitude) < 180.0))
        return "The start must lie within 80 degrees of latitude and 180 of longitude";
    if (o.iYear < 2000 || o.iYear > 2089 || o.iMonth < 1 || o.iMonth > 12 || o.iDay < 1 ||
        o.iDay > 28 || o.iHour < 0 || o.iHour > 23 || o.iMinute < 0 || o.iMinute > 59 ||
        o.iTurnSeconds < 0 || o.iTurnSeconds > 86400)
        return "The start clock must lie in 2000 to 2089 (day 1 to 28)";
    return {};
}

ExampleLinePlan PlanExampleLine(const ExampleSurveyOptions& o) {
    ExampleLinePlan p;
    p.nReading = o.nReadingPerLine;
    p.iDurationMs = static_cast<std::int64_t>(o.nReadingPerLine) * ReadingIntervalMs(o);
    const double walked = static_cast<double>(p.iDurationMs) / 1000.0 * o.fSpeed;
    // Marker spacing: the asked one, widened by 2, 5, 10, 20, ... until the line's markers
    // (START, every MARK, END) fit in a line.
    static constexpr std::array<int, 3> kSteps = {1, 2, 5};
    for (double decade = 1.0;; decade *= 10.0) {
        bool done = false;
        for (int step : kSteps) {
            p.dMarkerSpacing = o.fMarkerSpacing * step * decade;
            const double stations = std::max(1.0, std::round(walked / p.dMarkerSpacing));
            p.dLength = stations * p.dMarkerSpacing;
            p.nMarker = static_cast<int>(stations) + 1;
            if (p.nMarker <= kMaxMarkerPerLine) {
                done = true;
                break;
            }
        }
        if (done) break;
    }
    // GGA interval: whole seconds, widened until the fixes received before END fit in a line.
    for (p.iGPSInterval = 1;; ++p.iGPSInterval) {
        const std::int64_t step = p.iGPSInterval * 1000LL;
        const std::int64_t last = p.iDurationMs - kGPSLatencyMs - kGPSJitterMs - 1;
        p.nFix = last < 0 ? 0 : static_cast<int>(last / step) + 1;
        if (p.nFix <= kMaxGPSPerLine) break;
    }
    return p;
}

ExampleSurveyReport WriteExampleSurvey(const ExampleSurveyOptions& o) {
    ExampleSurveyReport report;
    report.sError = CheckExampleOptions(o);
    if (!report.sError.empty()) return report;
    report.plan = PlanExampleLine(o);
    std::error_code ec;
    fs::create_directories(o.folder, ec);
    if (ec || !fs::is_directory(o.folder)) {
        report.sError = "Cannot create the folder " + o.folder.string();
        return report;
    }
    for (int k = 0; k < o.nLine; ++k) {
        const fs::path path = o.folder / FormatC("%s%02d.sto", o.sFilePrefix.c_str(), k + 1);
        CLineWriter writer(o, report.plan, k);
        ExampleLineReport line = writer.Write(path, report.sError);
        if (!report.sError.empty()) return report;
        report.line.push_back(std::move(line));
    }
    report.bOK = true;
    return report;
}
