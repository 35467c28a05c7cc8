#include "acquisition/logger_geometry.h"

#include <algorithm>
#include <cmath>

#include "common/axes.h"
#include "common/language.h"
#include "common/record_time.h"
#include "common/settings.h"
#include "common/survey_file.h"
#include "common/text_format.h"

namespace {
constexpr const char* kOffsetKey = "GeometryOffset";
constexpr const char* kRopeKey = "GeometryRopeLength";
constexpr const char* kIndexKey = "GeometryiDipoleIndex";
constexpr const char* kReceiverIndexKey = "GeometryiDipoleIndexReceiver";
constexpr const char* kDifferentKey = "GeometrybDifferentSize";

// Reads the instrument's key, for the second instrument falling back to the first's value.
int ReadGeometryInt(const char* base, int instrument, int iDefault) {
    const int first = ReadSettingInt(base, iDefault);
    return instrument == kFirstInstrument
               ? first
               : ReadSettingInt(LoggerGeometryKey(base, instrument), first);
}

float ReadGeometryReal(const char* base, int instrument, float fDefault) {
    const double first = ReadSettingReal(base, fDefault);
    const double value = instrument == kFirstInstrument
                             ? first
                             : ReadSettingReal(LoggerGeometryKey(base, instrument), first);
    // A stored value a float cannot hold is not a length.
    return std::isfinite(value) && std::fabs(value) < 1e6 ? static_cast<float>(value) : fDefault;
}

// ln(base^exponent) as exponent*ln(base), with 0^0 = 1: receiver 0 without rope has m = 2, so
// the last power of the same-size factor is 0^0 and must add nothing (0 * ln 0 would be NaN).
double LogPower(double base, double exponent) {
    return exponent == 0.0 ? 0.0 : exponent * std::log(base);
}

// Electrode positions of receiver i, measured from the transmitter's first electrode: the
// transmitter's cable spans 0..T/2, receiver i's M..N.
void ReceiverSpan(const CGantrelGeometry& g, int i, float& fM, float& fN) {
    const float T = g.fTransmitterDipole, R = g.fReceiverDipole, L = g.fRopeLength;
    fM = 0.75f * T + L + static_cast<float>(2 * i + 1) * R / 4.0f;
    fN = fM + R / 2.0f;
}
}  // namespace

std::string LoggerGeometryKey(const char* base, int instrument) {
    return instrument == kFirstInstrument ? std::string(base) : FormatC("%s_%d", base, instrument);
}

CGantrelGeometry LoadLoggerGeometry(int instrument) {
    CGantrelGeometry g = CGantrelGeometry::Initial();
    g.fOffset = 7.5f;
    g.fRopeLength = 5.0f;
    g.iDipoleIndex = 3;
    g.iDipoleIndexReceiver = 3;
    g.bDifferentSize = 0;
    g.SizeFromIndex();
    g.fOffset = ReadGeometryReal(kOffsetKey, instrument, g.fOffset);
    g.fRopeLength = ReadGeometryReal(kRopeKey, instrument, g.fRopeLength);
    g.iDipoleIndex = ReadGeometryInt(kIndexKey, instrument, g.iDipoleIndex);
    g.iDipoleIndexReceiver = ReadGeometryInt(kReceiverIndexKey, instrument, g.iDipoleIndexReceiver);
    g.bDifferentSize = ReadGeometryInt(kDifferentKey, instrument, g.bDifferentSize) != 0 ? 1 : 0;
    g.SizeFromIndex();
    return g;
}

void SaveLoggerGeometry(const CGantrelGeometry& g, int instrument) {
    WriteSettingReal(LoggerGeometryKey(kOffsetKey, instrument), g.fOffset);
    WriteSettingReal(LoggerGeometryKey(kRopeKey, instrument), g.fRopeLength);
    WriteSettingInt(LoggerGeometryKey(kIndexKey, instrument), g.iDipoleIndex);
    WriteSettingInt(LoggerGeometryKey(kReceiverIndexKey, instrument), g.iDipoleIndexReceiver);
    WriteSettingInt(LoggerGeometryKey(kDifferentKey, instrument), g.bDifferentSize);
}

