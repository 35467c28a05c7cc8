#include "display/display_image.h"

#include <system_error>

#include "common/language.h"
#include "common/text_format.h"
#include "exchange/kml.h"

CClientSize DisplayImageSize(const CBrivaneContext& ctx) {
    const CBrivaneDisplay* d = FindDisplay(ctx.doc);
    if (d == nullptr || d->extents.iRight <= 0 || d->extents.iBottom <= 0) return {0, 0};
    return {d->extents.iRight + kImageMarginRight, d->extents.iBottom + kImageMarginBottom};
}

void DrawDisplayImage(CCanvas& canvas, CBrivaneContext& ctx) {
    CExportingScope exporting;
    DrawDisplay(canvas, ctx);
}

std::string SaveDisplayImage(CBrivaneContext& ctx, CPlotImageWriter& writer,
                             const std::filesystem::path& path, CColor background) {
    const CClientSize size = DisplayImageSize(ctx);
    if (size.iWidth <= 0 || size.iHeight <= 0)
        return Tr("There is no display to save.", "保存する表示がありません。");
    return writer.WritePng(
        size.iWidth, size.iHeight, [&ctx](CCanvas& canvas) { DrawDisplayImage(canvas, ctx); },
        path, background);
}

namespace {

std::string SaveMode(CBrivaneContext& ctx, CPlotImageWriter& writer, int iViewMode,
                     const std::string& name, const std::filesystem::path& path,
                     CClientSize client) {
    const int previous = ctx.view.iViewMode;
    ctx.view.iViewMode = iViewMode;
    std::string error;
    // The window's draw: fits a plot drawn for the first time and stores the extents, with
    // texts measured as the picture will draw them.
    CNullCanvas layout([&writer](const CFont& font, std::string_view text) {
        return writer.MeasureText(font, text);
    });
    if (!DrawDisplay(layout, ctx, client)) {
        error = FormatC("the display \"%s\" has no data to draw", name.c_str());
    } else {
        error = SaveDisplayImage(ctx, writer, path);
    }
    ctx.view.iViewMode = previous;
    return error;
}

// Largest k tried for "<name>-<k>.png".
constexpr int kMaxOverlayImageIndex = 9999;

bool Exists(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::exists(p, ec) || ec;
}

void SaveMapKmlCommand(CBrivaneContext& ctx, CPlotImageWriter& writer) {
    const auto path = ctx.prompter.SaveFile(
        Tr("Save current map to a KML file", "現在のマップをKMLファイルに保存"),
        {{"KML file (PNG)", {"*.kml"}}}, ctx.doc.dataFolder / "*.kml");
    if (!path) return;
    const std::string error = SaveMapOverlay(ctx, writer, *path);
    if (!error.empty()) ctx.Fail(error);
}

void SaveImageCommand(CBrivaneContext& ctx, CPlotImageWriter& writer) {
    const auto path = ctx.prompter.SaveFile(
        Tr("Save display image to a file", "表示画像をファイルに保存"),
        {{"Portable Network Graphic file (PNG)", {"*.png"}}}, ctx.doc.dataFolder / "*.png");
    if (!path) return;
    const std::string error = SaveDisplayImage(ctx, writer, *path);
    if (!error.empty()) ctx.Fail(error);
}

}  // namespace

std::string SaveDisplayPNG(CBrivaneContext& ctx, CPlotImageWriter& writer, int iViewMode,
                           const std::filesystem::path& path, CClientSize client) {
    return SaveMode(ctx, writer, iViewMode, std::to_string(iViewMode), path, client);
}

