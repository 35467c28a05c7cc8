#include "sectionfiles/ovs_file.h"

#include <algorithm>
#include <string_view>

#include "common/language.h"
#include "common/prompter.h"
#include "common/resistivity.h"
#include "common/text_format.h"

std::string SectionBlockText(SectionBlock block) {
    switch (block) {
        case SectionBlock::Header:
            return Tr("header line", "ヘッダー行");
        case SectionBlock::SectionHeader:
            return Tr("section header", "断面ヘッダー");
        case SectionBlock::ColumnHeader:
            return Tr("column header", "列ヘッダー");
        case SectionBlock::Row:
            return Tr("data rows", "データ行");
        case SectionBlock::BoundaryHeader:
            return Tr("boundary block header", "境界ブロックのヘッダー");
        case SectionBlock::Boundary:
            return Tr("boundary block", "境界ブロック");
        case SectionBlock::AuxBlock:
            return Tr("fourth block", "第4ブロック");
        case SectionBlock::ModelHeader:
            return Tr("model block header", "モデルブロックのヘッダー");
        case SectionBlock::ModelColumn:
            return Tr("model block", "モデルブロック");
        case SectionBlock::GPSFlags:
            return Tr("GPS flags", "GPSフラグ");
    }
    return {};
}

int SectionFileDataType(const CTrevascDataOhm& store) {
    return store.bGeneralArray == 1 ? kDataTypeGeneral : kDataTypeDipole;
}

// ---------------------------------------------------------------------------------------------
// Writing

bool WriteSectionFile(const CTrevascDataOhm& store, const std::filesystem::path& path,
                      const CGantrelSurvey* survey, SurveySaveReport* report) {
    SurveySaveReport local;
    SurveySaveReport& r = report != nullptr ? *report : local;
    r = SurveySaveReport{};
    if (!store.IsAllocated()) {
        r.save.eStatus = SaveStatus::WriteFailed;
        return false;
    }
    CTextWriter out;
    if (!out.OpenReplacing(path)) {
        r.save = out.Result();
        return false;
    }

    const int type = SectionFileDataType(store);
    const int nColumn = std::clamp(store.nColumn, 0, store.MaxColumn());
    out.Printf("%d %d %f\n", kSectionFileMagic,
               survey != nullptr ? kSectionFileVersionWithSurvey : kSectionFileVersionNoSurvey,
               3.0);
    out.Printf("%d %d %f\n", type, nColumn, static_cast<double>(store.fCellSize));
    for (int c = 0; c < nColumn; ++c) {
        const int nRow = std::clamp(store.nRow[static_cast<size_t>(c)], 0, store.MaxRow());
        out.Printf("%f %d %f\n", static_cast<double>(store.fColumnX[static_cast<size_t>(c)]), nRow,
                   static_cast<double>(store.fColumnAux[static_cast<size_t>(c)]));
        for (int k = 0; k < nRow; ++k) {
            if (type == kDataTypeGeneral) {
                const FourElectrodeGeometry* e = store.pElectrode[c][k].get();
                const FourElectrodeGeometry none{};
                if (e == nullptr) e = &none;
                out.Printf("%f %f %d %f %f %f %f \n", static_cast<double>(store.fObserved[c][k]),
                           static_cast<double>(store.fCalculated[c][k]), store.nAveraged[c][k],
                           static_cast<double>(e->fA), static_cast<double>(e->fB),
                           static_cast<double>(e->fN), static_cast<double>(e->fM));
            } else {
                out.Printf("%f %f %d %f %f\n", static_cast<double>(store.fDipoleSize[c][k]),
                           static_cast<double>(store.fCalculated[c][k]), store.nAveraged[c][k],
                           static_cast<double>(store.fObserved[c][k]),
                           static_cast<double>(store.fNFactor[c][k]));
            }
        }
    }

    const int nBoundaryColumn = std::clamp(store.nBoundaryColumn, 0, store.MaxBoundaryColumn());
    const int nBoundary = std::clamp(store.nBoundary, 0, store.MaxLayer());
    out.Printf("%d %d \n", nBoundaryColumn, nBoundary);
    for (int b = 0; b < nBoundaryColumn; ++b) {
        for (int j = 0; j < nBoundary; ++j)
            out.Printf(" %f ", static_cast<double>(store.fBoundaryX[b][j]));
        out.Write(" \n");
        for (int j = 0; j < nBoundary; ++j)
            out.Printf(" %f ", static_cast<double>(store.fBoundaryElevation[b][j]));
        out.Write(" \n");
    }

    // This program keeps no entries of the fourth block.
    out.Printf(" %d \n", 0);

    const int nModelColumn = std::clamp(store.nModelColumn, 0, store.MaxBoundaryColumn());
    const int nLayer = std::clamp(store.nLayer, 0, store.MaxLayer());
    out.Printf(" %d %d \n", nModelColumn, nLayer);
    for (int m = 0; m < nModelColumn; ++m) {
        // The column's position is its first boundary point; a model column without a
        // boundary column under it keeps its own position.
        const float x = m < nBoundaryColumn && nBoundary > 0
                            ? store.fBoundaryX[m][0]
                            : store.fModelColumnX[static_cast<size_t>(m)];
        out.Printf(" %f \n", static_cast<double>(x));
        for (int j = 0; j + 1 < nLayer; ++j)
            out.Printf(" %f ", static_cast<double>(store.fLayerAux[m][j]));
        out.Write(" \n");
        for (int j = 0; j < nLayer; ++j)
            out.Printf(" %f ", static_cast<double>(store.fLayerResistivity[m][j]));
        out.Write(" \n");
    }

    if (survey != nullptr) {
        const int nFlag = std::clamp(survey->nFlag, 0, static_cast<int>(survey->pFlag.size()));
        out.Write("//* GPS_flags *// \n");
        out.Printf("%d\n", nFlag);
        for (int i = 0; i < nFlag; ++i) {
            const CFlagLocation& f = survey->pFlag[static_cast<size_t>(i)];
            out.Printf("%f %f %f \n", f.dX, f.dY, static_cast<double>(f.fDistance));
        }
        const int nLine = std::clamp(survey->nLine, 0, static_cast<int>(survey->pLine.size()));
        out.Write("//* Markers *// \n");
        out.Printf("%d\n", nLine);
        for (int i = 0; i < nLine; ++i) {
            const CGantrelLine& line = survey->Line(i);
            out.Printf("%d\n", line.nMarker());
            for (const CMarkerData& m : line.pMarker)
                out.Printf("%f\n", static_cast<double>(m.fDistance));
        }
        out.Write("//* Original_data and Resistivity*// \n");
        for (int i = 0; i < nLine; ++i)
            WriteSurveyLine(survey->Line(i), out, survey->bMarkerDistance, 0, &r.nLeftOut);
    }
    out.Close();
    r.save = out.Result();
    return r.save.ok();
}

