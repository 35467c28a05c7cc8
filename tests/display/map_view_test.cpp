// The plan-view map drawn on a recording canvas: the equal-scale fit, the four kinds, flags
// and labels, the corners in latitude and longitude, the interpolated grid's cells and the
// triangle filler's cuts.
#include "display/map_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "common/recording_canvas.h"
#include "common/text_format.h"
#include "common/utm.h"
#include "tests/display/display_fixture.h"

namespace {

using namespace display_test;

constexpr CClientSize kClient{2000, 1300};
constexpr double kE0 = 387000.0, kN0 = 3899000.0;

class MapTest : public ::testing::Test {
protected:
    bool Draw(const CMapShown& shown, const CClientSize* client = &kClient, bool bExport = false) {
        canvas.Clear();
        return map.Draw(canvas, survey, scale, grid, shown, right, bottom, client, bExport);
    }
    // Discs drawn with this fill colour.
    std::vector<CCanvasRecord> Discs(CColor fill) const {
        std::vector<CCanvasRecord> out;
        for (const CCanvasRecord& r : canvas.OfKind(CanvasPrimitive::Ellipse))
            if (!r.brush.bNull && r.brush.color == fill) out.push_back(r);
        return out;
    }
    static CPoint Centre(const CCanvasRecord& disc) {
        return {(disc.points[0].x + disc.points[1].x) / 2,
                (disc.points[0].y + disc.points[1].y) / 2};
    }

