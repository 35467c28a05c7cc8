#include "analysis/initial_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/language.h"
#include "common/resistivity.h"
#include "common/text_format.h"

namespace {

// Adds log10 of v to a single-precision sum; values without a logarithm are left out.
void AddLog(float v, float& sum, int& count) {
    if (!(v > 0.0f) || !std::isfinite(v)) return;
    sum = static_cast<float>(sum + std::log10(static_cast<double>(v)));
    ++count;
}

float PowerOfTenMean(float sum, int count) {
    if (count < 1) return 0.0f;
    return static_cast<float>(std::pow(10.0, static_cast<double>(sum / static_cast<float>(count))));
}

int RowCount(const CTrevascDataOhm& store, int c) {
    return std::clamp(store.nRow[static_cast<size_t>(c)], 0, store.MaxRow());
}

}  // namespace

std::string CDlgInitialModel::Validate(int maxLayer) const {
    if (!(fResistivity >= kMinInitialResistivity && fResistivity <= kMaxInitialResistivity))
        return Tr("Please enter a number between 0.1 and 1000000.",
                  "0.1 から 1000000 までの数値を入力してください。");
    if (!(fDepth > 0.0f) || !std::isfinite(fDepth))
        return Tr("The depth must be greater than 0 m. Enter a positive depth.",
                  "深度は 0 m より大きくしてください。正の深度を入力してください。");
    if (nLayer < 1 || nLayer > maxLayer)
        return FormatC(Tr("The number of layers must be from 1 to %d: the model holds at most %d "
                          "layers. Enter a number of layers in that range.",
                          "層数は 1 から %d までにしてください（モデルの最大層数は %d です）。"
                          "この範囲の層数を入力してください。"),
                       maxLayer, maxLayer);
    return "";
}

std::vector<float> LayerBoundaries(int n, float depth) {
    if (n < 1) return {};
    std::vector<float> b(static_cast<size_t>(n), 0.0f);
    float t = 0.6f;
    for (size_t i = 1; i < b.size(); ++i) {
        t = static_cast<float>(t * 1.2);
        b[i] = b[i - 1] - t;
    }
    if (n > 1) {
        const float scale = -depth / b.back();
        for (auto& v : b) v *= scale;
    }
    return b;
}

float GeometricMeanObserved(const CTrevascDataOhm& store) {
    if (!store.IsAllocated()) return 0.0f;
    float sum = 0.0f;
    int count = 0;
    const int nColumn = std::clamp(store.nColumn, 0, store.MaxColumn());
    for (int c = 0; c < nColumn; ++c)
        for (int k = 0; k < RowCount(store, c); ++k) AddLog(store.fObserved[c][k], sum, count);
    return PowerOfTenMean(sum, count);
}

float ColumnGeometricMean(const CTrevascDataOhm& store, int c) {
    float sum = 0.0f;
    int count = 0;
    for (int k = 0; k < RowCount(store, c); ++k) AddLog(store.fObserved[c][k], sum, count);
    return PowerOfTenMean(sum, count);
}

float RowPseudoDepth(const CTrevascDataOhm& store, int c, int k, float depthFactor) {
    if (store.bGeneralArray == 1) {
        const auto& e = store.pElectrode[c][k];
        if (!e) return -1.0f;
        return PairCentreDistance(*e) / depthFactor;
    }
    const float n = store.fNFactor[c][k];
    const float a = store.fDipoleSize[c][k];
    if (n == kNFactorWenner || n == kNFactorPolePole) return a;
    return (n + 1.0f) * a / depthFactor;
}

ColumnLayers ApparentColumnLayers(const std::vector<float>& depths,
                                  const std::vector<float>& observed,
                                  const std::vector<float>& boundaries) {
    const size_t n = boundaries.size();
    ColumnLayers out{std::vector<float>(n, -1.0f), std::vector<int>(n, 0)};
    bool haveFirst = false;
    float first = -1.0f;
    for (size_t i = 0; i < n; ++i) {
        const float top = -boundaries[i];
        const float bottom = i + 1 < n ? -boundaries[i + 1] : 1.0e7f;
        float sum = 0.0f;
        int count = 0;
        for (size_t k = 0; k < depths.size() && k < observed.size(); ++k)
            if (depths[k] >= top && depths[k] < bottom) AddLog(observed[k], sum, count);
        out.count[i] = count;
        if (count > 0) {
            out.value[i] = PowerOfTenMean(sum, count);
            if (!haveFirst) {
                first = out.value[i];
                haveFirst = true;
            }
        }
    }
    if (!haveFirst) return out;  // no rows: -1 everywhere
    bool haveAbove = false;
    float above = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        if (out.count[i] > 0) {
            above = out.value[i];
            haveAbove = true;
        } else {
            out.value[i] = haveAbove ? above : first;
        }
    }
    return out;
}

