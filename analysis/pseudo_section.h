// First stage of "Convert to grid data": every usable receiver value of every used line
// becomes a pseudo-section point (position along the line, apparent resistivity, the array
// that measured it), and the points are classified into the row kinds the section will have.
//
// Two modes, chosen by the survey's bDifferentSize:
//  - dipole mode (0): a point is described by its dipole size (half the receiver dipole, m)
//    and N-factor; a row kind is one (dipole size, N-factor) pair, ordered by dipole size
//    and then N-factor, both ascending;
//  - general mode (1): a point is described by its four-electrode geometry; a row kind is one
//    distinct array, ordered by ascending geometric factor fK (equal fK: first met first).
#pragma once

#include <string>
#include <vector>

#include "common/prompter.h"
#include "common/survey.h"

inline constexpr int kMaxDipoleSizes = 50;       // distinct dipole sizes (dipole mode)
inline constexpr int kMaxNFactorsPerSize = 100;  // distinct N-factors per dipole size
inline constexpr int kMaxArrays = 100;           // distinct arrays (general mode)
// Two row-kind descriptions are the same when they differ by less than this (dipole size,
// N-factor) or, for arrays, when each of fAN, fBM, fAM, fBN differs by no more than it, m.
inline constexpr double kRowKindTolerance = 0.01;

struct PseudoSectionPoint {
    float fPosition = 0.0f;       // along-line position, m
    float fResistivity = 0.0f;    // apparent resistivity, Ohm-m
    float fDipoleSize = 0.0f;     // dipole mode: half the receiver dipole, m
    float fNFactor = 0.0f;        // dipole mode
    float fDepth = 0.0f;          // dipole mode: pseudo-depth, m
    FourElectrodeGeometry array;  // general mode: positions with distances and fK recomputed
};

enum class PseudoSectionStatus {
    Ok,
    TooManyDipoleSizes,  // more than kMaxDipoleSizes
    TooManyNFactors,     // more than kMaxNFactorsPerSize for one dipole size
    TooManyArrays,       // more than kMaxArrays
};

struct PseudoSection {
    int bGeneralArray = 0;
    std::vector<PseudoSectionPoint> points;
    float fMinPosition = 0.0f, fMaxPosition = 0.0f;  // extremes of the points' positions
    std::vector<float> dipoleSizes;                  // dipole mode, ascending
    std::vector<std::vector<float>> nFactors;        // dipole mode, per dipole size, ascending
    std::vector<FourElectrodeGeometry> arrays;       // general mode, by ascending fK
    // Dipole size whose N-factor list overflowed (TooManyNFactors), m.
    float fOverflowDipoleSize = 0.0f;

    // Number of row kinds: the sum of the N-factor list lengths, or the number of arrays.
    int RowKindCount() const;
    // Row kind of a point: the first (dipole size, N-factor) pair within the tolerance of
    // both, or the first array that is the same array. -1 when none matches (a point whose
    // description is not a number).
    int RowKindOf(const PseudoSectionPoint& point) const;
    // Dipole size and N-factor of row kind r (dipole mode).
    float RowDipoleSize(int r) const;
    float RowNFactor(int r) const;
};

// A FourElectrodeGeometry holding e's positions fA, fB, fM, fN with the distances and fK
// recomputed from them.
FourElectrodeGeometry ArrayFromPositions(const FourElectrodeGeometry& e);
// True when the arrays' fAN, fBM, fAM and fBN each differ by no more than 0.01 m.
bool SameArray(const FourElectrodeGeometry& a, const FourElectrodeGeometry& b);

// Collects the points of every line with bUse 1: receiver j of a reading makes a point when
// the line's bReceiverUse[j] and the reading's bValid[j] are 1 (and its position is a finite
// number). Runs CheckDifferentSize on the survey to choose the mode; in general mode every
// reading of a used line first gets ComputeResistivity with its line's geometry (the
// readings keep the recomputed values). In dipole mode builds the distinct dipole size list;
// stops with TooManyDipoleSizes when a 51st size appears.
PseudoSectionStatus CollectPoints(CGantrelSurvey& survey, PseudoSection& section);

// Builds the row kinds from the collected points and shows the messages of the
// classification: general mode "Number of array = %d"; dipole mode one
// "Dipole size = %.2f m number of N-space = %d" per dipole size, smallest first. Stops
// with TooManyNFactors / TooManyArrays (after the messages of the lists already complete).
PseudoSectionStatus ClassifyRowKinds(PseudoSection& section, CPrompter& prompter);

// The mode message shown between collecting and classifying.
std::string ModeMessage(const PseudoSection& section);
// The refusal shown for a status other than Ok: what the limit is and what to change.
std::string CapacityMessage(PseudoSectionStatus status, const PseudoSection& section);
