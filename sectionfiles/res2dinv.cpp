#include "sectionfiles/res2dinv.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <string_view>

#include "common/forward_model.h"
#include "common/language.h"
#include "common/prompter.h"
#include "common/resistivity.h"
#include "common/survey.h"
#include "common/text_format.h"

namespace {

bool Near(float a, float b) {
    return std::fabs(static_cast<double>(a - b)) < kDistinctTolerance;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// First character that is not blank; '\0' for a blank line.
char FirstVisible(std::string_view line) {
    for (char c : line)
        if (!IsBlank(c)) return c;
    return '\0';
}

// A whole token that is a finite number.
bool FiniteToken(std::string_view token, float& value) {
    size_t used = 0;
    return ScanFloat(token, value, &used) && used == token.size() && std::isfinite(value);
}

// Up to kMaxValues finite numbers of a line whose values are separated by blanks, tabs or
// commas; the count read before the first token that is not one.
constexpr size_t kMaxValues = 16;
size_t LineValues(std::string text, float* v) {
    std::replace(text.begin(), text.end(), ',', ' ');
    std::string_view tokens[kMaxValues];
    const size_t n = SplitTokens(text, tokens, kMaxValues);
    size_t i = 0;
    while (i < n && FiniteToken(tokens[i], v[i])) ++i;
    return i;
}

// A header line that is a label rather than a value: its first token is not a number.
bool IsLabel(std::string_view line) {
    std::string text(line);
    std::replace(text.begin(), text.end(), ',', ' ');
    std::string_view token;
    if (SplitTokens(text, &token, 1) < 1) return false;
    float v = 0.0f;
    size_t used = 0;
    return !ScanFloat(token, v, &used);
}

// True when the line, without leading blanks, starts with `word` (ASCII, any case).
bool StartsWithWord(std::string_view line, std::string_view word) {
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (line.size() - i < word.size()) return false;
    for (size_t k = 0; k < word.size(); ++k) {
        const char c = line[i + k];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != word[k]) return false;
    }
    return true;
}

// One dipole-dipole or pole-pole data line; false when it does not hold the values its array
// type needs.
bool ParseDipoleLine(const float* v, size_t n, int arrayType, Res2dinvPoint& p) {
    const size_t need = arrayType == kRes2dinvPolePole ? 3 : 4;
    if (n < need) return false;
    const float x = v[0], a = v[1];
    if (!(a > 0.0f)) return false;
    p.fX = x;
    if (arrayType == kRes2dinvPolePole) {
        p.fDipoleSize = a;
        p.fNFactor = kNFactorPolePole;
        p.fResistivity = v[2];
        return true;
    }
    const float nf = v[2];
    const float s = static_cast<float>(static_cast<double>(a) * 0.5);
    const float N = (nf * a + s) / s;
    if (!std::isfinite(N)) return false;
    p.fDipoleSize = s;
    p.fNFactor = N;
    p.fResistivity = v[3];
    return true;
}

// Electrode positions of one point in store order (C2, C1, P1, P2), with remote flags.
struct Electrodes {
    double pos[4] = {};
    bool remote[4] = {};
};
constexpr int kC2 = 0, kC1 = 1, kP1 = 2, kP2 = 3;

// 2 pi / (1/C1P1 - 1/C1P2 - 1/C2P1 + 1/C2P2), remote electrodes at infinity; 0 when the
// electrodes give no factor.
double ExactFactor(const Electrodes& e) {
    auto inv = [&](int i, int j) {
        if (e.remote[i] || e.remote[j]) return 0.0;
        const double d = std::fabs(e.pos[i] - e.pos[j]);
        return d > 0.0 ? 1.0 / d : std::numeric_limits<double>::infinity();
    };
    const double s = inv(kC1, kP1) - inv(kC1, kP2) - inv(kC2, kP1) + inv(kC2, kP2);
    if (!std::isfinite(s) || s == 0.0) return 0.0;
    return 2.0 * 3.14159265358979323846 / s;
}

// Positions relative to the middle of the near electrodes' extent, remote electrodes placed
// kPolePoleRemoteFactor times that extent beyond their partner; the middle is returned in
// centre. False when the near electrodes do not span a distance or fK is not usable.
bool ToPoint(const Electrodes& e, FourElectrodeGeometry& g, double& centre) {
    double lo = 0.0, hi = 0.0;
    bool any = false;
    for (int i = 0; i < 4; ++i) {
        if (e.remote[i]) continue;
        lo = any ? std::min(lo, e.pos[i]) : e.pos[i];
        hi = any ? std::max(hi, e.pos[i]) : e.pos[i];
        any = true;
    }
    if (!any || !(hi > lo)) return false;
    centre = (lo + hi) / 2.0;
    float rel[4];
    for (int i = 0; i < 4; ++i) rel[i] = static_cast<float>(e.pos[i] - centre);
    const float far = kPolePoleRemoteFactor * static_cast<float>(hi - lo);
    if (e.remote[kC2]) {
        const float rx = e.remote[kP2] ? rel[kP1] : (rel[kP1] + rel[kP2]) / 2.0f;
        rel[kC2] = rel[kC1] + (rel[kC1] >= rx ? far : -far);
    }
    if (e.remote[kP2]) rel[kP2] = rel[kP1] + (rel[kP1] >= rel[kC1] ? far : -far);
    g = FourElectrodeGeometry{};
    g.fA = rel[kC2];
    g.fB = rel[kC1];
    g.fM = rel[kP1];
    g.fN = rel[kP2];
    CompleteElectrodes(g);
    for (float v : rel)  // positions far beyond a float, remote ones included
        if (!std::isfinite(v)) return false;
    return std::isfinite(g.fK) && g.fK != 0.0f && std::isfinite(static_cast<float>(centre));
}

// A data line of an index-based array that goes into the general mode (types 1, 4, 5, 6, 7,
// 15): x, a, then n (6, 7, 15) and s (15), then the apparent resistivity.
bool ParseIndexLine(const float* v, size_t n, const Res2dinvFile& f, Res2dinvPoint& p) {
    const int t = f.iArrayType;
    const size_t need = t == kRes2dinvGradient                                     ? 5
                        : (t == kRes2dinvPoleDipole || t == kRes2dinvSchlumberger) ? 4
                                                                                   : 3;
    if (n < need) return false;
    const double x = v[0], signedA = v[1];
    const double a = std::fabs(signedA);
    const double nf = need >= 4 ? v[2] : 0.0;
    const double sf = need >= 5 ? v[3] : 0.0;
    double rho = v[need - 1];
    if (!(a > 0.0) || (need >= 4 && !(nf > 0.0)) || (need >= 5 && !(sf > 0.0))) return false;
    if (t != kRes2dinvPoleDipole && signedA < 0.0) return false;
    // Positions from the first (leftmost) electrode.
    Electrodes e;
    double* q = e.pos;
    switch (t) {
        case kRes2dinvWennerAlpha:  // C1 P1 P2 C2
            q[kC1] = 0, q[kP1] = a, q[kP2] = 2 * a, q[kC2] = 3 * a;
            break;
        case kRes2dinvWennerBeta:  // C2 C1 P1 P2
            q[kC2] = 0, q[kC1] = a, q[kP1] = 2 * a, q[kP2] = 3 * a;
            break;
        case kRes2dinvWennerGamma:  // C1 P1 C2 P2
            q[kC1] = 0, q[kP1] = a, q[kC2] = 2 * a, q[kP2] = 3 * a;
            break;
        case kRes2dinvSchlumberger:  // C1 P1 P2 C2, C1P1 = n a
            q[kC1] = 0, q[kP1] = nf * a, q[kP2] = nf * a + a, q[kC2] = 2 * nf * a + a;
            break;
        case kRes2dinvPoleDipole:  // forward C1 P1 P2, reverse (a < 0) P2 P1 C1; C2 remote
            e.remote[kC2] = true;
            if (signedA > 0.0)
                q[kC1] = 0, q[kP1] = nf * a, q[kP2] = nf * a + a;
            else
                q[kP2] = 0, q[kP1] = a, q[kC1] = a + nf * a;
            break;
        default:  // gradient: C1 at 0, P1 at n a, P2 at (n + 1) a, C2 at (s + 2) a
            q[kC1] = 0, q[kP1] = nf * a, q[kP2] = nf * a + a, q[kC2] = (sf + 2.0) * a;
            break;
    }
    double hi = 0.0;
    for (int i = 0; i < 4; ++i)
        if (!e.remote[i]) hi = std::max(hi, q[i]);
    const double left = f.iXLocation == 1 ? x - hi / 2.0 : x;
    for (double& pos : e.pos) pos += left;
    if (f.bRemoteBlock && f.bRemoteC2 && f.bExactFactor == 1 && e.remote[kC2]) {
        // The value used the factor of the remote electrode where it stood.
        Electrodes there = e;
        there.remote[kC2] = false;
        there.pos[kC2] = f.fRemoteC2;
        const double exact = ExactFactor(there), ideal = ExactFactor(e);
        if (exact == 0.0 || ideal == 0.0) return false;
        rho = rho / exact * ideal;
    }
    double centre = 0.0;
    if (!ToPoint(e, p.array, centre)) return false;
    p.fX = static_cast<float>(centre);
    p.fResistivity = static_cast<float>(rho);
    return std::isfinite(p.fResistivity);
}

// A general-array data line: the electrode count k (2, 3 or 4), k (x, z) pairs in the order
// C1, C2, P1, P2 (k = 3: C1, P1, P2; k = 2: C1, P1), then the value.
bool ParseGeneralLine(const float* v, size_t n, const Res2dinvFile& f, Res2dinvPoint& p) {
    if (n < 1) return false;
    const float kf = v[0];
    if (kf != 2.0f && kf != 3.0f && kf != 4.0f) return false;
    const int k = static_cast<int>(kf);
    if (n < static_cast<size_t>(2 * k + 2)) return false;
    Electrodes e;
    const int order4[] = {kC1, kC2, kP1, kP2}, order3[] = {kC1, kP1, kP2}, order2[] = {kC1, kP1};
    const int* order = k == 4 ? order4 : k == 3 ? order3 : order2;
    for (int i = 0; i < 4; ++i) e.remote[i] = true;
    for (int i = 0; i < k; ++i) {
        e.pos[order[i]] = v[1 + 2 * i];
        e.remote[order[i]] = false;
    }
    double value = v[1 + 2 * k];
    if (f.iMeasurement == 1) {
        const double factor = ExactFactor(e);
        if (factor == 0.0) return false;
        value *= factor;
    }
    double centre = 0.0;
    if (!ToPoint(e, p.array, centre)) return false;
    p.fX = static_cast<float>(centre);
    p.fResistivity = static_cast<float>(value);
    return std::isfinite(p.fResistivity);
}

// Lines of the file with one line of look-ahead: Hold() gives the last line again.
class CDatLines {
public:
    bool Open(const std::filesystem::path& path) { return in_.Open(path); }
    // The next line that is not a comment; blank lines too when takeBlank.
    bool Next(bool takeBlank) {
        if (held_) {
            held_ = false;
            return true;
        }
        while (in_.ReadLine(line)) {
            const char c = FirstVisible(line);
            if (c == ';') continue;
            if (c == '\0' && !takeBlank) continue;
            return true;
        }
        return false;
    }
    void Hold() { held_ = true; }
    std::size_t LineNumber() const { return in_.LineNumber(); }
    bool TooLong() const { return in_.LastLineTooLong(); }

