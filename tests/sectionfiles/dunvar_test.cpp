#include "sectionfiles/dunvar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "common/language.h"
#include "common/scripted_prompter.h"
#include "common/text_format.h"
#include "tests/sectionfiles/section_test_support.h"

namespace {

using sectiontest::Crlf;
using sectiontest::ReadText;
using sectiontest::TempFolder;

class Dunvar : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(kLanguageEnglish);
        ASSERT_TRUE(store.Initialise(300, 100, 300, 10));
    }
    // Appends a column at x with one dipole-dipole row per N-factor.
    void AddColumn(float x, std::initializer_list<float> nFactors, float a = 2.5f,
                   float observed = 100.0f) {
        const int c = store.nColumn++;
        store.fColumnX[c] = x;
        int k = 0;
        for (float N : nFactors) {
            store.fDipoleSize[c][k] = a;
            store.fNFactor[c][k] = N;
            store.fObserved[c][k] = observed;
            store.fCalculated[c][k] = 0.0f;
            ++k;
        }
        store.nRow[c] = k;
    }
    // A two-layer model column at x: tops at 0 and `depth`, resistivities rho0 and rho1.
    void AddModelColumn(float x, float depth, float rho0, float rho1) {
        const int m = store.nModelColumn++;
        store.nBoundaryColumn = store.nModelColumn;
        store.nLayer = store.nBoundary = 2;
        store.fBoundaryX[m][0] = store.fBoundaryX[m][1] = x;
        store.fBoundaryElevation[m][0] = 0.0f;
        store.fBoundaryElevation[m][1] = depth;
        store.fLayerResistivity[m][0] = rho0;
        store.fLayerResistivity[m][1] = rho1;
    }
    DunvarBuildResult Build(int mode) {
        return BuildDunvarDataSet(store, mode, set, prompter, folder / "SetData.txt");
    }

    TempFolder folder;
    CTrevascDataOhm store;
    DunvarDataSet set;
    CScriptedPrompter prompter;
};

TEST_F(Dunvar, RowBecomesFourElectrodesAndItsGeometricFactor) {
    AddColumn(50.0f, {3.0f});
    ASSERT_EQ(Build(kDunvarModeData).status, DunvarStatus::Ok);
    EXPECT_EQ(set.electrodes, (std::vector<float>{43.75f, 46.25f, 53.75f, 56.25f}));
    ASSERT_EQ(set.data.size(), 1u);
    EXPECT_NEAR(set.data[0].fK, 471.24f, 0.005f);
    EXPECT_EQ(set.data[0].c1, 1);
    EXPECT_EQ(set.data[0].p2, 4);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"Number of data=1 \nNumber of electrode=4 \nNumber of "
                                       "topography point=3 \nNumber of N space=1"});
}

TEST_F(Dunvar, TopographyTakesEverySecondElectrodeAndTheLast) {
    for (float x : {50.0f, 52.5f, 55.0f, 57.5f, 60.0f}) AddColumn(x, {3.0f});
    ASSERT_EQ(Build(kDunvarModeData).status, DunvarStatus::Ok);
    ASSERT_EQ(set.electrodes.size(), 10u);
    EXPECT_EQ(set.topographyX,
              (std::vector<float>{43.75f, 48.75f, 53.75f, 58.75f, 63.75f, 66.25f}));
    EXPECT_EQ(set.fSpacing, 5.0f);
}

TEST_F(Dunvar, ValueBlocksBreakAfterEveryEighthValue) {
    const std::vector<float> eight(8, 1.0f);
    const std::string line =
        "    1.00     1.00     1.00     1.00     1.00     1.00     1.00     1.00 \n";
    EXPECT_EQ(DunvarValueBlock(eight, false), line);
    EXPECT_EQ(DunvarValueBlock(eight, true), line + "\n");
    EXPECT_EQ(DunvarValueBlock(std::vector<float>(9, 1.0f), false), line + "    1.00 \n");
    EXPECT_EQ(DunvarValueBlock({}, false), "");
    EXPECT_EQ(DunvarValueBlock({}, true), "\n");
}

TEST_F(Dunvar, DataFileLayout) {
    AddColumn(50.0f, {3.0f});
    ASSERT_EQ(Build(kDunvarModeData).status, DunvarStatus::Ok);
    ASSERT_TRUE(WriteDunvarST1(set, folder / "a.st1"));
    EXPECT_EQ(ReadText(folder / "a.st1"),
              Crlf("Gantrel\n1\n3\n"
                   "   43.75    53.75    56.25 \n"
                   "    0.00     0.00     0.00 \n"
                   "    0.00     0.00     0.00 \n"
                   "-1000000.00  -1000000.00      0.00\n"
                   "1000000.00  1000000.00      0.00\n"
                   "4\t1\t   10.00\t   43.75\n"
                   "   1     43.75      0.00      0.00\n"
                   "   2     46.25      0.00      0.00\n"
                   "   3     53.75      0.00      0.00\n"
                   "   4     56.25      0.00      0.00\n"
                   "1\n"
                   "  1    2    3    4      0.2122     0.001     1.000     1.000\n"));
    EXPECT_EQ(ReadText(folder / "SetData.txt"), Crlf("43.750000\n53.750000\n56.250000\n"));
}

