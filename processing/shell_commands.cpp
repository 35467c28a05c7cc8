// Commands of the program shell: undo, new, language, exit, and the toolbar's navigation
// through lines, receivers, soundings and display scales.
#include <algorithm>

#include "common/language.h"
#include "common/settings.h"
#include "processing/commands.h"

namespace {

constexpr float kScaleStep = 1.4142135f;

bool HasLines(const CBrivaneContext& ctx) { return ctx.doc.survey.nLine > 0; }
bool InLineView(const CBrivaneContext& ctx) {
    return ctx.view.iViewMode == kViewLineResistivity || ctx.view.iViewMode == kViewLineResistance;
}
bool HasCurrentLine(const CBrivaneContext& ctx) {
    return ctx.view.iCurrentLine >= 0 && ctx.view.iCurrentLine < ctx.doc.survey.nLine;
}

// The undo copy of a cut was taken with the cut values still marked: without this, Undo
// would bring them back marked and the next Delete would cut them again.
void ClearDeletionMarks(CGantrelSurvey& survey) {
    for (int l = 0; l < survey.nLine; ++l)
        for (CGantrelData& d : survey.Line(l).pData)
            for (int j = 0; j < kMaxReceiver; ++j) d.bDeleted[j] = 0;
}

void ClearObservationMarks(CTrevascDataOhm& store) {
    if (!store.IsAllocated()) return;
    for (int c = 0; c < std::min(store.nColumn, store.MaxColumn()); ++c)
        for (int k = 0; k < std::clamp(store.nRow[static_cast<size_t>(c)], 0, store.MaxRow()); ++k)
            store.iMarked[c][k] = 0;
}

void Undo(CBrivaneContext& ctx) {
    CBrivaneDoc& doc = ctx.doc;
    if (doc.IsOpenUndo()) {
        doc.UndoOpen();
        ClearDeletionMarks(doc.survey);
    } else if (doc.bModelUndo == 1) {
        if (doc.restoreModel) doc.restoreModel();
        doc.bModelUndo = 0;
        ClearObservationMarks(doc.store);
    } else if (doc.bSurveyUndo == 1) {
        doc.survey.CopyFrom(doc.undoSurvey);
        doc.bSurveyUndo = 0;
        ClearDeletionMarks(doc.survey);
    }
    doc.bOpenUndo = 0;
    ctx.view.iCurrentLine =
        std::clamp(ctx.view.iCurrentLine, 0, std::max(0, doc.survey.nLine - 1));
    ctx.Redraw();
}

void New(CBrivaneContext& ctx) {
    const PromptAnswer a = ctx.prompter.Message(
        Tr("Are you sure you want to clear current all data?",
           "現在作業中のデータは全て消去されますが、続けますか?"),
        PromptButtons::OkCancel);
    if (a != PromptAnswer::Ok) return;
    ctx.doc.ClearAll();
    ctx.view.iViewMode = kViewNothing;
    ctx.view.iMouseMode = kMouseNormal;
    ctx.view.iCurrentLine = 0;
    ctx.Redraw();
}

// Moves the current line (line views) or the first sounding shown (1D model display).
void StepLine(CBrivaneContext& ctx, int step) {
    if (ctx.view.iViewMode == kViewModel1D) {
        const int n = ctx.doc.SoundingCount();
        ctx.view.iCurrentSounding = std::clamp(ctx.view.iCurrentSounding + step, 0,
                                               std::max(0, n - 1));
    } else if (InLineView(ctx)) {
        ctx.view.iCurrentLine = std::clamp(ctx.view.iCurrentLine + step, 0,
                                           std::max(0, ctx.doc.survey.nLine - 1));
    } else {
        return;
    }
    ctx.Redraw();
}

void UpdateReceiverShown(CGantrelLine& line) {
    for (int i = 0; i < kMaxReceiver; ++i)
        line.bReceiverShown[i] = line.bShowAllReceivers == 1 || i == line.iShownReceiver ? 1 : 0;
}

void ShowAllReceivers(CBrivaneContext& ctx, int all) {
    CGantrelLine& line = ctx.doc.survey.Line(ctx.view.iCurrentLine);
    line.bShowAllReceivers = all;
    UpdateReceiverShown(line);
    ctx.Redraw();
}

void StepReceiver(CBrivaneContext& ctx, int step) {
    CGantrelLine& line = ctx.doc.survey.Line(ctx.view.iCurrentLine);
    line.iShownReceiver = std::clamp(line.iShownReceiver + step, 0,
                                     std::max(0, line.nMaxReceiver - 1));
    UpdateReceiverShown(line);
    ctx.Redraw();
}

// Scale buttons of the one-dimensional model display; the other displays keep their scales
// in their display objects.
void ScaleH(CBrivaneContext& ctx, bool up) {
    if (ctx.view.iViewMode != kViewModel1D) return;
    ctx.view.fHScale = up ? ctx.view.fHScale * kScaleStep : ctx.view.fHScale / kScaleStep;
    ctx.Redraw();
}

void ScaleV(CBrivaneContext& ctx, bool up) {
    if (ctx.view.iViewMode != kViewModel1D) return;
    ctx.view.fVScale = up ? ctx.view.fVScale * kScaleStep : ctx.view.fVScale / kScaleStep;
    ctx.Redraw();
}

void ShowMode(CBrivaneContext& ctx, int mode) {
    ctx.view.iViewMode = mode;
    ctx.view.iMouseMode = kMouseNormal;
    ctx.Redraw();
}

}  // namespace

