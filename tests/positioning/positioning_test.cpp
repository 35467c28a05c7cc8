#include "positioning/positioning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>

#include "common/language.h"
#include "common/memory_settings.h"
#include "common/scripted_prompter.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "common/utm.h"

namespace {

constexpr std::int64_t kT0 = 1245024487;  // a local afternoon in June 2009

CGPSData Fix(std::int64_t t, double e, double n, int ms = 0) {
    CGPSData f;
    f.time = t;
    f.iMilliSecond = ms;
    f.dEasting = e;
    f.dNorthing = n;
    f.dLatitude = 35.0;
    f.dLongitude = 139.0;
    f.iUTMZone = 54;
    return f;
}

CGantrelData Reading(std::int64_t t, int ms = 0, int receivers = 2, float distance = -7.0f) {
    CGantrelData d;
    d.time = t;
    d.iMilliSecond = ms;
    d.nReceiver = receivers;
    d.fDistance = distance;
    return d;
}

CMarkerData Marker(std::int64_t t, float distance, int dataIndex) {
    CMarkerData m;
    m.time = t;
    m.fDistance = distance;
    m.dY = distance;
    m.iDataIndex = dataIndex;
    return m;
}

std::vector<CFlagLocation> Flags(std::initializer_list<std::pair<double, double>> points) {
    CGantrelSurvey s;
    for (auto [x, y] : points) AddFlagAt(s, x, y);
    return {s.pFlag.begin(), s.pFlag.begin() + s.nFlag};
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class Positioning : public ::testing::Test {
protected:
    void SetUp() override {
        SetSettingsBackend(&store);
        SetLanguage(kLanguageEnglish);
        folder = std::filesystem::path(::testing::TempDir()) /
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        SetSettingsBackend(nullptr);
        std::filesystem::remove_all(folder);
    }
    CGantrelLine& NewLine() { return *survey.AddLine(); }

    CMemorySettingsBackend store;
    CGantrelSurvey survey;
    CScriptedPrompter prompter;
    std::filesystem::path folder;
    int viewMode = 6, mouseMode = 3;
    CPositioningView view{viewMode, mouseMode};
};

// --- markers ---------------------------------------------------------------------------------

TEST_F(Positioning, MarkerSpacingZigzagsLines) {
    for (int l = 0; l < 2; ++l) {
        CGantrelLine& line = NewLine();
        for (int j = 0; j < 3; ++j) line.pMarker.push_back(Marker(kT0 + j, 0.0f, j));
    }
    ASSERT_TRUE(SetMarkerSpacing(survey, 10.0));
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(survey.Line(0).pMarker[j].fDistance, 10.0f * j);
        EXPECT_EQ(survey.Line(1).pMarker[j].dY, 20.0 - 10.0 * j);
        EXPECT_EQ(survey.Line(1).pMarker[j].dX, 0.0);
    }
    EXPECT_EQ(survey.Line(0).bReverse, 0);
    EXPECT_EQ(survey.Line(1).bReverse, 1);
    EXPECT_EQ(survey.Line(1).fMaxDistance, 20.0f);
    EXPECT_FALSE(SetMarkerSpacing(survey, std::nan("")));
    // Finite as typed, but no float holds the distances it gives: refused, nothing changed.
    EXPECT_FALSE(SetMarkerSpacing(survey, 1.0e300));
    EXPECT_FALSE(SetMarkerSpacing(survey, 6.0e6)) << "the last marker would lie at 12000 km";
    EXPECT_EQ(survey.Line(0).pMarker[2].fDistance, 20.0f);
    EXPECT_TRUE(SetMarkerSpacing(survey, 4.0e6));
}

class MarkerDistances : public Positioning {
protected:
    // Markers at readings 0 and 10, 20 s apart; the readings are not evenly spread in time.
    void SetUp() override {
        Positioning::SetUp();
        CGantrelLine& line = NewLine();
        for (int t : {0, 1, 2, 3, 4, 5, 10, 12, 14, 16, 20}) line.pData.push_back(Reading(kT0 + t));
        line.pMarker.push_back(Marker(kT0, 0.0f, 0));
        line.pMarker.push_back(Marker(kT0 + 20, 20.0f, 10));
    }
    CGantrelLine& line() { return survey.Line(0); }
};

TEST_F(MarkerDistances, InterpolatesByReadingCount) {
    SetDistanceFromMarkers(survey);
    EXPECT_FLOAT_EQ(line().pData[5].fDistance, 10.0f);
    EXPECT_FLOAT_EQ(line().pData[10].fDistance, 20.0f);
}

TEST_F(MarkerDistances, InterpolatesByTimeWhenAsked) {
    OnInterpolatedByTime(survey);
    EXPECT_TRUE(IsInterpolatedByTimeChecked(survey));
    SetDistanceFromMarkers(survey);
    EXPECT_FLOAT_EQ(line().pData[5].fDistance, 5.0f);
    EXPECT_FLOAT_EQ(line().pData[8].fDistance, 14.0f);
}

TEST_F(MarkerDistances, SameSecondAsLastMarkerIsPlacedLaterKeepsItsDistance) {
    survey.bInterpolateByTime = 1;
    line().pData.push_back(Reading(kT0 + 20, 900));
    line().pData.push_back(Reading(kT0 + 22));
    SetDistanceFromMarkers(survey);
    EXPECT_FLOAT_EQ(line().pData[11].fDistance, 20.0f);
    EXPECT_EQ(line().pData[12].fDistance, -7.0f);
}

TEST_F(MarkerDistances, SimultaneousMarkersGiveTheFirstDistance) {
    line().pMarker[1].time = kT0;
    survey.bInterpolateByTime = 1;
    SetDistanceFromMarkers(survey);
    EXPECT_EQ(line().pData[0].fDistance, 0.0f);
}

TEST_F(MarkerDistances, SkippedOnceDistancesCameFromGPS) {
    survey.bGPSDistance = survey.bMarkerDistance = 1;
    SetDistanceFromMarkers(survey);
    EXPECT_EQ(line().pData[5].fDistance, -7.0f);
}

// --- distance along flags --------------------------------------------------------------------

TEST(DistanceAlongFlags, SegmentZeroIsTakenFirst) {
    const auto flags = Flags({{0, 0}, {100, 0}});
    EXPECT_FLOAT_EQ(DistanceAlongFlags(30, 4, flags), 30.0f);
    EXPECT_FLOAT_EQ(DistanceAlongFlags(-3, 0, flags), -3.0f);
}

TEST(DistanceAlongFlags, LaterSegmentWinsWhenNearer) {
    const auto flags = Flags({{0, 0}, {100, 0}, {100, 100}});
    int segment = -1;
    EXPECT_FLOAT_EQ(DistanceAlongFlags(102, 50, flags, &segment), 150.0f);
    EXPECT_EQ(segment, 1);
}

TEST(DistanceAlongFlags, PolylineTurningBackTakesTheNearerLeg) {
    const auto flags = Flags({{0, 0}, {100, 0}, {0, 5}});
    int segment = -1;
    EXPECT_FLOAT_EQ(DistanceAlongFlags(50, 1, flags, &segment), 50.0f);
    EXPECT_EQ(segment, 0);
    const double len = std::hypot(100.0, 5.0);
    EXPECT_NEAR(DistanceAlongFlags(50, 4, flags, &segment), 100.0 + 5020.0 / len, 1e-4);
    EXPECT_EQ(segment, 1);
}

TEST(DistanceAlongFlags, CoincidentFlagsGiveNoNaN) {
    EXPECT_FLOAT_EQ(DistanceAlongFlags(30, 4, Flags({{0, 0}, {0, 0}, {100, 0}})), 30.0f);
    int segment = 0;
    EXPECT_EQ(DistanceAlongFlags(30, 4, Flags({{7, 7}, {7, 7}}), &segment), 0.0f);
    EXPECT_EQ(segment, -1);
}

TEST_F(Positioning, FlagsCarryCumulativeDistanceAndStopAtCapacity) {
    const auto flags = Flags({{0, 0}, {3, 4}, {3, 10}});
    EXPECT_EQ(flags[1].fDistance, 5.0f);
    EXPECT_EQ(flags[2].fDistance, 11.0f);
    for (int i = 0; i < kMaxFlag; ++i) ASSERT_TRUE(AddFlagAt(survey, i, 0));
    EXPECT_FALSE(AddFlagAt(survey, -1, -1));
    EXPECT_EQ(survey.nFlag, kMaxFlag);
}

// --- plan positions --------------------------------------------------------------------------

TEST_F(Positioning, PositionsNeedTwoFixes) {
    CGantrelLine& line = NewLine();
    line.pGPS.push_back(Fix(kT0, 0, 0));
    line.pData.push_back(Reading(kT0));
    EXPECT_EQ(ComputePositions(line), 0);
    EXPECT_EQ(line.bPosition, 0);
}

TEST_F(Positioning, PositionsInterpolateAndExtrapolateBeyondBothEnds) {
    CGantrelLine& line = NewLine();
    line.pGPS = {Fix(kT0 + 100, 0, 0), Fix(kT0 + 110, 100, 0), Fix(kT0 + 120, 100, 100)};
    for (int t : {95, 105, 115, 125}) line.pData.push_back(Reading(kT0 + t));
    int notPlaced = -1;
    ASSERT_EQ(ComputePositions(line, &notPlaced), 1);
    EXPECT_EQ(notPlaced, 0);
    const double expected[4][2] = {{-50, 0}, {50, 0}, {100, 50}, {100, 150}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(line.pData[i].dX, expected[i][0]) << i;
        EXPECT_DOUBLE_EQ(line.pData[i].dY, expected[i][1]) << i;
        EXPECT_EQ(line.pData[i].fDistance, 1.0f);
    }
    EXPECT_DOUBLE_EQ(line.pGPS[1].dHeading, std::atan2(1.0, 0.0));
    EXPECT_DOUBLE_EQ(line.pData[0].dHeading, 0.0);                      // next - itself
    EXPECT_DOUBLE_EQ(line.pData[3].dHeading, std::atan2(1.0, 0.0));     // itself - previous
    EXPECT_DOUBLE_EQ(line.pData[1].dHeading, std::atan2(50.0, 150.0));  // next - previous
    EXPECT_EQ(line.bPosition, 1);
    EXPECT_DOUBLE_EQ(line.dMinEasting, line.pData[0].dTransmitterX);
    EXPECT_TRUE(line.pTrackX.empty());
}

TEST_F(Positioning, FixesInReverseFileOrderStillPlaceReadings) {
    CGantrelLine& line = NewLine();
    line.pGPS = {Fix(kT0 + 110, 100, 0), Fix(kT0 + 100, 0, 0)};
    line.pData = {Reading(kT0 + 105), Reading(kT0 + 120)};
    ComputePositions(line);
    EXPECT_DOUBLE_EQ(line.pData[0].dX, 50.0);
    EXPECT_DOUBLE_EQ(line.pData[1].dX, 200.0);
}

TEST_F(Positioning, SimultaneousFixesAtTheEndFallBackToNearestFix) {
    CGantrelLine& line = NewLine();
    line.pGPS = {Fix(kT0 + 100, 5, 5), Fix(kT0 + 100, 9, 9), Fix(kT0 + 110, 20, 20)};
    line.pData = {Reading(kT0 + 95), Reading(kT0 + 105)};
    int notPlaced = 0;
    ComputePositions(line, &notPlaced);
    EXPECT_EQ(notPlaced, 1);
    EXPECT_DOUBLE_EQ(line.pData[0].dX, 5.0);
    EXPECT_EQ(line.pData[0].fDistance, 0.0f);
    EXPECT_DOUBLE_EQ(line.pData[1].dX, 14.5);
}

// The pair rule applied to every pair in order, as a reference for the timeline's shortcut.
CFixPair ScanAllPairs(const CGantrelLine& line, std::int64_t t, int ms) {
    const int n = line.nGPS();
    auto diff = [&](int k) {
        return static_cast<double>(line.pGPS[k].time - t) +
               (line.pGPS[k].iMilliSecond - ms) / 1000.0;
    };
    for (int k = 0; k + 1 < n; ++k) {
        const double d1 = diff(k), d2 = diff(k + 1);
        if (d1 != d2 && (d1 * d2 < 0 || std::fabs(d1) < 1 || std::fabs(d2) < 1 ||
                         (k == 0 && d1 >= 0 && d2 >= 0) || (k == n - 2 && d1 <= 0 && d2 <= 0)))
            return {k, -d1 / (d2 - d1), true};
    }
    return {};
}

TEST_F(Positioning, TimelineShortcutMatchesAFullScan) {
    CGantrelLine& line = NewLine();
    for (int i = 0; i < 60; ++i)  // runs of fixes within one second, and gaps
        line.pGPS.push_back(Fix(kT0 + (i / 3) * (i % 7 == 0 ? 3 : 1), i, 0, (i % 3) * 200));
    std::sort(line.pGPS.begin(), line.pGPS.end(), [](const CGPSData& a, const CGPSData& b) {
        return a.time != b.time ? a.time < b.time : a.iMilliSecond < b.iMilliSecond;
    });
    const CFixTimeline timeline(line, true);
    for (int ms = -5000; ms < 130000; ms += 50) {
        const std::int64_t t = kT0 + (ms >= 0 ? ms / 1000 : -5);
        const int rest = ms >= 0 ? ms % 1000 : 0;
        const CFixPair got = timeline.At(t, rest), want = ScanAllPairs(line, t, rest);
        ASSERT_EQ(got.bPlaced, want.bPlaced) << ms;
        if (want.bPlaced) {
            ASSERT_EQ(got.k, want.k) << ms;
            ASSERT_DOUBLE_EQ(got.dFactor, want.dFactor) << ms;
        }
    }
}

TEST_F(Positioning, ArrayTrailsBehindTheTowPointOnAStraightTrack) {
    CGantrelLine& line = NewLine();  // default geometry: dipoles 2.5 m, no rope
    line.pGPS = {Fix(kT0, 0, 0), Fix(kT0 + 100, 100, 0)};
    for (int i = 0; i < 30; ++i) line.pData.push_back(Reading(kT0 + i));
    ComputePositions(line);
    for (int i : {0, 12, 29}) {
        const CGantrelData& d = line.pData[i];
        EXPECT_NEAR(d.dReceiverX[1], i - 1.25, 1e-9);
        EXPECT_NEAR(d.dReceiverX[0], i - 3.75, 1e-9);
        EXPECT_NEAR(d.dTransmitterX, i - 6.25, 1e-9);
        EXPECT_NEAR(d.dTransmitterY, 0.0, 1e-9);
    }
}

constexpr double kPi = 3.141592653589793;

// The array computation searched exhaustively, as a reference for the indexed search.
// Returns how many steps bent towards an earlier point.
int ReferenceArray(const CGantrelLine& line, std::vector<double>& out) {
    std::vector<double> tx, ty;
    int snaps = 0;
    auto step = [&](double sx, double sy, double a, double b, double& x, double& y) {
        x = sx + a * std::cos(b);
        y = sy + a * std::sin(b);
        if (!tx.empty()) {
            size_t q = 0;
            for (size_t i = 1; i < tx.size(); ++i)
                if (std::hypot(tx[i] - x, ty[i] - y) < std::hypot(tx[q] - x, ty[q] - y)) q = i;
            if (std::fabs(std::hypot(tx[q] - sx, ty[q] - sy) - a) < a / 2) {
                b = std::atan2(ty[q] - sy, tx[q] - sx);
                ++snaps;
                x = sx + a * std::cos(b);
                y = sy + a * std::sin(b);
            }
        }
        tx.push_back(x);
        ty.push_back(y);
        out.push_back(x);
        out.push_back(y);
        return b;
    };
    const auto& g = *line.pGeometry;
    const double rx = g.fReceiverDipole, l = g.fRopeLength, t = g.fTransmitterDipole;
    double h0 = 0.0;
    for (int j = 1; j < std::min(line.nData(), 20); ++j) {
        const double dx = line.pData[j].dX - line.pData[0].dX,
                     dy = line.pData[j].dY - line.pData[0].dY;
        h0 = std::atan2(dy, dx);
        if (std::hypot(dx, dy) > 10) break;
    }
    for (int i = 0; i < line.nData(); ++i) {
        const auto& d = line.pData[i];
        const int m = d.nReceiver;
        double x = 0, y = 0, px = 0, py = 0;
        double b = step(d.dX, d.dY, rx / 2 + l, (i == 0 ? h0 : d.dHeading) + kPi, x, y);
        for (int j = m - 2; j >= 0; --j) {
            px = x, py = y;
            b = step(px, py, rx, b, x, y);
        }
        step(x, y, rx / 2 + l + t / 2, b, px, py);
    }
    return snaps;
}

TEST_F(Positioning, IndexedTrackSnapsLikeAnExhaustiveSearch) {
    std::mt19937 random(7);
    std::normal_distribution<double> turn(0.0, 0.6);
    for (float rope : {0.0f, 12.0f}) {
        CGantrelLine& line = NewLine();
        line.pGeometry->fRopeLength = rope;
        double x = 500000, y = 3900000, heading = 0;
        for (int i = 0; i < 400; ++i) {  // a wandering track that crosses itself
            heading += turn(random);
            x += 3 * std::cos(heading);
            y += 3 * std::sin(heading);
            line.pGPS.push_back(Fix(kT0 + 2 * i, x, y));
            line.pData.push_back(Reading(kT0 + 2 * i + (i % 2), 0, 1 + i % 5));
        }
        ComputePositions(line);
        std::vector<double> expected, got;
        EXPECT_GT(ReferenceArray(line, expected), 100);
        for (const auto& d : line.pData) {
            for (int j = d.nReceiver - 1; j >= 0; --j) {
                got.push_back(d.dReceiverX[j]);
                got.push_back(d.dReceiverY[j]);
            }
            got.push_back(d.dTransmitterX);
            got.push_back(d.dTransmitterY);
        }
        ASSERT_EQ(got, expected) << "rope " << rope;
    }
}

// The array positions of a line as a flat list, in the order the reference writes them.
std::vector<double> ArrayPoints(const CGantrelLine& line) {
    std::vector<double> got;
    for (const auto& d : line.pData) {
        for (int j = d.nReceiver - 1; j >= 0; --j) {
            got.push_back(d.dReceiverX[j]);
            got.push_back(d.dReceiverY[j]);
        }
        got.push_back(d.dTransmitterX);
        got.push_back(d.dTransmitterY);
    }
    return got;
}

// A GPS that does not move puts every reading's array on the same few spots (and, jittering,
// on thousands of spots close together): the search for the nearest earlier point must give
// the exhaustive search's answers there too.
TEST_F(Positioning, StandingArraySnapsLikeAnExhaustiveSearch) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> jitter(-0.5, 0.5);
    for (const char* kind : {"stationary", "jittered", "stops on the way", "leaves the map"}) {
        CGantrelLine& line = NewLine();
        line.pGeometry->fRopeLength = 12.0f;
        const std::string k = kind;
        for (int i = 0; i < 900; ++i) {
            line.pData.push_back(Reading(kT0 + i, 0, 1 + i % 5));
            if (i % 3 != 0) continue;
            double e = 500000.0, n = 3900000.0;
            if (k == "jittered") e += jitter(random), n += jitter(random);
            if (k == "stops on the way") e += std::min(i, 300) + std::max(i - 600, 0);
            if (k == "leaves the map" && i > 450) e = 3e12;  // no UTM easting: searched apart
            line.pGPS.push_back(Fix(kT0 + i, e, n));
        }
        ASSERT_EQ(ComputePositions(line), 1);
        std::vector<double> expected;
        const int snaps = ReferenceArray(line, expected);
        EXPECT_GT(snaps, 1000) << kind;
        ASSERT_EQ(ArrayPoints(line), expected) << kind;
    }
}

