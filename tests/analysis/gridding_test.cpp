#include "analysis/gridding.h"

#include <gtest/gtest.h>

#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "survey_builder.h"

namespace {

struct P {
    float x, rho, a = 1.25f, n = 1.0f, depth = 1.0f;
};

// A dipole-mode section with its row kinds built as the classification builds them.
PseudoSection DipoleSection(std::initializer_list<P> points) {
    PseudoSection s;
    bool first = true;
    for (const auto& q : points) {
        PseudoSectionPoint p;
        p.fPosition = q.x;
        p.fResistivity = q.rho;
        p.fDipoleSize = q.a;
        p.fNFactor = q.n;
        p.fDepth = q.depth;
        s.points.push_back(p);
        InsertDistinct(s.dipoleSizes, q.a);
        s.fMinPosition = first ? q.x : std::min(s.fMinPosition, q.x);
        s.fMaxPosition = first ? q.x : std::max(s.fMaxPosition, q.x);
        first = false;
    }
    CScriptedPrompter quiet;
    EXPECT_EQ(ClassifyRowKinds(s, quiet), PseudoSectionStatus::Ok);
    return s;
}

class Gridding : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(store.Initialise(3000, 100, 3000, 100)); }
    CTrevascDataOhm store;
};

TEST_F(Gridding, ColumnsSpanTheExtremesWithCentresHalfACellIn) {
    const auto s = DipoleSection({{0.0f, 10.0f}, {10.0f, 30.0f}});
    ASSERT_EQ(GridPseudoSection(s, 1.0f, store).status, GriddingStatus::Ok);
    ASSERT_EQ(store.nColumn, 11);
    EXPECT_EQ(store.fColumnX[0], 0.5f);
    EXPECT_EQ(store.fColumnX[10], 10.5f);
    EXPECT_EQ(store.nRow[10], 1);
    EXPECT_EQ(store.fObserved[10][0], 30.0f) << "the point at the maximum is in the last column";
    EXPECT_EQ(store.fCellSize, 1.0f);
}

TEST_F(Gridding, PointsOfOneCellAreAveraged) {
    const auto s = DipoleSection({{0.0f, 1.0f}, {2.1f, 10.0f}, {2.4f, 20.0f}, {2.9f, 60.0f}});
    ASSERT_EQ(GridPseudoSection(s, 1.0f, store).status, GriddingStatus::Ok);
    EXPECT_EQ(store.nAveraged[2][0], 3);
    EXPECT_FLOAT_EQ(store.fObserved[2][0], 30.0f);
    EXPECT_EQ(store.nRow[1], 0) << "a column without data keeps only its position";
    EXPECT_EQ(store.fColumnX[1], 1.5f);
}

TEST_F(Gridding, ZeroResistivityOrNegativeDepthDoesNotCount) {
    const auto s = DipoleSection(
        {{0.0f, 0.0f}, {0.2f, 40.0f, 1.25f, 1.0f, -0.5f}, {0.4f, 8.0f}, {1.5f, -3.0f}});
    ASSERT_EQ(GridPseudoSection(s, 1.0f, store).status, GriddingStatus::Ok);
    EXPECT_EQ(store.nAveraged[0][0], 1);
    EXPECT_EQ(store.fObserved[0][0], 8.0f);
    EXPECT_EQ(store.nRow[1], 0);
}

TEST_F(Gridding, RowsAreCompactedInRowKindOrder) {
    const auto s = DipoleSection({{0.0f, 5.0f, 1.25f, 1.0f}, {1.5f, 7.0f, 1.25f, 2.0f}});
    ASSERT_EQ(s.RowKindCount(), 2);
    store.iMarked[1][0] = 1;  // marked on the previous section
    ASSERT_EQ(GridPseudoSection(s, 1.0f, store).status, GriddingStatus::Ok);
    ASSERT_EQ(store.nRow[1], 1);
    EXPECT_EQ(store.fNFactor[1][0], 2.0f);
    EXPECT_EQ(store.fDipoleSize[1][0], 1.25f);
    EXPECT_EQ(store.fObserved[1][0], 7.0f);
    EXPECT_EQ(store.iMarked[1][0], 0) << "a new row starts unmarked";
}