    std::string line;

private:
    CLineReader in_;
    bool held_ = false;
};

}  // namespace

bool Res2dinvKnownArrayType(int t) {
    return (t >= kRes2dinvWennerAlpha && t <= kRes2dinvSchlumberger) || t == kRes2dinvGeneral ||
           t == kRes2dinvGradient;
}

bool Res2dinvGeneralArrayType(int t) {
    return Res2dinvKnownArrayType(t) && t != kRes2dinvPolePole && t != kRes2dinvDipoleDipole;
}

std::string Res2dinvFieldText(Res2dinvField field) {
    switch (field) {
        case Res2dinvField::Title:
            return Tr("title", "タイトル");
        case Res2dinvField::Spacing:
            return Tr("unit electrode spacing", "単位電極間隔");
        case Res2dinvField::ArrayType:
            return Tr("array type", "電極配置の種類");
        case Res2dinvField::DataCount:
            return Tr("number of data points", "データ点の数");
        case Res2dinvField::XLocation:
            return Tr("type of x-location", "x位置の種類");
        case Res2dinvField::IP:
            return Tr("IP flag", "IPフラグ");
        case Res2dinvField::SubType:
            return Tr("sub-type of the general array", "一般配置のサブタイプ");
        case Res2dinvField::MeasurementType:
            return Tr("type of measurement (0 = apparent resistivity, 1 = resistance)",
                      "測定の種類 (0 = 見掛比抵抗、1 = 抵抗)");
        case Res2dinvField::RemoteBlock:
            return Tr("remote electrode flag, location or factor flag",
                      "遠電極のフラグ、位置または係数のフラグ");
        case Res2dinvField::IPBlock:
            return Tr("description of the IP values", "IP値の説明");
    }
    return {};
}

