#include "analysis/pseudo_section.h"

#include <algorithm>
#include <cmath>

#include "common/language.h"
#include "common/resistivity.h"
#include "common/text_format.h"

namespace {

// The difference is formed in single precision and compared in double, as the distinct
// lists of the survey compare.
bool Within(float a, float b) {
    return std::fabs(a - b) < kRowKindTolerance;
}

// Distinct insertion into a list that may hold at most capacity entries; false when v is new
// and the list is full (nothing is then changed).
bool InsertBounded(std::vector<float>& list, float v, int capacity) {
    if (static_cast<int>(list.size()) < capacity) {
        InsertDistinct(list, v);
        return true;
    }
    // Full: the pointer form only tells whether v is new (-2) or already there (-1).
    int n = static_cast<int>(list.size());
    return InsertDistinct(list.data(), n, n, v) != -2;
}

}  // namespace

FourElectrodeGeometry ArrayFromPositions(const FourElectrodeGeometry& e) {
    FourElectrodeGeometry a;
    a.fA = e.fA;
    a.fB = e.fB;
    a.fM = e.fM;
    a.fN = e.fN;
    CompleteElectrodes(a);
    return a;
}

bool SameArray(const FourElectrodeGeometry& a, const FourElectrodeGeometry& b) {
    return std::fabs(a.fAN - b.fAN) <= kRowKindTolerance &&
           std::fabs(a.fBM - b.fBM) <= kRowKindTolerance &&
           std::fabs(a.fAM - b.fAM) <= kRowKindTolerance &&
           std::fabs(a.fBN - b.fBN) <= kRowKindTolerance;
}

int PseudoSection::RowKindCount() const {
    if (bGeneralArray == 1) return static_cast<int>(arrays.size());
    int n = 0;
    for (const auto& list : nFactors) n += static_cast<int>(list.size());
    return n;
}

int PseudoSection::RowKindOf(const PseudoSectionPoint& point) const {
    if (bGeneralArray == 1) {
        for (size_t r = 0; r < arrays.size(); ++r)
            if (SameArray(point.array, arrays[r])) return static_cast<int>(r);
        return -1;
    }
    int r = 0;
    for (size_t s = 0; s < nFactors.size() && s < dipoleSizes.size(); ++s) {
        for (float n : nFactors[s]) {
            if (Within(point.fDipoleSize, dipoleSizes[s]) && Within(point.fNFactor, n)) return r;
            ++r;
        }
    }
    return -1;
}

float PseudoSection::RowDipoleSize(int r) const {
    for (size_t s = 0; s < nFactors.size() && s < dipoleSizes.size(); ++s) {
        if (r < static_cast<int>(nFactors[s].size())) return dipoleSizes[s];
        r -= static_cast<int>(nFactors[s].size());
    }
    return 0.0f;
}

float PseudoSection::RowNFactor(int r) const {
    for (const auto& list : nFactors) {
        if (r < static_cast<int>(list.size())) return list[static_cast<size_t>(r)];
        r -= static_cast<int>(list.size());
    }
    return 0.0f;
}

PseudoSectionStatus CollectPoints(CGantrelSurvey& survey, PseudoSection& section) {
    section = PseudoSection{};
    const int nValue = survey.CountValues();
    section.points.reserve(static_cast<size_t>(std::max(nValue, 0)));
    section.bGeneralArray = survey.CheckDifferentSize() == 1 ? 1 : 0;
    bool first = true;
    for (int l = 0; l < survey.nLine; ++l) {
        CGantrelLine& line = survey.Line(l);
        if (line.bUse != 1) continue;
        CGantrelGeometry& g = *line.pGeometry;
        for (CGantrelData& d : line.pData) {
            if (section.bGeneralArray == 1) ComputeResistivity(d, g);
            const int nReceiver = std::clamp(d.nReceiver, 0, kMaxReceiver);
            for (int j = 0; j < nReceiver; ++j) {
                if (line.bReceiverUse[j] != 1 || d.bValid[j] != 1) continue;
                const float offset = ReceiverPositionOffset(g, line.nMaxReceiver, j);
                PseudoSectionPoint p;
                p.fPosition = line.bReverse == 1 ? d.fDistance + offset : d.fDistance - offset;
                // A position that is not a number would make the column extremes meaningless.
                if (!std::isfinite(p.fPosition)) continue;
                p.fResistivity = d.fResistivity[j];
                if (section.bGeneralArray == 1) {
                    p.array = ArrayFromPositions(d.electrode[j]);
                } else {
                    p.fDipoleSize =
                        static_cast<float>(static_cast<double>(g.fReceiverDipole) * 0.5);
                    p.fNFactor = d.fNFactor[j];
                    p.fDepth = d.fDepth[j];
                    if (!InsertBounded(section.dipoleSizes, p.fDipoleSize, kMaxDipoleSizes))
                        return PseudoSectionStatus::TooManyDipoleSizes;
                }
                if (first) {
                    section.fMinPosition = section.fMaxPosition = p.fPosition;
                    first = false;
                } else {
                    section.fMinPosition = std::min(section.fMinPosition, p.fPosition);
                    section.fMaxPosition = std::max(section.fMaxPosition, p.fPosition);
                }
                section.points.push_back(p);
            }
        }
    }
    return PseudoSectionStatus::Ok;
}

