// The processing view's displays: the drawing objects the document owns for them, the display
// dispatch that draws the display the view shows, the drawing extents the image and clipboard
// output are sized from, the caption under every plot, the mouse actions on the plots, and
// the view commands that act on them.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/canvas.h"
#include "display/line_view.h"
#include "display/map_view.h"
#include "display/model_view.h"
#include "display/section_view.h"
#include "processing/commands.h"
#include "processing/display_commands.h"
#include "processing/document.h"

// A canvas that draws nothing: a draw whose only purpose is to lay a plot out (fit its scales,
// store its extents) where there is no window. Texts are measured by the estimate, or as the
// picture the layout is made for will draw them.
class CNullCanvas : public CCanvas {
public:
    using TextMeasure = std::function<CTextExtent(const CFont&, std::string_view)>;
    CNullCanvas() = default;
    explicit CNullCanvas(TextMeasure measure) : measure_(std::move(measure)) {}

protected:
    void PaintLine(CPoint, CPoint) override {}
    void PaintPolyline(const std::vector<CPoint>&) override {}
    void PaintPolygon(const std::vector<CPoint>&) override {}
    void PaintRectangle(CPoint, CPoint) override {}
    void PaintEllipse(CPoint, CPoint) override {}
    void PaintText(CPoint, std::string_view) override {}
    CTextExtent Measure(std::string_view text) const override {
        return measure_ ? measure_(Font(), text) : CCanvas::Measure(text);
    }

private:
    TextMeasure measure_;
};

// Right and bottom extents, page units, of what the last draw drew.
struct CDisplayExtents {
    int iRight = 0;
    int iBottom = 0;
};

// The window's client area of the processing program's default window placement (810 x 580
// pixels at 96 pixels per inch, less the frame), in page units: what a plot is fitted to
// when there is no window.
inline constexpr CClientSize kDefaultClientSize{2000, 1300};

// The drawing objects of the displays, owned by the document.
class CBrivaneDisplay : public CDocumentDisplays {
public:
    // Created for a view: reads the one-dimensional graph's description from the settings
    // and attaches the colour scale and the plots' axes to the view (for "Contour" and "Axis
    // configuration").
    explicit CBrivaneDisplay(const CBrivaneViewState& view);
    ~CBrivaneDisplay() override;

    // Follows the program's language (titles, legend labels, fonts).
    void SetLanguage(int language);
    // Attaches the colour scale and axes to another view state (the view was re-created).
    void AttachTo(const CBrivaneViewState& view);
    const CBrivaneViewState* AttachedView() const { return view_; }
    // The view's colour scale, contour mode and axes as the "Contour" and "Axis
    // configuration" commands see them.
    CViewDisplayState& ViewState() { return *state_; }
    // Writes the one-dimensional graph's description to the settings (when the view is
    // destroyed; "hscale" and "vscale" are the view state's).
    void SaveSettings();

    CGantrelLineView lineView;
    CGantrelResistanceView resistanceView;
    CSectionDrawer sectionDrawer;
    CModelDisplay modelDisplay;
    CMapDrawer mapDrawer;
    // Scales fitted on the first draw of each plot after the view was created.
    int bLineFitted = 0;
    int bResistanceFitted = 0;
    int bSectionFitted = 0;
    // The misfit strip's choice at the last section draw: a change fits the scales again, so
    // that the section moved down under the strip still fits the window.
    int bMisfitStripSeen = -1;
    // The one-dimensional graph's horizontal scale was checked on its first use.
    int bModelScaleSettled = 0;
    CDisplayExtents extents;

private:
    int iLanguage_ = -1;
    const CBrivaneViewState* view_ = nullptr;
    std::unique_ptr<CViewDisplayState> state_;
};

// The document's display objects, created for the context's view on first use. The shell
// calls it once when the view is created, so that the contour and axis commands find them.
CBrivaneDisplay& DisplayOf(CBrivaneContext& ctx);
// The display objects if they exist.
CBrivaneDisplay* FindDisplay(const CBrivaneDoc& doc);

// Set while drawing for the clipboard, an image file or a KML image: no interaction prompt,
// no refitting, no client area given to the plots.
bool IsExporting();
class CExportingScope {
public:
    CExportingScope();
    ~CExportingScope();
    CExportingScope(const CExportingScope&) = delete;
    CExportingScope& operator=(const CExportingScope&) = delete;

private:
    bool bWas_;
};

