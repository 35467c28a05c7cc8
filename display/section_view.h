// The three section displays: every apparent resistivity value of every line at its plotting
// position and pseudo-depth (original data), the gridded pseudo-section as bands, and the
// layered model as coloured blocks, each in a distance-depth frame with the colour legend.
//
// Depths are drawn as negative elevations: the axes run from y start (the section bottom,
// -14 m) at the frame bottom to y end (0 m) at the top, labelled as positive depths. A depth z
// lies at page Y = (y end + z) x y scale + top margin (Y measured down from the page top).
#pragma once

#include <string>
#include <vector>

#include "common/axes.h"
#include "common/canvas.h"
#include "common/color_scale.h"
#include "common/drawing_parameter.h"
#include "common/survey.h"
#include "display/line_view.h"
#include "sectionfiles/section_store.h"

// Horizontal extent of column i of a section whose columns stand at x[0..n-1]: halfway to
// each neighbour, the outer columns as wide on their open side as on the other; a single
// column is fCellSize wide (1 m when that is not above 0). Returns false when the column lies
// outside [fXStart, fXEnd]; otherwise the edges limited to that range.
bool SectionColumnSpan(const std::vector<float>& x, int n, int i, float fXStart, float fXEnd,
                       float fCellSize, float& fLeft, float& fRight);

// Depth of a gridded row, m: (N-factor + 1) x dipole size / 4, or for a four-electrode array
// the distance between the midpoints of the current and the potential electrodes / 4.
float GriddedRowDepth(const CTrevascDataOhm& store, int c, int k);

class CSectionDrawer {
public:
    explicit CSectionDrawer(int language);
    CSectionDrawer(const CSectionDrawer&) = delete;
    CSectionDrawer& operator=(const CSectionDrawer&) = delete;

    void SetLanguage(int language);

    // Each draws the frame, its cells and the legend and returns true with the right extent
    // (the frame's or the legend's, whichever is further right) and the frame's bottom; false,
    // with nothing drawn, when its data do not exist or the axes give no plot. The client
    // area is given on the first section draw only: the depth range is then taken from the
    // drawing parameter (unless fixed) and the scales are fitted, keeping room for the legend.
    bool DrawOriginalData(CCanvas& canvas, const CGantrelSurvey& survey, const CColorScale& scale,
                          int& iRight, int& iBottom, const CClientSize* client);
    bool DrawGriddedData(CCanvas& canvas, const CTrevascDataOhm& store, const CColorScale& scale,
                         int& iRight, int& iBottom, const CClientSize* client);
    // columnMisfit, when given (index = column; -1 where a column has none), is drawn as a
    // curve over the columns in a strip above the frame's titles: the frame then lies
    // kMisfitStripHeight lower. iMarkedColumn, when it is a column of the model, is outlined.
    bool DrawModel(CCanvas& canvas, const CTrevascDataOhm& store, const CColorScale& scale,
                   int& iRight, int& iBottom, const CClientSize* client,
                   const std::vector<float>* columnMisfit = nullptr, int iMarkedColumn = -1);

    // Page Y (down from the page top) of a depth in metres.
    double DepthY(double depth) const;
    // Page X of a distance along the line, m.
    double DistanceX(double distance) const;

    CGantrelDrawingParameter parameter;
    CAxes axes;

    // Height of the misfit strip, page units, and the largest misfit its scale shows in the
    // last draw with one (0 before).
    static constexpr int kMisfitStripHeight = 320;
    float fMisfitScaleTop = 0.0f;

private:
    // Moves the frame down for a misfit strip (or back up without one).
    void SetMisfitStrip(bool bShown);
    void DrawMisfitStrip(CCanvas& canvas, const CTrevascDataOhm& store,
                         const std::vector<float>& misfit, int frameRight);
    int iStripShown_ = 0;  // what SetMisfitStrip added to the top margin

    // Ranges, fitting, ticks and the frame; false when the plot cannot be drawn.
    bool Frame(CCanvas& canvas, float fDataStart, float fDataEnd, const CClientSize* client,
               CFrameEdges& edges);
    int Legend(CCanvas& canvas, const CColorScale& scale, int frameRight);
    // The frame's top-left and bottom-right corners (canvas coordinates): the cells are
    // clipped to them.
    CPoint FrameCorner1() const;
    CPoint FrameCorner2(const CFrameEdges& edges) const;
};

// Top of the misfit strip's scale: the smallest 1, 2 or 5 times a power of ten not below the
// largest misfit; 0.1 when there is none above 0.
float MisfitScaleTop(const std::vector<float>& misfit);
// Title of the misfit strip.
std::string MisfitStripTitle(int language);

// Whether the model of the store can be drawn: layers, and columns with boundaries.
bool StoreHasModel(const CTrevascDataOhm& store);