Res2dinvFile ReadRes2dinvFile(const std::filesystem::path& path) {
    Res2dinvFile f;
    f.path = path;
    CDatLines in;
    if (!in.Open(path)) {
        f.bOpened = false;
        return f;
    }
    const std::string& line = in.line;
    bool failed = false;
    auto fail = [&](Res2dinvField field, bool ended) {
        f.eBadField = field;
        f.iBadLine = in.LineNumber() + (ended ? 1 : 0);
        failed = true;
        return false;
    };
    // The leading integer of the next line; the rest of the line is not read.
    auto readInt = [&](Res2dinvField field, int& value) {
        if (!in.Next(false)) return fail(field, true);
        if (!ScanInt(line, value)) return fail(field, false);
        return true;
    };
    // A "Remote electrodes included" block or an "Exact geometric factor" line, when the next
    // line starts one; otherwise the line is left for the next read.
    auto remoteBlock = [&]() {
        if (!in.Next(false)) return true;
        if (StartsWithWord(line, "exact")) {
            f.bRemoteBlock = true;
            return readInt(Res2dinvField::RemoteBlock, f.bExactFactor);
        }
        if (!StartsWithWord(line, "remote")) {
            in.Hold();
            return true;
        }
        f.bRemoteBlock = true;
        int flag = 0;
        if (!readInt(Res2dinvField::RemoteBlock, flag)) return false;
        if (flag == 0) return true;
        int target = -1;  // 0 C2, 1 P2 as named by the last label
        for (int guard = 0; guard < 8; ++guard) {
            if (!in.Next(false)) return fail(Res2dinvField::RemoteBlock, true);
            if (IsLabel(line)) {
                if (StartsWithWord(line, "exact"))
                    return readInt(Res2dinvField::RemoteBlock, f.bExactFactor);
                if (StartsWithWord(line, "c2"))
                    target = 0;
                else if (StartsWithWord(line, "p2"))
                    target = 1;
                else
                    return fail(Res2dinvField::RemoteBlock, false);
                continue;
            }
            float v[kMaxValues];
            if (LineValues(line, v) < 1) return fail(Res2dinvField::RemoteBlock, false);
            if (target < 0) target = f.bRemoteC2 ? 1 : 0;
            (target == 0 ? f.fRemoteC2 : f.fRemoteP2) = v[0];
            (target == 0 ? f.bRemoteC2 : f.bRemoteP2) = true;
            target = -1;
        }
        return fail(Res2dinvField::RemoteBlock, false);
    };
    auto headerInt = [&](Res2dinvField field, int& value) {
        return remoteBlock() && readInt(field, value);
    };

    if (!in.Next(true)) {
        fail(Res2dinvField::Title, true);
        return f;
    }
    f.sTitle = line;
    if (!in.Next(false)) {
        fail(Res2dinvField::Spacing, true);
        return f;
    }
    if (!ScanFloat(line, f.fSpacing)) {
        fail(Res2dinvField::Spacing, false);
        return f;
    }
    // The array type may be followed by more text (a letter for the side of a remote
    // electrode, for instance); only the number is read.
    if (!readInt(Res2dinvField::ArrayType, f.iArrayType)) return f;
    if (!Res2dinvKnownArrayType(f.iArrayType)) {
        f.bKnownArrayType = false;
        fail(Res2dinvField::ArrayType, false);
        return f;
    }
    const bool general = f.iArrayType == kRes2dinvGeneral;
    if (general) {
        if (!headerInt(Res2dinvField::SubType, f.iSubType)) return f;
        // "Type of measurement (0=app. resistivity,1=resistance)", then its value.
        if (!in.Next(false)) {
            fail(Res2dinvField::MeasurementType, true);
            return f;
        }
        if (!IsLabel(line)) in.Hold();
        if (!readInt(Res2dinvField::MeasurementType, f.iMeasurement)) return f;
        if (f.iMeasurement != 0 && f.iMeasurement != 1) {
            fail(Res2dinvField::MeasurementType, false);
            return f;
        }
    }
    if (!headerInt(Res2dinvField::DataCount, f.nAnnounced)) return f;
    if (f.nAnnounced < 0) {
        fail(Res2dinvField::DataCount, false);
        return f;
    }
    if (!headerInt(Res2dinvField::XLocation, f.iXLocation)) return f;
    // Index-based arrays of the general mode need to know which point x stands for.
    if (Res2dinvGeneralArrayType(f.iArrayType) && !general && f.iXLocation != 0 &&
        f.iXLocation != 1) {
        fail(Res2dinvField::XLocation, false);
        return f;
    }
    if (!headerInt(Res2dinvField::IP, f.iIP)) return f;
    if (f.iIP != 0 && f.iIP != 1) {
        fail(Res2dinvField::IP, false);
        return f;
    }
    if (f.iIP == 1) {
        // The name and unit of the IP values, then their times; each data line then carries
        // its IP values after the apparent resistivity.
        f.bIPValues = true;
        for (int i = 0; i < 3 && in.Next(false); ++i) {
            float v[kMaxValues];
            if (IsLabel(line)) continue;
            if (LineValues(line, v) > 2) in.Hold();  // a data line
            break;
        }
    }
    if (!remoteBlock() || failed) return f;
    f.bHeaderRead = true;

    // A line that cannot be read is still one of the announced points: counting it keeps the
    // lines after the data (topography, trailing zeros) from being read as points.
    while (static_cast<int>(f.points.size()) + f.nBadLine < f.nAnnounced && in.Next(false)) {
        Res2dinvPoint p;
        float v[kMaxValues];
        const size_t n = in.TooLong() ? 0 : LineValues(line, v);
        bool ok = false;
        if (general)
            ok = ParseGeneralLine(v, n, f, p);
        else if (Res2dinvGeneralArrayType(f.iArrayType))
            ok = ParseIndexLine(v, n, f, p);
        else
            ok = ParseDipoleLine(v, n, f.iArrayType, p);
        if (ok && f.iArrayType == kRes2dinvPolePole && f.bRemoteBlock && f.bExactFactor == 1 &&
            (f.bRemoteC2 || f.bRemoteP2)) {
            // The value used the factor of the remote electrodes where they stood.
            Electrodes e;
            e.pos[kC1] = f.iXLocation == 1 ? p.fX - p.fDipoleSize / 2.0 : p.fX;
            e.pos[kP1] = e.pos[kC1] + p.fDipoleSize;
            Electrodes there = e;
            e.remote[kC2] = e.remote[kP2] = true;
            there.remote[kC2] = !f.bRemoteC2;
            there.remote[kP2] = !f.bRemoteP2;
            there.pos[kC2] = f.fRemoteC2;
            there.pos[kP2] = f.fRemoteP2;
            const double exact = ExactFactor(there), ideal = ExactFactor(e);
            ok = exact != 0.0 && ideal != 0.0;
            if (ok) p.fResistivity = static_cast<float>(p.fResistivity / exact * ideal);
            ok = ok && std::isfinite(p.fResistivity);
        }
        if (!ok) {
            if (f.nBadLine++ == 0) f.iFirstBadLine = in.LineNumber();
            continue;
        }
        if (f.points.empty()) {
            f.fMinX = f.fMaxX = p.fX;
        } else {
            f.fMinX = std::min(f.fMinX, p.fX);
            f.fMaxX = std::max(f.fMaxX, p.fX);
        }
        f.points.push_back(p);
    }
    return f;
}

