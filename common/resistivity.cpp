#include "common/resistivity.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kTwoPi = 6.28318530718;
// 8*pi rounded to single precision, as the instrument's formula uses it.
constexpr double kEightPiSingle = 25.132741928100586;
// Gap between the two line-antenna halves of a same-size dipole, m.
constexpr double kDipoleGap = 0.4;

// u*ln(u), taken as 0 at u = 0 (receiver 0 without rope). A degenerate geometry (dipole
// shorter than the gap, negative rope) may reach u < 0; it is also taken as 0 there so the
// result stays finite instead of NaN.
double F(double u) { return u > 0.0 ? u * std::log(u) : 0.0; }
}  // namespace

double GeometricFactor(float fBM, float fAN, float fBN, float fAM) {
    const double sum = 1.0 / static_cast<double>(fBM) + 1.0 / static_cast<double>(fAN) -
                       1.0 / static_cast<double>(fBN) - 1.0 / static_cast<double>(fAM);
    const float s = static_cast<float>(sum);
    return kTwoPi / static_cast<double>(s);
}

void CompleteElectrodes(FourElectrodeGeometry& e) {
    e.fAN = std::fabs(e.fA - e.fN);
    e.fBM = std::fabs(e.fB - e.fM);
    e.fBN = std::fabs(e.fB - e.fN);
    e.fAM = std::fabs(e.fA - e.fM);
    e.fK = static_cast<float>(GeometricFactor(e.fBM, e.fAN, e.fBN, e.fAM));
}

void RemoteElectrodes(const FourElectrodeGeometry& e, bool remote[4]) {
    const float p[4] = {e.fA, e.fB, e.fM, e.fN};
    float shortest = 0.0f;
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) {
            const float d = std::fabs(p[i] - p[j]);
            if (d > 0.0f && (shortest == 0.0f || d < shortest)) shortest = d;
        }
    for (int i = 0; i < 4; ++i) {
        float nearest = -1.0f;
        for (int j = 0; j < 4; ++j)
            if (j != i && (nearest < 0.0f || std::fabs(p[i] - p[j]) < nearest))
                nearest = std::fabs(p[i] - p[j]);
        remote[i] = shortest > 0.0f && nearest > kRemoteElectrodeRatio * shortest;
    }
}

float PairCentreDistance(const FourElectrodeGeometry& e) {
    bool remote[4];
    RemoteElectrodes(e, remote);
    const float tx = remote[0] ? e.fB : remote[1] ? e.fA : (e.fA + e.fB) / 2.0f;
    const float rx = remote[2] ? e.fN : remote[3] ? e.fM : (e.fM + e.fN) / 2.0f;
    return std::fabs(tx - rx);
}

int ComputeResistivity(CGantrelData& data, CGantrelGeometry& g) {
    const float L = g.fRopeLength;
    const float at = g.fTransmitterDipole;
    const float ar = g.fReceiverDipole;
    const bool different = g.bDifferentSize == 1 || at != ar;
    if (different) g.bDifferentSize = 1;
    const int n = std::clamp(data.nReceiver, 0, kMaxReceiver);

    for (int i = 0; i < n; ++i) {
        double K = 0.0;
        if (different) {
            FourElectrodeGeometry& e = data.electrode[i];
            e.fA = 0.0f;
            e.fB = at / 2.0f;
            e.fM = 0.75f * at + L + static_cast<float>(2 * i + 1) * ar / 4.0f;
            e.fN = e.fM + ar / 2.0f;
            CompleteElectrodes(e);
            K = GeometricFactor(e.fBM, e.fAN, e.fBN, e.fAM);
            const float D = (static_cast<float>(i + 1) * ar + at) / 2.0f + L;
            data.fDepth[i] = 0.25f * D;
        } else {
            // Same-size dipoles as line antennas with a 0.4 m gap.
            const double a = at;
            const double h = (a - kDipoleGap) / 2.0;
            const double x = 2.0 * h + kDipoleGap + L + i * a / 2.0;
            const double T1 = F(x + h) + F(x - h) - 2.0 * F(x);
            const double T2 = F(x + 2.0 * h + kDipoleGap) + F(x + kDipoleGap) -
                              2.0 * F(x + h + kDipoleGap);
            const double T3 = F(x - kDipoleGap) + F(x - 2.0 * h - kDipoleGap) -
                              2.0 * F(x - h - kDipoleGap);
            K = (h / 2.0) * (h / 2.0) * kEightPiSingle / ((T2 - T1) - (T1 - T3));
            const float half = at / 2.0f;
            data.fNFactor[i] = (static_cast<float>(i + 1) * half + L) / half;
            const float D = (data.fNFactor[i] + 1.0f) * half;
            data.fDepth[i] = 0.25f * D;
        }
        const float kv = static_cast<float>(K) * data.fResistance[i];
        data.fResistivity[i] = static_cast<float>(static_cast<double>(kv) / 20.0 *
                                                  static_cast<double>(g.pReceiverFactor[i]));
        // A geometry nothing can be measured with (a dipole of 0 m from a damaged record)
        // gives no factor. The value becomes 0, which every later step leaves out, instead of
        // an infinity that no file can hold; the resistance stays for a corrected geometry.
        if (!std::isfinite(data.fResistivity[i])) data.fResistivity[i] = 0.0f;
        if (!std::isfinite(data.fDepth[i])) data.fDepth[i] = 0.0f;
        if (!std::isfinite(data.fNFactor[i])) data.fNFactor[i] = 0.0f;
    }
    return 1;
}
