#include "processing/line_editing.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/resistivity.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "processing/commands.h"

namespace {

class LineEditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&store);
        SetLanguage(kLanguageEnglish);
    }
    void TearDown() override {
        SetSettingsBackend(nullptr);
        SetLanguage(kLanguageEnglish);
    }

    // A line of readings one second apart, markers at the given readings with the given
    // positions; receiver values V/I = 1 at level 4.
    CGantrelLine& AddLine(int readings, const std::vector<int>& markerAt,
                          const std::vector<double>& markerDistance, int receivers = 2) {
        CGantrelLine* line = doc.survey.AddLine();
        for (int i = 0; i < readings; ++i) {
            CGantrelData* d = line->AddData();
            d->time = 1000 + i;
            d->nReceiver = receivers;
            for (int j = 0; j < receivers; ++j) {
                d->fResistance[j] = 1.0f;
                d->iCurrentLevel[j] = 4;
            }
            ComputeResistivity(*d, *line->pGeometry);
        }
        for (size_t k = 0; k < markerAt.size(); ++k) {
            CMarkerData* m = line->AddMarker();
            m->iDataIndex = markerAt[k];
            m->time = 1000 + markerAt[k];
            m->dY = markerDistance[k];
            m->fDistance = static_cast<float>(markerDistance[k]);
        }
        line->UpdateMaxReceiver();
        ReinterpolateLine(*line, 0);
        return *line;
    }
    std::vector<double> MarkerPositions(int iLine) {
        std::vector<double> out;
        for (const auto& m : doc.survey.Line(iLine).pMarker) out.push_back(m.dY);
        return out;
    }

    CMemorySettingsBackend store;
    CBrivaneDoc doc;
    CBrivaneViewState view;
    CScriptedPrompter prompter;
    CBrivaneContext ctx{doc, view, prompter};
    CCommandTable table = BuildBrivaneCommands();
};

// ---------------------------------------------------------------------------------------------
// Median filter

TEST(Median, DistinctValuesOfTheWindow) {
    const float spike[] = {5, 5, 5, 100, 5};
    EXPECT_FLOAT_EQ(MedianOfWindow(spike, 5), 52.5f) << "distinct entries 5 and 100";
    const float close[] = {1.0f, 1.005f, 3.0f};
    EXPECT_FLOAT_EQ(MedianOfWindow(close, 3), 2.0f) << "1.005 is not distinct from 1";
    const float negative[] = {-1, -2, -3};
    EXPECT_FLOAT_EQ(MedianOfWindow(negative, 3), 0.01f);
    const float mixed[] = {-1, 4, 7};
    EXPECT_FLOAT_EQ(MedianOfWindow(mixed, 3), 5.5f) << "only values >= 0 take part";
}

TEST(Median, SequencesOfThree) {
    EXPECT_EQ(MedianFilterSequence({1, 1, 9, 1, 1}, 3), (std::vector<float>{1, 5, 5, 5, 1}));
    EXPECT_EQ(MedianFilterSequence({2, 1, 3, 5, 4}, 3), (std::vector<float>{2, 2, 3, 4, 4}));
}

TEST(Median, WindowNarrowsNearTheEnds) {
    EXPECT_EQ(MedianFilterSequence({1, 100, 2, 3, 4, 5, 6}, 5),
              (std::vector<float>{1, 2, 3, 4, 4, 5, 6}));
    EXPECT_EQ(MedianFilterSequence({1, 9, 1}, 3), (std::vector<float>{1, 9, 1}))
        << "length not smaller than the count: unchanged";
    EXPECT_EQ(MedianFilterSequence({1, 9, 1, 1}, 0), (std::vector<float>{1, 9, 1, 1}));
}

