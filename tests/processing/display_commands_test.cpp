#include "processing/display_commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "processing/commands.h"

namespace {

class DisplayCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&store);
        SetLanguage(kLanguageEnglish);
        // "Manual" writes ManualColor.txt into the current directory.
        previous = std::filesystem::current_path();
        folder = std::filesystem::temp_directory_path() /
                 ("gantrel_display_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
        SetSettingsBackend(nullptr);
    }
    void AddReading(float r0, float r1) {
        if (doc.survey.nLine == 0) doc.survey.AddLine();
        CGantrelData* d = doc.survey.Line(0).AddData();
        d->nReceiver = 2;
        d->fResistivity[0] = r0;
        d->fResistivity[1] = r1;
    }

    CMemorySettingsBackend store;
    CBrivaneDoc doc;
    CBrivaneViewState view;
    CViewDisplayState display{view};
    CScriptedPrompter prompter;
    CBrivaneContext ctx{doc, view, prompter};
    CCommandTable table = BuildBrivaneCommands();
    std::filesystem::path previous, folder;
};

TEST_F(DisplayCommandsTest, CurrentModeIsCheckedAndDisabled) {
    EXPECT_TRUE(table.IsChecked(ctx, kCmdContourDefault));
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdContourDefault));
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdContourLinear));
    EXPECT_TRUE(table.Invoke(ctx, kCmdContourLog));
    EXPECT_TRUE(ctx.bRedraw);
    EXPECT_TRUE(table.IsChecked(ctx, kCmdContourLog));
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdContourLog));
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdContourDefault));
    EXPECT_FALSE(table.IsChecked(ctx, kCmdContourDefault));
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdContourManual));
}

TEST_F(DisplayCommandsTest, CommandsNeedTheViewsDisplayState) {
    CBrivaneViewState other;
    CBrivaneContext otherCtx{doc, other, prompter};
    EXPECT_FALSE(table.IsEnabled(otherCtx, kCmdContourManual));
    EXPECT_FALSE(table.Invoke(otherCtx, kCmdContourLinear));
    {
        CViewDisplayState attached(other);
        EXPECT_TRUE(table.IsEnabled(otherCtx, kCmdContourManual));
    }
    EXPECT_EQ(FindViewDisplayState(other), nullptr);
    EXPECT_EQ(FindViewDisplayState(view), &display);
}

TEST_F(DisplayCommandsTest, AutomaticWithoutLimitsKeepsTheLevelsAndFollowsTheData) {
    AddReading(10.0f, 10000.0f);
    AddReading(-3.0f, 100.0f);
    ASSERT_TRUE(table.Invoke(ctx, kCmdContourLog));
    EXPECT_EQ(display.colorScale.nLevel, 26);
    PrepareContourForDraw(display, doc.survey, std::nullopt);
    EXPECT_EQ(display.fContourMinimum, 10.0f) << "the minimum ignores -3";
    EXPECT_EQ(display.fContourMaximum, 10000.0f);
    EXPECT_NEAR(display.colorScale.fBound[1], 13.335f, 0.001f);
    EXPECT_FLOAT_EQ(display.colorScale.fBound[24], 10000.0f);
    EXPECT_EQ(display.colorScale.Lookup(-3.0f), 0);
}

TEST_F(DisplayCommandsTest, AutomaticLinearResamplesWithTheViewsLimits) {
    display.fContourMinimum = 10.0f;
    display.fContourMaximum = 100.0f;
    display.fContourInterval = 10.0f;
    ASSERT_TRUE(table.Invoke(ctx, kCmdContourLinear));
    EXPECT_EQ(display.colorScale.nLevel, 11);
    AddReading(0.0f, 500.0f);
    PrepareContourForDraw(display, doc.survey, CValueRange{50.0f, 200.0f});
    EXPECT_EQ(display.colorScale.fBound[0], 50.0f) << "store minimum below the data's";
    EXPECT_EQ(display.colorScale.fBound[9], 500.0f);
    EXPECT_FLOAT_EQ(display.colorScale.fBound[1], 50.0f + 450.0f / 9.0f);
    EXPECT_FLOAT_EQ(display.colorScale.fBound[10], 110.0f) << "last bound kept";
}

