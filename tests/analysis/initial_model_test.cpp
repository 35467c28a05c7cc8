#include "analysis/initial_model.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/scripted_prompter.h"

namespace {

TEST(LayerBoundaries, ThreeLayersFillTheDepthWithGrowingThickness) {
    const auto b = LayerBoundaries(3, 10.0f);
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[0], 0.0f);
    EXPECT_NEAR(b[1], -10.0 / 2.2, 1e-5);
    EXPECT_FLOAT_EQ(b[2], -10.0f);
}

TEST(LayerBoundaries, TenLayersGrowByOnePointTwo) {
    const auto b = LayerBoundaries(10, 10.0f);
    ASSERT_EQ(b.size(), 10u);
    EXPECT_FLOAT_EQ(b[9], -10.0f);
    for (size_t i = 1; i + 1 < b.size(); ++i)
        EXPECT_NEAR((b[i] - b[i + 1]) / (b[i - 1] - b[i]), 1.2, 1e-5) << i;
}

TEST(LayerBoundaries, OneLayerIsAHalfSpaceFromTheSurface) {
    EXPECT_EQ(LayerBoundaries(1, 10.0f), (std::vector<float>{0.0f}));
    EXPECT_TRUE(LayerBoundaries(0, 10.0f).empty());
}

TEST(ApparentColumn, PendingLayersTakeTheNearestLayerAboveWithRows) {
    const auto c = ApparentColumnLayers({0.5f, 3.0f}, {10.0f, 1000.0f}, {0, -1, -2, -4});
    EXPECT_EQ(c.count, (std::vector<int>{1, 0, 1, 0}));
    EXPECT_FLOAT_EQ(c.value[0], 10.0f);
    EXPECT_FLOAT_EQ(c.value[1], 10.0f);
    EXPECT_FLOAT_EQ(c.value[2], 1000.0f);
    EXPECT_FLOAT_EQ(c.value[3], 1000.0f) << "below the deepest top: the half-space";
}

TEST(ApparentColumn, LayersAboveTheFirstRowsTakeTheFirstValueAndNoRowsGiveMinusOne) {
    const auto c = ApparentColumnLayers({3.0f, 3.5f}, {10.0f, 1000.0f}, {0, -1, -2, -4});
    EXPECT_FLOAT_EQ(c.value[0], 100.0f) << "geometric mean of the layer's rows";
    EXPECT_FLOAT_EQ(c.value[2], 100.0f);
    const auto empty = ApparentColumnLayers({}, {}, {0, -1, -2});
    EXPECT_EQ(empty.value, (std::vector<float>{-1, -1, -1}));
}

class InitialModelStore : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(store.Initialise(3000, 100, 3000, 100)); }
    void AddRow(int c, float observed, float dipole, float n) {
        store.nColumn = std::max(store.nColumn, c + 1);
        const int k = store.nRow[static_cast<size_t>(c)]++;
        store.fObserved[c][k] = observed;
        store.fDipoleSize[c][k] = dipole;
        store.fNFactor[c][k] = n;
    }
    CTrevascDataOhm store;
};

TEST_F(InitialModelStore, WennerAndPolePoleRowsLieAtTheirDipoleSize) {
    AddRow(0, 10.0f, 3.0f, kNFactorWenner);
    AddRow(0, 10.0f, 3.0f, kNFactorPolePole);
    AddRow(0, 10.0f, 1.0f, 2.0f);
    EXPECT_EQ(RowPseudoDepth(store, 0, 0), 3.0f);
    EXPECT_EQ(RowPseudoDepth(store, 0, 1), 3.0f);
    EXPECT_EQ(RowPseudoDepth(store, 0, 2), 0.75f);
    store.bGeneralArray = 1;
    store.pElectrode[0][0] = std::make_unique<FourElectrodeGeometry>();
    store.pElectrode[0][0]->fB = 2.0f;
    store.pElectrode[0][0]->fM = 6.0f;
    store.pElectrode[0][0]->fN = 8.0f;
    EXPECT_EQ(RowPseudoDepth(store, 0, 0), 1.5f);
    EXPECT_EQ(RowPseudoDepth(store, 0, 1), -1.0f) << "a row without its array has no depth";
}