// ---------------------------------------------------------------------------------------------
// Reading

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// Longest line of the number blocks; a boundary or model line holds one value per layer.
constexpr size_t kMaxNumberLine = size_t{1} << 20;

// Blank-separated numbers across lines, as the stream library's "%d"/"%f" scanning reads
// them, except that a token must be a number as a whole: "12abc" is refused rather than read
// as 12 with "abc" left for the next value.
class CSectionReader {
public:
    CSectionReader(CLineReader& in, SectionFileStatus& status) : in_(in), st_(status) {}

    bool Failed() const { return st_.eProblem != SectionFileProblem::None; }

    bool Int(int& value, SectionBlock block) {
        std::string_view t;
        if (!Next(t, block)) return false;
        size_t used = 0;
        if (!ScanInt(t, value, &used) || used != t.size())
            return Fail(SectionFileProblem::BadValue, block, t);
        return true;
    }
    // A count: a whole number not below 0.
    bool Count(int& value, SectionBlock block) {
        if (!Int(value, block)) return false;
        if (value < 0) return Fail(SectionFileProblem::NegativeCount, block, std::to_string(value));
        return true;
    }
    bool Float(float& value, SectionBlock block) {
        std::string_view t;
        if (!Next(t, block)) return false;
        size_t used = 0;
        if (!ScanFloat(t, value, &used) || used != t.size())
            return Fail(SectionFileProblem::BadValue, block, t);
        return true;
    }
    bool Double(double& value, SectionBlock block) {
        std::string_view t;
        if (!Next(t, block)) return false;
        size_t used = 0;
        if (!ScanDouble(t, value, &used) || used != t.size())
            return Fail(SectionFileProblem::BadValue, block, t);
        return true;
    }
    // Reads and forgets n values.
    bool Skip(long long n, SectionBlock block) {
        float v = 0.0f;
        for (long long i = 0; i < n; ++i)
            if (!Float(v, block)) return false;
        return true;
    }
    // The rest of the current line is not read; the next read starts on a new line.
    void DropRestOfLine() {
        line_.clear();
        pos_ = 0;
    }
    size_t Line() const { return in_.LineNumber(); }

