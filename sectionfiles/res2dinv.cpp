#include "sectionfiles/res2dinv.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <string_view>

#include "common/language.h"
#include "common/prompter.h"
#include "common/survey.h"
#include "common/text_format.h"

namespace {

bool Near(float a, float b) {
    return std::fabs(static_cast<double>(a - b)) < kDistinctTolerance;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// First character that is not blank; '\0' for a blank line.
char FirstVisible(std::string_view line) {
    for (char c : line)
        if (!IsBlank(c)) return c;
    return '\0';
}

// A whole token that is a finite number.
bool FiniteToken(std::string_view token, float& value) {
    size_t used = 0;
    return ScanFloat(token, value, &used) && used == token.size() && std::isfinite(value);
}

// One data line; false when it does not hold the values its array type needs.
bool ParseDataLine(std::string text, int arrayType, Res2dinvPoint& p) {
    std::replace(text.begin(), text.end(), ',', ' ');
    std::string_view tokens[4];
    const size_t need = arrayType == kRes2dinvPolePole ? 3 : 4;
    if (SplitTokens(text, tokens, need) < need) return false;
    float v[4] = {};
    for (size_t i = 0; i < need; ++i)
        if (!FiniteToken(tokens[i], v[i])) return false;
    const float x = v[0], a = v[1];
    if (!(a > 0.0f)) return false;
    p.fX = x;
    if (arrayType == kRes2dinvPolePole) {
        p.fDipoleSize = a;
        p.fNFactor = kNFactorPolePole;
        p.fResistivity = v[2];
        return true;
    }
    const float n = v[2];
    const float s = static_cast<float>(static_cast<double>(a) * 0.5);
    const float N = (n * a + s) / s;
    if (!std::isfinite(N)) return false;
    p.fDipoleSize = s;
    p.fNFactor = N;
    p.fResistivity = v[3];
    return true;
}

}  // namespace

std::string Res2dinvFieldText(Res2dinvField field) {
    switch (field) {
        case Res2dinvField::Title:
            return Tr("title", "タイトル");
        case Res2dinvField::Spacing:
            return Tr("unit electrode spacing", "単位電極間隔");
        case Res2dinvField::ArrayType:
            return Tr("array type", "電極配置の種類");
        case Res2dinvField::DataCount:
            return Tr("number of data points", "データ点の数");
        case Res2dinvField::XLocation:
            return Tr("type of x-location", "x位置の種類");
        case Res2dinvField::IP:
            return Tr("IP flag", "IPフラグ");
    }
    return {};
}

Res2dinvFile ReadRes2dinvFile(const std::filesystem::path& path) {
    Res2dinvFile f;
    f.path = path;
    CLineReader in;
    if (!in.Open(path)) {
        f.bOpened = false;
        return f;
    }
    std::string line;
    // The next line that is not a comment; blank lines too unless takeBlank.
    auto nextLine = [&](bool takeBlank) {
        while (in.ReadLine(line)) {
            const char c = FirstVisible(line);
            if (c == ';') continue;
            if (c == '\0' && !takeBlank) continue;
            return true;
        }
        return false;
    };
    auto fail = [&](Res2dinvField field, bool ended) {
        f.eBadField = field;
        f.iBadLine = in.LineNumber() + (ended ? 1 : 0);
        return f;
    };

    if (!nextLine(true)) return fail(Res2dinvField::Title, true);
    f.sTitle = line;
    if (!nextLine(false)) return fail(Res2dinvField::Spacing, true);
    if (!ScanFloat(line, f.fSpacing)) return fail(Res2dinvField::Spacing, false);
    // The array type may be followed by more text (a letter for the side of a remote
    // electrode, for instance); only the number is read.
    const Res2dinvField intFields[] = {Res2dinvField::ArrayType, Res2dinvField::DataCount,
                                       Res2dinvField::XLocation, Res2dinvField::IP};
    int* intValues[] = {&f.iArrayType, &f.nAnnounced, &f.iXLocation, &f.iIP};
    for (int i = 0; i < 4; ++i) {
        if (!nextLine(false)) return fail(intFields[i], true);
        if (!ScanInt(line, *intValues[i])) return fail(intFields[i], false);
    }
    if (f.nAnnounced < 0) return fail(Res2dinvField::DataCount, false);
    f.bHeaderRead = true;

    // A line that cannot be read is still one of the announced points: counting it keeps the
    // lines after the data (topography, trailing zeros) from being read as points.
    while (static_cast<int>(f.points.size()) + f.nBadLine < f.nAnnounced && nextLine(false)) {
        Res2dinvPoint p;
        if (in.LastLineTooLong() || !ParseDataLine(line, f.iArrayType, p)) {
            if (f.nBadLine++ == 0) f.iFirstBadLine = in.LineNumber();
            continue;
        }
        if (f.points.empty()) {
            f.fMinX = f.fMaxX = p.fX;
        } else {
            f.fMinX = std::min(f.fMinX, p.fX);
            f.fMaxX = std::max(f.fMaxX, p.fX);
        }
        f.points.push_back(p);
    }
    return f;
}

bool ReportRes2dinvFile(const Res2dinvFile& f, CPrompter& prompter) {
    const std::string name = f.path.string();
    if (!f.bOpened) {
        prompter.Message(
            FormatC(Tr("Cannot open the file %s", "ファイル %s を開けません"), name.c_str()));
        return false;
    }
    if (!f.bHeaderRead) {
        prompter.Message(FormatC(Tr("Cannot read the file %s as a RES2DINV file: line %zu does not "
                                    "hold the %s.",
                                    "ファイル %s をRES2DINVファイルとして読み込めません: %zu 行目に"
                                    "%sがありません。"),
                                 name.c_str(), f.iBadLine, Res2dinvFieldText(f.eBadField).c_str()));
        return false;
    }
    const int nRead = static_cast<int>(f.points.size());
    const int nLines = nRead + f.nBadLine;
    if (f.nBadLine > 0)
        prompter.Message(FormatC(
            Tr("%s: %d of its %d data lines could not be read and were left out; %d data points "
               "were read.\nThe first line left out is line %zu.",
               "%s: %d 行のデータ行を読み込めず除外しました (全 %d 行)。読み込んだデータ点は %d "
               "点です。\n除外した最初の行は %zu 行目です。"),
            name.c_str(), f.nBadLine, nLines, nRead, f.iFirstBadLine));
    if (nLines < f.nAnnounced)
        prompter.Message(
            FormatC(Tr("%s announces %d data points but has only %d data lines.",
                       "%s のデータ点の数は %d とされていますが、データ行は %d 行しかありません。"),
                    name.c_str(), f.nAnnounced, nLines));
    return true;
}

std::string Res2dinvLeftOutText(const Res2dinvFile& f, int nGridded) {
    const int nPoint = static_cast<int>(f.points.size());
    const int nMissing = std::max(f.nAnnounced - nPoint, 0);
    const int nNotGridded = std::max(nPoint - nGridded, 0);
    if (f.nBadLine == 0 && nMissing == 0 && nNotGridded == 0) return {};
    std::string text = f.path.string() + ":";
    const char* sep = "";
    if (f.nBadLine > 0) {
        text += FormatC(Tr(" %d unreadable data line(s) left out, the first at line %zu",
                           " 読めないデータ行 %d 行を除外、最初は %zu 行目"),
                        f.nBadLine, f.iFirstBadLine);
        sep = ";";
    }
    if (nMissing > 0) {
        text += FormatC(Tr("%s %d announced point(s) missing from the file",
                           "%s 予告されたデータ点のうち %d 点がファイルにありません"),
                        sep, nMissing);
        sep = ";";
    }
    if (nNotGridded > 0)
        text += FormatC(Tr("%s %d point(s) not in the section (no row for their array, or a "
                           "cell average not above 0)",
                           "%s %d 点は断面に入っていません（配置の行がないか、セルの平均が 0 以下）"),
                        sep, nNotGridded);
    return text;
}

int Res2dinvRowKinds::Count() const {
    int n = 0;
    for (const auto& list : separations) n += static_cast<int>(list.size());
    return n;
}

Res2dinvStatus ClassifyRes2dinv(const Res2dinvFile& file, Res2dinvRowKinds& kinds,
                                CPrompter& prompter) {
    kinds = Res2dinvRowKinds{};
    kinds.bPolePole = file.iArrayType == kRes2dinvPolePole;
    const std::string name = file.path.string();
    if (file.iArrayType == kRes2dinvDipoleDipole) {
        for (const Res2dinvPoint& p : file.points) {
            InsertDistinct(kinds.dipoleSizes, p.fDipoleSize);
            if (static_cast<int>(kinds.dipoleSizes.size()) > kRes2dinvMaxDipoleSizes) {
                prompter.Message(FormatC(Tr("%s holds more than %d different dipole lengths; it "
                                            "cannot be imported.",
                                            "%s には %d 種類を超えるダイポール長があるため、取り込"
                                            "めません。"),
                                         name.c_str(), kRes2dinvMaxDipoleSizes));
                return Res2dinvStatus::TooManyDipoleSizes;
            }
        }
    }
    prompter.Message(kinds.bPolePole ? std::string("pole-pole method")
                                     : FormatC("dipole-dipole method : nDipoleIndex=%d",
                                               static_cast<int>(kinds.dipoleSizes.size())));

    const int nList = kinds.bPolePole ? 1 : static_cast<int>(kinds.dipoleSizes.size());
    for (int i = 0; i < nList; ++i) {
        std::vector<float> list;
        for (const Res2dinvPoint& p : file.points) {
            if (kinds.bPolePole) {
                InsertDistinct(list, p.fDipoleSize);
            } else if (Near(p.fDipoleSize, kinds.dipoleSizes[static_cast<size_t>(i)])) {
                InsertDistinct(list, p.fNFactor);
            }
            if (static_cast<int>(list.size()) > kRes2dinvMaxSeparations) {
                prompter.Message(FormatC(Tr("%s holds more than %d different separations for one "
                                            "dipole length; it cannot be imported.",
                                            "%s には1つのダイポール長に対して %d 種類を超える間隔"
                                            "があるため、取り込めません。"),
                                         name.c_str(), kRes2dinvMaxSeparations));
                return Res2dinvStatus::TooManySeparations;
            }
        }
        prompter.Message(FormatC("%d nSeparationIndex=%d", i, static_cast<int>(list.size())));
        kinds.separations.push_back(std::move(list));
    }
    return Res2dinvStatus::Ok;
}

namespace {

// A point this close below a cell edge (in cells) lies on the edge: positions read back from
// a file written with six decimals fall a rounding step either side of their cell's edge.
constexpr float kCellEdgeTolerance = 1.0e-3f;

// Cell of a position q = (x - min) / w, with the edge tolerance.
float CellQuotient(float q) {
    return q + kCellEdgeTolerance;
}

}  // namespace

int Res2dinvColumnCount(float fMin, float fMax, float w, int maxColumn) {
    if (!(w > 0.0f) || !std::isfinite(w)) return -1;
    const float q = CellQuotient((fMax - fMin) / w);
    // Compared before the conversion, so that a quotient past any int never reaches it.
    if (!(q < static_cast<float>(maxColumn))) return -2;
    // The cell of the largest position is a column of its own, as every other cell is.
    const int n = (q >= 0.0f ? static_cast<int>(q) : 0) + 1;
    if (n > maxColumn) return -2;
    return n;
}

namespace {

// Row kind of a point: the first kind whose dipole size and N-factor (pole-pole: spacing)
// lie within the tolerance; -1 when there is none (array types without row kinds).
int RowKindOf(const Res2dinvPoint& p, const Res2dinvRowKinds& kinds) {
    if (kinds.bPolePole) {
        if (kinds.separations.empty()) return -1;
        const auto& list = kinds.separations.front();
        for (size_t k = 0; k < list.size(); ++k)
            if (Near(p.fDipoleSize, list[k])) return static_cast<int>(k);
        return -1;
    }
    // The kinds of a dipole size come after those of every smaller size; a point's own
    // dipole size group always holds its N-factor, as the lists were built from the points.
    int base = 0;
    for (size_t i = 0; i < kinds.dipoleSizes.size() && i < kinds.separations.size(); ++i) {
        const auto& list = kinds.separations[i];
        if (Near(p.fDipoleSize, kinds.dipoleSizes[i])) {
            for (size_t k = 0; k < list.size(); ++k)
                if (Near(p.fNFactor, list[k])) return base + static_cast<int>(k);
        }
        base += static_cast<int>(list.size());
    }
    return -1;
}

}  // namespace

Res2dinvGridResult GridRes2dinv(const Res2dinvFile& file, const Res2dinvRowKinds& kinds, float w,
                                CTrevascDataOhm& store) {
    Res2dinvGridResult result;
    if (!store.IsAllocated()) {
        result.status = Res2dinvStatus::TooManyColumns;
        return result;
    }
    const int ncol = Res2dinvColumnCount(file.fMinX, file.fMaxX, w, store.MaxColumn());
    if (ncol == -1) {
        result.status = Res2dinvStatus::BadCellSize;
        return result;
    }
    if (ncol == -2) {
        result.status = Res2dinvStatus::TooManyColumns;
        const float q = CellQuotient((file.fMaxX - file.fMinX) / w);
        result.nColumn = q < 2.0e9f ? static_cast<int>(q) + 1 : -1;
        return result;
    }
    result.nColumn = ncol;

    // Row-kind table: dipole size and N-factor of every kind in order.
    std::vector<float> kindSize, kindN;
    for (size_t i = 0; i < kinds.separations.size(); ++i) {
        for (float v : kinds.separations[i]) {
            kindSize.push_back(kinds.bPolePole ? v : kinds.dipoleSizes[i]);
            kindN.push_back(kinds.bPolePole ? kNFactorPolePole : v);
        }
    }
    const auto nKind = static_cast<std::int64_t>(kindSize.size());

    // Cells (column, kind) of the points, summed in point order within each cell: the points
    // are ordered by cell with a stable sort, so the sums are those of a walk in file order.
    struct Entry {
        std::int64_t cell;
        float value;
    };
    std::vector<Entry> entries;
    entries.reserve(file.points.size());
    for (const Res2dinvPoint& p : file.points) {
        const int r = RowKindOf(p, kinds);
        if (r < 0) continue;
        const float q = CellQuotient((p.fX - file.fMinX) / w);
        int c = 0;
        if (q >= static_cast<float>(ncol - 1))
            c = ncol - 1;
        else if (q > 0.0f)
            c = static_cast<int>(q);
        entries.push_back({c * nKind + r, p.fResistivity});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.cell < b.cell; });

