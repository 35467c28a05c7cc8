// The three section displays on the recording canvas. The x axis is fixed from 0 to 30 m and
// the client area gives 10 page units per metre and 50 per metre of depth (-14 to 0 m).
#include "display/section_view.h"

#include <gtest/gtest.h>

#include "common/recording_canvas.h"

namespace {

constexpr CClientSize kClient{800, 1100};

class SectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(store_.Initialise(10, 10, 10, 10));
        drawer_.axes.bXFixed = 1;
        drawer_.axes.fXStart = 0.0f;
        drawer_.axes.fXEnd = 30.0f;
        drawer_.axes.fXInterval = 5.0f;
    }
    // Columns at the positions with one dipole-dipole row (N 1, a 2 m: 1 m deep) each.
    void Columns(std::vector<float> x) {
        store_.nColumn = static_cast<int>(x.size());
        for (int c = 0; c < store_.nColumn; ++c) {
            store_.fColumnX[static_cast<size_t>(c)] = x[static_cast<size_t>(c)];
            store_.nRow[static_cast<size_t>(c)] = 1;
            store_.fNFactor[c][0] = 1.0f;
            store_.fDipoleSize[c][0] = 2.0f;
            store_.fObserved[c][0] = 100.0f;
        }
    }
    // The same layers under every column: tops 0, 5, 10, 15 m, resistivities given.
    void Layers(std::vector<float> rho) {
        store_.nLayer = store_.nBoundary = static_cast<int>(rho.size());
        store_.nModelColumn = store_.nBoundaryColumn = store_.nColumn;
        for (int c = 0; c < store_.nColumn; ++c)
            for (int j = 0; j < store_.nLayer; ++j) {
                store_.fBoundaryElevation[c][j] = -5.0f * static_cast<float>(j);
                store_.fLayerResistivity[c][j] = rho[static_cast<size_t>(j)];
            }
    }
    std::vector<CCanvasRecord> Bands() const {
        std::vector<CCanvasRecord> bands;
        for (const auto& r : canvas_.OfKind(CanvasPrimitive::Rectangle))
            if (r.pen == kNullPen) bands.push_back(r);
        return bands;
    }

    CTrevascDataOhm store_;
    CColorScale scale_;
    CSectionDrawer drawer_{0};
    CRecordingCanvas canvas_;
    int right_ = 0, bottom_ = 0;
};

TEST_F(SectionTest, GridOfTwoColumnsDrawsEachHalfwayToItsNeighbourAndAsWideBeyond) {
    Columns({10.0f, 20.0f});
    ASSERT_TRUE(drawer_.DrawGriddedData(canvas_, store_, scale_, right_, bottom_, &kClient));
    EXPECT_FLOAT_EQ(drawer_.axes.fXScale, 10.0f);
    EXPECT_FLOAT_EQ(drawer_.axes.fYScale, 50.0f);
    const auto bands = Bands();
    ASSERT_EQ(bands.size(), 2u);
    // 5 to 15 m and 15 to 25 m; 2 mm high around 1 m depth (page Y 250).
    EXPECT_EQ(bands[0].points, (std::vector<CPoint>{{250, -240}, {350, -260}}));
    EXPECT_EQ(bands[1].points, (std::vector<CPoint>{{350, -240}, {450, -260}}));
    EXPECT_EQ(bands[0].brush.color, scale_.ColorOf(100.0f));
}

TEST_F(SectionTest, ColumnEdgesAreLimitedToTheRangeAndColumnsOutsideSkipped) {
    Columns({-10.0f, 2.0f, 10.0f, 60.0f});
    ASSERT_TRUE(drawer_.DrawGriddedData(canvas_, store_, scale_, right_, bottom_, &kClient));
    const auto bands = Bands();
    ASSERT_EQ(bands.size(), 2u) << "the columns at -10 m and 60 m lie outside";
    EXPECT_EQ(bands[0].points[0].x, 200) << "2 m column from -4 m, cut at 0 m";
    EXPECT_EQ(bands[0].points[1].x, 260);
    EXPECT_EQ(bands[1].points[0].x, 260);
    EXPECT_EQ(bands[1].points[1].x, 500) << "10 m column to 35 m, cut at 30 m";
}

