// The plan-view map's commands through the command table: the map kinds and their enable
// rules, flags and lines, the colour modes, the maximum distance, the depth buttons and
// "Interpolation"; and the open flow's GPS map.
#include "processing/map_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "common/utm.h"
#include "processing/commands.h"
#include "processing/open_survey.h"
#include "tests/display/display_fixture.h"
#include "tests/processing/logger_file.h"

namespace {

namespace fs = std::filesystem;
using namespace display_test;

constexpr double kE0 = 387000.0, kN0 = 3899000.0;

class MapCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&store);
        SetLanguage(kLanguageEnglish);
        folder = fs::temp_directory_path() /
                 ("gantrel_map_" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        // The interpolation's listing goes to the current folder.
        previous = fs::current_path();
        fs::current_path(folder);
    }
    void TearDown() override {
        fs::current_path(previous);
        SetSettingsBackend(nullptr);
        fs::remove_all(folder);
    }
    // Three parallel towed lines 15 m apart, heading north-east.
    void AddSurvey() {
        for (int l = 0; l < 3; ++l) AddGPSLine(doc.survey, kE0 + 15.0 * l, kN0, 0.8, 80);
    }
    bool Enabled(int id) const { return table.IsEnabled(ctx, id); }
    bool Checked(int id) const { return table.IsChecked(ctx, id); }
    bool Invoke(int id) { return table.Invoke(ctx, id); }
    bool Interpolate() { return Invoke(kCmdInterpolation); }

    CMemorySettingsBackend store;
    fs::path folder, previous;
    CBrivaneDoc doc;
    CBrivaneViewState view;
    CScriptedPrompter prompter;
    CBrivaneContext ctx{doc, view, prompter};
    CCommandTable table = BuildBrivaneCommands();
};

TEST_F(MapCommandsTest, MapKindsNeedGPSAndTheInterpolatedOneItsGrid) {
    const int kinds[] = {kCmdShowMapGPS, kCmdShowMapArray, kCmdShowMapResistivity,
                         kCmdShowMapInterpolated};
    for (int id : kinds) EXPECT_FALSE(Enabled(id)) << id << " without a survey";
    EXPECT_FALSE(Enabled(kCmdInterpolation));
    AddSyntheticLine(doc.survey, 20, 0.0, 1.0);
    for (int id : kinds) EXPECT_FALSE(Enabled(id)) << id << " without GPS";
    EXPECT_FALSE(Enabled(kCmdInterpolation));

    doc.survey.Clear();
    AddSurvey();
    EXPECT_TRUE(Enabled(kCmdShowMapGPS));
    EXPECT_TRUE(Enabled(kCmdShowMapArray));
    EXPECT_TRUE(Enabled(kCmdShowMapResistivity));
    EXPECT_FALSE(Enabled(kCmdShowMapInterpolated)) << "no interpolated grid yet";
    EXPECT_TRUE(Enabled(kCmdInterpolation));

    view.iMouseMode = kMouseFlags;
    ASSERT_TRUE(Invoke(kCmdShowMapArray));
    EXPECT_EQ(view.iViewMode, kViewGPSMap);
    EXPECT_EQ(view.iMapKind, kMapArray);
    EXPECT_EQ(view.iMouseMode, kMouseNormal) << "a map kind leaves the flag setting";
    EXPECT_TRUE(Checked(kCmdShowMapArray));
    EXPECT_FALSE(Enabled(kCmdShowMapArray)) << "already shown";
    EXPECT_FALSE(Checked(kCmdShowMapGPS));
    EXPECT_TRUE(ctx.bRedraw);
}

