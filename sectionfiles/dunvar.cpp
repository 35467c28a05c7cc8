#include "sectionfiles/dunvar.h"

#include <algorithm>
#include <cmath>

#include "common/language.h"
#include "common/prompter.h"
#include "common/survey.h"
#include "common/side_file.h"
#include "common/text_format.h"

std::filesystem::path DunvarDiagnosticPath() {
    return "SetData.txt";
}

bool DunvarHasModel(const CTrevascDataOhm& store) {
    return store.IsAllocated() && store.nLayer >= 1 && store.nBoundary >= 1 &&
           std::min({store.nBoundaryColumn, store.nModelColumn, store.MaxBoundaryColumn()}) >= 1;
}

std::string DunvarRefusalMessage(DunvarStatus status) {
    switch (status) {
        case DunvarStatus::NoData:
            return Tr("There is no section data to save.", "保存する断面データがありません。");
        case DunvarStatus::NoModel:
            return Tr("There is no resistivity model to save. Make the initial model first.",
                      "保存する比抵抗モデルがありません。先に初期モデルを作成してください。");
        case DunvarStatus::GeneralArray:
            return Tr(
                "The section holds arrays of different transmitter and receiver sizes, "
                "which cannot be written as dipole-dipole data.",
                "断面には送信と受信のサイズが異なる電極配置が含まれており、ダイポール・"
                "ダイポールのデータとして書き出せません。");
        default:
            return {};
    }
}

