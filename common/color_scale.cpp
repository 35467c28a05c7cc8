#include "common/color_scale.h"

#include <algorithm>
#include <cmath>

#include "common/language.h"
#include "common/side_file.h"
#include "common/text_format.h"

namespace {

struct DefaultLevel {
    float fBound;  // Ohm-m
    CColor color;
};

// The default table; its colours are also the base colours C[0] to C[25].
constexpr DefaultLevel kDefaultTable[CColorScale::kDefaultLevelCount] = {
    {10.0f, {180, 100, 255}},   {20.0f, {160, 100, 255}},     {30.0f, {140, 100, 255}},
    {40.0f, {120, 100, 255}},   {50.0f, {100, 120, 255}},     {60.0f, {100, 140, 230}},
    {80.0f, {100, 180, 170}},   {100.0f, {100, 240, 140}},    {120.0f, {120, 255, 120}},
    {150.0f, {140, 255, 100}},  {200.0f, {160, 255, 100}},    {250.0f, {200, 255, 100}},
    {300.0f, {230, 255, 100}},  {400.0f, {255, 255, 100}},    {500.0f, {255, 255, 100}},
    {600.0f, {255, 240, 100}},  {800.0f, {255, 220, 100}},    {1000.0f, {255, 200, 100}},
    {1500.0f, {255, 190, 100}}, {2000.0f, {255, 180, 100}},   {2500.0f, {255, 160, 100}},
    {3000.0f, {255, 140, 100}}, {4000.0f, {255, 120, 120}},   {5000.0f, {255, 100, 160}},
    {7000.0f, {255, 100, 200}}, {100000.0f, {255, 100, 255}},
};

constexpr int kMinIntervals = 4;
constexpr int kMaxIntervals = CColorScale::kCapacity - 2;

// The interval count of a level request, or 0 when it is refused. The quotient is checked
// before it is truncated, so a zero, negative or tiny interval cannot overflow.
int IntervalCount(float fMinimum, float fMaximum, float fInterval) {
    if (!(fMaximum > 0.0f) || !(fMinimum > 0.0f)) return 0;
    const float q = (fMaximum - fMinimum) / fInterval;
    if (!(q >= static_cast<float>(kMinIntervals) && q < static_cast<float>(kMaxIntervals + 1)))
        return 0;
    return static_cast<int>(q);
}

void SetLevelColor(CColorScale& s, int level, CColor c) {
    s.iRed[level] = c.r;
    s.iGreen[level] = c.g;
    s.iBlue[level] = c.b;
}

}  // namespace

CColor BaseColor(int i) {
    return kDefaultTable[std::clamp(i, 0, CColorScale::kDefaultLevelCount - 1)].color;
}

void CColorScale::SetDefault() {
    nLevel = kDefaultLevelCount;
    for (int i = 0; i < kDefaultLevelCount; ++i) {
        fBound[i] = kDefaultTable[i].fBound;
        SetLevelColor(*this, i, kDefaultTable[i].color);
    }
}

bool CColorScale::Resample(float fMinimum, float fMaximum, float fInterval) {
    const int n = IntervalCount(fMinimum, fMaximum, fInterval);
    if (n == 0) return false;
    const int levels = n + 2;
    nLevel = levels;
    fBound[0] = fMinimum;
    for (int i = 1; i < levels; ++i) {
        fBound[i] = fMinimum + static_cast<float>(i) * fInterval;
        // Level 0 keeps its colour; the others sample the base colours from C[1] on.
        SetLevelColor(*this, i, BaseColor(std::max(1, nBaseColor * i / levels)));
    }
    return true;
}

bool CColorScale::BuildManualLevels(float fMinimum, float fMaximum, float fInterval,
                                    const std::filesystem::path& listing) {
    CTextWriter out;
    const bool bListing = OpenSideFile(out, listing);
    const int n = IntervalCount(fMinimum, fMaximum, fInterval);
    if (n == 0) return false;
    const int levels = n + 2;
    nLevel = levels;
    fBound[0] = fMinimum;
    if (bListing) out.Printf("%d %d %d\n", n, levels, nBaseColor);
    const int last = nBaseColor - 1;
    for (int i = 1; i < levels; ++i) {
        fBound[i] = fMinimum + static_cast<float>(i) * fInterval;
        // Position of the level on the base colours, between fBasePositionLow and High.
        const float p = fBasePositionLow + (fBasePositionHigh - fBasePositionLow) *
                                               static_cast<float>(i) / static_cast<float>(levels);
        CColor c;
        if (p <= 0.0f) {
            c = BaseColor(0);
        } else if (p >= static_cast<float>(nBaseColor)) {
            c = BaseColor(last);
        } else {
            int j = 1;
            while (j <= last && static_cast<float>(j) < p) ++j;
            if (j > last) {
                c = BaseColor(last);
            } else {
                const CColor lo = BaseColor(j - 1), hi = BaseColor(j);
                const float t = p - static_cast<float>(j - 1);
                auto mix = [t](int a, int b) {
                    return static_cast<int>(static_cast<float>(a) + static_cast<float>(b - a) * t);
                };
                c = {mix(lo.r, hi.r), mix(lo.g, hi.g), mix(lo.b, hi.b)};
            }
        }
        SetLevelColor(*this, i, c);
        if (bListing)
            out.Printf("%d %f %f : %d %d %d\n", i, static_cast<double>(p),
                       static_cast<double>(fBound[i]), c.r, c.g, c.b);
    }
    out.Close();
    return true;
}

