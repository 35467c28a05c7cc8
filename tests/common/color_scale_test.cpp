#include "common/color_scale.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/language.h"
#include "common/recording_canvas.h"

namespace {

std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::filesystem::path TempListing(const char* name) {
    return std::filesystem::temp_directory_path() /
           (std::string("gantrel_") + name + "_" + std::to_string(::getpid()) + ".txt");
}

TEST(ColorScale, StartsWithTheDefaultTable) {
    CColorScale s;
    EXPECT_EQ(s.nLevel, 26);
    EXPECT_EQ(s.fBound[6], 80.0f);
    EXPECT_EQ(s.fBound[25], 100000.0f);
    EXPECT_EQ(s.LevelColor(5), (CColor{100, 140, 230}));
    EXPECT_EQ(s.LevelColor(22), (CColor{255, 120, 120}));
}

TEST(ColorScale, LookupTakesTheFirstBoundStrictlyAbove) {
    CColorScale s;
    EXPECT_EQ(s.Lookup(10.0f), 1) << "a value equal to a bound takes the next level";
    EXPECT_EQ(s.Lookup(9.999f), 0);
    EXPECT_EQ(s.ColorOf(100.0f), (CColor{120, 255, 120}));
    EXPECT_EQ(s.Lookup(0.0f), 0);
    EXPECT_EQ(s.Lookup(-250.0f), 0);
    EXPECT_EQ(s.Lookup(100000.0f), 25);
    EXPECT_EQ(s.Lookup(3e9f), 25);
    EXPECT_EQ(s.Lookup(std::nanf("")), 25);
}

TEST(ColorScale, ResampleSpacesBoundsByTheInterval) {
    CColorScale s;
    ASSERT_TRUE(s.Resample(10.0f, 100.0f, 10.0f));
    EXPECT_EQ(s.nLevel, 11);
    for (int i = 0; i < 11; ++i) EXPECT_FLOAT_EQ(s.fBound[i], 10.0f * (i + 1)) << i;
    EXPECT_EQ(s.LevelColor(0), BaseColor(0)) << "level 0 keeps its colour";
    EXPECT_EQ(s.LevelColor(1), BaseColor(2));    // trunc(26 / 11)
    EXPECT_EQ(s.LevelColor(5), BaseColor(11));   // trunc(130 / 11)
    EXPECT_EQ(s.LevelColor(10), BaseColor(23));  // trunc(260 / 11)
}

TEST(ColorScale, ResampleNeverUsesBaseColourZeroAboveLevelZero) {
    CColorScale s;
    ASSERT_TRUE(s.Resample(1.0f, 36.0f, 1.0f));  // 35 intervals, 37 levels
    EXPECT_EQ(s.nLevel, 37);
    EXPECT_EQ(s.LevelColor(1), BaseColor(1));  // trunc(26 / 37) = 0, limited to 1
    EXPECT_EQ(s.LevelColor(36), BaseColor(25));
}

TEST(ColorScale, RefusedRequestsLeaveTheScaleUnchanged) {
    const struct {
        float fMin, fMax, fInterval;
    } refused[] = {
        {10, 20, 10},                                    // 1 interval
        {1, 1000, 10},                                   // 99 intervals
        {10, 100, 0},                                    // zero interval
        {10, 100, -10}, {0, 100, 10},                    // minimum not above 0
        {10, -5, 1},    {10, 100, 1e-30f}, {10, 46, 1},  // 36 intervals: one too many
        {10, 13.9f, 1},                                  // 3.9 intervals
    };
    for (const auto& r : refused) {
        CColorScale s;
        EXPECT_FALSE(s.Resample(r.fMin, r.fMax, r.fInterval)) << r.fMin << " " << r.fMax;
        EXPECT_FALSE(s.BuildManualLevels(r.fMin, r.fMax, r.fInterval, TempListing("refused")));
        EXPECT_EQ(s.nLevel, 26);
        EXPECT_EQ(s.fBound[3], 40.0f);
        EXPECT_EQ(s.LevelColor(3), BaseColor(3));
    }
    std::filesystem::remove(TempListing("refused"));
}

TEST(ColorScale, ManualLevelsInterpolateBaseColoursAndWriteTheListing) {
    const auto listing = TempListing("manual");
    CColorScale s;
    ASSERT_TRUE(s.BuildManualLevels(10.0f, 100.0f, 10.0f, listing));
    EXPECT_EQ(s.nLevel, 11);
    EXPECT_FLOAT_EQ(s.fBound[10], 110.0f);
    // p = 26 / 11 = 2.3636: between C[2] (140, 100, 255) and C[3] (120, 100, 255).
    EXPECT_EQ(s.LevelColor(1), (CColor{132, 100, 255}));
    // p = 26 × 10 / 11 = 23.636: between C[23] (255, 100, 160) and C[24] (255, 100, 200).
    EXPECT_EQ(s.LevelColor(10), (CColor{255, 100, 185}));
    EXPECT_EQ(s.LevelColor(0), BaseColor(0));
    const std::string text = Slurp(listing);
    EXPECT_EQ(text.substr(0, 9), "9 11 26\r\n");
    EXPECT_NE(text.find("1 2.363636 20.000000 : 132 100 255\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("10 23.636364 110.000000 : 255 100 185\r\n"), std::string::npos);
    std::filesystem::remove(listing);
}

TEST(ColorScale, ManualLevelsSurviveAnUnwritableListing) {
    CColorScale s;
    EXPECT_TRUE(s.BuildManualLevels(10.0f, 100.0f, 10.0f, "/nonexistent-folder/ManualColor.txt"));
    EXPECT_EQ(s.nLevel, 11);
}

TEST(ColorScale, LogBoundsFollowTheDataByEqualRatios) {
    CColorScale s;
    s.FollowData(10.0f, 10000.0f, true);
    EXPECT_FLOAT_EQ(s.fBound[0], 10.0f);
    EXPECT_NEAR(s.fBound[1], 13.335f, 0.001f);  // d = 0.125 decade
    EXPECT_NEAR(s.fBound[2], 17.783f, 0.001f);
    EXPECT_NEAR(s.fBound[8], 100.0f, 0.001f);
    EXPECT_FLOAT_EQ(s.fBound[24], 10000.0f);
    EXPECT_EQ(s.fBound[25], 100000.0f) << "the last bound keeps its value";
}

TEST(ColorScale, LinearBoundsFollowTheDataAndLogNeedsPositiveLimits) {
    CColorScale s;
    ASSERT_TRUE(s.Resample(10.0f, 60.0f, 10.0f));  // 7 levels
    s.FollowData(0.0f, 500.0f, false);
    EXPECT_FLOAT_EQ(s.fBound[1], 100.0f);
    EXPECT_FLOAT_EQ(s.fBound[4], 400.0f);
    EXPECT_FLOAT_EQ(s.fBound[5], 500.0f);
    EXPECT_FLOAT_EQ(s.fBound[6], 70.0f);
    s.FollowData(-1.0f, 1000.0f, true);  // no logarithm of -1: only the two ends move
    EXPECT_FLOAT_EQ(s.fBound[0], -1.0f);
    EXPECT_FLOAT_EQ(s.fBound[1], 100.0f);
    EXPECT_FLOAT_EQ(s.fBound[5], 1000.0f);
}

TEST(ReceiverColors, RampsOfThirtySevenEntries) {
    const CReceiverColors c;
    EXPECT_EQ(c.Rainbow(0), (CColor{255, 0, 255}));
    EXPECT_EQ(c.Rainbow(8), (CColor{255, 105, 0}));
    EXPECT_EQ(c.Rainbow(16), (CColor{200, 255, 0}));
    EXPECT_EQ(c.Rainbow(24), (CColor{25, 255, 0}));
    EXPECT_EQ(c.Rainbow(25), (CColor{0, 255, 0}));
    EXPECT_EQ(c.Rainbow(32), (CColor{0, 75, 175}));
    EXPECT_EQ(c.Rainbow(36), (CColor{0, 0, 255}));
    EXPECT_EQ(c.Grey(8), (CColor{57, 57, 57}));
    EXPECT_EQ(c.Rainbow(40), c.Rainbow(36));
    EXPECT_EQ(c.Grey(-3), c.Grey(0));
}

class LegendTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetFontScaleFactor(1.0);
        axes.fXStart = 0.0f;
        axes.fXEnd = 100.0f;
        axes.fXScale = 10.0f;  // W = 1000
        axes.fYStart = -14.0f;
        axes.fYEnd = 0.0f;
    }
    CGantrelDrawingParameter param{kLanguageEnglish};
    CAxes axes;
    CColorScale scale;
    CRecordingCanvas canvas;
};

TEST_F(LegendTest, BoxesStackUpwardsFromThePlotBottom) {
    axes.fYScale = 100.0f;  // H = 1400, L = 980, h = 37 for 26 levels
    canvas.SetPen({{1, 2, 3}, 2, PenStyle::Solid});
    const int right = DrawColorLegend(canvas, scale, param, axes);
    // At least 10 mm right of the boxes, and past the widest label.
    EXPECT_GE(right, 200 + 1000 + 110 + 100);
    for (const auto& t : canvas.OfKind(CanvasPrimitive::Text)) EXPECT_LE(t.box.right, right);
    const auto boxes = canvas.OfKind(CanvasPrimitive::Rectangle);
    ASSERT_EQ(boxes.size(), 26u);
    EXPECT_EQ(boxes[0].points[0], (CPoint{1270, -(1600 - 37)}));
    EXPECT_EQ(boxes[0].points[1], (CPoint{1310, -1600}));
    EXPECT_EQ(boxes[25].points[0], (CPoint{1270, -(1600 - 26 * 37)}));
    for (int l = 0; l < 26; ++l) {
        EXPECT_EQ(boxes[l].brush, SolidBrush(scale.LevelColor(l))) << l;
        EXPECT_EQ(boxes[l].pen, (CPen{{1, 2, 3}, 2, PenStyle::Solid})) << "the caller's pen";
    }
    // Box height 37 < 50: every second bound is written, never the last level's.
    const CCanvasRecord* label = canvas.FindText("10.00");
    ASSERT_NE(label, nullptr);
    // Centred on the top edge of its box, the bound it names.
    const int half = canvas.MeasureText("0").iHeight / 2;
    EXPECT_EQ(label->points[0], (CPoint{1320, -(1563 - half)}));
    EXPECT_EQ(canvas.FindText("20.00"), nullptr);
    EXPECT_NE(canvas.FindText("30.00"), nullptr);
    EXPECT_NE(canvas.FindText("7000.00"), nullptr);  // level 24
    EXPECT_EQ(canvas.FindText("100000.00"), nullptr);
    const CCanvasRecord* unit = canvas.FindText("(Ohm-m)");
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->points[0], (CPoint{1270, -(1600 + 30)}));
    const CCanvasRecord* title = canvas.FindText("Resistivity");
    ASSERT_NE(title, nullptr);
    // Above the legend's top (1600 - 26 × 37), clear of its top label.
    EXPECT_EQ(title->points[0].x, 1270);
    EXPECT_EQ(title->box.bottom, -(1600 - 26 * 37 - half - 10));
    const auto texts = canvas.OfKind(CanvasPrimitive::Text);
    for (std::size_t i = 0; i < texts.size(); ++i)
        for (std::size_t j = i + 1; j < texts.size(); ++j)
            EXPECT_FALSE(texts[i].box.Overlaps(texts[j].box)) << texts[i].sText << texts[j].sText;
    EXPECT_EQ(title->font.iHeight, 35);
}

