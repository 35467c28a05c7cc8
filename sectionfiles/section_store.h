// The section and model store: the gridded apparent resistivity section (data columns of
// rows, each row an averaged apparent resistivity with its array description and, after an
// inversion, the model response) and the layered resistivity model (per model column the
// layer boundaries and resistivities) of the current survey.
//
// The store is created once at fixed capacities and never grows: every operation that fills
// it keeps nColumn <= MaxColumn(), nRow[c] <= MaxRow(), nModelColumn and nBoundaryColumn <=
// MaxBoundaryColumn(), nLayer and nBoundary <= MaxLayer(). The two-dimensional arrays are
// indexed [column][row] or [column][layer] and have one spare row and column
// (sectionfiles/block_matrix.h). Rows of a data column are compact: 0..nRow[c]-1; cells beyond
// are stale and never read.
//
// Units: positions and elevations in metres along the line (elevation 0 at the surface,
// negative downwards), resistivities in Ohm-m.
#pragma once

#include <memory>
#include <vector>

#include "common/survey.h"
#include "sectionfiles/block_matrix.h"

// Capacities the processing program's document creates its stores with.
inline constexpr int kStoreMaxColumn = 3000;
inline constexpr int kStoreMaxRow = 100;
inline constexpr int kStoreMaxLayer = 100;

// Row layouts of iDataType.
inline constexpr int kDataTypeDipole = 3;   // rows described by dipole size and N-factor
inline constexpr int kDataTypeGeneral = 4;  // rows described by four-electrode geometry

// Conventional N-factors of rows that are not dipole-dipole.
inline constexpr float kNFactorWenner = 0.0f;
inline constexpr float kNFactorPolePole = -1.0f;

class CTrevascData {
public:
    virtual ~CTrevascData() = default;
};

class CTrevascDataOhm : public CTrevascData {
public:
    CTrevascDataOhm() = default;
    CTrevascDataOhm(const CTrevascDataOhm&) = delete;
    CTrevascDataOhm& operator=(const CTrevascDataOhm&) = delete;
    ~CTrevascDataOhm() override { Release(); }

    // Stores the capacities, allocates every array (Allocate) and empties the store (Reset).
    // The two trailing values are accepted for the document's call (1, 1) and not used.
    // False when a capacity is below 1 or the memory cannot be had: the store is then left
    // unallocated (all capacities 0) and must not be filled.
    [[nodiscard]] virtual bool Initialise(int columnCapacity, int rowCapacity,
                                          int boundaryColumnCapacity, int layerCapacity,
                                          int reserved1 = 1, int reserved2 = 1);
    // Allocates every array at the stored capacities, pElectrode all null; false (and nothing
    // allocated) when the memory cannot be had.
    [[nodiscard]] virtual bool Allocate();
    // Frees every array and electrode geometry; only when allocated.
    virtual void Release();
    // Counts to 0 (columns, boundaries, layers, model columns, aux block), iDataType 0,
    // fCellSize 1.0. The cells keep their stale contents.
    virtual void Reset();
    // Smallest and largest fColumnX over nColumn columns, from 1.0e7 and -1.0e7.
    virtual void ColumnRange(float& fMin, float& fMax) const;

    // Copy for undo: the section rows (nRow, fColumnX, fColumnAux, fDipoleSize, nAveraged,
    // fCalculated, fObserved, fNFactor), the boundaries (fBoundaryX, fBoundaryElevation) and
    // the model (fLayerAux, fLayerResistivity). Not copied: pElectrode, iMarked,
    // bGeneralArray, fBoundaryColumnX, fModelColumnX, fCellSize. Counts are clipped to this
    // store's capacities.
    void CopyFrom(const CTrevascDataOhm& other);
    // Allocates copy at this store's capacities and copies into it what CopyFrom copies plus
    // iDataType, so that a command stopped half-way can put the store back with RestoreFrom.
    // False when the memory cannot be had.
    [[nodiscard]] bool SnapshotTo(CTrevascDataOhm& copy) const;
    void RestoreFrom(const CTrevascDataOhm& copy);
    // Exchanges everything, capacities and electrode geometries included, with another store:
    // the undo of an open keeps the whole store aside this way, at no copying cost.
    void Swap(CTrevascDataOhm& other) noexcept;
    // Smallest and largest fLayerResistivity over nModelColumn columns and nLayer layers,
    // from 100000 and 0.
    void ResistivityRange(float& fMin, float& fMax) const;

