#include "live/live_section.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "acquisition/demonstration.h"
#include "processing/batch.h"
#include "sectionfiles/ovs_file.h"
#include "tests/acquisition/acquisition_support.h"

namespace {

using namespace std::chrono_literals;
using acqtest::ReadFile;

// The section and model blocks of a section file: everything before the survey sections.
std::string SectionAndModel(const std::filesystem::path& path) {
    const std::string text = ReadFile(path);
    return text.substr(0, text.find("//* GPS_flags"));
}

// Records the two-layer demonstration (and the GPS track) through the logger's engine, one
// reading a second, MARK every 10 s, handing every record written to the live section.
class LiveRecording : public acqtest::AcquisitionTest {
protected:
    std::vector<std::string> Record(CLiveSection* live, int nMark, bool bEnd = true) {
        auto& s = MakeState();
        std::vector<std::string> records;
        s.onRecordWritten = [&records, live](int instrument, const std::string& r) {
            if (instrument != 0) return;
            records.push_back(r);
            if (live) live->TakeRecord(r);
        };
        EXPECT_TRUE(s.StartDemonstration(kSlotGantrel, kDemoTwoLayerModel));
        EXPECT_TRUE(s.StartDemonstration(kSlotGPS, kDemoGPSTrack));
        for (int i = 0; i < 5; ++i) Tick();
        s.StartMark();
        for (int k = 0; k < nMark; ++k) {
            for (int i = 0; i < 100; ++i) Tick();
            if (k + 1 < nMark || !bEnd) s.StartMark();
        }
        if (bEnd) s.EndLine();
        s.onRecordWritten = nullptr;
        return records;
    }
};

struct EqualityCase {
    const char* name;
    LivePlacement placement;
    const char* config;
    const char* live;   // CELL:LAYERS:DEPTH:ITER
    const char* model;  // MODE:DEPTH:LAYERS for the batch
};

TEST_F(LiveRecording, SectionAtEndLineIsTheBatchSectionOfTheFile) {
    const EqualityCase cases[] = {
        {"markers", LivePlacement::Markers, "0", "2:8:3:10", "1:3:8"},
        {"markers, two layers", LivePlacement::Markers, "0", "5:2:5:20", "1:5:2"},
        {"GPS fitted line", LivePlacement::GPSLine, "1", "2:6:4:5", "1:4:6"},
    };
    int n = 0;
    for (const EqualityCase& c : cases) {
        SCOPED_TRACE(c.name);
        LiveSectionSettings base;
        base.placement = c.placement;
        base.dMarkerSpacing = 10.0;
        std::string error;
        const auto settings = ParseLiveSettings(c.live, base, error);
        ASSERT_TRUE(settings) << error;
        CLiveSection live(*settings);
        Record(&live, 4);
        const std::filesystem::path file = state->sSurveyPath[0];
        ASSERT_TRUE(live.WaitUntilCurrent(60s));
        const LiveSectionSummary sum = live.Summary();
        EXPECT_EQ(sum.nReading, 40);
        EXPECT_EQ(sum.nPlaced, 40);
        EXPECT_GE(sum.nColumn, 4);
        EXPECT_EQ(sum.nInverted, sum.nColumn);
        EXPECT_GT(sum.fMedianMisfit, 0.0f);
        EXPECT_LT(sum.fMedianMisfit, 0.2f);

        const auto liveOvs = dir / ("live" + std::to_string(n) + ".ovs");
        const auto batchOvs = dir / ("batch" + std::to_string(n++) + ".ovs");
        ASSERT_TRUE(live.WriteSectionFile(liveOvs));
        const std::string ls = c.live;
        const std::string cell = ls.substr(0, ls.find(':'));
        const std::string iter = ls.substr(ls.rfind(':') + 1);
        auto options = ParseBatchOptions(
            {file.string(), "--config", c.config, "--marker-spacing", "10", "--grid", cell,
             "--initial-model", c.model, "--invert", iter, "--save-ovs", batchOvs.string()},
            error);
        ASSERT_TRUE(options) << error;
        std::ostringstream log;
        ASSERT_EQ(RunBatch(*options, log, {}), 0) << log.str();
        EXPECT_EQ(SectionAndModel(liveOvs), SectionAndModel(batchOvs));

        // The file the live section wrote reads back as its section and model.
        CTrevascDataOhm store;
        ASSERT_TRUE(store.Initialise(kStoreMaxColumn, kStoreMaxRow, kStoreMaxColumn, 100));
        CGantrelSurvey survey;
        ReadSectionFile(store, liveOvs, survey);
        EXPECT_EQ(store.nColumn, sum.nColumn);
        EXPECT_EQ(survey.nLine, 1);
    }
}

TEST_F(LiveRecording, ReadingsAfterTheLatestMarkerArePlacedAheadAndReinvertedAtTheNext) {
    LiveSectionSettings settings;
    settings.fCellSize = 2.0f;
    CLiveSection live(settings);
    std::vector<std::pair<int, std::uint64_t>> inverted;
    std::mutex m;
    live.onColumnInverted = [&](int c, std::uint64_t state) {
        std::lock_guard<std::mutex> lock(m);
        inverted.emplace_back(c, state);
    };
    const std::vector<std::string> records = Record(nullptr, 3, false);
    // Geometry, START, eight readings with their fixes: no MARK yet, nothing placed.
    size_t i = 0;
    auto feedUntilReadings = [&](int nReading) {
        for (; i < records.size() && live.Summary().nReading < nReading; ++i) {
            live.TakeRecord(records[i]);
            ASSERT_TRUE(live.WaitUntilCurrent(30s));
        }
    };
    feedUntilReadings(8);
    EXPECT_EQ(live.Summary().nPlaced, 0);
    EXPECT_EQ(live.Summary().nColumn, 0);
    // Past the first MARK every reading is placed, the newest ones ahead of it.
    feedUntilReadings(15);
    LiveSectionSummary sum = live.Summary();
    EXPECT_EQ(sum.nPlaced, 15);
    EXPECT_EQ(sum.nInverted, sum.nColumn);
    EXPECT_EQ(sum.iNewestColumn, sum.nColumn - 1);
    // A reading changes only the columns at the head of the line.
    const int nColumnBefore = sum.nColumn;
    {
        std::lock_guard<std::mutex> lock(m);
        inverted.clear();
    }
    feedUntilReadings(16);
    std::set<int> changed;
    for (const auto& [c, state] : inverted) changed.insert(c);
    ASSERT_FALSE(changed.empty());
    EXPECT_GE(*changed.begin(), nColumnBefore - 4) << "columns far behind keep their model";
}

TEST_F(LiveRecording, WorkerBehindSkipsToTheNewestState) {
    LiveSectionSettings settings;
    settings.fCellSize = 1.0f;
    settings.nIteration = 40;
    CLiveSection live(settings);
    std::set<std::uint64_t> states;
    std::mutex m;
    live.onColumnInverted = [&](int, std::uint64_t state) {
        std::lock_guard<std::mutex> lock(m);
        states.insert(state);
    };
    const std::vector<std::string> records = Record(&live, 4);
    ASSERT_TRUE(live.WaitUntilCurrent(60s));
    const LiveSectionSummary sum = live.Summary();
    EXPECT_EQ(sum.nRecordsShown, records.size());
    EXPECT_EQ(sum.nInverted, sum.nColumn);
    // The records came far faster than columns invert, so states were skipped. How many is a
    // matter of the machine's load (a sanitizer build, a busy core): only that some were.
    EXPECT_LT(states.size(), records.size());
}

TEST(LiveSettings, ParsesCellLayersDepthIterationsAndRefusesWithTheReason) {
    const struct {
        const char* text;
        const char* error;  // part of the message; null: accepted
    } cases[] = {
        {"2:8:3:10", nullptr},
        {"0.5:100:30:1", nullptr},
        {"2:8:3", "four to seven"},
        {"2:8:3:10:0.5:0:0.001", nullptr},
        {"2:8:3:10:1:1:1:1", "four to seven"},
        {"2:8:3:10:a", "ALPHA"},
        {"2:8:3:10:0", "Alpha"},
        {"x:8:3:10", "numbers"},
        {"2:8.5:3:10", "whole numbers"},
        {"0:8:3:10", "cell size"},
        {"2:0:3:10", "layers"},
        {"2:101:3:10", "layers"},
        {"2:8:-1:10", "depth"},
        {"2:8:3:0", "iterations"},
        {"2:8:nan:10", "numbers"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto s = ParseLiveSettings(c.text, LiveSectionSettings{}, error);
        if (c.error == nullptr) {
            ASSERT_TRUE(s) << c.text << ": " << error;
            continue;
        }
        EXPECT_FALSE(s) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << ": " << error;
        EXPECT_NE(error.find(c.text), std::string::npos) << "names what was given";
    }
    std::string error;
    const auto s = ParseLiveSettings("2.5:8:3:12:0.5", LiveSectionSettings{}, error);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->dAlpha, 0.5);
    EXPECT_EQ(s->dRegularization, 1.0) << "the inversion's own where not given";
    EXPECT_FLOAT_EQ(s->fCellSize, 2.5f);
    EXPECT_EQ(s->nLayer, 8);
    EXPECT_FLOAT_EQ(s->fDepth, 3.0f);
    EXPECT_EQ(s->nIteration, 12);
}

}  // namespace
