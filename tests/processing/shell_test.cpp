#include <gtest/gtest.h>

#include <algorithm>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "processing/commands.h"
#include "processing/document.h"
#include "processing/open_survey.h"

namespace {

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&store);
        SetLanguage(kLanguageEnglish);
    }
    void TearDown() override {
        SetSettingsBackend(nullptr);
        SetLanguage(kLanguageEnglish);
    }
    CGantrelLine& AddLine(int readings, int receivers = 5) {
        CGantrelLine* line = doc.survey.AddLine();
        for (int i = 0; i < readings; ++i) {
            CGantrelData* d = line->AddData();
            d->nReceiver = receivers;
            d->fDistance = static_cast<float>(i);
        }
        line->UpdateMaxReceiver();
        return *line;
    }

    CMemorySettingsBackend store;
    CBrivaneDoc doc;
    CBrivaneViewState view;
    CScriptedPrompter prompter;
    CBrivaneContext ctx{doc, view, prompter};
    CCommandTable table = BuildBrivaneCommands();
};

TEST_F(ShellTest, WindowPlacementIsClamped) {
    WindowPlacement p = ClampWindowPlacement({500, -4, 300, 5000});
    EXPECT_EQ(p.x, 200);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(p.w, 768);
    EXPECT_EQ(p.h, 2000);
    WindowPlacement d = LoadWindowPlacement();
    EXPECT_EQ(d.w, 810);
    EXPECT_EQ(d.h, 580);
    SaveWindowPlacement({500, 10, 300, 600});
    d = LoadWindowPlacement();
    EXPECT_EQ(d.x, 200);
    EXPECT_EQ(d.w, 768);
}

TEST_F(ShellTest, ViewSettingsDefaultsAndRoundTrip) {
    view.LoadSettings();
    EXPECT_EQ(view.fHScale, 1.0f);
    EXPECT_EQ(view.fVScale, 20.0f);
    EXPECT_EQ(view.iSurveyConfiguration, 2);
    view.fHScale = 2.5f;
    view.SaveSettings();
    EXPECT_EQ(store.ReadString(SettingsScope::Profile, "hscale"), "2.500000");
    WriteSettingInt("iSurveyConfiguration", 4);
    CBrivaneViewState other;
    other.LoadSettings();
    EXPECT_EQ(other.fHScale, 2.5f);
    EXPECT_EQ(other.iSurveyConfiguration, 4);
}

TEST_F(ShellTest, LanguageIsAskedOnceForTheWholeSuite) {
    prompter.Push(1);
    InitialiseLanguage(prompter);
    EXPECT_TRUE(IsJapanese());
    ASSERT_EQ(prompter.History().size(), 1u);
    EXPECT_EQ(prompter.History()[0].sText, "Select the language !");
    EXPECT_EQ(ReadSuiteInt("LanguageRegister", 0), 1);
    EXPECT_TRUE(store.Contains(SettingsScope::SuiteMachine, "LanguageRegister"));
    EXPECT_EQ(store.ReadString(SettingsScope::SuiteMachine, "Language"), "1");
    // Next start (of either program): no question.
    SetLanguage(kLanguageEnglish);
    InitialiseLanguage(prompter);
    EXPECT_TRUE(IsJapanese());
    EXPECT_EQ(prompter.History().size(), 1u);
}

TEST_F(ShellTest, JapaneseCommandTogglesAndIsChecked) {
    EXPECT_FALSE(table.IsChecked(ctx, kCmdJapanese));
    EXPECT_TRUE(table.Invoke(ctx, kCmdJapanese));
    EXPECT_TRUE(IsJapanese());
    EXPECT_TRUE(table.IsChecked(ctx, kCmdJapanese));
    EXPECT_EQ(ReadSuiteValue("Language"), "1");
    EXPECT_EQ(table.Text(kCmdUndo), "元に戻す(&U)");
    table.Invoke(ctx, kCmdJapanese);
    EXPECT_EQ(ReadSuiteValue("Language"), "0");
    EXPECT_EQ(table.Text(kCmdUndo), "&Undo");
}

TEST_F(ShellTest, ExitAsksInTheCurrentLanguage) {
    prompter.Push(PromptAnswer::Cancel);
    table.Invoke(ctx, kCmdExit);
    EXPECT_FALSE(ctx.bExitRequested);
    SetLanguage(kLanguageJapanese);
    prompter.Push(PromptAnswer::Ok);
    table.Invoke(ctx, kCmdExit);
    EXPECT_TRUE(ctx.bExitRequested);
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{"Are you sure you want to exit?",
                                                             "終了しますか？"}));
}