// --- fitted lines ----------------------------------------------------------------------------

TEST(FitStraightLine, EndsAtExtremeEastingsOrNorthingsAfterTheSlope) {
    const std::vector<double> x = {0, 10, 20}, y = {0, 5, 10}, steep = {0, 50, 100};
    const CFittedLine f = FitStraightLine(x, y);
    EXPECT_DOUBLE_EQ(f.dAngle, std::atan(0.5));
    EXPECT_DOUBLE_EQ(f.dX2, 20.0);
    EXPECT_DOUBLE_EQ(f.dY2, 10.0);
    const CFittedLine g = FitStraightLine(x, steep);  // slope 5: ends at the northings
    EXPECT_NEAR(g.dX1, 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(g.dY2, 100.0);
}

TEST(FitStraightLine, TrackOfOneUTMEastingIsVertical) {
    // Three copies of this easting do not average back to it exactly.
    const std::vector<double> x(3, 387289.63), y = {3899850.4, 3899860.4, 3899870.4};
    const CFittedLine f = FitStraightLine(x, y);
    EXPECT_EQ(f.dAngle, 1.5707963267948966);
    EXPECT_EQ(f.dX1, 387289.63);
    EXPECT_EQ(f.dY1, 3899850.4);
    EXPECT_EQ(f.dY2, 3899870.4);
}

TEST_F(Positioning, FitLineStoresEndsAsFlags) {
    CGantrelLine& line = NewLine();
    EXPECT_FALSE(FitLine(line));
    line.pGPS = {Fix(kT0, 0, 0), Fix(kT0 + 1, 30, 40), Fix(kT0 + 2, 60, 80)};
    ASSERT_TRUE(FitLine(line));
    EXPECT_EQ(line.iFittedPoints, 2);
    EXPECT_EQ(line.pFittedEnds[0].fDistance, 0.0f);
    EXPECT_FLOAT_EQ(line.pFittedEnds[1].fDistance, 100.0f);
    EXPECT_DOUBLE_EQ(line.pFittedLine->dSlope, 4.0 / 3.0);
}

// --- distances from GPS ----------------------------------------------------------------------

class GPSDistances : public Positioning {
protected:
    // A line walked at 10 m/s along two flags, with fixes at 100.0, 101.0 and 102.5 s.
    void SetUp() override {
        Positioning::SetUp();
        AddFlagAt(survey, 500000, 4000000);
        AddFlagAt(survey, 500002.5, 4000000);
        AddFlagAt(survey, 500002.5, 4000001);
        CGantrelLine& line = NewLine();
        line.pGPS = {Fix(kT0 + 100, 500000, 4000000), Fix(kT0 + 101, 500010, 4000000),
                     Fix(kT0 + 102, 500025, 4000000, 500)};
        line.pData = {Reading(kT0 + 99, 500), Reading(kT0 + 101, 750), Reading(kT0 + 103)};
        line.pMarker = {Marker(kT0 + 100, 0, 0), Marker(kT0 + 103, 0, 2)};
    }
    CGantrelLine& line() { return survey.Line(0); }
};

TEST_F(GPSDistances, ReadingsBeforeBetweenAndAfterFixesUseMilliseconds) {
    EXPECT_EQ(SetDistanceFromGPS(survey, folder, prompter), 3);
    EXPECT_FLOAT_EQ(line().pData[0].fDistance, -5.0f);
    EXPECT_FLOAT_EQ(line().pData[1].fDistance, 17.5f);
    EXPECT_FLOAT_EQ(line().pData[2].fDistance, 30.0f);
    EXPECT_FLOAT_EQ(line().pMarker[1].fDistance, 30.0f);
    EXPECT_DOUBLE_EQ(line().pMarker[1].dY, 30.0);
    EXPECT_EQ(line().bReverse, 0);
    EXPECT_EQ(survey.bGPSDistance, 1);
    EXPECT_EQ(survey.bMarkerDistance, 1);
    EXPECT_FLOAT_EQ(survey.fMaxDistance, 30.0f);
}

TEST_F(GPSDistances, LineWalkedBackwardsIsReversed) {
    std::swap(line().pGPS[0].dEasting, line().pGPS[2].dEasting);
    line().pMarker = {Marker(kT0 + 100, 0, 0), Marker(kT0 + 102, 0, 2)};
    SetDistanceFromGPS(survey, folder, prompter);
    EXPECT_EQ(line().bReverse, 1);
    EXPECT_FLOAT_EQ(line().fMinDistance, 10.0f - 20.0f / 3.0f);
    EXPECT_FLOAT_EQ(line().fMaxDistance, 25.0f);
}

TEST_F(GPSDistances, LineWithoutFixesIsExcluded) {
    CGantrelLine& bare = NewLine();
    bare.pData = {Reading(kT0)};
    int notPlaced = -1;
    EXPECT_EQ(SetDistanceFromGPS(survey, folder, prompter, &notPlaced), 3);
    EXPECT_EQ(notPlaced, 0);
    EXPECT_EQ(survey.Line(1).bUse, 0);
    EXPECT_EQ(survey.Line(1).pData[0].fDistance, -7.0f);
    EXPECT_EQ(line().bUse, 1);
}

TEST_F(GPSDistances, ErrorLeavesEveryDistanceAlone) {
    survey.nFlag = 1;
    EXPECT_EQ(SetDistanceFromGPS(survey, folder, prompter), 0);
    survey.nFlag = 3;
    line().pGPS[1].dEasting = std::nan("");
    EXPECT_EQ(SetDistanceFromGPS(survey, folder, prompter), 0);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>(2, "Error in setting distance from GPS"));
    EXPECT_EQ(line().pData[0].fDistance, -7.0f);
    EXPECT_EQ(line().pGPS[0].fDistance, 0.0f);
    EXPECT_EQ(survey.bGPSDistance, 0);
}

