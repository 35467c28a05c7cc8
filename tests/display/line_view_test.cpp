// Geometry and colours of the line views, drawn on the recording canvas. Scales are fitted to
// a client area that gives 10 page units per metre (x from 0 to 100 m) and 100 per decade.
#include "display/line_view.h"

#include <gtest/gtest.h>

#include "common/language.h"
#include "common/recording_canvas.h"

namespace {

constexpr CClientSize kClient{1400, 900};  // frame 1000 x 500 inside 200 margins
constexpr CColor kRed{255, 0, 0};

class LineViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        AddReading(0.0f, {100.0f});
        AddReading(100.0f, {100.0f});
        line_.UpdateMaxReceiver();
        line_.fMinDistance = 0.0f;
        line_.fMaxDistance = 100.0f;
    }
    CGantrelData& AddReading(float distance, std::vector<float> values) {
        CGantrelData& d = *line_.AddData();
        d.fDistance = distance;
        d.nReceiver = static_cast<int>(values.size());
        for (size_t j = 0; j < values.size(); ++j) {
            d.fResistivity[j] = values[j];
            d.fResistance[j] = values[j] / 100.0f;
        }
        return d;
    }
    CMarkerData& AddMarker(float distance, int kind) {
        CMarkerData& m = *line_.AddMarker();
        m.fDistance = distance;
        m.iKind = kind;
        return m;
    }
    bool Draw(CGantrelLineView& view, bool fit = true) {
        int right = 0, bottom = 0;
        return view.Draw(canvas_, line_, right, bottom, fit ? &kClient : nullptr);
    }
    std::vector<CCanvasRecord> Dots() const { return canvas_.OfKind(CanvasPrimitive::Ellipse); }

    CGantrelLine line_;
    CRecordingCanvas canvas_;
    CGantrelLineView view_{0};
};

CPoint Centre(const CCanvasRecord& r) {
    return {(r.points[0].x + r.points[1].x) / 2, (r.points[0].y + r.points[1].y) / 2};
}
int Radius(const CCanvasRecord& r) {
    return (r.points[1].x - r.points[0].x) / 2;
}

TEST_F(LineViewTest, ReadingsAtBothEndsOfTheRangeAreDrawn) {
    ASSERT_TRUE(Draw(view_));
    EXPECT_FLOAT_EQ(view_.axes.fXScale, 10.0f);
    EXPECT_FLOAT_EQ(view_.axes.fYScale, 100.0f);
    const auto dots = Dots();
    ASSERT_EQ(dots.size(), 2u);
    // 100 Ohm-m is 2 decades: 3 decades below the top.
    EXPECT_EQ(Centre(dots[0]), (CPoint{200, -500}));
    EXPECT_EQ(Centre(dots[1]), (CPoint{1200, -500}));
}

TEST_F(LineViewTest, ValueAboveTheAxisSitsOnTheTopEdgeAndValueBelowIsClippedToTheFrame) {
    AddReading(50.0f, {250000.0f, 0.1f});
    line_.UpdateMaxReceiver();
    ASSERT_TRUE(Draw(view_));
    const auto dots = Dots();
    ASSERT_EQ(dots.size(), 4u);
    EXPECT_EQ(Centre(dots[2]), (CPoint{700, -200})) << "250000 Ohm-m is drawn on the top edge";
    // 0.1 Ohm-m lies a decade below the frame (log10 of the float 0.1 is a hair above -1)...
    EXPECT_EQ(Centre(dots[3]).x, 700);
    EXPECT_NEAR(Centre(dots[3]).y, -800, 1);
    // ... and is cut away there with everything else the plot draws inside its frame.
    for (const CCanvasRecord& dot : dots) {
        ASSERT_TRUE(dot.bClipped);
        EXPECT_EQ(dot.clip[0], (CPoint{200, -200}));
        EXPECT_EQ(dot.clip[1], (CPoint{1200, -700}));
    }
    for (const CCanvasRecord& r : canvas_.OfKind(CanvasPrimitive::Text))
        EXPECT_FALSE(r.bClipped) << "labels and titles lie outside the frame: " << r.sText;
}

TEST_F(LineViewTest, ValueWithoutLogarithmIsPutOnTheBottomEdge) {
    AddReading(50.0f, {0.0f});
    ASSERT_TRUE(Draw(view_));
    EXPECT_EQ(Centre(Dots()[2]), (CPoint{700, -700}));
}

