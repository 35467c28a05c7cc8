#include "display/views.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "common/language.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "display/transfer_view.h"

namespace {

// The one-dimensional graph is fitted to the page's width when no horizontal scale is stored
// or the stored one leaves it narrower than this (page units, 20 mm): the linear default of
// one page unit per Ohm-m gives five decades half a millimetre.
constexpr float kMinModelGraphWidth = 200.0f;
// Room kept right of the fitted graph for its last x label and the picture's margin.
constexpr int kModelGraphRightRoom = 300;

bool g_bExporting = false;

std::map<int, DisplayDrawer>& Drawers() {
    static std::map<int, DisplayDrawer> drawers;
    return drawers;
}

bool IsLineMode(int mode) {
    return mode == kViewLineResistivity || mode == kViewLineResistance;
}

// Keeps the current line within the lines and on a line in use.
void SettleCurrentLine(CBrivaneContext& ctx) {
    const CGantrelSurvey& survey = ctx.doc.survey;
    int& current = ctx.view.iCurrentLine;
    current = std::clamp(current, 0, std::max(0, survey.nLine - 1));
    if (survey.nLine > 0 && survey.Line(current).bUse != 1) {
        for (int l = 0; l < survey.nLine; ++l) {
            if (survey.Line(l).bUse == 1) {
                current = l;
                break;
            }
        }
    }
}

// On the first use of the one-dimensional display, after the view has read its settings: a
// scale the user chose is kept, the default (or one that leaves no readable graph) becomes the
// one that fits the graph's range to the width of the page (the window's client area, else
// the default one).
void SettleModelScale(CBrivaneContext& ctx, CBrivaneDisplay& d, const CClientSize* client) {
    if (d.bModelScaleSettled) return;
    d.bModelScaleSettled = 1;
    const CModelGraph& graph = d.modelDisplay.graph;
    const float span = graph.axes.fXEnd - graph.axes.fXStart;
    if (!(span > 0.0f)) return;
    const bool stored = !std::isnan(ReadSettingReal("hscale", std::nan("")));
    if (stored && ctx.view.fHScale * span >= kMinModelGraphWidth) return;
    const int width = (client != nullptr ? *client : kDefaultClientSize).iWidth;
    const int room = width - d.modelDisplay.iOriginX - kModelGraphRightRoom;
    ctx.view.fHScale = std::max(kMinModelGraphWidth, static_cast<float>(room)) / span;
}

bool DrawLineDisplay(CCanvas& canvas, CBrivaneContext& ctx, CBrivaneDisplay& d,
                     const CClientSize* client, CDisplayExtents& e) {
    CGantrelSurvey& survey = ctx.doc.survey;
    if (!survey.HasDistances()) return false;
    SettleCurrentLine(ctx);
    const bool resistance = ctx.view.iViewMode == kViewLineResistance;
    CGantrelLineView& plot = resistance ? d.resistanceView : d.lineView;
    int& fitted = resistance ? d.bResistanceFitted : d.bLineFitted;
    const CGate& gate = resistance ? ctx.view.gateResistance : ctx.view.gateResistivity;
    plot.bShowCurrentLevel = ctx.view.bShowCurrentLevel;
    plot.iGateState = gate.iGateState;
    plot.fFirstGate = gate.fGateLeft;
    plot.fSecondGate = gate.fGateRight;

    const CClientSize* fit = fitted ? nullptr : client;
    const bool drew =
        plot.Draw(canvas, survey.Line(ctx.view.iCurrentLine), e.iRight, e.iBottom, fit);
    ctx.view.fAxisMin = plot.axes.fXStart;
    ctx.view.fAxisMax = plot.axes.fXEnd;
    if (!drew) return false;
    if (fit != nullptr) fitted = 1;

    CCanvasStateSaver keep(canvas);
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Left, VAlign::Top});
    // While the gate is being set its prompt takes the status line's place at the page top.
    if (ctx.view.iMouseMode == kMouseGate && gate.iGateState != 0 && !IsExporting()) {
        canvas.SetFont(ScaledLanguageFont(plot.parameter.iLanguage, 40));
        canvas.Text(10, -18, GatePromptText(gate.iGateState));
    } else {
        canvas.SetFont(TickLabelFont(plot.parameter.iLanguage));
        canvas.Text(10, -15, LineStatusText(survey.nLine, ctx.view.iCurrentLine));
    }
    return true;
}