    bool IsAllocated() const { return bAllocated; }
    int MaxColumn() const { return iMaxColumn; }
    int MaxRow() const { return iMaxRow; }
    int MaxBoundaryColumn() const { return iMaxBoundaryColumn; }
    int MaxLayer() const { return iMaxLayer; }

    // Removes every row marked in iMarked from its column: the later rows move up with their
    // values, counts, marks and electrode geometries, and nRow shrinks. The marks of the rows
    // that stay, and of the slots left behind, are cleared. Returns the rows removed.
    int RemoveMarkedRows();
    // Empties column c's rows' electrode geometries from row `from` on (general-mode rows
    // that a refill no longer uses).
    void ClearElectrodes(int c, int from = 0);

    int iVersion = 9;   // format version of the last section file read
    int iDataType = 0;  // kDataTypeDipole or kDataTypeGeneral, 0 until known
    int nColumn = 0;    // data columns
    int nBoundaryColumn = 0;
    int nBoundary = 0;  // boundaries per boundary column (= nLayer)
    int nLayer = 0;     // layers per model column; the last is a half-space
    int nModelColumn = 0;
    int nAuxBlock = 0;       // fourth block of the section file; always 0 here
    float fCellSize = 1.0f;  // horizontal cell size of the gridded section, m
    int iUTMZone = -1;       // as last used by the plotter hand-off; -1 until set
    int bGeneralArray = 0;   // 1 when rows are four-electrode arrays (pElectrode set)
    // Row kinds of the last gridding or import (the sum of its distinct row kinds). Kept for
    // the document; Reset and CopyFrom leave it alone.
    int nRowKind = 0;

    // Section: data columns.
    std::vector<int> nRow;            // [column] rows in the column
    std::vector<float> fColumnX;      // [column] position along the line, m
    std::vector<float> fColumnAux;    // [column] third header value of the section file; 0 here
    CBlockMatrix<float> fDipoleSize;  // [column][row] m (dipole mode)
    CBlockMatrix<float> fCalculated;  // [column][row] model response, Ohm-m
    CBlockMatrix<float> fObserved;    // [column][row] gridded apparent resistivity, Ohm-m
    CBlockMatrix<float> fNFactor;     // [column][row] 0 Wenner, -1 pole-pole (dipole mode)
    CBlockMatrix<int> nAveraged;      // [column][row] readings averaged into the row
    CBlockMatrix<int> iMarked;        // [column][row] marked for removal in the 1D view
    // [column][row] array of the row in general mode; null elsewhere.
    CBlockMatrix<std::unique_ptr<FourElectrodeGeometry>> pElectrode;

    // Model.
    std::vector<float> fBoundaryColumnX;     // [boundary column] m
    CBlockMatrix<float> fBoundaryX;          // [boundary column][boundary] column position
    CBlockMatrix<float> fBoundaryElevation;  // [boundary column][boundary] top of layer, m
    std::vector<float> fModelColumnX;        // [model column] m
    std::vector<float> fModelColumnAux;      // [model column] read from version 9 files
    CBlockMatrix<float> fLayerAux;           // [model column][boundary] nLayer - 1 values
    CBlockMatrix<float> fLayerResistivity;   // [model column][layer] Ohm-m

protected:
    int iMaxColumn = 0;
    int iMaxRow = 0;
    int iMaxBoundaryColumn = 0;
    int iMaxLayer = 0;
    bool bAllocated = false;
};
