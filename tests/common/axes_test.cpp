#include "common/axes.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/language.h"
#include "common/recording_canvas.h"

namespace {

constexpr CColor kBlue{0, 0, 255};
constexpr CColor kOlive{200, 200, 0};

// start, end, interval, scale of both axes.
CAxes MakeAxes(float x0, float x1, float xi, float xs, float y0, float y1, float yi, float ys) {
    CAxes a;
    a.fXStart = x0, a.fXEnd = x1, a.fXInterval = xi, a.fXScale = xs;
    a.fYStart = y0, a.fYEnd = y1, a.fYInterval = yi, a.fYScale = ys;
    return a;
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override { SetFontScaleFactor(1.0); }
    CFrameEdges Draw() {
        axes.UpdateTicks();
        return DrawFrameAndAxes(canvas, param, axes, offset);
    }
    CDrawingParameter param{kLanguageEnglish};
    CAxes axes;
    CPlotOffset offset;
    CRecordingCanvas canvas;
};

TEST(Axes, AutomaticIntervalSteps) {
    const std::pair<float, float> cases[] = {
        {9.99f, 1}, {10, 2},   {49.9f, 2},  {50, 5},     {99, 5},     {100, 20},    {499, 20},
        {500, 50},  {999, 50}, {1000, 200}, {4999, 200}, {5000, 500}, {80000, 500},
    };
    for (auto [d, interval] : cases) EXPECT_EQ(AutomaticInterval(d), interval) << "range " << d;
}

TEST(Axes, TickCounts) {
    CAxes a = MakeAxes(0, 49.9f, 0, 0, 3.5f, 20, 5, 0);
    a.SetAutomaticXInterval();
    a.UpdateTicks();
    EXPECT_EQ(a.nXTick, 25);  // 0, 2, ..., 48
    EXPECT_EQ(a.nYTick, 4);   // 3.5, 8.5, 13.5, 18.5: not rounded to multiples
    EXPECT_EQ(a.fYFirstTick, 3.5f);
    a = MakeAxes(0, 5, 0.3f, 0, 0, 10, 0, 0);
    a.bXLog = 1;
    a.UpdateTicks();
    EXPECT_EQ(a.fXInterval, 1.0f) << "decades";
    EXPECT_EQ(a.nXTick, 6);
    EXPECT_EQ(a.nYTick, 0) << "interval 0";
    // A tiny interval or a range that is not a number must not overflow or run away.
    a = MakeAxes(0, 1000, 1e-30f, 0, 0, std::nanf(""), 1, 0);
    a.UpdateTicks();
    EXPECT_EQ(a.nXTick, kMaxTickCount);
    EXPECT_EQ(a.nYTick, 0);
}

TEST(Axes, FitScalesUsesTheRoomInsideMarginsAndReserve) {
    CDrawingParameter p(kLanguageEnglish);
    CAxes a = MakeAxes(0, 100, 0, 0, -14, 0, 0, 0);
    EXPECT_TRUE(a.FitScales(2400, -1800, p, 100));
    EXPECT_FLOAT_EQ(a.fXScale, 19.0f);  // (2400 - 400 - 100) / 100
    EXPECT_FLOAT_EQ(a.fYScale, 100.0f);
    // A window too small for the margins keeps the scales it had.
    EXPECT_FALSE(a.FitScales(300, 300, p, 0));
    EXPECT_FLOAT_EQ(a.fXScale, 19.0f);
}

TEST(Axes, TextWidthEstimateByMagnitudeAndSign) {
    EXPECT_EQ(TextWidthEstimate(100000), 175);
    EXPECT_EQ(TextWidthEstimate(-100000), 195);
    EXPECT_EQ(TextWidthEstimate(999.9), 100);
    EXPECT_EQ(TextWidthEstimate(-5), 70);
    EXPECT_EQ(TextWidthEstimate(0.1), 75);
    EXPECT_EQ(TextWidthEstimate(0), 100);
    EXPECT_EQ(TextWidthEstimate(-0.05), 120);
}

TEST(Axes, FontHeightsFollowLanguageAndScaleFactor) {
    SetFontScaleFactor(1.5);
    EXPECT_EQ(TickLabelFont(kLanguageJapanese).iHeight, 35);
    EXPECT_TRUE(TickLabelFont(kLanguageJapanese).bJapanese);
    EXPECT_EQ(TickLabelFont(kLanguageEnglish).iHeight, 52);
    EXPECT_EQ(XTitleFont(kLanguageJapanese).iHeight, 60);
    EXPECT_EQ(YTitleFont(kLanguageJapanese).iHeight, 60);
    EXPECT_EQ(YTitleFont(kLanguageEnglish).iHeight, 52);
    EXPECT_EQ(YTitleFont(kLanguageEnglish).iEscapement, -900);
    SetFontScaleFactor(1.0);
}

TEST_F(FrameTest, GridLinesAtTicksAndFrameEdges) {
    axes = MakeAxes(3.5f, 20, 5, 100, 0, 10, 5, 50);
    offset.y0 = 10;
    const CFrameEdges edges = Draw();
    EXPECT_EQ(edges.iRight, 200 + 1650);
    EXPECT_EQ(edges.iBottom, 210 + 500);
    EXPECT_EQ(offset.iFrameWidth, 1650);
    EXPECT_EQ(offset.iFrameHeight, 500);
    const auto grid = canvas.LinesWithPen(kBlue, 5);
    ASSERT_EQ(grid.size(), 4u + 3u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(grid[k].points[0], (CPoint{200 + 500 * k, -210})) << k;
        EXPECT_EQ(grid[k].points[1], (CPoint{200 + 500 * k, -710})) << k;
    }
    // y start at the bottom, y end at the top.
    EXPECT_EQ(grid[4].points[0], (CPoint{200, -710}));
    EXPECT_EQ(grid[6].points[1], (CPoint{1850, -210}));
    const auto frame = canvas.OfKind(CanvasPrimitive::Rectangle);
    ASSERT_EQ(frame.size(), 1u);
    EXPECT_EQ(frame[0].points, (std::vector<CPoint>{{200, -210}, {1850, -710}}));
    EXPECT_EQ(frame[0].pen, (CPen{kColorBlack, 10, PenStyle::Solid}));
    EXPECT_TRUE(frame[0].brush.bNull) << "the frame must not cover the grid";
}

TEST_F(FrameTest, DenseXLabelsAreThinnedToTenMillimetres) {
    axes = MakeAxes(0, 10, 1, 40, 0, 1, 1, 100);
    axes.bYLabel = 0;
    Draw();
    EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"0", "2", "5", "8"}));
    // Centred on the tick by the width estimate, top 5 mm above the frame.
    EXPECT_EQ(canvas.FindText("0")->points[0], (CPoint{150, -150}));
    EXPECT_EQ(canvas.FindText("2")->points[0], (CPoint{255, -150}));
}