    void NoteCapacity(SectionCapacity kind, int kept) {
        for (auto& n : st_.capacity) {
            if (n.eKind == kind) {
                ++n.nTimes;
                return;
            }
        }
        st_.capacity.push_back({kind, Line(), kept, 1});
    }

private:
    bool Next(std::string_view& token, SectionBlock block) {
        for (;;) {
            while (pos_ < line_.size() && IsBlank(line_[pos_])) ++pos_;
            if (pos_ < line_.size()) {
                const size_t start = pos_;
                while (pos_ < line_.size() && !IsBlank(line_[pos_])) ++pos_;
                token = std::string_view(line_).substr(start, pos_ - start);
                return true;
            }
            pos_ = 0;
            if (!in_.ReadLine(line_)) {
                line_.clear();
                return Fail(SectionFileProblem::EndedEarly, block, {});
            }
            if (in_.LastLineTooLong()) {
                line_.clear();
                return Fail(SectionFileProblem::LineTooLong, block, {});
            }
        }
    }
    bool Fail(SectionFileProblem problem, SectionBlock block, std::string_view token) {
        st_.eProblem = problem;
        st_.eBlock = block;
        st_.iLine = in_.LineNumber();
        // Binary junk is shown shortened; the line number says where to look.
        st_.sToken = std::string(token.substr(0, 40));
        return false;
    }

    CLineReader& in_;
    SectionFileStatus& st_;
    std::string line_;
    size_t pos_ = 0;
};

// One data row of the section as the file's layout gives it.
struct RowValues {
    float fDipoleSize = 0, fCalculated = 0, fObserved = 0, fNFactor = 0;
    int nAveraged = 0;
    float fA = 0, fB = 0, fN = 0, fM = 0;
};

bool ReadRow(CSectionReader& r, bool newRows, int type, RowValues& v) {
    constexpr SectionBlock B = SectionBlock::Row;
    if (!newRows) {
        v.fNFactor = 1.0f;
        if (type == kDataTypeDipole)
            return r.Float(v.fDipoleSize, B) && r.Float(v.fCalculated, B) &&
                   r.Int(v.nAveraged, B) && r.Float(v.fObserved, B);
        return r.Float(v.fDipoleSize, B) && r.Float(v.fObserved, B) && r.Int(v.nAveraged, B);
    }
    if (type == kDataTypeGeneral)
        return r.Float(v.fObserved, B) && r.Float(v.fCalculated, B) && r.Int(v.nAveraged, B) &&
               r.Float(v.fA, B) && r.Float(v.fB, B) && r.Float(v.fN, B) && r.Float(v.fM, B);
    if (type == kDataTypeDipole)
        return r.Float(v.fDipoleSize, B) && r.Float(v.fCalculated, B) && r.Int(v.nAveraged, B) &&
               r.Float(v.fObserved, B) && r.Float(v.fNFactor, B);
    return r.Float(v.fDipoleSize, B) && r.Float(v.fObserved, B) && r.Int(v.nAveraged, B) &&
           r.Float(v.fNFactor, B);
}

void StoreRow(CTrevascDataOhm& store, int c, int k, bool general, const RowValues& v) {
    store.fDipoleSize[c][k] = v.fDipoleSize;
    store.fCalculated[c][k] = v.fCalculated;
    store.fObserved[c][k] = v.fObserved;
    store.fNFactor[c][k] = v.fNFactor;
    store.nAveraged[c][k] = v.nAveraged;
    store.iMarked[c][k] = 0;
    if (!general) return;
    auto& slot = store.pElectrode[c][k];
    if (!slot) slot = std::make_unique<FourElectrodeGeometry>();
    *slot = FourElectrodeGeometry{};
    slot->fA = v.fA;
    slot->fB = v.fB;
    slot->fN = v.fN;
    slot->fM = v.fM;
    CompleteElectrodes(*slot);
}

