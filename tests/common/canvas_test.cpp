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

TEST(Canvas, PageUnitsTruncateAndClampWhatNoPageHolds) {
    EXPECT_EQ(PageUnits(12.9), 12);
    EXPECT_EQ(PageUnits(-12.9), -12);
    EXPECT_EQ(PageUnits(std::nan("")), 0);
    EXPECT_EQ(PageUnits(std::numeric_limits<double>::infinity()), 1000000);
    EXPECT_EQ(PageUnits(-1e300), -1000000);
}

}  // namespace
