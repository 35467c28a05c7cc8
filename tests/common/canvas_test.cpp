#include "common/canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/recording_canvas.h"

namespace {

TEST(Canvas, EveryPrimitiveIsRecordedWithTheStateItWasDrawnIn) {
    CRecordingCanvas c;
    c.SetPen({{0, 0, 255}, 5, PenStyle::Dash});
    c.Line(1, -2, 3, -4);
    c.SetBrush(SolidBrush({10, 20, 30}));
    c.Polygon({{0, 0}, {10, 0}, {10, -10}});
    c.SetFont({40, true, -900, ""});
    c.SetTextColor({255, 0, 0});
    c.SetTextAlign({HAlign::Right, VAlign::Baseline});
    c.Text(7, -8, "深度 (m)");
    const auto& r = c.Records();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].kind, CanvasPrimitive::Line);
    EXPECT_EQ(r[0].points, (std::vector<CPoint>{{1, -2}, {3, -4}}));
    EXPECT_EQ(r[0].pen, (CPen{{0, 0, 255}, 5, PenStyle::Dash}));
    EXPECT_EQ(r[1].brush.color, (CColor{10, 20, 30}));
    EXPECT_FALSE(r[1].brush.bNull);
    EXPECT_EQ(r[2].sText, "深度 (m)");
    EXPECT_EQ(r[2].font.iEscapement, -900);
    EXPECT_TRUE(r[2].font.bJapanese);
    EXPECT_EQ(r[2].textColor, (CColor{255, 0, 0}));
    EXPECT_EQ(r[2].align.h, HAlign::Right);
}

TEST(Canvas, DegenerateShapesDrawNothing) {
    CRecordingCanvas c;
    c.Polyline({{0, 0}});
    c.Polygon({{0, 0}, {1, 1}});
    EXPECT_TRUE(c.Records().empty());
}

TEST(Canvas, DiscIsTheEllipseInTheSquareAroundItsCentre) {
    CRecordingCanvas c;
    c.Disc(100, -50, 10);
    const auto e = c.OfKind(CanvasPrimitive::Ellipse);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].points, (std::vector<CPoint>{{90, -40}, {110, -60}}));
}

TEST(Canvas, TextBoxFollowsAlignmentAndEscapement) {
    // 100 wide, 40 high, ascent 30, drawn at (500, -500).
    const CTextExtent e{100, 40, 30};
    struct Case {
        CTextAlign align;
        int iEscapement;
        CBox box;
    };
    const Case cases[] = {
        {{HAlign::Left, VAlign::Top}, 0, {500, -540, 600, -500}},
        {{HAlign::Center, VAlign::Baseline}, 0, {450, -510, 550, -470}},
        {{HAlign::Right, VAlign::Bottom}, 0, {400, -500, 500, -460}},
        // Reading downwards, hanging from its bottom edge: right of the point, below it.
        {{HAlign::Left, VAlign::Bottom}, -900, {500, -600, 540, -500}},
        // Reading upwards from the point, glyph tops to the left: the glyphs lie right of it.
        {{HAlign::Left, VAlign::Top}, 900, {500, -500, 540, -400}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextBoxOf({500, -500}, e, c.align, c.iEscapement), c.box) << c.iEscapement;
}

TEST(Canvas, TextEstimateWidensWithDecimalsDigitsAndJapaneseCharacters) {
    const CFont english{35, false, 0, ""};
    const CFont japanese{35, true, 0, ""};
    const int one = EstimateTextExtent(english, "1").iWidth;
    EXPECT_GT(EstimateTextExtent(english, "1.25").iWidth, 3 * one) << "the point counts";
    EXPECT_GT(EstimateTextExtent(english, "100000").iWidth, 5 * one);
    EXPECT_GE(EstimateTextExtent(japanese, "深度").iWidth, 70) << "full width";
    EXPECT_EQ(EstimateTextExtent(english, "").iWidth, 0);
    EXPECT_GT(EstimateTextExtent(english, "x").iHeight, 35);
    // A recorded text carries its box.
    CRecordingCanvas c;
    c.SetFont(english);
    c.Text(10, -10, "1.25");
    EXPECT_EQ(c.Records()[0].box, c.TextBox(10, -10, "1.25"));
    EXPECT_EQ(c.Records()[0].box.left, 10);
}

TEST(Canvas, PageUnitsTruncateAndClampWhatNoPageHolds) {
    EXPECT_EQ(PageUnits(12.9), 12);
    EXPECT_EQ(PageUnits(-12.9), -12);
    EXPECT_EQ(PageUnits(std::nan("")), 0);
    EXPECT_EQ(PageUnits(std::numeric_limits<double>::infinity()), 1000000);
    EXPECT_EQ(PageUnits(-1e300), -1000000);
}

}  // namespace