void CColorScale::FollowData(float fMinimum, float fMaximum, bool bLog) {
    if (nLevel < 2) return;
    const int top = nLevel - 2;
    fBound[0] = fMinimum;
    fBound[top] = fMaximum;
    if (nLevel < 4) return;
    if (!bLog) {
        for (int i = 1; i < top; ++i)
            fBound[i] =
                fMinimum + (fMaximum - fMinimum) * static_cast<float>(i) / static_cast<float>(top);
    } else if (fMinimum > 0.0f && fMaximum > 0.0f) {
        const float lo = std::log10(fMinimum);
        const float d = (std::log10(fMaximum) - lo) / static_cast<float>(top);
        for (int i = 1; i < top; ++i) fBound[i] = std::pow(10.0f, lo + static_cast<float>(i) * d);
    }
}

int CColorScale::Lookup(float value) const {
    const int n = std::clamp(nLevel, 1, kCapacity);
    for (int i = 0; i < n; ++i)
        if (fBound[i] > value) return i;
    return n - 1;
}

CColor CColorScale::LevelColor(int level) const {
    const int i = std::clamp(level, 0, kCapacity - 1);
    return {iRed[i], iGreen[i], iBlue[i]};
}

CReceiverColors::CReceiverColors() {
    static constexpr int kRedFall[] = {240, 220, 200, 180, 160, 140, 120, 100, 75, 50, 25};
    static constexpr int kGreenRise[] = {35, 70, 105, 135, 165, 195, 225};
    static constexpr int kGreenFall[] = {225, 200, 170, 150, 125, 100, 75, 50, 25};
    static constexpr int kBlueFall[] = {255, 200, 150, 100, 50};
    static constexpr int kBlueRise[] = {25, 50, 75, 100, 125, 150, 175, 200, 225};
    static constexpr int kGrey[kEntries] = {0,   7,   14,  21,  28,  35,  43,  50,  57,  64,
                                            71,  78,  85,  92,  99,  106, 113, 120, 128, 135,
                                            142, 149, 156, 163, 170, 177, 184, 191, 198, 205,
                                            213, 220, 227, 234, 241, 248, 255};
    for (int i = 0; i < kEntries; ++i) {
        iRainbowRed[i] = i <= 13 ? 255 : i <= 24 ? kRedFall[i - 14] : 0;
        iRainbowGreen[i] = i <= 5    ? 0
                           : i <= 12 ? kGreenRise[i - 6]
                           : i <= 25 ? 255
                           : i <= 34 ? kGreenFall[i - 26]
                                     : 0;
        iRainbowBlue[i] = i <= 4 ? kBlueFall[i] : i <= 25 ? 0 : i <= 34 ? kBlueRise[i - 26] : 255;
        iGreyRed[i] = iGreyGreen[i] = iGreyBlue[i] = kGrey[i];
    }
}

CColor CReceiverColors::Rainbow(int i) const {
    i = std::clamp(i, 0, kEntries - 1);
    return {iRainbowRed[i], iRainbowGreen[i], iRainbowBlue[i]};
}

CColor CReceiverColors::Grey(int i) const {
    i = std::clamp(i, 0, kEntries - 1);
    return {iGreyRed[i], iGreyGreen[i], iGreyBlue[i]};
}

