// Conversion between latitude/longitude on WGS84 and UTM easting/northing: transverse Mercator
// series to the eighth power of the longitude difference, meridian arc to the fourth power of
// the third flattening. Angles of ProjectTM / InverseTM in radians, everything else in degrees
// and metres. There are no zone exceptions.
#pragma once

#include <optional>

#include "common/survey.h"

// Zone of a longitude in degrees: floor((lon + 180) / 6) + 1 (180 degrees gives 61 and
// -180 gives 1; callers accept 1..60 only). 0 for a longitude that is not finite or beyond
// +-1e6 degrees, so that every input gives a defined zone number.
int UTMZoneOf(double dLongitude);
// Central meridian of a zone, radians.
double CentralMeridian(int iZone);

// From dLatitude, dLongitude: sets iUTMZone, dEasting, dNorthing; returns the zone.
int ToUTM(CGPSData& gps);
// The same for a plain point; returns the zone. Northings are folded as the survey files
// store them: 0.9996 y, plus 10,000,000 when negative, then minus 10,000,000 when above
// 9,000,000. So points from the equator to about 9 S and north of about 81 N get negative
// northings, points farther south the southern false northing. A zone of 0 (see UTMZoneOf)
// gives easting and northing 0.
int ToUTM(double dLatitude, double dLongitude, double& dEasting, double& dNorthing);

// Forward series: x, y in metres without scale factor and false origin.
void ProjectTM(double lambda0, double phi, double lambda, double& x, double& y);
// Inverse series: phi, lambda in radians from x, y without scale factor and false origin.
void InverseTM(double lambda0, double x, double y, double& phi, double& lambda);

// The northing with ToUTM's folding undone (metres from the equator times 0.9996, negative
// south): bSouth tells which hemisphere the point lies in, as the folded value alone cannot.
double UnfoldNorthing(double dNorthing, bool bSouth);

// Latitude and longitude in degrees of a UTM point as ToUTM writes it. bSouth is the
// hemisphere of the survey's fixes (IsSouthern below), so that FromUTM(ToUTM(p)) == p for
// every point of either hemisphere.
void FromUTM(int iZone, double dEasting, double dNorthing, bool bSouth, double& dLatitude,
             double& dLongitude);

// Hemisphere of a fix (south when its latitude is negative), and of a line: that of its first
// fix; a line without fixes counts as northern.
bool IsSouthern(const CGPSData& gps);
bool IsSouthern(const CGantrelLine& line);

// ToUTM in a zone given by the caller instead of the longitude's own: the series hold a few
// degrees beyond a zone's edge, so a survey that crosses a zone boundary stays in the zone of
// its first fix without a jump. Northings folded as ToUTM folds them.
void ToUTMInZone(int iZone, double dLatitude, double dLongitude, double& dEasting,
                 double& dNorthing);

// Where a survey's plan coordinates come from: the zone and latitude of the first fix of the
// first line with fixes.
struct CUTMReference {
    int iZone = 0;
    double dLatitude = 0.0;
};
std::optional<CUTMReference> SurveyUTMReference(const CGantrelSurvey& survey);

// Latitude and longitude in degrees of a point of the survey: ToUTM's folding is undone by
// taking, of the northings the folded value can stand for, the one nearest the reference
// fix's, so that points on both sides of the equator (and of 9 S, where the folding
// changes) come back right.
void FromUTM(const CUTMReference& reference, double dEasting, double dNorthing,
             double& dLatitude, double& dLongitude);

// Whether a zone borders the reference zone: a survey's points there are projected in the
// reference zone. (Points farther away are no part of a towed survey, and the series do not
// hold there.)
bool IsNeighbourZone(int iZone, int iReferenceZone);

// Gives every fix of the survey in a zone bordering the reference's the easting, northing and
// zone of the reference's zone. Returns the number of fixes changed.
int ProjectSurveyToOneZone(CGantrelSurvey& survey);
