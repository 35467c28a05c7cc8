// The logger's view of the live section: its settings, the owner of the worker on the state's
// record hook, and the drawing of the published section on the recording canvas.
#include "live/live_view.h"

#include <gtest/gtest.h>

#include "acquisition/demonstration.h"
#include "common/memory_settings.h"
#include "common/recording_canvas.h"
#include "common/settings.h"
#include "tests/acquisition/acquisition_support.h"

namespace {

using namespace std::chrono_literals;

class LiveViewSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { SetSettingsBackend(&memory_); }
    void TearDown() override { SetSettingsBackend(nullptr); }
    CMemorySettingsBackend memory_;
};

TEST_F(LiveViewSettingsTest, StoredSettingsAreReadBackAndUnusableOnesGiveTheDefaults) {
    LiveViewSettings gps;
    gps.bOn = true;
    gps.section.fCellSize = 2.5f;
    gps.section.nLayer = 6;
    gps.section.fDepth = 4.0f;
    gps.section.nIteration = 7;
    gps.section.placement = LivePlacement::GPSLine;
    gps.section.dMarkerSpacing = 5.0;
    LiveViewSettings badLayers = gps;
    badLayers.section.nLayer = 0;
    const LiveViewSettings defaults;
    const struct {
        const char* name;
        LiveViewSettings written;
        LiveViewSettings read;
    } cases[] = {{"all fields", gps, gps}, {"defaults", defaults, defaults},
                 {"no layers: defaults, the switch kept", badLayers, [] {
                      LiveViewSettings s;
                      s.bOn = true;
                      return s;
                  }()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteLiveViewSettings(c.written);
        const LiveViewSettings r = ReadLiveViewSettings();
        EXPECT_EQ(r.bOn, c.read.bOn);
        EXPECT_EQ(r.section.fCellSize, c.read.section.fCellSize);
        EXPECT_EQ(r.section.nLayer, c.read.section.nLayer);
        EXPECT_EQ(r.section.fDepth, c.read.section.fDepth);
        EXPECT_EQ(r.section.nIteration, c.read.section.nIteration);
        EXPECT_EQ(r.section.placement, c.read.section.placement);
        EXPECT_EQ(r.section.dMarkerSpacing, c.read.section.dMarkerSpacing);
    }
}

class LiveViewRecording : public acqtest::AcquisitionTest {
protected:
    // The two-layer demonstration: START, a MARK every 10 readings, END.
    void RecordLine(int nMark) {
        auto& s = *state;
        EXPECT_TRUE(s.StartDemonstration(kSlotGantrel, kDemoTwoLayerModel));
        for (int i = 0; i < 5; ++i) Tick();
        s.StartMark();
        for (int k = 0; k < nMark; ++k) {
            for (int i = 0; i < 100; ++i) Tick();
            if (k + 1 < nMark) s.StartMark();
        }
        s.EndLine();
    }
};

// Off means no worker and nothing on the record hook; on starts one that hears the records.
TEST_F(LiveViewRecording, HostRunsAWorkerOnlyWhileOn) {
    auto& s = MakeState();
    CLiveSectionHost host(s);
    EXPECT_EQ(host.Section(), nullptr);
    EXPECT_FALSE(s.onRecordWritten);
    LiveViewSettings on;
    on.bOn = true;
    on.section.fCellSize = 5.0f;
    on.section.nLayer = 4;
    on.section.fDepth = 4.0f;
    on.section.nIteration = 3;
    const struct {
        LiveViewSettings settings;
        bool running;
    } steps[] = {{on, true}, {LiveViewSettings{}, false}, {on, true}};
    for (const auto& step : steps) {
        const std::uint64_t before = host.Published();
        host.Apply(step.settings);
        EXPECT_EQ(host.Section() != nullptr, step.running);
        EXPECT_EQ(static_cast<bool>(s.onRecordWritten), step.running);
        EXPECT_GT(host.Published(), before) << "the view hears of the change";
    }
    const std::uint64_t before = host.Published();
    RecordLine(3);
    ASSERT_TRUE(host.Section()->WaitUntilCurrent(60s));
    EXPECT_GT(host.Section()->Summary().nInverted, 0);
    EXPECT_GT(host.Published(), before) << "every inverted column counts";
}

TEST_F(LiveViewRecording, DrawingShowsTheColumnsTheNewestMarkedAndTheMisfitCurve) {
    auto& s = MakeState();
    CLiveSectionHost host(s);
    CRecordingCanvas canvas;
    CLiveSectionDrawer drawer(0);
    const CClientSize client{2000, 1300};
    EXPECT_FALSE(drawer.Draw(canvas, host.Section(), client));
    EXPECT_NE(canvas.FindText(LiveSectionOffText(0)), nullptr);

    LiveViewSettings on;
    on.bOn = true;
    on.section.nIteration = 3;
    host.Apply(on);
    canvas.Clear();
    EXPECT_FALSE(drawer.Draw(canvas, host.Section(), client));
    EXPECT_NE(canvas.FindText(LiveSectionWaitingText(0)), nullptr) << "nothing recorded yet";

    RecordLine(4);
    ASSERT_TRUE(host.Section()->WaitUntilCurrent(60s));
    canvas.Clear();
    ASSERT_TRUE(drawer.Draw(canvas, host.Section(), client));
    const LiveSectionSummary sum = host.Section()->Summary();
    EXPECT_EQ(drawer.nColumnDrawn, sum.nColumn);
    EXPECT_GE(drawer.nColumnDrawn, 4);
    EXPECT_EQ(drawer.iMarkedColumn, sum.iNewestColumn);
    EXPECT_GE(drawer.iMarkedColumn, 0);
    EXPECT_NE(canvas.FindText(MisfitStripTitle(0)), nullptr);
    EXPECT_NE(canvas.FindText(LiveSectionStatusText(sum, 0)), nullptr);
    int curves = 0;
    for (const auto& r : canvas.OfKind(CanvasPrimitive::Polyline))
        curves += r.pen.color == CColor{200, 0, 0} ? 1 : 0;
    EXPECT_GE(curves, 1);
}

}  // namespace