bool DrawSectionDisplay(CCanvas& canvas, CBrivaneContext& ctx, CBrivaneDisplay& d,
                        const CClientSize* client, CDisplayExtents& e) {
    if (d.bMisfitStripSeen >= 0 && d.bMisfitStripSeen != ctx.view.bShowColumnMisfit)
        d.bSectionFitted = 0;
    d.bMisfitStripSeen = ctx.view.bShowColumnMisfit;
    const CClientSize* fit = d.bSectionFitted ? nullptr : client;
    const CColorScale& scale = d.ViewState().colorScale;
    bool drew = false;
    switch (ctx.view.iViewMode) {
        case kViewSectionOriginal:
            drew = d.sectionDrawer.DrawOriginalData(canvas, ctx.doc.survey, scale, e.iRight,
                                                    e.iBottom, fit);
            break;
        case kViewSectionGridded:
            drew = d.sectionDrawer.DrawGriddedData(canvas, ctx.doc.store, scale, e.iRight,
                                                   e.iBottom, fit);
            break;
        default: {
            // The misfits come from the stored observed and calculated values, so a model read
            // from a file shows them as well.
            std::vector<float> misfit;
            if (ctx.view.bShowColumnMisfit == 1) misfit = ColumnMisfits(ctx.doc.store);
            drew = d.sectionDrawer.DrawModel(canvas, ctx.doc.store, scale, e.iRight, e.iBottom,
                                             fit, ctx.view.bShowColumnMisfit == 1 ? &misfit : nullptr);
            break;
        }
    }
    // The first section draw that had data fitted the scales.
    if (drew && fit != nullptr) d.bSectionFitted = 1;
    return drew;
}

