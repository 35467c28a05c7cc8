#include "sectionfiles/section_store.h"

#include <algorithm>
#include <utility>

bool CTrevascDataOhm::Initialise(int columnCapacity, int rowCapacity, int boundaryColumnCapacity,
                                 int layerCapacity, int, int) {
    Release();
    if (columnCapacity < 1 || rowCapacity < 1 || boundaryColumnCapacity < 1 || layerCapacity < 1)
        return false;
    iMaxColumn = columnCapacity;
    iMaxRow = rowCapacity;
    iMaxBoundaryColumn = boundaryColumnCapacity;
    iMaxLayer = layerCapacity;
    if (!Allocate()) {
        iMaxColumn = iMaxRow = iMaxBoundaryColumn = iMaxLayer = 0;
        return false;
    }
    Reset();
    return true;
}

bool CTrevascDataOhm::Allocate() {
    const int nc = iMaxColumn, nr = iMaxRow, nb = iMaxBoundaryColumn, nl = iMaxLayer;
    // Sizes are checked as a whole first, so that an impossible capacity is refused before
    // any of the arrays is allocated.
    const auto sectionCells = BlockElementCount(nc, nr, 1);
    const auto modelCells = BlockElementCount(nb, nl, 1);
    if (!sectionCells || !modelCells) return false;
    constexpr std::size_t kSectionCellBytes =
        4 * sizeof(float) + 2 * sizeof(int) + sizeof(std::unique_ptr<FourElectrodeGeometry>);
    constexpr std::size_t kModelCellBytes = 4 * sizeof(float);
    if (*sectionCells > kMaxBlockBytes / kSectionCellBytes ||
        *modelCells > kMaxBlockBytes / kModelCellBytes ||
        *sectionCells * kSectionCellBytes + *modelCells * kModelCellBytes > kMaxBlockBytes)
        return false;
    // One spare entry, as the two-dimensional blocks have.
    bool ok = AllocVector(nRow, nc + 1LL) && AllocVector(fColumnX, nc + 1LL) &&
              AllocVector(fColumnAux, nc + 1LL) && fDipoleSize.Allocate(nc, nr) &&
              fCalculated.Allocate(nc, nr) && fObserved.Allocate(nc, nr) &&
              fNFactor.Allocate(nc, nr) && nAveraged.Allocate(nc, nr) && iMarked.Allocate(nc, nr) &&
              pElectrode.Allocate(nc, nr) && AllocVector(fBoundaryColumnX, nb + 1LL) &&
              fBoundaryX.Allocate(nb, nl) && fBoundaryElevation.Allocate(nb, nl) &&
              AllocVector(fModelColumnX, nb + 1LL) && AllocVector(fModelColumnAux, nb + 1LL) &&
              fLayerAux.Allocate(nb, nl) && fLayerResistivity.Allocate(nb, nl);
    bAllocated = true;  // so that Release frees whatever part was had
    if (!ok) {
        Release();
        return false;
    }
    return true;
}

void CTrevascDataOhm::Release() {
    if (!bAllocated) return;
    std::vector<int>().swap(nRow);
    std::vector<float>().swap(fColumnX);
    std::vector<float>().swap(fColumnAux);
    fDipoleSize.Release();
    fCalculated.Release();
    fObserved.Release();
    fNFactor.Release();
    nAveraged.Release();
    iMarked.Release();
    pElectrode.Release();  // deletes every geometry still held
    std::vector<float>().swap(fBoundaryColumnX);
    fBoundaryX.Release();
    fBoundaryElevation.Release();
    std::vector<float>().swap(fModelColumnX);
    std::vector<float>().swap(fModelColumnAux);
    fLayerAux.Release();
    fLayerResistivity.Release();
    bAllocated = false;
}

void CTrevascDataOhm::Reset() {
    nColumn = 0;
    nBoundaryColumn = 0;
    nBoundary = 0;
    nLayer = 0;
    nModelColumn = 0;
    nAuxBlock = 0;
    iDataType = 0;
    fCellSize = 1.0f;
}

void CTrevascDataOhm::ColumnRange(float& fMin, float& fMax) const {
    fMin = 1.0e7f;
    fMax = -1.0e7f;
    const int n = std::min(nColumn, static_cast<int>(fColumnX.size()));
    for (int c = 0; c < n; ++c) {
        fMin = std::min(fMin, fColumnX[static_cast<size_t>(c)]);
        fMax = std::max(fMax, fColumnX[static_cast<size_t>(c)]);
    }
}

void CTrevascDataOhm::ResistivityRange(float& fMin, float& fMax) const {
    fMin = 100000.0f;
    fMax = 0.0f;
    if (!bAllocated) return;
    const int nc = std::clamp(nModelColumn, 0, iMaxBoundaryColumn);
    const int nl = std::clamp(nLayer, 0, iMaxLayer);
    for (int c = 0; c < nc; ++c) {
        for (int j = 0; j < nl; ++j) {
            fMin = std::min(fMin, fLayerResistivity[c][j]);
            fMax = std::max(fMax, fLayerResistivity[c][j]);
        }
    }
}

void CTrevascDataOhm::ClearElectrodes(int c, int from) {
    if (!bAllocated || c < 0 || c > iMaxColumn) return;
    for (int k = std::max(from, 0); k <= iMaxRow; ++k) pElectrode[c][k].reset();
}