// The number blocks: section, boundaries, fourth block, model. False when the file ended or
// stopped being readable inside them. `layout` is the first value of the file.
bool ReadNumberBlocks(CSectionReader& r, CTrevascDataOhm& store, CGantrelSurvey& survey, int layout,
                      int second, float third, SectionFileStatus& st) {
    const bool hasHeader = layout > 999;
    const bool newRows = layout >= kSectionFileMagic;
    int type = layout, nColumn = second;
    float cellSize = third;
    if (hasHeader) {
        if (!r.Int(type, SectionBlock::SectionHeader) ||
            !r.Count(nColumn, SectionBlock::SectionHeader) ||
            !r.Float(cellSize, SectionBlock::SectionHeader))
            return false;
    } else if (nColumn < 0) {
        // Read again as a count so that the status names it.
        st.eProblem = SectionFileProblem::NegativeCount;
        st.eBlock = SectionBlock::SectionHeader;
        st.iLine = r.Line();
        st.sToken = std::to_string(nColumn);
        return false;
    }
    store.iDataType = type;
    // Only rows of the newer layouts carry their four-electrode arrays.
    const bool general = type == kDataTypeGeneral && newRows;
    store.bGeneralArray = general ? 1 : 0;
    if (type == kDataTypeGeneral) survey.bDifferentSize = 1;
    store.fCellSize = cellSize >= kSectionFileMinCellSize ? cellSize : kSectionFileMinCellSize;

    // Columns without rows are dropped; the others are stored one after another.
    for (int i = 0; i < nColumn; ++i) {
        float x = 0.0f, aux = 0.0f;
        int nRow = 0;
        if (!r.Float(x, SectionBlock::ColumnHeader) || !r.Count(nRow, SectionBlock::ColumnHeader) ||
            !r.Float(aux, SectionBlock::ColumnHeader))
            return false;
        // The column counts once its first row is complete, so that a file ending right
        // after a column header leaves no empty column behind.
        const int c = store.nColumn;
        const bool keep = nRow > 0 && c < store.MaxColumn();
        if (nRow > 0 && !keep) r.NoteCapacity(SectionCapacity::Columns, store.MaxColumn());
        bool rowsNoted = false;
        for (int k = 0; k < nRow; ++k) {
            RowValues v;
            if (!ReadRow(r, newRows, type, v)) return false;
            if (!keep) continue;
            if (k == 0) {
                store.fColumnX[static_cast<size_t>(c)] = x;
                store.fColumnAux[static_cast<size_t>(c)] = aux;
                store.nColumn = c + 1;
            }
            if (k < store.MaxRow()) {
                StoreRow(store, c, k, general, v);
                store.nRow[static_cast<size_t>(c)] = k + 1;
            } else if (!rowsNoted) {
                r.NoteCapacity(SectionCapacity::Rows, store.MaxRow());
                rowsNoted = true;
            }
        }
    }

    int nBoundaryColumn = 0, nBoundary = 0;
    if (!r.Count(nBoundaryColumn, SectionBlock::BoundaryHeader) ||
        !r.Count(nBoundary, SectionBlock::BoundaryHeader))
        return false;
    const int keptBoundary = std::min(nBoundary, store.MaxLayer());
    if (nBoundary > keptBoundary) r.NoteCapacity(SectionCapacity::Boundaries, store.MaxLayer());
    store.nBoundary = keptBoundary;
    for (int b = 0; b < nBoundaryColumn; ++b) {
        const bool keep = b < store.MaxBoundaryColumn();
        // The first column past the capacity is noted at the line of its first value.
        bool noted = b != store.MaxBoundaryColumn();
        const auto noteOnce = [&] {
            if (!noted) r.NoteCapacity(SectionCapacity::BoundaryColumns, store.MaxBoundaryColumn());
            noted = true;
        };
        float v = 0.0f;
        if (hasHeader) {
            for (int j = 0; j < nBoundary; ++j) {
                if (!r.Float(v, SectionBlock::Boundary)) return false;
                noteOnce();
                if (!keep || j >= keptBoundary) continue;
                store.fBoundaryX[b][j] = v;
                if (j == 0) store.fBoundaryColumnX[static_cast<size_t>(b)] = v;
            }
        } else {
            if (!r.Float(v, SectionBlock::Boundary)) return false;
            noteOnce();
            if (keep) {
                store.fBoundaryColumnX[static_cast<size_t>(b)] = v;
                for (int j = 0; j < keptBoundary; ++j) store.fBoundaryX[b][j] = v;
            }
        }
        for (int j = 0; j < nBoundary; ++j) {
            if (!r.Float(v, SectionBlock::Boundary)) return false;
            noteOnce();
            if (keep && j < keptBoundary) store.fBoundaryElevation[b][j] = v;
        }
        noteOnce();
        if (keep) store.nBoundaryColumn = b + 1;
    }

    // The sister program's entries of the fourth block: " %d %f %f %f" and that many pairs.
    int nAux = 0;
    if (!r.Count(nAux, SectionBlock::AuxBlock)) return false;
    for (int i = 0; i < nAux; ++i) {
        int nPair = 0;
        if (!r.Count(nPair, SectionBlock::AuxBlock) || !r.Skip(3, SectionBlock::AuxBlock) ||
            !r.Skip(2LL * nPair, SectionBlock::AuxBlock))
            return false;
        ++st.nAuxSkipped;
    }
    store.nAuxBlock = 0;

    int nModelColumn = 0, nLayer = 0;
    if (!r.Count(nModelColumn, SectionBlock::ModelHeader) ||
        !r.Count(nLayer, SectionBlock::ModelHeader))
        return false;
    const int keptLayer = std::min(nLayer, store.MaxLayer());
    if (nLayer > keptLayer) r.NoteCapacity(SectionCapacity::Layers, store.MaxLayer());
    store.nLayer = keptLayer;
    for (int m = 0; m < nModelColumn; ++m) {
        const bool keep = m < store.MaxBoundaryColumn();
        float x = 0.0f, aux = 0.0f, v = 0.0f;
        if (!r.Float(x, SectionBlock::ModelColumn)) return false;
        if (m == store.MaxBoundaryColumn())
            r.NoteCapacity(SectionCapacity::ModelColumns, store.MaxBoundaryColumn());
        if (store.iVersion >= 9 && !r.Float(aux, SectionBlock::ModelColumn)) return false;
        if (keep) {
            store.fModelColumnX[static_cast<size_t>(m)] = x;
            store.fModelColumnAux[static_cast<size_t>(m)] = aux;
        }
        for (int j = 0; j + 1 < nLayer; ++j) {
            if (!r.Float(v, SectionBlock::ModelColumn)) return false;
            if (keep && j < keptLayer) store.fLayerAux[m][j] = v;
        }
        for (int j = 0; j < nLayer; ++j) {
            if (!r.Float(v, SectionBlock::ModelColumn)) return false;
            if (keep && j < keptLayer) store.fLayerResistivity[m][j] = v;
        }
        if (keep) store.nModelColumn = m + 1;
    }
    return true;
}

