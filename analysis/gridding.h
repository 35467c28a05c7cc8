// "Convert to grid data": the pseudo-section points (analysis/pseudo_section.h) are binned
// into columns of one horizontal cell size along the line, the apparent resistivities of
// each (column, row kind) cell averaged, and the result written into the section and model
// store as the gridded section: per column its centre position and a compact list of its
// non-empty rows in row-kind order. The layer model of the store is left as it was.
#pragma once

#include <optional>
#include <string>

#include "analysis/pseudo_section.h"
#include "common/progress.h"
#include "common/prompter.h"
#include "common/survey.h"
#include "sectionfiles/section_store.h"

// Setting (section "General", text "%f") that remembers the cell size, m.
inline constexpr const char* kCellSizeKey = "xCellSize";
inline constexpr double kDefaultCellSize = 5.0;

enum class GriddingStatus {
    Ok,
    NoPoints,        // nothing to grid; the store is unchanged
    BadCellSize,     // not a positive number
    TooManyColumns,  // the cell size needs more columns than the store holds
    TooManyRows,     // a column would hold more non-empty rows than the store holds
    NoMemory,        // the work arrays could not be allocated
    Cancelled,       // the progress report asked to stop; the store is unchanged
};

struct GriddingResult {
    GriddingStatus status = GriddingStatus::Ok;
    int nColumn = 0;            // columns the cell size gives (TooManyColumns: as needed)
    int iColumn = -1;           // TooManyRows: the first column that overflows
    int nRowInColumn = 0;       // TooManyRows: its non-empty rows
    float fMinCellSize = 0.0f;  // TooManyColumns: smallest cell size (to 0.001 m) that fits
};

// Number of columns for positions fMin..fMax and cell size w: trunc((fMax - fMin) / w) + 1 in
// single precision. -1 when w is not a positive number or the count would exceed maxColumn.
int GridColumnCount(float fMin, float fMax, float w, int maxColumn);

// Bins and averages the points into the store's section. Writes nColumn, fColumnX, nRow,
// fObserved, nAveraged, fDipoleSize and fNFactor (dipole mode) or pElectrode (general mode),
// fCellSize, bGeneralArray and nRowKind, and clears the mark of every row written; leaves the
// calculated values and the model alone. Every limit is checked before the first write: on any
// status but Ok the store is exactly as it was. progress hears of every column averaged, all
// before the first write, so a stop there leaves the store alone.
GriddingResult GridPseudoSection(const PseudoSection& section, float w, CTrevascDataOhm& store,
                                 const ProgressReport& progress = {});

// Why a survey whose readings have no distances yet is not gridded.
std::string NoDistancesMessage();

// What the progress of gridding shows before column i of nColumn.
std::string GriddingProgressText(int i, int nColumn);

// The message for a refused gridding: the limit and what to change. Empty for Ok.
std::string GriddingMessage(const GriddingResult& result, float w, const CTrevascDataOhm& store);

// The cell size dialog ("Enter number", label "Horizontal cell size", unit m), filled from
// the setting "xCellSize" (5.0 when absent); nullopt when cancelled.
std::optional<double> AskCellSize(CPrompter& prompter, double initial);

// The whole command. A survey without distances along its lines is refused with
// NoDistancesMessage. Collects and classifies the points (with their messages), asks for the
// cell size and grids. A refused cell size is explained and the dialog asked again; the value
// is written to "xCellSize" once it was accepted. Returns true when the store's section was
// replaced; false when the user cancelled, there was nothing to grid, or a capacity was
// exceeded (the user is told). On false the store is unchanged. The survey's
// bDifferentSize (and, in general mode, the readings' apparent resistivities and electrode
// geometries) are brought up to date in any case. A stop asked for by progress ends the
// command quietly with the store unchanged and the cell size not remembered.
bool ConvertToGridData(CGantrelSurvey& survey, CTrevascDataOhm& store, CPrompter& prompter,
                       const ProgressReport& progress = {});