bool ReportRes2dinvFile(const Res2dinvFile& f, CPrompter& prompter) {
    const std::string name = f.path.string();
    if (!f.bOpened) {
        prompter.Message(
            FormatC(Tr("Cannot open the file %s", "ファイル %s を開けません"), name.c_str()));
        return false;
    }
    if (!f.bKnownArrayType) {
        prompter.Message(FormatC(
            Tr("Cannot import the file %s: line %zu gives the array type %d, which this program "
               "does not read (it reads the types 1 to 7, 11 and 15).",
               "ファイル %s を取り込めません: %zu 行目の電極配置の種類 %d は読み込めません (読める"
               "のは 1〜7、11、15 です)。"),
            name.c_str(), f.iBadLine, f.iArrayType));
        return false;
    }
    if (!f.bHeaderRead) {
        prompter.Message(FormatC(Tr("Cannot read the file %s as a RES2DINV file: line %zu does not "
                                    "hold the %s.",
                                    "ファイル %s をRES2DINVファイルとして読み込めません: %zu 行目に"
                                    "%sがありません。"),
                                 name.c_str(), f.iBadLine, Res2dinvFieldText(f.eBadField).c_str()));
        return false;
    }
    if (f.bIPValues)
        prompter.Message(FormatC(Tr("%s: the IP values of the data lines were left out; the "
                                    "apparent resistivities were read.",
                                    "%s: データ行のIP値は除外し、見掛比抵抗を読み込みました。"),
                                 name.c_str()));
    if (f.bRemoteBlock && (f.bRemoteC2 || f.bRemoteP2))
        prompter.Message(
            FormatC(f.bExactFactor == 1
                        ? Tr("%s: the remote electrodes are taken as at infinity; the apparent "
                             "resistivities of their exact factor were brought to that factor.",
                             "%s: 遠電極は無限遠として扱い、厳密な係数による見掛比抵抗をその係数に"
                             "換算しました。")
                        : Tr("%s: the remote electrodes are taken as at infinity.",
                             "%s: 遠電極は無限遠として扱います。"),
                    name.c_str()));
    const int nRead = static_cast<int>(f.points.size());
    const int nLines = nRead + f.nBadLine;
    if (f.nBadLine > 0)
        prompter.Message(FormatC(
            Tr("%s: %d of its %d data lines could not be read and were left out; %d data points "
               "were read.\nThe first line left out is line %zu.",
               "%s: %d 行のデータ行を読み込めず除外しました (全 %d 行)。読み込んだデータ点は %d "
               "点です。\n除外した最初の行は %zu 行目です。"),
            name.c_str(), f.nBadLine, nLines, nRead, f.iFirstBadLine));
    if (nLines < f.nAnnounced)
        prompter.Message(
            FormatC(Tr("%s announces %d data points but has only %d data lines.",
                       "%s のデータ点の数は %d とされていますが、データ行は %d 行しかありません。"),
                    name.c_str(), f.nAnnounced, nLines));
    return true;
}

