#include "common/utm.h"

#include <cmath>

namespace {
constexpr double kSemiMajor = 6378137.0;        // a, m
constexpr double kSemiMinor = 6356752.314;      // b, m
constexpr double kN = 0.0016792204056685965;    // third flattening (a - b) / (a + b)
constexpr double kMeanRadius = 6367444.657;     // (a + b) / 2, m
constexpr double kOneAndHalfN = 0.002518830608502895;
constexpr double kScale = 0.9996;               // on the central meridian
constexpr double kFalseEasting = 500000.0;      // m
constexpr double kFalseNorthingSouth = 10000000.0;  // m
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kPi = 3.141592653589793;

// Zone numbers beyond this are nonsense, and keeping them small keeps the int conversion
// defined for any input.
constexpr double kMaxZoneLongitude = 1.0e6;

// Second eccentricity squared, e'^2 = (a^2 - b^2) / b^2.
double SecondEccentricity2() {
    return (kSemiMajor * kSemiMajor - kSemiMinor * kSemiMinor) / (kSemiMinor * kSemiMinor);
}

// eta^2, tan and radius of curvature in the prime vertical at latitude phi.
struct LatitudeTerms {
    double c, t, eta2, N;
};

LatitudeTerms TermsAt(double phi) {
    LatitudeTerms v{};
    v.c = std::cos(phi);
    v.t = std::tan(phi);
    v.eta2 = SecondEccentricity2() * v.c * v.c;
    v.N = kSemiMajor * kSemiMajor / (kSemiMinor * std::sqrt(1.0 + v.eta2));
    return v;
}

// Length of the meridian arc from the equator to latitude phi, m.
double MeridianArc(double phi) {
    const double n = kN;
    const double n2 = n * n, n3 = n2 * n, n4 = n3 * n, n5 = n4 * n;
    return kMeanRadius * (1.0 + n2 / 4.0 + n4 / 64.0) *
           (phi + (-kOneAndHalfN + 9.0 * n3 / 16.0 - 3.0 * n5 / 32.0) * std::sin(2.0 * phi) +
            (15.0 * n2 / 16.0 - 15.0 * n4 / 32.0) * std::sin(4.0 * phi) +
            (-35.0 * n3 / 48.0 + 105.0 * n5 / 256.0) * std::sin(6.0 * phi) +
            (315.0 * n4 / 512.0) * std::sin(8.0 * phi));
}
}  // namespace

int UTMZoneOf(double dLongitude) {
    if (!(std::fabs(dLongitude) <= kMaxZoneLongitude)) return 0;  // NaN and infinities too
    return static_cast<int>(std::floor((dLongitude + 180.0) / 6.0) + 1.0);
}

double CentralMeridian(int iZone) { return (iZone * 6.0 - 183.0) / 180.0 * kPi; }

void ProjectTM(double lambda0, double phi, double lambda, double& x, double& y) {
    const LatitudeTerms v = TermsAt(phi);
    const double c = v.c, t = v.t, eta2 = v.eta2, N = v.N;
    const double l = lambda - lambda0;
    const double l2 = l * l, l3 = l2 * l, l4 = l3 * l, l5 = l4 * l, l6 = l5 * l, l7 = l6 * l,
                 l8 = l7 * l;
    const double c2 = c * c, c3 = c2 * c, c4 = c3 * c, c5 = c4 * c, c6 = c5 * c, c7 = c6 * c,
                 c8 = c7 * c;
    const double t2 = t * t, t4 = t2 * t2, t6 = t4 * t2;
    const double eta4 = eta2 * eta2;

    x = N * c * l + (N / 6.0) * c3 * (1.0 - t2 + eta2) * l3 +
        (N / 120.0) * c5 * (5.0 - 18.0 * t2 + t4 + 14.0 * eta2 - 58.0 * t2 * eta2) * l5 +
        (N / 5040.0) * c7 * (61.0 - 479.0 * t2 + 179.0 * t4 - t6) * l7;
    y = MeridianArc(phi) + (t / 2.0) * N * c2 * l2 +
        (t / 24.0) * N * c4 * (5.0 - t2 + 9.0 * eta2 + 4.0 * eta4) * l4 +
        (t / 720.0) * N * c6 * (61.0 - 58.0 * t2 + t4 + 270.0 * eta2 - 330.0 * t2 * eta2) * l6 +
        (t / 40320.0) * N * c8 * (1385.0 - 3111.0 * t2 + 543.0 * t4 - t6) * l8;
}