TEST_F(LineEditingTest, MedianFilterCommandFiltersShownReceiversAndUndoes) {
    CGantrelLine& line = AddLine(5, {0, 4}, {0, 40});
    const float values[] = {1, 1, 9, 1, 1};
    for (int i = 0; i < 5; ++i) line.pData[static_cast<size_t>(i)].fResistance[0] = values[i];
    line.pData[2].fResistance[1] = 9.0f;
    line.bReceiverShown[1] = 0;
    prompter.PushAccept();
    ASSERT_TRUE(table.Invoke(ctx, kCmdMedianFilter));
    EXPECT_EQ(prompter.History()[0].sText, "Median filter (de-spike)");
    EXPECT_EQ(ReadSettingInt("nMedianFilter", 0), 3);
    EXPECT_FLOAT_EQ(line.pData[2].fResistance[0], 5.0f);
    EXPECT_FLOAT_EQ(line.pData[0].fResistance[0], 1.0f);
    EXPECT_FLOAT_EQ(line.pData[2].fResistance[1], 9.0f) << "hidden receiver left alone";
    CGantrelData expected = line.pData[2];
    ComputeResistivity(expected, *line.pGeometry);
    EXPECT_FLOAT_EQ(line.pData[2].fResistivity[0], expected.fResistivity[0]);

    ASSERT_TRUE(table.Invoke(ctx, kCmdUndo));
    EXPECT_FLOAT_EQ(doc.survey.Line(0).pData[2].fResistance[0], 9.0f);
    EXPECT_FALSE(table.Invoke(ctx, kCmdUndo)) << "a second Undo does nothing";
}

TEST_F(LineEditingTest, MedianSpinDialogStaysWithinThreeToEleven) {
    AddLine(5, {0, 4}, {0, 40});
    WriteSettingInt("nMedianFilter", 11);
    int shown = 0;
    prompter.PushDialog<CSpinValues>([&](CSpinValues& v) {
        shown = v.iValue;
        v.Up();
        EXPECT_EQ(v.iValue, 11);
        v.Down();
        v.Down();
    });
    table.Invoke(ctx, kCmdMedianFilter);
    EXPECT_EQ(shown, 11);
    EXPECT_EQ(ReadSettingInt("nMedianFilter", 0), 7);

    WriteSettingInt("nMedianFilter", 40);  // edited by hand
    prompter.PushDialog<CSpinValues>([&](CSpinValues& v) { shown = v.iValue; });
    table.Invoke(ctx, kCmdMedianFilter);
    EXPECT_EQ(shown, 11);
}

TEST_F(LineEditingTest, CancelledMedianFilterChangesNothing) {
    CGantrelLine& line = AddLine(5, {0, 4}, {0, 40});
    line.pData[2].fResistance[0] = 9.0f;
    prompter.PushCancel();
    table.Invoke(ctx, kCmdMedianFilter);
    EXPECT_FLOAT_EQ(line.pData[2].fResistance[0], 9.0f);
    EXPECT_EQ(doc.bSurveyUndo, 0);
    EXPECT_FALSE(store.Contains(SettingsScope::Profile, "nMedianFilter"));
}

// ---------------------------------------------------------------------------------------------
// Current levels

TEST_F(LineEditingTest, MaximumCurrentLevelRaisesLowerLevels) {
    CGantrelLine& line = AddLine(3, {0, 2}, {0, 20}, 1);
    line.pData[0].iCurrentLevel[0] = 3;
    line.pData[1].iCurrentLevel[0] = 5;
    line.pData[2].iCurrentLevel[0] = -1;  // never read: takes no part
    const float rho0 = line.pData[0].fResistivity[0];
    EXPECT_EQ(ProposedCurrentLevel(line, true), 3);
    prompter.Push(4);
    table.Invoke(ctx, kCmdMaxCurrentLevel);
    EXPECT_EQ(prompter.History()[0].sText, "Current level");
    EXPECT_EQ(line.pData[0].iCurrentLevel[0], 4);
    EXPECT_FLOAT_EQ(line.pData[0].fResistance[0], 2.0f);
    EXPECT_FLOAT_EQ(line.pData[0].fResistivity[0], 2.0f * rho0);
    EXPECT_EQ(line.pData[1].iCurrentLevel[0], 5);
    EXPECT_FLOAT_EQ(line.pData[1].fResistance[0], 1.0f);
    EXPECT_EQ(line.pData[2].iCurrentLevel[0], -1);
    table.Invoke(ctx, kCmdUndo);
    EXPECT_EQ(doc.survey.Line(0).pData[0].iCurrentLevel[0], 3);
}