TEST(FillAcrossColumns, GapsComeFromColumnsWithRowsNeverFromEmptyColumns) {
    std::vector<ColumnLayers> c = {
        {{10, 20}, {1, 1}},  // both layers own
        {{30, 30}, {1, 0}},  // layer 1 pending: searches rightwards
        {{-1, -1}, {0, 0}},  // no rows at all
        {{50, 60}, {0, 1}},  // layer 0 pending: searches leftwards
    };
    FillAcrossColumns(c);
    EXPECT_EQ(c[1].value, (std::vector<float>{30, 60})) << "skips the empty column 2";
    EXPECT_EQ(c[2].value, (std::vector<float>{-1, -1}));
    EXPECT_EQ(c[3].value, (std::vector<float>{30, 60}));
    EXPECT_EQ(c[0].value, (std::vector<float>{10, 20}));
}

TEST(FillAcrossColumns, SearchGoesAtMostColumnCountMinusTwoSteps) {
    std::vector<ColumnLayers> c = {
        {{10, 10}, {1, 0}},  // layer 1 pending; the only source is two steps to the right
        {{-1, -1}, {0, 0}},
        {{30, 40}, {1, 1}},
    };
    FillAcrossColumns(c);
    EXPECT_EQ(c[0].value, (std::vector<float>{10, 10})) << "not 40: out of reach, then from above";
}

TEST(FillAcrossColumns, WithoutASourceGapsFillFromTheMiddleLayerOutwards) {
    std::vector<ColumnLayers> c = {
        ApparentColumnLayers({0.5f, 3.0f}, {10.0f, 1000.0f}, {0, -1, -2, -4})};
    FillAcrossColumns(c);
    // Layers 1 and 3 found no other column and were set to -1, then filled: layer 1 from
    // below (upwards from the middle layer 2), layer 3 from above.
    EXPECT_EQ(c[0].value, (std::vector<float>{10, 1000, 1000, 1000}));
}

TEST(FillAcrossColumns, LayersBelowEveryColumnsDataTakeTheDeepestValue) {
    // Short dipoles: every row lies in the upper two of six layers, above the middle layer.
    const std::vector<float> tops = {0, -0.5f, -1, -2, -4, -8};
    std::vector<ColumnLayers> c = {
        ApparentColumnLayers({0.3f, 0.7f}, {100.0f, 10.0f}, tops),
        ApparentColumnLayers({0.2f}, {1000.0f}, tops),
        {{-1, -1, -1, -1, -1, -1}, {0, 0, 0, 0, 0, 0}},  // no rows
    };
    FillAcrossColumns(c);
    EXPECT_EQ(c[0].value, (std::vector<float>{100, 10, 10, 10, 10, 10}));
    EXPECT_EQ(c[1].value, (std::vector<float>{1000, 10, 10, 10, 10, 10}))
        << "layer 1 from column 0, the rest from there down";
    EXPECT_EQ(c[2].value, (std::vector<float>(6, -1.0f)));
}

