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
    EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"0", "3", "6", "9"}));
    // Centred on the tick by its measured width, top 5 mm above the frame.
    for (const char* t : {"0", "3"}) {
        const CCanvasRecord* r = canvas.FindText(t);
        const int tick = 200 + 40 * std::stoi(t);
        EXPECT_NEAR((r->box.left + r->box.right) / 2, tick, 1) << t;
        EXPECT_EQ(r->points[0].y, -150) << t;
    }
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
    // The surface is "0"; 1 and 2 m above it show as negative depths, as whole as the
    // interval.
    EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"0", "-1", "-2"}));
    // Right-aligned 1 mm left of the frame, centred on the tick at 400 down the page.
    const CBox zero = canvas.FindText("0")->box;
    EXPECT_EQ(zero.right, 190);
    EXPECT_NEAR((zero.top + zero.bottom) / 2, -400, 1);

    canvas.Clear();
    axes = MakeAxes(0, 1, 1, 100, -5, 0.6f, 0.55f, 100);
    axes.bXLabel = 0;
    Draw();
    const auto texts = canvas.Texts();
    ASSERT_EQ(texts.size(), 11u);
    EXPECT_EQ(texts[0], "-5.00");
    EXPECT_EQ(texts[9], "-0.05");
    EXPECT_EQ(texts[10], "0.50") << "the interval of 0.55 needs two decimals";
    // Every label ends 1 mm left of the frame, whatever its sign and decimals.
    for (const char* t : {"-5.00", "-0.05", "0.50"}) EXPECT_EQ(canvas.FindText(t)->box.right, 190);
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
    // Decades below 1 show the figures that tell them apart.
    canvas.Clear();
    axes.fYStart = -3;
    axes.fYEnd = 0;
    Draw();
    EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"0.001", "0.01", "0.1", "1"}));
}

TEST_F(FrameTest, TitlesAtTheirReferencePointsInTheLanguagesFont) {
    param.iLanguage = kLanguageJapanese;
    axes = MakeAxes(0, 100, 50, 10, -14, 0, 7, 50);
    axes.SetSectionTitles(kLanguageJapanese);
    Draw();
    const CCanvasRecord* x = canvas.FindText("距離 (m)");
    ASSERT_NE(x, nullptr);
    // Centred over the frame, 13 mm above it.
    EXPECT_NEAR((x->box.left + x->box.right) / 2, 200 + 500, 1);
    EXPECT_EQ(x->points[0].y, -(200 - 130));
    EXPECT_EQ(x->font.iHeight, 40);
    EXPECT_TRUE(x->font.bJapanese);
    const CCanvasRecord* y = canvas.FindText("深度 (m)");
    ASSERT_NE(y, nullptr);
    // 19 mm left of the frame, reading downwards centred on the frame's height.
    EXPECT_EQ(y->points[0].x, 200 - 190);
    EXPECT_NEAR((y->box.top + y->box.bottom) / 2, -(200 + 350), 1);
    EXPECT_EQ(y->font.iEscapement, -900);
    EXPECT_EQ(y->align, (CTextAlign{HAlign::Left, VAlign::Bottom}));
    EXPECT_EQ(canvas.FindText("14")->font.iHeight, 35);
    // The caller's state comes back.
    EXPECT_EQ(canvas.Font().iEscapement, 0);
    EXPECT_EQ(canvas.Pen(), kBlackPen);
}

// Every text of a frame lies on the page, clear of the frame and of every other text, and no
// label that has room is left out or cut.
TEST_F(FrameTest, TextsLieOnThePageClearOfTheFrameAndOfEachOther) {
    struct Case {
        const char* name;
        CAxes axes;
        int language;
        void (CAxes::*titles)(int);
        std::vector<std::string> shown;
    };
    auto withLog = [](CAxes a) {
        a.bYLog = 1;
        return a;
    };
    auto negated = [](CAxes a) {
        a.bYNegated = 1;
        return a;
    };
    const Case cases[] = {
        {"depths every 0.25 m",
         negated(MakeAxes(0, 100, 10, 15, -2, 0, 0.25f, 200)),
         kLanguageEnglish,
         &CAxes::SetSectionTitles,
         {"1.25", "1.75", "0.00", "100"}},
        {"decades over a long line",
         withLog(MakeAxes(0, 400, 20, 4, 0, 5, 1, 100)),
         kLanguageEnglish,
         &CAxes::SetLineResistivityTitles,
         {"0", "100000", "1", "400"}},
        {"decades of V/I",
         withLog(MakeAxes(0, 120, 20, 5, -2, 2, 1, 150)),
         kLanguageEnglish,
         &CAxes::SetLineResistanceTitles,
         {"0.01", "100", "0"}},
        {"x ticks every 0.25 at 1.5 mm",
         MakeAxes(0, 10, 0.25f, 60, 0, 1, 0.25f, 400),
         kLanguageEnglish,
         &CAxes::SetMapTitles,
         {"0.00", "0.75"}},
        {"y ticks 1 mm apart",
         MakeAxes(0, 10, 1, 100, 0, 10, 0.5f, 20),
         kLanguageEnglish,
         &CAxes::SetMapTitles,
         {"0.0"}},
        {"seven-digit northings",
         MakeAxes(381403, 382003, 100, 1.5f, 3895984, 3896284, 100, 1.5f),
         kLanguageEnglish,
         &CAxes::SetMapTitles,
         {"3895984", "381403"}},
        {"Japanese line plot",
         withLog(MakeAxes(0, 400, 20, 4, 0, 5, 1, 100)),
         kLanguageJapanese,
         &CAxes::SetLineResistivityTitles,
         {"100000"}},
        {"negative values with decimals",
         MakeAxes(0, 1, 1, 1000, -5, 0.6f, 0.55f, 100),
         kLanguageEnglish,
         &CAxes::SetMapTitles,
         {"-5.00", "0.50"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        canvas.Clear();
        param.iLanguage = c.language;
        axes = c.axes;
        (axes.*c.titles)(c.language);
        const CFrameEdges edges = Draw();
        // The frame with half its pen width either side.
        const CBox frame{200 - 5, -(edges.iBottom + 5), edges.iRight + 5, -(200 - 5)};
        const auto texts = canvas.OfKind(CanvasPrimitive::Text);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const CBox& b = texts[i].box;
            EXPECT_GE(b.left, 0) << texts[i].sText;
            EXPECT_LE(b.top, 0) << texts[i].sText;
            EXPECT_FALSE(b.Overlaps(frame)) << texts[i].sText;
            for (std::size_t j = i + 1; j < texts.size(); ++j)
                EXPECT_FALSE(b.Overlaps(texts[j].box))
                    << texts[i].sText << " and " << texts[j].sText;
        }
        for (const std::string& t : c.shown) EXPECT_NE(canvas.FindText(t), nullptr) << t;
    }
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