void FillAcrossColumns(std::vector<ColumnLayers>& columns) {
    const int nColumn = static_cast<int>(columns.size());
    std::vector<bool> noRows(columns.size());
    for (size_t c = 0; c < columns.size(); ++c) {
        const auto& counts = columns[c].count;
        noRows[c] = std::all_of(counts.begin(), counts.end(), [](int k) { return k == 0; });
        // Such a column counts as filled: its own layers stay -1.
        if (noRows[c]) std::fill(columns[c].count.begin(), columns[c].count.end(), 1);
    }
    // The search of a pending layer goes from the column itself (e = 0) up to nColumn - 2
    // steps rightwards for columns of the left half and leftwards for the others; the
    // nearest source on each side is found once per layer instead of per column.
    const int half = nColumn / 2;
    size_t nLayer = 0;
    for (const auto& column : columns) nLayer = std::max(nLayer, column.value.size());
    std::vector<int> nextRight(columns.size()), nextLeft(columns.size());
    for (size_t j = 0; j < nLayer; ++j) {
        auto isSource = [&](int c) {
            const auto& col = columns[static_cast<size_t>(c)];
            return !noRows[static_cast<size_t>(c)] && j < col.count.size() && col.count[j] > 0;
        };
        int next = -1;
        for (int c = nColumn - 1; c >= 0; --c) {
            if (isSource(c)) next = c;
            nextRight[static_cast<size_t>(c)] = next;
        }
        next = -1;
        for (int c = 0; c < nColumn; ++c) {
            if (isSource(c)) next = c;
            nextLeft[static_cast<size_t>(c)] = next;
        }
        for (int c = 0; c < nColumn; ++c) {
            auto& target = columns[static_cast<size_t>(c)];
            if (j >= target.count.size() || target.count[j] != 0) continue;
            int source =
                c < half ? nextRight[static_cast<size_t>(c)] : nextLeft[static_cast<size_t>(c)];
            if (source >= 0 && std::abs(source - c) > nColumn - 2) source = -1;
            target.value[j] = source >= 0 ? columns[static_cast<size_t>(source)].value[j] : -1.0f;
        }
    }
    for (auto& column : columns) {
        auto& v = column.value;
        const int n = static_cast<int>(v.size());
        if (n == 0) continue;
        const int a = n / 2;
        for (int j = a; j >= 0; --j)
            if (v[static_cast<size_t>(j)] < 0.0f && j + 1 < n)
                v[static_cast<size_t>(j)] = v[static_cast<size_t>(j) + 1];
        for (int j = a; j < n; ++j)
            if (v[static_cast<size_t>(j)] < 0.0f && j >= 1)
                v[static_cast<size_t>(j)] = v[static_cast<size_t>(j) - 1];
        // When no column has rows as deep as the middle layer, the two passes above only
        // carry -1 about: every layer below the data would stay -1 and the inversion could
        // not use the column. Such a layer takes the nearest value above it (below it for
        // layers above the first value). A column without rows keeps -1 throughout.
        const auto first = std::find_if(v.begin(), v.end(), [](float x) { return x >= 0.0f; });
        if (first == v.end()) continue;
        std::fill(v.begin(), first, *first);
        for (size_t j = 1; j < v.size(); ++j)
            if (v[j] < 0.0f) v[j] = v[j - 1];
    }
}

bool BuildInitialModel(CTrevascDataOhm& store, const CDlgInitialModel& values, float depthFactor) {
    const int nLayer = values.nLayer;
    const int nColumn = store.nColumn;
    if (!store.IsAllocated() || nColumn < 1 || nColumn > store.MaxColumn() ||
        nColumn > store.MaxBoundaryColumn() || nLayer < 1 ||
        nLayer > std::min(store.MaxLayer(), kMaxInitialLayers) || !(values.fDepth > 0.0f) ||
        !std::isfinite(values.fDepth))
        return false;
    const std::vector<float> b = LayerBoundaries(nLayer, values.fDepth);

    std::vector<ColumnLayers> columns(static_cast<size_t>(nColumn));
    for (int c = 0; c < nColumn; ++c) {
        auto& column = columns[static_cast<size_t>(c)];
        if (values.iMode == kInitialConstantAll || values.iMode == kInitialConstantVertical) {
            const float v = values.iMode == kInitialConstantAll ? values.fResistivity
                                                                : ColumnGeometricMean(store, c);
            column.value.assign(static_cast<size_t>(nLayer), v);
            continue;
        }
        std::vector<float> depths, observed;
        for (int k = 0; k < RowCount(store, c); ++k) {
            depths.push_back(RowPseudoDepth(store, c, k, depthFactor));
            observed.push_back(store.fObserved[c][k]);
        }
        column = ApparentColumnLayers(depths, observed, b);
    }
    if (values.iMode != kInitialConstantAll && values.iMode != kInitialConstantVertical)
        FillAcrossColumns(columns);

    store.nModelColumn = store.nBoundaryColumn = nColumn;
    store.nLayer = store.nBoundary = nLayer;
    for (int c = 0; c < nColumn; ++c) {
        const auto cc = static_cast<size_t>(c);
        const float x = store.fColumnX[cc];
        store.fModelColumnX[cc] = x;
        store.fBoundaryColumnX[cc] = x;
        for (int j = 0; j < nLayer; ++j) {
            const auto jj = static_cast<size_t>(j);
            store.fBoundaryElevation[c][j] = b[jj];
            store.fBoundaryX[c][j] = x;
            store.fLayerResistivity[c][j] = columns[cc].value[jj];
        }
    }
    return true;
}

bool InitialModel(CTrevascDataOhm& store, CPrompter& prompter) {
    if (!store.IsAllocated() || store.nColumn < 1) return false;
    CDlgInitialModel values;
    values.fResistivity = GeometricMeanObserved(store);
    const int maxLayer = std::min(store.MaxLayer(), kMaxInitialLayers);
    for (;;) {
        if (!prompter.EditDialog(values)) return false;
        const std::string problem = values.Validate(maxLayer);
        if (problem.empty()) return BuildInitialModel(store, values);
        prompter.Message(problem);
    }
}