std::string Res2dinvLeftOutText(const Res2dinvFile& f, int nGridded) {
    const int nPoint = static_cast<int>(f.points.size());
    const int nMissing = std::max(f.nAnnounced - nPoint, 0);
    const int nNotGridded = std::max(nPoint - nGridded, 0);
    if (f.nBadLine == 0 && nMissing == 0 && nNotGridded == 0) return {};
    std::string text = f.path.string() + ":";
    const char* sep = "";
    if (f.nBadLine > 0) {
        text += FormatC(Tr(" %d unreadable data line(s) left out, the first at line %zu",
                           " 読めないデータ行 %d 行を除外、最初は %zu 行目"),
                        f.nBadLine, f.iFirstBadLine);
        sep = ";";
    }
    if (nMissing > 0) {
        text += FormatC(Tr("%s %d announced point(s) missing from the file",
                           "%s 予告されたデータ点のうち %d 点がファイルにありません"),
                        sep, nMissing);
        sep = ";";
    }
    if (nNotGridded > 0)
        text += FormatC(Tr("%s %d point(s) not in the section (no row for their array, or a "
                           "cell average not above 0)",
                           "%s %d 点は断面に入っていません（配置の行がないか、セルの平均が 0 以下）"),
                        sep, nNotGridded);
    return text;
}

int Res2dinvArrayIndex(const Res2dinvRowKinds& kinds, const FourElectrodeGeometry& e) {
    bool remote[4];
    RemoteElectrodes(e, remote);
    const float p[4] = {e.fA, e.fB, e.fM, e.fN};
    for (size_t i = 0; i < kinds.arrays.size(); ++i) {
        const FourElectrodeGeometry& k = kinds.arrays[i];
        bool kRemote[4];
        RemoteElectrodes(k, kRemote);
        const float q[4] = {k.fA, k.fB, k.fM, k.fN};
        bool same = true;
        for (int j = 0; j < 4 && same; ++j)
            same = remote[j] == kRemote[j] &&
                   (remote[j] || std::fabs(static_cast<double>(p[j] - q[j])) <= kDistinctTolerance);
        if (same) return static_cast<int>(i);
    }
    return -1;
}

int Res2dinvRowKinds::Count() const {
    int n = 0;
    for (const auto& list : separations) n += static_cast<int>(list.size());
    return n;
}

