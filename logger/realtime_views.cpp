#include "logger/realtime_views.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string_view>

#include "common/language.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "logger/tessick_menu.h"

namespace {

constexpr CColor kRed{255, 0, 0};
constexpr CColor kGreen{0, 255, 0};
constexpr CColor kYellow{255, 255, 0};
constexpr CColor kMagenta{255, 0, 255};
constexpr int kDotRadius = 10;
constexpr int kMarkerPenWidth = 5;
constexpr int kSweepPenWidth = 10;
// Rows of the text tables: 20 records, 60 units apart from y = -10.
constexpr int kTableRows = 20;
constexpr int kRowStep = 60;
// The colour legend right of the model-mode plot.
constexpr int kLegendReserve = 200;

const char* ByLanguage(int language, const char* english, const char* japanese) {
    return language == kLanguageJapanese ? japanese : english;
}

int ReceiverCount(const CGantrelData& r) {
    return std::clamp(r.nReceiver, 0, kMaxReceiver);
}

void TimeAxis(CAxes& a, int language) {
    a.fXStart = 0.0f;
    a.fXEnd = CProfileView::kSweepLength;
    a.fXInterval = 20.0f;
    a.bXLog = 0;
    a.sXTitle = ByLanguage(language, "Time (sec)", "時間 (秒)");
    a.bXTitle = a.bYTitle = 1;
}

void DepthAxis(CAxes& a, const CGantrelDrawingParameter& param) {
    a.fYStart = param.fSectionBottom;
    a.fYEnd = param.fSectionTop;
    a.fYInterval = 2.0f;
    a.bYLog = 0;
    a.bYNegated = 1;  // depths below the surface are shown as positive numbers
    a.sYTitle = ByLanguage(param.iLanguage, "Apparent depth (m)", "見掛深度 (m)");
}

std::int64_t MarkerKey(const CMarkerData& m) {
    return m.time * 1000 + m.iMilliSecond;
}

}  // namespace

void DrawStatusBadge(CCanvas& canvas, StatusBadge badge) {
    if (badge == StatusBadge::None) return;
    const CColor face = badge == StatusBadge::Mark    ? kGreen
                        : badge == StatusBadge::Pause ? kYellow
                                                      : kRed;
    const char* text = badge == StatusBadge::Mark    ? "MARK"
                       : badge == StatusBadge::Pause ? "PAUSE"
                                                     : "REC";
    CCanvasStateSaver keep(canvas);
    canvas.SetPen(kNullPen);
    canvas.SetBrush(SolidBrush(face));
    canvas.Rectangle(0, 0, kBadgeWidth, -kBadgeHeight);
    CFont font;
    font.iHeight = 80;
    canvas.SetFont(font);
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Center, VAlign::Top});
    canvas.Text(kBadgeWidth / 2, -15, text);
}

CColor StatusSquareColor(int d) {
    static const CReceiverColors colors;
    if (d < 0 || d > 7) return kColorBlack;
    return colors.Rainbow(5 * (7 - d));
}

// ---------------------------------------------------------------------------------------------
// Profile view

CProfileView::CProfileView(const CAcquisitionState& state) {
    iMode = std::clamp(ReadSettingInt("iViewMenu", kResistance), 0, 3);
    if (state.readings.Count() > 2) {
        ResistivityBounds(state, fColorMin, fColorMax);
        fColorInterval = (fColorMax - fColorMin) / static_cast<float>(scale.nLevel);
    }
    fColorMin = static_cast<float>(ReadSettingReal("color_rMin", fColorMin));
    fColorMax = static_cast<float>(ReadSettingReal("color_rMax", fColorMax));
    fColorInterval = static_cast<float>(ReadSettingReal("color_rInt", fColorInterval));
    if (!state.markers.Empty()) {
        const CMarkerData& m = state.markers.Latest();
        iSeenLine_ = m.iLineID;
        iSeenMarker_ = m.iMarkerNumber;
        iSeenKind_ = m.iKind;
        tSeen_ = MarkerKey(m);
    }
}