TEST(SectionColumnSpan, SingleColumnIsOneCellWide) {
    float left = 0.0f, right = 0.0f;
    ASSERT_TRUE(SectionColumnSpan({10.0f}, 1, 0, 0.0f, 30.0f, 4.0f, left, right));
    EXPECT_FLOAT_EQ(left, 8.0f);
    EXPECT_FLOAT_EQ(right, 12.0f);
    ASSERT_TRUE(SectionColumnSpan({10.0f}, 1, 0, 0.0f, 30.0f, 0.0f, left, right));
    EXPECT_FLOAT_EQ(right - left, 1.0f);
    EXPECT_FALSE(SectionColumnSpan({10.0f}, 1, 1, 0.0f, 30.0f, 4.0f, left, right));
}

TEST_F(SectionTest, FourElectrodeRowLiesAQuarterOfTheMidpointDistanceDeep) {
    Columns({10.0f, 20.0f});
    store_.bGeneralArray = 1;
    store_.pElectrode[0][0] =
        std::make_unique<FourElectrodeGeometry>(FourElectrodeGeometry{0.0f, 2.0f, 6.0f, 8.0f});
    EXPECT_FLOAT_EQ(GriddedRowDepth(store_, 0, 0), 1.5f);
    ASSERT_TRUE(drawer_.DrawGriddedData(canvas_, store_, scale_, right_, bottom_, &kClient));
    const auto bands = Bands();
    ASSERT_EQ(bands.size(), 1u) << "a row without its array is not drawn";
    EXPECT_EQ(bands[0].points[0].y, -(275 - 10));
}

TEST_F(SectionTest, ModelThickerThanTheSectionIsCutAt14Metres) {
    Columns({10.0f, 20.0f});
    Layers({10.0f, 50.0f, 200.0f, 1000.0f});
    ASSERT_TRUE(drawer_.DrawModel(canvas_, store_, scale_, right_, bottom_, &kClient));
    const auto blocks = canvas_.OfKind(CanvasPrimitive::Polygon);
    ASSERT_EQ(blocks.size(), 6u) << "three layers per column, the half-space not reached";
    EXPECT_EQ(blocks[2].points,
              (std::vector<CPoint>{{250, -700}, {350, -700}, {350, -900}, {250, -900}}));
    EXPECT_EQ(blocks[2].pen, (CPen{kColorBlack, 1, PenStyle::Solid}));
    EXPECT_EQ(bottom_, 900);
}

TEST_F(SectionTest, OnlyModelColumnsWiderThanAMillimetreAreOutlined) {
    // 10 page units per metre: columns 10 m apart are 100 units wide, 0.5 m apart 5 units.
    const struct {
        std::vector<float> x;
        CPen pen;
    } cases[] = {
        {{10.0f, 20.0f}, CPen{kColorBlack, 1, PenStyle::Solid}},
        {{10.0f, 10.5f, 11.0f, 11.5f}, kNullPen},
    };
    for (const auto& c : cases) {
        canvas_.Clear();
        Columns(c.x);
        Layers({10.0f, 50.0f});
        ASSERT_TRUE(drawer_.DrawModel(canvas_, store_, scale_, right_, bottom_, &kClient));
        const auto blocks = canvas_.OfKind(CanvasPrimitive::Polygon);
        ASSERT_FALSE(blocks.empty());
        for (const auto& b : blocks) EXPECT_EQ(b.pen, c.pen) << c.x.size() << " columns";
    }
}