Res2dinvStatus ClassifyRes2dinv(const Res2dinvFile& file, Res2dinvRowKinds& kinds,
                                CPrompter& prompter) {
    kinds = Res2dinvRowKinds{};
    kinds.bPolePole = file.iArrayType == kRes2dinvPolePole;
    kinds.bGeneral = Res2dinvGeneralArrayType(file.iArrayType);
    const std::string name = file.path.string();
    if (kinds.bGeneral) {
        for (const Res2dinvPoint& p : file.points) {
            if (Res2dinvArrayIndex(kinds, p.array) >= 0) continue;
            if (static_cast<int>(kinds.arrays.size()) == kRes2dinvMaxArrays) {
                prompter.Message(FormatC(Tr("%s holds more than %d different electrode arrays; it "
                                            "cannot be imported.",
                                            "%s には %d 種類を超える電極配置があるため、取り込め"
                                            "ません。"),
                                         name.c_str(), kRes2dinvMaxArrays));
                return Res2dinvStatus::TooManyArrays;
            }
            // Before the first array of a larger factor: equal factors keep their order.
            auto at =
                std::find_if(kinds.arrays.begin(), kinds.arrays.end(),
                             [&](const FourElectrodeGeometry& e) { return e.fK > p.array.fK; });
            kinds.arrays.insert(at, p.array);
        }
        kinds.separations.assign(1, std::vector<float>(kinds.arrays.size(), 0.0f));
        prompter.Message(
            FormatC("general array method : nArray=%d", static_cast<int>(kinds.arrays.size())));
        return Res2dinvStatus::Ok;
    }
    if (file.iArrayType == kRes2dinvDipoleDipole) {
        for (const Res2dinvPoint& p : file.points) {
            InsertDistinct(kinds.dipoleSizes, p.fDipoleSize);
            if (static_cast<int>(kinds.dipoleSizes.size()) > kRes2dinvMaxDipoleSizes) {
                prompter.Message(FormatC(Tr("%s holds more than %d different dipole lengths; it "
                                            "cannot be imported.",
                                            "%s には %d 種類を超えるダイポール長があるため、取り込"
                                            "めません。"),
                                         name.c_str(), kRes2dinvMaxDipoleSizes));
                return Res2dinvStatus::TooManyDipoleSizes;
            }
        }
    }
    prompter.Message(kinds.bPolePole ? std::string("pole-pole method")
                                     : FormatC("dipole-dipole method : nDipoleIndex=%d",
                                               static_cast<int>(kinds.dipoleSizes.size())));

    const int nList = kinds.bPolePole ? 1 : static_cast<int>(kinds.dipoleSizes.size());
    for (int i = 0; i < nList; ++i) {
        std::vector<float> list;
        for (const Res2dinvPoint& p : file.points) {
            if (kinds.bPolePole) {
                InsertDistinct(list, p.fDipoleSize);
            } else if (Near(p.fDipoleSize, kinds.dipoleSizes[static_cast<size_t>(i)])) {
                InsertDistinct(list, p.fNFactor);
            }
            if (static_cast<int>(list.size()) > kRes2dinvMaxSeparations) {
                prompter.Message(FormatC(Tr("%s holds more than %d different separations for one "
                                            "dipole length; it cannot be imported.",
                                            "%s には1つのダイポール長に対して %d 種類を超える間隔"
                                            "があるため、取り込めません。"),
                                         name.c_str(), kRes2dinvMaxSeparations));
                return Res2dinvStatus::TooManySeparations;
            }
        }
        prompter.Message(FormatC("%d nSeparationIndex=%d", i, static_cast<int>(list.size())));
        kinds.separations.push_back(std::move(list));
    }
    return Res2dinvStatus::Ok;
}

namespace {

// A point this close below a cell edge (in cells) lies on the edge: positions read back from
// a file written with six decimals fall a rounding step either side of their cell's edge.
constexpr float kCellEdgeTolerance = 1.0e-3f;

// Cell of a position q = (x - min) / w, with the edge tolerance.
float CellQuotient(float q) {
    return q + kCellEdgeTolerance;
}

}  // namespace

int Res2dinvColumnCount(float fMin, float fMax, float w, int maxColumn) {
    if (!(w > 0.0f) || !std::isfinite(w)) return -1;
    const float q = CellQuotient((fMax - fMin) / w);
    // Compared before the conversion, so that a quotient past any int never reaches it.
    if (!(q < static_cast<float>(maxColumn))) return -2;
    // The cell of the largest position is a column of its own, as every other cell is.
    const int n = (q >= 0.0f ? static_cast<int>(q) : 0) + 1;
    if (n > maxColumn) return -2;
    return n;
}

namespace {

// Row kind of a point: the first kind whose dipole size and N-factor (pole-pole: spacing)
// lie within the tolerance; -1 when there is none (array types without row kinds).
int RowKindOf(const Res2dinvPoint& p, const Res2dinvRowKinds& kinds) {
    if (kinds.bGeneral) return Res2dinvArrayIndex(kinds, p.array);
    if (kinds.bPolePole) {
        if (kinds.separations.empty()) return -1;
        const auto& list = kinds.separations.front();
        for (size_t k = 0; k < list.size(); ++k)
            if (Near(p.fDipoleSize, list[k])) return static_cast<int>(k);
        return -1;
    }
    // The kinds of a dipole size come after those of every smaller size; a point's own
    // dipole size group always holds its N-factor, as the lists were built from the points.
    int base = 0;
    for (size_t i = 0; i < kinds.dipoleSizes.size() && i < kinds.separations.size(); ++i) {
        const auto& list = kinds.separations[i];
        if (Near(p.fDipoleSize, kinds.dipoleSizes[i])) {
            for (size_t k = 0; k < list.size(); ++k)
                if (Near(p.fNFactor, list[k])) return base + static_cast<int>(k);
        }
        base += static_cast<int>(list.size());
    }
    return -1;
}

}  // namespace