    struct Cell {
        std::int64_t cell;
        float average;
        int count;
    };
    std::vector<Cell> cells;
    for (size_t i = 0; i < entries.size();) {
        size_t j = i;
        float sum = 0.0f;
        while (j < entries.size() && entries[j].cell == entries[i].cell) sum += entries[j++].value;
        const int count = static_cast<int>(j - i);
        const float average = sum / static_cast<float>(count);
        if (average > 0.0f) cells.push_back({entries[i].cell, average, count});
        i = j;
    }

    // Rows per column, checked before anything is written.
    std::vector<int> rowsIn(static_cast<size_t>(ncol), 0);
    for (const Cell& cell : cells) {
        const auto c = static_cast<size_t>(cell.cell / nKind);
        if (++rowsIn[c] > store.MaxRow() && result.iColumn < 0)
            result.iColumn = static_cast<int>(c);
    }
    if (result.iColumn >= 0) {
        result.status = Res2dinvStatus::TooManyRows;
        result.nRowInColumn = rowsIn[static_cast<size_t>(result.iColumn)];
        return result;
    }

    for (int c = 0; c < ncol; ++c) {
        store.fColumnX[static_cast<size_t>(c)] = file.fMinX + static_cast<float>(c) * w;
        store.fColumnAux[static_cast<size_t>(c)] = 0.0f;  // not from an earlier section file
        store.nRow[static_cast<size_t>(c)] = 0;
    }
    for (const Cell& cell : cells) {
        const int c = static_cast<int>(cell.cell / nKind);
        const auto r = static_cast<size_t>(cell.cell % nKind);
        result.nGridded += cell.count;
        const int k = store.nRow[static_cast<size_t>(c)]++;
        store.fObserved[c][k] = cell.average;
        store.nAveraged[c][k] = cell.count;
        store.fDipoleSize[c][k] = kindSize[r];
        store.fNFactor[c][k] = kindN[r];
        store.iMarked[c][k] = 0;
    }
    store.nColumn = ncol;
    store.fCellSize = w;
    store.bGeneralArray = 0;
    store.nRowKind = static_cast<int>(nKind);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Export

namespace {

bool AllPolePole(const CTrevascDataOhm& store) {
    bool any = false;
    for (int c = 0; c < store.nColumn; ++c) {
        for (int k = 0; k < store.nRow[static_cast<size_t>(c)]; ++k) {
            if (store.fNFactor[c][k] != kNFactorPolePole) return false;
            any = true;
        }
    }
    return any;
}

}  // namespace

Res2dinvExportStatus WriteRes2dinvFile(const CTrevascDataOhm& store,
                                       const std::filesystem::path& path, SaveResult* save) {
    if (store.bGeneralArray == 1) return Res2dinvExportStatus::GeneralArray;
    const int nColumn = store.IsAllocated() ? std::clamp(store.nColumn, 0, store.MaxColumn()) : 0;
    auto rowsOf = [&](int c) {
        return std::clamp(store.nRow[static_cast<size_t>(c)], 0, store.MaxRow());
    };

    float smallest = kRes2dinvSpacingStart;
    int total = 0;
    for (int c = 0; c < nColumn; ++c) {
        for (int k = 0; k < rowsOf(c); ++k)
            smallest = std::min(smallest, 2.0f * store.fDipoleSize[c][k]);
        total += rowsOf(c);
    }
    const bool polePole = nColumn > 0 && AllPolePole(store);

    CTextWriter out;
    if (!out.OpenReplacing(path)) {
        if (save != nullptr) *save = out.Result();
        return Res2dinvExportStatus::CannotCreate;
    }
    out.Printf("%s\n", path.filename().string().c_str());
    out.Printf("%f\n", static_cast<double>(smallest * 0.5f));
    out.Printf("%d\n", polePole ? kRes2dinvPolePole : kRes2dinvDipoleDipole);
    out.Printf("%d\n", total);
    out.Write("1\n");
    out.Write("0\n");
    for (int c = 0; c < nColumn; ++c) {
        const double x = store.fColumnX[static_cast<size_t>(c)];
        for (int k = 0; k < rowsOf(c); ++k) {
            const float s = store.fDipoleSize[c][k];
            const double rho = store.fObserved[c][k];
            if (polePole) {
                out.Printf("%f %f %f\n", x, static_cast<double>(s), rho);
                continue;
            }
            const float N = store.fNFactor[c][k];
            const float n = (N * s - s) / (2.0f * s);
            out.Printf("%f %f %f %f\n", x, static_cast<double>(2.0f * s), static_cast<double>(n),
                       rho);
        }
    }
    const bool ok = out.Close();
    if (save != nullptr) *save = out.Result();
    return ok ? Res2dinvExportStatus::Ok : Res2dinvExportStatus::WriteFailed;
}

std::string Res2dinvExportMessage(Res2dinvExportStatus status, const std::filesystem::path& path,
                                  const SaveResult* save) {
    const std::string name = path.string();
    if ((status == Res2dinvExportStatus::CannotCreate ||
         status == Res2dinvExportStatus::WriteFailed) &&
        save != nullptr && !save->ok())
        return SaveFailureMessage(*save, path);
    switch (status) {
        case Res2dinvExportStatus::Ok:
            return {};
        case Res2dinvExportStatus::CannotCreate:
            return FormatC(Tr("Cannot open the file %s", "ファイル %s を開けません"), name.c_str());
        case Res2dinvExportStatus::WriteFailed:
            return FormatC(Tr("Cannot write the file %s", "ファイル %s に書き込めません"),
                           name.c_str());
        case Res2dinvExportStatus::GeneralArray:
            return FormatC(Tr("The section holds arrays of different transmitter and receiver "
                              "sizes, which a RES2DINV dipole-dipole file cannot describe; %s was "
                              "not written.",
                              "断面には送信と受信のサイズが異なる電極配置が含まれており、RES2DINV"
                              "のダイポール・ダイポールファイルでは表せません。%s は書き出していま"
                              "せん。"),
                           name.c_str());
    }
    return {};
}
