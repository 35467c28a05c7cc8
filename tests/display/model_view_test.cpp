// The one-dimensional model display on the recording canvas. The graph keeps its defaults:
// x logarithmic from 1 to 100000 Ohm-m at 200 page units per decade, depth 0 to 20 m at 20
// page units per metre, origin (400, 300).
#include "display/model_view.h"

#include <gtest/gtest.h>

#include "common/memory_settings.h"
#include "common/recording_canvas.h"
#include "common/settings.h"

namespace {

constexpr float kHScale = 200.0f;
constexpr float kVScale = 20.0f;
constexpr CColor kLightGreen{150, 255, 150};

class ModelViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        CTrevascDataOhm& s = doc_.store;
        ASSERT_TRUE(s.IsAllocated());
        s.nColumn = 12;
        for (int c = 0; c < s.nColumn; ++c) {
            s.fColumnX[static_cast<size_t>(c)] = 10.0f * static_cast<float>(c);
            s.nRow[static_cast<size_t>(c)] = 3;
            for (int k = 0; k < 3; ++k) {
                s.fDipoleSize[c][k] = 2.0f;
                s.fNFactor[c][k] = static_cast<float>(k + 1);
                s.fObserved[c][k] = 100.0f;
            }
        }
        Layers({2.0f, 3.0f}, {50.0f, 200.0f, 20.0f});
    }
    // The same layers under every column.
    void Layers(std::vector<float> thickness, std::vector<float> rho) {
        CTrevascDataOhm& s = doc_.store;
        s.nLayer = s.nBoundary = static_cast<int>(rho.size());
        s.nModelColumn = s.nBoundaryColumn = s.nColumn;
        for (int c = 0; c < s.nColumn; ++c) {
            float top = 0.0f;
            for (int j = 0; j < s.nLayer; ++j) {
                s.fBoundaryElevation[c][j] = -top;
                s.fLayerResistivity[c][j] = rho[static_cast<size_t>(j)];
                if (j < s.nLayer - 1) top += thickness[static_cast<size_t>(j)];
            }
        }
    }
    bool Draw(int& model) {
        int right = 0, bottom = 0;
        return display_.Draw(canvas_, doc_, model, kHScale, kVScale, right, bottom);
    }
    std::vector<CCanvasRecord> DiscsFilled(CColor c) const {
        std::vector<CCanvasRecord> out;
        for (const auto& r : canvas_.OfKind(CanvasPrimitive::Ellipse))
            if (r.brush.color == c) out.push_back(r);
        return out;
    }

    CBrivaneDoc doc_;
    CModelDisplay display_{0};
    CRecordingCanvas canvas_;
};

TEST_F(ModelViewTest, ModelIsAStepLineOverLightGreenBandsToTheGraphBottom) {
    int model = 0;
    ASSERT_TRUE(Draw(model));
    const auto lines = canvas_.OfKind(CanvasPrimitive::Polyline);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].pen, (CPen{kColorBlack, 4, PenStyle::Solid}));
    // 50, 200 and 20 Ohm-m at 1.699, 2.301 and 1.301 decades; the half-space reaches 20 m.
    EXPECT_EQ(lines[0].points,
              (std::vector<CPoint>{
                  {739, -300}, {739, -340}, {860, -340}, {860, -400}, {660, -400}, {660, -700}}));
    const auto bands = canvas_.OfKind(CanvasPrimitive::Polygon);
    ASSERT_EQ(bands.size(), 3u);
    EXPECT_EQ(bands[0].points,
              (std::vector<CPoint>{{400, -300}, {739, -300}, {739, -340}, {400, -340}}));
    EXPECT_EQ(bands[0].brush.color, kLightGreen);
    EXPECT_EQ(bands[0].pen, kNullPen) << "boundaries only while \"Show layer boundary\" is set";

    display_.bShowLayerBoundary = 1;
    canvas_.Clear();
    ASSERT_TRUE(Draw(model));
    EXPECT_EQ(canvas_.OfKind(CanvasPrimitive::Polygon)[0].pen, kBlackPen);
}

TEST_F(ModelViewTest, LayersDeeperThanTheGraphAreCutAtItsEnd) {
    Layers({15.0f, 10.0f}, {50.0f, 200.0f, 20.0f});
    int model = 0;
    ASSERT_TRUE(Draw(model));
    const auto lines = canvas_.OfKind(CanvasPrimitive::Polyline);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].points.back(), (CPoint{860, -700}));
    EXPECT_EQ(canvas_.OfKind(CanvasPrimitive::Polygon).size(), 2u);
}

