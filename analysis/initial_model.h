// "Initial model": a layered resistivity model under every column of the gridded section.
// Every model column sits at its data column's position and has the same layer boundaries:
// each of the n - 1 upper layers is 1.2 times as thick as the one above and together they
// reach the chosen depth; layer n - 1 is the half-space below. Starting resistivities are a
// constant (mode 0), the column's mean apparent resistivity (mode 1), or per layer the mean
// apparent resistivity of the rows whose pseudo-depth falls in it, gaps filled from the
// nearest columns and then from the layers above and below (mode 2).
#pragma once

#include <string>
#include <vector>

#include "common/prompter.h"
#include "sectionfiles/section_store.h"

inline constexpr float kDepthFactor = 4.0f;  // pseudo-depth divisor (document's fDepthFactor)
inline constexpr float kMinInitialResistivity = 0.1f;  // Ohm-m
inline constexpr float kMaxInitialResistivity = 1000000.0f;
inline constexpr int kMaxInitialLayers = 100;

enum InitialModelMode : int {
    kInitialConstantAll = 0,       // "Constant resistivity (all)"
    kInitialConstantVertical = 1,  // "Constant resistivity (vertical)"
    kInitialApparent = 2,          // "Apparent resistivity"
};

// The values of the dialog "Initial model".
struct CDlgInitialModel : CDialogValues {
    int iMode = kInitialApparent;
    float fResistivity = 0.0f;  // Ohm-m, mode 0; the dialog starts from the geometric mean
    float fDepth = 10.0f;       // depth of the top of the last layer, m
    int nLayer = 10;

    std::string DialogName() const override { return "Initial model"; }
    // The message that keeps the dialog open, or empty when the values can be used: the
    // resistivity range 0.1..1000000 (whatever the mode, as the dialog checks its fields),
    // the layer count 1..maxLayer and a positive depth.
    std::string Validate(int maxLayer = kMaxInitialLayers) const;
};

// Layer tops b[0..n-1] in single precision: b[0] = 0, steps 0.72, 0.864, ... (each 1.2 times
// the one before), scaled so that b[n-1] = -depth; with n = 1 just {0}. Empty when n < 1.
std::vector<float> LayerBoundaries(int n, float depth);

// 10 to the mean of log10 fObserved over every row of every column (single-precision sum);
// 0 when the section has no rows. Rows whose value is not positive have no logarithm and are
// left out.
float GeometricMeanObserved(const CTrevascDataOhm& store);
// The same over the rows of column c; 0 without rows.
float ColumnGeometricMean(const CTrevascDataOhm& store, int c);

// Pseudo-depth of row k of column c, m: general mode |(fA + fB)/2 - (fM + fN)/2| / factor of
// the row's array (-1 when the row has none); otherwise the dipole size a for a Wenner (N 0)
// or pole-pole (N -1) row, else (N + 1) a / factor.
float RowPseudoDepth(const CTrevascDataOhm& store, int c, int k, float depthFactor = kDepthFactor);

// Mode 2 for one column, given its rows' pseudo-depths and observed values: per layer the
// value (10 to the mean log10, pending layers filled from the nearest layer above with rows
// of its own, else from the column's first value; -1 everywhere without rows) and the count
// of rows that fell into the layer.
struct ColumnLayers {
    std::vector<float> value;
    std::vector<int> count;
};
ColumnLayers ApparentColumnLayers(const std::vector<float>& depths,
                                  const std::vector<float>& observed,
                                  const std::vector<float>& boundaries);

// Mode 2 across columns: layers without rows of their own take the value of the first
// column with rows in that layer (searching rightwards from columns in the left half,
// leftwards from the right half), else -1; columns without any row stay -1 and are never a
// source; then negative values are filled from the layer below (from the middle layer
// upwards) and from the layer above (from the middle layer downwards).
void FillAcrossColumns(std::vector<ColumnLayers>& columns);

// Replaces the model part of the store from the dialog values (which must pass Validate):
// nModelColumn = nBoundaryColumn = nColumn, nLayer = nBoundary = n, the boundaries, the
// column positions and the layer resistivities. The section part is not touched. False
// (store unchanged) when the store has no column or the values do not fit its capacities.
bool BuildInitialModel(CTrevascDataOhm& store, const CDlgInitialModel& values,
                       float depthFactor = kDepthFactor);

// The whole command: shows the dialog (initial resistivity = the geometric mean) until the
// values pass Validate or it is cancelled, then builds the model. True when the model was
// replaced; false (store unchanged) on Cancel or when the section has no column.
bool InitialModel(CTrevascDataOhm& store, CPrompter& prompter);
