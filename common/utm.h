// Conversion between latitude/longitude on WGS84 and UTM easting/northing: transverse Mercator
// series to the eighth power of the longitude difference, meridian arc to the fourth power of
// the third flattening. Angles of ProjectTM / InverseTM in radians, everything else in degrees
// and metres. There are no zone exceptions.
#pragma once

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