TEST_F(MapCommandsTest, FlagsAndLinesAndTheColourModesBelongToTheMap) {
    AddSurvey();
    view.iViewMode = kViewLineResistivity;
    EXPECT_FALSE(Enabled(kCmdShowFlagsAndLines));
    EXPECT_FALSE(Enabled(kCmdMapMosaic));
    ASSERT_TRUE(Invoke(kCmdShowMapGPS));
    EXPECT_TRUE(Checked(kCmdShowFlagsAndLines));
    ASSERT_TRUE(Invoke(kCmdShowFlagsAndLines));
    EXPECT_EQ(view.bShowFlagsAndLines, 0);
    EXPECT_FALSE(Checked(kCmdShowFlagsAndLines));
    // The colour modes wait for the interpolated map.
    EXPECT_FALSE(Enabled(kCmdMapContourLine));
    ASSERT_TRUE(Interpolate());
    EXPECT_FALSE(Enabled(kCmdMapMosaic)) << "the current mode";
    EXPECT_TRUE(Checked(kCmdMapMosaic));
    ASSERT_TRUE(Invoke(kCmdMapContourLine));
    EXPECT_EQ(view.iMapColorMode, kMapContourLines);
    EXPECT_EQ(ReadSettingInt("iMapColorMode", -1), 2);
    EXPECT_TRUE(Enabled(kCmdMapMosaic));
    EXPECT_FALSE(Enabled(kCmdMapContourLine));
    // The next run starts with it.
    CBrivaneViewState next;
    next.LoadSettings();
    EXPECT_EQ(next.iMapColorMode, kMapContourLines);
}

TEST_F(MapCommandsTest, TheMaximumDistanceIsAskedForAndKept) {
    AddSurvey();
    prompter.Push(15.5);
    ASSERT_TRUE(Invoke(kCmdMaxContourDistance));
    ASSERT_FALSE(prompter.History().empty());
    EXPECT_EQ(prompter.History().back().sText, "Maximum distance to be contoured (m)");
    EXPECT_FLOAT_EQ(view.fMaxDistance, 15.5f);
    EXPECT_EQ(store.ReadString(SettingsScope::Profile, "fMaxDistance"), "15.500000");
    CBrivaneViewState next;
    next.LoadSettings();
    EXPECT_FLOAT_EQ(next.fMaxDistance, 15.5f);

    // Refused values are said and asked for again, as in every other dialog; a cancel keeps
    // the distance.
    for (const double refused : {-1.0, 2.0e7, std::nan("")}) {
        SCOPED_TRACE(refused);
        const size_t asked = prompter.History().size();
        prompter.Push(refused);
        prompter.Push(20.0);
        ASSERT_TRUE(Invoke(kCmdMaxContourDistance));
        EXPECT_FLOAT_EQ(view.fMaxDistance, 20.0f);
        EXPECT_EQ(prompter.Messages().back(),
                  "The maximum distance must be a number from 0 to 1e+07 m.");
        EXPECT_EQ(prompter.History().size(), asked + 3) << "asked, told, asked again";
        EXPECT_FALSE(ctx.failure);
    }
    prompter.Push(-1.0);
    ASSERT_TRUE(Invoke(kCmdMaxContourDistance));
    EXPECT_FLOAT_EQ(view.fMaxDistance, 20.0f) << "refused, then cancelled";
}

TEST_F(MapCommandsTest, TheReceiverButtonsStepThroughTheDepthsAndStopAtTheLast) {
    AddSurvey();
    ASSERT_EQ(doc.survey.nDepth(), 5);
    ASSERT_TRUE(Invoke(kCmdShowMapGPS));
    EXPECT_FALSE(Enabled(kCmdNextReceiver)) << "the GPS map shows no depth";
    ASSERT_TRUE(Invoke(kCmdShowMapResistivity));
    for (int k = 0; k < 7; ++k) ASSERT_TRUE(Invoke(kCmdNextReceiver));
    EXPECT_EQ(view.iMapDepthIndex, 4);
    ASSERT_TRUE(Invoke(kCmdPreviousReceiver));
    EXPECT_EQ(view.iMapDepthIndex, 3);
    for (int k = 0; k < 7; ++k) ASSERT_TRUE(Invoke(kCmdPreviousReceiver));
    EXPECT_EQ(view.iMapDepthIndex, 0);
}