void CProfileView::ResistivityBounds(const CAcquisitionState& state, float& fMin, float& fMax) {
    fMin = 100000.0f;
    fMax = 0.0f;
    for (const CLoggerReading& r : state.readings)
        for (int i = 0; i < ReceiverCount(r); ++i) {
            fMin = std::min(fMin, r.fResistivity[i]);
            fMax = std::max(fMax, r.fResistivity[i]);
        }
}

void CProfileView::SetMode(int mode) {
    iMode = std::clamp(mode, 0, 3);
    WriteSettingInt("iViewMenu", iMode);
}

bool CProfileView::Command(int iCommand, CPrompter& prompter, const std::string& listingFolder) {
    switch (iCommand) {
        case kCmdViewText:
            SetMode(kText);
            return true;
        case kCmdViewResistivity:
            SetMode(kResistivity);
            return true;
        case kCmdViewResistance:
            SetMode(kResistance);
            return true;
        case kCmdViewModel:
            SetMode(kModel);
            return true;
        case kCmdColorDefault:
            scale.SetDefault();
            iColorMode = kContourDefault;
            return true;
        case kCmdColorLinear:
        case kCmdColorLog:
            iColorMode = iCommand == kCmdColorLinear ? kContourLinear : kContourLog;
            // Bounds that give no levels keep the levels there are.
            scale.Resample(fColorMin, fColorMax, fColorInterval);
            return true;
        case kCmdColorManual:
            ManualColor(prompter, listingFolder);
            return true;
        default:
            return false;
    }
}

bool CProfileView::ManualColor(CPrompter& prompter, const std::string& listingFolder) {
    CDlgContourInterval previous;
    previous.fMinimum = fColorMin;
    previous.fMaximum = fColorMax;
    previous.fInterval = fColorInterval;
    if (iColorMode != kContourManual) {
        // The colours shown now are the ones to start from: the span of the scale's levels
        // (the lowest bound up to the last bounded level), about ten intervals across.
        const int top = std::clamp(scale.nLevel - 2, 0, CColorScale::kCapacity - 1);
        previous =
            UsableContourInterval(scale.fBound[0], scale.fBound[top], 0.0f, 0.0f, 0.0f, scale);
    }
    const std::filesystem::path listing = std::filesystem::path(listingFolder) / "ManualColor.txt";
    for (;;) {
        CDlgContourInterval dlg = previous;
        if (!prompter.EditDialog(dlg)) return false;
        if (!scale.BuildManualLevels(dlg.fMinimum, dlg.fMaximum, dlg.fInterval, listing)) {
            std::string why = ContourLevelsRefusal(dlg.fMinimum, dlg.fMaximum, dlg.fInterval);
            prompter.Message(why.empty() ? ContourTooManyMessage() : why);
            previous = dlg;  // the dialog comes back with what was typed
            continue;
        }
        fColorMin = dlg.fMinimum;
        fColorMax = dlg.fMaximum;
        fColorInterval = dlg.fInterval;
        WriteSettingReal("color_rMin", fColorMin);
        WriteSettingReal("color_rMax", fColorMax);
        WriteSettingReal("color_rInt", fColorInterval);
        iColorMode = kContourManual;
        return true;
    }
}

bool CProfileView::IsChecked(int iCommand) const {
    switch (iCommand) {
        case kCmdViewText:
            return iMode == kText;
        case kCmdViewResistivity:
            return iMode == kResistivity;
        case kCmdViewResistance:
            return iMode == kResistance;
        case kCmdViewModel:
            return iMode == kModel;
        case kCmdColorDefault:
            return iColorMode == kContourDefault;
        case kCmdColorLinear:
            return iColorMode == kContourLinear;
        case kCmdColorLog:
            return iColorMode == kContourLog;
        case kCmdColorManual:
            return iColorMode == kContourManual;
        default:
            return false;
    }
}

bool CProfileView::OnTimer(CClockTime now, CClockTime lastData) {
    fSweep += 1.0f;
    if (fSweep >= kSweepLength) fSweep = 0.0f;
    const std::int64_t ms = (now.time - lastData.time) * 1000 + now.iMilliSecond -
                            lastData.iMilliSecond;
    return ms >= 3000;
}

