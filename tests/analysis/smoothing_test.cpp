#include "analysis/smoothing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(DistinctMedian, ValuesWithinTheToleranceCountOnce) {
    EXPECT_FLOAT_EQ(DistinctMedian(std::vector<float>{10.0f, 10.005f, 50.0f}), 30.0f);
    EXPECT_FLOAT_EQ(DistinctMedian(std::vector<float>{50.0f, 10.0f, 20.0f}), 20.0f);
    EXPECT_FLOAT_EQ(DistinctMedian(std::vector<float>{5.0f, 1.0f, 3.0f, 7.0f}), 4.0f);
}

TEST(DistinctMedian, NegativeValuesAreLeftOut) {
    EXPECT_FLOAT_EQ(DistinctMedian(std::vector<float>{-1.0f, 10.0f, 30.0f}), 20.0f);
    EXPECT_FLOAT_EQ(DistinctMedian(std::vector<float>{-1.0f, -1.0f}), -0.1f);
    EXPECT_FLOAT_EQ(DistinctMedian(std::vector<float>{}), -0.1f);
}

TEST(MedianFilterDialog, StartsAtSevenPoints) {
    CDlgMedianFilter d;
    EXPECT_EQ(d.iLength, 7);
    EXPECT_EQ(d.DialogName(), "Median filter");
    EXPECT_EQ(CDlgMedianFilter::GroupText(), "Filter length");
    EXPECT_EQ(CDlgMedianFilter::ButtonText(3), "3 points");
}

class ModelSmoothing : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(store.Initialise(3000, 100, 3000, 100)); }
    // values[c][j]: layer j of column c.
    void SetModel(const std::vector<std::vector<float>>& values) {
        store.nModelColumn = store.nBoundaryColumn = static_cast<int>(values.size());
        store.nLayer = store.nBoundary = static_cast<int>(values[0].size());
        for (size_t c = 0; c < values.size(); ++c)
            for (size_t j = 0; j < values[c].size(); ++j)
                store.fLayerResistivity[static_cast<int>(c)][j] = values[c][j];
    }
    std::vector<float> Layer(int j) const {
        std::vector<float> v;
        for (int c = 0; c < store.nModelColumn; ++c) v.push_back(store.fLayerResistivity[c][j]);
        return v;
    }
    CTrevascDataOhm store;
};

TEST_F(ModelSmoothing, HorizontalAverageWeighsTheCentreTwice) {
    SetModel({{10.0f}, {20.0f}, {40.0f}});
    HorizontalMovingAverage(store);
    const auto v = Layer(0);
    EXPECT_FLOAT_EQ(v[0], 40.0f / 3.0f);
    EXPECT_FLOAT_EQ(v[1], 22.5f);
    EXPECT_FLOAT_EQ(v[2], 100.0f / 3.0f);
}

TEST_F(ModelSmoothing, VerticalAverageKeepsTheHalfSpace) {
    SetModel({{10.0f, 20.0f, 40.0f}});
    VerticalMovingAverage(store);
    EXPECT_FLOAT_EQ(store.fLayerResistivity[0][0], 40.0f / 3.0f);
    EXPECT_FLOAT_EQ(store.fLayerResistivity[0][1], 22.5f);
    EXPECT_EQ(store.fLayerResistivity[0][2], 40.0f);

    SetModel({{10.0f}, {30.0f}});
    VerticalMovingAverage(store);
    EXPECT_EQ(Layer(0), (std::vector<float>{10.0f, 30.0f})) << "one layer is left alone";
}

TEST_F(ModelSmoothing, MovingAveragesTakeMissingColumnsAsTheyAre) {
    SetModel({{-1.0f}, {20.0f}, {40.0f}});
    HorizontalMovingAverage(store);
    EXPECT_FLOAT_EQ(store.fLayerResistivity[0][0], 18.0f / 3.0f);
    EXPECT_FLOAT_EQ(store.fLayerResistivity[1][0], 19.75f);
}

TEST_F(ModelSmoothing, MedianWindowIsCutAtTheEnds) {
    // A 7-point window at column 0 holds columns 0..3 only: 100, 1, 2, 3 -> 2.5.
    SetModel({{100.0f}, {1.0f}, {2.0f}, {3.0f}, {400.0f}, {500.0f}, {600.0f}, {700.0f}});
    HorizontalMedianFilter(store, 7);
    EXPECT_FLOAT_EQ(store.fLayerResistivity[0][0], 2.5f);
}

TEST_F(ModelSmoothing, MedianRunsInPlaceAndSkipsMissingColumns) {
    SetModel({{10.0f, 1.0f}, {-1.0f, 1.0f}, {50.0f, 1.0f}, {20.0f, 1.0f}, {90.0f, 1.0f}});
    HorizontalMedianFilter(store, 3);
    // Column 0: {10} (the -1 stays out) -> 10; column 1 stays -1; column 2: {50, 20} -> 35;
    // column 3 sees the filtered 35: {35, 20, 90} -> 35; column 4: {35, 90} -> 62.5.
    EXPECT_EQ(Layer(0), (std::vector<float>{10.0f, -1.0f, 35.0f, 35.0f, 62.5f}));
    EXPECT_EQ(Layer(1), (std::vector<float>(5, 1.0f)));
}

}  // namespace