    CGantrelSurvey survey;
    CColorScale scale;
    CInterpolatedGrid grid;
    CMapDrawer map{0};
    CRecordingCanvas canvas;
    int right = 0, bottom = 0;
};

TEST_F(MapTest, AnEastWestTrackFillsTheWidthWithTheNorthingRangeCentredAndEqualScales) {
    AddGPSLine(survey, kE0, kN0, 0.0, 600);  // 599 m towards east
    ASSERT_TRUE(Draw({}));
    const CAxes& a = map.axes;
    EXPECT_FLOAT_EQ(a.fXStart, static_cast<float>(survey.dMinEasting));
    EXPECT_FLOAT_EQ(a.fXEnd, static_cast<float>(survey.dMaxEasting));
    EXPECT_FLOAT_EQ(a.fXScale, a.fYScale);
    // Width 2000 - 240 (left margin, room for northings) - 200 - 200 = 1360 page units,
    // height 1300 - 400 = 900.
    const double width = 1360.0, height = 900.0;
    const double s = width / (survey.dMaxEasting - survey.dMinEasting);
    EXPECT_NEAR(a.fXScale, s, 1e-4);
    const double centre = (survey.dMinNorthing + survey.dMaxNorthing) / 2.0;
    EXPECT_NEAR((a.fYStart + a.fYEnd) / 2.0, centre, 0.5);
    EXPECT_NEAR(a.fYEnd - a.fYStart, height / s, 0.5);
    EXPECT_EQ(map.iFrameWidth, 1360);
    EXPECT_NEAR(map.iFrameHeight, 900, 1);
    // 50 m ticks would crowd six-figure eastings at 2.3 units per metre: 100 m then.
    EXPECT_FLOAT_EQ(a.fXInterval, 100.0f);
}

TEST_F(MapTest, ANorthSouthTrackFillsTheHeightAndShortTicksStayFiftyMetres) {
    AddGPSLine(survey, kE0, kN0, std::acos(-1.0) / 2.0, 200);
    ASSERT_TRUE(Draw({}));
    EXPECT_FLOAT_EQ(map.axes.fYStart, static_cast<float>(survey.dMinNorthing));
    EXPECT_FLOAT_EQ(map.axes.fYEnd, static_cast<float>(survey.dMaxNorthing));
    EXPECT_NEAR(map.axes.fYScale, 900.0 / (survey.dMaxNorthing - survey.dMinNorthing), 1e-4);
    EXPECT_FLOAT_EQ(map.axes.fXInterval, 50.0f);
}

TEST_F(MapTest, ASingleLineIsMagentaAndALineOutOfUseGrey) {
    AddGPSLine(survey, kE0, kN0, 0.3, 50);
    ASSERT_TRUE(Draw({}));
    const auto magenta = Discs({255, 0, 255});
    ASSERT_EQ(magenta.size(), 50u);
    EXPECT_EQ(magenta[0].pen.color, kColorBlack);
    EXPECT_EQ(magenta[0].points[1].x - magenta[0].points[0].x, 10) << "GPS dot radius 5";

    AddGPSLine(survey, kE0 + 20.0, kN0, 0.3, 50);
    AddGPSLine(survey, kE0 + 40.0, kN0, 0.3, 50);
    survey.Line(1).bUse = 0;
    ASSERT_TRUE(Draw({}));
    EXPECT_EQ(Discs({255, 0, 255}).size(), 50u);
    EXPECT_EQ(Discs({150, 150, 150}).size(), 50u);
    // The last of three lines takes entry 36, kept at 35.
    CReceiverColors colors;
    EXPECT_EQ(Discs(colors.Rainbow(35)).size(), 50u);
}

TEST_F(MapTest, PlanPositionsOfThePageReadBackTheFixesDrawnThere) {
    AddGPSLine(survey, kE0, kN0, 0.7, 120);
    ASSERT_TRUE(Draw({}));
    const auto discs = Discs({255, 0, 255});
    ASSERT_EQ(discs.size(), 120u);
    for (size_t k : {size_t{0}, size_t{57}, size_t{119}}) {
        const CPoint c = Centre(discs[k]);
        const auto plan = map.PlanAt(c.x, c.y);
        ASSERT_TRUE(plan);
        const CGPSData& fix = survey.Line(0).pGPS[k];
        // Within a page unit's worth of metres.
        EXPECT_NEAR(plan->first, fix.dEasting, 1.0 / map.axes.fXScale + 0.05);
        EXPECT_NEAR(plan->second, fix.dNorthing, 1.0 / map.axes.fYScale + 0.05);
    }
    CMapDrawer fresh(0);
    EXPECT_FALSE(fresh.PlanAt(500, -500)) << "no scales before the first draw";
}

TEST_F(MapTest, TransmitterReceiverAndOperatorPositionsHaveTheirColours) {
    AddGPSLine(survey, kE0, kN0, 0.0, 30);
    CMapShown shown;
    shown.iKind = 1;
    ASSERT_TRUE(Draw(shown));
    EXPECT_EQ(Discs({0, 255, 0}).size(), 30u);
    EXPECT_EQ(Discs({255, 0, 0}).size(), 30u);
    EXPECT_EQ(Discs({0, 0, 255}).size(), 150u);
    EXPECT_EQ(Discs({0, 0, 255})[0].points[1].x - Discs({0, 0, 255})[0].points[0].x, 20);
}

TEST_F(MapTest, ApparentResistivityOfOneDepthWithItsDepthTextAndLegend) {
    AddGPSLine(survey, kE0, kN0, 0.0, 40);
    ASSERT_EQ(survey.nDepth(), 5);
    CMapShown shown;
    shown.iKind = 2;
    shown.iDepthIndex = 2;
    ASSERT_TRUE(Draw(shown));
    EXPECT_EQ(canvas.OfKind(CanvasPrimitive::Ellipse).size(), 40u) << "one receiver per reading";
    const CCanvasRecord* depth =
        canvas.FindText(FormatC("Depth = %f m", static_cast<double>(survey.pDepth[2])));
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->points[0], (CPoint{20, -50}));
    EXPECT_NE(canvas.FindText("Resistivity"), nullptr) << "the legend";
    // The KML image has neither.
    ASSERT_TRUE(Draw(shown, nullptr, true));
    EXPECT_EQ(canvas.FindText("Resistivity"), nullptr);
    EXPECT_EQ(canvas.FindText(FormatC("Depth = %f m", static_cast<double>(survey.pDepth[2]))),
              nullptr);
}

TEST_F(MapTest, TheDepthIndexIsKeptWithinTheSurveysDepths) {
    AddGPSLine(survey, kE0, kN0, 0.0, 10);
    EXPECT_EQ(ShownDepthIndex(survey, 7), 4);
    EXPECT_EQ(ShownDepthIndex(survey, -2), 0);
    EXPECT_FLOAT_EQ(ShownDepth(survey, 9), survey.pDepth[4]);
    CGantrelSurvey empty;
    EXPECT_FLOAT_EQ(ShownDepth(empty, 3), 0.0f);
}