TEST_F(ModelViewTest, ResistivityNotAboveZeroIsPlacedAtTheGraphsLeftEdge) {
    Layers({2.0f}, {-1.0f, 200.0f});
    int model = 0;
    ASSERT_TRUE(Draw(model));
    EXPECT_EQ(canvas_.OfKind(CanvasPrimitive::Polyline)[0].points[0], (CPoint{400, -300}));
}

TEST_F(ModelViewTest, ObservationsOfTheShownColumnsAreGreenAndMarkedOnesGetARedDisc) {
    display_.nColumnShown = 5;
    doc_.store.iMarked[3][1] = 1;
    int model = 2;
    ASSERT_TRUE(Draw(model));
    const auto green = DiscsFilled({0, 255, 0});
    ASSERT_EQ(green.size(), 15u);
    EXPECT_EQ(green[0].pen, (CPen{kColorBlack, 3, PenStyle::Solid}));
    // 100 Ohm-m at 2 decades; N 1, a 2 m: 1 m deep.
    EXPECT_EQ(green[0].points, (std::vector<CPoint>{{790, -310}, {810, -330}}));
    const auto red = DiscsFilled({255, 0, 0});
    ASSERT_EQ(red.size(), 1u);
    EXPECT_EQ(red[0].pen, kBlackPen);
    EXPECT_EQ(red[0].points[1].x - red[0].points[0].x, 28);
    EXPECT_NE(canvas_.FindText("Current model = 2. Distance = 20.0 (m) Observed data=2 to 6"),
              nullptr);
    EXPECT_NE(canvas_.FindText("Number of data = 12. Number of layers = 3."), nullptr);
    EXPECT_NE(canvas_.FindText("Dipole-dipole"), nullptr);
    EXPECT_NE(canvas_.FindText("Resistivity model"), nullptr);
}

TEST_F(ModelViewTest, ModelIndexIsKeptWithinTheColumnsShown) {
    display_.nColumnShown = 10;
    EXPECT_EQ(display_.LastModelIndex(doc_), 2);
    int model = 11;
    ASSERT_TRUE(Draw(model));
    EXPECT_EQ(model, 2);
}

TEST_F(ModelViewTest, CalculatedDataAreTheModelsResponseInBlue) {
    Layers({}, {100.0f});
    display_.bShowCalculated = 1;
    int model = 0;
    ASSERT_TRUE(Draw(model));
    const auto blue = DiscsFilled({0, 0, 255});
    ASSERT_EQ(blue.size(), 3u);
    // A homogeneous 100 Ohm-m gives 99.9375 Ohm-m: just left of the 100 Ohm-m line.
    EXPECT_EQ(blue[0].points[0].x + 10, 799);
}

TEST_F(ModelViewTest, ObservationsAndModelOffTheGraphAreClippedAndTheExtentHoldsTheDepthTitle) {
    doc_.store.fObserved[0][0] = 1.0e7f;  // two decades right of the graph
    int model = 0;
    int right = 0, bottom = 0;
    // A short graph: 5 page units per metre, 100 high.
    ASSERT_TRUE(display_.Draw(canvas_, doc_, model, kHScale, 5.0f, right, bottom));
    const auto green = DiscsFilled({0, 255, 0});
    ASSERT_FALSE(green.empty());
    for (const CCanvasRecord& disc : green) {
        ASSERT_TRUE(disc.bClipped);
        EXPECT_EQ(disc.clip[0], (CPoint{400, -300}));
        EXPECT_EQ(disc.clip[1], (CPoint{1400, -400}));
    }
    EXPECT_GT(green[0].points[0].x, 1400) << "the value lies off the graph";
    for (const CCanvasRecord& band : canvas_.OfKind(CanvasPrimitive::Polygon))
        EXPECT_TRUE(band.bClipped);
    // The depth title runs down centred on the frame's middle, longer than the frame is high:
    // the caption goes under it.
    const CCanvasRecord* title = canvas_.FindText("Depth (m)");
    ASSERT_NE(title, nullptr);
    EXPECT_NEAR((title->box.top + title->box.bottom) / 2, -(300 + 50), 1);
    EXPECT_LT(title->box.bottom, -400) << "longer than the frame";
    EXPECT_GE(bottom, -title->box.bottom);
}