bool DrawMapDisplay(CCanvas& canvas, CBrivaneContext& ctx, CBrivaneDisplay& d,
                    const CClientSize* client, CDisplayExtents& e) {
    ctx.view.iMapDepthIndex = ShownDepthIndex(ctx.doc.survey, ctx.view.iMapDepthIndex);
    return d.mapDrawer.Draw(canvas, ctx.doc.survey, d.ViewState().colorScale, ctx.doc.mapGrid,
                            MapShownOf(ctx), e.iRight, e.iBottom, client);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Display objects

CBrivaneDisplay::CBrivaneDisplay(const CBrivaneViewState& view)
    : lineView(GetLanguage()),
      resistanceView(GetLanguage()),
      sectionDrawer(GetLanguage()),
      modelDisplay(GetLanguage()),
      mapDrawer(GetLanguage()) {
    modelDisplay.graph.Load();
    SetLanguage(GetLanguage());
    AttachTo(view);
}

CBrivaneDisplay::~CBrivaneDisplay() = default;

void CBrivaneDisplay::SetLanguage(int language) {
    if (language == iLanguage_) return;
    iLanguage_ = language;
    lineView.SetLanguage(language);
    resistanceView.SetLanguage(language);
    sectionDrawer.SetLanguage(language);
    modelDisplay.SetLanguage(language);
    mapDrawer.SetLanguage(language);
}

void CBrivaneDisplay::AttachTo(const CBrivaneViewState& view) {
    auto state = std::make_unique<CViewDisplayState>(view);
    if (state_) {
        state->iContourMode = state_->iContourMode;
        state->fContourMinimum = state_->fContourMinimum;
        state->fContourMaximum = state_->fContourMaximum;
        state->fContourInterval = state_->fContourInterval;
        state->colorScale = state_->colorScale;
    }
    state->pLineAxes = &lineView.axes;
    state->pResistanceAxes = &resistanceView.axes;
    state->pSectionAxes = &sectionDrawer.axes;
    state->pModelGraphAxes = &modelDisplay.graph.axes;
    state->pMapAxes = &mapDrawer.axes;
    state_ = std::move(state);
    view_ = &view;
}

void CBrivaneDisplay::SaveSettings() {
    modelDisplay.graph.Save();
}

CBrivaneDisplay* FindDisplay(const CBrivaneDoc& doc) {
    return dynamic_cast<CBrivaneDisplay*>(doc.pDisplays.get());
}

CBrivaneDisplay& DisplayOf(CBrivaneContext& ctx) {
    CBrivaneDisplay* d = FindDisplay(ctx.doc);
    if (d == nullptr) {
        auto created = std::make_unique<CBrivaneDisplay>(ctx.view);
        d = created.get();
        ctx.doc.pDisplays = std::move(created);
    } else if (d->AttachedView() != &ctx.view) {
        d->AttachTo(ctx.view);
    }
    return *d;
}

// ---------------------------------------------------------------------------------------------
// Drawing

bool IsExporting() {
    return g_bExporting;
}

CExportingScope::CExportingScope() : bWas_(g_bExporting) {
    g_bExporting = true;
}

CExportingScope::~CExportingScope() {
    g_bExporting = bWas_;
}

void SetDisplayDrawer(int iViewMode, DisplayDrawer drawer) {
    if (drawer)
        Drawers()[iViewMode] = std::move(drawer);
    else
        Drawers().erase(iViewMode);
}

bool DrawDisplay(CCanvas& canvas, CBrivaneContext& ctx, std::optional<CClientSize> client) {
    CBrivaneDisplay& d = DisplayOf(ctx);
    d.SetLanguage(GetLanguage());
    const CClientSize* area = client && !IsExporting() ? &*client : nullptr;

    std::optional<CValueRange> storeRange;
    if (StoreHasModel(ctx.doc.store)) {
        CValueRange r;
        ctx.doc.store.ResistivityRange(r.fMinimum, r.fMaximum);
        storeRange = r;
    }
    PrepareContourForDraw(d.ViewState(), ctx.doc.survey, storeRange);

    CDisplayExtents e;
    bool drew = false;
    const int mode = ctx.view.iViewMode;
    if (IsLineMode(mode)) {
        drew = DrawLineDisplay(canvas, ctx, d, area, e);
    } else if (mode == kViewSectionOriginal || mode == kViewSectionGridded ||
               mode == kViewModel2D) {
        drew = DrawSectionDisplay(canvas, ctx, d, area, e);
    } else if (mode == kViewGPSMap) {
        drew = DrawMapDisplay(canvas, ctx, d, area, e);
    } else if (mode == kViewModel1D) {
        SettleModelScale(ctx, d, area);
        drew = d.modelDisplay.Draw(canvas, ctx.doc, ctx.view.iCurrentSounding, ctx.view.fHScale,
                                   ctx.view.fVScale, e.iRight, e.iBottom);
    } else {
        const auto it = Drawers().find(mode);
        if (it != Drawers().end())
            drew = it->second(canvas, ctx, area, e);
        else if (mode == kViewSerialTransfer)
            drew = DrawConsoleTransferDisplay(canvas, ctx, e);
    }
    if (!drew) return false;

    if (!ctx.doc.sDataTitle.empty()) {
        CCanvasStateSaver keep(canvas);
        canvas.SetFont(ScaledLanguageFont(GetLanguage(), 40));
        canvas.SetTextColor(kColorBlack);
        canvas.SetTextAlign({HAlign::Left, VAlign::Top});
        // Under a colour legend the caption goes below the legend's unit line, which hangs
        // 3 mm under the plot at the legend's side; a long caption would run into it.
        const bool legend =
            mode == kViewSectionOriginal || mode == kViewSectionGridded || mode == kViewModel2D ||
            (mode == kViewGPSMap &&
             (ctx.view.iMapKind == kMapResistivity || ctx.view.iMapKind == kMapInterpolated));
        const int y = e.iBottom + kCaptionGap + (legend ? kLegendUnitRoom : 0);
        canvas.Text(kCaptionX, -y, ctx.doc.sDataTitle);
        // The picture holds a caption wider than the plot; its room below is the picture's
        // bottom margin.
        e.iRight = std::max(e.iRight, kCaptionX + canvas.MeasureText(ctx.doc.sDataTitle).iWidth);
    }
    d.extents = e;
    return true;
}

std::optional<int> ViewModeFromDisplayName(std::string_view name) {
    if (name == "line") return kViewLineResistivity;
    if (name == "line-vi") return kViewLineResistance;
    if (name == "section") return kViewSectionOriginal;
    if (name == "gridded") return kViewSectionGridded;
    if (name == "model") return kViewModel2D;
    if (name == "model1d") return kViewModel1D;
    return std::nullopt;
}

std::optional<CMapDisplayName> MapFromDisplayName(std::string_view name) {
    const size_t colon = name.find(':');
    const std::string_view kind = name.substr(0, colon);
    CMapDisplayName map;
    if (kind == "map-gps") {
        map.iKind = kMapGPS;
    } else if (kind == "map-array") {
        map.iKind = kMapArray;
    } else if (kind == "map-rho") {
        map.iKind = kMapResistivity;
    } else if (kind == "map-interp") {
        map.iKind = kMapInterpolated;
    } else {
        return std::nullopt;
    }
    if (colon == std::string_view::npos) return map;
    // Only the kinds of one pseudo-depth take a depth index.
    if (map.iKind != kMapResistivity && map.iKind != kMapInterpolated) return std::nullopt;
    const std::string_view digits = name.substr(colon + 1);
    if (digits.empty() || digits.size() > 6) return std::nullopt;
    int index = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        index = index * 10 + (c - '0');
    }
    map.iDepthIndex = index;
    return map;
}

