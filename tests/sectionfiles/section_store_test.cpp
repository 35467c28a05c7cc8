#include "sectionfiles/section_store.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>

namespace {

class SectionStore : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(store.Initialise(3000, 100, 3000, 100, 1, 1)); }
    CTrevascDataOhm store;
};

TEST_F(SectionStore, InitialiseLeavesAnEmptyStoreAtItsCapacities) {
    EXPECT_EQ(store.nColumn, 0);
    EXPECT_EQ(store.nBoundaryColumn, 0);
    EXPECT_EQ(store.nBoundary, 0);
    EXPECT_EQ(store.nLayer, 0);
    EXPECT_EQ(store.nModelColumn, 0);
    EXPECT_EQ(store.iDataType, 0);
    EXPECT_EQ(store.fCellSize, 1.0f);
    EXPECT_EQ(store.MaxColumn(), 3000);
    EXPECT_EQ(store.MaxRow(), 100);
    // One spare row and column.
    EXPECT_EQ(store.fObserved.Rows(), 3000);
    EXPECT_EQ(store.fObserved.Columns(), 100);
    EXPECT_EQ(store.fLayerResistivity.Columns(), 100);
    for (int c = 0; c <= 3000; ++c)
        for (int k = 0; k <= 100; ++k) ASSERT_EQ(store.pElectrode[c][k], nullptr);
}

TEST_F(SectionStore, EmptyRangesKeepTheirStartingValues) {
    float lo = 0, hi = 0;
    store.ColumnRange(lo, hi);
    EXPECT_EQ(lo, 1.0e7f);
    EXPECT_EQ(hi, -1.0e7f);
    store.ResistivityRange(lo, hi);
    EXPECT_EQ(lo, 100000.0f);
    EXPECT_EQ(hi, 0.0f);
}

TEST_F(SectionStore, RangesLookOnlyAtCountedEntries) {
    store.nColumn = 2;
    store.fColumnX[0] = 5.0f;
    store.fColumnX[1] = -3.0f;
    store.fColumnX[2] = 1000.0f;  // stale
    store.nModelColumn = 1;
    store.nLayer = 2;
    store.fLayerResistivity[0][0] = 20.0f;
    store.fLayerResistivity[0][1] = 300.0f;
    store.fLayerResistivity[1][0] = 1.0f;  // stale column
    float lo = 0, hi = 0;
    store.ColumnRange(lo, hi);
    EXPECT_EQ(lo, -3.0f);
    EXPECT_EQ(hi, 5.0f);
    store.ResistivityRange(lo, hi);
    EXPECT_EQ(lo, 20.0f);
    EXPECT_EQ(hi, 300.0f);
}

TEST_F(SectionStore, CopyIsIndependentAndLeavesOutElectrodesAndPositions) {
    store.nColumn = 1;
    store.nRow[0] = 1;
    store.fObserved[0][0] = 50.0f;
    store.pElectrode[0][0] = std::make_unique<FourElectrodeGeometry>();
    store.nModelColumn = store.nBoundaryColumn = 1;
    store.nLayer = store.nBoundary = 2;
    store.fLayerResistivity[0][0] = 10.0f;
    store.fLayerResistivity[0][1] = 20.0f;
    store.fBoundaryElevation[0][1] = -3.0f;
    store.fModelColumnX[0] = 7.0f;
    store.fCellSize = 2.5f;

    CTrevascDataOhm copy;
    ASSERT_TRUE(copy.Initialise(3000, 100, 3000, 100));
    copy.CopyFrom(store);
    EXPECT_EQ(copy.fObserved[0][0], 50.0f);
    EXPECT_EQ(copy.fBoundaryElevation[0][1], -3.0f);
    EXPECT_EQ(copy.fLayerResistivity[0][1], 20.0f);
    EXPECT_EQ(copy.pElectrode[0][0], nullptr);
    EXPECT_EQ(copy.fModelColumnX[0], 0.0f);
    EXPECT_EQ(copy.fCellSize, 1.0f);

    copy.fLayerResistivity[0][0] = 99.0f;
    EXPECT_EQ(store.fLayerResistivity[0][0], 10.0f);
}

