// Commands of the View menu that set the colour levels ("Contour": "Default", "Automatic
// (linear)", "Automatic (log)", "Manual") and the axis ranges ("Axis configuration").
#include "processing/display_commands.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "common/settings.h"
#include "processing/commands.h"

namespace {

// Views with their display state. Every access happens on the user-interface thread.
std::vector<std::pair<const CBrivaneViewState*, CViewDisplayState*>>& Attached() {
    static std::vector<std::pair<const CBrivaneViewState*, CViewDisplayState*>> attached;
    return attached;
}

CViewDisplayState* Display(const CBrivaneContext& ctx) {
    return FindViewDisplayState(ctx.view);
}

bool ModeIs(const CBrivaneContext& ctx, int mode) {
    const CViewDisplayState* d = Display(ctx);
    return d != nullptr && d->iContourMode == mode;
}

// Enabled unless the mode is already current (the menu shows it checked and disabled).
bool ModeSelectable(const CBrivaneContext& ctx, int mode) {
    return Display(ctx) != nullptr && !ModeIs(ctx, mode);
}

void ContourDefault(CBrivaneContext& ctx) {
    CViewDisplayState* d = Display(ctx);
    if (d == nullptr) return;
    d->iContourMode = kContourDefault;
    d->colorScale.SetDefault();
    ctx.Redraw();
}

// A refused resample keeps the levels; the mode is selected anyway and later redraws
// spread the existing levels over the data.
void ContourAutomatic(CBrivaneContext& ctx, int mode) {
    CViewDisplayState* d = Display(ctx);
    if (d == nullptr) return;
    d->iContourMode = mode;
    d->colorScale.Resample(d->fContourMinimum, d->fContourMaximum, d->fContourInterval);
    ctx.Redraw();
}

void ContourManual(CBrivaneContext& ctx) {
    CViewDisplayState* d = Display(ctx);
    if (d == nullptr) return;
    d->fContourMinimum = static_cast<float>(ReadSettingReal("color_rMin", d->fContourMinimum));
    d->fContourMaximum = static_cast<float>(ReadSettingReal("color_rMax", d->fContourMaximum));
    d->fContourInterval = static_cast<float>(ReadSettingReal("color_rInt", d->fContourInterval));
    // Zeros (nothing stored, no automatic draw yet) or values that build no levels would
    // make the first OK fail: the dialog opens with levels that can be built.
    std::optional<CValueRange> storeRange;
    const CTrevascDataOhm& store = ctx.doc.store;
    if (store.IsAllocated() && store.nLayer >= 1 && store.nModelColumn > 0) {
        CValueRange r;
        store.ResistivityRange(r.fMinimum, r.fMaximum);
        storeRange = r;
    }
    const CValueRange data = AutomaticDataRange(ctx.doc.survey, storeRange);
    CDlgContourInterval dlg =
        UsableContourInterval(d->fContourMinimum, d->fContourMaximum, d->fContourInterval,
                              data.fMinimum, data.fMaximum, d->colorScale);
    for (;;) {
        if (!ctx.prompter.EditDialog(dlg)) return;
        const std::string refusal =
            ContourLevelsRefusal(dlg.fMinimum, dlg.fMaximum, dlg.fInterval);
        if (refusal.empty() &&
            d->colorScale.BuildManualLevels(dlg.fMinimum, dlg.fMaximum, dlg.fInterval))
            break;
        ctx.prompter.Message(refusal.empty() ? ContourTooManyMessage() : refusal);
    }
    d->fContourMinimum = dlg.fMinimum;
    d->fContourMaximum = dlg.fMaximum;
    d->fContourInterval = dlg.fInterval;
    WriteSettingReal("color_rMin", dlg.fMinimum);
    WriteSettingReal("color_rMax", dlg.fMaximum);
    WriteSettingReal("color_rInt", dlg.fInterval);
    d->iContourMode = kContourManual;
    ctx.Redraw();
}

struct AxisTarget {
    CAxes* axes = nullptr;
    CAxisDialogSetup setup;
    bool bModelGraph = false;
};

// Which axes the configuration edits in the display shown, and how the dialog presents them.
AxisTarget AxisTargetOf(const CBrivaneContext& ctx) {
    AxisTarget t;
    const CViewDisplayState* d = Display(ctx);
    if (d == nullptr) return t;
    switch (ctx.view.iViewMode) {
        case kViewLineResistivity:
            t.axes = d->pLineAxes;
            t.setup.sYUnit = "Ohm-m";
            break;
        case kViewLineResistance:
            t.axes = d->pResistanceAxes;
            t.setup.sYUnit = "Ohm";
            t.setup.bYMinimumEnabled = false;
            break;
        case kViewSectionOriginal:
        case kViewSectionGridded:
        case kViewModel2D:
            t.axes = d->pSectionAxes;
            t.setup.bYMinimumEnabled = false;
            t.setup.bDepthAxis = true;
            break;
        case kViewGPSMap:
            t.axes = d->pMapAxes;
            break;
        case kViewModel1D:
            t.axes = d->pModelGraphAxes;
            t.setup.sXUnit = "ohm-m";
            t.setup.bXMinimumEnabled = false;
            t.setup.bYMinimumEnabled = false;
            t.setup.bXLogAllowed = true;
            t.bModelGraph = true;
            break;
        default:
            break;
    }
    return t;
}

void AxisConfiguration(CBrivaneContext& ctx) {
    const AxisTarget t = AxisTargetOf(ctx);
    if (t.axes == nullptr) return;
    CAxes& axes = *t.axes;
    const int bOldXLog = axes.bXLog;
    const float fOldXSpan = axes.fXEnd - axes.fXStart;
    CDlgManualAxis dlg = AxisDialogFromAxes(axes, t.setup);
    for (;;) {
        if (!ctx.prompter.EditDialog(dlg)) return;
        std::string error;
        if (ApplyAxisDialog(dlg, t.setup, axes, error)) break;
        ctx.prompter.Message(error);
    }
    // The model graph keeps its width on the page when its x axis changes kind.
    const float fNewXSpan = axes.fXEnd - axes.fXStart;
    if (t.bModelGraph && axes.bXLog != bOldXLog && fOldXSpan > 0.0f && fNewXSpan > 0.0f)
        ctx.view.fHScale *= fOldXSpan / fNewXSpan;
    ctx.Redraw();
}

}  // namespace