TEST_F(LineEditingTest, MinimumCurrentLevelLowersHigherLevels) {
    CGantrelLine& line = AddLine(2, {0, 1}, {0, 10}, 1);
    line.pData[0].iCurrentLevel[0] = 3;
    line.pData[1].iCurrentLevel[0] = 5;
    EXPECT_EQ(ProposedCurrentLevel(line, false), 5);
    prompter.Push(4);
    table.Invoke(ctx, kCmdMinCurrentLevel);
    EXPECT_EQ(line.pData[0].iCurrentLevel[0], 3);
    EXPECT_EQ(line.pData[1].iCurrentLevel[0], 4);
    EXPECT_FLOAT_EQ(line.pData[1].fResistance[0], 0.5f);
}

TEST_F(LineEditingTest, CurrentLevelOutsideTheTableIsRefused) {
    CGantrelLine& line = AddLine(2, {0, 1}, {0, 10}, 1);
    prompter.Push(8);
    table.Invoke(ctx, kCmdMaxCurrentLevel);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"The current level must be between 0 and 7."});
    prompter.PushCancel();
    table.Invoke(ctx, kCmdMaxCurrentLevel);
    EXPECT_EQ(line.pData[0].iCurrentLevel[0], 4);
    EXPECT_EQ(doc.bSurveyUndo, 0);
    EXPECT_EQ(LimitCurrentLevel(line, -1, true), 0);
}

// ---------------------------------------------------------------------------------------------
// Line and marker operations

TEST_F(LineEditingTest, ReversingTwiceRestoresTheMarkers) {
    CGantrelLine& line = AddLine(11, {0, 5, 10}, {0, 10, 30});
    EXPECT_FLOAT_EQ(line.pData[5].fDistance, 10.0f);
    CEditOriginalDataModel model(doc.survey, prompter);
    EXPECT_STREQ(model.Row(0).sDirection, "Forward");
    model.Reverse(0);
    EXPECT_EQ(MarkerPositions(0), (std::vector<double>{30, 10, 0}));
    EXPECT_EQ(line.bReverse, 1);
    EXPECT_FLOAT_EQ(line.pData[8].fDistance, 4.0f) << "readings follow the markers";
    EXPECT_STREQ(model.Row(0).sDirection, "Reverse");
    SetLanguage(kLanguageJapanese);
    EXPECT_STREQ(model.Row(0).sDirection, "後方");
    model.Reverse(0);
    EXPECT_STREQ(model.Row(0).sDirection, "前方");
    EXPECT_EQ(MarkerPositions(0), (std::vector<double>{0, 10, 30}));
    EXPECT_FLOAT_EQ(line.pData[8].fDistance, 22.0f);
    EXPECT_EQ(line.fMinDistance, 0.0f);
    EXPECT_EQ(line.fMaxDistance, 30.0f);
}

TEST_F(LineEditingTest, MarkerEditShiftsFollowingMarkers) {
    AddLine(31, {0, 10, 20, 30}, {0, 10, 20, 30});
    CEditEachLineModel model(doc.survey, 0, prompter);
    prompter.PushDialog<CEditMarkerValues>([](CEditMarkerValues& v) {
        EXPECT_EQ(v.dDistance, 10.0);
        v.dDistance = 12.0;
        v.bShiftFollowing = 1;
    });
    ASSERT_TRUE(model.EditMarker(1));
    std::vector<double> moved;
    for (const auto& m : model.Line().pMarker) moved.push_back(m.dY);
    EXPECT_EQ(moved, (std::vector<double>{0, 12, 22, 32}));
    EXPECT_FLOAT_EQ(model.Line().pMarker[3].fDistance, 32.0f);
    EXPECT_FLOAT_EQ(model.Line().pData[15].fDistance, 17.0f);
    EXPECT_EQ(model.Line().fMaxDistance, 32.0f);
    EXPECT_EQ(MarkerPositions(0)[1], 10.0) << "the survey keeps its line until OK";

    prompter.PushDialog<CEditMarkerValues>([](CEditMarkerValues& v) { v.dDistance = 5.0; });
    model.EditMarker(1);
    EXPECT_EQ(model.Line().pMarker[1].dY, 5.0);
    EXPECT_EQ(model.Line().pMarker[2].dY, 22.0) << "without the box later markers stay";
    prompter.PushCancel();
    EXPECT_FALSE(model.EditMarker(1));
    EXPECT_EQ(model.Line().pMarker[1].dY, 5.0);
    model.Commit();
    EXPECT_EQ(MarkerPositions(0), (std::vector<double>{0, 5, 22, 32}));
}