TEST_F(GPSDistances, WritesBothDiagnosticFiles) {
    line().pGPS[0].dLatitude = -35.0;  // a southern line
    SetDistanceFromGPS(survey, folder, prompter);
    const auto report = ReadLines(folder / "SetDistanceFromGPS_0.txt");
    ASSERT_EQ(report.size(), 3u + 3u + 3u + 2u);
    double lat = 0, lon = 0;
    FromUTM(54, 500002.5, 4000000, true, lat, lon);
    EXPECT_EQ(report[1],
              FormatC("Flag: 1 500002.500000 4000000.000000 2.500000 %.10f %.10f\r", lat, lon));
    EXPECT_EQ(report[5], "GPS: 2 25.000000 2.500000 : 0 500025.000000 4000000.000000\r");
    EXPECT_EQ(report[6], "Gantrel: 0 -5.000000 0 -0.500 : 1 \r");
    EXPECT_EQ(report[10], "Mark: 1 30.000000 1 3.000 : 1\r");
    const auto walk = ReadLines(folder / "Latitue_and_Longitude_along_line_0.txt");
    ASSERT_EQ(walk.size(), 4u);
    EXPECT_EQ(walk[2].substr(0, 41), "0 2.000000 500002.000000 4000000.000000 -");
    EXPECT_EQ(walk[3].substr(0, 40), "1 3.000000 500002.500000 4000000.500000 ");
}