TEST_F(SectionTest, ValueEqualToABoundTakesTheNextLevelsColour) {
    Columns({10.0f, 20.0f});
    Layers({10.0f, 9.99f});
    ASSERT_TRUE(drawer_.DrawModel(canvas_, store_, scale_, right_, bottom_, &kClient));
    const auto blocks = canvas_.OfKind(CanvasPrimitive::Polygon);
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0].brush.color, (CColor{160, 100, 255})) << "10 Ohm-m: level 1";
    EXPECT_EQ(blocks[1].brush.color, (CColor{180, 100, 255})) << "9.99 Ohm-m: level 0";
}

TEST_F(SectionTest, ModelUnderAFrameStartingBelowTheSurfaceIsCutAtItsTop) {
    Columns({10.0f, 20.0f});
    Layers({10.0f, 50.0f, 200.0f});
    drawer_.axes.bYFixed = 1;
    drawer_.axes.fYStart = -14.0f;
    drawer_.axes.fYEnd = -6.0f;
    drawer_.axes.fYInterval = 1.0f;
    ASSERT_TRUE(drawer_.DrawModel(canvas_, store_, scale_, right_, bottom_, &kClient));
    const auto blocks = canvas_.OfKind(CanvasPrimitive::Polygon);
    ASSERT_EQ(blocks.size(), 4u);
    // 8 m of depth over 700 units; the second layer shows from 6 m (the frame top) to 10 m.
    EXPECT_FLOAT_EQ(drawer_.axes.fYScale, 87.5f);
    EXPECT_EQ(blocks[0].points[0].y, -200);
    EXPECT_EQ(blocks[0].points[2].y, -550);
}

TEST_F(SectionTest, RowsBelowTheSectionAreClippedToTheFrameAndTheLegendIsNot) {
    Columns({10.0f, 20.0f});
    store_.nRow[0] = 2;
    store_.fNFactor[0][1] = 59.0f;  // (59 + 1) x 2 / 4 = 30 m deep, below the 14 m shown
    store_.fDipoleSize[0][1] = 2.0f;
    store_.fObserved[0][1] = 100.0f;
    ASSERT_TRUE(drawer_.DrawGriddedData(canvas_, store_, scale_, right_, bottom_, &kClient));
    const auto bands = Bands();
    ASSERT_EQ(bands.size(), 3u);
    for (const CCanvasRecord& band : bands) {
        ASSERT_TRUE(band.bClipped);
        EXPECT_EQ(band.clip[0], (CPoint{200, -200}));
        EXPECT_EQ(band.clip[1], (CPoint{500, -bottom_}));
    }
    EXPECT_LT(bands[1].points[0].y, -bottom_) << "the deep row lies below the frame";
    for (const CCanvasRecord& r : canvas_.OfKind(CanvasPrimitive::Rectangle)) {
        if (r.pen != kNullPen) {
            EXPECT_FALSE(r.bClipped) << "the frame and the legend boxes";
        }
    }
    for (const CCanvasRecord& r : canvas_.OfKind(CanvasPrimitive::Text)) EXPECT_FALSE(r.bClipped);

    canvas_.Clear();
    Layers({10.0f, 100.0f});
    ASSERT_TRUE(drawer_.DrawModel(canvas_, store_, scale_, right_, bottom_, &kClient));
    for (const CCanvasRecord& r : canvas_.OfKind(CanvasPrimitive::Polygon)) EXPECT_TRUE(r.bClipped);
}

TEST_F(SectionTest, LegendExtendsTheRightExtent) {
    Columns({10.0f, 20.0f});
    ASSERT_TRUE(drawer_.DrawGriddedData(canvas_, store_, scale_, right_, bottom_, &kClient));
    // 10 mm right of the boxes at least, and past the widest legend label.
    EXPECT_GE(right_, 200 + 300 + 110 + 100);
    for (const CCanvasRecord& t : canvas_.OfKind(CanvasPrimitive::Text))
        EXPECT_LE(t.box.right, right_) << t.sText;
    EXPECT_NE(canvas_.FindText("(Ohm-m)"), nullptr);
}