CMapShown MapShownOf(const CBrivaneContext& ctx) {
    CMapShown shown;
    shown.iKind = ctx.view.iMapKind;
    shown.iDepthIndex = ctx.view.iMapDepthIndex;
    shown.bShowFlagsAndLines = ctx.view.bShowFlagsAndLines;
    shown.iColorMode = ctx.view.iMapColorMode;
    shown.fMaxDistance = ctx.view.fMaxDistance;
    shown.iSurveyConfiguration = ctx.doc.survey.iSurveyConfiguration;
    return shown;
}

std::optional<std::pair<double, double>> MapPlanPosition(CBrivaneContext& ctx, int x, int y) {
    const CBrivaneDisplay* d = FindDisplay(ctx.doc);
    if (d == nullptr) return std::nullopt;
    return d->mapDrawer.PlanAt(x, y);
}

bool DrawMapOverlayImage(CCanvas& canvas, CBrivaneContext& ctx) {
    CBrivaneDisplay& d = DisplayOf(ctx);
    if (!d.mapDrawer.HasScales()) return false;
    CExportingScope exporting;
    int right = 0, bottom = 0;
    return d.mapDrawer.Draw(canvas, ctx.doc.survey, d.ViewState().colorScale, ctx.doc.mapGrid,
                            MapShownOf(ctx), right, bottom, nullptr, true);
}

// ---------------------------------------------------------------------------------------------
// Mouse

int ViewLeftClick(CBrivaneContext& ctx, int x, int y) {
    if (ctx.view.iMouseMode != kMouseDisplay1) return 0;
    CBrivaneDisplay& d = DisplayOf(ctx);
    int count = 0;
    const int mode = ctx.view.iViewMode;
    if (IsLineMode(mode)) {
        CGantrelSurvey& survey = ctx.doc.survey;
        if (ctx.view.iCurrentLine < 0 || ctx.view.iCurrentLine >= survey.nLine) return 0;
        CGantrelLineView& plot = mode == kViewLineResistance ? d.resistanceView : d.lineView;
        int px = 0, py = 0;
        count = plot.Pick(survey.Line(ctx.view.iCurrentLine), x, y, kPickTolerance, px, py);
    } else if (mode == kViewModel1D) {
        SettleModelScale(ctx, d, nullptr);
        count = d.modelDisplay.MarkObservations(ctx.doc, ctx.view.iCurrentSounding,
                                                ctx.view.fHScale, ctx.view.fVScale, x, y);
    }
    if (count > 0) ctx.Redraw();
    return count;
}

