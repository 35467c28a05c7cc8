#include "processing/analysis_commands.h"

#include "analysis/smoothing.h"
#include "common/language.h"
#include "processing/commands.h"

int SetUpAveragedSounding(const CSoundingData& data, SoundingData& sounding) {
    sounding.nData = 0;
    sounding.bGeneralArray = 0;
    if (data.points.size() > static_cast<std::size_t>(kMaxSoundingRows)) return -1;
    const int m = static_cast<int>(data.points.size());
    for (int k = 0; k < m; ++k) {
        const CSoundingPoint& p = data.points[static_cast<std::size_t>(k)];
        SoundingRow& row = sounding.row[k];
        row.electrode = FourElectrodeGeometry{};
        row.fDipoleSize = p.fHalfDipole;
        row.fNFactor = p.fNFactor;
        row.fObserved = p.fResistivity;
        row.fCalculated = 0.0f;
        row.iMarked = p.bMarked;
    }
    sounding.nData = m;
    SetSoundingDistances(sounding);
    return m;
}

float InvertAveragedSounding(const CBrivaneDoc& doc, LayerModel& model, SoundingData& sounding,
                             std::vector<float>* misfits) {
    if (SetUpAveragedSounding(doc.sounding, sounding) < 1) return -1.0f;
    if (model.nLayer == 0) {
        const LayerModel start =
            StartingModel(sounding, kAveragedSoundingLayers, kAveragedSoundingDepth);
        if (start.nLayer == 0) return -1.0f;
        model = start;
    }
    return InvertSounding(model, sounding, doc.inversionSettings, misfits);
}

void SaveModelForUndo(CBrivaneDoc& doc) {
    doc.undoStore.CopyFrom(doc.store);
    doc.bModelUndo = 1;
    doc.bSurveyUndo = 0;
    doc.bOpenUndo = 0;
}

namespace {

void Inversion(CBrivaneContext& ctx) {
    CBrivaneDoc& doc = ctx.doc;
    CMessageTap tap(ctx.prompter);
    SectionInversionResult result;
    if (NonLinearInversion(doc.store, doc.inversionSettings, doc.dataFolder, tap,
                           ctx.progress, 0, &result)) {
        // The smoothing undo copy predates this model: restoring it would throw the inversion
        // result away, so Undo no longer offers it.
        doc.bModelUndo = 0;
        ctx.Redraw();
        // A run that fitted nothing is no success, whatever it was told to finish with.
        if (result.NothingFitted())
            ctx.Failed(result.nInverted == 0
                           ? Tr("No column could be inverted.", "インバージョンできた列がありません。")
                           : SkippedUpdatesMessage(result));
        return;
    }
    // Cancelled, stopped (and told so), or no model to invert.
    ctx.Failed(tap.LastMessage().value_or(
        Tr("The inversion did not run.", "インバージョンを実行していません。")));
}

void SmoothHorizontalMedian(CBrivaneContext& ctx) {
    CDlgMedianFilter dialog;
    if (!ctx.prompter.EditDialog(dialog)) return;
    SaveModelForUndo(ctx.doc);
    HorizontalMedianFilter(ctx.doc.store, dialog.iLength);
    ctx.Redraw();
}

void SmoothHorizontalAverage(CBrivaneContext& ctx) {
    SaveModelForUndo(ctx.doc);
    HorizontalMovingAverage(ctx.doc.store);
    ctx.Redraw();
}

void SmoothVerticalAverage(CBrivaneContext& ctx) {
    SaveModelForUndo(ctx.doc);
    VerticalMovingAverage(ctx.doc.store);
    ctx.Redraw();
}

}  // namespace

void RegisterAnalysisCommands(CCommandTable& table) {
    table.Bind(kCmdInversion, Inversion,
               [](const CBrivaneContext& ctx) { return ctx.doc.store.nLayer >= 1; });
    table.Bind(kCmdSmoothHMedian, SmoothHorizontalMedian,
               [](const CBrivaneContext& ctx) { return CanHorizontalMedian(ctx.doc.store); });
    table.Bind(kCmdSmoothHAverage, SmoothHorizontalAverage,
               [](const CBrivaneContext& ctx) { return CanHorizontalAverage(ctx.doc.store); });
    table.Bind(kCmdSmoothVAverage, SmoothVerticalAverage,
               [](const CBrivaneContext& ctx) { return CanVerticalAverage(ctx.doc.store); });
}
