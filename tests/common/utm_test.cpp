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