float LoggerGeometricFactor(const CGantrelGeometry& g, int i) {
    const float T = g.fTransmitterDipole, R = g.fReceiverDipole, L = g.fRopeLength;
    // The logarithms and reciprocals are summed in double precision: their sum is a small
    // difference of nearly equal terms, which single precision would get wrong in the third
    // digit.
    if (T == R) {
        const float a = R;
        const double m = static_cast<double>((static_cast<float>(i + 2) * a / 2.0f + L) * 2.0f / a);
        const double m2 = m * m;
        const double lnP = LogPower((m2 + 2.0 * m) / ((m + 1.0) * (m + 1.0)), m + 2.0);
        const double lnQ = LogPower(m2 / (m2 - 1.0), 2.0 * m);
        const double lnS = LogPower((m2 - 2.0 * m) / ((m - 1.0) * (m - 1.0)), m - 2.0);
        return static_cast<float>(3.1415927 * static_cast<double>(a) / (lnP + lnQ + lnS));
    }
    return LoggerUnequalDipoleFactor(g, i);
}

float LoggerUnequalDipoleFactor(const CGantrelGeometry& g, int i) {
    const float T = g.fTransmitterDipole, R = g.fReceiverDipole, L = g.fRopeLength;
    const float C = T / 2.0f;
    const float B = 0.75f * T + L + static_cast<float>(2 * i + 1) * R / 4.0f;
    const float D = B + R / 2.0f;
    const double S =
        1.0 / std::fabs(static_cast<double>(C - B)) + 1.0 / std::fabs(static_cast<double>(D)) -
        1.0 / std::fabs(static_cast<double>(C - D)) - 1.0 / std::fabs(static_cast<double>(B));
    return static_cast<float>(6.28318530718 / S);
}

void ComputeLoggerResistivity(CGantrelData& data, CGantrelGeometry& g) {
    const float T = g.fTransmitterDipole, R = g.fReceiverDipole, L = g.fRopeLength;
    if (T != R) g.bDifferentSize = 1;
    const int n = std::clamp(data.nReceiver, 0, kMaxReceiver);
    for (int i = 0; i < n; ++i) {
        const float K = LoggerGeometricFactor(g, i);
        data.fNFactor[i] = T == R ? (static_cast<float>(i + 1) * R / 2.0f + L) / (R / 2.0f) : 0.0f;
        data.fResistivity[i] = K * data.fResistance[i] / 20.0f;
        data.fDepth[i] = g.bDifferentSize == 1
                             ? 0.25f * (L + (static_cast<float>(i + 1) * R + T) / 2.0f)
                             : 0.25f * (L + static_cast<float>(i + 2) * R / 2.0f);
    }
}

std::string LoggerGeometryRecord(const CGantrelGeometry& g) {
    return FormatGeometryRecord(g, GeometryForm::Logging);
}

// -------------------------------------------------------------------------------------------
// "Gantrel geometry" dialog

const std::array<const char*, 11> CDlgGantrelGeometry::kDipoleButtons = {
    "1m (cylinder)", "2m (1m)",     "2.5m (1.25m)", "5m (2.5m)",   "10m (5m)", "15m (7.5m)",
    "20m (10m)",     "25m (12.5m)", "30m (15m)",    "35m (17.5m)", "40m (20m)"};

CDlgGantrelGeometry CDlgGantrelGeometry::From(const CGantrelGeometry& g) {
    CDlgGantrelGeometry d;
    d.iDipoleIndex = g.iDipoleIndex;
    d.iDipoleIndexReceiver = g.iDipoleIndexReceiver;
    d.fRopeLength = g.fRopeLength;
    d.fOffset = g.fOffset;
    d.sRopeLength = FormatC("%.2f", g.fRopeLength);
    d.sOffset = FormatC("%.2f", g.fOffset);
    d.bDifferentSize = g.bDifferentSize != 0 ? 1 : 0;
    return d;
}