// Draws the display of ctx.view.iViewMode. client: the window's client area in page units
// (ignored while exporting; a plot uses it only to fit its scales on its first draw). When
// something was drawn its extents are stored in the display objects, the document's caption is
// written under it, and true is returned; false when the display has nothing to draw (the
// stored extents then stay as they were).
bool DrawDisplay(CCanvas& canvas, CBrivaneContext& ctx,
                 std::optional<CClientSize> client = std::nullopt);

// Draws the displays of the other Parts (the GPS map, the serial transfer) for a view mode:
// returns true with the extents when it drew something.
using DisplayDrawer =
    std::function<bool(CCanvas&, CBrivaneContext&, const CClientSize*, CDisplayExtents&)>;
void SetDisplayDrawer(int iViewMode, DisplayDrawer drawer);

// Where the caption under a plot goes: x at the left margin, 2.5 mm below the bottom extent.
inline constexpr int kCaptionX = 200;
inline constexpr int kCaptionGap = 25;
// Further room under the plots with a colour legend, for the legend's unit line.
inline constexpr int kLegendUnitRoom = 80;

// Display names of the batch command line: "line" (apparent resistivity line), "line-vi"
// (measured resistance line), "section", "gridded", "model" and "model1d". nullopt for any
// other name (the maps have names of their own, below).
std::optional<int> ViewModeFromDisplayName(std::string_view name);

// The map of a batch display name: "map-gps", "map-array", "map-rho[:DEPTH_INDEX]" and
// "map-interp[:DEPTH_INDEX]" (the depth index into the survey's pseudo-depths, from 0).
struct CMapDisplayName {
    int iKind = kMapGPS;
    std::optional<int> iDepthIndex;
};
std::optional<CMapDisplayName> MapFromDisplayName(std::string_view name);

// What the view state asks the map to show.
CMapShown MapShownOf(const CBrivaneContext& ctx);
// Easting and northing under a page point (y up) of the map as last drawn; nullopt before the
// map has been drawn.
std::optional<std::pair<double, double>> MapPlanPosition(CBrivaneContext& ctx, int x, int y);
// The image of the KML overlay: the map as last drawn (its scales, kind and depth), the frame
// at the page origin, without legend and depth text. False when there is no map to draw.
bool DrawMapOverlayImage(CCanvas& canvas, CBrivaneContext& ctx);

// Mouse on the plots, at page points as the canvas has them (y up). A left click in the pick
// interaction (iMouseMode 1) marks the dot under it for deletion in the line displays (or
// unmarks it when it was marked), or toggles the marks of the observations under it in the
// one-dimensional display; a rectangle
// dragged in the rectangle interaction (iMouseMode 4) marks the dots inside it in the line
// displays. Each returns the number of values marked or toggled and asks for a redraw when it
// is not 0.
int ViewLeftClick(CBrivaneContext& ctx, int x, int y);
int ViewSelectRectangle(CBrivaneContext& ctx, int x1, int y1, int x2, int y2);
// Tolerance of a click on a dot, page units (1 mm).
inline constexpr int kPickTolerance = 10;

// What the status bar reads under the mouse at page point (x, y), in the current language:
// in the line displays the distance along the line and the value of the vertical axis there
// (apparent resistivity or measured resistance), in the section displays the distance and
// the depth, in the one-dimensional display the resistivity and the depth; all from the plot
// as it was last drawn. Empty outside the plot's frame; nullopt for the other displays and
// before the display was drawn.
std::optional<std::string> PlotReadout(CBrivaneContext& ctx, int x, int y);

// Commands without a menu item or a toolbar place of their own: the number of columns the
// one-dimensional display shows at once.
enum ViewCommandId : int {
    kCmdModelColumns1 = 33101,
    kCmdModelColumns5 = 33102,
    kCmdModelColumns10 = 33103,
};

// Binds the view commands of the line, section and model displays (display selection,
// receivers, models, columns, calculated data, layer boundary, zoom, mouse interactions).
// Commands that also act on displays of other Parts keep their earlier handler there.
void RegisterViewCommands(CCommandTable& table);
// The processing program's command table with the view commands.
CCommandTable BuildBrivaneCommandsWithViews();