TEST_F(LineEditingTest, MarkerDistanceNoFloatHoldsIsRefused) {
    AddLine(31, {0, 10, 20, 30}, {0, 10, 20, 30});
    CEditEachLineModel model(doc.survey, 0, prompter);
    prompter.PushDialog<CEditMarkerValues>([](CEditMarkerValues& v) { v.dDistance = 1.0e39; });
    EXPECT_FALSE(model.EditMarker(1));
    // Within the bound itself, but it would shift the last marker past it.
    prompter.PushDialog<CEditMarkerValues>([](CEditMarkerValues& v) {
        v.dDistance = 9.99999e6;
        v.bShiftFollowing = 1;
    });
    EXPECT_FALSE(model.EditMarker(1));
    ASSERT_EQ(prompter.Messages().size(), 2u);
    EXPECT_EQ(prompter.Messages()[0].rfind("The distance must be a number within 1e+07 m", 0), 0u);
    std::vector<double> kept;
    for (const auto& m : model.Line().pMarker) kept.push_back(m.dY);
    EXPECT_EQ(kept, (std::vector<double>{0, 10, 20, 30}));
    EXPECT_EQ(model.Line().pData[30].fDistance, 30.0f);
}

TEST_F(LineEditingTest, FirstAndLastMarkersCannotBeDeleted) {
    AddLine(21, {0, 10, 20}, {0, 30, 40});
    CEditEachLineModel model(doc.survey, 0, prompter);
    EXPECT_FALSE(model.DeleteMarker(0));
    EXPECT_FALSE(model.DeleteMarker(2));
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{"Cannot delete this marker",
                                                             "Cannot delete this marker"}));
    EXPECT_EQ(model.Line().nMarker(), 3);
    const int redraws = model.nPreviewRedraw;
    EXPECT_TRUE(model.DeleteMarker(1));
    EXPECT_EQ(model.Line().nMarker(), 2);
    EXPECT_FLOAT_EQ(model.Line().pData[10].fDistance, 20.0f) << "interpolated without it";
    EXPECT_GT(model.nPreviewRedraw, redraws);
}

TEST_F(LineEditingTest, DeletingALineAsksFirst) {
    AddLine(2, {0, 1}, {0, 10});
    AddLine(3, {0, 2}, {0, 20});
    AddLine(4, {0, 3}, {0, 30});
    CEditOriginalDataModel model(doc.survey, prompter);
    prompter.Push(PromptAnswer::Cancel);
    EXPECT_FALSE(model.Delete(1));
    EXPECT_EQ(doc.survey.nLine, 3);
    prompter.Push(PromptAnswer::Ok);
    EXPECT_TRUE(model.Delete(1));
    EXPECT_EQ(doc.survey.nLine, 2);
    EXPECT_EQ(doc.survey.Line(1).nData(), 4) << "later lines move up";
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{"Are you sure you want to delete a line?",
                                                             "Are you sure you want to delete a line?"}));
    CGantrelLine* reused = doc.survey.AddLine();
    EXPECT_EQ(reused->nData(), 0) << "the freed slot is reused empty";
    SetLanguage(kLanguageJapanese);
    prompter.Push(PromptAnswer::Cancel);
    model.Delete(0);
    EXPECT_EQ(prompter.Messages().back(), "ﾗｲﾝを削除しますか?");
}