// "GPS_flags": the count, then dX, dY and the distance of every flag. The survey's flags
// are replaced.
bool ReadFlags(CSectionReader& r, CGantrelSurvey& survey, SectionFileStatus& st) {
    st.bFlags = true;
    survey.nFlag = 0;
    int n = 0;
    if (!r.Count(n, SectionBlock::GPSFlags)) return false;
    for (int i = 0; i < n; ++i) {
        double x = 0.0, y = 0.0;
        float d = 0.0f;
        if (!r.Double(x, SectionBlock::GPSFlags) || !r.Double(y, SectionBlock::GPSFlags) ||
            !r.Float(d, SectionBlock::GPSFlags))
            return false;
        CFlagLocation* f = survey.AddFlag();
        if (f == nullptr) {
            r.NoteCapacity(SectionCapacity::Flags, kMaxFlag);
            continue;
        }
        f->dX = x;
        f->dY = y;
        f->fDistance = d;
        st.nFlag = survey.nFlag;
    }
    return true;
}

// The lines read from the file replace the survey's lines; a section without lines leaves
// the survey as it was rather than emptying it. bGeneral: the file's section holds
// four-electrode arrays, so its survey has different transmitter and receiver sizes.
void TakeLines(CGantrelSurvey& survey, CGantrelSurvey& fresh, bool bGeneral) {
    if (fresh.nLine <= 0) return;
    survey.Clear();
    survey.bDifferentSize = bGeneral ? 1 : 0;
    if (survey.pLine.size() < fresh.pLine.size()) survey.pLine.resize(fresh.pLine.size());
    for (int i = 0; i < fresh.nLine; ++i)
        std::swap(survey.pLine[static_cast<size_t>(i)], fresh.pLine[static_cast<size_t>(i)]);
    survey.nLine = fresh.nLine;
    survey.bMarkerDistance = fresh.bMarkerDistance;
    survey.fMinDistance = fresh.fMinDistance;
    survey.fMaxDistance = fresh.fMaxDistance;
    survey.fMinPosition = fresh.fMinPosition;
    survey.fMaxPosition = fresh.fMaxPosition;
    survey.UpdateBoundingBox();
}

}  // namespace

