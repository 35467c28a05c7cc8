#include "processing/exchange_commands.h"

#include <algorithm>

#include "common/language.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "processing/commands.h"

StandardXmlSection BuildStandardXmlSection(const CTrevascDataOhm& store, const DunvarDataSet& set) {
    StandardXmlSection s;
    const int nColumn = std::clamp(std::min(store.nBoundaryColumn, store.nModelColumn), 0,
                                   store.MaxBoundaryColumn());
    const int nLayer = std::clamp(store.nLayer, 0, store.MaxLayer());
    if (nColumn <= 0 || nLayer <= 0) return s;
    s.nx = nColumn - 1;
    s.nz = nLayer;
    const int nz = s.nz;
    const auto nodes = static_cast<size_t>(nColumn) * static_cast<size_t>(nz + 1);
    s.nodeX.assign(nodes, 0.0f);
    s.nodeZ.assign(nodes, 0.0f);
    for (int i = 0; i < nColumn; ++i) {
        for (int j = 0; j < nLayer; ++j) {
            const auto k = static_cast<size_t>((nz + 1) * i + j);
            s.nodeX[k] = store.fBoundaryX[i][j];
            s.nodeZ[k] = store.fBoundaryElevation[i][j];
        }
    }
    // The closing row, in double precision from the store's single-precision values.
    const double d = store.fCellSize;
    const int last = nLayer - 1;
    const double x0 = store.fBoundaryX[0][last];
    const double z0 = store.fBoundaryElevation[0][last] - 3.0 * d;
    const double xn = store.fBoundaryX[nColumn - 1][last];
    const double zn = store.fBoundaryElevation[nColumn - 1][last] - 3.0 * d;
    for (int i = 0; i < nColumn; ++i) {
        const double xi = store.fBoundaryX[i][last];
        double z = z0;
        if (i > 0) {
            const double lineZ = xn != x0 ? z0 + (xi - x0) * (zn - z0) / (xn - x0) : z0;
            z = std::min(store.fBoundaryElevation[i][last] - 1.5 * d, lineZ);
        }
        const auto k = static_cast<size_t>((nz + 1) * i + nz);
        s.nodeX[k] = static_cast<float>(xi);
        s.nodeZ[k] = static_cast<float>(z);
    }
    s.elementResistivity.assign(static_cast<size_t>(s.nx) * static_cast<size_t>(nz), 0.0f);
    for (int i = 0; i < s.nx; ++i)
        for (int j = 0; j < nz; ++j)
            s.elementResistivity[static_cast<size_t>(nz * i + j)] = store.fLayerResistivity[i][j];

    s.positionDistance = set.electrodes;
    s.positionElevation.assign(set.electrodes.size(), 0.0f);
    s.data.reserve(set.data.size());
    for (const DunvarDatum& datum : set.data)
        s.data.push_back({datum.c1, datum.c2, datum.p1, datum.p2, datum.fObserved});
    return s;
}

void SaveStandardXmlCommand(CBrivaneContext& ctx) {
    const auto path =
        ctx.prompter.SaveFile("Save", {{"XML file", {"*.xml"}}}, ctx.doc.dataFolder / "*.xml");
    if (!path) return;
    const bool bJapanese =
        ctx.prompter.Message(Tr("Save Japanese XML file?", "日本語のXMLファイルを保存しますか?"),
                             PromptButtons::YesNo) == PromptAnswer::Yes;
    WriteSettingInt("bJapaneseXML", bJapanese ? 1 : 0);

    DunvarDataSet set;
    const DunvarBuildResult built =
        BuildDunvarDataSet(ctx.doc.store, kDunvarModeModel, set, ctx.prompter);
    if (built.status != DunvarStatus::Ok) {
        ctx.Fail(FormatC(Tr("Nothing was written to %s.", "%s には何も書き込んでいません。"),
                         path->string().c_str()));
        return;
    }
    const StandardXmlSection section = BuildStandardXmlSection(ctx.doc.store, set);
    CStandardXMLSurveyInfo info;
    info.Load();
    const CStandardXMLTagResistivity english;
    const CStandardXMLTagResistivityJapanese japanese;
    const CXmlStatus status = WriteStandardXmlDocument(
        *path, bJapanese ? static_cast<const CStandardXMLTagResistivity&>(japanese) : english,
        info, section);
    if (!status.ok()) ctx.Fail(status.message);
}

void RegisterExchangeCommands(CCommandTable& table) {
    table.Bind(kCmdSaveXMLProcessed, SaveStandardXmlCommand,
               [](const CBrivaneContext& ctx) { return DunvarHasModel(ctx.doc.store); });
}