TEST_F(LineEditingTest, RowsShowTheLineAndScrollKeepsLastRowsFilled) {
    for (int i = 0; i < 12; ++i) AddLine(3, {0, 2}, {0, 20.0 + i}, 3);
    CEditOriginalDataModel model(doc.survey, prompter);
    const CLineRow row = model.Row(4);
    EXPECT_EQ(row.nMarker, 2);
    EXPECT_EQ(row.fEnd, 24.0f);
    EXPECT_EQ(row.nData, 3);
    EXPECT_EQ(row.nReceiver, 3);
    EXPECT_EQ(row.fDipoleSize, 2.5f);
    model.SetFirstRow(7);
    EXPECT_EQ(model.FirstRow(), 2);
}

// ---------------------------------------------------------------------------------------------
// Geometry and view controls of "Edit each line"

TEST_F(LineEditingTest, GeometrySetRecomputesTheLine) {
    CGantrelLine& line = AddLine(2, {0, 1}, {0, 10});
    line.pGeometry->fReceiverDipole = 5.0f;
    line.pGeometry->bDifferentSize = 1;
    CEditEachLineModel model(doc.survey, 0, prompter);
    EXPECT_EQ(model.controls.iDipoleIndex, 2);
    EXPECT_EQ(model.controls.iDipoleIndexReceiver, 3);
    EXPECT_STREQ(model.TransmitterGroupCaption(), "Transmit. dipole size");
    model.controls.bDifferentSize = 0;
    EXPECT_STREQ(model.TransmitterGroupCaption(), "Dipole size");
    model.controls.iDipoleIndex = 4;
    model.controls.pReceiverFactor[1] = 2.0f;
    ASSERT_TRUE(model.SetGeometry());
    const CGantrelGeometry& g = *model.Line().pGeometry;
    EXPECT_EQ(g.fTransmitterDipole, 10.0f);
    EXPECT_EQ(g.fReceiverDipole, 10.0f);
    CGantrelData expected = model.Line().pData[0];
    CGantrelGeometry reference = g;
    ComputeResistivity(expected, reference);
    EXPECT_FLOAT_EQ(model.Line().pData[0].fResistivity[1], expected.fResistivity[1]);
    EXPECT_NE(model.Line().pData[0].fResistivity[0], line.pData[0].fResistivity[0]);

    model.controls.fRopeLength = -1.0f;
    EXPECT_FALSE(model.SetGeometry());
    EXPECT_EQ(prompter.Messages().back(), "Rope length must be a number of 0 m or more.");
    model.controls.fRopeLength = 0.0f;
    model.controls.pReceiverFactor[0] = 0.0f;
    EXPECT_FALSE(model.SetGeometry());
    EXPECT_EQ(prompter.Messages().back(), "Receiver multiplier must be a number greater than 0.");
}

TEST_F(LineEditingTest, ViewAndActiveControls) {
    AddLine(2, {0, 1}, {0, 10}, 3);
    CEditEachLineModel model(doc.survey, 0, prompter);
    model.SetShowAllReceivers(false);
    model.ShownReceiverUp();
    model.ShownReceiverUp();
    model.ShownReceiverUp();
    EXPECT_EQ(model.Line().iShownReceiver, 2);
    EXPECT_EQ(model.Line().bReceiverShown[2], 1);
    EXPECT_EQ(model.Line().bReceiverShown[0], 0);
    EXPECT_TRUE(model.ReceiverControlVisible(2));
    EXPECT_FALSE(model.ReceiverControlVisible(3));
    model.SetReceiverUse(1, false);
    EXPECT_EQ(model.Line().bReceiverUse[1], 0);
    EXPECT_STREQ(ReceiverLabel(4), "5th receiver");
    EXPECT_STREQ(DipoleSizeLabel(2), "2.5m");
}

// ---------------------------------------------------------------------------------------------
// "Edit lines" as a whole

