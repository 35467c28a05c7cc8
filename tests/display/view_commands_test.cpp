// The display dispatch of the view, its extents and caption, the mouse on the plots and the
// view commands, through the command table as the window and the batch line use them.
#include <gtest/gtest.h>

#include <cmath>

#include "common/memory_settings.h"
#include "common/recording_canvas.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "display/views.h"
#include "tests/display/display_fixture.h"

namespace {

using namespace display_test;

constexpr CClientSize kClient{1400, 900};

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        AddSyntheticLine(doc_.survey, 51, 0.0, 2.0);
        AddSyntheticLine(doc_.survey, 51, 0.0, 2.0);
        AddSyntheticLine(doc_.survey, 51, 0.0, 2.0);
        FinishSurvey(doc_.survey);
    }
    bool Invoke(int id) { return table_.Invoke(ctx_, id); }
    bool Draw(std::optional<CClientSize> client = kClient) {
        canvas_.Clear();
        return DrawDisplay(canvas_, ctx_, client);
    }
    CGantrelLine& Line(int i) { return doc_.survey.Line(i); }

    CBrivaneDoc doc_;
    CBrivaneViewState view_;
    CScriptedPrompter prompter_;
    CBrivaneContext ctx_{doc_, view_, prompter_};
    CCommandTable table_ = BuildBrivaneCommandsWithViews();
    CRecordingCanvas canvas_;
};

// ---------------------------------------------------------------------------------------------
// Dispatch

TEST_F(ViewTest, LineDisplayMovesOffALineNotInUseAndShowsTheStatusLine) {
    view_.iViewMode = kViewLineResistivity;
    view_.iCurrentLine = 7;
    Line(2).bUse = 0;
    ASSERT_TRUE(Draw());
    EXPECT_EQ(view_.iCurrentLine, 0) << "clamped to line 2, not in use: the first line in use";
    const CCanvasRecord* status = canvas_.FindText("Number of lines = 3. Current line = 0.");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->points[0], (CPoint{10, -15}));
    EXPECT_FLOAT_EQ(view_.fAxisMin, 0.0f);
    EXPECT_FLOAT_EQ(view_.fAxisMax, 100.0f);
}

TEST_F(ViewTest, GatePromptReplacesTheStatusLineExceptWhenExporting) {
    view_.iViewMode = kViewLineResistance;
    view_.iMouseMode = kMouseGate;
    view_.gateResistance = {1, 2.0f, 10.0f, 90.0f};
    ASSERT_TRUE(Draw());
    const std::string prompt =
        "Use arrow keys to set gates. Press Enter to move from first to next gate.";
    const CCanvasRecord* text = canvas_.FindText(prompt);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->points[0], (CPoint{10, -18}));
    EXPECT_EQ(text->font.iHeight, 40);
    EXPECT_EQ(canvas_.LinesWithPen({255, 0, 0}, 10).size(), 1u) << "the first gate, being set";

    CExportingScope exporting;
    ASSERT_TRUE(Draw());
    EXPECT_EQ(canvas_.FindText(prompt), nullptr);
    EXPECT_NE(canvas_.FindText("Number of lines = 3. Current line = 0."), nullptr);
}

TEST_F(ViewTest, ScalesAreFittedOnTheFirstDrawOnlyAndNotWhileExporting) {
    view_.iViewMode = kViewLineResistivity;
    {
        CExportingScope exporting;
        Draw();
        EXPECT_EQ(DisplayOf(ctx_).bLineFitted, 0);
    }
    ASSERT_TRUE(Draw());
    EXPECT_FLOAT_EQ(DisplayOf(ctx_).lineView.axes.fXScale, 10.0f);
    ASSERT_TRUE(Draw(CClientSize{2400, 900}));
    EXPECT_FLOAT_EQ(DisplayOf(ctx_).lineView.axes.fXScale, 10.0f) << "kept for later draws";
}

TEST_F(ViewTest, CaptionIsWrittenUnderEveryPlotAndExtentsAreStored) {
    doc_.sDataTitle = "survey_0003.sto";
    view_.iViewMode = kViewSectionOriginal;
    ASSERT_TRUE(Draw());
    const CDisplayExtents e = DisplayOf(ctx_).extents;
    EXPECT_EQ(e.iBottom, 700);
    EXPECT_GT(e.iRight, 1100) << "the legend lies right of the frame";
    const CCanvasRecord* caption = canvas_.FindText("survey_0003.sto");
    ASSERT_NE(caption, nullptr);
    // 2.5 mm under the plot, and under the legend's unit line beside it.
    EXPECT_EQ(caption->points[0], (CPoint{200, -(725 + kLegendUnitRoom)}));
    EXPECT_LT(caption->box.top, canvas_.FindText("(Ohm-m)")->box.bottom);
    EXPECT_EQ(caption->font.iHeight, 40);
}

