// Which display goes into a picture, and how large the picture is: the processing view's
// display drawn with the exporting flag on a page of (right extent + 250) x (bottom extent +
// 200) page units, one pixel per page unit, from the extents of the last draw. The platform's
// image writer encodes it.
#pragma once

#include <filesystem>
#include <optional>
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

// The map overlay of the KML export: the image beside the KML file, named after the document
// ("<name>.png", or "<name>-<k>.png" with the first k from 0 whose file does not exist yet),
// and its reference from the KML file. nullopt when every name up to k = 9999 is taken.
struct CMapOverlayImage {
    std::filesystem::path path;
    std::string sReference;
};
std::optional<CMapOverlayImage> MapOverlayImageName(const std::filesystem::path& kmlPath,
                                                    const std::string& name);

// "Save current map to a KML file" once the path is chosen: the map shown (laid out first at
// the default client size when it has never been drawn) as a PNG of its frame, then the KML
// document laying it over the globe. The document's name is the title of the data (the
// caption under the plots), else the KML file's stem. Returns an empty string, or what went
// wrong; the image is written first, so a KML write that fails can leave it alone.
std::string SaveMapOverlay(CBrivaneContext& ctx, CPlotImageWriter& writer,
                           const std::filesystem::path& kmlPath);

// Binds "Save display image to a file (&I)" (a save-file dialog for a PNG file, then the image)
// and "Save current map to a KML file" (a save-file dialog for the KML file, then the map
// overlay), both drawing through `writer` (which must outlive the table).
void RegisterImageCommands(CCommandTable& table, CPlotImageWriter& writer);