bool CProfileView::TimePosition(std::int64_t t0, std::int64_t time, float& x) const {
    const std::int64_t age = t0 - time;
    if (age >= static_cast<std::int64_t>(kSweepLength)) return false;
    x = fSweep - static_cast<float>(age);
    if (x < 0.0f) x += kSweepLength;
    return x >= 0.0f && x <= kSweepLength;
}

void CProfileView::NoticeMarkers(const CAcquisitionState& state) {
    if (state.markers.Empty()) return;
    const CMarkerData& m = state.markers.Latest();
    if (m.iLineID == iSeenLine_ && m.iMarkerNumber == iSeenMarker_ && m.iKind == iSeenKind_ &&
        MarkerKey(m) == tSeen_)
        return;
    iSeenLine_ = m.iLineID;
    iSeenMarker_ = m.iMarkerNumber;
    iSeenKind_ = m.iKind;
    tSeen_ = MarkerKey(m);
    if (m.iKind == 1 && m.iMarkerNumber > 0) bMarkBadge = true;
}

void CProfileView::Draw(CCanvas& canvas, const CAcquisitionState& state,
                        const CGantrelDrawingParameter& param, CViewSize client, std::int64_t t0) {
    NoticeMarkers(state);
    CCanvasStateSaver keep(canvas);
    if (iMode == kText)
        DrawTable(canvas, state);
    else
        DrawPlot(canvas, state, param, client, t0);
}

void CProfileView::DrawTable(CCanvas& canvas, const CAcquisitionState& state) const {
    canvas.SetFont(LanguageFont(GetLanguage(), 35));
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Left, VAlign::Top});
    if (state.readings.Empty()) {
        canvas.Text(10, -10, "No data");
        return;
    }
    const int n = state.readings.Count();
    const int first = std::max(0, n - kTableRows);
    for (int k = first; k < n; ++k) {
        const CLoggerReading& r = state.readings[static_cast<size_t>(k)];
        const int m = ReceiverCount(r);
        std::string resistivity = FormatC("%d", r.nReceiver), depth, level, status;
        for (int i = 0; i < m; ++i) {
            resistivity += FormatC(" %f ", static_cast<double>(r.fResistivity[i]));
            depth += FormatC(" %.3f ", static_cast<double>(r.fDepth[i]));
            level += FormatC(" %d ", r.iCurrentLevel[i]);
            status += FormatC(" %d ", r.iStatus[i]);
        }
        const int y = -10 - kRowStep * (k - first);
        canvas.Text(10, y, resistivity);
        canvas.Text(2000, y, depth);
        canvas.Text(3000, y, level);
        canvas.Text(3400, y, status);
    }
}