TEST_F(DisplayCommandsTest, ManualRefusesTooFewContoursAndReopensWithTheEnteredValues) {
    WriteSettingReal("color_rMin", 1.0);
    WriteSettingReal("color_rMax", 1000.0);
    WriteSettingReal("color_rInt", 10.0);
    float shownMinimum = 0.0f, shownInterval = 0.0f, reshownMaximum = 0.0f;
    prompter.PushDialog<CDlgContourInterval>([&](CDlgContourInterval& d) {
        shownMinimum = d.fMinimum;
        shownInterval = d.fInterval;
        d.fMinimum = 10.0f;
        d.fMaximum = 20.0f;
        d.fInterval = 10.0f;  // one interval
    });
    prompter.PushDialog<CDlgContourInterval>([&](CDlgContourInterval& d) {
        reshownMaximum = d.fMaximum;
        d.fMaximum = 100.0f;
    });
    ASSERT_TRUE(table.Invoke(ctx, kCmdContourManual));
    EXPECT_EQ(shownMinimum, 1.0f) << "filled from the settings";
    EXPECT_EQ(shownInterval, 50.0f) << "the stored 10 gives 99 intervals: one that fits";
    EXPECT_EQ(reshownMaximum, 20.0f);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{
                  "Number of contour is too few: at least 4 intervals are needed between the "
                  "minimum and the maximum. Enter a smaller interval."});
    EXPECT_EQ(prompter.History().front().sText, "Contour interval");
    EXPECT_EQ(display.iContourMode, kContourManual);
    EXPECT_EQ(display.colorScale.nLevel, 11);
    EXPECT_EQ(ReadSettingString("color_rMax", ""), "100.000000");
    EXPECT_EQ(ReadSettingString("color_rMin", ""), "10.000000");
    EXPECT_EQ(display.fContourInterval, 10.0f);
    EXPECT_TRUE(std::filesystem::exists(folder / "ManualColor.txt"));
    EXPECT_TRUE(ctx.bRedraw);
    EXPECT_TRUE(table.IsEnabled(ctx, kCmdContourManual)) << "Manual can be chosen again";
}

TEST_F(DisplayCommandsTest, ManualOpensWithLevelsThatCanBeBuiltAndSaysWhatIsWrong) {
    // Nothing stored and no automatic draw yet: the default table's span, a round interval.
    CDlgContourInterval shown;
    std::vector<CDlgContourInterval> answers = {
        {}, {}, {}, {}};
    answers[0].fMinimum = 0.0f, answers[0].fMaximum = 100.0f, answers[0].fInterval = 10.0f;
    answers[1].fMinimum = 50.0f, answers[1].fMaximum = 40.0f, answers[1].fInterval = 1.0f;
    answers[2].fMinimum = 10.0f, answers[2].fMaximum = 100.0f, answers[2].fInterval = 0.0f;
    answers[3].fMinimum = 10.0f, answers[3].fMaximum = 1000.0f, answers[3].fInterval = 1.0f;
    for (size_t k = 0; k < answers.size(); ++k) {
        prompter.PushDialog<CDlgContourInterval>([&, k](CDlgContourInterval& d) {
            if (k == 0) shown = d;
            d.fMinimum = answers[k].fMinimum;
            d.fMaximum = answers[k].fMaximum;
            d.fInterval = answers[k].fInterval;
        });
    }
    // The first answer as shown builds the levels.
    prompter.PushDialog<CDlgContourInterval>([&](CDlgContourInterval& d) { d = shown; });
    ASSERT_TRUE(table.Invoke(ctx, kCmdContourManual));
    EXPECT_EQ(shown.fMinimum, 10.0f);
    EXPECT_EQ(shown.fMaximum, 7000.0f);
    EXPECT_EQ(shown.fInterval, 500.0f);
    EXPECT_EQ(prompter.Messages(),
              (std::vector<std::string>{
                  "The minimum and the maximum must both be above 0.",
                  "The maximum must be above the minimum.", "The interval must be above 0.",
                  "Number of contour is too many: at most 35 intervals fit between the minimum "
                  "and the maximum. Enter a larger interval."}));
    EXPECT_EQ(display.iContourMode, kContourManual);
    EXPECT_EQ(display.fContourInterval, 500.0f);
}