void CDlgGantrelGeometry::Reflesh() {
    float v = 0.0f;
    if (ScanFloat(sRopeLength, v) && std::isfinite(v)) fRopeLength = v;
    if (ScanFloat(sOffset, v) && std::isfinite(v)) fOffset = v;
}

void CDlgGantrelGeometry::ApplyTo(CGantrelGeometry& g) const {
    CDlgGantrelGeometry taken = *this;
    taken.Reflesh();
    g.iDipoleIndex = iDipoleIndex;
    g.iDipoleIndexReceiver = iDipoleIndexReceiver;
    g.fRopeLength = taken.fRopeLength;
    g.fOffset = taken.fOffset;
    g.bDifferentSize = bDifferentSize != 0 ? 1 : 0;
    g.SizeFromIndex();
}

std::string CDlgGantrelGeometry::FirstGroupCaption() const {
    return bDifferentSize != 0
               ? Tr("Transmitter dipole size (cable length)", "送信ﾀﾞｲﾎﾟｰﾙｻｲｽﾞ (ｹｰﾌﾞﾙ長)")
               : Tr("Dipole size (cable length)", "ﾀﾞｲﾎﾟｰﾙｻｲｽﾞ (ｹｰﾌﾞﾙ長)");
}

void CDlgGantrelGeometry::SetDifferentSize(int bOn) {
    bDifferentSize = bOn != 0 ? 1 : 0;
    if (bDifferentSize != 0 && ePreview == GeometryPreview::NSpace)
        ePreview = GeometryPreview::Geometry;
}

void CDlgGantrelGeometry::ChooseMode(GeometryPreview mode) {
    if (mode == GeometryPreview::NSpace && !NSpaceButtonShown()) return;
    ePreview = mode;
}

CGantrelGeometry CDlgGantrelGeometry::PreviewGeometry() const {
    CGantrelGeometry g = CGantrelGeometry::Initial();
    g.fTransmitterDipole = g.fReceiverDipole = kDipoleSizeTable[3];
    g.iDipoleIndex = iDipoleIndex;
    g.iDipoleIndexReceiver = iDipoleIndexReceiver;
    g.bDifferentSize = bDifferentSize != 0 ? 1 : 0;
    g.fRopeLength = fRopeLength;
    g.fOffset = fOffset;
    g.SizeFromIndex();
    return g;
}

namespace {
struct PreviewFrame {
    int left, right, top, bottom;  // page units, y measured down from the area's top
    float fStart, fEnd;            // data range across
    int X(float v) const {
        const float span = fEnd - fStart;
        return left + PageUnits(span > 0.0f ? (v - fStart) / span * static_cast<float>(right - left)
                                            : 0.0f);
    }
};

// Ticks, labels and the title under the frame; the range is widened to whole ticks.
void DrawAxis(CCanvas& canvas, PreviewFrame& f, const std::string& title) {
    const float interval = AutomaticInterval(f.fEnd - f.fStart);
    f.fStart = std::floor(f.fStart / interval) * interval;
    f.fEnd = std::ceil(f.fEnd / interval) * interval;
    if (!(f.fEnd > f.fStart)) f.fEnd = f.fStart + interval;
    canvas.SetPen(kBlackPen);
    canvas.SetBrush(kNullBrush);
    canvas.Rectangle(f.left, -f.top, f.right, -f.bottom);
    canvas.SetFont(LanguageFont(GetLanguage(), 30));
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Center, VAlign::Top});
    const int nTick = std::min(static_cast<int>(std::lround((f.fEnd - f.fStart) / interval)), 100);
    for (int k = 0; k <= nTick; ++k) {
        const float v = f.fStart + static_cast<float>(k) * interval;
        const int x = f.X(v);
        canvas.Line(x, -f.bottom, x, -f.bottom + 20);
        canvas.Text(x, -f.bottom - 10, FormatC("%g", static_cast<double>(v)));
    }
    canvas.SetFont(LanguageFont(GetLanguage(), 35));
    canvas.Text((f.left + f.right) / 2, -f.bottom - 70, title);
}
}  // namespace