TEST_F(MapTest, CornersAreLabelledInTheSouthernHemisphere) {
    // 30 S, 141 E: zone 54, northings with the southern false northing.
    double e = 0.0, n = 0.0;
    ASSERT_EQ(ToUTM(-30.0, 141.0, e, n), 54);
    AddGPSLine(survey, e, n, 0.4, 100, 54, true);
    ASSERT_TRUE(Draw({}));
    EXPECT_NEAR(map.dLowerLatitude, -30.0, 0.01);
    EXPECT_NEAR(map.dUpperLatitude, -30.0, 0.01);
    EXPECT_LT(map.dLowerLatitude, map.dUpperLatitude);
    EXPECT_NEAR(map.dLowerLongitude, 141.0, 0.01);
    EXPECT_LT(map.dLowerLongitude, map.dUpperLongitude);
    const CCanvasRecord* bottomLeft =
        canvas.FindText(FormatC("%.5f %.5f", map.dLowerLatitude, map.dLowerLongitude));
    ASSERT_NE(bottomLeft, nullptr);
    EXPECT_EQ(bottomLeft->textColor, (CColor{0, 0, 255}));
    // 6 mm left of the frame, below it and below the lowest northing, which hangs half its
    // height under the frame.
    EXPECT_EQ(bottomLeft->box.left, 240 - 60);
    EXPECT_LT(bottomLeft->box.top, -(200 + map.iFrameHeight));
    for (const CCanvasRecord& t : canvas.OfKind(CanvasPrimitive::Text)) {
        if (t.sText != bottomLeft->sText) {
            EXPECT_FALSE(t.box.Overlaps(bottomLeft->box)) << t.sText;
        }
    }

    // Seven-digit northings: the turned title stays left of every label.
    const CCanvasRecord* title = canvas.FindText("S - N (m)");
    ASSERT_NE(title, nullptr);
    const int titleRight = title->points[0].x + title->font.iHeight;
    int nLabel = 0;
    for (const CCanvasRecord& r : canvas.OfKind(CanvasPrimitive::Text)) {
        if (r.points[0].x >= 240 || r.sText.empty() ||
            r.sText.find_first_not_of("0123456789") != std::string::npos)
            continue;
        ++nLabel;
        EXPECT_LT(titleRight, r.points[0].x) << r.sText;
    }
    EXPECT_GT(nLabel, 0);
}

TEST_F(MapTest, ASurveyAcrossTheEquatorIsLabelledOnBothSides) {
    // Fixes from 0.001 S to 0.004 N: the southern ones have small negative northings.
    double e = 0.0, n = 0.0;
    ToUTM(-0.001, 141.0, e, n);
    ASSERT_LT(n, 0.0);
    AddGPSLine(survey, e, n, std::acos(-1.0) / 2.0, 600);
    survey.Line(0).pGPS.front().dLatitude = -0.001;
    ASSERT_TRUE(Draw({}));
    EXPECT_NEAR(map.dLowerLatitude, -0.001, 2e-4);
    EXPECT_NEAR(map.dUpperLatitude, 0.0044, 2e-4);
}

TEST_F(MapTest, TheKmlImageHasItsFrameAtThePageOrigin) {
    AddGPSLine(survey, kE0, kN0, 0.5, 80);
    ASSERT_TRUE(Draw({}));
    const int w = map.iFrameWidth, h = map.iFrameHeight;
    ASSERT_TRUE(Draw({}, nullptr, true));
    const auto frames = canvas.OfKind(CanvasPrimitive::Rectangle);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().points, (std::vector<CPoint>{{0, 0}, {w, -h}}));
    EXPECT_EQ(map.iFrameWidth, w);
    EXPECT_EQ(map.iFrameHeight, h);
}

TEST_F(MapTest, FlagsWithArrowsAndLineLabels) {
    AddGPSLine(survey, kE0, kN0, 0.0, 100);
    survey.iSurveyConfiguration = 2;
    AddFlagAt(survey, kE0, kN0);
    AddFlagAt(survey, kE0 + 50.0, kN0);
    AddFlagAt(survey, kE0 + 99.0, kN0 + 10.0);
    CMapShown shown;
    shown.iSurveyConfiguration = 2;
    shown.bShowFlagsAndLines = 0;
    ASSERT_TRUE(Draw(shown));
    EXPECT_EQ(Discs({255, 255, 0}).size(), 3u) << "configuration 2 always shows its flags";
    EXPECT_EQ(canvas.LinesWithPen({150, 150, 0}, 8).size(), 2u * 3u) << "two arrows";
    EXPECT_EQ(canvas.FindText("0"), nullptr);

    // Configuration 4: each line's fitted ends, labelled with the line's index.
    survey.nFlag = 0;
    AddGPSLine(survey, kE0, kN0 + 30.0, 0.0, 100);
    for (int l = 0; l < survey.nLine; ++l) ASSERT_TRUE(FitLine(survey.Line(l)));
    shown.iSurveyConfiguration = 4;
    shown.iKind = 1;
    shown.bShowFlagsAndLines = 1;
    ASSERT_TRUE(Draw(shown));
    EXPECT_EQ(Discs({255, 255, 0}).size(), 4u);
    const CCanvasRecord* label = canvas.FindText("1");
    ASSERT_NE(label, nullptr);
    // Centred 50 page units along the line (towards east) from its first flag.
    const CFlagLocation& first = survey.Line(1).pFittedEnds[0];
    const auto plan = map.PlanAt((label->box.left + label->box.right) / 2 - 50,
                                 (label->box.top + label->box.bottom) / 2);
    ASSERT_TRUE(plan);
    EXPECT_NEAR(plan->first, first.dX, 1.0);
    EXPECT_NEAR(plan->second, first.dY, 1.0);
    shown.bShowFlagsAndLines = 0;
    ASSERT_TRUE(Draw(shown));
    EXPECT_TRUE(Discs({255, 255, 0}).empty());
}

