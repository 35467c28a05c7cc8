// RES2DINV data files (.dat): reading a file into pseudo-section points, classifying them into
// row kinds, gridding them into the section part of the store, and writing the store's gridded
// section back as a RES2DINV file.
//
// Conventions of the store's rows: a dipole row's dipole size is half the RES2DINV dipole
// length a, and its N-factor is 2n + 1 for the RES2DINV separation factor n. A pole-pole row
// carries the electrode spacing as its dipole size and N-factor -1. Every other array (Wenner
// alpha, beta, gamma, pole-dipole, Wenner-Schlumberger, gradient, general four-electrode
// arrays) goes into the general-array mode: each row holds its four electrode positions.
//
// Four-electrode rows: fA = C2, fB = C1, fM = P1, fN = P2 (so that CompleteElectrodes gives
// the usual geometric factor 2 pi / (1/C1P1 - 1/C1P2 - 1/C2P1 + 1/C2P2)), in metres from the
// point's position, which is the middle of the extent of its electrodes that are not remote.
// A remote electrode (at infinity) sits kPolePoleRemoteFactor times that extent away, on the
// far side of its partner.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "sectionfiles/section_store.h"

class CPrompter;

inline constexpr int kRes2dinvWennerAlpha = 1;
inline constexpr int kRes2dinvPolePole = 2;
inline constexpr int kRes2dinvDipoleDipole = 3;
inline constexpr int kRes2dinvWennerBeta = 4;
inline constexpr int kRes2dinvWennerGamma = 5;
inline constexpr int kRes2dinvPoleDipole = 6;
inline constexpr int kRes2dinvSchlumberger = 7;
inline constexpr int kRes2dinvGeneral = 11;
inline constexpr int kRes2dinvGradient = 15;
inline constexpr int kRes2dinvMaxArrays = 100;  // distinct four-electrode arrays
inline constexpr int kRes2dinvMaxDipoleSizes = 50;
inline constexpr int kRes2dinvMaxSeparations = 100;  // per dipole size
// Smallest dipole length search start of the export (so 5000.000000 for an empty section).
inline constexpr float kRes2dinvSpacingStart = 10000.0f;

// One data point, already in the store's conventions.
struct Res2dinvPoint {
    float fX = 0.0f;            // m
    float fDipoleSize = 0.0f;   // m: a / 2, or the spacing a (pole-pole)
    float fNFactor = 0.0f;      // (n a + s) / s, or -1 (pole-pole)
    float fResistivity = 0.0f;  // apparent resistivity, Ohm-m
    // General-array points: positions relative to fX (see the top of this file).
    FourElectrodeGeometry array;
};

// True for the array types this import reads.
bool Res2dinvKnownArrayType(int arrayType);
// True for the array types that go into the general-array mode.
bool Res2dinvGeneralArrayType(int arrayType);

// The six header values, in file order.
enum class Res2dinvField {
    Title,
    Spacing,
    ArrayType,
    DataCount,
    XLocation,
    IP,
    SubType,          // general array: the sub-type line
    MeasurementType,  // general array: 0 apparent resistivity, 1 resistance
    RemoteBlock,      // "Remote electrodes included": its flag, locations or factor flag
    IPBlock,          // the lines that describe the IP values
};
// "array type", "number of data points", ... in the current language.
std::string Res2dinvFieldText(Res2dinvField field);

struct Res2dinvFile {
    std::filesystem::path path;
    bool bOpened = true;
    // False when a header value is missing or cannot be read: eBadField on line iBadLine
    // (one past the last line when the file ended before it). No data lines are read then.
    bool bHeaderRead = false;
    Res2dinvField eBadField = Res2dinvField::Title;
    std::size_t iBadLine = 0;

    std::string sTitle;
    float fSpacing = 0.0f;
    int iArrayType = 0;
    int nAnnounced = 0;  // number of data points the header gives
    int iXLocation = 0;
    int iIP = 0;
    // False when the array type was read but is not one this import reads (line iBadLine).
    bool bKnownArrayType = true;
    int iSubType = 0;      // general array
    int iMeasurement = 0;  // general array: 1 when the values are resistances (V/I), Ohm
    // "Remote electrodes included": the positions (m) of the remote current and potential
    // electrodes and whether the file's values used the exact factor of those positions. The
    // remote electrodes are taken as at infinity; values of the exact factor are brought to the
    // factor of remote electrodes at infinity.
    bool bRemoteBlock = false;
    bool bRemoteC2 = false, bRemoteP2 = false;
    float fRemoteC2 = 0.0f, fRemoteP2 = 0.0f;
    int bExactFactor = 0;
    bool bIPValues = false;  // IP flag 1: each data line carries IP values, which are left out

    std::vector<Res2dinvPoint> points;  // in file order
    float fMinX = 0.0f, fMaxX = 0.0f;   // over the points; the first point sets both
    // Data lines that could not be read (too few numbers, a value that is not a finite
    // number, a spacing or dipole length not above 0) are left out and counted.
    int nBadLine = 0;
    std::size_t iFirstBadLine = 0;
};

// Reads the header and then data lines until the announced number of data lines (read or
// left out) was taken or the file ends. Lines starting with ';' are comments and blank lines
// are skipped (the title is the first line that is not a comment); values may be separated by
// blanks, tabs or commas. The general array (type 11) has its sub-type line, the "Type of
// measurement" label and its value before the data count. A "Remote electrodes included" block
// may stand among the header lines; an IP flag of 1 is followed by the lines that describe the
// IP values (a name, a unit, the times). Whatever follows the last announced point
// (topography, fixed regions, trailing zero lines) is not read.
Res2dinvFile ReadRes2dinvFile(const std::filesystem::path& path);