void CProfileView::DrawPlot(CCanvas& canvas, const CAcquisitionState& state,
                            const CGantrelDrawingParameter& param, CViewSize client,
                            std::int64_t t0) {
    const int language = param.iLanguage;
    CAxes& a = axes[iMode == kResistivity ? 0 : iMode == kResistance ? 1 : 2];
    TimeAxis(a, language);
    if (iMode == kModel) {
        DepthAxis(a, param);
    } else {
        const float* range =
            iMode == kResistivity ? param.fResistivityLogRange : param.fResistanceLogRange;
        a.fYStart = range[0];
        a.fYEnd = range[1];
        a.bYLog = 1;
        a.bYNegated = 0;
        a.sYTitle = iMode == kResistivity
                        ? ByLanguage(language, "Apparent resistivity (ohm-m)", "見掛比抵抗 (ohm-m)")
                        : ByLanguage(language, "Measured resistance (V/I)", "測定抵抗 (V/I)");
    }
    a.FitScales(client.iWidth, client.iHeight, param, iMode == kModel ? kLegendReserve : 0);
    a.UpdateTicks();
    if (!a.IsDrawable() || !(a.fYScale > 0.0f) || !(a.fXScale > 0.0f)) return;

    if (iMode == kModel && (iColorMode == kContourLinear || iColorMode == kContourLog)) {
        float lo = 0.0f, hi = 0.0f;
        ResistivityBounds(state, lo, hi);
        if (lo <= hi) scale.FollowData(lo, hi, iColorMode == kContourLog);
    }

    CPlotOffset offset;
    const CFrameEdges edges = DrawFrameAndAxes(canvas, param, a, offset);
    const int left = param.iLeftMargin;
    const int top = param.iTopMargin;
    const int bottom = edges.iBottom;
    auto X = [&](float x) { return PageUnits(left + (x - a.fXStart) * a.fXScale); };
    auto Y = [&](double v) { return PageUnits(top + (a.fYEnd - v) * a.fYScale); };

    canvas.SetPen(kBlackPen);
    for (const CLoggerReading& r : state.readings) {
        float x = 0.0f;
        if (!TimePosition(t0, r.time, x)) continue;
        const int px = X(x);
        for (int i = 0; i < ReceiverCount(r); ++i) {
            double v = 0.0;
            CColor fill;
            if (iMode == kModel) {
                v = -static_cast<double>(r.fDepth[i]);
                fill = scale.ColorOf(r.fResistivity[i]);
            } else {
                const float value = iMode == kResistivity ? r.fResistivity[i] : r.fResistance[i];
                v = std::log10(static_cast<double>(value));
                if (v > a.fYEnd) v = a.fYEnd;
                fill = r.bRecorded != 0 ? colors_.Rainbow(8 * i) : colors_.Grey(8 * i);
            }
            if (std::isfinite(v)) {
                // Values below the range stay inside the frame, off the status squares.
                CCanvasClip clip(canvas, {left, -top}, {edges.iRight, -bottom});
                canvas.SetBrush(SolidBrush(fill));
                canvas.Disc(px, -Y(v), kDotRadius);
            }
            const int c1 = bottom + 16 + 16 * i;
            const int c2 = c1 + 96;
            canvas.SetBrush(SolidBrush(StatusSquareColor(r.iCurrentLevel[i])));
            canvas.Rectangle(px - 10, -(c1 - 8), px + 10, -(c1 + 8));
            canvas.SetBrush(SolidBrush(StatusSquareColor(r.iStatus[i])));
            canvas.Rectangle(px - 10, -(c2 - 8), px + 10, -(c2 + 8));
        }
    }

    for (const CMarkerData& m : state.markers) {
        float x = 0.0f;
        if (!TimePosition(t0, m.time, x)) continue;
        canvas.SetPen({m.iKind == 2 ? kRed : kGreen, kMarkerPenWidth, PenStyle::Solid});
        canvas.Line(X(x), -top, X(x), -bottom);
    }

    canvas.SetPen({kMagenta, kSweepPenWidth, PenStyle::Solid});
    canvas.Line(X(fSweep), -top, X(fSweep), -bottom);

    if (iMode == kModel) {
        canvas.SetPen(kBlackPen);
        DrawColorLegend(canvas, scale, param, a);
    }

    StatusBadge badge = StatusBadge::None;
    if (bMarkBadge) {
        badge = StatusBadge::Mark;
        bMarkBadge = false;
    } else if (state.bPaused != 0) {
        badge = StatusBadge::Pause;
    } else if (state.iRecordState == 1) {
        badge = StatusBadge::Rec;
    }
    DrawStatusBadge(canvas, badge);
}

// ---------------------------------------------------------------------------------------------
// Resistivity model view

CResistivityModelView::CResistivityModelView(int /*language*/) {}

bool CResistivityModelView::Command(int iCommand) {
    if (iCommand == kCmdViewText) {
        iMode = 0;
        return true;
    }
    if (iCommand == kCmdViewDepth) {
        iMode = 1;
        return true;
    }
    if (iCommand == kCmdViewInvertedSection) {
        iMode = kInvertedSection;
        return true;
    }
    return false;
}

bool CResistivityModelView::IsChecked(int iCommand) const {
    return (iCommand == kCmdViewText && iMode == 0) || (iCommand == kCmdViewDepth && iMode == 1) ||
           (iCommand == kCmdViewInvertedSection && iMode == kInvertedSection);
}

int CResistivityModelView::Radius(int n, int k) {
    const float r = static_cast<float>(n - k) / 200.0f;
    return 15 - static_cast<int>(10.0f * r);
}

CColor CResistivityModelView::Paler(CColor c, float r) {
    auto mix = [r](int v) {
        return std::min(255, v + static_cast<int>(static_cast<float>(255 - v) * r));
    };
    return {mix(c.r), mix(c.g), mix(c.b)};
}

