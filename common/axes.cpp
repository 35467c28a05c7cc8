#include "common/axes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "common/language.h"
#include "common/text_format.h"

namespace {

constexpr CColor kGridBlue{0, 0, 255};
constexpr CColor kMinorOlive{200, 200, 0};
constexpr int kGridPenWidth = 5;
constexpr int kMinorPenWidth = 1;
constexpr int kFramePenWidth = 10;
// Later x labels are drawn only this far right of the last drawn one (10 mm).
constexpr int kMinLabelSpacing = 100;

double g_fontScaleFactor = 1.0;

int TickCount(float start, float end, float interval) {
    if (!(interval > 0.0f)) return 0;
    const float q = (end - start) / interval;
    if (std::isnan(q)) return 0;
    if (q >= static_cast<float>(kMaxTickCount)) return kMaxTickCount;
    if (q <= -static_cast<float>(kMaxTickCount)) return 0;
    const int n = static_cast<int>(q) + 1;
    return n > 0 ? n : 0;
}

int Scaled(int height) {
    return static_cast<int>(height * FontScaleFactor());
}

const char* ByLanguage(int language, const char* english, const char* japanese) {
    return language == kLanguageJapanese ? japanese : english;
}

// Most decimals a tick label shows.
constexpr int kMaxLabelDecimals = 3;

// Decimals that tell ticks of this interval apart: 0 for whole intervals, 1 for 0.5, 2 for
// 0.25. Logarithmic axes step whole decades and take none.
int IntervalDecimals(float interval, bool bLog) {
    if (bLog || !(interval > 0.0f) || !std::isfinite(interval)) return 0;
    double scaled = interval;
    for (int d = 0; d < kMaxLabelDecimals; ++d, scaled *= 10.0)
        if (std::fabs(scaled - std::round(scaled)) < 1e-3) return d;
    return kMaxLabelDecimals;
}

// A value a rounding step below 0 would read "-0" (or "-0.0").
std::string WithoutNegativeZero(std::string text) {
    if (!text.empty() && text.front() == '-' &&
        text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
    return text;
}

// x tick label text.
std::string XLabel(double value, int decimals) {
    return WithoutNegativeZero(FormatC("%.*f", decimals, value));
}

// y tick label text: decades shown as values, depths as positive numbers. A linear axis
// shows the decimals its interval needs on every label, so that "-50", "0" and "50" read
// alike; decades below 1 show the figures that tell them apart ("0.01", "0.1").
std::string YLabel(const CAxes& axes, float v, double& labelValue) {
    const int fromInterval = IntervalDecimals(axes.fYInterval, axes.bYLog != 0);
    if (axes.bYLog) {
        labelValue = std::pow(10.0, static_cast<double>(v));
    } else if (axes.bYNegated) {
        if (std::fabs(v) < 1e-7f) {
            labelValue = 0.0;
            return FormatC("%.*f", fromInterval, 0.0);
        }
        labelValue = -v;
    } else {
        labelValue = v;
    }
    const int byValue = axes.bYLog ? std::clamp(-static_cast<int>(std::floor(v + 1e-4f)), 0, 6) : 0;
    return WithoutNegativeZero(FormatC("%.*f", std::max(byValue, fromInterval), labelValue));
}

}  // namespace

void CAxes::UpdateTicks() {
    if (bXLog) fXInterval = 1.0f;
    if (bYLog) fYInterval = 1.0f;
    nXTick = TickCount(fXStart, fXEnd, fXInterval);
    nYTick = TickCount(fYStart, fYEnd, fYInterval);
    fXFirstTick = fXStart;
    fYFirstTick = fYStart;
}

float AutomaticInterval(float d) {
    if (d < 10.0f) return 1.0f;
    if (d < 50.0f) return 2.0f;
    if (d < 100.0f) return 5.0f;
    if (d < 500.0f) return 20.0f;
    if (d < 1000.0f) return 50.0f;
    if (d < 5000.0f) return 200.0f;
    return 500.0f;
}

void CAxes::SetAutomaticXInterval() {
    fXInterval = AutomaticInterval(fXEnd - fXStart);
}

bool CAxes::FitScales(int clientWidth, int clientHeight, const CDrawingParameter& param,
                      int reserve) {
    // Integer page units available for the frame; a window too small to hold the margins
    // would give a negative scale that every later draw keeps, so the scale is left alone.
    const long long w = std::llabs(static_cast<long long>(clientWidth)) - param.iLeftMargin -
                        param.iRightMargin - reserve;
    const long long h =
        std::llabs(static_cast<long long>(clientHeight)) - param.iTopMargin - param.iBottomMargin;
    const float xSpan = fXEnd - fXStart;
    const float ySpan = fYEnd - fYStart;
    const bool xFits = w > 0 && xSpan > 0.0f;
    const bool yFits = h > 0 && ySpan > 0.0f;
    if (xFits) fXScale = static_cast<float>(w) / xSpan;
    if (yFits) fYScale = static_cast<float>(h) / ySpan;
    return xFits && yFits;
}

void CAxes::SetLineResistivityTitles(int language) {
    sXTitle = ByLanguage(language, "Distance (m)", "距離 (m)");
    sYTitle = ByLanguage(language, "Apparent resistivity (ohm-m)", "見掛比抵抗 (ohm-m)");
    bXTitle = bYTitle = 1;
    bYLog = 1;
}

void CAxes::SetLineResistanceTitles(int language) {
    sXTitle = ByLanguage(language, "Distance (m)", "距離 (m)");
    sYTitle = ByLanguage(language, "Measured resistance:V/I (ohm)", "測定抵抗:V/I (ohm)");
    bXTitle = bYTitle = 1;
    bYLog = 1;
}

void CAxes::SetSectionTitles(int language) {
    sXTitle = ByLanguage(language, "Distance (m)", "距離 (m)");
    sYTitle = ByLanguage(language, "Depth (m)", "深度 (m)");
    bXTitle = bYTitle = 1;
    bYNegated = 1;
}

void CAxes::SetModelTitles(int language, const std::string& depthUnit) {
    sXTitle = ByLanguage(language, "Resistivity (ohm-m)", "比抵抗 (ohm-m)");
    sYTitle = ByLanguage(language, "Depth (", "深度 (") + depthUnit + ")";
    bXTitle = bYTitle = 1;
    bYNegated = 1;
}

void CAxes::SetMapTitles(int language) {
    sXTitle = ByLanguage(language, "W - E (m)", "西 - 東 (m)");
    sYTitle = ByLanguage(language, "S - N (m)", "南 - 北 (m)");
    bXTitle = bYTitle = 1;
}

double FontScaleFactor() {
    return g_fontScaleFactor;
}

void SetFontScaleFactor(double factor) {
    g_fontScaleFactor = std::isfinite(factor) && factor > 0.0 ? factor : 1.0;
}

CFont LanguageFont(int language, int height) {
    CFont font;
    font.iHeight = height;
    font.bJapanese = language == kLanguageJapanese;
    return font;
}

CFont ScaledLanguageFont(int language, int height) {
    return LanguageFont(language, Scaled(height));
}

CFont TickLabelFont(int language) {
    return LanguageFont(language, language == kLanguageJapanese ? 35 : Scaled(35));
}

CFont XTitleFont(int language) {
    return LanguageFont(language, Scaled(40));
}

CFont YTitleFont(int language) {
    CFont font = LanguageFont(language, language == kLanguageJapanese ? Scaled(40) : Scaled(35));
    font.iEscapement = -900;
    return font;
}

int TextWidthEstimate(double value) {
    const double a = std::fabs(value);
    const int extra = value < 0.0 ? 20 : 0;  // room for the minus sign
    if (a >= 100000.0) return 175 + extra;
    if (a >= 10000.0) return 150 + extra;
    if (a >= 1000.0) return 125 + extra;
    if (a >= 100.0) return 100 + extra;
    if (a >= 10.0) return 75 + extra;
    if (a >= 1.0) return 50 + extra;
    if (a >= 0.1) return 75 + extra;
    return 100 + extra;
}

namespace {

// Room kept between a tick label and the frame, and between neighbouring texts (1 mm).
constexpr int kTextGap = 10;

// A y tick label laid out before anything is drawn: its text, where it goes and how large it
// is (page units, y measured down from the page top).
struct YLabelPlace {
    std::string text;
    int x = 0, yTop = 0;
    int iWidth = 0;
};

// The y labels that are drawn: each right-aligned a gap left of the frame and centred on its
// tick by its measured size; a label that would touch the last one drawn is left out.
std::vector<YLabelPlace> LayOutYLabels(const CCanvas& canvas, const CAxes& axes, int left,
                                       int top) {
    std::vector<YLabelPlace> out;
    if (!axes.bYLabel) return out;
    int lastTop = 0;
    for (int k = 0; k < axes.nYTick; ++k) {
        const float v = static_cast<float>(k) * axes.fYInterval + axes.fYFirstTick;
        const int y = PageUnits((axes.fYEnd - v) * axes.fYScale + static_cast<float>(top));
        double value = 0.0;
        YLabelPlace place;
        place.text = YLabel(axes, v, value);
        const CTextExtent e = canvas.MeasureText(place.text);
        place.iWidth = e.iWidth;
        place.x = left - kTextGap - e.iWidth;
        place.yTop = y - e.iHeight / 2;
        // Ticks run upwards: the previous label is below this one.
        if (!out.empty() && place.yTop + e.iHeight > lastTop) continue;
        lastTop = place.yTop;
        out.push_back(std::move(place));
    }
    return out;
}

}  // namespace

CFrameEdges DrawFrameAndAxes(CCanvas& canvas, const CDrawingParameter& param, const CAxes& axes,
                             CPlotOffset& offset) {
    CCanvasStateSaver keep(canvas);
    const int left = param.iLeftMargin + offset.x0;
    const int top = param.iTopMargin + offset.y0;
    const int bottom = PageUnits(top + (axes.fYEnd - axes.fYStart) * axes.fYScale);
    const int right = PageUnits(left + (axes.fXEnd - axes.fXStart) * axes.fXScale);
    const int frameWidth = right - left;
    const int frameHeight = bottom - top;

    const CPen gridPen{kGridBlue, kGridPenWidth, PenStyle::Solid};
    const CPen minorPen{kMinorOlive, kMinorPenWidth, PenStyle::Solid};
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Left, VAlign::Top});
    canvas.SetFont(TickLabelFont(param.iLanguage));

    // Labels are placed by their measured size. The y labels are laid out first: the x labels
    // go 5 mm above the frame, or higher when the top y label reaches into their row, so that
    // the corner labels stay apart.
    const std::vector<YLabelPlace> yLabels = LayOutYLabels(canvas, axes, left, top);
    const int labelHeight = canvas.MeasureText("0").iHeight;
    int xLabelTop = top - 50;
    int widestYLabel = 0;
    for (const YLabelPlace& p : yLabels) {
        widestYLabel = std::max(widestYLabel, p.iWidth);
        if (p.yTop < xLabelTop + labelHeight + kTextGap / 2)
            xLabelTop = std::min(xLabelTop, p.yTop - kTextGap / 2 - labelHeight);
    }

    // Vertical grid lines and x labels.
    int lastLabelLeft = 0, lastLabelRight = 0;
    bool anyLabel = false;
    const int xDecimals = IntervalDecimals(axes.fXInterval, axes.bXLog != 0);
    for (int k = 0; k < axes.nXTick; ++k) {
        const float v = static_cast<float>(k) * axes.fXInterval + axes.fXFirstTick;
        const float xf = (v - axes.fXStart) * axes.fXScale + static_cast<float>(left);
        const int x = PageUnits(xf);
        canvas.SetPen(gridPen);
        canvas.Line(x, -top, x, -bottom);
        if (axes.bXLabel) {
            const double value = axes.bXLog ? std::pow(10.0, static_cast<double>(v)) : v;
            const std::string text = XLabel(value, xDecimals);
            const int width = canvas.MeasureText(text).iWidth;
            const int labelLeft = x - width / 2;
            // At least 10 mm from the last drawn label, and clear of it.
            if (!anyLabel || (labelLeft >= lastLabelLeft + kMinLabelSpacing &&
                              labelLeft >= lastLabelRight + kTextGap)) {
                canvas.Text(labelLeft, -xLabelTop, text);
                lastLabelLeft = labelLeft;
                lastLabelRight = labelLeft + width;
                anyLabel = true;
            }
        }
        if (axes.bXLog && k != axes.nXTick - 1) {
            canvas.SetPen(minorPen);
            for (int m = 2; m <= 9; ++m) {
                const int xm = PageUnits(xf + std::log10(static_cast<float>(m)) * axes.fXScale);
                canvas.Line(xm, -top, xm, -bottom);
            }
        }
    }
    if (axes.bXTitle) {
        // Centred over the frame by its width, 13 mm above it or clear of the labels.
        canvas.SetFont(XTitleFont(param.iLanguage));
        const CTextExtent e = canvas.MeasureText(axes.sXTitle);
        const int titleTop = std::min(top - 130, xLabelTop - kTextGap - e.iHeight);
        canvas.Text(std::max(0, left + frameWidth / 2 - e.iWidth / 2), -titleTop, axes.sXTitle);
    }

    // Horizontal grid lines and y labels.
    canvas.SetFont(TickLabelFont(param.iLanguage));
    for (int k = 0; k < axes.nYTick; ++k) {
        const float v = static_cast<float>(k) * axes.fYInterval + axes.fYFirstTick;
        const float yf = (axes.fYEnd - v) * axes.fYScale + static_cast<float>(top);
        const int y = PageUnits(yf);
        canvas.SetPen(gridPen);
        canvas.Line(left, -y, right, -y);
        if (axes.bYLog && k != axes.nYTick - 1) {
            canvas.SetPen(minorPen);
            for (int m = 2; m <= 9; ++m) {
                const int ym = PageUnits(yf - std::log10(static_cast<float>(m)) * axes.fYScale);
                canvas.Line(left, -ym, right, -ym);
            }
        }
    }
    for (const YLabelPlace& p : yLabels) canvas.Text(p.x, -p.yTop, p.text);
    if (axes.bYTitle) {
        // Turned clockwise the glyph tops face the frame; the text hangs from its bottom edge
        // so that it lies right of the reference point, between the page edge and the labels,
        // and reads downwards centred on the frame's height. It keeps to the page.
        const CFont font = YTitleFont(param.iLanguage);
        canvas.SetFont(font);
        canvas.SetTextAlign({HAlign::Left, VAlign::Bottom});
        const CTextExtent e = canvas.MeasureText(axes.sYTitle);
        const int labelsLeft = yLabels.empty() ? left : left - kTextGap - widestYLabel;
        const int titleX = std::max(0, std::min(left - 190, labelsLeft - kTextGap - e.iHeight));
        const int titleTop = std::max(0, top + frameHeight / 2 - e.iWidth / 2);
        canvas.Text(titleX, -titleTop, axes.sYTitle);
    }

    canvas.SetPen({kColorBlack, kFramePenWidth, PenStyle::Solid});
    canvas.SetBrush(kNullBrush);
    canvas.Rectangle(left, -top, right, -bottom);

    offset.iFrameWidth = frameWidth;
    offset.iFrameHeight = frameHeight;
    return {right, bottom, xLabelTop};
}