TEST_F(LegendTest, SmallBoxesLabelEveryFourthBound) {
    axes.fYScale = 50.0f;  // H = 700, L = 490, h = 18
    param.iLanguage = kLanguageJapanese;
    param.SetLabels();
    DrawColorLegend(canvas, scale, param, axes);
    EXPECT_NE(canvas.FindText("10.00"), nullptr);
    EXPECT_EQ(canvas.FindText("30.00"), nullptr);
    EXPECT_NE(canvas.FindText("50.00"), nullptr);  // level 4
    EXPECT_NE(canvas.FindText("比抵抗"), nullptr);
    EXPECT_TRUE(canvas.FindText("50.00")->font.bJapanese);
}

TEST(DrawingParameter, LabelsAndRangesByKind) {
    CDrawingParameter base(kLanguageJapanese);
    EXPECT_EQ(base.sValueLabel, "単位");
    EXPECT_EQ(base.sValueUnit, "(m)");
    CGantrelDrawingParameter g(kLanguageEnglish);
    EXPECT_EQ(g.sValueLabel, "Resistivity");
    EXPECT_EQ(g.sValueUnit, "(Ohm-m)");
    EXPECT_EQ(g.fSectionBottom, -14.0f);
    g.iLanguage = kLanguageJapanese;
    CDrawingParameter& asBase = g;
    asBase.SetLabels();
    EXPECT_EQ(g.sValueLabel, "比抵抗");
}

}  // namespace