void CDlgGantrelGeometry::DrawPreview(CCanvas& canvas, int width, int height) const {
    CCanvasStateSaver keep(canvas);
    PreviewFrame f{kPreviewMarginX,
                   width - kPreviewMarginX,
                   kPreviewMarginY,
                   height - kPreviewMarginY,
                   0.0f,
                   1.0f};
    if (f.right <= f.left || f.bottom <= f.top) return;  // no room inside the margins
    CGantrelGeometry g = PreviewGeometry();
    constexpr int kReceivers = kMaxReceiver;
    CGantrelData reading;
    reading.nReceiver = kReceivers;
    ComputeLoggerResistivity(reading, g);
    const CColor kTransmitterColor{255, 0, 0}, kReceiverColor{0, 0, 255};
    const int rowHeight = (f.bottom - f.top) / (kReceivers + 1);

    if (ePreview == GeometryPreview::Geometry) {
        float fM = 0.0f, fN = 0.0f;
        ReceiverSpan(g, kReceivers - 1, fM, fN);
        f.fStart = std::min(-g.fOffset, 0.0f);
        f.fEnd = std::max(fN, 0.0f);
        DrawAxis(canvas, f, Tr("Distance (m)", "距離 (m)"));
        const int y = -(f.top + f.bottom) / 2;
        canvas.SetPen(kBlackPen);
        canvas.Line(f.X(-g.fOffset), y, f.X(fN), y);  // the rope
        canvas.SetBrush(SolidBrush(kColorBlack));
        canvas.Disc(f.X(-g.fOffset), y, 15);  // the operator
        canvas.SetPen(CPen{kTransmitterColor, 8, PenStyle::Solid});
        canvas.Line(f.X(0.0f), y, f.X(g.fTransmitterDipole / 2.0f), y);
        canvas.SetFont(LanguageFont(GetLanguage(), 30));
        canvas.SetTextAlign({HAlign::Center, VAlign::Bottom});
        canvas.Text(f.X(g.fTransmitterDipole / 4.0f), y + 20, "T");
        for (int i = 0; i < kReceivers; ++i) {
            ReceiverSpan(g, i, fM, fN);
            canvas.SetPen(CPen{kReceiverColor, 8, PenStyle::Solid});
            canvas.Line(f.X(fM) + 2, y, f.X(fN) - 2, y);
            canvas.Text((f.X(fM) + f.X(fN)) / 2, y + 20, FormatC("%d", i + 1));
        }
        return;
    }

    const bool bDepth = ePreview == GeometryPreview::ApparentDepth;
    const float* values = bDepth ? reading.fDepth : reading.fNFactor;
    f.fStart = 0.0f;
    f.fEnd = *std::max_element(values, values + kReceivers);
    if (!std::isfinite(f.fEnd) || f.fEnd > 1e6f) f.fEnd = 1.0f;
    DrawAxis(canvas, f,
             bDepth ? Tr("Apparent depth (m)", "見掛深度 (m)") : Tr("N-space", "隔離係数"));
    canvas.SetFont(LanguageFont(GetLanguage(), 30));
    canvas.SetTextAlign({HAlign::Left, VAlign::Baseline});
    for (int i = 0; i < kReceivers; ++i) {
        const int yCentre = -(f.top + rowHeight * (i + 1));
        const float v = std::isfinite(values[i]) ? std::clamp(values[i], f.fStart, f.fEnd) : 0.0f;
        canvas.SetPen(kBlackPen);
        canvas.SetBrush(SolidBrush(kReceiverColor));
        canvas.Rectangle(f.X(0.0f), yCentre + rowHeight / 4, f.X(v), yCentre - rowHeight / 4);
        canvas.Text(f.X(v) + 10, yCentre - 10,
                    FormatC("%d: %.2f", i + 1, static_cast<double>(values[i])));
    }
}
