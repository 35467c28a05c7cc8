#include "display/disc_filter.h"

#include <gtest/gtest.h>

namespace {

using Indexes = std::vector<std::uint32_t>;

TEST(VisibleDiscs, LaterDiscOfSameCentreAndRadiusHidesTheEarlierOne) {
    const std::vector<CDiscDraw> discs = {
        {10, -10, 10, 0}, {30, -10, 10, 1}, {10, -10, 10, 2}, {50, -10, 10, 3}};
    // Disc 0 is covered by disc 2; the others keep their order.
    EXPECT_EQ(VisibleDiscs(discs), (Indexes{1, 2, 3}));
}

TEST(VisibleDiscs, SmallerLaterDiscLeavesTheEarlierRingVisible) {
    const std::vector<CDiscDraw> discs = {{0, 0, 14, 0}, {0, 0, 10, 1}, {0, 0, 14, 2}};
    // The 14 over the 10 hides both earlier discs; a 10 over a 14 would not.
    EXPECT_EQ(VisibleDiscs(discs), (Indexes{2}));
    EXPECT_EQ(VisibleDiscs({{0, 0, 14, 0}, {0, 0, 10, 1}}), (Indexes{0, 1}));
}

TEST(VisibleDiscs, CentresFarApartGiveTheSameAnswerAsCentresClose) {
    // Spread over more page cells than the dense grid takes: the map does the same job.
    const std::vector<CDiscDraw> discs = {
        {-900000, 900000, 6, 0}, {900000, -900000, 6, 1}, {-900000, 900000, 6, 2}};
    EXPECT_EQ(VisibleDiscs(discs), (Indexes{1, 2}));
    EXPECT_TRUE(VisibleDiscs({}).empty());
}

}  // namespace
