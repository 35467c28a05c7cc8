// The plan-view map: the survey seen from above in the eastings and northings of its UTM zone
// with equal scales on both axes. Four kinds: the GPS tracks of all lines; the operator,
// transmitter and receiver positions; the apparent resistivity of one pseudo-depth at the
// midpoints of transmitter and receiver; the interpolated grid of one pseudo-depth as a mosaic
// or as filled contours. Flags and line numbers on top, the corners labelled with latitude
// and longitude.
//
// Positions are laid out in page units (0.1 mm) right from the page's left edge and down from
// its top (Y), and drawn at the negated y. Easting E lies at X = (E - x start) x scale + left
// margin, northing N at Y = (y end - N) x scale + top margin, both shifted by the frame origin.
#pragma once

#include <optional>
#include <utility>

#include "analysis/map_interpolation.h"
#include "common/axes.h"
#include "common/canvas.h"
#include "common/color_scale.h"
#include "common/drawing_parameter.h"
#include "common/survey.h"
#include "display/line_view.h"

// Fills the cells of the interpolated grid by triangles cut at the colour levels.
class CTriangleFiller {
public:
    // A corner: canvas position (y up) and value, Ohm-m.
    struct CVertex {
        double x = 0.0, y = 0.0;
        float value = 0.0f;
    };

    // Splits the quadrilateral (corners in order round it) into four triangles about its
    // centre (mean position, mean value) and fills each.
    void FillCell(CCanvas& canvas, const CVertex (&corners)[4]);
    // Fills the triangle: in one colour when its values fall into one level, else cut along
    // every level bound between its smallest and largest value into one polygon per level,
    // each in its level's colour. With bContourLines the bounds' crossings are drawn in black.
    void FillTriangle(CCanvas& canvas, const CVertex& a, const CVertex& b, const CVertex& c);

    const CColorScale* pScale = nullptr;  // set before each contour draw
    bool bContourLines = false;
    int nPolygon = 0;  // polygons filled
};

// What the view asks the map to show (from its state).
struct CMapShown {
    int iKind = 0;        // MapKind
    int iDepthIndex = 0;  // into the survey's pseudo-depths
    int bShowFlagsAndLines = 1;
    int iColorMode = 0;  // MapColorMode
    float fMaxDistance = 10.0f;
    int iSurveyConfiguration = 0;
};

class CMapDrawer {
public:
    explicit CMapDrawer(int language);
    CMapDrawer(const CMapDrawer&) = delete;
    CMapDrawer& operator=(const CMapDrawer&) = delete;

    void SetLanguage(int language);

    // Draws the map. The scales are fitted to the client area (page units) when one is given
    // and the map has not been fitted to this survey's box yet, and always with bRefit. With
    // bExport (the image of the KML overlay) the frame is drawn at the page origin, without
    // the legend and the depth text. Returns false, with nothing drawn, when the survey has
    // no GPS fixes or the axes give no plot; else true with the right and bottom extents.
    bool Draw(CCanvas& canvas, const CGantrelSurvey& survey, const CColorScale& scale,
              const CInterpolatedGrid& grid, const CMapShown& shown, int& iRight, int& iBottom,
              const CClientSize* client, bool bExport = false, bool bRefit = false);

    // Easting and northing under a canvas point (y up) with the scales of the last draw;
    // nullopt while the map has no usable scales.
    std::optional<std::pair<double, double>> PlanAt(int x, int y) const;
    // Whether the map has been fitted and drawn (its scales and corners are usable).
    bool HasScales() const { return bDrawn_ && axes.fXScale > 0.0f && axes.fYScale > 0.0f; }

    // Sizes of the dots, page units.
    int iGPSRadius = 5;
    int iPositionRadius = 10;
    int iFlagRadius = 20;
    // Origin of the frame's layout while drawing (minus the margins for the KML image, so
    // that the frame lies at the page origin), else 0.
    int iFrameX = 0, iFrameY = 0;
    CGantrelDrawingParameter parameter;
    CAxes axes;
    CTriangleFiller filler;
    // Stored by every draw: the frame's size (page units) and the latitude and longitude of
    // its lower-left and upper-right corners.
    int iFrameWidth = 0, iFrameHeight = 0;
    double dLowerLatitude = 0.0, dLowerLongitude = 0.0;
    double dUpperLatitude = 0.0, dUpperLongitude = 0.0;

private:
    void Fit(const CGantrelSurvey& survey, const CClientSize& client);
    double X(double easting) const;
    double Y(double northing) const;
    bool InRange(double easting, double northing) const;
    void DrawGPS(CCanvas& canvas, const CGantrelSurvey& survey) const;
    void DrawArray(CCanvas& canvas, const CGantrelSurvey& survey) const;
    void DrawResistivity(CCanvas& canvas, const CGantrelSurvey& survey, const CColorScale& scale,
                         float depth) const;
    void DrawGrid(CCanvas& canvas, const CInterpolatedGrid& grid, int slice,
                  const CColorScale& scale, const CMapShown& shown);
    void DrawFlags(CCanvas& canvas, const CFlagLocation* flags, int n) const;
    void DrawLineLabel(CCanvas& canvas, int iLine, double e1, double n1, double e2,
                       double n2) const;
    void DrawFlagsAndLines(CCanvas& canvas, const CGantrelSurvey& survey,
                           const CMapShown& shown) const;
    // The four corners' latitudes and longitudes round the frame (left and right edges, the
    // top of the x tick labels and the bottom, page units down); returns the right and
    // bottom extents of what they took.
    struct CDisplayEdges {
        int iRight = 0, iBottom = 0;
    };
    CDisplayEdges DrawCorners(CCanvas& canvas, int left, int labelTop, int right, int bottom);

    bool bDrawn_ = false;
    bool bFitted_ = false;
    double fittedBox_[4] = {0.0, 0.0, 0.0, 0.0};
    CReceiverColors colors_;
};

// The pseudo-depth index shown, kept within the survey's list; the depth itself (0 without a
// list).
int ShownDepthIndex(const CGantrelSurvey& survey, int iDepthIndex);
float ShownDepth(const CGantrelSurvey& survey, int iDepthIndex);