void DrawArrow(CCanvas& canvas, CColor color, int x1, int y1, int x2, int y2) {
    constexpr double kBarb = 20.0;
    constexpr double kBarbAngle = 3.0 * 3.14159265358979323846 / 4.0;  // 135°
    CCanvasStateSaver keep(canvas);
    canvas.SetPen({color, 8, PenStyle::Solid});
    canvas.Line(x1, y1, x2, y2);
    const double angle = std::atan2(static_cast<double>(y2) - y1, static_cast<double>(x2) - x1);
    for (double turn : {kBarbAngle, -kBarbAngle}) {
        canvas.Line(x2, y2, PageUnits(x2 + kBarb * std::cos(angle + turn)),
                    PageUnits(y2 + kBarb * std::sin(angle + turn)));
    }
}

std::string CDlgManualAxis::DialogName() const {
    return Tr("Axis configuration", "軸の設定");
}

CDlgManualAxis AxisDialogFromAxes(const CAxes& axes, const CAxisDialogSetup& setup) {
    CDlgManualAxis dlg;
    dlg.sXUnit = setup.sXUnit;
    dlg.sYUnit = setup.sYUnit;
    dlg.bXLogShown = setup.bXLogAllowed;
    dlg.bYLogShown = setup.bYLogAllowed;
    dlg.bXLog = axes.bXLog ? 1 : 0;
    dlg.bYLog = axes.bYLog ? 1 : 0;
    dlg.bXFixed = axes.bXFixed ? 1 : 0;
    dlg.bYFixed = axes.bYFixed ? 1 : 0;
    dlg.bXMinimumEnabled = setup.bXMinimumEnabled || axes.bXLog;
    dlg.bYMinimumEnabled = setup.bYMinimumEnabled || axes.bYLog;
    if (axes.bXLog) {
        dlg.dXMinimum = std::pow(10.0, static_cast<double>(axes.fXStart));
        dlg.dXMaximum = std::pow(10.0, static_cast<double>(axes.fXEnd));
        dlg.fXInterval = std::pow(10.0f, axes.fXInterval);
    } else {
        dlg.dXMinimum = axes.fXStart;
        dlg.dXMaximum = axes.fXEnd;
        dlg.fXInterval = axes.fXInterval;
    }
    if (axes.bYLog) {
        dlg.dYMinimum = std::pow(10.0, static_cast<double>(axes.fYStart));
        dlg.dYMaximum = std::pow(10.0, static_cast<double>(axes.fYEnd));
        dlg.fYInterval = std::pow(10.0f, axes.fYInterval);
    } else if (setup.bDepthAxis) {
        dlg.dYMinimum = -axes.fYEnd;
        dlg.dYMaximum = -axes.fYStart;
        dlg.fYInterval = axes.fYInterval;
    } else {
        dlg.dYMinimum = axes.fYStart;
        dlg.dYMaximum = axes.fYEnd;
        dlg.fYInterval = axes.fYInterval;
    }
    return dlg;
}