TEST_F(Dunvar, ModelFileLayoutWithAZeroCalculatedValue) {
    AddColumn(50.0f, {3.0f});
    AddModelColumn(50.0f, -5.0f, 100.0f, 300.0f);
    ASSERT_EQ(Build(kDunvarModeModel).status, DunvarStatus::Ok);
    ASSERT_TRUE(WriteDunvarST4(set, folder / "a.st4"));
    const std::string x = "   43.75    53.75    56.25 \n";
    const std::string zero = "    0.00     0.00     0.00 \n";
    EXPECT_EQ(ReadText(folder / "a.st4"),
              Crlf("Gantrel\n4\n3\n" + x + zero + zero +
                   "-1000000.00  -1000000.00      0.00\n"
                   "1000000.00  1000000.00      0.00\n"
                   "4\t1\t   10.00\t   43.75\n"
                   "   1     43.75      0.00      0.00\n"
                   "   2     46.25      0.00      0.00\n"
                   "   3     53.75      0.00      0.00\n"
                   "   4     56.25      0.00      0.00\n"
                   "1\n"
                   "  1    2    3    4      0.2122     0.001     1.000     1.000     471.239      "
                   "0.0100    -95.29  0  0\n"
                   "3  2\n" +
                   x + x + zero + zero + zero + "   -5.00    -5.00    -5.00 \n" +
                   "  100.00   100.00 \n"));
}

TEST_F(Dunvar, MeshNodesTakeTheNearestModelColumnAndTheFirstOfEquals) {
    AddColumn(50.0f, {3.0f});
    AddModelColumn(48.75f, -5.0f, 100.0f, 300.0f);
    AddModelColumn(58.75f, -7.0f, 200.0f, 400.0f);
    ASSERT_EQ(Build(kDunvarModeModel).status, DunvarStatus::Ok);
    // Points 43.75, 53.75 (5 m from both columns) and 56.25.
    EXPECT_EQ(set.nodeElevation, (std::vector<float>{0.0f, 0.0f, 0.0f, -5.0f, -5.0f, -7.0f}));
    EXPECT_EQ(set.cellResistivity, (std::vector<float>{100.0f, 100.0f}));
    EXPECT_EQ(ReadText(folder / "SetData.txt"),
              Crlf("43.750000\n53.750000\n56.250000\n48.750000\n,58.750000\n,"));
}

TEST_F(Dunvar, PositionWithoutElectrodeIsRefusedWithTheTwoMessages) {
    AddColumn(50.0f, {3.0f});
    AddColumn(NAN, {3.0f});
    const DunvarBuildResult r = Build(kDunvarModeData);
    EXPECT_EQ(r.status, DunvarStatus::ElectrodeUnassigned);
    EXPECT_EQ(r.iDatum, 1);
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"Number of data=2 \nNumber of electrode=4 \nNumber of "
                                        "topography point=3 \nNumber of N space=1",
                                        " electrode location error (1)",
                                        " c1 =    0 c2 =    0 p1 =    0 p2 =    0"}));
}

TEST_F(Dunvar, RowsThatAreNotDipoleDipoleAreRefused) {
    AddColumn(50.0f, {3.0f, 0.0f});
    const DunvarBuildResult r = Build(kDunvarModeData);
    EXPECT_EQ(r.status, DunvarStatus::NotDipoleDipole);
    EXPECT_EQ(r.iRow, 1);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"Row 2 of column 1 (N-factor 0) is not a dipole-dipole "
                                       "array; the section cannot be written as dipole-dipole "
                                       "data."});
}

TEST_F(Dunvar, EmptySectionAndMissingModelAreRefused) {
    EXPECT_EQ(Build(kDunvarModeData).status, DunvarStatus::NoData);
    AddColumn(50.0f, {3.0f});
    EXPECT_EQ(Build(kDunvarModeModel).status, DunvarStatus::NoModel);
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{
                  "There is no section data to save.",
                  "There is no resistivity model to save. Make the initial model first."}));
}

TEST_F(Dunvar, ElectrodeListStopsAtItsCapacity) {
    for (int c = 0; c < 251; ++c) {
        const int col = store.nColumn++;
        store.fColumnX[col] = 1000.0f * static_cast<float>(c);
        store.nRow[col] = 100;
        for (int k = 0; k < 100; ++k) {
            // Four new electrodes per row; 100 N-factors, as many as the list holds.
            store.fDipoleSize[col][k] = 0.5f;
            store.fNFactor[col][k] = 1.0f + 20.0f * static_cast<float>(k);
            store.fObserved[col][k] = 10.0f;
        }
    }
    const DunvarBuildResult r = Build(kDunvarModeData);
    EXPECT_EQ(r.status, DunvarStatus::TooManyElectrodes);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"The section needs more than 100000 electrode positions."});
    EXPECT_EQ(set.electrodes.size(), 100000u);
}

TEST_F(Dunvar, ElectrodeListMatchesTheLinearDistinctInsertion) {
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> step(0, 400);
    std::vector<float> expected;
    for (int c = 0; c < 200; ++c) {
        // Positions on a 0.005 m grid, so many fall within the tolerance of another.
        AddColumn(0.005f * static_cast<float>(step(rng)), {1.0f, 3.0f},
                  0.005f * static_cast<float>(1 + step(rng) % 7));
    }
    for (int c = 0; c < store.nColumn; ++c)
        for (int k = 0; k < store.nRow[c]; ++k) {
            const float X = store.fColumnX[c], a = store.fDipoleSize[c][k],
                        N = store.fNFactor[c][k];
            const float half = a * N / 2.0f;
            for (float e : {X - half - a, X - half, X + half, X + half + a})
                InsertDistinct(expected, e);
        }
    ASSERT_EQ(Build(kDunvarModeData).status, DunvarStatus::Ok);
    EXPECT_EQ(set.electrodes, expected);
}

}  // namespace