TEST_F(MapTest, NothingIsDrawnWithoutGPS) {
    AddSyntheticLine(survey, 20, 0.0, 1.0);
    EXPECT_FALSE(Draw({}));
    EXPECT_TRUE(canvas.Records().empty());
}

// A 3 x 3 grid of nodes 10 m apart with values rising eastwards; one corner far from data.
class GridMapTest : public MapTest {
protected:
    void SetUp() override {
        AddGPSLine(survey, kE0, kN0, 0.0, 21);
        AddGPSLine(survey, kE0, kN0 + 20.0, 0.0, 21);
        grid.nSlice = 1;
        grid.nx = grid.ny = 3;
        grid.dx = grid.dy = 10.0f;
        grid.x0 = kE0;
        grid.y0 = kN0;
        grid.pDepth = {survey.pDepth[0]};
        ASSERT_TRUE(grid.value.Allocate(0, 2, 2));
        ASSERT_TRUE(grid.distance.Allocate(0, 2, 2));
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) grid.value(0, i, j) = 15.0f + 10.0f * i;
        grid.distance(0, 2, 2) = 25.0f;  // the north-east corner
        shown.iKind = 3;
    }
    // Cells drawn: rectangles (mosaic) or polygons (contours) outlined in their own colour,
    // unlike the legend's boxes.
    size_t Filled(CanvasPrimitive kind) const {
        size_t n = 0;
        for (const CCanvasRecord& r : canvas.OfKind(kind))
            n += !r.brush.bNull && r.pen.color == r.brush.color ? 1 : 0;
        return n;
    }
    CMapShown shown;
};

TEST_F(GridMapTest, ACellWithOneCornerFarFromDataIsLeftEmptyInEveryMode) {
    shown.fMaxDistance = 10.0f;
    shown.iColorMode = 0;
    ASSERT_TRUE(Draw(shown));
    EXPECT_EQ(Filled(CanvasPrimitive::Rectangle), 3u) << "three of four cells";
    for (int mode : {1, 2}) {
        shown.iColorMode = mode;
        map.filler.nPolygon = 0;
        ASSERT_TRUE(Draw(shown));
        EXPECT_GT(map.filler.nPolygon, 0);
        // Every piece lies in one of the three cells south or west of the far corner.
        for (const CCanvasRecord& r : canvas.OfKind(CanvasPrimitive::Polygon)) {
            for (const CPoint& p : r.points) {
                const auto plan = map.PlanAt(p.x, p.y);
                ASSERT_TRUE(plan);
                EXPECT_FALSE(plan->first > kE0 + 10.5 && plan->second > kN0 + 10.5)
                    << "mode " << mode << " drew into the north-east cell";
            }
        }
    }
    shown.fMaxDistance = 30.0f;
    shown.iColorMode = 0;
    ASSERT_TRUE(Draw(shown));
    EXPECT_EQ(Filled(CanvasPrimitive::Rectangle), 4u);
}

TEST_F(GridMapTest, MosaicCellsShareTheirEdgesAndTakeTheMeanOfTheirCorners) {
    shown.fMaxDistance = 30.0f;
    ASSERT_TRUE(Draw(shown));
    std::vector<CCanvasRecord> cells;
    for (const CCanvasRecord& r : canvas.OfKind(CanvasPrimitive::Rectangle))
        if (!r.brush.bNull && r.pen.color == r.brush.color) cells.push_back(r);
    ASSERT_EQ(cells.size(), 4u);
    // Cell (0, 0) then (0, 1), (1, 0), (1, 1): the second column starts where the first ends.
    EXPECT_EQ(cells[0].points[1].x, cells[2].points[0].x);
    EXPECT_EQ(cells[0].points[0].y, cells[1].points[1].y);
    EXPECT_EQ(cells[0].brush.color, scale.ColorOf(20.0f));
    EXPECT_EQ(cells[2].brush.color, scale.ColorOf(30.0f));
    EXPECT_EQ(cells[0].pen, (CPen{cells[0].brush.color, 1, PenStyle::Solid}));
}