SectionFileStatus ReadSectionFile(CTrevascDataOhm& store, const std::filesystem::path& path,
                                  CGantrelSurvey& survey) {
    SectionFileStatus st;
    st.path = path;
    CLineReader in;
    if (!store.IsAllocated() || !in.Open(path)) {
        st.bOpened = false;
        return st;
    }
    in.maxLength = kMaxNumberLine;
    CSectionReader r(in, st);

    int layout = 0, second = 0;
    float third = 0.0f;
    if (!r.Int(layout, SectionBlock::Header) || !r.Int(second, SectionBlock::Header) ||
        !r.Float(third, SectionBlock::Header))
        return st;  // not a section file: nothing is changed
    st.bHeaderRead = true;

    store.Reset();
    store.bGeneralArray = 0;
    store.iVersion = second < kSectionFileVersionNoSurvey ? kSectionFileVersionNoSurvey : second;
    if (!ReadNumberBlocks(r, store, survey, layout, second, third, st)) return st;
    if (store.iVersion < kSectionFileVersionWithSurvey) return st;

    // The survey sections, line by line from the line after the model block.
    r.DropRestOfLine();
    std::string text;
    while (in.ReadLine(text)) {
        if (Contains(text, "GPS_flags")) {
            if (!ReadFlags(r, survey, st)) return st;
            r.DropRestOfLine();
        } else if (Contains(text, "Original_data") && !Contains(text, "Markers")) {
            st.bSurvey = true;
            CGantrelSurvey fresh;
            fresh.iFileIndex = survey.iFileIndex;
            st.survey = ReadSurveyStream(fresh, in, Contains(text, "Resistivity") ? 1 : 0);
            st.survey.path = path;
            st.nLineRead = fresh.nLine;
            TakeLines(survey, fresh, store.iDataType == kDataTypeGeneral);
        }
    }
    for (int i = 0; i < survey.nLine; ++i) {
        CGantrelLine& line = survey.Line(i);
        if (line.nMarker() > 0) line.UpdateRange();
    }
    return st;
}

namespace {

std::string CapacityText(const SectionCapacityNote& n) {
    switch (n.eKind) {
        case SectionCapacity::Columns:
            return FormatC(Tr("the section holds more than %d non-empty columns; the others were "
                              "left out",
                              "断面の空でない列が %d を超えています。残りは除外しました"),
                           n.nKept);
        case SectionCapacity::Rows:
            return FormatC(Tr("%d column(s) hold more than %d rows; the rows past that were "
                              "left out",
                              "%d 個の列が %d 行を超えています。超えた行は除外しました"),
                           n.nTimes, n.nKept);
        case SectionCapacity::BoundaryColumns:
            return FormatC(Tr("the boundary block holds more than %d columns; the others were "
                              "left out",
                              "境界ブロックの列が %d を超えています。残りは除外しました"),
                           n.nKept);
        case SectionCapacity::Boundaries:
            return FormatC(
                Tr("the boundary block holds more than %d boundaries per column; the "
                   "others were left out",
                   "境界ブロックの1列あたりの境界が %d を超えています。残りは除外しました"),
                n.nKept);
        case SectionCapacity::ModelColumns:
            return FormatC(Tr("the model block holds more than %d columns; the others were left "
                              "out",
                              "モデルブロックの列が %d を超えています。残りは除外しました"),
                           n.nKept);
        case SectionCapacity::Layers:
            return FormatC(Tr("the model block holds more than %d layers; the deeper ones were "
                              "left out",
                              "モデルブロックの層が %d を超えています。深い層は除外しました"),
                           n.nKept);
        case SectionCapacity::Flags:
            return FormatC(Tr("the file holds more than %d GPS flags; the others were left out",
                              "GPSフラグが %d を超えています。残りは除外しました"),
                           n.nKept);
    }
    return {};
}

}  // namespace

