// Which display goes into a picture, and how large the picture is: the processing view's
// display drawn with the exporting flag on a page of (right extent + 250) x (bottom extent +
// 200) page units, one pixel per page unit, from the extents of the last draw. The platform's
// image writer encodes it.
#pragma once

#include <filesystem>
#include <string>

#include "common/canvas.h"
#include "common/plot_image.h"
#include "display/views.h"
#include "processing/commands.h"
#include "processing/document.h"

// Room kept right of and below the extents of the last draw, pixels.
inline constexpr int kImageMarginRight = 250;
inline constexpr int kImageMarginBottom = 200;

// The picture's size in pixels (page units); {0, 0} when nothing has been drawn yet.
CClientSize DisplayImageSize(const CBrivaneContext& ctx);
// Draws the display as it goes into a picture (with the exporting flag).
void DrawDisplayImage(CCanvas& canvas, CBrivaneContext& ctx);

// "Save display image to a file": the display shown, as a PNG file. Returns an empty string,
// or what went wrong.
std::string SaveDisplayImage(CBrivaneContext& ctx, CPlotImageWriter& writer,
                             const std::filesystem::path& path, CColor background = kColorWhite);

// Without a window: the display of a view mode (or of a batch display name) is first drawn as
// the window would draw it, fitted to `client`, and then saved as the image command does. The
// view's display mode is restored afterwards. Returns an empty string, or what went wrong:
// an unknown display name, a display without data, a file that cannot be written.
std::string SaveDisplayPNG(CBrivaneContext& ctx, CPlotImageWriter& writer, int iViewMode,
                           const std::filesystem::path& path,
                           CClientSize client = kDefaultClientSize);
std::string SaveDisplayPNG(CBrivaneContext& ctx, CPlotImageWriter& writer,
                           const std::string& display, const std::filesystem::path& path,
                           CClientSize client = kDefaultClientSize);

// Binds "Save display image to a file (&I)": a save-file dialog for a PNG file, then the image
// through `writer` (which must outlive the table).
void RegisterImageCommands(CCommandTable& table, CPlotImageWriter& writer);