namespace {

struct AxisRow {
    double dMinimum, dMaximum;
    float fInterval;
    int bLog, bFixed;
};

// Applies one row to start, end and interval; false with a message when it cannot.
bool ApplyRow(const AxisRow& entered, const AxisRow& filled, bool minimumEnabled, bool depthAxis,
              float& start, float& end, float& interval, int& log, std::string& error) {
    const bool logChanges = entered.bLog != filled.bLog;
    log = entered.bLog;
    // A row whose "Fixed" box is cleared is read-only: its range stays unless the axis
    // changes between linear and logarithmic.
    if (!entered.bFixed && !logChanges) return true;
    // The minimum field follows the axis kind chosen in the dialog.
    const double minimum = minimumEnabled || entered.bLog ? entered.dMinimum : filled.dMinimum;
    const double maximum = entered.dMaximum;
    if (!std::isfinite(minimum) || !std::isfinite(maximum) || !std::isfinite(entered.fInterval)) {
        error = Tr("The minimum, maximum and interval must be numbers.",
                   "最小値、最大値、間隔には数値を入力してください。");
        return false;
    }
    if (entered.bLog) {
        if (!(minimum > 0.0) || !(maximum > 0.0)) {
            error = Tr("The minimum and maximum of a logarithmic axis must be above 0.",
                       "対数軸の最小値と最大値は0より大きい値にしてください。");
            return false;
        }
        start = static_cast<float>(std::log10(minimum));
        end = static_cast<float>(std::log10(maximum));
        interval = 1.0f;
    } else if (depthAxis) {
        start = static_cast<float>(-maximum);
        end = static_cast<float>(-minimum);
        interval = entered.fInterval;
    } else {
        start = static_cast<float>(minimum);
        end = static_cast<float>(maximum);
        interval = entered.fInterval;
    }
    return true;
}

}  // namespace