TEST_F(GPSDistances, FitSurveyLineMakesTwoFlags) {
    ASSERT_TRUE(FitSurveyLine(survey));
    EXPECT_EQ(survey.nFlag, 2);
    EXPECT_DOUBLE_EQ(survey.pFlag[1].dX, 500025.0);
    EXPECT_FLOAT_EQ(survey.pFlag[1].fDistance, 25.0f);
}

// --- commands --------------------------------------------------------------------------------

TEST_F(GPSDistances, EnableRules) {
    EXPECT_TRUE(IsSetFlagsEnabled(6));
    EXPECT_FALSE(IsSetFlagsEnabled(1));
    EXPECT_TRUE(IsSetFlagsChecked(3));
    survey.nFlag = 1;
    EXPECT_FALSE(IsSetDistanceEnabled(survey));
    EXPECT_TRUE(IsClearAllFlagsEnabled(survey, 6));
    EXPECT_FALSE(IsClearAllFlagsEnabled(survey, 2));
    survey.nFlag = 2;
    EXPECT_TRUE(IsSetDistanceEnabled(survey));
    EXPECT_TRUE(IsSetFlagFromLatLonEnabled(survey, 6));
    line().pGPS.clear();
    EXPECT_FALSE(IsSetDistanceEnabled(survey));
    EXPECT_FALSE(IsSetFlagFromLatLonEnabled(survey, 6));
}