TEST_F(ShellTest, UndoRestoresTheSurveyOnce) {
    AddLine(3);
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdUndo));
    doc.SaveSurveyForUndo();
    doc.survey.Line(0).pData[1].fDistance = 99.0f;
    doc.survey.AddLine();
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdUndo));
    EXPECT_TRUE(table.Invoke(ctx, kCmdUndo));
    EXPECT_EQ(doc.survey.nLine, 1);
    EXPECT_EQ(doc.survey.Line(0).pData[1].fDistance, 1.0f);
    EXPECT_TRUE(ctx.bRedraw);
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdUndo));
    EXPECT_FALSE(table.Invoke(ctx, kCmdUndo)) << "one level of undo";
}

TEST_F(ShellTest, ModelUndoComesFirst) {
    AddLine(1);
    doc.SaveSurveyForUndo();
    int restored = 0;
    doc.restoreModel = [&] { ++restored; };
    doc.bModelUndo = 1;
    table.Invoke(ctx, kCmdUndo);
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(doc.bModelUndo, 0);
    EXPECT_EQ(doc.bSurveyUndo, 1) << "the survey undo is still there";
}

TEST_F(ShellTest, NewClearsOnlyAfterOk) {
    AddLine(2);
    view.iViewMode = kViewLineResistivity;
    view.iMouseMode = kMouseGate;
    doc.sounding.points.push_back({});
    prompter.Push(PromptAnswer::Cancel);
    table.Invoke(ctx, kCmdNew);
    EXPECT_EQ(doc.survey.nLine, 1);
    prompter.Push(PromptAnswer::Ok);
    table.Invoke(ctx, kCmdNew);
    EXPECT_EQ(doc.survey.nLine, 0);
    EXPECT_TRUE(doc.sounding.points.empty());
    EXPECT_EQ(view.iViewMode, kViewNothing);
    EXPECT_EQ(view.iMouseMode, kMouseNormal);
    EXPECT_EQ(prompter.Messages()[0], "Are you sure you want to clear current all data?");
}

TEST_F(ShellTest, LineNavigationStaysWithinTheSurvey) {
    AddLine(1);
    AddLine(1);
    view.iViewMode = kViewLineResistivity;
    table.Invoke(ctx, kCmdNextLine);
    EXPECT_EQ(view.iCurrentLine, 1);
    table.Invoke(ctx, kCmdNextLine);
    EXPECT_EQ(view.iCurrentLine, 1) << "the last line stays current";
    table.Invoke(ctx, kCmdPreviousLine);
    table.Invoke(ctx, kCmdPreviousLine);
    EXPECT_EQ(view.iCurrentLine, 0);
    view.iViewMode = kViewSectionOriginal;
    table.Invoke(ctx, kCmdNextLine);
    EXPECT_EQ(view.iCurrentLine, 0) << "no line stepping outside the line views";
}

TEST_F(ShellTest, SoundingNavigationInTheModelDisplay) {
    for (int i = 0; i < 25; ++i) doc.sounding.points.push_back({});
    view.iViewMode = kViewModel1D;
    table.Invoke(ctx, kCmdSoundingForward10);
    table.Invoke(ctx, kCmdSoundingForward10);
    table.Invoke(ctx, kCmdSoundingForward10);
    EXPECT_EQ(view.iCurrentSounding, 24);
    table.Invoke(ctx, kCmdPreviousLine);
    EXPECT_EQ(view.iCurrentSounding, 23);
    view.iViewMode = kViewLineResistivity;
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdSoundingBack10));
}

TEST_F(ShellTest, ReceiverButtons) {
    CGantrelLine& line = AddLine(2, 3);
    table.Invoke(ctx, kCmdShowOneReceiver);
    EXPECT_EQ(line.bShowAllReceivers, 0);
    EXPECT_EQ(line.bReceiverShown[0], 1);
    EXPECT_EQ(line.bReceiverShown[1], 0);
    table.Invoke(ctx, kCmdNextReceiver);
    table.Invoke(ctx, kCmdNextReceiver);
    table.Invoke(ctx, kCmdNextReceiver);
    EXPECT_EQ(line.iShownReceiver, 2) << "within nMaxReceiver";
    EXPECT_EQ(line.bReceiverShown[2], 1);
    EXPECT_EQ(line.bReceiverShown[0], 0);
    table.Invoke(ctx, kCmdShowAllReceivers);
    for (int i = 0; i < kMaxReceiver; ++i) EXPECT_EQ(line.bReceiverShown[i], 1);
    EXPECT_TRUE(table.IsChecked(ctx, kCmdShowAllReceivers));
}

