#include "display/plotter_handoff.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "common/language.h"
#include "common/replacing_writer.h"
#include "common/settings.h"
#include "common/text_format.h"

namespace {

class CLittleEndianOut {
public:
    void Int(std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((u >> shift) & 0xFF);
    }
    void Float(float v) {
        std::uint32_t u = 0;
        static_assert(sizeof u == sizeof v);
        std::memcpy(&u, &v, sizeof u);
        Int(static_cast<std::int32_t>(u));
    }
    void String(const std::string& s) {
        Int(static_cast<std::int32_t>(s.size()));
        bytes += s;
    }
    std::string bytes;
};

}  // namespace

CPlotterFlatFile BuildFlatFile(const CTrevascDataOhm& store, const CGantrelSurvey& survey,
                               int iUTMZone) {
    CPlotterFlatFile f;
    if (store.IsAllocated()) {
        f.nColumn = std::clamp(std::min(store.nBoundaryColumn, store.nModelColumn), 0,
                               store.MaxBoundaryColumn());
        f.nLayer = std::clamp(store.nLayer, 0, store.MaxLayer());
    }
    const auto cells = static_cast<size_t>(f.nColumn) * static_cast<size_t>(f.nLayer);
    f.boundaryX.reserve(cells);
    f.boundaryElevation.reserve(cells);
    f.resistivity.reserve(cells);
    for (int c = 0; c < f.nColumn; ++c) {
        for (int j = 0; j < f.nLayer; ++j) {
            f.boundaryX.push_back(store.fBoundaryX[c][j]);
            f.boundaryElevation.push_back(store.fBoundaryElevation[c][j]);
            f.resistivity.push_back(store.fLayerResistivity[c][j]);
        }
    }
    store.ResistivityRange(f.fMinResistivity, f.fMaxResistivity);
    for (int l = 0; l < survey.nLine; ++l) {
        const CGantrelLine& line = survey.Line(l);
        for (int m = 0; m < line.nMarker(); ++m) {
            if (static_cast<int>(f.markers.size()) >= kMaxFlatFileMarkers) break;
            f.markers.push_back(
                {FormatC("Marker:%d-%d", l, m), line.pMarker[static_cast<size_t>(m)].fDistance});
        }
    }
    f.iUTMZone = iUTMZone;
    return f;
}

std::string SerializeFlatFile(const CPlotterFlatFile& f) {
    CLittleEndianOut out;
    out.Int(kFlatFileFormat);
    out.Int(kFlatFileLayoutVersion);
    out.Int(f.nColumn);
    out.Int(f.nLayer);
    const size_t cells = static_cast<size_t>(f.nColumn) * static_cast<size_t>(f.nLayer);
    for (size_t k = 0; k < cells; ++k) {
        out.Float(f.boundaryX[k]);
        out.Float(f.boundaryElevation[k]);
    }
    for (size_t k = 0; k < cells; ++k) out.Float(f.resistivity[k]);
    out.Float(f.fMinResistivity);
    out.Float(f.fMaxResistivity);
    out.Int(static_cast<std::int32_t>(f.markers.size()));
    for (const auto& m : f.markers) {
        out.String(m.sText);
        out.Float(m.fPosition);
    }
    out.String(f.sUnit);
    out.String(f.sTitle);
    out.String(f.sLegendTitle);
    out.Int(f.iUTMZone);
    out.Float(f.fLabelHeight);
    out.Float(f.fLabelInterval);
    out.Int(f.bShowMarkers);
    out.Int(f.iContourInterval);
    out.Int(f.iColorTable);
    return out.bytes;
}

std::filesystem::path FlatFilePath(const std::filesystem::path& dataFolder) {
    return dataFolder / kFlatFileName;
}

const std::vector<std::string>& PlotterArguments() {
    static const std::vector<std::string> kArguments = {"-0", "-100", "-20", "-10",
                                                        "-1", "-10",  "-0"};
    return kArguments;
}

const std::vector<std::string>& PlotterSearchList() {
#if defined(_WIN32)
    static const std::vector<std::string> kList = {
        "c:\\Program Files\\Sarovin\\Marbeck.exe", "c:\\Program Files\\Brivane\\Marbeck.exe",
        "c:\\Program Files (x86)\\Sarovin\\Marbeck.exe",
        "c:\\Program Files (x86)\\Brivane\\Marbeck.exe"};
#else
    static const std::vector<std::string> kList = {
        "/opt/sarovin/bin/marbeck", "/opt/brivane/bin/marbeck", "/usr/local/bin/marbeck",
        "/usr/bin/marbeck"};
#endif
    return kList;
}

FileFilter PlotterFileFilter() {
#if defined(_WIN32)
    return {"Marbeck.exe", {"Marbeck.exe"}};
#else
    // Programs carry no extension here.
    return {"Marbeck.exe", {"*"}};
#endif
}

bool HasPlotterModel(const CBrivaneContext& ctx) {
    return ctx.doc.store.nLayer >= 1 && ctx.doc.store.nModelColumn >= 1;
}

bool HandOffToPlotter(CBrivaneContext& ctx, CProcessLauncher& launcher) {
    CBrivaneDoc& doc = ctx.doc;
    for (;;) {
        std::error_code ec;
        std::filesystem::path path = FlatFilePath(doc.dataFolder);
        const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
        if (!ec) path = absolute;
        WriteFlatFileName(path.string());
        const int zone = ReadSuiteInt("iUTMZone", 0);
        doc.store.iUTMZone = zone;
        const std::string error =
            ReplaceFileBytes(path, SerializeFlatFile(BuildFlatFile(doc.store, doc.survey, zone)));
        if (!error.empty()) {
            // The plotter would show an old model, or none.
            ctx.Fail(error);
            return false;
        }
        if (!doc.sPlotterLocation.empty() &&
            launcher.Start(doc.sPlotterLocation, PlotterArguments()))
            return true;
        for (const std::string& place : PlotterSearchList()) {
            doc.sPlotterLocation = place;
            if (launcher.Start(place, PlotterArguments())) return true;
        }
        const std::string message = Tr("Can not execute Marbeck. Please set the location of Marbeck.exe",
                                       "Marbeckを実行できません。Marbeck.exeの場所を指定してください");
        ctx.prompter.Message(message);
        const std::filesystem::path folder =
            std::filesystem::path(doc.sPlotterLocation).parent_path();
        const auto chosen = ctx.prompter.OpenFiles("Open", {PlotterFileFilter()}, folder, false);
        if (chosen.empty()) {
            ctx.Failed(message);
            return false;
        }
        doc.sPlotterLocation = chosen.front().string();
    }
}

void RegisterPlotterCommands(CCommandTable& table, CProcessLauncher& launcher) {
    table.Bind(
        kCmdShowModelPlotter, [&launcher](CBrivaneContext& ctx) { HandOffToPlotter(ctx, launcher); },
        HasPlotterModel);
}
