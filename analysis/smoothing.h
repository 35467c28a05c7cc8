// Smoothing of the layered model's resistivities (linear Ohm-m), in place: a median filter
// along each layer, a moving average along each layer, a moving average down each column.
// Only fLayerResistivity changes; boundaries, the section and the calculated values stay.
//
// A model value of -1 marks a column without a model: the median neither filters it nor
// lets it into other windows, while the moving averages take it as it is.
#pragma once

#include <span>
#include <string>

#include "common/prompter.h"
#include "sectionfiles/section_store.h"

// Median of the values >= 0 after dropping those within 0.01 of one already taken: the
// middle entry of the ascending distinct values, or the mean of the two middle ones when
// their number is even; -0.1 when no value is >= 0.
float DistinctMedian(std::span<const float> values);

// The dialog "Median filter": radio buttons "3 points" .. "9 points" in the group
// "Filter length", "7 points" selected when it opens.
struct CDlgMedianFilter : CDialogValues {
    int iLength = 7;  // 3, 5, 7 or 9

    std::string DialogName() const override { return "Median filter"; }
    static std::string GroupText() { return "Filter length"; }
    // "3 points" for 3, and so on.
    static std::string ButtonText(int length);
    // Lengths in the order of the radio buttons.
    static constexpr int kLengths[4] = {3, 5, 7, 9};
};

// Along each of the nLayer layers over nModelColumn columns, in increasing column order and
// in place (later windows see the filtered values of earlier columns): every value >= 0
// becomes the DistinctMedian of the window of `length` columns centred on it, cut at the
// section's ends. length is taken as 3, 5, 7 or 9 (anything else as 7).
void HorizontalMedianFilter(CTrevascDataOhm& store, int length);

// Along each layer over nBoundaryColumn columns, from a copy of the model:
// (2 p[j] + p[j-1] + p[j+1]) / 4, at the ends (2 p[j] + its one neighbour) / 3.
void HorizontalMovingAverage(CTrevascDataOhm& store);

// Down each of nBoundaryColumn columns, from a copy of the model: layer 0 becomes
// (2 r[0] + r[1]) / 3, inner layers (2 r[j] + r[j-1] + r[j+1]) / 4; the last layer (the
// half-space) keeps its value.
void VerticalMovingAverage(CTrevascDataOhm& store);

// Enable rules of the three commands.
bool CanHorizontalMedian(const CTrevascDataOhm& store);   // nLayer >= 1, nModelColumn >= 4
bool CanHorizontalAverage(const CTrevascDataOhm& store);  // nLayer >= 1, nModelColumn >= 2
bool CanVerticalAverage(const CTrevascDataOhm& store);    // nLayer >= 1