TEST_F(ShellTest, ScaleButtonsInTheModelDisplay) {
    view.iViewMode = kViewModel1D;
    table.Invoke(ctx, kCmdHScaleUp);
    EXPECT_FLOAT_EQ(view.fHScale, 1.4142135f);
    table.Invoke(ctx, kCmdVScaleDown);
    EXPECT_FLOAT_EQ(view.fVScale, 20.0f / 1.4142135f);
}

TEST_F(ShellTest, CommandTableIsComplete) {
    // Every command has texts in both languages; toolbar positions are unique and ordered.
    std::vector<int> positions;
    for (const CCommand& c : table.All()) {
        EXPECT_FALSE(c.sText.empty()) << c.id;
        EXPECT_FALSE(c.sTextJa.empty()) << c.id;
        if (c.iToolbar >= 0) positions.push_back(c.iToolbar);
    }
    std::sort(positions.begin(), positions.end());
    for (size_t i = 0; i < positions.size(); ++i) EXPECT_EQ(positions[i], static_cast<int>(i));
    EXPECT_EQ(table.Find(kCmdOpenGantrel)->sText, "Open Gantrel data file (*.sto, *.stn)");
    EXPECT_EQ(table.Find(kCmdUndo)->sAccelerator, "Ctrl+Z");
    EXPECT_EQ(table.Find(kCmdNew)->iToolbar, 35);
    EXPECT_TRUE(table.Find(kCmdUploadDatabase)->bJapaneseMenuOnly);
    EXPECT_FALSE(table.Invoke(ctx, 12345)) << "unknown identifiers do nothing";
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdPrint)) << "commands without a handler are disabled";
}

TEST(FileIndex, FirstRunOfDigitsInTheName) {
    EXPECT_EQ(FileIndexFromName("line12_b7.sto"), 12);
    EXPECT_EQ(FileIndexFromName("0007.sto"), 7);
    EXPECT_EQ(FileIndexFromName("north.sto"), std::nullopt);
    EXPECT_EQ(FileIndexFromName("a99999999999.sto"), std::nullopt) << "does not fit an int";
}

TEST(AveragedSounding, GeometricMeanPerReceiver) {
    CGantrelLine line;
    for (float rho : {10.0f, 1000.0f}) {
        CGantrelData* d = line.AddData();
        d->nReceiver = 2;
        d->fResistivity[0] = rho;
        d->fResistivity[1] = 50.0f;
    }
    CGantrelData* d = line.AddData();
    d->nReceiver = 1;
    d->fResistivity[0] = -5.0f;  // no logarithm: left out
    CSoundingData s;
    EXPECT_EQ(AddAveragedSounding(line, s), 2);
    ASSERT_EQ(s.points.size(), 2u);
    EXPECT_FLOAT_EQ(s.points[0].fResistivity, 100.0f);
    EXPECT_EQ(s.points[0].nCount, 2);
    EXPECT_FLOAT_EQ(s.points[1].fResistivity, 50.0f);
    EXPECT_EQ(s.points[0].fHalfDipole, 1.25f);
    EXPECT_EQ(s.points[0].fNFactor, 1.0f);
    EXPECT_EQ(s.points[1].fNFactor, 2.0f);
}

TEST_F(ShellTest, MessageTapKeepsOnlyWhatFollowedTheLastQuestion) {
    CMessageTap tap(prompter);
    CPrompter& shown = tap;  // as the commands call it, with the default buttons
    shown.Message("first");
    EXPECT_EQ(tap.LastMessage(), "first");
    prompter.Push(2.5);
    EXPECT_EQ(tap.InputReal("Enter number", "Horizontal cell size", 5.0), 2.5);
    EXPECT_FALSE(tap.LastMessage()) << "a message before a question is not a reason";
    shown.Message("refused");
    EXPECT_EQ(tap.LastMessage(), "refused");
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{"first", "refused"}));
}

}  // namespace