void RegisterShellCommands(CCommandTable& table) {
    table.Bind(kCmdUndo, Undo, [](const CBrivaneContext& ctx) { return ctx.doc.CanUndo(); });
    table.Bind(kCmdNew, New);
    table.Bind(kCmdExit, [](CBrivaneContext& ctx) {
        ctx.bExitRequested = ConfirmExit(ctx.prompter);
    });
    table.Bind(
        kCmdJapanese,
        [](CBrivaneContext& ctx) {
            ToggleLanguage();
            ctx.Redraw();
        },
        {}, [](const CBrivaneContext&) { return IsJapanese(); });

    table.Bind(kCmdPreviousLine, [](CBrivaneContext& ctx) { StepLine(ctx, -1); });
    table.Bind(kCmdNextLine, [](CBrivaneContext& ctx) { StepLine(ctx, 1); });
    auto in1D = [](const CBrivaneContext& ctx) { return ctx.view.iViewMode == kViewModel1D; };
    table.Bind(kCmdSoundingBack10, [](CBrivaneContext& ctx) { StepLine(ctx, -10); }, in1D);
    table.Bind(kCmdSoundingForward10, [](CBrivaneContext& ctx) { StepLine(ctx, 10); }, in1D);

    table.Bind(
        kCmdShowAllReceivers, [](CBrivaneContext& ctx) { ShowAllReceivers(ctx, 1); },
        HasCurrentLine,
        [](const CBrivaneContext& ctx) {
            return HasCurrentLine(ctx) &&
                   ctx.doc.survey.Line(ctx.view.iCurrentLine).bShowAllReceivers == 1;
        });
    table.Bind(kCmdShowAllReceiversButton, [](CBrivaneContext& ctx) { ShowAllReceivers(ctx, 1); },
               HasCurrentLine);
    table.Bind(kCmdShowOneReceiver, [](CBrivaneContext& ctx) { ShowAllReceivers(ctx, 0); },
               HasCurrentLine);
    table.Bind(kCmdPreviousReceiver, [](CBrivaneContext& ctx) { StepReceiver(ctx, -1); },
               HasCurrentLine);
    table.Bind(kCmdNextReceiver, [](CBrivaneContext& ctx) { StepReceiver(ctx, 1); },
               HasCurrentLine);

    table.Bind(kCmdHScaleDown, [](CBrivaneContext& ctx) { ScaleH(ctx, false); });
    table.Bind(kCmdHScaleUp, [](CBrivaneContext& ctx) { ScaleH(ctx, true); });
    table.Bind(kCmdVScaleUp, [](CBrivaneContext& ctx) { ScaleV(ctx, true); });
    table.Bind(kCmdVScaleDown, [](CBrivaneContext& ctx) { ScaleV(ctx, false); });

    auto checkMode = [](int mode) {
        return [mode](const CBrivaneContext& ctx) { return ctx.view.iViewMode == mode; };
    };
    table.Bind(kCmdShowLineResistivity,
               [](CBrivaneContext& ctx) { ShowMode(ctx, kViewLineResistivity); }, HasLines,
               checkMode(kViewLineResistivity));
    table.Bind(kCmdShowLineResistance,
               [](CBrivaneContext& ctx) { ShowMode(ctx, kViewLineResistance); }, HasLines,
               checkMode(kViewLineResistance));
    table.Bind(kCmdShowSectionOriginal,
               [](CBrivaneContext& ctx) { ShowMode(ctx, kViewSectionOriginal); }, HasLines,
               checkMode(kViewSectionOriginal));
    // View check items kept in the settings under the view state's own name.
    const auto bindShown = [&table](int id, int CBrivaneViewState::*shown, const char* key) {
        table.Bind(
            id,
            [shown, key](CBrivaneContext& ctx) {
                ctx.view.*shown = ctx.view.*shown == 1 ? 0 : 1;
                WriteSettingInt(key, ctx.view.*shown);
                ctx.Redraw();
            },
            {}, [shown](const CBrivaneContext& ctx) { return ctx.view.*shown == 1; });
    };
    bindShown(kCmdShowCurrentLevel, &CBrivaneViewState::bShowCurrentLevel, "bShowCurrentLevel");
    bindShown(kCmdShowColumnMisfit, &CBrivaneViewState::bShowColumnMisfit, "bShowColumnMisfit");
}