TEST_F(LineViewTest, DeletedValueIsRedAndLargerEvenOnAReceiverNotInUse) {
    CGantrelData& d = AddReading(50.0f, {100.0f, 200.0f, 300.0f});
    d.bDeleted[0] = 1;
    line_.bReceiverUse[0] = 0;
    line_.bReceiverUse[1] = 0;
    line_.UpdateMaxReceiver();
    ASSERT_TRUE(Draw(view_));
    const auto dots = Dots();
    ASSERT_EQ(dots.size(), 5u);
    EXPECT_EQ(dots[2].brush.color, kRed);
    EXPECT_EQ(Radius(dots[2]), 14);
    EXPECT_EQ(dots[3].brush.color, (CColor{57, 57, 57})) << "grey entry 8 for receiver 1";
    EXPECT_EQ(Radius(dots[3]), 6);
    EXPECT_EQ(dots[4].brush.color, (CColor{200, 255, 0})) << "rainbow entry 16 for receiver 2";
    EXPECT_EQ(Radius(dots[4]), 10);
    for (const auto& dot : dots) EXPECT_EQ(dot.pen, kBlackPen);
}

TEST_F(LineViewTest, FiveReceiversTakeRainbowEntriesEightApartOrGreyWhenTheLineIsUnused) {
    AddReading(50.0f, {10.0f, 20.0f, 40.0f, 80.0f, 160.0f});
    line_.UpdateMaxReceiver();
    ASSERT_TRUE(Draw(view_));
    const CReceiverColors colors;
    const std::vector<CColor> rainbow = {
        {255, 0, 255}, {255, 105, 0}, {200, 255, 0}, colors.Rainbow(24), {0, 75, 175}};
    auto dots = Dots();
    ASSERT_EQ(dots.size(), 7u);
    for (int j = 0; j < 5; ++j) EXPECT_EQ(dots[2 + j].brush.color, rainbow[j]) << j;

    line_.bUse = 0;
    canvas_.Clear();
    ASSERT_TRUE(Draw(view_, false));
    dots = Dots();
    const int grey[] = {0, 57, 113, 170, 227};
    for (int j = 0; j < 5; ++j)
        EXPECT_EQ(dots[2 + j].brush.color, (CColor{grey[j], grey[j], grey[j]})) << j;
}

TEST_F(LineViewTest, HiddenReceiversAndInvalidValuesAreNotDrawn) {
    CGantrelData& d = AddReading(50.0f, {10.0f, 20.0f, 40.0f});
    d.bValid[1] = 0;
    line_.bReceiverShown[2] = 0;
    line_.UpdateMaxReceiver();
    ASSERT_TRUE(Draw(view_));
    EXPECT_EQ(Dots().size(), 3u);
}

TEST_F(LineViewTest, MarkerAtTheEndIsDrawnRedAndOthersGreenOutsideTheRangeNone) {
    AddMarker(0.0f, 1);
    AddMarker(100.0f, 2);
    AddMarker(130.0f, 1);
    ASSERT_TRUE(Draw(view_));
    const auto green = canvas_.LinesWithPen({0, 255, 0}, 5);
    const auto red = canvas_.LinesWithPen(kRed, 5);
    ASSERT_EQ(green.size(), 1u);
    ASSERT_EQ(red.size(), 1u);
    EXPECT_EQ(green[0].points, (std::vector<CPoint>{{200, -700}, {200, -200}}));
    EXPECT_EQ(red[0].points, (std::vector<CPoint>{{1200, -700}, {1200, -200}}));
}

TEST_F(LineViewTest, GateBeingSetIsRedAndTheOtherCyan) {
    view_.iGateState = 2;
    view_.fFirstGate = 20.0f;
    view_.fSecondGate = 80.0f;
    ASSERT_TRUE(Draw(view_));
    const auto cyan = canvas_.LinesWithPen({0, 255, 255}, 10);
    const auto red = canvas_.LinesWithPen(kRed, 10);
    ASSERT_EQ(cyan.size(), 1u);
    ASSERT_EQ(red.size(), 1u);
    EXPECT_EQ(cyan[0].points[0].x, 400);
    EXPECT_EQ(red[0].points[0].x, 1000);

    view_.iGateState = 0;
    canvas_.Clear();
    ASSERT_TRUE(Draw(view_, false));
    EXPECT_TRUE(canvas_.LinesWithPen(kRed, 10).empty());
}

TEST_F(LineViewTest, ResistanceViewPlotsVIAndKeepsItsPenWidths) {
    CGantrelResistanceView view(0);
    view.iMarkerPenWidth = 1;
    view.iGatePenWidth = 1;
    view.iGateState = 1;
    AddMarker(50.0f, 1);
    ASSERT_TRUE(Draw(view));
    EXPECT_FLOAT_EQ(view.axes.fYStart, -2.0f);
    EXPECT_FLOAT_EQ(view.axes.fYEnd, 2.0f);
    EXPECT_EQ(view.axes.sYTitle, "Measured resistance:V/I (ohm)");
    // 1 ohm is 2 decades below the top at 125 units per decade.
    EXPECT_EQ(Centre(Dots()[0]), (CPoint{200, -450}));
    EXPECT_EQ(canvas_.LinesWithPen({0, 255, 0}, 5).size(), 1u);
    EXPECT_EQ(canvas_.LinesWithPen(kRed, 10).size(), 1u);
}