TEST_F(SectionTest, NoGridOrModelDrawsNothing) {
    EXPECT_FALSE(drawer_.DrawGriddedData(canvas_, store_, scale_, right_, bottom_, &kClient));
    Columns({10.0f, 20.0f});
    EXPECT_FALSE(drawer_.DrawModel(canvas_, store_, scale_, right_, bottom_, &kClient));
    EXPECT_TRUE(canvas_.Records().empty());
}

class OriginalDataTest : public SectionTest {
protected:
    void SetUp() override {
        SectionTest::SetUp();
        CGantrelLine& line = *survey_.AddLine();
        // Default geometry, two receivers: plotting offsets 11.25 m and 10.625 m.
        offset_ = ReceiverPositionOffset(*line.pGeometry, 2, 0);
        ASSERT_FLOAT_EQ(offset_, 11.25f);
        CGantrelData& d = *line.AddData();
        d.fDistance = 5.0f + offset_;
        d.nReceiver = 2;
        d.fResistivity[0] = 100.0f;
        d.fResistivity[1] = 300.0f;
        d.fDepth[0] = 2.0f;
        d.fDepth[1] = 3.0f;
        line.UpdateMaxReceiver();
        survey_.bMarkerDistance = 1;
        survey_.UpdateRanges();
    }
    CGantrelSurvey survey_;
    float offset_ = 0.0f;
};

TEST_F(OriginalDataTest, ValueIsDrawnAtItsPlottingPositionAndPseudoDepthWithoutOutline) {
    ASSERT_TRUE(drawer_.DrawOriginalData(canvas_, survey_, scale_, right_, bottom_, &kClient));
    const auto discs = canvas_.OfKind(CanvasPrimitive::Ellipse);
    ASSERT_EQ(discs.size(), 2u);
    // 5 m along, 2 m deep.
    EXPECT_EQ(discs[0].points, (std::vector<CPoint>{{240, -290}, {260, -310}}));
    EXPECT_EQ(discs[0].pen, kNullPen);
    EXPECT_EQ(discs[0].brush.color, scale_.ColorOf(100.0f));
    EXPECT_EQ(discs[1].brush.color, scale_.ColorOf(300.0f));
}

TEST_F(OriginalDataTest, PositionOutsideTheRangeIsNotDrawnThoughTheDistanceIsInside) {
    drawer_.axes.fXStart = 10.0f;
    drawer_.axes.fXEnd = 40.0f;
    ASSERT_TRUE(drawer_.DrawOriginalData(canvas_, survey_, scale_, right_, bottom_, &kClient));
    EXPECT_TRUE(canvas_.OfKind(CanvasPrimitive::Ellipse).empty());
    // Reversed, the array lies ahead of the distance: at 27.5 m.
    survey_.Line(0).bReverse = 1;
    canvas_.Clear();
    ASSERT_TRUE(drawer_.DrawOriginalData(canvas_, survey_, scale_, right_, bottom_, nullptr));
    const auto discs = canvas_.OfKind(CanvasPrimitive::Ellipse);
    ASSERT_EQ(discs.size(), 2u);
    EXPECT_EQ(discs[0].points[0].x, 375 - 10);
}

TEST_F(OriginalDataTest, LinesNotInUseAndReceiversNotInUseAreLeftOut) {
    survey_.Line(0).bReceiverUse[0] = 0;
    ASSERT_TRUE(drawer_.DrawOriginalData(canvas_, survey_, scale_, right_, bottom_, &kClient));
    EXPECT_EQ(canvas_.OfKind(CanvasPrimitive::Ellipse).size(), 1u);
    survey_.Line(0).bUse = 0;
    canvas_.Clear();
    ASSERT_TRUE(drawer_.DrawOriginalData(canvas_, survey_, scale_, right_, bottom_, nullptr));
    EXPECT_TRUE(canvas_.OfKind(CanvasPrimitive::Ellipse).empty());
}

}  // namespace