TEST_F(ViewTest, DisplayWithoutDataDrawsNothingAndKeepsThePreviousExtents) {
    view_.iViewMode = kViewLineResistivity;
    ASSERT_TRUE(Draw());
    const CDisplayExtents before = DisplayOf(ctx_).extents;
    view_.iViewMode = kViewSectionGridded;
    EXPECT_FALSE(Draw());
    EXPECT_TRUE(canvas_.Records().empty());
    EXPECT_EQ(DisplayOf(ctx_).extents.iRight, before.iRight);
    EXPECT_EQ(DisplayOf(ctx_).extents.iBottom, before.iBottom);
    view_.iViewMode = kViewNothing;
    EXPECT_FALSE(Draw());
}

TEST_F(ViewTest, LinesWithoutDistancesAreNotDrawn) {
    doc_.survey.bMarkerDistance = 0;
    doc_.survey.fMinDistance = doc_.survey.fMaxDistance = 0.0f;
    view_.iViewMode = kViewLineResistivity;
    EXPECT_FALSE(Draw());
}

TEST_F(ViewTest, DrawerOfAnotherPartIsCalledForItsMode) {
    int calls = 0;
    SetDisplayDrawer(kViewSerialTransfer,
                     [&](CCanvas&, CBrivaneContext&, const CClientSize* c, CDisplayExtents& e) {
                         ++calls;
                         EXPECT_NE(c, nullptr);
                         e = {900, 800};
                         return true;
                     });
    view_.iViewMode = kViewSerialTransfer;
    EXPECT_TRUE(Draw());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(DisplayOf(ctx_).extents.iRight, 900);
    SetDisplayDrawer(kViewSerialTransfer, {});
    EXPECT_FALSE(Draw());
}

TEST(DisplayNames, BatchNamesSelectTheirViewModes) {
    EXPECT_EQ(ViewModeFromDisplayName("line"), kViewLineResistivity);
    EXPECT_EQ(ViewModeFromDisplayName("line-vi"), kViewLineResistance);
    EXPECT_EQ(ViewModeFromDisplayName("section"), kViewSectionOriginal);
    EXPECT_EQ(ViewModeFromDisplayName("gridded"), kViewSectionGridded);
    EXPECT_EQ(ViewModeFromDisplayName("model"), kViewModel2D);
    EXPECT_EQ(ViewModeFromDisplayName("model1d"), kViewModel1D);
    EXPECT_EQ(ViewModeFromDisplayName("Line"), std::nullopt);
}

// ---------------------------------------------------------------------------------------------
// Mouse

TEST_F(ViewTest, ClickMarksADotOnlyInThePickInteraction) {
    view_.iViewMode = kViewLineResistivity;
    ASSERT_TRUE(Draw());
    const CGantrelLineView& plot = DisplayOf(ctx_).lineView;
    const CGantrelData& d = Line(0).pData[10];
    const int x = static_cast<int>((d.fDistance - plot.axes.fXStart) * plot.axes.fXScale + 200);
    const int y = -static_cast<int>(
        (plot.axes.fYEnd - std::log10(d.fResistivity[2])) * plot.axes.fYScale + 200);
    EXPECT_EQ(ViewLeftClick(ctx_, x, y), 0);
    ASSERT_TRUE(Invoke(kCmdMouseMode1));
    EXPECT_TRUE(table_.IsChecked(ctx_, kCmdMouseMode1));
    ctx_.bRedraw = false;
    EXPECT_EQ(ViewLeftClick(ctx_, x, y), 1);
    EXPECT_TRUE(ctx_.bRedraw);
    EXPECT_EQ(Line(0).pData[10].bDeleted[2], 1);
}

TEST_F(ViewTest, DraggedRectangleMarksDotsInTheRectangleInteraction) {
    view_.iViewMode = kViewLineResistivity;
    ASSERT_TRUE(Draw());
    EXPECT_EQ(ViewSelectRectangle(ctx_, 0, 0, 5000, -5000), 0);
    ASSERT_TRUE(Invoke(kCmdMouseMode4));
    EXPECT_EQ(ViewSelectRectangle(ctx_, 0, 0, 5000, -5000), 51 * 5);
}