TEST_F(FrameTest, XStartJustBelowZeroIsLabelledZero) {
    axes = MakeAxes(-0.3f, 40, 10, 40, 0, 1, 1, 100);
    axes.bYLabel = 0;
    Draw();
    EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"0", "10", "20", "30", "40"}));
}

TEST_F(FrameTest, YLabelFormats) {
    axes = MakeAxes(0, 10, 10, 100, -5e-8f, 2, 1, 100);
    axes.bXLabel = 0;
    axes.bYNegated = 1;
    Draw();
    // The surface is "0"; 1 and 2 m above it show as negative depths with two decimals.
    EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"0", "-1.00", "-2.00"}));
    EXPECT_EQ(canvas.FindText("0")->points[0], (CPoint{200 - 100, -(400 - 25)}));

    canvas.Clear();
    axes = MakeAxes(0, 1, 1, 100, -5, 0.6f, 0.55f, 100);
    axes.bXLabel = 0;
    Draw();
    const auto texts = canvas.Texts();
    ASSERT_EQ(texts.size(), 11u);
    EXPECT_EQ(texts[0], "-5.00");
    EXPECT_EQ(texts[9], "-0.05");
    EXPECT_EQ(texts[10], "0.50") << "the interval of 0.55 needs two decimals";
    // A negative label is placed by its characters, clear of the frame; a positive one by
    // the magnitude estimate.
    EXPECT_EQ(canvas.FindText("-5.00")->points[0].x, 200 - 135);
    EXPECT_EQ(canvas.FindText("0.50")->points[0].x, 200 - 75);
}

TEST_F(FrameTest, LabelsShowTheDecimalsTheIntervalNeeds) {
    // Depths every 0.5 m: with whole numbers 1.5 and 2.5 would both read "2".
    axes = MakeAxes(0, 10, 10, 100, -4, 0, 0.5f, 100);
    axes.bXLabel = 0;
    axes.bYNegated = 1;
    Draw();
    EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"4.0", "3.5", "3.0", "2.5", "2.0", "1.5",
                                                        "1.0", "0.5", "0.0"}));
    canvas.Clear();
    axes = MakeAxes(-0.25f, 1, 0.25f, 1000, 0, 1, 1, 100);
    axes.bYLabel = 0;
    Draw();
    EXPECT_EQ(canvas.Texts(),
              (std::vector<std::string>{"-0.25", "0.00", "0.25", "0.50", "0.75", "1.00"}));
    // Whole intervals keep whole labels, and a start off the multiples stays where it is.
    canvas.Clear();
    axes = MakeAxes(-14, 30, 20, 10, 0, 1, 1, 100);
    axes.bYLabel = 0;
    Draw();
    EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"-14", "6", "26"}));
}