TEST_F(LineEditingTest, EditLinesAppliesOnOkAndUndoes) {
    AddLine(3, {0, 2}, {0, 20});
    AddLine(3, {0, 2}, {0, 20});
    view.iCurrentLine = 1;
    prompter.PushDialog<CEditOriginalDataValues>([](CEditOriginalDataValues& v) {
        v.pModel->Reverse(0);
        v.pModel->Delete(1);
    });
    prompter.Push(PromptAnswer::Ok);  // the delete question, asked inside the dialog
    ASSERT_TRUE(table.Invoke(ctx, kCmdEditLines));
    EXPECT_EQ(doc.survey.nLine, 1);
    EXPECT_EQ(MarkerPositions(0), (std::vector<double>{20, 0}));
    EXPECT_EQ(view.iCurrentLine, 0);
    EXPECT_TRUE(ctx.bRedraw);
    EXPECT_FALSE(prompter.AnyUnanswered());

    ASSERT_TRUE(table.Invoke(ctx, kCmdUndo));
    EXPECT_EQ(doc.survey.nLine, 2);
    EXPECT_EQ(MarkerPositions(0), (std::vector<double>{0, 20}));
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdUndo));
}

TEST_F(LineEditingTest, CancelledEditLinesDiscardsTheScratchSurvey) {
    AddLine(3, {0, 2}, {0, 20});
    prompter.PushDialog<CEditOriginalDataValues>([](CEditOriginalDataValues& v) {
        v.pModel->Reverse(0);
        return false;
    });
    table.Invoke(ctx, kCmdEditLines);
    EXPECT_EQ(MarkerPositions(0), (std::vector<double>{0, 20}));
    EXPECT_EQ(doc.bSurveyUndo, 0);
}

TEST_F(LineEditingTest, EachLineDialogWritesBackOnlyWhenConfirmed) {
    AddLine(21, {0, 10, 20}, {0, 10, 20});
    AddLine(21, {0, 10, 20}, {0, 10, 20});
    bool deleteRefused = false;
    prompter.PushDialog<CEditOriginalDataValues>([&](CEditOriginalDataValues& v) {
        CEditOriginalDataModel* outer = v.pModel;
        prompter.PushDialog<CEditEachLineValues>([&, outer](CEditEachLineValues& e) {
            deleteRefused = !outer->Delete(0) && outer->IsLineOpen(0);
            e.pModel->DeleteMarker(1);
            e.pModel->Next();
            e.pModel->SetReceiverUse(0, false);
            EXPECT_FALSE(e.pModel->Next()) << "no line after the last";
        });
        EXPECT_TRUE(outer->Edit(0));
        prompter.PushDialog<CEditEachLineValues>([](CEditEachLineValues& e) {
            e.pModel->DeleteMarker(1);
            return false;
        });
        EXPECT_FALSE(outer->Edit(1));
    });
    table.Invoke(ctx, kCmdEditLines);
    EXPECT_TRUE(deleteRefused) << "an open line cannot be deleted";
    EXPECT_EQ(doc.survey.Line(0).nMarker(), 2);
    EXPECT_EQ(doc.survey.Line(1).bReceiverUse[0], 0) << "lines visited with Next are kept too";
    EXPECT_EQ(doc.survey.Line(1).nMarker(), 3) << "cancelled edit of line 1";
    EXPECT_EQ(prompter.Messages().size(), 0u);
}

TEST_F(LineEditingTest, DistancesFromMarkersAgainInConfigurationZero) {
    AddLine(11, {0, 10}, {0, 10});
    doc.survey.Line(0).pData[5].fDistance = 99.0f;
    view.iSurveyConfiguration = 2;
    prompter.PushAccept();
    table.Invoke(ctx, kCmdEditLines);
    EXPECT_EQ(doc.survey.Line(0).pData[5].fDistance, 99.0f);
    view.iSurveyConfiguration = 0;
    prompter.PushAccept();
    table.Invoke(ctx, kCmdEditLines);
    EXPECT_EQ(doc.survey.Line(0).pData[5].fDistance, 5.0f);
}

// ---------------------------------------------------------------------------------------------
// Gate, Cut