TEST_F(MapCommandsTest, InterpolationReportsTheCellsAndShowsTheInterpolatedMap) {
    AddSurvey();
    view.iMapDepthIndex = 9;
    ASSERT_TRUE(Interpolate());
    EXPECT_FALSE(ctx.failure);
    const auto messages = prompter.Messages();
    ASSERT_EQ(messages.size(), 2u);
    const CInterpolatedGrid& g = doc.mapGrid;
    ASSERT_TRUE(g.HasGrid());
    EXPECT_EQ(messages[0], FormatC("Cell size = %f m\n\nNumber of cell W-E:%d S-N:%d",
                                   static_cast<double>(g.dx), g.nx, g.ny));
    EXPECT_EQ(messages[1], "Interpolation completed.");
    EXPECT_LT(g.nx * g.ny, 10000);
    EXPECT_EQ(g.nSlice, 5);
    EXPECT_EQ(view.iViewMode, kViewGPSMap);
    EXPECT_EQ(view.iMapKind, kMapInterpolated);
    EXPECT_EQ(view.iMapDepthIndex, 4) << "kept within the depths";
    EXPECT_TRUE(Enabled(kCmdShowMapGPS));
    EXPECT_TRUE(fs::exists(folder / "DataInterpolation.txt"));
    // The values lie within the data's range where there are data.
    float lo = 1e9f, hi = 0.0f;
    for (int i = 0; i < g.nx; ++i) {
        for (int j = 0; j < g.ny; ++j) {
            if (g.distance(0, i, j) > 2.0f) continue;
            lo = std::min(lo, g.value(0, i, j));
            hi = std::max(hi, g.value(0, i, j));
        }
    }
    EXPECT_GT(lo, 20.0f);
    EXPECT_LT(hi, 400.0f);
}

TEST_F(MapCommandsTest, ASurveyOfNoWidthCannotBeInterpolated) {
    // Due north: every position has the same easting.
    AddGPSLine(doc.survey, kE0, kN0, std::acos(-1.0) / 2.0, 40);
    doc.survey.dMaxEasting = doc.survey.dMinEasting;
    ASSERT_TRUE(Invoke(kCmdInterpolation));
    ASSERT_TRUE(ctx.failure);
    EXPECT_EQ(*ctx.failure, "Interpolation error !");
    EXPECT_EQ(prompter.Messages(), std::vector<std::string>{"Interpolation error !"});
    EXPECT_FALSE(doc.mapGrid.HasGrid());
}

class MapOpenTest : public MapCommandsTest {
protected:
    // Opens the files with the configuration, no KML and, for the marker path, a marker
    // spacing of 100 m and the original data as they are.
    void Open(const std::vector<fs::path>& files, int config) {
        prompter.Push(files);
        prompter.PushDialog<CSurveyConfigurationValues>(
            [config](CSurveyConfigurationValues& v) { v.iSurveyConfiguration = config; });
        prompter.Push(PromptAnswer::No);
        if (config == 0) {
            prompter.Push(100.0);
            prompter.PushAccept();
        }
        ASSERT_TRUE(Invoke(kCmdOpenGantrel));
    }
};

TEST_F(MapOpenTest, ConfigurationTwoLeadsToTheGPSMapWithFlagSettingAndNoOldGrid) {
    AddSurvey();
    ASSERT_TRUE(Interpolate());
    ASSERT_TRUE(doc.mapGrid.HasGrid());
    testdata::WriteLoggerFile(folder / "g1.sto", 30, 0, 0.0, true);
    prompter.Push(PromptAnswer::Ok);  // clear the survey
    Open({folder / "g1.sto"}, 2);
    EXPECT_EQ(view.iViewMode, kViewGPSMap);
    EXPECT_EQ(view.iMapKind, kMapGPS);
    EXPECT_EQ(view.iMouseMode, kMouseFlags);
    EXPECT_FALSE(doc.mapGrid.HasGrid()) << "the grid belonged to the survey before";
    EXPECT_FALSE(Enabled(kCmdShowMapInterpolated));
    EXPECT_TRUE(Enabled(kCmdSetFlags));
    EXPECT_TRUE(Checked(kCmdSetFlags));
}