TEST_F(Gridding, GeneralRowsGetTheirArrayAndTheCentresMustDiffer) {
    PseudoSection s;
    s.bGeneralArray = 1;
    FourElectrodeGeometry good, coincident;
    good.fB = 2.5f;
    good.fM = 4.375f;
    good.fN = 5.625f;
    coincident.fA = -1.0f;
    coincident.fB = 1.0f;
    coincident.fM = -3.0f;
    coincident.fN = 3.0f;  // both centres at 0
    for (const auto& e : {good, coincident}) {
        PseudoSectionPoint p;
        p.array = ArrayFromPositions(e);
        p.fResistivity = 12.0f;
        s.points.push_back(p);
    }
    CScriptedPrompter quiet;
    ASSERT_EQ(ClassifyRowKinds(s, quiet), PseudoSectionStatus::Ok);
    ASSERT_EQ(GridPseudoSection(s, 1.0f, store).status, GriddingStatus::Ok);
    EXPECT_EQ(store.bGeneralArray, 1);
    ASSERT_EQ(store.nRow[0], 1);
    ASSERT_NE(store.pElectrode[0][0], nullptr);
    EXPECT_EQ(store.pElectrode[0][0]->fM, 4.375f);
    EXPECT_EQ(store.pElectrode[0][1], nullptr);

    // A later dipole-mode gridding leaves no geometry behind.
    ASSERT_EQ(GridPseudoSection(DipoleSection({{0.0f, 5.0f}}), 1.0f, store).status,
              GriddingStatus::Ok);
    EXPECT_EQ(store.bGeneralArray, 0);
    EXPECT_EQ(store.pElectrode[0][0], nullptr);
}

TEST_F(Gridding, CellSizeNeedingMoreThan3000ColumnsIsRefusedAndStoreKept) {
    store.nColumn = 4;
    const auto s = DipoleSection({{0.0f, 1.0f}, {300.0f, 1.0f}});
    const GriddingResult r = GridPseudoSection(s, 0.1f, store);
    ASSERT_EQ(r.status, GriddingStatus::TooManyColumns);
    EXPECT_EQ(store.nColumn, 4);
    EXPECT_EQ(GriddingMessage(r, 0.1f, store),
              "A horizontal cell size of 0.1 m needs 3001 columns; a section can hold at most "
              "3000.\nEnter a cell size of at least 0.101 m.");
    EXPECT_EQ(GridColumnCount(0.0f, 300.0f, r.fMinCellSize, 3000), 2971);
    EXPECT_EQ(GridColumnCount(0.0f, 300.0f, 0.1001f, 3000), 2998);
    EXPECT_EQ(GridColumnCount(0.0f, 300.0f, 0.0f, 3000), -1);
}

TEST_F(Gridding, ColumnWithMoreThan100RowsIsRefusedAndStoreKept) {
    PseudoSection s;
    for (int size = 0; size < 2; ++size) {
        for (int n = 1; n <= 51; ++n) {
            PseudoSectionPoint p;
            p.fDipoleSize = 1.0f + static_cast<float>(size);
            p.fNFactor = static_cast<float>(n);
            p.fDepth = 1.0f;
            p.fResistivity = 10.0f;
            s.points.push_back(p);
        }
    }
    s.dipoleSizes = {1.0f, 2.0f};
    CScriptedPrompter quiet;
    ASSERT_EQ(ClassifyRowKinds(s, quiet), PseudoSectionStatus::Ok);
    const GriddingResult r = GridPseudoSection(s, 1.0f, store);
    ASSERT_EQ(r.status, GriddingStatus::TooManyRows);
    EXPECT_EQ(store.nColumn, 0);
    EXPECT_EQ(GriddingMessage(r, 1.0f, store),
              "Column 1 would hold 102 rows of data; a section column can hold at most 100.\n"
              "Enter a smaller horizontal cell size, or exclude lines or receivers in \"Edit "
              "lines\".");
}

