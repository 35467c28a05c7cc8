#include "common/utm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
struct Utm {
    int iZone;
    double dEasting, dNorthing;
};

Utm Project(double dLatitude, double dLongitude) {
    Utm u{};
    u.iZone = ToUTM(dLatitude, dLongitude, u.dEasting, u.dNorthing);
    return u;
}
}  // namespace

TEST(UTMZone, FollowsSixDegreeBandsWithoutExceptions) {
    EXPECT_EQ(UTMZoneOf(-180.0), 1);
    EXPECT_EQ(UTMZoneOf(-174.0), 2);
    EXPECT_EQ(UTMZoneOf(-0.000001), 30);
    EXPECT_EQ(UTMZoneOf(0.0), 31);
    EXPECT_EQ(UTMZoneOf(5.0), 31);  // no exception for Norway
    EXPECT_EQ(UTMZoneOf(179.999999), 60);
    EXPECT_EQ(UTMZoneOf(180.0), 61);  // callers reject it
}

TEST(UTMZone, NonFiniteLongitudeGivesNoZone) {
    EXPECT_EQ(UTMZoneOf(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(UTMZoneOf(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(UTMZoneOf(1e300), 0);
    Utm u = Project(10.0, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(u.iZone, 0);
    EXPECT_EQ(u.dEasting, 0.0);
    EXPECT_EQ(u.dNorthing, 0.0);
}

TEST(ToUTM, EquatorOnCentralMeridianIsFalseOrigin) {
    Utm u = Project(0.0, 3.0);
    EXPECT_EQ(u.iZone, 31);
    EXPECT_NEAR(u.dEasting, 500000.0, 1e-6);
    EXPECT_NEAR(u.dNorthing, 0.0, 1e-6);
}

TEST(ToUTM, KnownPointInJapan) {
    CGPSData gps;
    gps.dLatitude = 35.235390;
    gps.dLongitude = 139.761315;
    EXPECT_EQ(ToUTM(gps), 54);
    EXPECT_EQ(gps.iUTMZone, 54);
    EXPECT_NEAR(gps.dEasting, 387289.63, 0.005);
    EXPECT_NEAR(gps.dNorthing, 3899850.40, 0.005);
}

TEST(ToUTM, SouthernNorthingsKeepTheStoredFolding) {
    Utm far = Project(-30.0, 141.0);
    EXPECT_EQ(far.iZone, 54);
    EXPECT_NEAR(far.dEasting, 500000.0, 1e-6);
    EXPECT_NEAR(far.dNorthing, 6681214.65, 0.005);  // false northing applied

    Utm near = Project(-5.0, 141.0);
    EXPECT_NEAR(near.dNorthing, -552664.30, 0.005);  // left negative

    Utm polar = Project(84.0, 3.0);
    EXPECT_LT(polar.dNorthing, 0.0);
    EXPECT_NEAR(polar.dNorthing, 9328093.83 - 10000000.0, 0.01);
}

// FromUTM must take the hemisphere into account: ToUTM folds northings differently near the
// equator, in the south and in the far north.
TEST(FromUTM, RoundTripsBothHemispheresDensely) {
    double worst = 0.0;
    double worstLatitude = 0.0, worstLongitude = 0.0;
    for (int iLat = -8000; iLat <= 8400; iLat += 10) {
        const double dLatitude = iLat / 100.0;
        for (int iOffset = -300; iOffset <= 300; iOffset += 10) {
            const double dLongitude = 141.0 + iOffset / 100.0;
            CGPSData gps;
            gps.dLatitude = dLatitude;
            gps.dLongitude = dLongitude;
            const int iZone = ToUTM(gps);
            double lat = 0, lon = 0;
            FromUTM(iZone, gps.dEasting, gps.dNorthing, IsSouthern(gps), lat, lon);
            const double err = std::max(std::fabs(lat - dLatitude), std::fabs(lon - dLongitude));
            if (err > worst) {
                worst = err;
                worstLatitude = dLatitude;
                worstLongitude = dLongitude;
            }
        }
    }
    EXPECT_LT(worst, 1e-9) << "at " << worstLatitude << ", " << worstLongitude;
}

TEST(FromUTM, ThirtySouthDoesNotComeBackNorth) {
    double lat = 0, lon = 0;
    FromUTM(54, 500000.0, 6681214.6476, true, lat, lon);
    EXPECT_NEAR(lat, -30.0, 1e-8);
    EXPECT_NEAR(lon, 141.0, 1e-9);
}

TEST(IsSouthern, LineFollowsItsFirstFix) {
    CGantrelLine line;
    EXPECT_FALSE(IsSouthern(line));
    line.AddGPS()->dLatitude = -0.5;
    line.AddGPS()->dLatitude = 0.5;
    EXPECT_TRUE(IsSouthern(line));
    line.pGPS[0].dLatitude = 0.0;
    EXPECT_FALSE(IsSouthern(line));
}

// A survey's points come back to latitude and longitude from its reference fix: the folded
// northings of ToUTM are read as the northing nearest the reference's.
TEST(FromUTMNearReference, ComesBackOnEitherSideOfTheEquatorAndOfNineSouth) {
    const double points[][2] = {{-0.002, 141.2}, {0.003, 141.2}, {-30.0, 141.0},
                                {-9.02, 140.5},  {-9.06, 140.5}, {35.2, 139.7},
                                {82.0, 141.0},   {80.9, 140.0}};
    for (const auto& p : points) {
        double e = 0.0, n = 0.0;
        const int zone = ToUTM(p[0], p[1], e, n);
        // The reference fix a little way off, on either side.
        for (double offset : {-0.02, 0.0, 0.02}) {
            double lat = 0.0, lon = 0.0;
            FromUTM(CUTMReference{zone, p[0] + offset}, e, n, lat, lon);
            EXPECT_NEAR(lat, p[0], 1e-8) << p[0] << " " << offset;
            EXPECT_NEAR(lon, p[1], 1e-8) << p[0] << " " << offset;
        }
    }
}

TEST(ToUTMInZone, AcrossAZoneBoundaryTheNeighbourZoneContinuesTheTrack) {
    // 138 E is the boundary of zones 53 and 54: in zone 53 the track goes on without a jump.
    double eBefore = 0.0, nBefore = 0.0, eWest = 0.0, nWest = 0.0, eEast = 0.0, nEast = 0.0;
    ASSERT_EQ(ToUTM(35.0, 137.9997, eBefore, nBefore), 53);
    ASSERT_EQ(ToUTM(35.0, 137.9999, eWest, nWest), 53);
    ToUTMInZone(53, 35.0, 138.0001, eEast, nEast);
    // Equal steps of longitude give equal steps of easting on both sides of the boundary.
    EXPECT_NEAR(eEast - eWest, eWest - eBefore, 1e-3);
    EXPECT_NEAR(eEast - eWest, 18.25, 0.05);
    EXPECT_NEAR(nEast - nWest, nWest - nBefore, 1e-3);
    double lat = 0.0, lon = 0.0;
    FromUTM(CUTMReference{53, 35.0}, eEast, nEast, lat, lon);
    EXPECT_NEAR(lon, 138.0001, 1e-9);
    EXPECT_TRUE(IsNeighbourZone(54, 53));
    EXPECT_TRUE(IsNeighbourZone(52, 53));
    EXPECT_FALSE(IsNeighbourZone(53, 53));
    EXPECT_FALSE(IsNeighbourZone(56, 53));
}

TEST(ProjectSurveyToOneZone, NeighbourZonesJoinTheFirstFixesAndFarFixesStay) {
    CGantrelSurvey survey;
    CGantrelLine& line = *survey.AddLine();
    const double longitudes[] = {137.9995, 138.0005, 144.5};
    for (double lon : longitudes) {
        CGPSData& g = *line.AddGPS();
        g.dLatitude = 35.0;
        g.dLongitude = lon;
        ToUTM(g);
    }
    ASSERT_EQ(line.pGPS[1].iUTMZone, 54);
    const double farEasting = line.pGPS[2].dEasting;
    EXPECT_EQ(ProjectSurveyToOneZone(survey), 1);
    EXPECT_EQ(line.pGPS[1].iUTMZone, 53);
    EXPECT_NEAR(line.pGPS[1].dEasting - line.pGPS[0].dEasting, 91.2, 0.5);
    EXPECT_EQ(line.pGPS[2].iUTMZone, 55);
    EXPECT_EQ(line.pGPS[2].dEasting, farEasting);
    CGantrelSurvey empty;
    EXPECT_EQ(ProjectSurveyToOneZone(empty), 0);
}