CViewDisplayState::CViewDisplayState(const CBrivaneViewState& view) : view_(&view) {
    auto& attached = Attached();
    std::erase_if(attached, [&](const auto& a) { return a.first == view_; });
    attached.emplace_back(view_, this);
}

CViewDisplayState::~CViewDisplayState() {
    std::erase_if(Attached(), [this](const auto& a) { return a.second == this; });
}

CViewDisplayState* FindViewDisplayState(const CBrivaneViewState& view) {
    for (const auto& [v, d] : Attached())
        if (v == &view) return d;
    return nullptr;
}

CValueRange AutomaticDataRange(const CGantrelSurvey& survey,
                               std::optional<CValueRange> storeRange) {
    CValueRange r{100000.0f, 0.0f};
    if (storeRange) {
        if (storeRange->fMinimum > 0.0f) r.fMinimum = std::min(storeRange->fMinimum, r.fMinimum);
        if (storeRange->fMaximum > 0.0f) r.fMaximum = storeRange->fMaximum;
    }
    for (int l = 0; l < survey.nLine; ++l) {
        const CGantrelLine& line = survey.Line(l);
        for (const CGantrelData& data : line.pData) {
            const int n = std::clamp(data.nReceiver, 0, kMaxReceiver);
            for (int j = 0; j < n; ++j) {
                const float v = data.fResistivity[j];
                if (v > 0.0f && v < r.fMinimum) r.fMinimum = v;
                if (v > r.fMaximum) r.fMaximum = v;
            }
        }
    }
    return r;
}

void PrepareContourForDraw(CViewDisplayState& display, const CGantrelSurvey& survey,
                           std::optional<CValueRange> storeRange) {
    if (display.iContourMode != kContourLinear && display.iContourMode != kContourLog) return;
    const CValueRange r = AutomaticDataRange(survey, storeRange);
    display.fContourMinimum = r.fMinimum;
    display.fContourMaximum = r.fMaximum;
    display.colorScale.FollowData(r.fMinimum, r.fMaximum, display.iContourMode == kContourLog);
}

void RegisterDisplayCommands(CCommandTable& table) {
    table.Bind(
        kCmdContourDefault, ContourDefault,
        [](const CBrivaneContext& ctx) { return ModeSelectable(ctx, kContourDefault); },
        [](const CBrivaneContext& ctx) { return ModeIs(ctx, kContourDefault); });
    table.Bind(
        kCmdContourLinear, [](CBrivaneContext& ctx) { ContourAutomatic(ctx, kContourLinear); },
        [](const CBrivaneContext& ctx) { return ModeSelectable(ctx, kContourLinear); },
        [](const CBrivaneContext& ctx) { return ModeIs(ctx, kContourLinear); });
    table.Bind(
        kCmdContourLog, [](CBrivaneContext& ctx) { ContourAutomatic(ctx, kContourLog); },
        [](const CBrivaneContext& ctx) { return ModeSelectable(ctx, kContourLog); },
        [](const CBrivaneContext& ctx) { return ModeIs(ctx, kContourLog); });
    table.Bind(
        kCmdContourManual, ContourManual,
        [](const CBrivaneContext& ctx) { return Display(ctx) != nullptr; },
        [](const CBrivaneContext& ctx) { return ModeIs(ctx, kContourManual); });
    table.Bind(kCmdAxisConfiguration, AxisConfiguration,
               [](const CBrivaneContext& ctx) { return AxisTargetOf(ctx).axes != nullptr; });
}