void InverseTM(double lambda0, double x, double y, double& phi, double& lambda) {
    const double n = kN;
    const double n2 = n * n, n3 = n2 * n, n4 = n3 * n, n5 = n4 * n;
    const double mu = y / ((1.0 + n2 / 4.0 + n4 / 64.0) * kMeanRadius);
    const double phif = mu + (kOneAndHalfN - 27.0 * n3 / 32.0 + 269.0 * n5 / 512.0) * std::sin(2.0 * mu) +
                        (21.0 * n2 / 16.0 - 55.0 * n4 / 32.0) * std::sin(4.0 * mu) +
                        (151.0 * n3 / 96.0 - 417.0 * n5 / 128.0) * std::sin(6.0 * mu) +
                        (1097.0 * n4 / 512.0) * std::sin(8.0 * mu);

    const LatitudeTerms v = TermsAt(phif);
    const double cf = v.c, t = v.t, eta2 = v.eta2, N = v.N;
    const double t2 = t * t, t4 = t2 * t2, t6 = t4 * t2;
    const double eta4 = eta2 * eta2;
    const double x2 = x * x, x3 = x2 * x, x4 = x3 * x, x5 = x4 * x, x6 = x5 * x, x7 = x6 * x,
                 x8 = x7 * x;
    const double N2 = N * N, N3 = N2 * N, N4 = N3 * N, N5 = N4 * N, N6 = N5 * N, N7 = N6 * N,
                 N8 = N7 * N;

    phi = phif + (t / (2.0 * N2)) * (-1.0 - eta2) * x2 +
          (t / (24.0 * N4)) *
              (5.0 + 3.0 * t2 + 6.0 * eta2 - 6.0 * t2 * eta2 - 3.0 * eta4 - 9.0 * t2 * eta4) * x4 +
          (t / (720.0 * N6)) * (-61.0 - 90.0 * t2 - 45.0 * t4 - 107.0 * eta2 + 162.0 * t2 * eta2) *
              x6 +
          (t / (40320.0 * N8)) * (1385.0 + 3633.0 * t2 + 4095.0 * t4 + 1575.0 * t6) * x8;
    lambda = lambda0 + x / (N * cf) + (x3 / (6.0 * N3 * cf)) * (-1.0 - 2.0 * t2 - eta2) +
             (x5 / (120.0 * N5 * cf)) * (5.0 + 28.0 * t2 + 24.0 * t4 + 6.0 * eta2 + 8.0 * t2 * eta2) +
             (x7 / (5040.0 * N7 * cf)) * (-61.0 - 662.0 * t2 - 1320.0 * t4 - 720.0 * t6);
}

int ToUTM(double dLatitude, double dLongitude, double& dEasting, double& dNorthing) {
    const int iZone = UTMZoneOf(dLongitude);
    if (iZone == 0) {
        dEasting = 0.0;
        dNorthing = 0.0;
        return 0;
    }
    ToUTMInZone(iZone, dLatitude, dLongitude, dEasting, dNorthing);
    return iZone;
}

void ToUTMInZone(int iZone, double dLatitude, double dLongitude, double& dEasting,
                 double& dNorthing) {
    double x = 0.0, y = 0.0;
    ProjectTM(CentralMeridian(iZone), dLatitude / kDegreesPerRadian, dLongitude / kDegreesPerRadian,
              x, y);
    dEasting = kScale * x + kFalseEasting;
    dNorthing = kScale * y;
    // Stored files carry northings made this way: negative from the equator to about 9 S and
    // north of about 81 N. FromUTM undoes it given the hemisphere.
    if (dNorthing < 0.0) dNorthing += kFalseNorthingSouth;
    if (dNorthing > 9000000.0) dNorthing -= kFalseNorthingSouth;
}

int ToUTM(CGPSData& gps) {
    gps.iUTMZone = ToUTM(gps.dLatitude, gps.dLongitude, gps.dEasting, gps.dNorthing);
    return gps.iUTMZone;
}

double UnfoldNorthing(double dNorthing, bool bSouth) {
    if (bSouth) return dNorthing > 0.0 ? dNorthing - kFalseNorthingSouth : dNorthing;
    return dNorthing < 0.0 ? dNorthing + kFalseNorthingSouth : dNorthing;
}

void FromUTM(int iZone, double dEasting, double dNorthing, bool bSouth, double& dLatitude,
             double& dLongitude) {
    const double x = (dEasting - kFalseEasting) / kScale;
    const double y = UnfoldNorthing(dNorthing, bSouth) / kScale;
    double phi = 0.0, lambda = 0.0;
    InverseTM(CentralMeridian(iZone), x, y, phi, lambda);
    dLatitude = phi * kDegreesPerRadian;
    dLongitude = lambda * kDegreesPerRadian;
}

bool IsSouthern(const CGPSData& gps) { return gps.dLatitude < 0.0; }

bool IsSouthern(const CGantrelLine& line) { return line.nGPS() > 0 && IsSouthern(line.pGPS[0]); }

std::optional<CUTMReference> SurveyUTMReference(const CGantrelSurvey& survey) {
    for (int l = 0; l < survey.nLine; ++l) {
        const CGantrelLine& line = survey.Line(l);
        if (line.nGPS() > 0) return CUTMReference{line.pGPS.front().iUTMZone, line.pGPS.front().dLatitude};
    }
    return std::nullopt;
}

void FromUTM(const CUTMReference& reference, double dEasting, double dNorthing,
             double& dLatitude, double& dLongitude) {
    const double near = kScale * MeridianArc(reference.dLatitude / kDegreesPerRadian);
    double northing = dNorthing;
    for (double candidate : {dNorthing - kFalseNorthingSouth, dNorthing + kFalseNorthingSouth})
        if (std::fabs(candidate - near) < std::fabs(northing - near)) northing = candidate;
    double phi = 0.0, lambda = 0.0;
    InverseTM(CentralMeridian(reference.iZone), (dEasting - kFalseEasting) / kScale,
              northing / kScale, phi, lambda);
    dLatitude = phi * kDegreesPerRadian;
    dLongitude = lambda * kDegreesPerRadian;
}

bool IsNeighbourZone(int iZone, int iReferenceZone) {
    const int d = iZone - iReferenceZone;
    return d == 1 || d == -1;
}

int ProjectSurveyToOneZone(CGantrelSurvey& survey) {
    const auto reference = SurveyUTMReference(survey);
    if (!reference || reference->iZone < 1 || reference->iZone > 60) return 0;
    int changed = 0;
    for (int l = 0; l < survey.nLine; ++l) {
        for (CGPSData& fix : survey.Line(l).pGPS) {
            if (!IsNeighbourZone(fix.iUTMZone, reference->iZone)) continue;
            ToUTMInZone(reference->iZone, fix.dLatitude, fix.dLongitude, fix.dEasting,
                        fix.dNorthing);
            fix.iUTMZone = reference->iZone;
            ++changed;
        }
    }
    return changed;
}