// ---------------------------------------------------------------------------------------------
// Triangle filler

class TriangleFillerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Levels: below 10, 10 to 20, 20 to 30, ... (the default table's first bounds).
        filler.pScale = &scale;
    }
    std::vector<CCanvasRecord> Polygons() const { return canvas.OfKind(CanvasPrimitive::Polygon); }

    CColorScale scale;
    CTriangleFiller filler;
    CRecordingCanvas canvas;
};

TEST_F(TriangleFillerTest, ATriangleInOneLevelIsOnePolygon) {
    filler.FillTriangle(canvas, {0, 0, 11.0f}, {100, 0, 12.0f}, {0, 100, 19.0f});
    const auto p = Polygons();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].points, (std::vector<CPoint>{{0, 0}, {100, 0}, {0, 100}}));
    EXPECT_EQ(p[0].brush.color, scale.LevelColor(1));
    EXPECT_EQ(filler.nPolygon, 1);
}

TEST_F(TriangleFillerTest, ATriangleSpanningThreeLevelsIsCutAtBothBounds) {
    // Values 5, 25 and 15 at (0, 0), (100, 0), (0, 100): bound 10 crosses at x = 25 on the
    // bottom edge and y = 50 on the left; bound 20 at x = 75 and at (50, 50) on the long edge.
    filler.bContourLines = true;
    filler.FillTriangle(canvas, {0, 0, 5.0f}, {100, 0, 25.0f}, {0, 100, 15.0f});
    const auto p = Polygons();
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(filler.nPolygon, 3);
    auto has = [](const CCanvasRecord& r, CPoint q) {
        return std::find(r.points.begin(), r.points.end(), q) != r.points.end();
    };
    // Level 0: the corner below 10.
    EXPECT_EQ(p[0].brush.color, scale.LevelColor(0));
    EXPECT_EQ(p[0].points.size(), 3u);
    EXPECT_TRUE(has(p[0], {0, 0}) && has(p[0], {25, 0}) && has(p[0], {0, 50}));
    // Level 1: the band between, holding the vertex of 15.
    EXPECT_EQ(p[1].brush.color, scale.LevelColor(1));
    EXPECT_TRUE(has(p[1], {25, 0}) && has(p[1], {75, 0}) && has(p[1], {50, 50}) &&
                has(p[1], {0, 100}) && has(p[1], {0, 50}));
    // Level 2: the corner of 25.
    EXPECT_EQ(p[2].brush.color, scale.LevelColor(2));
    EXPECT_TRUE(has(p[2], {75, 0}) && has(p[2], {100, 0}) && has(p[2], {50, 50}));
    // The contour lines of both bounds, in black.
    const auto lines = canvas.LinesWithPen(kColorBlack, 0);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE((lines[0].points == std::vector<CPoint>{{25, 0}, {0, 50}}) ||
                (lines[0].points == std::vector<CPoint>{{0, 50}, {25, 0}}));
    EXPECT_TRUE((lines[1].points == std::vector<CPoint>{{75, 0}, {50, 50}}) ||
                (lines[1].points == std::vector<CPoint>{{50, 50}, {75, 0}}));
}

TEST_F(TriangleFillerTest, ACellIsFourTrianglesAboutItsCentre) {
    const CTriangleFiller::CVertex cell[4] = {
        {0, 0, 11.0f}, {100, 0, 12.0f}, {100, 100, 13.0f}, {0, 100, 14.0f}};
    filler.FillCell(canvas, cell);
    const auto p = Polygons();
    ASSERT_EQ(p.size(), 4u);
    for (const CCanvasRecord& r : p) {
        EXPECT_NE(std::find(r.points.begin(), r.points.end(), CPoint{50, 50}), r.points.end());
        // Without contour lines the pieces have no black edges, only their own colour.
        EXPECT_EQ(r.pen.color, r.brush.color);
    }
    EXPECT_TRUE(canvas.LinesWithPen(kColorBlack, 0).empty());
}

TEST_F(TriangleFillerTest, ABoundThroughAVertexLeavesNoSliver) {
    filler.FillTriangle(canvas, {0, 0, 10.0f}, {100, 0, 30.0f}, {0, 100, 20.0f});
    for (const CCanvasRecord& r : Polygons()) EXPECT_GE(r.points.size(), 3u);
    EXPECT_EQ(Polygons().size(), 2u) << "levels 1 and 2; level 3 starts at the top vertex";
}

}  // namespace