void CTrevascDataOhm::CopyFrom(const CTrevascDataOhm& other) {
    if (this == &other || !bAllocated || !other.bAllocated) return;
    // Both stores normally share one shape; clip to the smaller one all the same.
    const int maxColumn = std::min(iMaxColumn, other.iMaxColumn);
    const int maxRow = std::min(iMaxRow, other.iMaxRow);
    const int maxBoundaryColumn = std::min(iMaxBoundaryColumn, other.iMaxBoundaryColumn);
    const int maxLayer = std::min(iMaxLayer, other.iMaxLayer);

    nColumn = std::clamp(other.nColumn, 0, maxColumn);
    for (int c = 0; c < nColumn; ++c) {
        const auto cc = static_cast<size_t>(c);
        nRow[cc] = std::clamp(other.nRow[cc], 0, maxRow);
        fColumnX[cc] = other.fColumnX[cc];
        fColumnAux[cc] = other.fColumnAux[cc];
        for (int k = 0; k < nRow[cc]; ++k) {
            fDipoleSize[c][k] = other.fDipoleSize[c][k];
            nAveraged[c][k] = other.nAveraged[c][k];
            fCalculated[c][k] = other.fCalculated[c][k];
            fObserved[c][k] = other.fObserved[c][k];
            fNFactor[c][k] = other.fNFactor[c][k];
        }
    }

    nBoundaryColumn = std::clamp(other.nBoundaryColumn, 0, maxBoundaryColumn);
    nBoundary = std::clamp(other.nBoundary, 0, maxLayer);
    for (int c = 0; c < nBoundaryColumn; ++c) {
        for (int j = 0; j < nBoundary; ++j) {
            fBoundaryX[c][j] = other.fBoundaryX[c][j];
            fBoundaryElevation[c][j] = other.fBoundaryElevation[c][j];
        }
    }

    nModelColumn = std::clamp(other.nModelColumn, 0, maxBoundaryColumn);
    nLayer = std::clamp(other.nLayer, 0, maxLayer);
    for (int c = 0; c < nModelColumn; ++c) {
        fBoundaryX[c][0] = other.fBoundaryX[c][0];
        for (int j = 0; j + 1 < nLayer; ++j) fLayerAux[c][j] = other.fLayerAux[c][j];
        for (int j = 0; j < nLayer; ++j) fLayerResistivity[c][j] = other.fLayerResistivity[c][j];
    }
}

bool CTrevascDataOhm::SnapshotTo(CTrevascDataOhm& copy) const {
    if (!bAllocated ||
        !copy.Initialise(iMaxColumn, iMaxRow, iMaxBoundaryColumn, iMaxLayer))
        return false;
    copy.CopyFrom(*this);
    copy.iDataType = iDataType;
    return true;
}

void CTrevascDataOhm::RestoreFrom(const CTrevascDataOhm& copy) {
    if (!copy.bAllocated) return;
    CopyFrom(copy);
    iDataType = copy.iDataType;
}

void CTrevascDataOhm::Swap(CTrevascDataOhm& other) noexcept {
    using std::swap;
    swap(iVersion, other.iVersion);
    swap(iDataType, other.iDataType);
    swap(nColumn, other.nColumn);
    swap(nBoundaryColumn, other.nBoundaryColumn);
    swap(nBoundary, other.nBoundary);
    swap(nLayer, other.nLayer);
    swap(nModelColumn, other.nModelColumn);
    swap(nAuxBlock, other.nAuxBlock);
    swap(fCellSize, other.fCellSize);
    swap(iUTMZone, other.iUTMZone);
    swap(bGeneralArray, other.bGeneralArray);
    swap(nRowKind, other.nRowKind);
    swap(nRow, other.nRow);
    swap(fColumnX, other.fColumnX);
    swap(fColumnAux, other.fColumnAux);
    swap(fDipoleSize, other.fDipoleSize);
    swap(fCalculated, other.fCalculated);
    swap(fObserved, other.fObserved);
    swap(fNFactor, other.fNFactor);
    swap(nAveraged, other.nAveraged);
    swap(iMarked, other.iMarked);
    swap(pElectrode, other.pElectrode);
    swap(fBoundaryColumnX, other.fBoundaryColumnX);
    swap(fBoundaryX, other.fBoundaryX);
    swap(fBoundaryElevation, other.fBoundaryElevation);
    swap(fModelColumnX, other.fModelColumnX);
    swap(fModelColumnAux, other.fModelColumnAux);
    swap(fLayerAux, other.fLayerAux);
    swap(fLayerResistivity, other.fLayerResistivity);
    swap(iMaxColumn, other.iMaxColumn);
    swap(iMaxRow, other.iMaxRow);
    swap(iMaxBoundaryColumn, other.iMaxBoundaryColumn);
    swap(iMaxLayer, other.iMaxLayer);
    swap(bAllocated, other.bAllocated);
}

int CTrevascDataOhm::RemoveMarkedRows() {
    if (!bAllocated) return 0;
    int removed = 0;
    const int columns = std::clamp(nColumn, 0, iMaxColumn);
    for (int c = 0; c < columns; ++c) {
        const auto cc = static_cast<size_t>(c);
        const int rows = std::clamp(nRow[cc], 0, iMaxRow);
        int kept = 0;
        for (int k = 0; k < rows; ++k) {
            if (iMarked[c][k] != 0) continue;
            if (kept != k) {
                fDipoleSize[c][kept] = fDipoleSize[c][k];
                fNFactor[c][kept] = fNFactor[c][k];
                fObserved[c][kept] = fObserved[c][k];
                fCalculated[c][kept] = fCalculated[c][k];
                nAveraged[c][kept] = nAveraged[c][k];
                pElectrode[c][kept] = std::move(pElectrode[c][k]);
            }
            ++kept;
        }
        for (int k = 0; k < rows; ++k) iMarked[c][k] = 0;
        for (int k = kept; k < rows; ++k) pElectrode[c][k].reset();
        removed += rows - kept;
        nRow[cc] = kept;
    }
    return removed;
}
