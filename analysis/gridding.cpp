#include "analysis/gridding.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/language.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "sectionfiles/block_matrix.h"

int GridColumnCount(float fMin, float fMax, float w, int maxColumn) {
    if (!(w > 0.0f) || !std::isfinite(w)) return -1;
    const float q = (fMax - fMin) / w;
    // Compared before the conversion: a quotient past the capacity (or not a number) must
    // never reach the integer conversion.
    if (!(q >= 0.0f) || !(q < static_cast<float>(maxColumn))) return -1;
    return static_cast<int>(q) + 1;
}

namespace {

// Column of a position, truncated toward zero and clamped to 0..ncol-1.
int ColumnOf(float position, float fMin, float w, int ncol) {
    const float x = (position - fMin) / w;
    if (!(x >= 1.0f)) return 0;  // also below zero: clamped
    if (x >= static_cast<float>(ncol - 1)) return ncol - 1;
    return static_cast<int>(x);
}

bool Accepted(const PseudoSection& section, const PseudoSectionPoint& p) {
    if (section.bGeneralArray == 1) {
        const auto& a = p.array;
        const float separation = std::fabs((a.fA + a.fB) / 2.0f - (a.fM + a.fN) / 2.0f) / 4.0f;
        return a.fK > 0.0f && separation > 0.0f;
    }
    return p.fDepth > 0.0f && p.fResistivity > 0.0f;
}

float SmallestCellSize(float fMin, float fMax, int maxColumn) {
    double w = std::ceil(static_cast<double>(fMax - fMin) / maxColumn * 1000.0) / 1000.0;
    w = std::max(w, 0.001);
    for (int i = 0; i < 1000; ++i, w += 0.001)
        if (GridColumnCount(fMin, fMax, static_cast<float>(w), maxColumn) > 0)
            return static_cast<float>(w);
    return 0.0f;
}

}  // namespace

std::string NoDistancesMessage() {
    return Tr("The readings have no distances along their lines yet.\nAssign them first: "
              "\"Set distance\" in the GPS menu, or open the data again with marker spacing.",
              "測定値にまだ測線上の距離がありません。\n先に距離を設定してください (GPS メニューの"
              "「距離を設定」、またはマーカー間隔を指定してデータを開き直す)。");
}

std::string GriddingProgressText(int i, int nColumn) {
    return FormatC(Tr("Gridding: column %d of %d", "グリッド化: %d / %d 列"), i, nColumn);
}

GriddingResult GridPseudoSection(const PseudoSection& section, float w, CTrevascDataOhm& store,
                                 const ProgressReport& progress) {
    GriddingResult result;
    if (section.points.empty()) {
        result.status = GriddingStatus::NoPoints;
        return result;
    }
    if (!(w > 0.0f) || !std::isfinite(w)) {
        result.status = GriddingStatus::BadCellSize;
        return result;
    }
    const float fMin = section.fMinPosition;
    const int ncol = GridColumnCount(fMin, section.fMaxPosition, w, store.MaxColumn());
    if (ncol < 0) {
        result.status = GriddingStatus::TooManyColumns;
        const float q = (section.fMaxPosition - fMin) / w;
        const double need = std::floor(static_cast<double>(q)) + 1.0;
        result.nColumn = static_cast<int>(std::min(need, 2.0e9));
        result.fMinCellSize = SmallestCellSize(fMin, section.fMaxPosition, store.MaxColumn());
        return result;
    }
    result.nColumn = ncol;
    const int nrows = section.RowKindCount();

    CBlockMatrix<float> sum;
    CBlockMatrix<int> count;
    if (nrows < 1 || !AllocMatrix(sum, ncol, nrows) || !AllocMatrix(count, ncol, nrows)) {
        result.status = nrows < 1 ? GriddingStatus::NoPoints : GriddingStatus::NoMemory;
        return result;
    }
    for (const auto& p : section.points) {
        const int r = section.RowKindOf(p);
        if (r < 0 || !Accepted(section, p)) continue;
        const int c = ColumnOf(p.fPosition, fMin, w, ncol);
        sum[c][r] += p.fResistivity;
        count[c][r] += 1;
    }
    // Averages in place; then check every column's compacted row count before writing.
    for (int c = 0; c < ncol; ++c) {
        if (!ReportProgress(progress, c, ncol, GriddingProgressText(c, ncol))) {
            result.status = GriddingStatus::Cancelled;
            return result;
        }
        int nonEmpty = 0;
        for (int r = 0; r < nrows; ++r) {
            sum[c][r] = count[c][r] >= 1 ? sum[c][r] / static_cast<float>(count[c][r]) : 0.0f;
            if (sum[c][r] > 0.0f) ++nonEmpty;
        }
        if (nonEmpty > store.MaxRow()) {
            result.status = GriddingStatus::TooManyRows;
            result.iColumn = c;
            result.nRowInColumn = nonEmpty;
            return result;
        }
    }

    const int previousColumns = std::clamp(store.nColumn, 0, store.MaxColumn());
    for (int c = 0; c < ncol; ++c) {
        store.fColumnX[static_cast<size_t>(c)] = (static_cast<float>(c) + 0.5f) * w + fMin;
        // The third header value of a column read from a section file belongs to that file.
        store.fColumnAux[static_cast<size_t>(c)] = 0.0f;
        int k = 0;
        for (int r = 0; r < nrows; ++r) {
            if (!(sum[c][r] > 0.0f)) continue;
            store.fObserved[c][k] = sum[c][r];
            store.nAveraged[c][k] = count[c][r];
            // A mark belonged to the old row here; kept, Delete in the one-dimensional view
            // would remove a row the user never marked.
            store.iMarked[c][k] = 0;
            if (section.bGeneralArray == 1) {
                store.pElectrode[c][k] = std::make_unique<FourElectrodeGeometry>(
                    ArrayFromPositions(section.arrays[static_cast<size_t>(r)]));
            } else {
                store.fDipoleSize[c][k] = section.RowDipoleSize(r);
                store.fNFactor[c][k] = section.RowNFactor(r);
                store.pElectrode[c][k].reset();
            }
            ++k;
        }
        store.nRow[static_cast<size_t>(c)] = k;
        store.ClearElectrodes(c, k);  // no geometry outlives the rows it belonged to
    }
    for (int c = ncol; c < previousColumns; ++c) store.ClearElectrodes(c);
    store.nColumn = ncol;
    store.fCellSize = w;
    store.bGeneralArray = section.bGeneralArray;
    store.nRowKind = nrows;
    return result;
}

