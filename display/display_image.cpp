#include "display/display_image.h"

#include "common/language.h"
#include "common/text_format.h"

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
    // The window's draw: fits a plot drawn for the first time and stores the extents.
    CNullCanvas layout;
    if (!DrawDisplay(layout, ctx, client)) {
        error = FormatC("the display \"%s\" has no data to draw", name.c_str());
    } else {
        error = SaveDisplayImage(ctx, writer, path);
    }
    ctx.view.iViewMode = previous;
    return error;
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
    const auto mode = ViewModeFromDisplayName(display);
    if (!mode)
        return FormatC(
            "unknown display \"%s\" (use line, line-vi, section, gridded, model or "
            "model1d)",
            display.c_str());
    return SaveMode(ctx, writer, *mode, display, path, client);
}

void RegisterImageCommands(CCommandTable& table, CPlotImageWriter& writer) {
    table.Bind(
        kCmdSaveImage, [&writer](CBrivaneContext& ctx) { SaveImageCommand(ctx, writer); },
        [](const CBrivaneContext& ctx) {
            const CBrivaneDisplay* d = FindDisplay(ctx.doc);
            return d != nullptr && d->extents.iRight > 0 && ctx.view.iViewMode != kViewNothing;
        });
}