TEST(ObservationDepth, WennerAndPolePoleRowsLieAtTheirDipoleSize) {
    SoundingRow row;
    row.fDipoleSize = 4.0f;
    row.fNFactor = 3.0f;
    EXPECT_FLOAT_EQ(ObservationDepth(row), 4.0f);
    row.fNFactor = 0.0f;
    EXPECT_FLOAT_EQ(ObservationDepth(row), 4.0f);
    row.fNFactor = -1.0f;
    EXPECT_FLOAT_EQ(ObservationDepth(row), 4.0f);
    row.fNFactor = 5.0f;
    EXPECT_FLOAT_EQ(ObservationDepth(row), 6.0f);
}

TEST_F(ModelViewTest, ClickTogglesTheMarksOfObservationsCloserThanTenUnits) {
    display_.nColumnShown = 1;
    // Column 0's rows at 100 Ohm-m are 1, 1.5 and 2 m deep: (800, -320), (800, -330), (800, -340).
    EXPECT_EQ(display_.MarkObservations(doc_, 0, kHScale, kVScale, 809, -321), 2);
    EXPECT_EQ(doc_.store.iMarked[0][0], 1);
    EXPECT_EQ(doc_.store.iMarked[0][1], 1);
    EXPECT_EQ(doc_.store.iMarked[0][2], 0);
    EXPECT_EQ(display_.MarkObservations(doc_, 0, kHScale, kVScale, 800, -320), 1);
    EXPECT_EQ(doc_.store.iMarked[0][0], 0);
    EXPECT_EQ(display_.MarkObservations(doc_, 0, kHScale, kVScale, 810, -340), 0);
}

TEST(ModelViewAveraged, OneDimensionalSurveyShowsItsAveragedSoundingAsOneColumn) {
    CBrivaneDoc doc;
    doc.sounding.bPresent = 1;
    for (int j = 0; j < 3; ++j) {
        CSoundingPoint p;
        p.fResistivity = 100.0f * static_cast<float>(j + 1);
        p.fHalfDipole = 1.25f;
        p.fNFactor = 5.0f + static_cast<float>(j);
        doc.sounding.points.push_back(p);
    }
    CModelDisplay display(0);
    CRecordingCanvas canvas;
    int model = 0, right = 0, bottom = 0;
    ASSERT_TRUE(display.Draw(canvas, doc, model, kHScale, kVScale, right, bottom));
    EXPECT_NE(canvas.FindText("Number of data = 1. Number of layers = 10."), nullptr);
    EXPECT_EQ(canvas.OfKind(CanvasPrimitive::Polyline).size(), 1u) << "the inverted model";
    int green = 0;
    for (const auto& r : canvas.OfKind(CanvasPrimitive::Ellipse))
        green += r.brush.color == CColor{0, 255, 0};
    EXPECT_EQ(green, 3);
    // The first point: 100 Ohm-m, (5 + 1) x 1.25 / 4 = 1.875 m deep.
    EXPECT_EQ(display.MarkObservations(doc, 0, kHScale, kVScale, 800, -337), 1);
    EXPECT_EQ(doc.sounding.points[0].bMarked, 1);
}

TEST(ModelViewAveraged, NothingToShowDrawsNothing) {
    CBrivaneDoc doc;
    CModelDisplay display(0);
    CRecordingCanvas canvas;
    int model = 0, right = 0, bottom = 0;
    EXPECT_FALSE(display.Draw(canvas, doc, model, kHScale, kVScale, right, bottom));
    EXPECT_TRUE(canvas.Records().empty());
}

TEST(ModelGraph, DescriptionIsKeptInTheSettingsBetweenRuns) {
    CMemorySettingsBackend memory;
    SetSettingsBackend(&memory);
    {
        CModelGraph graph;
        graph.axes.bXLog = 0;
        graph.axes.fXStart = 10.0f;
        graph.axes.fXEnd = 500.0f;
        graph.axes.fXInterval = 50.0f;
        graph.axes.fYEnd = 30.0f;
        graph.Save();
    }
    EXPECT_EQ(ReadSettingString("xe", ""), "500.000000");
    EXPECT_EQ(ReadSettingInt("bXAxisLog", 1), 0);
    CModelGraph graph;
    graph.Load();
    EXPECT_EQ(graph.axes.bXLog, 0);
    EXPECT_FLOAT_EQ(graph.axes.fXStart, 10.0f);
    EXPECT_FLOAT_EQ(graph.axes.fXInterval, 50.0f);
    EXPECT_FLOAT_EQ(graph.axes.fYEnd, 30.0f);
    EXPECT_FLOAT_EQ(graph.fXEndLog, 5.0f) << "the logarithmic range is kept for later";
    SetSettingsBackend(nullptr);
}

}  // namespace