TEST_F(FrameTest, LogYAxisShowsDecadesWithEightMinorLinesEach) {
    axes = MakeAxes(0, 10, 5, 100, 0, 5, 1, 200);
    axes.bXLabel = 0;
    axes.bYLog = 1;
    Draw();
    EXPECT_EQ(canvas.Texts(),
              (std::vector<std::string>{"1", "10", "100", "1000", "10000", "100000"}));
    const auto minor = canvas.LinesWithPen(kOlive, 1);
    ASSERT_EQ(minor.size(), 40u);
    // 2 in the lowest decade: log10(2) × 200 = 60.2 above the bottom (y 1200 down the page).
    EXPECT_EQ(minor[0].points[0].y, -1139);
    for (const auto& r : minor) EXPECT_LT(r.points[0].y, -200) << "none above the last tick";
}

TEST_F(FrameTest, TitlesAtTheirReferencePointsInTheLanguagesFont) {
    param.iLanguage = kLanguageJapanese;
    axes = MakeAxes(0, 100, 50, 10, -14, 0, 7, 50);
    axes.SetSectionTitles(kLanguageJapanese);
    Draw();
    const CCanvasRecord* x = canvas.FindText("距離 (m)");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->points[0], (CPoint{200 + 500 - 200, -(200 - 130)}));
    EXPECT_EQ(x->font.iHeight, 40);
    EXPECT_TRUE(x->font.bJapanese);
    const CCanvasRecord* y = canvas.FindText("深度 (m)");
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(y->points[0], (CPoint{200 - 190, -(200 + 350 + 200)}));
    EXPECT_EQ(y->font.iEscapement, -900);
    EXPECT_EQ(y->align, (CTextAlign{HAlign::Left, VAlign::Bottom}));
    EXPECT_EQ(canvas.FindText("14")->font.iHeight, 35);
    // The caller's state comes back.
    EXPECT_EQ(canvas.Font().iEscapement, 0);
    EXPECT_EQ(canvas.Pen(), kBlackPen);
}

TEST(Arrow, BarbsAtHundredThirtyFiveDegrees) {
    CRecordingCanvas canvas;
    DrawArrow(canvas, {150, 150, 0}, 0, 0, 100, 0);
    const auto lines = canvas.OfKind(CanvasPrimitive::Line);
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& l : lines) EXPECT_EQ(l.pen, (CPen{{150, 150, 0}, 8, PenStyle::Solid}));
    EXPECT_EQ(lines[1].points, (std::vector<CPoint>{{100, 0}, {85, 14}}));
    EXPECT_EQ(lines[2].points, (std::vector<CPoint>{{100, 0}, {85, -14}}));
}

TEST(AxisDialog, LogAxesShowValuesAndEnableTheirMinimum) {
    CAxes line = MakeAxes(10, 90, 20, 0, 0, 5, 1, 0);
    line.bYLog = 1;
    CAxisDialogSetup setup;
    setup.sYUnit = "Ohm";
    setup.bYMinimumEnabled = false;
    const CDlgManualAxis d = AxisDialogFromAxes(line, setup);
    EXPECT_DOUBLE_EQ(d.dYMinimum, 1.0);
    EXPECT_DOUBLE_EQ(d.dYMaximum, 100000.0);
    EXPECT_FLOAT_EQ(d.fYInterval, 10.0f);
    EXPECT_TRUE(d.bYMinimumEnabled);
    EXPECT_DOUBLE_EQ(d.dXMinimum, 10.0);
}

TEST(AxisDialog, RowsNotFixedAreReadOnly) {
    CAxes a = MakeAxes(1, 2, 0.5f, 0, 0, 1, 1, 0);
    a.bXFixed = 1;
    const CAxisDialogSetup setup;
    CDlgManualAxis d = AxisDialogFromAxes(a, setup);
    d.bXFixed = 0;
    d.dXMaximum = 50.0;
    std::string error;
    ASSERT_TRUE(ApplyAxisDialog(d, setup, a, error));
    EXPECT_EQ(a.fXEnd, 2.0f);
    EXPECT_EQ(a.bXFixed, 0);
}

}  // namespace
