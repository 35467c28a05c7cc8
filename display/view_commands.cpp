// View commands of the line, section and model displays: display selection, line, receiver
// and model navigation, the columns and calculated data of the one-dimensional display, the
// layer boundaries, the zoom buttons and the mouse interactions.
#include <algorithm>
#include <utility>

#include "display/views.h"
#include "processing/line_editing.h"

namespace {

// The zoom buttons multiply or divide a scale by the square root of 2.
constexpr double kZoomStep = 1.4142135623730951;

using Handler = std::function<void(CBrivaneContext&)>;
using Rule = std::function<bool(const CBrivaneContext&)>;

bool InLineDisplay(const CBrivaneContext& ctx) {
    return ctx.view.iViewMode == kViewLineResistivity || ctx.view.iViewMode == kViewLineResistance;
}
bool InSectionDisplay(const CBrivaneContext& ctx) {
    return ctx.view.iViewMode == kViewSectionOriginal ||
           ctx.view.iViewMode == kViewSectionGridded || ctx.view.iViewMode == kViewModel2D;
}
bool In1D(const CBrivaneContext& ctx) {
    return ctx.view.iViewMode == kViewModel1D;
}
bool HasCurrentLine(const CBrivaneContext& ctx) {
    return ctx.view.iCurrentLine >= 0 && ctx.view.iCurrentLine < ctx.doc.survey.nLine;
}
bool LineDisplayWithLine(const CBrivaneContext& ctx) {
    return InLineDisplay(ctx) && HasCurrentLine(ctx);
}
CGantrelLine& CurrentLine(CBrivaneContext& ctx) {
    return ctx.doc.survey.Line(ctx.view.iCurrentLine);
}

// The number of columns shown by the one-dimensional display (1 before the display exists).
int ColumnsShown(const CBrivaneContext& ctx) {
    const CBrivaneDisplay* d = FindDisplay(ctx.doc);
    return d != nullptr ? d->modelDisplay.nColumnShown : 1;
}

void ClampModelIndex(CBrivaneContext& ctx) {
    const int last = DisplayOf(ctx).modelDisplay.LastModelIndex(ctx.doc);
    ctx.view.iCurrentSounding = std::clamp(ctx.view.iCurrentSounding, 0, last);
}

void StepModel(CBrivaneContext& ctx, int step) {
    const int last = DisplayOf(ctx).modelDisplay.LastModelIndex(ctx.doc);
    ctx.view.iCurrentSounding = std::clamp(ctx.view.iCurrentSounding + step, 0, last);
    ctx.Redraw();
}

void StepLine(CBrivaneContext& ctx, int step) {
    const int n = ctx.doc.survey.nLine;
    ctx.view.iCurrentLine = std::clamp(ctx.view.iCurrentLine + step, 0, std::max(0, n - 1));
    ctx.Redraw();
}

void StepReceiver(CBrivaneContext& ctx, int step) {
    CGantrelLine& line = CurrentLine(ctx);
    line.iShownReceiver =
        std::clamp(line.iShownReceiver + step, 0, std::max(0, line.nMaxReceiver - 1));
    UpdateReceiverShown(line);
    ctx.Redraw();
}

void SetShowAllReceivers(CBrivaneContext& ctx, int all) {
    CGantrelLine& line = CurrentLine(ctx);
    line.bShowAllReceivers = all;
    UpdateReceiverShown(line);
    ctx.Redraw();
}

// The axes the zoom buttons scale in the display shown; null where they act otherwise.
CAxes* ZoomAxes(CBrivaneContext& ctx) {
    CBrivaneDisplay& d = DisplayOf(ctx);
    switch (ctx.view.iViewMode) {
        case kViewLineResistivity:
            return &d.lineView.axes;
        case kViewLineResistance:
            return &d.resistanceView.axes;
        case kViewSectionOriginal:
        case kViewSectionGridded:
        case kViewModel2D:
            return &d.sectionDrawer.axes;
        default:
            return nullptr;
    }
}

float Zoomed(float scale, bool up) {
    return static_cast<float>(up ? scale * kZoomStep : scale / kZoomStep);
}

void SetColumnsShown(CBrivaneContext& ctx, int n) {
    DisplayOf(ctx).modelDisplay.nColumnShown = n;
    ClampModelIndex(ctx);
    ctx.Redraw();
}

void ShowMode(CBrivaneContext& ctx, int mode) {
    ctx.view.iViewMode = mode;
    ctx.view.iMouseMode = kMouseNormal;
    ctx.Redraw();
}

void ToggleMouseMode(CBrivaneContext& ctx, int mode) {
    ctx.view.iMouseMode = ctx.view.iMouseMode == mode ? kMouseNormal : mode;
    ctx.Redraw();
}

// Rebinds a command so that it acts in the displays `mine` selects and keeps its earlier
// handler and rules everywhere else.
void Chain(CCommandTable& table, int id, const Rule& mine, Handler handler, Rule enabled,
           Rule checked = {}) {
    const CCommand* before = table.Find(id);
    Handler oldHandler = before != nullptr ? before->handler : Handler{};
    Rule oldEnabled = before != nullptr ? before->enabled : Rule{};
    Rule oldChecked = before != nullptr ? before->checked : Rule{};
    table.Bind(
        id,
        [mine, handler = std::move(handler), oldHandler](CBrivaneContext& ctx) {
            if (mine(ctx))
                handler(ctx);
            else if (oldHandler)
                oldHandler(ctx);
        },
        [mine, enabled = std::move(enabled), oldHandler, oldEnabled](const CBrivaneContext& ctx) {
            if (mine(ctx)) return !enabled || enabled(ctx);
            return oldHandler && (!oldEnabled || oldEnabled(ctx));
        },
        [mine, checked = std::move(checked), oldChecked](const CBrivaneContext& ctx) {
            if (mine(ctx)) return checked && checked(ctx);
            return oldChecked && oldChecked(ctx);
        });
}

void RegisterColumnCommand(CCommandTable& table, int id, int n, const char* en, const char* ja) {
    CCommand c;
    c.id = id;
    c.sText = en;
    c.sTextJa = ja;
    c.handler = [n](CBrivaneContext& ctx) { SetColumnsShown(ctx, n); };
    c.enabled = In1D;
    c.checked = [n](const CBrivaneContext& ctx) { return In1D(ctx) && ColumnsShown(ctx) == n; };
    table.Register(std::move(c));
}

}  // namespace

