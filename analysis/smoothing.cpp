#include "analysis/smoothing.h"

#include <algorithm>
#include <vector>

#include "common/survey.h"

namespace {

// Columns and layers a smoothing may walk: the given count, kept within the store.
int Columns(const CTrevascDataOhm& store, int count) {
    return store.IsAllocated() ? std::clamp(count, 0, store.MaxBoundaryColumn()) : 0;
}
int Layers(const CTrevascDataOhm& store) {
    return store.IsAllocated() ? std::clamp(store.nLayer, 0, store.MaxLayer()) : 0;
}

// The model as [column][layer] copied out, so that every average reads the unsmoothed values.
std::vector<float> CopyModel(const CTrevascDataOhm& store, int nCol, int nLay) {
    std::vector<float> copy(static_cast<std::size_t>(nCol) * static_cast<std::size_t>(nLay));
    for (int c = 0; c < nCol; ++c)
        for (int j = 0; j < nLay; ++j)
            copy[static_cast<std::size_t>(c) * nLay + j] = store.fLayerResistivity[c][j];
    return copy;
}

}  // namespace

float DistinctMedian(std::span<const float> values) {
    std::vector<float> distinct;
    distinct.reserve(values.size());
    for (float v : values)
        if (v >= 0.0f) InsertDistinct(distinct, v, kDistinctTolerance);
    const std::size_t m = distinct.size();
    if (m == 0) return -0.1f;
    if (m % 2 == 0) return (distinct[m / 2 - 1] + distinct[m / 2]) / 2.0f;
    return distinct[m / 2];
}

std::string CDlgMedianFilter::ButtonText(int length) {
    return std::to_string(length) + " points";
}

void HorizontalMedianFilter(CTrevascDataOhm& store, int length) {
    if (length != 3 && length != 5 && length != 9) length = 7;
    const int nCol = Columns(store, store.nModelColumn);
    const int nLay = Layers(store);
    const int half = length / 2;
    std::vector<float> row(static_cast<std::size_t>(nCol));
    for (int i = 0; i < nLay; ++i) {
        for (int j = 0; j < nCol; ++j) row[static_cast<std::size_t>(j)] = store.fLayerResistivity[j][i];
        for (int j = 0; j < nCol; ++j) {
            if (!(row[static_cast<std::size_t>(j)] >= 0.0f)) continue;
            const int first = std::max(0, j - half);
            const int last = std::min(nCol - 1, j - half + length - 1);
            row[static_cast<std::size_t>(j)] = DistinctMedian(
                std::span<const float>(row.data() + first, static_cast<std::size_t>(last - first + 1)));
        }
        for (int j = 0; j < nCol; ++j) store.fLayerResistivity[j][i] = row[static_cast<std::size_t>(j)];
    }
}

void HorizontalMovingAverage(CTrevascDataOhm& store) {
    const int nCol = Columns(store, store.nBoundaryColumn);
    const int nLay = Layers(store);
    if (nCol < 2) return;  // no neighbour to average with
    const std::vector<float> p = CopyModel(store, nCol, nLay);
    auto at = [&](int c, int j) { return p[static_cast<std::size_t>(c) * nLay + j]; };
    for (int i = 0; i < nLay; ++i) {
        for (int j = 0; j < nCol; ++j) {
            float v;
            if (j == 0) v = (2.0f * at(0, i) + at(1, i)) / 3.0f;
            else if (j == nCol - 1) v = (2.0f * at(j, i) + at(j - 1, i)) / 3.0f;
            else v = (2.0f * at(j, i) + at(j + 1, i) + at(j - 1, i)) * 0.25f;
            store.fLayerResistivity[j][i] = v;
        }
    }
}

void VerticalMovingAverage(CTrevascDataOhm& store) {
    const int nCol = Columns(store, store.nBoundaryColumn);
    const int nLay = Layers(store);
    const std::vector<float> r = CopyModel(store, nCol, nLay);
    auto at = [&](int c, int j) { return r[static_cast<std::size_t>(c) * nLay + j]; };
    for (int c = 0; c < nCol; ++c) {
        for (int j = 0; j < nLay - 1; ++j) {  // the last layer keeps its value
            store.fLayerResistivity[c][j] =
                j == 0 ? (2.0f * at(c, 0) + at(c, 1)) / 3.0f
                       : (2.0f * at(c, j) + at(c, j - 1) + at(c, j + 1)) * 0.25f;
        }
    }
}

bool CanHorizontalMedian(const CTrevascDataOhm& store) {
    return store.nLayer >= 1 && store.nModelColumn >= 4;
}
bool CanHorizontalAverage(const CTrevascDataOhm& store) {
    return store.nLayer >= 1 && store.nModelColumn >= 2;
}
bool CanVerticalAverage(const CTrevascDataOhm& store) {
    return store.nLayer >= 1;
}
