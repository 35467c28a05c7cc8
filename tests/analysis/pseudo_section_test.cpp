#include "analysis/pseudo_section.h"

#include <gtest/gtest.h>

#include "analysis/gridding.h"
#include "common/scripted_prompter.h"
#include "survey_builder.h"

namespace {

using PseudoSectionCollect = SurveyTest;

TEST_F(PseudoSectionCollect, DipoleSizesCloserThanTheToleranceAreOne) {
    AddReading(AddLine(2.5f), 10.0f, {1.0f});
    AddReading(AddLine(2.51f), 10.0f, {1.0f});  // half: 1.255
    PseudoSection s;
    ASSERT_EQ(CollectPoints(survey, s), PseudoSectionStatus::Ok);
    EXPECT_EQ(s.dipoleSizes, (std::vector<float>{1.25f}));
    AddReading(AddLine(2.54f), 10.0f, {1.0f});  // half: 1.27
    ASSERT_EQ(CollectPoints(survey, s), PseudoSectionStatus::Ok);
    EXPECT_EQ(s.dipoleSizes.size(), 2u);
    EXPECT_EQ(s.points.size(), 3u);
}

TEST_F(PseudoSectionCollect, UnusedReceiversLinesAndInvalidValuesMakeNoPoint) {
    CGantrelLine& line = AddLine(2.5f, 3);
    line.bReceiverUse[1] = 0;
    CGantrelData& d = AddReading(line, 20.0f, {1.0f, 2.0f, 3.0f});
    d.bValid[2] = 0;
    CGantrelLine& excluded = AddLine(2.5f, 3);
    excluded.bUse = 0;
    AddReading(excluded, 20.0f, {1.0f, 2.0f, 3.0f});
    PseudoSection s;
    ASSERT_EQ(CollectPoints(survey, s), PseudoSectionStatus::Ok);
    ASSERT_EQ(s.points.size(), 1u);
    EXPECT_EQ(s.points[0].fResistivity, d.fResistivity[0]);
    EXPECT_EQ(s.points[0].fNFactor, 1.0f);
}

TEST_F(PseudoSectionCollect, PositionLiesBehindOrAheadOfTheDistanceByTheOffset) {
    CGantrelLine& line = AddLine(2.5f, 5);
    line.pGeometry->fRopeLength = 5.0f;
    AddReading(line, 100.0f, {1.0f});
    PseudoSection s;
    ASSERT_EQ(CollectPoints(survey, s), PseudoSectionStatus::Ok);
    EXPECT_FLOAT_EQ(s.points[0].fPosition, 100.0f - 17.5f);
    line.bReverse = 1;
    ASSERT_EQ(CollectPoints(survey, s), PseudoSectionStatus::Ok);
    EXPECT_FLOAT_EQ(s.points[0].fPosition, 100.0f + 17.5f);
    EXPECT_EQ(s.fMinPosition, s.fMaxPosition);
}

TEST_F(PseudoSectionCollect, DifferentSizesSwitchToGeneralModeAndRecomputeElectrodes) {
    CGantrelLine& line = AddLine(2.5f);
    line.pGeometry->fTransmitterDipole = 5.0f;
    line.pGeometry->bDifferentSize = 1;
    CGantrelData& d = *line.AddData();  // no electrodes computed yet
    d.nReceiver = 1;
    d.fResistance[0] = 1.0f;
    PseudoSection s;
    ASSERT_EQ(CollectPoints(survey, s), PseudoSectionStatus::Ok);
    EXPECT_EQ(s.bGeneralArray, 1);
    EXPECT_EQ(survey.bDifferentSize, 1);
    ASSERT_EQ(s.points.size(), 1u);
    EXPECT_EQ(s.points[0].array.fM, 4.375f);
    EXPECT_EQ(s.points[0].array.fN, 5.625f);
    EXPECT_GT(s.points[0].array.fK, 0.0f);
    EXPECT_EQ(d.electrode[0].fB, 2.5f) << "the reading keeps its recomputed geometry";
}

FourElectrodeGeometry Array(float a, float b, float m, float n) {
    FourElectrodeGeometry e;
    e.fA = a;
    e.fB = b;
    e.fM = m;
    e.fN = n;
    return ArrayFromPositions(e);
}

PseudoSection GeneralSection(std::initializer_list<FourElectrodeGeometry> arrays) {
    PseudoSection s;
    s.bGeneralArray = 1;
    for (const auto& a : arrays) {
        PseudoSectionPoint p;
        p.array = a;
        p.fResistivity = 10.0f;
        s.points.push_back(p);
    }
    return s;
}

TEST(PseudoSectionClassify, ArraysWithinTheToleranceAreOneAndTheFirstMetKeepsItsPlace) {
    const auto near = Array(0, 2.5f, 4.375f, 5.625f);
    const auto shifted = Array(0, 2.5f, 4.38f, 5.63f);  // distances differ by 0.005 m
    const auto far = Array(0, 2.5f, 10.0f, 12.5f);      // larger fK
    ASSERT_GT(far.fK, near.fK);
    PseudoSection s = GeneralSection({far, near, shifted});
    CScriptedPrompter prompter;
    ASSERT_EQ(ClassifyRowKinds(s, prompter), PseudoSectionStatus::Ok);
    ASSERT_EQ(s.arrays.size(), 2u);
    EXPECT_EQ(s.arrays[0].fM, 4.375f) << "ordered by fK, first met kept";
    EXPECT_EQ(s.arrays[1].fM, 10.0f);
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{"Number of array = 2"}));
    EXPECT_EQ(s.RowKindOf(s.points[2]), 0);
}