// ---------------------------------------------------------------------------------------------
// Commands

TEST_F(ViewTest, NextReceiverOnTheLastReceiverLeavesItUnchanged) {
    view_.iViewMode = kViewLineResistivity;
    EXPECT_FALSE(table_.IsEnabled(ctx_, kCmdNextReceiver)) << "all receivers are shown";
    ASSERT_TRUE(Invoke(kCmdShowOneReceiver));
    EXPECT_EQ(Line(0).bShowAllReceivers, 0);
    EXPECT_EQ(Line(0).bReceiverShown[1], 0);
    for (int i = 0; i < 6; ++i) Invoke(kCmdNextReceiver);
    EXPECT_EQ(Line(0).iShownReceiver, 4);
    EXPECT_EQ(Line(0).bReceiverShown[4], 1);
    EXPECT_EQ(Line(0).bReceiverShown[0], 0);
    ASSERT_TRUE(Invoke(kCmdPreviousReceiver));
    EXPECT_EQ(Line(0).iShownReceiver, 3);
}

TEST_F(ViewTest, ShowAllReceiversTogglesAndIsOnlyOfferedInTheLineDisplays) {
    view_.iViewMode = kViewSectionOriginal;
    EXPECT_FALSE(table_.IsEnabled(ctx_, kCmdShowAllReceivers));
    view_.iViewMode = kViewLineResistance;
    EXPECT_TRUE(table_.IsChecked(ctx_, kCmdShowAllReceivers));
    ASSERT_TRUE(Invoke(kCmdShowAllReceivers));
    EXPECT_FALSE(table_.IsChecked(ctx_, kCmdShowAllReceivers));
    EXPECT_EQ(Line(0).bReceiverShown[0], 1);
    EXPECT_EQ(Line(0).bReceiverShown[1], 0);
    ASSERT_TRUE(Invoke(kCmdShowAllReceivers));
    EXPECT_EQ(Line(0).bReceiverShown[4], 1);
}

TEST_F(ViewTest, ToolbarShowAllReceiversSetsInsteadOfToggling) {
    view_.iViewMode = kViewLineResistivity;
    ASSERT_TRUE(Invoke(kCmdShowAllReceiversButton));
    EXPECT_EQ(Line(0).bShowAllReceivers, 1) << "all were shown: they stay shown";
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Line(0).bReceiverShown[i], 1) << i;
    ASSERT_TRUE(Invoke(kCmdShowOneReceiver));
    ASSERT_TRUE(Invoke(kCmdShowAllReceiversButton));
    EXPECT_EQ(Line(0).bReceiverShown[4], 1);
    view_.iViewMode = kViewModel2D;
    EXPECT_FALSE(table_.IsEnabled(ctx_, kCmdShowAllReceiversButton));
}

TEST_F(ViewTest, NextLineOnTheLastLineStays) {
    view_.iViewMode = kViewLineResistivity;
    for (int i = 0; i < 5; ++i) Invoke(kCmdNextLine);
    EXPECT_EQ(view_.iCurrentLine, 2);
}

TEST_F(ViewTest, ZoomScalesTheShownPlotBySquareRootOfTwo) {
    view_.iViewMode = kViewLineResistivity;
    ASSERT_TRUE(Draw());
    ASSERT_TRUE(Invoke(kCmdHScaleUp));
    EXPECT_FLOAT_EQ(DisplayOf(ctx_).lineView.axes.fXScale, 10.0f * 1.4142135f);
    ASSERT_TRUE(Invoke(kCmdVScaleDown));
    EXPECT_FLOAT_EQ(DisplayOf(ctx_).lineView.axes.fYScale, 100.0f / 1.4142135f);
    view_.iViewMode = kViewModel1D;
    const float h = view_.fHScale;
    ASSERT_TRUE(Invoke(kCmdHScaleDown));
    EXPECT_FLOAT_EQ(view_.fHScale, h / 1.4142135f);
}

