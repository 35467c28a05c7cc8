// Apparent resistivity, n-factor, pseudo-depth and equivalent four-electrode geometry of every
// receiver value of a reading, from its line's array geometry. The single- and
// double-precision steps are deliberate: stored files and sections depend on them.
#pragma once

#include "common/survey.h"

// Fills fAN, fBM, fBN, fAM and fK from the four positions fA, fB, fM, fN.
void CompleteElectrodes(FourElectrodeGeometry& e);

// Geometric factor 2*pi / S with S = 1/BM + 1/AN - 1/BN - 1/AM: the reciprocals of the
// single-precision distances summed in double precision, S rounded to single precision.
double GeometricFactor(float fBM, float fAN, float fBN, float fAM);

// An electrode farther from the nearest other electrode of its array than this many times the
// array's shortest electrode distance stands for one at infinity (the remote electrode of a
// pole-dipole or pole-pole array written as a four-electrode array).
inline constexpr float kRemoteElectrodeRatio = 1000.0f;
// Which of fA, fB, fM, fN (in that order) are remote electrodes by the rule above.
void RemoteElectrodes(const FourElectrodeGeometry& e, bool remote[4]);
// Distance between the centres of the transmitter pair (fA, fB) and the receiver pair (fM,
// fN), m; a remote electrode leaves its pair's centre at the other electrode.
float PairCentreDistance(const FourElectrodeGeometry& e);

// Fills fResistivity, fDepth and either fNFactor (same-size dipoles) or electrode
// (different-size dipoles, which also sets geometry.bDifferentSize) for receivers
// 0..nReceiver-1. Reads only nReceiver and fResistance of the reading. Always returns 1.
int ComputeResistivity(CGantrelData& data, CGantrelGeometry& geometry);