// Messages about a read that could not be used as a whole: "Cannot open the file %s", a
// header that cannot be read (file, line and the value expected), left-out data lines (how
// many of how many, and the points read), and fewer data lines than announced. Returns false when the file cannot be imported at all.
bool ReportRes2dinvFile(const Res2dinvFile& file, CPrompter& prompter);

// The row kinds of an import: for dipole-dipole files the distinct dipole sizes (ascending,
// tolerance 0.01) and per dipole size the distinct N-factors of its points; for pole-pole
// one list of the distinct spacings.
struct Res2dinvRowKinds {
    bool bPolePole = false;
    bool bGeneral = false;                      // four-electrode arrays
    std::vector<FourElectrodeGeometry> arrays;  // general: distinct arrays by ascending fK
    std::vector<float> dipoleSizes;
    std::vector<std::vector<float>> separations;
    int Count() const;
};

// Index of the array of kinds.arrays that is the same array as e; -1 when there is none.
int Res2dinvArrayIndex(const Res2dinvRowKinds& kinds, const FourElectrodeGeometry& e);

enum class Res2dinvStatus {
    Ok,
    TooManyDipoleSizes,  // more than 50 distinct dipole sizes
    TooManySeparations,  // more than 100 distinct separations for one dipole size
    TooManyArrays,       // more than 100 distinct four-electrode arrays
    NoPointInSection,    // no point has a cell with an average above 0
    BadCellSize,         // not a positive finite number
    TooManyColumns,      // the cell size gives more columns than the store holds
    TooManyRows,         // a column would hold more non-empty rows than the store holds
};

// Builds the row kinds and shows the method message ("pole-pole method", or
// "dipole-dipole method : nDipoleIndex=%d") and one "%d nSeparationIndex=%d" per list; for
// four-electrode arrays "general array method : nArray=%d". A list past its capacity is
// refused with a message naming the file; nothing more is shown. Two four-electrode arrays are
// the same when each electrode lies within 0.01 m of the other's (or both are remote).
Res2dinvStatus ClassifyRes2dinv(const Res2dinvFile& file, Res2dinvRowKinds& kinds,
                                CPrompter& prompter);

struct Res2dinvGridResult {
    Res2dinvStatus status = Res2dinvStatus::Ok;
    int nColumn = 0;       // columns of the cell size (TooManyColumns: -1 when past any int)
    int iColumn = -1;      // TooManyRows: the first column that overflows
    int nRowInColumn = 0;  // TooManyRows: its non-empty rows
    int nGridded = 0;      // Ok: points in the section's rows (the others had no row kind, or
                           // fell in a cell whose average is not above 0)
};

// What an import left out of a file, for a summary: unreadable data lines, announced points
// the file does not hold, and points not in the section; empty when every point is in it.
std::string Res2dinvLeftOutText(const Res2dinvFile& file, int nGridded);

// Columns of an import: trunc((fMax - fMin) / w) + 1 in single precision, so that the points
// at the largest x have a column of their own (a section exported and imported again keeps
// every column). A position within a thousandth of a cell below an edge counts as on it.
// -1 when w is not a positive finite number, -2 when the count would exceed maxColumn.
int Res2dinvColumnCount(float fMin, float fMax, float w, int maxColumn);

// Grids the points into the store's section with cell size w: each point into the column
// trunc((x - min) / w) (with the edge tolerance above) and its first matching row kind; per column the
// cells with a positive average, in row-kind order. Columns sit at min + c w (the cell's
// lower edge). Writes nColumn, fColumnX, nRow, the rows (fObserved, nAveraged, fDipoleSize,
// fNFactor, iMarked 0), fCellSize, bGeneralArray 0 and nRowKind; the calculated values and the
// model are not touched. Every limit is checked first: on any status but Ok the store is as
// it was.
Res2dinvGridResult GridRes2dinv(const Res2dinvFile& file, const Res2dinvRowKinds& kinds, float w,
                                CTrevascDataOhm& store);

enum class Res2dinvExportStatus {
    Ok,
    CannotCreate,
    WriteFailed,
};

// Writes the store's gridded section: the file name, the unit spacing (half the smallest
// dipole length 2 fDipoleSize), the array type, the row count, 1, 0, then per column and row
// x, a, n and the apparent resistivity, as dipole-dipole (a = 2 fDipoleSize, n = (N - 1) / 2).
// A section whose rows are all pole-pole (N-factor -1) is written as pole-pole instead: array
// type 2 and x, spacing, apparent resistivity per row. A general-array section is written as a
// general array (type 11, sub-type 0, apparent resistivities): per row the electrode count and
// the positions (x, 0) of C1, C2, P1, P2 without the remote ones, then the value.
// The file is replaced only once everything was written; save, when given, tells how the
// file itself was written (for the message of CannotCreate and WriteFailed).
Res2dinvExportStatus WriteRes2dinvFile(const CTrevascDataOhm& store,
                                       const std::filesystem::path& path,
                                       SaveResult* save = nullptr);
// The message for a refused export; empty for Ok. With save, a failed write names its reason.
std::string Res2dinvExportMessage(Res2dinvExportStatus status, const std::filesystem::path& path,
                                  const SaveResult* save = nullptr);