PseudoSectionStatus ClassifyRowKinds(PseudoSection& section, CPrompter& prompter) {
    section.arrays.clear();
    section.nFactors.clear();
    if (section.bGeneralArray == 1) {
        for (const auto& p : section.points) {
            const bool known = std::any_of(section.arrays.begin(), section.arrays.end(),
                                           [&](const auto& a) { return SameArray(p.array, a); });
            if (known) continue;
            if (static_cast<int>(section.arrays.size()) >= kMaxArrays)
                return PseudoSectionStatus::TooManyArrays;
            auto at = std::find_if(section.arrays.begin(), section.arrays.end(),
                                   [&](const auto& a) { return a.fK > p.array.fK; });
            section.arrays.insert(at, p.array);
        }
        prompter.Message(FormatC("Number of array = %d", static_cast<int>(section.arrays.size())));
        return PseudoSectionStatus::Ok;
    }
    for (float s : section.dipoleSizes) {
        std::vector<float> list;
        for (const auto& p : section.points) {
            if (!Within(p.fDipoleSize, s)) continue;
            if (!InsertBounded(list, p.fNFactor, kMaxNFactorsPerSize)) {
                section.fOverflowDipoleSize = s;
                return PseudoSectionStatus::TooManyNFactors;
            }
        }
        prompter.Message(FormatC("Dipole size = %.2f m number of N-space = %d",
                                 static_cast<double>(s), static_cast<int>(list.size())));
        section.nFactors.push_back(std::move(list));
    }
    return PseudoSectionStatus::Ok;
}

std::string ModeMessage(const PseudoSection& section) {
    if (section.bGeneralArray == 1)
        return "Data includes different transimitter and receivser sizes.";
    return FormatC("Dipole-dipole method : number of dipole size =%d",
                   static_cast<int>(section.dipoleSizes.size()));
}

std::string CapacityMessage(PseudoSectionStatus status, const PseudoSection& section) {
    switch (status) {
        case PseudoSectionStatus::Ok:
            return "";
        case PseudoSectionStatus::TooManyDipoleSizes:
            return FormatC(
                Tr("The data have more than %d different dipole sizes; a section can "
                   "hold at most %d.\nExclude lines in \"Edit lines\" so that at most "
                   "%d dipole sizes remain, then convert again.",
                   "データのダイポールサイズが %d 種類を超えています（断面に入るのは最大 "
                   "%d 種類です）。\n「Edit lines」で測線を除外してダイポールサイズを "
                   "%d 種類以下にしてから、もう一度変換してください。"),
                kMaxDipoleSizes, kMaxDipoleSizes, kMaxDipoleSizes);
        case PseudoSectionStatus::TooManyNFactors:
            return FormatC(Tr("Dipole size = %.2f m has more than %d different N-spaces; a "
                              "section can hold at most %d per dipole size.\nExclude lines or "
                              "receivers in \"Edit lines\", then convert again.",
                              "ダイポールサイズ %.2f m の N 値が %d 種類を超えています（1 つの"
                              "ダイポールサイズにつき最大 %d 種類です）。\n「Edit lines」で測線"
                              "または受信器を除外してから、もう一度変換してください。"),
                           static_cast<double>(section.fOverflowDipoleSize), kMaxNFactorsPerSize,
                           kMaxNFactorsPerSize);
        case PseudoSectionStatus::TooManyArrays:
            return FormatC(Tr("The data have more than %d different electrode arrays; a section "
                              "can hold at most %d.\nExclude lines or receivers in \"Edit "
                              "lines\", then convert again.",
                              "データの電極配置が %d 種類を超えています（断面に入るのは最大 %d "
                              "種類です）。\n「Edit lines」で測線または受信器を除外してから、"
                              "もう一度変換してください。"),
                           kMaxArrays, kMaxArrays);
    }
    return "";
}