TEST_F(DisplayCommandsTest, ManualCancelKeepsModeAndLevels) {
    WriteSettingReal("color_rMin", 5.0);
    prompter.PushCancel();
    ASSERT_TRUE(table.Invoke(ctx, kCmdContourManual));
    EXPECT_EQ(display.iContourMode, kContourDefault);
    EXPECT_EQ(display.colorScale.nLevel, 26);
    EXPECT_FALSE(ctx.bRedraw);
    EXPECT_EQ(display.fContourMinimum, 5.0f) << "the settings were read before the dialog";
    EXPECT_FALSE(store.Contains(SettingsScope::Profile, "color_rMax"));
}

TEST_F(DisplayCommandsTest, AxisConfigurationEditsTheSectionAsDepths) {
    CAxes section;
    section.fXStart = 0.0f;
    section.fXEnd = 200.0f;
    section.fXInterval = 20.0f;
    section.fYStart = -14.0f;
    section.fYEnd = 0.0f;
    section.fYInterval = 1.0f;
    display.pSectionAxes = &section;
    view.iViewMode = kViewLineResistivity;
    EXPECT_FALSE(table.IsEnabled(ctx, kCmdAxisConfiguration)) << "no line plot yet";
    view.iViewMode = kViewSectionGridded;
    bool minimumEnabled = true;
    std::string yUnit;
    prompter.PushDialog<CDlgManualAxis>([&](CDlgManualAxis& d) {
        minimumEnabled = d.bYMinimumEnabled;
        yUnit = d.sYUnit;
        EXPECT_EQ(d.dYMaximum, 14.0);
        d.bYFixed = 1;
        d.dYMaximum = 20.0;
        d.fYInterval = 2.0f;
    });
    ASSERT_TRUE(table.Invoke(ctx, kCmdAxisConfiguration));
    EXPECT_FALSE(minimumEnabled);
    EXPECT_EQ(yUnit, "m");
    EXPECT_EQ(section.fYStart, -20.0f);
    EXPECT_EQ(section.fYEnd, 0.0f);
    EXPECT_EQ(section.fYInterval, 2.0f);
    EXPECT_EQ(section.bYFixed, 1);
    EXPECT_EQ(section.fXEnd, 200.0f) << "x not fixed: unchanged";
    EXPECT_TRUE(ctx.bRedraw);
}

TEST_F(DisplayCommandsTest, ModelGraphKeepsItsWidthWhenXTurnsLogarithmic) {
    CAxes graph;
    graph.fXStart = 0.0f;
    graph.fXEnd = 1000.0f;
    graph.fXInterval = 100.0f;
    graph.fYStart = 0.0f;
    graph.fYEnd = 20.0f;
    graph.fYInterval = 2.0f;
    display.pModelGraphAxes = &graph;
    view.iViewMode = kViewModel1D;
    view.fHScale = 1.0f;
    prompter.PushDialog<CDlgManualAxis>([](CDlgManualAxis& d) {
        EXPECT_TRUE(d.bXLogShown);
        EXPECT_FALSE(d.bYLogShown);
        EXPECT_EQ(d.sXUnit, "ohm-m");
        d.bXLog = 1;  // the minimum is still the linear 0
    });
    prompter.PushDialog<CDlgManualAxis>([](CDlgManualAxis& d) {
        d.dXMinimum = 1.0;
        d.dXMaximum = 100000.0;
    });
    ASSERT_TRUE(table.Invoke(ctx, kCmdAxisConfiguration));
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"The minimum and maximum of a logarithmic axis must be "
                                       "above 0."});
    EXPECT_EQ(graph.bXLog, 1);
    EXPECT_FLOAT_EQ(graph.fXEnd, 5.0f);
    EXPECT_FLOAT_EQ(view.fHScale, 200.0f);  // 1000 / 5
}

TEST_F(DisplayCommandsTest, AxisConfigurationCancelChangesNothing) {
    CAxes map;
    map.fXStart = 0.0f;
    map.fXEnd = 10.0f;
    display.pMapAxes = &map;
    view.iViewMode = kViewGPSMap;
    prompter.PushCancel();
    ASSERT_TRUE(table.Invoke(ctx, kCmdAxisConfiguration));
    EXPECT_EQ(map.fXEnd, 10.0f);
    EXPECT_FALSE(ctx.bRedraw);
}

}  // namespace
