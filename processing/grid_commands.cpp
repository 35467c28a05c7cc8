// "Convert to grid data" and "Initial model": the gridded section and the model mesh.
#include "analysis/gridding.h"
#include "analysis/initial_model.h"
#include "common/language.h"
#include "processing/commands.h"

namespace {

void ConvertToGrid(CBrivaneContext& ctx) {
    CMessageTap tap(ctx.prompter);
    if (!ConvertToGridData(ctx.doc.survey, ctx.doc.store, tap, ctx.progress)) {
        // Refused with its explanation, cancelled or stopped: the old section stands.
        ctx.Failed(tap.LastMessage().value_or(
            Tr("The data were not converted to grid data.", "格子データに変換していません。")));
        return;
    }
    // The smoothing undo copy belongs to the section just replaced.
    ctx.doc.bModelUndo = 0;
    ctx.view.iViewMode = kViewSectionGridded;
    ctx.view.iMouseMode = kMouseNormal;
    ctx.Redraw();
}

void MakeInitialModel(CBrivaneContext& ctx) {
    CMessageTap tap(ctx.prompter);
    if (InitialModel(ctx.doc.store, tap))
        ctx.doc.bModelUndo = 0;
    else
        ctx.Failed(tap.LastMessage().value_or(
            Tr("The initial model was not made.", "初期モデルを作成していません。")));
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