void ReportSectionFileStatus(const SectionFileStatus& st, CPrompter& prompter) {
    const std::string name = st.path.string();
    if (!st.bOpened) {
        prompter.Message(
            FormatC(Tr("Cannot open the file %s", "ファイル %s を開けません"), name.c_str()));
        return;
    }
    if (st.bFlags) prompter.Message(FormatC(Tr("Number of GPS flags = %d", "GPSフラグ数 = %d"), st.nFlag));
    if (st.bSurvey) {
        ReportSurveyFileStatus(st.survey, prompter);
        prompter.Message(FormatC(Tr("Number of lines = %d", "測線数 = %d"), st.nLineRead));
    }
    for (const SectionCapacityNote& n : st.capacity)
        prompter.Message(FormatC(Tr("%s, line %zu: %s.", "%s (%zu 行目): %s。"), name.c_str(),
                                 n.iLine, CapacityText(n).c_str()));
    const std::string block = SectionBlockText(st.eBlock);
    const char* kept = st.bHeaderRead ? Tr(" What was read before it is kept.",
                                           "それより前に読み込んだ内容は保持します。")
                                      : Tr(" Nothing was read.", "何も読み込んでいません。");
    switch (st.eProblem) {
        case SectionFileProblem::None:
            break;
        case SectionFileProblem::EndedEarly:
            if (!st.bHeaderRead) {
                prompter.Message(
                    FormatC(Tr("%s is not a resistivity data and model file: it does not "
                               "begin with three numbers.",
                               "%s は比抵抗データ・モデルファイルではありません "
                               "(先頭に3つの数値がありません)。"),
                            name.c_str()));
            } else {
                prompter.Message(FormatC(Tr("%s ends at line %zu inside the %s.%s",
                                            "%s は %zu 行目で終わっていて、%s が不完全です。%s"),
                                         name.c_str(), st.iLine, block.c_str(), kept));
            }
            break;
        case SectionFileProblem::BadValue: {
            const std::string what =
                IsJapanese() ? FormatC("%s の \"%s\"", block.c_str(), st.sToken.c_str())
                             : FormatC("\"%s\" in the %s", st.sToken.c_str(), block.c_str());
            prompter.Message(FormatC(Tr("%s, line %zu: %s is not a number of the expected kind.%s",
                                        "%s (%zu 行目): %s は読み込めない値です。%s"),
                                     name.c_str(), st.iLine, what.c_str(), kept));
            break;
        }
        case SectionFileProblem::NegativeCount:
            prompter.Message(
                FormatC(Tr("%s, line %zu: the %s gives the count %s, which is below 0.%s",
                           "%s (%zu 行目): %s の個数 %s が 0 未満です。%s"),
                        name.c_str(), st.iLine, block.c_str(), st.sToken.c_str(), kept));
            break;
        case SectionFileProblem::LineTooLong:
            prompter.Message(FormatC(Tr("%s, line %zu in the %s is too long to be read.%s",
                                        "%s (%zu 行目): %s の行が長すぎて読み込めません。%s"),
                                     name.c_str(), st.iLine, block.c_str(), kept));
            break;
    }
}

std::string SectionFileLeftOutText(const SectionFileStatus& st) {
    std::string text;
    auto add = [&text](const std::string& part) {
        text += text.empty() ? " " : "; ";
        text += part;
    };
    for (const SectionCapacityNote& n : st.capacity) add(CapacityText(n));
    if (st.nAuxSkipped > 0)
        add(FormatC(Tr("%d entries of the fourth block skipped", "第4ブロックの %d 項目を読み飛ばし"),
                    st.nAuxSkipped));
    const std::string records = SurveyFileLeftOutDetail(st.survey);
    if (!records.empty()) add(records.substr(1));
    if (text.empty()) return {};
    return st.path.string() + ":" + text;
}

int ReadSectionFile(CTrevascDataOhm& store, const std::filesystem::path& path,
                    CGantrelSurvey& survey, CPrompter& prompter) {
    const SectionFileStatus st = ReadSectionFile(store, path, survey);
    ReportSectionFileStatus(st, prompter);
    return st.Result();
}