void RegisterViewCommands(CCommandTable& table) {
    auto modeIs = [](int mode) {
        return [mode](const CBrivaneContext& ctx) { return ctx.view.iViewMode == mode; };
    };

    // Displays of the analysis results.
    table.Bind(
        kCmdShowSectionGridded, [](CBrivaneContext& ctx) { ShowMode(ctx, kViewSectionGridded); },
        [](const CBrivaneContext& ctx) {
            return ctx.doc.store.IsAllocated() && ctx.doc.store.nColumn > 0;
        },
        modeIs(kViewSectionGridded));
    table.Bind(
        kCmdShowModel2D, [](CBrivaneContext& ctx) { ShowMode(ctx, kViewModel2D); },
        [](const CBrivaneContext& ctx) { return StoreHasModel(ctx.doc.store); },
        modeIs(kViewModel2D));
    table.Bind(
        kCmdShowModel1D,
        [](CBrivaneContext& ctx) {
            ShowMode(ctx, kViewModel1D);
            ClampModelIndex(ctx);
        },
        [](const CBrivaneContext& ctx) { return ModelColumnCount(ctx.doc) > 0; },
        modeIs(kViewModel1D));

    // Lines in the line displays, models in the one-dimensional display.
    const Rule lineOr1D = [](const CBrivaneContext& ctx) {
        return InLineDisplay(ctx) || In1D(ctx);
    };
    for (const auto& [id, step] : {std::pair{kCmdPreviousLine, -1}, std::pair{kCmdNextLine, 1}}) {
        const int s = step;
        Chain(table, id, lineOr1D,
              [s](CBrivaneContext& ctx) {
                  if (In1D(ctx))
                      StepModel(ctx, s);
                  else
                      StepLine(ctx, s);
              },
              {});
    }
    for (const auto& [id, step] :
         {std::pair{kCmdSoundingBack10, -10}, std::pair{kCmdSoundingForward10, 10}}) {
        const int s = step;
        Chain(table, id, In1D, [s](CBrivaneContext& ctx) { StepModel(ctx, s); }, {});
    }

    // Receivers of the current line.
    table.Bind(
        kCmdShowAllReceivers,
        [](CBrivaneContext& ctx) {
            SetShowAllReceivers(ctx, CurrentLine(ctx).bShowAllReceivers == 1 ? 0 : 1);
        },
        LineDisplayWithLine,
        [](const CBrivaneContext& ctx) {
            return HasCurrentLine(ctx) &&
                   ctx.doc.survey.Line(ctx.view.iCurrentLine).bShowAllReceivers == 1;
        });
    table.Bind(
        kCmdShowAllReceiversButton, [](CBrivaneContext& ctx) { SetShowAllReceivers(ctx, 1); },
        LineDisplayWithLine);
    table.Bind(
        kCmdShowOneReceiver, [](CBrivaneContext& ctx) { SetShowAllReceivers(ctx, 0); },
        LineDisplayWithLine);
    const Rule oneOfSeveral = [](const CBrivaneContext& ctx) {
        if (!HasCurrentLine(ctx)) return false;
        const CGantrelLine& line = ctx.doc.survey.Line(ctx.view.iCurrentLine);
        return line.bShowAllReceivers == 0 && line.nMaxReceiver > 1;
    };
    Chain(
        table, kCmdPreviousReceiver, InLineDisplay,
        [](CBrivaneContext& ctx) { StepReceiver(ctx, -1); }, oneOfSeveral);
    Chain(
        table, kCmdNextReceiver, InLineDisplay, [](CBrivaneContext& ctx) { StepReceiver(ctx, 1); },
        oneOfSeveral);

    // Zoom: the plot's scales in the line and section displays, the view's model scales in
    // the one-dimensional display.
    const Rule zoomable = [](const CBrivaneContext& ctx) {
        return InLineDisplay(ctx) || InSectionDisplay(ctx) || In1D(ctx);
    };
    const auto zoom = [](bool horizontal, bool up) {
        return [horizontal, up](CBrivaneContext& ctx) {
            if (In1D(ctx)) {
                float& s = horizontal ? ctx.view.fHScale : ctx.view.fVScale;
                s = Zoomed(s, up);
            } else if (CAxes* axes = ZoomAxes(ctx)) {
                float& s = horizontal ? axes->fXScale : axes->fYScale;
                s = Zoomed(s, up);
            }
            ctx.Redraw();
        };
    };
    Chain(table, kCmdHScaleDown, zoomable, zoom(true, false), {});
    Chain(table, kCmdHScaleUp, zoomable, zoom(true, true), {});
    Chain(table, kCmdVScaleUp, zoomable, zoom(false, true), {});
    Chain(table, kCmdVScaleDown, zoomable, zoom(false, false), {});

    // The one-dimensional display.
    table.Bind(
        kCmdShowLayerBoundary,
        [](CBrivaneContext& ctx) {
            int& flag = DisplayOf(ctx).modelDisplay.bShowLayerBoundary;
            flag = flag == 1 ? 0 : 1;
            ctx.Redraw();
        },
        In1D,
        [](const CBrivaneContext& ctx) {
            const CBrivaneDisplay* d = FindDisplay(ctx.doc);
            return d != nullptr && d->modelDisplay.bShowLayerBoundary == 1;
        });
    table.Bind(
        kCmdDisplayToggle,
        [](CBrivaneContext& ctx) {
            CModelDisplay& m = DisplayOf(ctx).modelDisplay;
            m.bShowCalculated = m.bShowCalculated == 1 ? 0 : 1;
            if (m.bShowCalculated == 1) SetColumnsShown(ctx, 1);
            ctx.Redraw();
        },
        [](const CBrivaneContext& ctx) { return ModelLayerCount(ctx.doc) >= 1; },
        [](const CBrivaneContext& ctx) {
            const CBrivaneDisplay* d = FindDisplay(ctx.doc);
            return d != nullptr && d->modelDisplay.bShowCalculated == 1;
        });
    table.Bind(
        kCmdDisplayMode,
        [](CBrivaneContext& ctx) {
            const int n = ColumnsShown(ctx);
            SetColumnsShown(ctx, n == 1 ? 5 : n == 5 ? 10 : 1);
        },
        In1D);
    RegisterColumnCommand(table, kCmdModelColumns1, 1, "One column", "1列表示");
    RegisterColumnCommand(table, kCmdModelColumns5, 5, "Five columns", "5列表示");
    RegisterColumnCommand(table, kCmdModelColumns10, 10, "Ten columns", "10列表示");

    // Mouse interactions: picking dots or observations, and the rectangle selection.
    table.Bind(
        kCmdMouseMode1, [](CBrivaneContext& ctx) { ToggleMouseMode(ctx, kMouseDisplay1); },
        [](const CBrivaneContext& ctx) { return InLineDisplay(ctx) || In1D(ctx); },
        [](const CBrivaneContext& ctx) { return ctx.view.iMouseMode == kMouseDisplay1; });
    table.Bind(
        kCmdMouseMode4, [](CBrivaneContext& ctx) { ToggleMouseMode(ctx, kMouseDisplay4); },
        InLineDisplay,
        [](const CBrivaneContext& ctx) { return ctx.view.iMouseMode == kMouseDisplay4; });
}

CCommandTable BuildBrivaneCommandsWithViews() {
    CCommandTable table = BuildBrivaneCommands();
    RegisterViewCommands(table);
    return table;
}