namespace {

// Distinct-value insertion into the ascending electrode list, with the result of
// InsertDistinct (same tolerance and rounding) but found by bisection: the list grows to
// 100000 entries and every datum inserts four positions. Entries lie at least 0.01 apart,
// so only the neighbours of the insertion point can be within the tolerance.
// Returns false when v is new and the list is full.
bool InsertElectrode(std::vector<float>& list, float v) {
    const auto it = std::lower_bound(list.begin(), list.end(), v);
    const auto near = [v](float e) {
        return std::fabs(static_cast<double>(e - v)) < kDistinctTolerance;
    };
    for (auto j = it; j != list.begin();) {
        --j;
        if (near(*j)) return true;
        if (static_cast<double>(v) - static_cast<double>(*j) > 2.0 * kDistinctTolerance) break;
    }
    for (auto j = it; j != list.end(); ++j) {
        if (near(*j)) return true;
        if (static_cast<double>(*j) - static_cast<double>(v) > 2.0 * kDistinctTolerance) break;
    }
    if (static_cast<int>(list.size()) >= kDunvarMaxElectrode) return false;
    list.insert(it, v);
    return true;
}

// One-based number of the first electrode within 0.1 m of x; 0 when there is none.
int ElectrodeNumber(const std::vector<float>& list, float x) {
    if (!std::isfinite(x)) return 0;
    const double margin = 2.0 * kDunvarMatchDistance;
    auto it = std::lower_bound(list.begin(), list.end(), x, [margin](float e, float value) {
        return static_cast<double>(e) < static_cast<double>(value) - margin;
    });
    for (; it != list.end(); ++it) {
        if (std::fabs(static_cast<double>(*it - x)) < static_cast<double>(kDunvarMatchDistance))
            return static_cast<int>(it - list.begin()) + 1;
        if (static_cast<double>(*it) > static_cast<double>(x) + margin) break;
    }
    return 0;
}

bool Finite(float a, float b, float c, float d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

void ShowUnassigned(const DunvarBuildResult& r, CPrompter& prompter) {
    const char* first = r.iWhich == 1   ? " electrode location error (1)"
                        : r.iWhich == 2 ? " electrode location error (2)"
                                        : " electrode location error \n";
    prompter.Message(first);
    prompter.Message(FormatC(r.iWhich == 1 ? " c1 = %4d c2 = %4d p1 = %4d p2 = %4d"
                                           : " c1 = %4d c2 = %4d p1 = %4d p2 = %4d\n",
                             r.c1, r.c2, r.p1, r.p2));
}

}  // namespace

DunvarBuildResult BuildDunvarDataSet(const CTrevascDataOhm& store, int iMode, DunvarDataSet& set,
                                     CPrompter& prompter,
                                     const std::filesystem::path& setDataPath) {
    set = DunvarDataSet{};
    set.iMode = iMode;
    DunvarBuildResult result;
    auto refuse = [&](DunvarStatus status) {
        result.status = status;
        return result;
    };

    const int nColumn = store.IsAllocated() ? std::clamp(store.nColumn, 0, store.MaxColumn()) : 0;
    auto rowsOf = [&](int c) {
        return std::clamp(store.nRow[static_cast<size_t>(c)], 0, store.MaxRow());
    };
    int total = 0;
    for (int c = 0; c < nColumn; ++c) total += rowsOf(c);
    if (total == 0) {
        prompter.Message(DunvarRefusalMessage(DunvarStatus::NoData));
        return refuse(DunvarStatus::NoData);
    }
    if (iMode == kDunvarModeModel && !DunvarHasModel(store)) {
        prompter.Message(DunvarRefusalMessage(DunvarStatus::NoModel));
        return refuse(DunvarStatus::NoModel);
    }
    if (store.bGeneralArray == 1) {
        prompter.Message(DunvarRefusalMessage(DunvarStatus::GeneralArray));
        return refuse(DunvarStatus::GeneralArray);
    }
    const int nModelColumn =
        std::min({store.nBoundaryColumn, store.nModelColumn, store.MaxBoundaryColumn()});
    const int nLayer = std::clamp(store.nLayer, 0, store.MaxLayer());

    CTextWriter diagnostic;
    if (!setDataPath.empty()) OpenSideFile(diagnostic, setDataPath);

    set.data.reserve(static_cast<size_t>(total));
    for (int c = 0; c < nColumn; ++c) {
        const float X = store.fColumnX[static_cast<size_t>(c)];
        for (int k = 0; k < rowsOf(c); ++k) {
            DunvarDatum d;
            const float a = store.fDipoleSize[c][k];
            const float N = store.fNFactor[c][k];
            d.fDipoleSize = a;
            d.fNFactor = N;
            InsertDistinct(set.nFactors, N);
            if (static_cast<int>(set.nFactors.size()) > kDunvarMaxNFactor) {
                prompter.Message(FormatC(Tr("The section holds more than %d different N-factors.",
                                            "断面に %d 種類を超えるN値があります。"),
                                         kDunvarMaxNFactor));
                return refuse(DunvarStatus::TooManyNFactors);
            }
            const double dN = N;
            d.fK = static_cast<float>(kDunvarPi * a * dN * (dN + 1.0) * (dN + 2.0));
            const float half = a * N / 2.0f;
            d.fC1 = X - half - a;
            d.fC2 = X - half;
            d.fP1 = X + half;
            d.fP2 = X + half + a;
            // A position that is not a number gets no electrode; the assignment below stops
            // the build there.
            if (Finite(d.fC1, d.fC2, d.fP1, d.fP2)) {
                if (!(d.fK > 0.0f) || !std::isfinite(d.fK)) {
                    result.iColumn = c;
                    result.iRow = k;
                    prompter.Message(
                        FormatC(Tr("Row %d of column %d (N-factor %g) is not a "
                                   "dipole-dipole array; the section cannot be "
                                   "written as dipole-dipole data.",
                                   "%d 行目 (%d 列目、N値 %g) はダイポール・ダイポール"
                                   "配置ではないため、断面をダイポール・ダイポールのデー"
                                   "タとして書き出せません。"),
                                k + 1, c + 1, static_cast<double>(N)));
                    return refuse(DunvarStatus::NotDipoleDipole);
                }
                for (float e : {d.fC1, d.fC2, d.fP1, d.fP2}) {
                    if (!InsertElectrode(set.electrodes, e)) {
                        prompter.Message(FormatC(Tr("The section needs more than %d electrode "
                                                    "positions.",
                                                    "断面に必要な電極位置が %d を超えます。"),
                                                 kDunvarMaxElectrode));
                        return refuse(DunvarStatus::TooManyElectrodes);
                    }
                }
            }
            d.fObserved = store.fObserved[c][k];
            if (iMode == kDunvarModeModel) d.fCalculated = store.fCalculated[c][k];
            set.data.push_back(d);
        }
    }

    const int nElectrode = static_cast<int>(set.electrodes.size());
    const int nTopography = nElectrode / 2 + 1;
    prompter.Message(
        FormatC("Number of data=%d \nNumber of electrode=%d \nNumber of topography "
                "point=%d \nNumber of N space=%d",
                static_cast<int>(set.data.size()), nElectrode, nTopography,
                static_cast<int>(set.nFactors.size())));
    if (nElectrode == 0) {
        // Only positions that are not numbers: the first datum cannot be assigned.
        result.status = DunvarStatus::ElectrodeUnassigned;
        result.iDatum = 0;
        result.iWhich = 1;
        ShowUnassigned(result, prompter);
        return result;
    }
    for (int i = 1; i <= nTopography; ++i) {
        const int e = std::min(2 * i - 1, nElectrode);
        set.topographyX.push_back(set.electrodes[static_cast<size_t>(e - 1)]);
    }
    set.fSpacing = nTopography >= 2 ? set.topographyX[1] - set.topographyX[0] : 0.0f;

    for (size_t i = 0; i < set.data.size(); ++i) {
        DunvarDatum& d = set.data[i];
        d.c1 = ElectrodeNumber(set.electrodes, d.fC1);
        d.c2 = ElectrodeNumber(set.electrodes, d.fC2);
        d.p1 = ElectrodeNumber(set.electrodes, d.fP1);
        d.p2 = ElectrodeNumber(set.electrodes, d.fP2);
        const int which = d.c1 == 0 ? 1 : d.c2 == 0 ? 2 : (d.p1 == 0 || d.p2 == 0) ? 3 : 0;
        if (which != 0) {
            result.status = DunvarStatus::ElectrodeUnassigned;
            result.iDatum = static_cast<int>(i);
            result.iWhich = which;
            result.c1 = d.c1;
            result.c2 = d.c2;
            result.p1 = d.p1;
            result.p2 = d.p2;
            ShowUnassigned(result, prompter);
            return result;
        }
    }

    for (float x : set.topographyX) diagnostic.Printf("%f\n", static_cast<double>(x));
    const int nBoundaryColumn = std::clamp(store.nBoundaryColumn, 0, store.MaxBoundaryColumn());
    if (store.nBoundary >= 1)
        for (int b = 0; b < nBoundaryColumn; ++b)
            diagnostic.Printf("%f\n,", static_cast<double>(store.fBoundaryX[b][0]));
    diagnostic.Close();

    if (iMode != kDunvarModeModel) return result;
    set.nLayer = nLayer;
    const size_t nodes = static_cast<size_t>(nLayer) * static_cast<size_t>(nTopography);
    set.nodeX.assign(nodes, 0.0f);
    set.nodeValue.assign(nodes, 0.0f);
    set.nodeElevation.assign(nodes, 0.0f);
    const size_t nCell = static_cast<size_t>(nTopography - 1);
    set.cellResistivity.assign(static_cast<size_t>(nLayer - 1) * nCell, 0.0f);
    for (int i = 0; i < nTopography; ++i) {
        const float x = set.topographyX[static_cast<size_t>(i)];
        // The model column nearest the point, the first of equals.
        int b = 0;
        double best = std::fabs(static_cast<double>(store.fBoundaryX[0][0]) - x);
        for (int j = 1; j < nModelColumn; ++j) {
            const double dist = std::fabs(static_cast<double>(store.fBoundaryX[j][0]) - x);
            if (dist < best) {
                best = dist;
                b = j;
            }
        }
        for (int l = 0; l < nLayer; ++l) {
            const size_t node =
                static_cast<size_t>(l) * static_cast<size_t>(nTopography) + static_cast<size_t>(i);
            set.nodeX[node] = x;
            set.nodeElevation[node] = store.fBoundaryElevation[b][l];
        }
        if (i + 1 < nTopography)
            for (int l = 1; l < nLayer; ++l)
                set.cellResistivity[static_cast<size_t>(l - 1) * nCell + static_cast<size_t>(i)] =
                    store.fLayerResistivity[b][l - 1];
    }
    return result;
}

std::string DunvarValueBlock(std::span<const float> values, bool alwaysEnd) {
    std::string s;
    for (size_t i = 0; i < values.size(); ++i) {
        s += FormatC("%8.2f ", static_cast<double>(values[i]));
        if ((i + 1) % 8 == 0) s += '\n';
    }
    if (alwaysEnd || values.size() % 8 != 0) s += '\n';
    return s;
}

namespace {

void WriteRanges(CTextWriter& out) {
    out.Printf("%8.2f  %8.2f  %8.2f\n", static_cast<double>(kDunvarRangeMin),
               static_cast<double>(kDunvarRangeMin), 0.0);
    out.Printf("%8.2f  %8.2f  %8.2f\n", static_cast<double>(kDunvarRangeMax),
               static_cast<double>(kDunvarRangeMax), 0.0);
}

void WriteTopography(CTextWriter& out, std::span<const float> x) {
    const std::vector<float> zero(x.size(), 0.0f);
    out.Printf("%d\n", static_cast<int>(x.size()));
    out.Write(DunvarValueBlock(x, false));
    out.Write(DunvarValueBlock(zero, false));
    out.Write(DunvarValueBlock(zero, false));
}

void WriteElectrodeHeader(CTextWriter& out, const DunvarDataSet& set) {
    out.Printf("%d\t%d\t%8.2f\t%8.2f\n", static_cast<int>(set.electrodes.size()),
               static_cast<int>(set.nFactors.size()), static_cast<double>(set.fSpacing),
               set.electrodes.empty() ? 0.0 : static_cast<double>(set.electrodes.front()));
}

bool Assigned(const DunvarDatum& d, int nElectrode) {
    auto ok = [nElectrode](int e) { return e >= 1 && e <= nElectrode; };
    return ok(d.c1) && ok(d.c2) && ok(d.p1) && ok(d.p2);
}

}  // namespace

namespace {
bool Finish(CTextWriter& out, SaveResult* save) {
    const bool ok = out.Close();
    if (save != nullptr) *save = out.Result();
    return ok;
}

bool OpenTarget(CTextWriter& out, const std::filesystem::path& path, SaveResult* save) {
    if (out.OpenReplacing(path)) return true;
    if (save != nullptr) *save = out.Result();
    return false;
}
}  // namespace

bool WriteDunvarST1(const DunvarDataSet& set, const std::filesystem::path& path,
                    SaveResult* save) {
    CTextWriter out;
    if (!OpenTarget(out, path, save)) return false;
    out.Printf("%s\n", set.sTitle.c_str());
    out.Printf("%d\n", kDunvarModeData);
    const float lo = set.electrodes.empty() ? 0.0f : set.electrodes.front();
    const float hi = set.electrodes.empty() ? 0.0f : set.electrodes.back();
    std::vector<float> inside;
    for (float x : set.topographyX)
        if (x >= lo && x <= hi) inside.push_back(x);
    WriteTopography(out, inside);
    WriteRanges(out);
    WriteElectrodeHeader(out, set);
    for (size_t i = 0; i < set.electrodes.size(); ++i) {
        const float x = set.electrodes[i];
        if (x >= lo && x <= hi)
            out.Printf("%4d  %8.2f  %8.2f  %8.2f\n", static_cast<int>(i + 1),
                       static_cast<double>(x), 0.0, 0.0);
    }
    const int nElectrode = static_cast<int>(set.electrodes.size());
    int nValid = 0;
    for (const DunvarDatum& d : set.data) nValid += Assigned(d, nElectrode) ? 1 : 0;
    out.Printf("%d\n", nValid);
    for (const DunvarDatum& d : set.data) {
        if (!Assigned(d, nElectrode)) continue;
        out.Printf("%3d  %3d  %3d  %3d  %10.4f  %8.3f  %8.3f  %8.3f\n", d.c1, d.c2, d.p1, d.p2,
                   static_cast<double>(d.Resistance()), static_cast<double>(kDunvarError),
                   static_cast<double>(kDunvarWeight), static_cast<double>(kDunvarWeight));
    }
    return Finish(out, save);
}

bool WriteDunvarST4(const DunvarDataSet& set, const std::filesystem::path& path,
                    SaveResult* save) {
    CTextWriter out;
    if (!OpenTarget(out, path, save)) return false;
    out.Printf("%s\n", set.sTitle.c_str());
    out.Printf("%d\n", kDunvarModeModel);
    WriteTopography(out, set.topographyX);
    WriteRanges(out);
    WriteElectrodeHeader(out, set);
    for (size_t i = 0; i < set.electrodes.size(); ++i)
        out.Printf("%4d  %8.2f  %8.2f  %8.2f\n", static_cast<int>(i + 1),
                   static_cast<double>(set.electrodes[i]), 0.0, 0.0);
    out.Printf("%d\n", static_cast<int>(set.data.size()));
    for (const DunvarDatum& d : set.data) {
        const float resistance = d.Resistance();
        float calculated = d.CalculatedResistance();
        if (calculated == 0.0f) calculated = 0.01f;
        // A zero observed value has no relative difference; 0 is written rather than inf.
        const float difference =
            resistance != 0.0f ? (calculated - resistance) * 100.0f / resistance : 0.0f;
        out.Printf(
            "%3d  %3d  %3d  %3d  %10.4f  %8.3f  %8.3f  %8.3f  %10.3f  %10.4f  %8.2f  %1d  %1d\n",
            d.c1, d.c2, d.p1, d.p2, static_cast<double>(resistance),
            static_cast<double>(kDunvarError), static_cast<double>(kDunvarWeight),
            static_cast<double>(kDunvarWeight), static_cast<double>(d.fK),
            static_cast<double>(calculated), static_cast<double>(difference), 0, 0);
    }
    const int nTopography = set.nTopography();
    out.Printf("%d  %d\n", nTopography, set.nLayer);
    const auto layerSpan = [&](const std::vector<float>& v, int l) {
        return std::span<const float>(v).subspan(
            static_cast<size_t>(l) * static_cast<size_t>(nTopography),
            static_cast<size_t>(nTopography));
    };
    for (const auto* nodes : {&set.nodeX, &set.nodeValue, &set.nodeElevation})
        for (int l = 0; l < set.nLayer; ++l)
            out.Write(DunvarValueBlock(layerSpan(*nodes, l), true));
    const size_t nCell = nTopography > 0 ? static_cast<size_t>(nTopography - 1) : 0;
    for (int l = 1; l < set.nLayer; ++l)
        out.Write(DunvarValueBlock(std::span<const float>(set.cellResistivity)
                                       .subspan(static_cast<size_t>(l - 1) * nCell, nCell),
                                   true));
    return Finish(out, save);
}
