// "Convert to grid data" and "Initial model": the gridded section and the model mesh.
#include "analysis/gridding.h"
#include "analysis/initial_model.h"
#include "processing/commands.h"

namespace {

void ConvertToGrid(CBrivaneContext& ctx) {
    if (!ConvertToGridData(ctx.doc.survey, ctx.doc.store, ctx.prompter, ctx.progress)) return;
    // The smoothing undo copy belongs to the section just replaced.
    ctx.doc.bModelUndo = 0;
    ctx.view.iViewMode = kViewSectionGridded;
    ctx.view.iMouseMode = kMouseNormal;
    ctx.Redraw();
}

void MakeInitialModel(CBrivaneContext& ctx) {
    if (InitialModel(ctx.doc.store, ctx.prompter)) ctx.doc.bModelUndo = 0;
    // Shown whether or not the dialog was confirmed.
    ctx.view.iViewMode = ctx.doc.store.nColumn > 1 ? kViewModel2D : kViewModel1D;
    ctx.view.iCurrentSounding = 0;
    ctx.Redraw();
}

}  // namespace

void RegisterGridCommands(CCommandTable& table) {
    table.Bind(kCmdConvertToGrid, ConvertToGrid,
               [](const CBrivaneContext& ctx) { return ctx.doc.survey.nLine > 0; });
    table.Bind(kCmdInitialModel, MakeInitialModel,
               [](const CBrivaneContext& ctx) { return ctx.doc.store.nColumn > 0; });
}