bool ApplyAxisDialog(const CDlgManualAxis& dlg, const CAxisDialogSetup& setup, CAxes& axes,
                     std::string& error) {
    const CDlgManualAxis filled = AxisDialogFromAxes(axes, setup);
    CAxes result = axes;
    const AxisRow xEntered{dlg.dXMinimum, dlg.dXMaximum, dlg.fXInterval,
                           setup.bXLogAllowed ? (dlg.bXLog ? 1 : 0) : filled.bXLog,
                           dlg.bXFixed ? 1 : 0};
    const AxisRow xFilled{filled.dXMinimum, filled.dXMaximum, filled.fXInterval, filled.bXLog,
                          filled.bXFixed};
    const AxisRow yEntered{dlg.dYMinimum, dlg.dYMaximum, dlg.fYInterval,
                           setup.bYLogAllowed ? (dlg.bYLog ? 1 : 0) : filled.bYLog,
                           dlg.bYFixed ? 1 : 0};
    const AxisRow yFilled{filled.dYMinimum, filled.dYMaximum, filled.fYInterval, filled.bYLog,
                          filled.bYFixed};
    if (!ApplyRow(xEntered, xFilled, setup.bXMinimumEnabled, false, result.fXStart, result.fXEnd,
                  result.fXInterval, result.bXLog, error))
        return false;
    if (!ApplyRow(yEntered, yFilled, setup.bYMinimumEnabled, setup.bDepthAxis && !yEntered.bLog,
                  result.fYStart, result.fYEnd, result.fYInterval, result.bYLog, error))
        return false;
    result.bXFixed = xEntered.bFixed;
    result.bYFixed = yEntered.bFixed;
    axes = result;
    return true;
}