TEST(PseudoSectionClassify, MoreThanOneHundredArraysAreRefused) {
    PseudoSection s = GeneralSection({});
    for (int i = 0; i < 101; ++i) {
        PseudoSectionPoint p;
        p.array = Array(0, 1.0f, 2.0f + 0.5f * static_cast<float>(i),
                        3.0f + 0.5f * static_cast<float>(i));
        s.points.push_back(p);
    }
    CScriptedPrompter prompter;
    ASSERT_EQ(ClassifyRowKinds(s, prompter), PseudoSectionStatus::TooManyArrays);
    EXPECT_EQ(s.arrays.size(), 100u);
    EXPECT_EQ(CapacityMessage(PseudoSectionStatus::TooManyArrays, s),
              "The data have more than 100 different electrode arrays; a section can hold at "
              "most 100.\nExclude lines or receivers in \"Edit lines\", then convert again.");
}

TEST(PseudoSectionClassify, MoreThanOneHundredNFactorsForOneDipoleSizeAreRefused) {
    PseudoSection s;
    s.dipoleSizes = {1.25f};
    for (int i = 0; i < 101; ++i) {
        PseudoSectionPoint p;
        p.fDipoleSize = 1.25f;
        p.fNFactor = static_cast<float>(i + 1);
        s.points.push_back(p);
    }
    CScriptedPrompter prompter;
    ASSERT_EQ(ClassifyRowKinds(s, prompter), PseudoSectionStatus::TooManyNFactors);
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_EQ(CapacityMessage(PseudoSectionStatus::TooManyNFactors, s),
              "Dipole size = 1.25 m has more than 100 different N-spaces; a section can hold at "
              "most 100 per dipole size.\nExclude lines or receivers in \"Edit lines\", then "
              "convert again.");
}

using ConvertToGrid = SurveyTest;

TEST_F(ConvertToGrid, AnnouncesModeAndEachDipoleSizeSmallestFirstBeforeTheCellSize) {
    AddReading(AddLine(5.0f, 2), 50.0f, {1.0f, 1.0f});
    AddReading(AddLine(2.5f, 1), 50.0f, {1.0f});
    CTrevascDataOhm store;
    ASSERT_TRUE(store.Initialise(3000, 100, 3000, 100));
    CScriptedPrompter prompter;
    prompter.PushCancel();
    EXPECT_FALSE(ConvertToGridData(survey, store, prompter));
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{"Dipole-dipole method : number of dipole size =2",
                                        "Dipole size = 1.25 m number of N-space = 1",
                                        "Dipole size = 2.50 m number of N-space = 2"}));
    ASSERT_EQ(prompter.History().back().sKind, "real");
    EXPECT_EQ(prompter.History().back().sText, "Horizontal cell size");
}

TEST_F(ConvertToGrid, MoreThanFiftyDipoleSizesAreRefusedAndTheStoreKept) {
    for (int i = 0; i < 51; ++i)
        AddReading(AddLine(1.0f + 0.1f * static_cast<float>(i)), 50.0f, {1.0f});
    CTrevascDataOhm store;
    ASSERT_TRUE(store.Initialise(3000, 100, 3000, 100));
    store.nColumn = 7;
    CScriptedPrompter prompter;
    EXPECT_FALSE(ConvertToGridData(survey, store, prompter));
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{
                  "The data have more than 50 different dipole sizes; a section can hold at most "
                  "50.\nExclude lines in \"Edit lines\" so that at most 50 dipole sizes remain, "
                  "then convert again."}));
    EXPECT_EQ(store.nColumn, 7);
}

}  // namespace