Res2dinvGridResult GridRes2dinv(const Res2dinvFile& file, const Res2dinvRowKinds& kinds, float w,
                                CTrevascDataOhm& store) {
    Res2dinvGridResult result;
    if (!store.IsAllocated()) {
        result.status = Res2dinvStatus::TooManyColumns;
        return result;
    }
    const int ncol = Res2dinvColumnCount(file.fMinX, file.fMaxX, w, store.MaxColumn());
    if (ncol == -1) {
        result.status = Res2dinvStatus::BadCellSize;
        return result;
    }
    if (ncol == -2) {
        result.status = Res2dinvStatus::TooManyColumns;
        const float q = CellQuotient((file.fMaxX - file.fMinX) / w);
        result.nColumn = q < 2.0e9f ? static_cast<int>(q) + 1 : -1;
        return result;
    }
    result.nColumn = ncol;

    // Row-kind table: dipole size and N-factor of every kind in order.
    std::vector<float> kindSize, kindN;
    for (size_t i = 0; i < kinds.separations.size(); ++i) {
        for (float v : kinds.separations[i]) {
            // Four-electrode rows carry their arrays instead (0 here, as after gridding).
            kindSize.push_back(kinds.bGeneral ? 0.0f : kinds.bPolePole ? v : kinds.dipoleSizes[i]);
            kindN.push_back(kinds.bGeneral ? 0.0f : kinds.bPolePole ? kNFactorPolePole : v);
        }
    }
    const auto nKind = static_cast<std::int64_t>(kindSize.size());

    // Cells (column, kind) of the points, summed in point order within each cell: the points
    // are ordered by cell with a stable sort, so the sums are those of a walk in file order.
    struct Entry {
        std::int64_t cell;
        float value;
    };
    std::vector<Entry> entries;
    entries.reserve(file.points.size());
    for (const Res2dinvPoint& p : file.points) {
        const int r = RowKindOf(p, kinds);
        if (r < 0) continue;
        const float q = CellQuotient((p.fX - file.fMinX) / w);
        int c = 0;
        if (q >= static_cast<float>(ncol - 1))
            c = ncol - 1;
        else if (q > 0.0f)
            c = static_cast<int>(q);
        entries.push_back({c * nKind + r, p.fResistivity});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.cell < b.cell; });

    struct Cell {
        std::int64_t cell;
        float average;
        int count;
    };
    std::vector<Cell> cells;
    for (size_t i = 0; i < entries.size();) {
        size_t j = i;
        float sum = 0.0f;
        while (j < entries.size() && entries[j].cell == entries[i].cell) sum += entries[j++].value;
        const int count = static_cast<int>(j - i);
        const float average = sum / static_cast<float>(count);
        if (average > 0.0f) cells.push_back({entries[i].cell, average, count});
        i = j;
    }

    if (cells.empty()) {
        result.status = Res2dinvStatus::NoPointInSection;
        return result;
    }
    // Rows per column, checked before anything is written.
    std::vector<int> rowsIn(static_cast<size_t>(ncol), 0);
    for (const Cell& cell : cells) {
        const auto c = static_cast<size_t>(cell.cell / nKind);
        if (++rowsIn[c] > store.MaxRow() && result.iColumn < 0)
            result.iColumn = static_cast<int>(c);
    }
    if (result.iColumn >= 0) {
        result.status = Res2dinvStatus::TooManyRows;
        result.nRowInColumn = rowsIn[static_cast<size_t>(result.iColumn)];
        return result;
    }

    const int previousColumns = std::clamp(store.nColumn, 0, store.MaxColumn());
    for (int c = 0; c < ncol; ++c) {
        store.fColumnX[static_cast<size_t>(c)] = file.fMinX + static_cast<float>(c) * w;
        store.fColumnAux[static_cast<size_t>(c)] = 0.0f;  // not from an earlier section file
        store.nRow[static_cast<size_t>(c)] = 0;
    }
    for (const Cell& cell : cells) {
        const int c = static_cast<int>(cell.cell / nKind);
        const auto r = static_cast<size_t>(cell.cell % nKind);
        result.nGridded += cell.count;
        const int k = store.nRow[static_cast<size_t>(c)]++;
        store.fObserved[c][k] = cell.average;
        store.nAveraged[c][k] = cell.count;
        store.fDipoleSize[c][k] = kindSize[r];
        store.fNFactor[c][k] = kindN[r];
        store.iMarked[c][k] = 0;
        if (kinds.bGeneral)
            store.pElectrode[c][k] = std::make_unique<FourElectrodeGeometry>(kinds.arrays[r]);
        else
            store.pElectrode[c][k].reset();
    }
    // No geometry outlives the rows it belonged to.
    for (int c = 0; c < ncol; ++c) store.ClearElectrodes(c, store.nRow[static_cast<size_t>(c)]);
    for (int c = ncol; c < previousColumns; ++c) store.ClearElectrodes(c);
    store.nColumn = ncol;
    store.fCellSize = w;
    store.bGeneralArray = kinds.bGeneral ? 1 : 0;
    store.nRowKind = static_cast<int>(nKind);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Export