std::string SaveDisplayPNG(CBrivaneContext& ctx, CPlotImageWriter& writer,
                           const std::string& display, const std::filesystem::path& path,
                           CClientSize client) {
    if (const auto map = MapFromDisplayName(display)) {
        const int nDepth = ctx.doc.survey.nDepth();
        if (map->iDepthIndex && *map->iDepthIndex >= nDepth)
            return FormatC(
                "the depth index %d is not one of the survey's %d pseudo-depths (0 to %d)",
                *map->iDepthIndex, nDepth, nDepth - 1);
        if (map->iKind == kMapInterpolated && !ctx.doc.mapGrid.HasGrid())
            return "there is no interpolated map: interpolate first (--interpolate)";
        ctx.view.iMapKind = map->iKind;
        if (map->iDepthIndex) ctx.view.iMapDepthIndex = *map->iDepthIndex;
        return SaveMode(ctx, writer, kViewGPSMap, display, path, client);
    }
    const auto mode = ViewModeFromDisplayName(display);
    if (!mode)
        return FormatC(
            "unknown display \"%s\" (use line, line-vi, section, gridded, model, model1d, "
            "map-gps, map-array, map-rho[:DEPTH_INDEX] or map-interp[:DEPTH_INDEX])",
            display.c_str());
    return SaveMode(ctx, writer, *mode, display, path, client);
}

std::optional<CMapOverlayImage> MapOverlayImageName(const std::filesystem::path& kmlPath,
                                                    const std::string& name) {
    const std::filesystem::path folder = kmlPath.parent_path();
    CMapOverlayImage image{folder / (name + ".png"), name + ".png"};
    for (int k = 0; Exists(image.path); ++k) {
        if (k > kMaxOverlayImageIndex) return std::nullopt;
        image.sReference = FormatC("%s-%d.png", name.c_str(), k);
        image.path = folder / image.sReference;
    }
    return image;
}

std::string SaveMapOverlay(CBrivaneContext& ctx, CPlotImageWriter& writer,
                           const std::filesystem::path& kmlPath) {
    if (ctx.view.iViewMode != kViewGPSMap)
        return Tr("The KML overlay is made of the map: show a map first.",
                  "KMLにはマップを保存します。マップを表示してください。");
    CBrivaneDisplay& d = DisplayOf(ctx);
    if (!d.mapDrawer.HasScales()) {
        CNullCanvas layout;
        DrawDisplay(layout, ctx, kDefaultClientSize);
    }
    if (!d.mapDrawer.HasScales() || d.mapDrawer.iFrameWidth <= 0 || d.mapDrawer.iFrameHeight <= 0)
        return Tr("There is no map to save.", "保存するマップがありません。");
    const std::string name =
        ctx.doc.sDataTitle.empty() ? kmlPath.stem().string() : ctx.doc.sDataTitle;
    const auto image = MapOverlayImageName(kmlPath, name);
    if (!image)
        return FormatC(Tr("Every image name from %s-0.png to %s-%d.png is taken in %s.",
                          "%s-0.png から %s-%d.png までの画像名は %s ですべて使われています。"),
                       name.c_str(), name.c_str(), kMaxOverlayImageIndex,
                       kmlPath.parent_path().string().c_str());
    const std::string error = writer.WritePng(
        d.mapDrawer.iFrameWidth, d.mapDrawer.iFrameHeight,
        [&ctx](CCanvas& canvas) { DrawMapOverlayImage(canvas, ctx); }, image->path, kColorWhite);
    if (!error.empty()) return error;
    const CMapDrawer& map = d.mapDrawer;
    const CXmlStatus status = WriteMapOverlayKml(
        kmlPath, name, image->sReference,
        {map.dLowerLatitude, map.dUpperLatitude, map.dLowerLongitude, map.dUpperLongitude});
    return status.message;
}

void RegisterImageCommands(CCommandTable& table, CPlotImageWriter& writer) {
    table.Bind(
        kCmdSaveMapKML, [&writer](CBrivaneContext& ctx) { SaveMapKmlCommand(ctx, writer); },
        [](const CBrivaneContext& ctx) {
            return ctx.view.iViewMode == kViewGPSMap && ctx.doc.survey.bGPS == 1;
        });
    table.Bind(
        kCmdSaveImage, [&writer](CBrivaneContext& ctx) { SaveImageCommand(ctx, writer); },
        [](const CBrivaneContext& ctx) {
            const CBrivaneDisplay* d = FindDisplay(ctx.doc);
            return d != nullptr && d->extents.iRight > 0 && ctx.view.iViewMode != kViewNothing;
        });
}