int DrawColorLegend(CCanvas& canvas, const CColorScale& scale, const CDrawingParameter& param,
                    const CAxes& axes) {
    const int plotWidth = PageUnits((axes.fXEnd - axes.fXStart) * axes.fXScale);
    const int plotHeight = PageUnits((axes.fYEnd - axes.fYStart) * axes.fYScale);
    const int boxLeft = param.iLeftMargin + plotWidth + 70;
    const int boxRight = param.iLeftMargin + plotWidth + 110;
    const int levels = std::clamp(scale.nLevel, 1, CColorScale::kCapacity);
    const int legendHeight = PageUnits(0.7 * plotHeight);
    const int boxHeight = legendHeight / levels;
    const int labelStep = boxHeight < 25 ? 4 : boxHeight < 50 ? 2 : 1;
    const int top = param.iTopMargin;

    CCanvasStateSaver keep(canvas);
    canvas.SetFont(TickLabelFont(param.iLanguage));
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Left, VAlign::Top});
    // A label names the bound at the top of its box and is centred on that edge by its
    // measured height; where boxes are lower than the labels, labels are left out so that no
    // two touch (the step grows from 1, 2 or 4 as far as needed).
    const int labelHeight = canvas.MeasureText("0").iHeight;
    int step = labelStep;
    while (boxHeight > 0 && step * boxHeight < labelHeight + 2 && step < levels) step *= 2;
    int extent = boxRight + 100;
    for (int l = 0; l < levels; ++l) {
        // Level 0 at the bottom of the plot, higher levels stacked upwards.
        const int boxTop = top + plotHeight - (l + 1) * boxHeight;
        const int boxBottom = top + plotHeight - l * boxHeight;
        const float representative =
            l == 0 ? scale.fBound[0] - 10000.0f : (scale.fBound[l - 1] + scale.fBound[l]) / 2.0f;
        canvas.SetBrush(SolidBrush(scale.ColorOf(representative)));
        canvas.Rectangle(boxLeft, -boxTop, boxRight, -boxBottom);
        if (l != levels - 1 && l % step == 0) {
            const std::string text = FormatC("%.2f", static_cast<double>(scale.fBound[l]));
            canvas.Text(boxRight + 10, -(boxTop - labelHeight / 2), text);
            extent = std::max(extent, boxRight + 10 + canvas.MeasureText(text).iWidth);
        }
    }
    // The unit 3 mm below the plot; the title above the legend, clear of its top label.
    const int legendTop = top + plotHeight - levels * boxHeight;
    const int titleHeight = canvas.MeasureText(param.sValueLabel).iHeight;
    canvas.Text(boxLeft, -(top + plotHeight + 30), param.sValueUnit);
    canvas.Text(boxLeft, -(legendTop - labelHeight / 2 - 10 - titleHeight), param.sValueLabel);
    for (const std::string* t : {&param.sValueUnit, &param.sValueLabel})
        extent = std::max(extent, boxLeft + canvas.MeasureText(*t).iWidth);
    return extent;
}

std::string CDlgContourInterval::DialogName() const {
    return Tr("Contour interval", "コンター間隔");
}

std::string ContourTooManyMessage() {
    return Tr("Number of contour is too many.", "コンターの数が多すぎます。");
}

std::string ContourLevelsRefusal(float fMinimum, float fMaximum, float fInterval) {
    if (IntervalCount(fMinimum, fMaximum, fInterval) > 0) return {};
    if (!(fMinimum > 0.0f) || !(fMaximum > 0.0f) || !std::isfinite(fMinimum) ||
        !std::isfinite(fMaximum))
        return Tr("The minimum and the maximum must both be above 0.",
                  "最小値と最大値はどちらも 0 より大きくしてください。");
    if (!(fMaximum > fMinimum))
        return Tr("The maximum must be above the minimum.",
                  "最大値は最小値より大きくしてください。");
    if (!(fInterval > 0.0f) || !std::isfinite(fInterval))
        return Tr("The interval must be above 0.", "間隔は 0 より大きくしてください。");
    if ((fMaximum - fMinimum) / fInterval < static_cast<float>(kMinIntervals))
        return FormatC(Tr("Number of contour is too few: at least %d intervals are needed "
                          "between the minimum and the maximum. Enter a smaller interval.",
                          "コンターの数が少なすぎます: 最小値と最大値の間に %d 以上の間隔が必要"
                          "です。間隔を小さくしてください。"),
                       kMinIntervals);
    return FormatC(Tr("Number of contour is too many: at most %d intervals fit between the "
                      "minimum and the maximum. Enter a larger interval.",
                      "コンターの数が多すぎます: 最小値と最大値の間に入る間隔は %d までです。間隔を"
                      "大きくしてください。"),
                   kMaxIntervals);
}

CDlgContourInterval UsableContourInterval(float fMinimum, float fMaximum, float fInterval,
                                          float fDataMinimum, float fDataMaximum,
                                          const CColorScale& scale) {
    CDlgContourInterval d;
    d.fMinimum = fMinimum;
    d.fMaximum = fMaximum;
    d.fInterval = fInterval;
    if (IntervalCount(fMinimum, fMaximum, fInterval) > 0) return d;
    auto usable = [](float lo, float hi) {
        return lo > 0.0f && hi > lo && std::isfinite(lo) && std::isfinite(hi);
    };
    if (!usable(d.fMinimum, d.fMaximum)) {
        if (usable(fDataMinimum, fDataMaximum)) {
            d.fMinimum = fDataMinimum;
            d.fMaximum = fDataMaximum;
        } else {
            // No data yet: the span of the levels shown now.
            d.fMinimum = scale.fBound[0];
            d.fMaximum = scale.fBound[std::clamp(scale.nLevel - 2, 0, CColorScale::kCapacity - 1)];
            if (!usable(d.fMinimum, d.fMaximum)) {
                d.fMinimum = kDefaultTable[0].fBound;
                d.fMaximum = kDefaultTable[CColorScale::kDefaultLevelCount - 2].fBound;
            }
        }
    }
    // About ten intervals, on a step of 1, 2 or 5 times a power of ten.
    const double raw = (static_cast<double>(d.fMaximum) - d.fMinimum) / 10.0;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    double step = decade;
    for (double m : {2.0, 5.0, 10.0})
        if (m * decade <= raw) step = m * decade;
    d.fInterval = static_cast<float>(step);
    if (IntervalCount(d.fMinimum, d.fMaximum, d.fInterval) == 0)
        d.fInterval = static_cast<float>(raw);
    return d;
}