namespace {

bool AllPolePole(const CTrevascDataOhm& store) {
    bool any = false;
    for (int c = 0; c < store.nColumn; ++c) {
        for (int k = 0; k < store.nRow[static_cast<size_t>(c)]; ++k) {
            if (store.fNFactor[c][k] != kNFactorPolePole) return false;
            any = true;
        }
    }
    return any;
}

// Store rows as a general array (type 11): C1, C2, P1, P2 without the remote electrodes, at
// the column's position plus the row's offsets.
Res2dinvExportStatus WriteGeneralArray(const CTrevascDataOhm& store,
                                       const std::filesystem::path& path, SaveResult* save) {
    const int nColumn = store.IsAllocated() ? std::clamp(store.nColumn, 0, store.MaxColumn()) : 0;
    auto rowsOf = [&](int c) {
        return std::clamp(store.nRow[static_cast<size_t>(c)], 0, store.MaxRow());
    };
    float smallest = kRes2dinvSpacingStart;
    int total = 0;
    for (int c = 0; c < nColumn; ++c)
        for (int k = 0; k < rowsOf(c); ++k) {
            const FourElectrodeGeometry* e = store.pElectrode[c][k].get();
            if (e == nullptr) continue;
            ++total;
            bool remote[4];
            RemoteElectrodes(*e, remote);
            const float p[4] = {e->fA, e->fB, e->fM, e->fN};
            for (int i = 0; i < 4; ++i)
                for (int j = i + 1; j < 4; ++j) {
                    const float d = std::fabs(p[i] - p[j]);
                    if (!remote[i] && !remote[j] && d > 0.0f) smallest = std::min(smallest, d);
                }
        }

    CTextWriter out;
    if (!out.OpenReplacing(path)) {
        if (save != nullptr) *save = out.Result();
        return Res2dinvExportStatus::CannotCreate;
    }
    out.Printf("%s\n", path.filename().string().c_str());
    out.Printf("%f\n", static_cast<double>(smallest));
    out.Printf("%d\n", kRes2dinvGeneral);
    out.Write("0\n");
    out.Write("Type of measurement (0=app. resistivity,1=resistance)\n");
    out.Write("0\n");
    out.Printf("%d\n", total);
    out.Write("1\n");
    out.Write("0\n");
    for (int c = 0; c < nColumn; ++c) {
        const double x = store.fColumnX[static_cast<size_t>(c)];
        for (int k = 0; k < rowsOf(c); ++k) {
            const FourElectrodeGeometry* e = store.pElectrode[c][k].get();
            if (e == nullptr) continue;
            bool remote[4];
            RemoteElectrodes(*e, remote);
            // File order C1, C2, P1, P2; store order C2, C1, P1, P2. A lone remote P2 with C2
            // present has no shorter form: it is written where it stands.
            const bool dropC2 = remote[0], dropP2 = remote[3] && remote[0];
            const float pos[4] = {e->fB, e->fA, e->fM, e->fN};
            const bool keep[4] = {true, !dropC2, true, !dropP2};
            int n = 0;
            for (bool b : keep) n += b ? 1 : 0;
            out.Printf("%d", n);
            for (int i = 0; i < 4; ++i)
                if (keep[i]) out.Printf(" %f 0.000000", x + static_cast<double>(pos[i]));
            out.Printf(" %f\n", static_cast<double>(store.fObserved[c][k]));
        }
    }
    const bool ok = out.Close();
    if (save != nullptr) *save = out.Result();
    return ok ? Res2dinvExportStatus::Ok : Res2dinvExportStatus::WriteFailed;
}

}  // namespace

Res2dinvExportStatus WriteRes2dinvFile(const CTrevascDataOhm& store,
                                       const std::filesystem::path& path, SaveResult* save) {
    if (store.bGeneralArray == 1) return WriteGeneralArray(store, path, save);
    const int nColumn = store.IsAllocated() ? std::clamp(store.nColumn, 0, store.MaxColumn()) : 0;
    auto rowsOf = [&](int c) {
        return std::clamp(store.nRow[static_cast<size_t>(c)], 0, store.MaxRow());
    };

    float smallest = kRes2dinvSpacingStart;
    int total = 0;
    for (int c = 0; c < nColumn; ++c) {
        for (int k = 0; k < rowsOf(c); ++k)
            smallest = std::min(smallest, 2.0f * store.fDipoleSize[c][k]);
        total += rowsOf(c);
    }
    const bool polePole = nColumn > 0 && AllPolePole(store);

    CTextWriter out;
    if (!out.OpenReplacing(path)) {
        if (save != nullptr) *save = out.Result();
        return Res2dinvExportStatus::CannotCreate;
    }
    out.Printf("%s\n", path.filename().string().c_str());
    out.Printf("%f\n", static_cast<double>(smallest * 0.5f));
    out.Printf("%d\n", polePole ? kRes2dinvPolePole : kRes2dinvDipoleDipole);
    out.Printf("%d\n", total);
    out.Write("1\n");
    out.Write("0\n");
    for (int c = 0; c < nColumn; ++c) {
        const double x = store.fColumnX[static_cast<size_t>(c)];
        for (int k = 0; k < rowsOf(c); ++k) {
            const float s = store.fDipoleSize[c][k];
            const double rho = store.fObserved[c][k];
            if (polePole) {
                out.Printf("%f %f %f\n", x, static_cast<double>(s), rho);
                continue;
            }
            const float N = store.fNFactor[c][k];
            const float n = (N * s - s) / (2.0f * s);
            out.Printf("%f %f %f %f\n", x, static_cast<double>(2.0f * s), static_cast<double>(n),
                       rho);
        }
    }
    const bool ok = out.Close();
    if (save != nullptr) *save = out.Result();
    return ok ? Res2dinvExportStatus::Ok : Res2dinvExportStatus::WriteFailed;
}

std::string Res2dinvExportMessage(Res2dinvExportStatus status, const std::filesystem::path& path,
                                  const SaveResult* save) {
    const std::string name = path.string();
    if ((status == Res2dinvExportStatus::CannotCreate ||
         status == Res2dinvExportStatus::WriteFailed) &&
        save != nullptr && !save->ok())
        return SaveFailureMessage(*save, path);
    switch (status) {
        case Res2dinvExportStatus::Ok:
            return {};
        case Res2dinvExportStatus::CannotCreate:
            return FormatC(Tr("Cannot open the file %s", "ファイル %s を開けません"), name.c_str());
        case Res2dinvExportStatus::WriteFailed:
            return FormatC(Tr("Cannot write the file %s", "ファイル %s に書き込めません"),
                           name.c_str());
    }
    return {};
}