TEST_F(ViewTest, CommandsOfOtherDisplaysKeepTheirEarlierHandler) {
    CCommandTable table = BuildBrivaneCommands();
    int mapSteps = 0;
    table.Bind(kCmdNextReceiver, [&](CBrivaneContext&) { ++mapSteps; });
    RegisterViewCommands(table);
    view_.iViewMode = kViewGPSMap;
    EXPECT_TRUE(table.Invoke(ctx_, kCmdNextReceiver));
    EXPECT_EQ(mapSteps, 1);
    view_.iViewMode = kViewLineResistivity;
    EXPECT_FALSE(table.Invoke(ctx_, kCmdNextReceiver)) << "all receivers shown";
    EXPECT_EQ(mapSteps, 1);
}

class ModelCommandsTest : public ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        ASSERT_TRUE(AnalyseSurvey(doc_, 4.0f, 1));
        nColumn_ = doc_.store.nColumn;
        ASSERT_GT(nColumn_, 12);
        view_.iViewMode = kViewModel1D;
    }
    int nColumn_ = 0;
};

TEST_F(ModelCommandsTest, NextModelStopsAtTheLastIndexForTheColumnsShown) {
    view_.iCurrentSounding = nColumn_ - 2;
    ASSERT_TRUE(Invoke(kCmdNextLine));
    EXPECT_EQ(view_.iCurrentSounding, nColumn_ - 1);
    ASSERT_TRUE(Invoke(kCmdNextLine));
    EXPECT_EQ(view_.iCurrentSounding, nColumn_ - 1);
    ASSERT_TRUE(Invoke(kCmdModelColumns10));
    EXPECT_EQ(view_.iCurrentSounding, nColumn_ - 10) << "ten columns end at the last";
    EXPECT_TRUE(table_.IsChecked(ctx_, kCmdModelColumns10));
    view_.iCurrentSounding = 0;
    ASSERT_TRUE(Invoke(kCmdSoundingForward10));
    ASSERT_TRUE(Invoke(kCmdSoundingForward10));
    EXPECT_EQ(view_.iCurrentSounding, nColumn_ - 10);
    ASSERT_TRUE(Invoke(kCmdSoundingBack10));
    ASSERT_TRUE(Invoke(kCmdSoundingBack10));
    ASSERT_TRUE(Invoke(kCmdSoundingBack10));
    EXPECT_EQ(view_.iCurrentSounding, 0);
}

TEST_F(ModelCommandsTest, ShowCalculatedDataShowsOneColumn) {
    ASSERT_TRUE(Invoke(kCmdDisplayMode));
    EXPECT_EQ(DisplayOf(ctx_).modelDisplay.nColumnShown, 5);
    ASSERT_TRUE(Invoke(kCmdDisplayToggle));
    EXPECT_TRUE(table_.IsChecked(ctx_, kCmdDisplayToggle));
    EXPECT_EQ(DisplayOf(ctx_).modelDisplay.nColumnShown, 1);
    ASSERT_TRUE(Draw());
    int blue = 0;
    for (const auto& r : canvas_.OfKind(CanvasPrimitive::Ellipse))
        blue += r.brush.color == CColor{0, 0, 255};
    EXPECT_EQ(blue, doc_.store.nRow[0]);

    doc_.store.nLayer = 0;
    EXPECT_FALSE(table_.IsEnabled(ctx_, kCmdDisplayToggle)) << "no model layers";
}

TEST_F(ModelCommandsTest, LayerBoundaryIsOfferedOnlyInTheOneDimensionalDisplay) {
    EXPECT_TRUE(table_.IsEnabled(ctx_, kCmdShowLayerBoundary));
    ASSERT_TRUE(Invoke(kCmdShowLayerBoundary));
    EXPECT_TRUE(table_.IsChecked(ctx_, kCmdShowLayerBoundary));
    ASSERT_TRUE(Draw());
    EXPECT_EQ(canvas_.OfKind(CanvasPrimitive::Polygon).front().pen, kBlackPen);
    view_.iViewMode = kViewModel2D;
    EXPECT_FALSE(table_.IsEnabled(ctx_, kCmdShowLayerBoundary));
}