TEST_F(InitialModelStore, ApparentModeWritesEveryColumnAndKeepsEmptyOnesAtMinusOne) {
    AddRow(0, 10.0f, 0.5f, 1.0f);  // pseudo-depth 0.25
    store.nRow[1] = 0;
    AddRow(2, 40.0f, 0.5f, 1.0f);
    store.nColumn = 3;
    for (int c = 0; c < 3; ++c)
        store.fColumnX[static_cast<size_t>(c)] = 2.0f * static_cast<float>(c);
    CDlgInitialModel v;
    v.nLayer = 3;
    v.fDepth = 10.0f;
    ASSERT_TRUE(BuildInitialModel(store, v));
    EXPECT_EQ(store.nModelColumn, 3);
    EXPECT_EQ(store.nBoundaryColumn, 3);
    EXPECT_EQ(store.nLayer, 3);
    EXPECT_EQ(store.nBoundary, 3);
    EXPECT_EQ(store.fModelColumnX[2], 4.0f);
    EXPECT_EQ(store.fBoundaryX[2][1], 4.0f);
    EXPECT_FLOAT_EQ(store.fBoundaryElevation[1][2], -10.0f);
    for (int j = 0; j < 3; ++j) {
        EXPECT_FLOAT_EQ(store.fLayerResistivity[0][j], 10.0f);
        EXPECT_EQ(store.fLayerResistivity[1][j], -1.0f);
        EXPECT_FLOAT_EQ(store.fLayerResistivity[2][j], 40.0f);
    }
}

TEST_F(InitialModelStore, VerticalModeUsesTheColumnMeanAndZeroWithoutRows) {
    AddRow(0, 10.0f, 1.0f, 1.0f);
    AddRow(0, 1000.0f, 1.0f, 2.0f);
    store.nColumn = 2;
    CDlgInitialModel v;
    v.iMode = kInitialConstantVertical;
    v.nLayer = 1;
    ASSERT_TRUE(BuildInitialModel(store, v));
    EXPECT_FLOAT_EQ(store.fLayerResistivity[0][0], 100.0f);
    EXPECT_EQ(store.fLayerResistivity[1][0], 0.0f);
    EXPECT_EQ(store.fBoundaryElevation[0][0], 0.0f);
}

TEST_F(InitialModelStore, DialogStartsAtTheGeometricMeanAndRejectsOutOfRangeResistivity) {
    AddRow(0, 10.0f, 1.0f, 1.0f);
    AddRow(0, 1000.0f, 1.0f, 2.0f);
    CScriptedPrompter prompter;
    float shown = 0.0f;
    prompter.PushDialog<CDlgInitialModel>([&](CDlgInitialModel& v) {
        shown = v.fResistivity;
        v.iMode = kInitialConstantAll;
        v.fResistivity = 0.05f;
    });
    prompter.PushDialog<CDlgInitialModel>([](CDlgInitialModel& v) { v.fResistivity = 50.0f; });
    ASSERT_TRUE(InitialModel(store, prompter));
    EXPECT_FLOAT_EQ(shown, 100.0f);
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"Please enter a number between 0.1 and 1000000."}));
    EXPECT_EQ(store.nLayer, 10);
    EXPECT_EQ(store.fLayerResistivity[0][9], 50.0f);
}

TEST_F(InitialModelStore, LayerCountOrDepthOutsideTheLimitsIsRefusedAndCancelChangesNothing) {
    AddRow(0, 10.0f, 1.0f, 1.0f);
    CScriptedPrompter prompter;
    prompter.PushDialog<CDlgInitialModel>([](CDlgInitialModel& v) { v.nLayer = 101; });
    prompter.PushDialog<CDlgInitialModel>([](CDlgInitialModel& v) {
        v.nLayer = 5;  // the dialog comes back with the values as entered
        v.fDepth = 0.0f;
    });
    prompter.PushCancel();
    EXPECT_FALSE(InitialModel(store, prompter));
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{
                  "The number of layers must be from 1 to 100: the model holds at most 100 "
                  "layers. Enter a number of layers in that range.",
                  "The depth must be greater than 0 m. Enter a positive depth."}));
    EXPECT_EQ(store.nLayer, 0);
    EXPECT_EQ(store.nModelColumn, 0);
}

TEST_F(InitialModelStore, NoColumnNoModel) {
    CScriptedPrompter prompter;
    EXPECT_FALSE(InitialModel(store, prompter));
    EXPECT_TRUE(prompter.History().empty());
}

}  // namespace