TEST_F(GPSDistances, SetDistanceShowsTheLineAndReportsUnplacedReadings) {
    line().pGPS[1].time = line().pGPS[0].time;
    line().pGPS[1].iMilliSecond = 0;
    line().pData[0].time = kT0 + 90;
    EXPECT_EQ(OnSetDistance(survey, view, folder, prompter), 3);
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"Readings given the distance of the nearest GPS fix "
                                       "because no pair of fixes in time order encloses them: 1"});
    EXPECT_EQ(line().pData[0].fDistance, 0.0f);
    EXPECT_EQ(viewMode, 1);
    EXPECT_EQ(mouseMode, 0);
    EXPECT_TRUE(view.bRedraw);
}

TEST_F(GPSDistances, FlagFromLatLonStartsAtFirstFixAndRemembersTheEntry) {
    double seen[2] = {};
    prompter.PushDialog<CTwoValueInput>([&](CTwoValueInput& v) {
        seen[0] = v.dValue1;
        seen[1] = v.dValue2;
        EXPECT_EQ(v.sLabel1, "Latitude (deg.)");
        EXPECT_EQ(v.sLabel2, "Longitude (deg.)");
        v.dValue1 = -33.5;
        v.dValue2 = 151.25;
    });
    ASSERT_TRUE(OnSetFlagFromLatLon(survey, view, prompter));
    EXPECT_EQ(seen[0], 35.0);
    EXPECT_EQ(seen[1], 139.0);
    double e = 0, n = 0;
    ToUTM(-33.5, 151.25, e, n);
    EXPECT_EQ(survey.nFlag, 4);
    EXPECT_EQ(survey.pFlag[3].dX, e);
    EXPECT_EQ(survey.pFlag[3].dY, n);
    EXPECT_EQ(ReadSettingReal("FLAG_LATITUDE", 0), -33.5);

    prompter.PushDialog<CTwoValueInput>([&](CTwoValueInput& v) { seen[0] = v.dValue1; });
    OnSetFlagFromLatLon(survey, view, prompter);
    EXPECT_EQ(seen[0], -33.5);
}

