// The processing view's display as a PNG image: one pixel per page unit (0.1 mm), the image
// sized from the extents of the last draw with room for the caption, filled with the window
// colour, the display drawn over it with the exporting flag set.
#pragma once

#include <QImage>
#include <filesystem>
#include <functional>
#include <string>

#include "common/canvas.h"
#include "display/views.h"
#include "processing/commands.h"
#include "processing/document.h"

// Room kept right of and below the extents of the last draw, pixels.
inline constexpr int kImageMarginRight = 250;
inline constexpr int kImageMarginBottom = 200;

// An image of width x height pixels, one per page unit (0.1 mm), the page's top-left corner at
// pixel (0, 0), filled with the background and drawn on through the QPainter canvas; the small
// discs of dense plots are copied from images drawn once per pen, brush and size (the same
// pixels, several times faster). Null when the size is not positive or too large.
QImage RenderPlotImage(int width, int height, const std::function<void(CCanvas&)>& draw,
                       CColor background = kColorWhite);

// The display shown, as "Save display image to a file" draws it: (right extent + 250) x
// (bottom extent + 200) pixels from the extents of the last draw. A null image when it cannot
// be made (no extents yet, or too large).
QImage RenderDisplayImage(CBrivaneContext& ctx, CColor background = kColorWhite);
// Saves RenderDisplayImage as PNG. Returns an empty string, or what went wrong.
std::string SaveDisplayImage(CBrivaneContext& ctx, const std::filesystem::path& path,
                             CColor background = kColorWhite);

// Without a window: the display of a view mode (or of a batch display name) is first drawn as
// the window would draw it, fitted to `client`, and then saved as the image command does. The
// view's display mode is restored afterwards. Returns an empty string, or what went wrong:
// an unknown display name, a display without data, a file that cannot be written.
std::string SaveDisplayPNG(CBrivaneContext& ctx, int iViewMode, const std::filesystem::path& path,
                           CClientSize client = kDefaultClientSize);
std::string SaveDisplayPNG(CBrivaneContext& ctx, const std::string& display,
                           const std::filesystem::path& path,
                           CClientSize client = kDefaultClientSize);

// Binds "Save display image to a file (&I)": a save-file dialog for a PNG file, then the image.
void RegisterImageCommands(CCommandTable& table);