namespace {

std::vector<CCanvasRecord> MisfitCurves(const CRecordingCanvas& canvas) {
    std::vector<CCanvasRecord> curves;
    for (const auto& r : canvas.OfKind(CanvasPrimitive::Polyline))
        if (r.pen.color == CColor{200, 0, 0}) curves.push_back(r);
    return curves;
}

}  // namespace

// The misfit strip: drawn only when misfits are given, above the frame, which moves down by
// the strip's height; a column without a misfit breaks the curve.
TEST_F(SectionTest, MisfitCurveIsDrawnAboveTheModelOnlyWhenAsked) {
    Columns({5.0f, 10.0f, 15.0f, 20.0f, 25.0f});
    Layers({100.0f, 200.0f});
    const std::vector<float> misfit{0.02f, 0.04f, -1.0f, 0.01f, 0.03f};
    struct Case {
        const std::vector<float>* misfit;
        size_t curves;
        int topMargin;
    } cases[] = {{nullptr, 0, 200}, {&misfit, 2, 200 + CSectionDrawer::kMisfitStripHeight},
                 {nullptr, 0, 200}};
    for (const Case& c : cases) {
        canvas_.Clear();
        ASSERT_TRUE(
            drawer_.DrawModel(canvas_, store_, scale_, right_, bottom_, &kClient, c.misfit));
        const auto curves = MisfitCurves(canvas_);
        EXPECT_EQ(curves.size(), c.curves);
        EXPECT_EQ(drawer_.parameter.iTopMargin, c.topMargin) << "and back without the strip";
        EXPECT_EQ(canvas_.FindText(MisfitStripTitle(0)) != nullptr, c.misfit != nullptr);
        if (c.curves != 2) continue;
        ASSERT_EQ(curves[0].points.size(), 2u);
        ASSERT_EQ(curves[1].points.size(), 2u);
        EXPECT_FLOAT_EQ(drawer_.fMisfitScaleTop, 0.05f);
        // Above the frame top (y up: larger), the larger misfit higher, at its column's x.
        const int frameTop = -drawer_.parameter.iTopMargin;
        for (const auto& p : curves[0].points) EXPECT_GT(p.y, frameTop + 200);
        EXPECT_GT(curves[0].points[1].y, curves[0].points[0].y);
        EXPECT_EQ(curves[0].points[0].x, PageUnits(drawer_.DistanceX(5.0)));
        EXPECT_EQ(curves[1].points[0].x, PageUnits(drawer_.DistanceX(20.0)));
    }
}

TEST_F(SectionTest, MarkedColumnIsOutlinedOverItsLayers) {
    Columns({5.0f, 15.0f, 25.0f});
    Layers({100.0f});
    ASSERT_TRUE(drawer_.DrawModel(canvas_, store_, scale_, right_, bottom_, &kClient, nullptr, 1));
    int outlines = 0;
    for (const auto& r : canvas_.OfKind(CanvasPrimitive::Rectangle)) {
        if (r.pen.iWidth != 6 || !r.brush.bNull) continue;
        ++outlines;
        EXPECT_EQ(r.points[0].x, PageUnits(drawer_.DistanceX(10.0)));
        EXPECT_EQ(r.points[1].x, PageUnits(drawer_.DistanceX(20.0)));
    }
    EXPECT_EQ(outlines, 1);
}

TEST(MisfitScaleTop, RoundsUpToOneTwoOrFiveTimesAPowerOfTen) {
    const struct {
        std::vector<float> misfit;
        float top;
    } cases[] = {{{0.0312f, 0.01f}, 0.05f}, {{0.2f}, 0.2f},   {{0.21f, -1.0f}, 0.5f},
                 {{0.7f}, 1.0f},            {{3.0f}, 5.0f},   {{}, 0.1f},
                 {{-1.0f, 0.0f}, 0.1f}};
    for (const auto& c : cases) EXPECT_FLOAT_EQ(MisfitScaleTop(c.misfit), c.top);
}