std::string GriddingMessage(const GriddingResult& result, float w, const CTrevascDataOhm& store) {
    switch (result.status) {
        case GriddingStatus::Ok:
        case GriddingStatus::Cancelled:
            return "";
        case GriddingStatus::NoPoints:
            return Tr("There is no valid data to convert to grid data.",
                      "グリッドデータに変換できる有効なデータがありません。");
        case GriddingStatus::BadCellSize:
            return Tr("The horizontal cell size must be a number greater than 0 m.",
                      "水平方向の格子サイズには 0 m より大きい数値を入力してください。");
        case GriddingStatus::TooManyColumns:
            if (result.fMinCellSize > 0.0f)
                return FormatC(Tr("A horizontal cell size of %g m needs %d columns; a section "
                                  "can hold at most %d.\nEnter a cell size of at least %.3f m.",
                                  "水平方向の格子サイズ %g m では %d 列が必要ですが、断面に入る"
                                  "のは最大 %d 列です。\n%.3f m 以上の格子サイズを入力してくださ"
                                  "い。"),
                               static_cast<double>(w), result.nColumn, store.MaxColumn(),
                               static_cast<double>(result.fMinCellSize));
            return FormatC(Tr("A horizontal cell size of %g m needs more than %d columns, the "
                              "most a section can hold.\nEnter a larger cell size.",
                              "水平方向の格子サイズ %g m では断面の最大列数 %d を超えます。\n"
                              "より大きい格子サイズを入力してください。"),
                           static_cast<double>(w), store.MaxColumn());
        case GriddingStatus::TooManyRows:
            return FormatC(Tr("Column %d would hold %d rows of data; a section column can hold "
                              "at most %d.\nEnter a smaller horizontal cell size, or exclude "
                              "lines or receivers in \"Edit lines\".",
                              "%d 列目のデータが %d 行になりますが、1 列に入るのは最大 %d 行で"
                              "す。\nより小さい水平方向の格子サイズを入力するか、「Edit lines」"
                              "で測線または受信器を除外してください。"),
                           result.iColumn + 1, result.nRowInColumn, store.MaxRow());
        case GriddingStatus::NoMemory:
            return FormatC(Tr("There is not enough memory to grid %d columns.\nEnter a larger "
                              "horizontal cell size.",
                              "%d 列のグリッド化に必要なメモリが足りません。\nより大きい水平方向"
                              "の格子サイズを入力してください。"),
                           result.nColumn);
    }
    return "";
}

std::optional<double> AskCellSize(CPrompter& prompter, double initial) {
    return prompter.InputReal("Enter number", Tr("Horizontal cell size", "水平方向の格子サイズ"),
                              initial, "m");
}

bool ConvertToGridData(CGantrelSurvey& survey, CTrevascDataOhm& store, CPrompter& prompter,
                       const ProgressReport& progress) {
    if (!store.IsAllocated()) return false;
    if (!survey.HasDistances()) {
        // Every reading would sit at distance 0 (or at a placeholder): one or two columns of
        // everything averaged together.
        prompter.Message(NoDistancesMessage());
        return false;
    }
    PseudoSection section;
    PseudoSectionStatus status = CollectPoints(survey, section);
    if (status != PseudoSectionStatus::Ok) {
        prompter.Message(CapacityMessage(status, section));
        return false;
    }
    prompter.Message(ModeMessage(section));
    status = ClassifyRowKinds(section, prompter);
    if (status != PseudoSectionStatus::Ok) {
        prompter.Message(CapacityMessage(status, section));
        return false;
    }
    if (section.points.empty() || section.RowKindCount() == 0) {
        prompter.Message(GriddingMessage({GriddingStatus::NoPoints}, 0.0f, store));
        return false;
    }

    double initial = ReadSettingReal(kCellSizeKey, kDefaultCellSize);
    for (;;) {
        const auto entered = AskCellSize(prompter, initial);
        if (!entered) return false;
        // Beyond the float range a cell size is as good as the largest float (one column).
        constexpr double kLargest = std::numeric_limits<float>::max();
        const float w = static_cast<float>(std::clamp(*entered, -kLargest, kLargest));
        const GriddingResult result = GridPseudoSection(section, w, store, progress);
        if (result.status == GriddingStatus::Ok) {
            WriteSettingReal(kCellSizeKey, *entered);
            return true;
        }
        if (result.status == GriddingStatus::Cancelled) return false;
        prompter.Message(GriddingMessage(result, w, store));
        if (result.status == GriddingStatus::TooManyColumns && result.fMinCellSize > 0.0f)
            initial = result.fMinCellSize;
        else if (result.status != GriddingStatus::BadCellSize)
            initial = *entered;
    }
}