void CResistivityModelView::Draw(CCanvas& canvas, const CAcquisitionState& state,
                                 const CGantrelDrawingParameter& param, CViewSize client) {
    if (iMode != 1) return;
    const int language = param.iLanguage;
    axes.fXStart = param.fResistivityLogRange[0];
    axes.fXEnd = param.fResistivityLogRange[1];
    axes.bXLog = 1;
    axes.sXTitle = ByLanguage(language, "Apparent resistivity (ohm-m)", "見掛比抵抗 (ohm-m)");
    axes.bXTitle = axes.bYTitle = 1;
    DepthAxis(axes, param);
    axes.FitScales(client.iWidth, client.iHeight, param, 0);
    axes.UpdateTicks();
    if (!axes.IsDrawable() || !(axes.fYScale > 0.0f) || !(axes.fXScale > 0.0f)) return;

    CCanvasStateSaver keep(canvas);
    CPlotOffset offset;
    const CFrameEdges edges = DrawFrameAndAxes(canvas, param, axes, offset);
    const int left = param.iLeftMargin;
    const int top = param.iTopMargin;
    CCanvasClip clip(canvas, {left, -top}, {edges.iRight, -edges.iBottom});

    const int n = state.readings.Count();
    for (int k = 0; k < n; ++k) {
        const CLoggerReading& reading = state.readings[static_cast<size_t>(k)];
        const float r = static_cast<float>(n - k) / 200.0f;
        const int radius = Radius(n, k);
        const int grey = std::min(255, static_cast<int>(255.0f * r));
        canvas.SetPen({{grey, grey, grey}, 2, PenStyle::Solid});
        for (int i = 0; i < ReceiverCount(reading); ++i) {
            const CColor base =
                reading.bRecorded != 0 ? colors_.Rainbow(8 * i) : colors_.Grey(8 * i);
            double x = std::log10(static_cast<double>(reading.fResistivity[i]));
            if (x > axes.fXEnd) x = axes.fXEnd;
            // Depths are drawn below the surface, as the section range runs up to 0.
            const double y = -static_cast<double>(reading.fDepth[i]);
            if (!std::isfinite(x)) continue;
            canvas.SetBrush(SolidBrush(Paler(base, r)));
            canvas.Disc(PageUnits(left + (x - axes.fXStart) * axes.fXScale),
                        -PageUnits(top + (axes.fYEnd - y) * axes.fYScale), radius);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// GPS view

CGPSView::CGPSView(int /*language*/) {}

bool CGPSView::Command(int iCommand) {
    if (iCommand == kCmdViewText) {
        iMode = 0;
        return true;
    }
    if (iCommand == kCmdViewGPSMap) {
        iMode = 1;
        return true;
    }
    return false;
}

bool CGPSView::IsChecked(int iCommand) const {
    return (iCommand == kCmdViewText && iMode == 0) || (iCommand == kCmdViewGPSMap && iMode == 1);
}

void CGPSView::Draw(CCanvas& canvas, const CAcquisitionState& state,
                    const CGantrelDrawingParameter& param, CViewSize client) {
    CCanvasStateSaver keep(canvas);
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Left, VAlign::Top});
    canvas.SetFont(LanguageFont(param.iLanguage, 35));
    if (iMode == 0) {
        if (state.fixes.Empty()) {
            canvas.Text(10, -10, "No GPS data");
            return;
        }
        const int n = state.fixes.Count();
        const int first = std::max(0, n - kTableRows);
        for (int k = first; k < n; ++k) {
            const CGPSData& f = state.fixes[static_cast<size_t>(k)];
            const int y = -10 - kRowStep * (k - first);
            canvas.Text(10, y, FormatC("%lf %lf ", f.dLatitude, f.dLongitude));
            canvas.Text(1000, y, FormatC("%d %lf %lf ", f.iUTMZone, f.dEasting, f.dNorthing));
        }
        return;
    }

    // The frame sits this much right of the margin: the southern labels ("-150.00") and the
    // title left of them need more room than the margin gives.
    constexpr int kLabelRoom = 60;
    const int w = client.iWidth - param.iLeftMargin - param.iRightMargin - 100 - kLabelRoom;
    const int h = client.iHeight - param.iTopMargin - param.iBottomMargin - 100;
    if (w <= 0 || h <= 0) return;
    axes.fXStart = -static_cast<float>(w) / 5.0f;
    axes.fXEnd = static_cast<float>(w) / 5.0f;
    axes.fYStart = -static_cast<float>(h) / 5.0f;
    axes.fYEnd = static_cast<float>(h) / 5.0f;
    axes.fXInterval = axes.fYInterval = kTickMetres;
    axes.fXScale = axes.fYScale = kUnitsPerMetre;
    axes.bXLog = axes.bYLog = 0;
    axes.bYNegated = 0;
    axes.sXTitle = ByLanguage(param.iLanguage, "West-East (m)", "西-東 (m)");
    axes.sYTitle = ByLanguage(param.iLanguage, "South-North (m)", "南-北 (m)");
    axes.bXTitle = axes.bYTitle = 1;
    axes.UpdateTicks();
    // Grid lines at whole multiples of the tick spacing, so that one of them runs through
    // the latest fix and the labels read as round distances.
    auto roundTicks = [](float start, float end, float& first, int& n) {
        first = std::ceil(start / kTickMetres) * kTickMetres;
        n = first <= end ? static_cast<int>(std::floor((end - first) / kTickMetres)) + 1 : 0;
    };
    roundTicks(axes.fXStart, axes.fXEnd, axes.fXFirstTick, axes.nXTick);
    roundTicks(axes.fYStart, axes.fYEnd, axes.fYFirstTick, axes.nYTick);
    CPlotOffset offset;
    offset.x0 = kLabelRoom;
    DrawFrameAndAxes(canvas, param, axes, offset);
    if (state.fixes.Empty()) return;

    const int left = param.iLeftMargin + kLabelRoom;
    const int top = param.iTopMargin;
    const CGPSData& latest = state.fixes.Latest();
    auto X = [&](double e) { return PageUnits(left + (e - axes.fXStart) * kUnitsPerMetre); };
    auto Y = [&](double n) { return PageUnits(top + (axes.fYEnd - n) * kUnitsPerMetre); };
    canvas.SetPen(kBlackPen);
    const int n = state.fixes.Count();
    for (int k = 0; k < n; ++k) {
        const CGPSData& f = state.fixes[static_cast<size_t>(k)];
        const double de = f.dEasting - latest.dEasting;
        const double dn = f.dNorthing - latest.dNorthing;
        if (!(de > axes.fXStart && de < axes.fXEnd && dn > axes.fYStart && dn < axes.fYEnd))
            continue;
        const bool bLatest = k == n - 1;
        canvas.SetBrush(SolidBrush(bLatest ? kRed : kColorWhite));
        canvas.Disc(X(de), -Y(dn), bLatest ? 15 : 10);
    }
    canvas.SetFont(LanguageFont(param.iLanguage, 35));
    canvas.Text(X(0.0) + 5, -(Y(0.0) + 15),
                FormatC("%.5f %.5f", latest.dLongitude, latest.dLatitude));
}

// ---------------------------------------------------------------------------------------------
// Logging view

void CLoggingView::Draw(CCanvas& canvas, const CAcquisitionState& state, double unitsPerPixel) {
    CCanvasStateSaver keep(canvas);
    CFont font = LanguageFont(GetLanguage(), PageUnits(16.0 * unitsPerPixel));
    canvas.SetFont(font);
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Left, VAlign::Top});
    int k = 0;
    // An entry may hold line breaks (an upload error is three lines): each line its own row.
    for (const std::string& entry : state.receivedLines) {
        std::string_view rest = entry;
        while (!rest.empty()) {
            const size_t end = rest.find_first_of("\r\n");
            const std::string_view line = rest.substr(0, end);
            if (end == std::string_view::npos)
                rest = {};
            else
                rest.remove_prefix(end + (rest.compare(end, 2, "\r\n") == 0 ? 2 : 1));
            canvas.Text(PageUnits(10.0 * unitsPerPixel),
                        -PageUnits((10.0 + 20.0 * k) * unitsPerPixel), std::string(line));
            ++k;
        }
    }
}