TEST_F(Gridding, StopBeforeTheLastColumnLeavesTheStoreAsItWas) {
    ASSERT_EQ(GridPseudoSection(DipoleSection({{0.0f, 5.0f}}), 1.0f, store).status,
              GriddingStatus::Ok);
    const auto s = DipoleSection({{0.0f, 10.0f}, {10.0f, 30.0f}});
    std::vector<std::string> shown;
    const GriddingResult r = GridPseudoSection(s, 1.0f, store, [&](int i, int n, const auto& t) {
        EXPECT_EQ(n, 11);
        shown.push_back(t);
        return i < 10;
    });
    EXPECT_EQ(r.status, GriddingStatus::Cancelled);
    EXPECT_EQ(GriddingMessage(r, 1.0f, store), "");
    EXPECT_EQ(shown.size(), 11u);
    EXPECT_EQ(shown.back(), "Gridding: column 10 of 11");
    EXPECT_EQ(store.nColumn, 1);
    EXPECT_EQ(store.fObserved[0][0], 5.0f);
}

using ConvertCommand = SurveyTest;

TEST_F(ConvertCommand, RefusedCellSizeIsExplainedAskedAgainAndOnlyTheAcceptedOneStored) {
    CGantrelLine& line = AddLine(2.5f);
    AddReading(line, 10.0f, {1.0f});
    AddReading(line, 40.0f, {2.0f});
    CTrevascDataOhm store;
    ASSERT_TRUE(store.Initialise(3000, 100, 3000, 100));
    CScriptedPrompter prompter;
    prompter.Push(-1.0);
    prompter.Push(2.0);
    ASSERT_TRUE(ConvertToGridData(survey, store, prompter));
    const auto messages = prompter.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2], "The horizontal cell size must be a number greater than 0 m.");
    EXPECT_EQ(ReadSettingString(kCellSizeKey, ""), "2.000000");
    EXPECT_EQ(store.nColumn, 16);
    EXPECT_EQ(store.nRowKind, 1);
    EXPECT_FALSE(prompter.AnyUnanswered());
}

TEST_F(ConvertCommand, CancelLeavesTheStoreAsItWas) {
    AddReading(AddLine(5.0f), 10.0f, {1.0f});
    AddLine(2.5f).pGeometry->bDifferentSize = 1;  // makes the survey general
    CTrevascDataOhm store;
    ASSERT_TRUE(store.Initialise(3000, 100, 3000, 100));
    store.nColumn = 3;
    CScriptedPrompter prompter;
    prompter.PushCancel();
    EXPECT_FALSE(ConvertToGridData(survey, store, prompter));
    EXPECT_EQ(store.nColumn, 3);
    EXPECT_EQ(store.bGeneralArray, 0) << "the old section's rows carry no arrays";
    EXPECT_EQ(prompter.Messages().front(),
              "Data includes different transimitter and receivser sizes.");
}

TEST_F(ConvertCommand, SurveyWithoutDistancesIsRefusedBeforeAnyQuestion) {
    CGantrelLine& line = AddLine(2.5f);
    AddReading(line, 0.0f, {1.0f});
    AddReading(line, 0.0f, {2.0f});
    survey.bMarkerDistance = 0;  // opened, but no distances assigned yet
    CTrevascDataOhm store;
    ASSERT_TRUE(store.Initialise(3000, 100, 3000, 100));
    store.nColumn = 3;
    CScriptedPrompter prompter;
    EXPECT_FALSE(ConvertToGridData(survey, store, prompter));
    EXPECT_EQ(prompter.Messages(), std::vector<std::string>{NoDistancesMessage()});
    EXPECT_EQ(store.nColumn, 3);
    EXPECT_FALSE(prompter.AnyUnanswered()) << "no cell size question";
}

TEST_F(ConvertCommand, StoppedGriddingEndsQuietlyAndForgetsTheCellSize) {
    CGantrelLine& line = AddLine(2.5f);
    AddReading(line, 10.0f, {1.0f});
    AddReading(line, 40.0f, {2.0f});
    CTrevascDataOhm store;
    ASSERT_TRUE(store.Initialise(3000, 100, 3000, 100));
    store.nColumn = 3;
    CScriptedPrompter prompter;
    prompter.Push(2.0);
    EXPECT_FALSE(ConvertToGridData(survey, store, prompter,
                                   [](int i, int, const std::string&) { return i < 5; }));
    EXPECT_EQ(store.nColumn, 3);
    EXPECT_EQ(ReadSettingString(kCellSizeKey, ""), "");
    EXPECT_EQ(prompter.Messages().size(), 2u) << "the two messages before the cell size only";
    EXPECT_FALSE(prompter.AnyUnanswered());
}

}  // namespace