TEST_F(LineViewTest, CurrentLevelStripHasEightLabelledLinesAndAPolylinePerShownReceiver) {
    line_.pData[0].iCurrentLevel[0] = 0;
    line_.pData[1].iCurrentLevel[0] = 7;
    AddReading(50.0f, {100.0f}).iCurrentLevel[0] = -1;
    view_.bShowCurrentLevel = 1;
    ASSERT_TRUE(Draw(view_));
    // d = 500 / 9 = 55 (truncated).
    const CCanvasRecord* first = canvas_.FindText("0:16.000mA");
    const CCanvasRecord* last = canvas_.FindText("7:0.125mA");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(first->points[0], (CPoint{210, -(255 - 60)}));
    EXPECT_EQ(last->points[0], (CPoint{210, -(200 + 8 * 55 - 60)}));
    const auto polylines = canvas_.OfKind(CanvasPrimitive::Polyline);
    ASSERT_EQ(polylines.size(), 1u);
    EXPECT_EQ(polylines[0].pen, (CPen{{255, 0, 255}, 10, PenStyle::Solid}));
    EXPECT_EQ(polylines[0].points, (std::vector<CPoint>{{200, -255}, {1200, -640}}))
        << "the reading of level -1 is skipped";
}

TEST_F(LineViewTest, EmptyRangeDrawsNothing) {
    line_.fMaxDistance = line_.fMinDistance;
    EXPECT_FALSE(Draw(view_));
    EXPECT_TRUE(canvas_.Records().empty());
}

TEST_F(LineViewTest, PickMarksTheFirstDotStrictlyWithinTheTolerance) {
    ASSERT_TRUE(Draw(view_));
    int px = 0, py = 0;
    EXPECT_EQ(view_.Pick(line_, 1210, -500, 10, px, py), 0) << "10 units away is not within 10";
    EXPECT_EQ(view_.Pick(line_, 1209, -509, 10, px, py), 1);
    EXPECT_EQ((CPoint{px, py}), (CPoint{1200, -500}));
    EXPECT_EQ(line_.pData[1].bDeleted[0], 1);
    EXPECT_EQ(line_.pData[0].bDeleted[0], 0);
}

TEST_F(LineViewTest, SelectInRectangleMarksShownValidDotsEdgesIncluded) {
    AddReading(50.0f, {100.0f, 100.0f, 100.0f});
    line_.pData[2].bValid[1] = 0;
    line_.bReceiverShown[2] = 0;
    line_.UpdateMaxReceiver();
    ASSERT_TRUE(Draw(view_));
    // Corners given in any order; the dot at (700, -500) lies on the rectangle's edge.
    EXPECT_EQ(view_.SelectInRectangle(line_, 1200, -500, 700, -400), 2);
    EXPECT_EQ(line_.pData[2].bDeleted[0], 1);
    EXPECT_EQ(line_.pData[2].bDeleted[1], 0);
    EXPECT_EQ(line_.pData[2].bDeleted[2], 0);
    EXPECT_EQ(line_.pData[1].bDeleted[0], 1);
    EXPECT_EQ(line_.pData[0].bDeleted[0], 0);
}

TEST_F(LineViewTest, DotsHiddenUnderALaterDotOfTheSameCentreAreLeftOut) {
    for (int i = 0; i < 50; ++i) AddReading(50.0f, {100.0f});
    ASSERT_TRUE(Draw(view_));
    EXPECT_EQ(Dots().size(), 3u);
}

TEST(LineTexts, StatusGateAndLevelTexts) {
    EXPECT_EQ(LineStatusText(3, 0), "Number of lines = 3. Current line = 0.");
    EXPECT_EQ(GatePromptText(1),
              "Use arrow keys to set gates. Press Enter to move from first to next gate.");
    EXPECT_EQ(GatePromptText(2),
              "Use arrow keys to set gates. Press Enter to select data between gate.");
    EXPECT_EQ(CurrentLevelLabel(5), "5:0.500mA");
    SetLanguage(kLanguageJapanese);
    EXPECT_EQ(LineStatusText(3, 0), "測線数 = 3. 現在の測線 = 0.") << "the status line follows the language";
    SetLanguage(kLanguageEnglish);
}

}  // namespace