TEST_F(SectionStore, RemovingMarkedRowsMovesTheLaterRowsUpWithTheirArrays) {
    store.nColumn = 2;
    store.nRow[0] = 4;
    for (int k = 0; k < 4; ++k) {
        store.fObserved[0][k] = 10.0f * static_cast<float>(k + 1);
        store.fDipoleSize[0][k] = static_cast<float>(k + 1);
        store.nAveraged[0][k] = k + 1;
        store.pElectrode[0][k] = std::make_unique<FourElectrodeGeometry>();
        store.pElectrode[0][k]->fA = static_cast<float>(k);
    }
    store.iMarked[0][0] = store.iMarked[0][2] = 1;
    store.nRow[1] = 1;
    store.fObserved[1][0] = 5.0f;
    store.iMarked[1][0] = 1;

    EXPECT_EQ(store.RemoveMarkedRows(), 3);
    ASSERT_EQ(store.nRow[0], 2);
    EXPECT_EQ(store.fObserved[0][0], 20.0f);
    EXPECT_EQ(store.fObserved[0][1], 40.0f);
    EXPECT_EQ(store.fDipoleSize[0][1], 4.0f);
    EXPECT_EQ(store.nAveraged[0][0], 2);
    ASSERT_NE(store.pElectrode[0][1], nullptr);
    EXPECT_EQ(store.pElectrode[0][0]->fA, 1.0f) << "each row keeps its own array";
    EXPECT_EQ(store.pElectrode[0][1]->fA, 3.0f);
    EXPECT_EQ(store.pElectrode[0][2], nullptr) << "the slots left behind hold nothing";
    EXPECT_EQ(store.pElectrode[0][3], nullptr);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(store.iMarked[0][k], 0) << k;
    EXPECT_EQ(store.nRow[1], 0) << "a column may lose every row";
    EXPECT_EQ(store.RemoveMarkedRows(), 0);
}

TEST(SectionStoreCapacity, ImpossibleCapacityIsRefusedWithoutAllocating) {
    CTrevascDataOhm store;
    EXPECT_FALSE(store.Initialise(INT_MAX, INT_MAX, 3000, 100));
    EXPECT_FALSE(store.IsAllocated());
    EXPECT_EQ(store.MaxColumn(), 0);
    EXPECT_FALSE(store.Initialise(0, 100, 3000, 100));
    // A refused store can still be made usable.
    EXPECT_TRUE(store.Initialise(10, 5, 10, 5));
    EXPECT_TRUE(store.IsAllocated());
}

TEST(BlockMatrix, HasASpareRowAndColumnOfZeros) {
    CBlockMatrix<float> m;
    ASSERT_TRUE(AllocMatrix(m, 3, 2));
    EXPECT_EQ(m.Rows(), 3);
    EXPECT_EQ(m.Columns(), 2);
    for (int i = 0; i <= 3; ++i)
        for (int j = 0; j <= 2; ++j) EXPECT_EQ(m[i][j], 0.0f);
    m[3][2] = 1.0f;
    EXPECT_EQ(m.Data()[4 * 3 - 1], 1.0f) << "one contiguous row-major block";
}

TEST(BlockMatrix, SizeBeyondAnyMemoryIsRefusedAndKeepsTheOldBlock) {
    CBlockMatrix<double> m;
    ASSERT_TRUE(AllocMatrixDouble(m, 1, 1));
    m[1][1] = 4.0;
    EXPECT_FALSE(AllocMatrixDouble(m, INT_MAX, INT_MAX));  // byte count overflows
    EXPECT_FALSE(AllocMatrixDouble(m, 1 << 30, 1 << 10));  // 8 TiB
    EXPECT_FALSE(AllocMatrixDouble(m, -1, 3));
    EXPECT_EQ(m.Rows(), 1);
    EXPECT_EQ(m[1][1], 4.0);
}

}  // namespace