TEST_F(ModelCommandsTest, DisplaysOfTheAnalysisAreOfferedWhenTheirDataExist) {
    EXPECT_TRUE(table_.IsEnabled(ctx_, kCmdShowSectionGridded));
    EXPECT_TRUE(table_.IsEnabled(ctx_, kCmdShowModel2D));
    ASSERT_TRUE(Invoke(kCmdShowModel2D));
    EXPECT_EQ(view_.iViewMode, kViewModel2D);
    EXPECT_TRUE(table_.IsChecked(ctx_, kCmdShowModel2D));
    doc_.store.nLayer = 0;
    EXPECT_FALSE(table_.IsEnabled(ctx_, kCmdShowModel2D));
    doc_.store.nColumn = 0;
    EXPECT_FALSE(table_.IsEnabled(ctx_, kCmdShowSectionGridded));
    EXPECT_FALSE(table_.IsEnabled(ctx_, kCmdShowModel1D));
}

TEST_F(ModelCommandsTest, DefaultHorizontalScaleFitsTheGraphToThePage) {
    // Five decades from x = 400 to 3 cm short of the page's right edge; a stored scale that
    // leaves a readable graph is the user's, one that does not is refitted.
    struct Case {
        const char* what;
        std::optional<double> stored;
        std::optional<CClientSize> page;
        float expected;
    };
    const Case cases[] = {
        {"nothing stored, window page", std::nullopt, kClient, (1400.0f - 700.0f) / 5.0f},
        {"nothing stored, no window", std::nullopt, std::nullopt, (2000.0f - 700.0f) / 5.0f},
        {"stored linear default", 1.0, kClient, (1400.0f - 700.0f) / 5.0f},
        {"stored readable scale", 50.0, kClient, 50.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CMemorySettingsBackend memory;
        SetSettingsBackend(&memory);
        if (c.stored) WriteSettingReal("hscale", *c.stored);
        CBrivaneViewState view;
        view.iViewMode = kViewModel1D;
        view.fHScale = c.stored ? static_cast<float>(*c.stored) : 1.0f;
        CBrivaneContext ctx{doc_, view, prompter_};
        doc_.pDisplays.reset();
        ASSERT_TRUE(DrawDisplay(canvas_, ctx, c.page));
        EXPECT_FLOAT_EQ(view.fHScale, c.expected);
        SetSettingsBackend(nullptr);
    }
}

// The View menu's misfit item: the model section shows the curve of the stored misfits when
// it is checked, and the choice is in the settings for the next start.
TEST_F(ModelCommandsTest, MisfitPerColumnIsShownWhenCheckedAndTheChoiceIsKept) {
    CMemorySettingsBackend memory;
    SetSettingsBackend(&memory);
    view_.iViewMode = kViewModel2D;
    const std::string title = MisfitStripTitle(0);
    for (int on : {1, 0}) {
        ASSERT_TRUE(Invoke(kCmdShowColumnMisfit));
        EXPECT_EQ(table_.IsChecked(ctx_, kCmdShowColumnMisfit), on == 1);
        EXPECT_EQ(ReadSettingInt("bShowColumnMisfit", -1), on);
        ASSERT_TRUE(Draw());
        EXPECT_EQ(canvas_.FindText(title) != nullptr, on == 1) << on;
        CBrivaneViewState next;
        next.LoadSettings();
        EXPECT_EQ(next.bShowColumnMisfit, on) << "read again at the next start";
    }
    SetSettingsBackend(nullptr);
}

TEST_F(ModelCommandsTest, AxisConfigurationOfTheGraphChangesTheDrawnFrame) {
    DisplayOf(ctx_);
    prompter_.PushDialog<CDlgManualAxis>([](CDlgManualAxis& d) {
        d.bXLog = 0;
        d.dXMinimum = 0.0;
        d.dXMaximum = 500.0;
        d.fXInterval = 100.0f;
        d.bYFixed = 1;
        d.dYMaximum = 10.0;
    });
    const float h = view_.fHScale;
    ASSERT_TRUE(Invoke(kCmdAxisConfiguration));
    // Five decades became 1 to 500 Ohm-m (the minimum field is not editable): the scale keeps
    // the graph's width.
    EXPECT_FLOAT_EQ(view_.fHScale, h * 5.0f / 499.0f);
    ASSERT_TRUE(Draw());
    const CAxes& drawn = DisplayOf(ctx_).modelDisplay.axes;
    EXPECT_EQ(drawn.bXLog, 0);
    EXPECT_FLOAT_EQ(drawn.fXStart, 1.0f);
    EXPECT_FLOAT_EQ(drawn.fXEnd, 500.0f);
    EXPECT_FLOAT_EQ(drawn.fYStart, -10.0f) << "10 m deep at the frame bottom";
    EXPECT_NE(canvas_.FindText("10"), nullptr);
}

}  // namespace
