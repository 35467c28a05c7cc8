// Conversion between latitude/longitude on WGS84 and UTM easting/northing: transverse Mercator
// series to the eighth power of the longitude difference, meridian arc to the fourth power of
// the third flattening. Angles of ProjectTM / InverseTM in radians, everything else in degrees
// and metres.
#pragma once

#include "common/survey.h"

// Zone of a longitude in degrees: floor((lon + 180) / 6) + 1 (180 degrees gives 61, which
// callers reject).
int UTMZoneOf(double dLongitude);
// Central meridian of a zone, radians.
double CentralMeridian(int iZone);

// From dLatitude, dLongitude: sets iUTMZone, dEasting, dNorthing; returns the zone.
int ToUTM(CGPSData& gps);
// The same for a plain point; returns the zone.
int ToUTM(double dLatitude, double dLongitude, double& dEasting, double& dNorthing);

// Forward series: x, y in metres without scale factor and false origin.
void ProjectTM(double lambda0, double phi, double lambda, double& x, double& y);
// Inverse series: phi, lambda in radians from x, y without scale factor and false origin.
void InverseTM(double lambda0, double x, double y, double& phi, double& lambda);

// Latitude and longitude in degrees of a UTM point. ToUTM writes points between the equator
// and about 9.5 S with negative northings and points farther south with the southern false
// northing, and points north of about 81 N negative too; bSouth (the hemisphere of the
// survey's fixes, from its callers) tells which applies, so that
// FromUTM(ToUTM(p)) == p for every point of either hemisphere.
void FromUTM(int iZone, double dEasting, double dNorthing, bool bSouth, double& dLatitude,
             double& dLongitude);