TEST_F(LineEditingTest, GateWithShiftStepsMarksDataBetween) {
    CGantrelLine& line = AddLine(11, {0, 10}, {0, 100}, 2);
    line.bReceiverShown[1] = 0;
    view.iViewMode = kViewLineResistance;
    view.fAxisMin = 0.0f;
    view.fAxisMax = 100.0f;
    EXPECT_FALSE(OnGateKey(ctx, GateKey::Left)) << "arrows scale the display outside gate mode";
    ASSERT_TRUE(table.Invoke(ctx, kCmdGate));
    EXPECT_TRUE(table.IsChecked(ctx, kCmdGate));
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdGate));
    const CGate& gate = view.gateResistance;
    EXPECT_EQ(gate.iGateState, 1);
    EXPECT_FLOAT_EQ(gate.fGateStep, 2.0f);
    OnGateKey(ctx, GateKey::Left);
    EXPECT_EQ(gate.fGateLeft, 0.0f) << "not below the axis minimum";
    for (int i = 0; i < 5; ++i) OnGateKey(ctx, GateKey::Right);
    view.bFineStep = 1;
    OnGateKey(ctx, GateKey::Right);
    EXPECT_FLOAT_EQ(gate.fGateLeft, 10.2f);
    OnGateKey(ctx, GateKey::Enter);
    EXPECT_EQ(gate.iGateState, 2);
    OnGateKey(ctx, GateKey::Right);
    EXPECT_EQ(gate.fGateRight, 100.0f) << "not beyond the axis maximum";
    view.bFineStep = 0;
    for (int i = 0; i < 10; ++i) OnGateKey(ctx, GateKey::Left);
    EXPECT_FLOAT_EQ(gate.fGateRight, 80.0f);
    EXPECT_EQ(view.gateResistivity.iGateState, 0) << "only the shown view's gate";
    OnGateKey(ctx, GateKey::Enter);
    EXPECT_EQ(gate.iGateState, 0);
    EXPECT_EQ(view.iMouseMode, kMouseNormal);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"Hit 'Delete' key to remove selected data."});
    for (int i = 0; i < 11; ++i) {
        const CGantrelData& d = line.pData[static_cast<size_t>(i)];
        EXPECT_EQ(d.bDeleted[0], i >= 2 && i <= 8 ? 1 : 0) << i;  // 10.2 .. 80 m
        EXPECT_EQ(d.bDeleted[1], 0) << "hidden receiver";
    }
}

TEST_F(LineEditingTest, GateRightEdgeStopsAtLeftAndEscapeEnds) {
    AddLine(2, {0, 1}, {0, 10});
    view.iViewMode = kViewLineResistivity;
    view.fAxisMin = 0.0f;
    view.fAxisMax = 10.0f;
    table.Invoke(ctx, kCmdGate);
    for (int i = 0; i < 60; ++i) OnGateKey(ctx, GateKey::Right);
    EXPECT_EQ(view.gateResistivity.fGateLeft, 10.0f) << "not beyond the right edge";
    OnGateKey(ctx, GateKey::Enter);
    OnGateKey(ctx, GateKey::Left);
    EXPECT_EQ(view.gateResistivity.fGateRight, 10.0f) << "not below the left edge";
    OnGateKey(ctx, GateKey::Escape);
    EXPECT_EQ(view.gateResistivity.iGateState, 0);
    EXPECT_EQ(view.iMouseMode, kMouseNormal);
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_EQ(doc.survey.Line(0).pData[1].bDeleted[0], 0);
}

TEST_F(LineEditingTest, GateMessageInJapanese) {
    AddLine(2, {0, 1}, {0, 10});
    view.iViewMode = kViewLineResistivity;
    table.Invoke(ctx, kCmdGate);
    SetLanguage(kLanguageJapanese);
    OnGateKey(ctx, GateKey::Enter);
    OnGateKey(ctx, GateKey::Enter);
    EXPECT_EQ(prompter.Messages().back(), "選択されたデータを消すには「Delete」キーを押してください");
}

TEST_F(LineEditingTest, CutInvalidatesMarkedValuesAndUndoes) {
    CGantrelLine& line = AddLine(3, {0, 2}, {0, 20});
    line.pData[1].bDeleted[0] = 1;
    view.iViewMode = kViewLineResistivity;
    ASSERT_TRUE(table.Invoke(ctx, kCmdCut));
    EXPECT_EQ(line.pData[1].bValid[0], 0);
    EXPECT_EQ(line.pData[1].bValid[1], 1);
    table.Invoke(ctx, kCmdUndo);
    EXPECT_EQ(doc.survey.Line(0).pData[1].bValid[0], 1);
    EXPECT_EQ(doc.survey.Line(0).pData[1].bDeleted[0], 0) << "Undo leaves nothing marked";
    // With nothing marked the next Cut changes nothing and saves nothing for Undo.
    ASSERT_TRUE(table.Invoke(ctx, kCmdCut));
    EXPECT_EQ(doc.survey.Line(0).pData[1].bValid[0], 1);
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdUndo));
}