namespace {

// A value of either sign with the decimals its size deserves.
std::string ReadoutNumber(double v) {
    const double a = std::fabs(v);
    return FormatC(a >= 100.0 ? "%.0f" : a >= 1.0 ? "%.2f" : "%.4f", v);
}

// Data coordinates of a page point inside a frame of these axes, laid out from (left, top);
// false outside it.
bool InFrame(const CAxes& axes, int left, int top, int x, int y, double& dx, double& dy) {
    if (!(axes.fXScale > 0.0f) || !(axes.fYScale > 0.0f) || !(axes.fXEnd > axes.fXStart))
        return false;
    const double X = x - left, Y = -y - top;
    const double width = (static_cast<double>(axes.fXEnd) - axes.fXStart) * axes.fXScale;
    const double height = (static_cast<double>(axes.fYEnd) - axes.fYStart) * axes.fYScale;
    if (X < 0.0 || Y < 0.0 || X > width || Y > height) return false;
    dx = axes.fXStart + X / axes.fXScale;
    dy = axes.fYEnd - Y / axes.fYScale;  // y end at the top of the frame
    return true;
}

}  // namespace

std::optional<std::string> PlotReadout(CBrivaneContext& ctx, int x, int y) {
    CBrivaneDisplay* d = FindDisplay(ctx.doc);
    if (d == nullptr || d->extents.iRight <= 0) return std::nullopt;
    const int mode = ctx.view.iViewMode;
    double dx = 0.0, dy = 0.0;
    if (IsLineMode(mode)) {
        const bool resistance = mode == kViewLineResistance;
        const CGantrelLineView& plot = resistance ? d->resistanceView : d->lineView;
        if (!InFrame(plot.axes, plot.parameter.iLeftMargin, plot.parameter.iTopMargin, x, y, dx,
                     dy))
            return std::string();
        const double value = plot.axes.bYLog ? std::pow(10.0, dy) : dy;
        return FormatC(resistance ? Tr("Distance = %s m  Resistance = %s ohm",
                                       "距離 = %s m  測定抵抗 = %s ohm")
                                  : Tr("Distance = %s m  Apparent resistivity = %s ohm-m",
                                       "距離 = %s m  見掛比抵抗 = %s ohm-m"),
                       ReadoutNumber(dx).c_str(), ReadoutNumber(value).c_str());
    }
    if (mode == kViewSectionOriginal || mode == kViewSectionGridded || mode == kViewModel2D) {
        const CSectionDrawer& s = d->sectionDrawer;
        if (!InFrame(s.axes, s.parameter.iLeftMargin, s.parameter.iTopMargin, x, y, dx, dy))
            return std::string();
        // Elevations below the surface are depths.
        return FormatC(Tr("Distance = %s m  Depth = %s m", "距離 = %s m  深度 = %s m"),
                       ReadoutNumber(dx).c_str(), ReadoutNumber(-dy).c_str());
    }
    if (mode == kViewModel1D) {
        const CModelDisplay& m = d->modelDisplay;
        if (!InFrame(m.axes, m.iOriginX, m.iOriginY, x, y, dx, dy)) return std::string();
        const double value = m.axes.bXLog ? std::pow(10.0, dx) : dx;
        return FormatC(Tr("Resistivity = %s ohm-m  Depth = %s m", "比抵抗 = %s ohm-m  深度 = %s m"),
                       ReadoutNumber(value).c_str(), ReadoutNumber(-dy).c_str());
    }
    return std::nullopt;
}

int ViewSelectRectangle(CBrivaneContext& ctx, int x1, int y1, int x2, int y2) {
    const int mode = ctx.view.iViewMode;
    if (ctx.view.iMouseMode != kMouseDisplay4 || !IsLineMode(mode)) return 0;
    CGantrelSurvey& survey = ctx.doc.survey;
    if (ctx.view.iCurrentLine < 0 || ctx.view.iCurrentLine >= survey.nLine) return 0;
    CBrivaneDisplay& d = DisplayOf(ctx);
    CGantrelLineView& plot = mode == kViewLineResistance ? d.resistanceView : d.lineView;
    const int count = plot.SelectInRectangle(survey.Line(ctx.view.iCurrentLine), x1, y1, x2, y2);
    if (count > 0) ctx.Redraw();
    return count;
}
