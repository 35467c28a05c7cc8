// Electrode-array files of the sister imaging program: the gridded section as dipole-dipole
// measurements between numbered electrodes on a line (.st1), and the same with calculated
// values plus the layered model on a node mesh (.st4).
//
// Conventions: a row of dipole size a and N-factor N at column position X is the array
// C1 = X - aN/2 - a, C2 = X - aN/2, P1 = X + aN/2, P2 = X + aN/2 + a (single precision), with
// geometric factor K = pi a N (N + 1) (N + 2). Electrodes are numbered from 1 in ascending
// position; topography points are every second electrode from the first, plus the last.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "sectionfiles/section_store.h"

class CPrompter;

inline constexpr int kDunvarModeData = 1;   // .st1
inline constexpr int kDunvarModeModel = 4;  // .st4 (and the standard XML section document)
inline constexpr int kDunvarMaxElectrode = 100000;
inline constexpr int kDunvarMaxNFactor = 100;
inline constexpr double kDunvarPi = 3.14159265359;
// A datum's electrode is the first electrode within this distance of its position, m.
inline constexpr float kDunvarMatchDistance = 0.1f;
inline constexpr float kDunvarError = 0.001f;
inline constexpr float kDunvarWeight = 1.0f;
inline constexpr float kDunvarRangeMin = -1000000.0f;
inline constexpr float kDunvarRangeMax = 1000000.0f;

struct DunvarDatum {
    int c1 = 0, c2 = 0, p1 = 0, p2 = 0;  // one-based electrode numbers; 0 until assigned
    float fObserved = 0.0f;              // apparent resistivity, Ohm-m
    float fCalculated = 0.0f;            // mode 4 only
    float fNFactor = 0.0f;
    float fDipoleSize = 0.0f;                              // m
    float fK = 0.0f;                                       // geometric factor, m
    float fC1 = 0.0f, fC2 = 0.0f, fP1 = 0.0f, fP2 = 0.0f;  // positions, m

    float Resistance() const { return fObserved / fK; }
    float CalculatedResistance() const { return fCalculated / fK; }
};

struct DunvarDataSet {
    std::string sTitle = "Gantrel";
    int iMode = kDunvarModeData;
    std::vector<float> electrodes;   // distinct positions, ascending, tolerance 0.01
    std::vector<float> nFactors;     // distinct N-factors, tolerance 0.01
    std::vector<DunvarDatum> data;   // column by column, row by row
    std::vector<float> topographyX;  // elevation and third value of every point are 0
    float fSpacing = 0.0f;           // x of topography point 2 - x of point 1
    // Mode 4 mesh. Nodes: [layer * nTopography + point]; cells: [(layer row - 1) *
    // (nTopography - 1) + cell] for the layer rows 1..nLayer-1.
    int nLayer = 0;
    std::vector<float> nodeX, nodeValue, nodeElevation;
    std::vector<float> cellResistivity;

    int nTopography() const { return static_cast<int>(topographyX.size()); }
};

enum class DunvarStatus {
    Ok,
    NoData,               // the section has no rows
    NoModel,              // mode 4 without a layered model
    GeneralArray,         // rows of different transmitter and receiver sizes have no (a, N)
    NotDipoleDipole,      // a row whose geometric factor is not a positive number (N 0 or -1)
    TooManyElectrodes,    // more than 100000 distinct electrode positions
    TooManyNFactors,      // more than 100 distinct N-factors
    ElectrodeUnassigned,  // a datum position without an electrode (a position not a number)
};

struct DunvarBuildResult {
    DunvarStatus status = DunvarStatus::Ok;
    int iColumn = -1, iRow = -1;  // NotDipoleDipole: the row
    // ElectrodeUnassigned: the datum, which electrode failed first (1 c1, 2 c2, 3 p1 or p2)
    // and the four numbers found (0 for none).
    int iDatum = -1;
    int iWhich = 0;
    int c1 = 0, c2 = 0, p1 = 0, p2 = 0;
};

// True when the store holds a layered model the mode 4 mesh can be built from.
bool DunvarHasModel(const CTrevascDataOhm& store);
// The message of a refused build for the refusals found before any row is read (NoData,
// NoModel, GeneralArray); empty for the others.
std::string DunvarRefusalMessage(DunvarStatus status);

// Where the diagnostic "SetData.txt" goes: the process's current directory.
std::filesystem::path DunvarDiagnosticPath();

// Builds the data set of the store's section in mode 1 or 4 and shows "Number of data=%d
// \nNumber of electrode=%d \nNumber of topography point=%d \nNumber of N space=%d". Writes
// the topography x values and the first boundary x of every boundary column to setDataPath
// (skipped when empty or when it cannot be created). A refused build shows its messages
// (for an electrode that cannot be assigned the two "electrode location error" messages) and
// leaves the data set incomplete; nothing else is changed.
DunvarBuildResult BuildDunvarDataSet(
    const CTrevascDataOhm& store, int iMode, DunvarDataSet& set, CPrompter& prompter,
    const std::filesystem::path& setDataPath = DunvarDiagnosticPath());

// Values as "%8.2f " each with a line break after every eighth; a last line break unless the
// count is a multiple of eight, or always when alwaysEnd (then a multiple of eight is
// followed by an empty line).
std::string DunvarValueBlock(std::span<const float> values, bool alwaysEnd);

// The two files, each replacing its target only once it is whole. False when the file cannot
// be created or a write fails (save, when given, says why); the old file is then untouched.
bool WriteDunvarST1(const DunvarDataSet& set, const std::filesystem::path& path,
                    SaveResult* save = nullptr);
bool WriteDunvarST4(const DunvarDataSet& set, const std::filesystem::path& path,
                    SaveResult* save = nullptr);