TEST_F(LineEditingTest, EnableRules) {
    for (int id : {kCmdEditLines, kCmdMedianFilter, kCmdGate, kCmdCut, kCmdMaxCurrentLevel,
                   kCmdMinCurrentLevel})
        EXPECT_FALSE(table.IsEnabled(ctx, id)) << id << " without lines";
    AddLine(2, {0, 1}, {0, 10});
    view.iViewMode = kViewSectionOriginal;
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdEditLines));
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdMedianFilter));
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdMaxCurrentLevel));
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdGate)) << "only in the line views";
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdCut));
    EXPECT_FALSE(table.IsChecked(ctx, kCmdGate));
    view.iViewMode = kViewLineResistance;
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdGate));
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdCut));
    view.iCurrentLine = 3;
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdMedianFilter)) << "no such line";
}

// ---------------------------------------------------------------------------------------------
// Delete in the one-dimensional display

class MarkedObservations : public LineEditingTest {
protected:
    void SetUp() override {
        LineEditingTest::SetUp();
        view.iViewMode = kViewModel1D;
        CTrevascDataOhm& s = doc.store;
        s.nColumn = 2;
        for (int c = 0; c < 2; ++c) {
            s.nRow[static_cast<size_t>(c)] = 3;
            for (int k = 0; k < 3; ++k) s.fObserved[c][k] = 100.0f + static_cast<float>(k);
        }
    }
};

TEST_F(MarkedObservations, DeleteRemovesTheMarkedRowsAndUndoBringsThemBack) {
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdCut)) << "nothing marked";
    doc.store.iMarked[1][1] = 1;
    ASSERT_TRUE(table.IsEnabled(ctx, kCmdCut));
    ASSERT_TRUE(table.Invoke(ctx, kCmdCut));
    EXPECT_EQ(doc.store.nRow[1], 2);
    EXPECT_EQ(doc.store.fObserved[1][1], 102.0f);
    EXPECT_EQ(doc.store.nRow[0], 3);
    EXPECT_TRUE(ctx.bRedraw);
    ASSERT_TRUE(table.IsEnabled(ctx, kCmdUndo));
    ASSERT_TRUE(table.Invoke(ctx, kCmdUndo));
    EXPECT_EQ(doc.store.nRow[1], 3);
    EXPECT_EQ(doc.store.fObserved[1][1], 101.0f);
    EXPECT_EQ(doc.store.iMarked[1][1], 0) << "the row comes back unmarked";
}

TEST_F(MarkedObservations, RowsWithElectrodeArraysCannotBeBroughtBack) {
    doc.store.bGeneralArray = 1;
    doc.bModelUndo = 1;  // an earlier smoothing
    doc.store.iMarked[0][0] = 1;
    ASSERT_TRUE(table.Invoke(ctx, kCmdCut));
    EXPECT_EQ(doc.store.nRow[0], 2);
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdUndo))
        << "an older copy would pair the rows with the wrong arrays";
}

TEST_F(MarkedObservations, AveragedSoundingLosesItsMarkedPoints) {
    doc.store.nColumn = 0;
    doc.sounding.bPresent = 1;
    for (int j = 0; j < 3; ++j) {
        CSoundingPoint p;
        p.fResistivity = static_cast<float>(j + 1);
        p.bMarked = j == 0 ? 1 : 0;
        doc.sounding.points.push_back(p);
    }
    ASSERT_TRUE(table.Invoke(ctx, kCmdCut));
    ASSERT_EQ(doc.sounding.points.size(), 2u);
    EXPECT_EQ(doc.sounding.points[0].fResistivity, 2.0f);
}

}  // namespace