// A track due east across the boundary of zones 53 and 54 (138 E), in GGA sentences.
void WriteZoneCrossingFile(const fs::path& path) {
    CTextWriter w;
    ASSERT_TRUE(w.Open(path));
    auto clock = [](int s) { return FormatC(" 10:%.2d:%.2d.00 06/15/09", s / 60, s % 60); };
    w.Printf("33  GOHM %10.3f %10.3f %10.3f %10.3f%s 1 \n", 7.5, 2.5, 0.0, 2.5, clock(0).c_str());
    w.Printf("3 %12.2f %12.2f %s%10d %11d %11d 5\n", 0.0, 0.0, clock(0).c_str(), 0, 0, 0);
    for (int s = 1; s <= 60; ++s) {
        // From 30 m west of 138 E at 1 m/s: 1 m is 0.000661 minutes of longitude at 35 N.
        const double minutes = 60.0 - 0.000661 * (30 - s);
        const int degrees = minutes >= 60.0 ? 138 : 137;
        w.Printf("21 $GPGGA,01%.2d%.2d.00,3500.0000,N,%03d%08.5f,E,1,08,1.0,20.0,M,,,,*00 %s\n",
                 s / 60, s % 60, degrees, minutes >= 60.0 ? minutes - 60.0 : minutes,
                 clock(s).c_str());
        w.Printf("30 5");
        for (int r = 0; r < 5; ++r) w.Printf("%10.3f %d%d ", 0.05 + 0.01 * r, 4, 0);
        w.Printf("%s\n", clock(s).c_str());
    }
    w.Printf("3 %12.2f %12.2f %s%10d %11d %11d 5\n", 0.0, 0.0, clock(61).c_str(), 0, 0, 1);
    w.Close();
}

TEST_F(MapOpenTest, ATrackAcrossAZoneBoundaryStaysInTheFirstFixesZoneWithoutAJump) {
    WriteZoneCrossingFile(folder / "z1.sto");
    Open({folder / "z1.sto"}, 0);
    ASSERT_EQ(doc.survey.nLine, 1);
    const CGantrelLine& line = doc.survey.Line(0);
    ASSERT_EQ(line.nGPS(), 60);
    EXPECT_LT(line.pGPS.front().dLongitude, 138.0);
    EXPECT_GT(line.pGPS.back().dLongitude, 138.0);
    for (int k = 0; k < line.nGPS(); ++k) {
        EXPECT_EQ(line.pGPS[static_cast<size_t>(k)].iUTMZone, 53) << k;
        if (k == 0) continue;
        const double step = line.pGPS[static_cast<size_t>(k)].dEasting -
                            line.pGPS[static_cast<size_t>(k) - 1].dEasting;
        EXPECT_NEAR(step, 1.0, 0.05) << "fix " << k;
    }
    // The box spans the 60 m walked, not the width of a zone.
    EXPECT_LT(doc.survey.dMaxEasting - doc.survey.dMinEasting, 200.0);
    // Latitude and longitude come back from the plan position of the last fix.
    const auto reference = SurveyUTMReference(doc.survey);
    ASSERT_TRUE(reference);
    double lat = 0.0, lon = 0.0;
    FromUTM(*reference, line.pGPS.back().dEasting, line.pGPS.back().dNorthing, lat, lon);
    EXPECT_NEAR(lat, line.pGPS.back().dLatitude, 1e-7);
    EXPECT_NEAR(lon, line.pGPS.back().dLongitude, 1e-7);
}

}  // namespace