TEST_F(GPSDistances, FlagFromLatLonRejectsOutOfRangeAndActsOnlyInFlagMode) {
    prompter.PushDialog<CTwoValueInput>([](CTwoValueInput& v) { v.dValue2 = 180.0; });
    EXPECT_FALSE(OnSetFlagFromLatLon(survey, view, prompter));
    EXPECT_EQ(prompter.Messages(),
              std::vector<std::string>{"The latitude must lie between -90 and 90 degrees and the "
                                       "longitude between -180 and 180 degrees (180 excluded)."});
    mouseMode = 0;
    prompter.PushAccept();
    EXPECT_FALSE(OnSetFlagFromLatLon(survey, view, prompter));
    EXPECT_EQ(prompter.Pending(), 1u);
    EXPECT_EQ(survey.nFlag, 3);
}

TEST_F(GPSDistances, MapClickAndClearAllFlags) {
    EXPECT_TRUE(OnFlagMapClick(survey, view, 500002.5, 4000005));
    EXPECT_FLOAT_EQ(survey.pFlag[3].fDistance, 7.5f);
    mouseMode = 0;
    EXPECT_FALSE(OnFlagMapClick(survey, view, 1, 1));
    OnSetFlags(view);
    EXPECT_EQ(mouseMode, 3);
    survey.bGPSDistance = survey.bMarkerDistance = 1;
    OnClearAllFlags(survey, view);
    EXPECT_EQ(survey.nFlag, 0);
    EXPECT_EQ(survey.bGPSDistance + survey.bMarkerDistance, 0);
}

}  // namespace
