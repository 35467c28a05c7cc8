#include "common/survey.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/settings.h"
#include "common/text_format.h"

void CGantrelObject::CopyCommon(const CGantrelObject& other) {
    time = other.time;
    iMilliSecond = other.iMilliSecond;
    dX = other.dX;
    dY = other.dY;
    fDistance = other.fDistance;
}

CGantrelData::CGantrelData() {
    for (int i = 0; i < kMaxReceiver; ++i) {
        iCurrentLevel[i] = -1;
        bValid[i] = 1;
    }
}

// ---------------------------------------------------------------------------------------------
// Geometry

CGantrelGeometry::CGantrelGeometry() {
    fOffset = static_cast<float>(ReadSettingReal("GeometryOffset", fOffset));
    fRopeLength = static_cast<float>(ReadSettingReal("GeometryRopeLength", fRopeLength));
    iDipoleIndex = ReadSettingInt("GeometryiDipoleIndex", iDipoleIndex);
    iDipoleIndexReceiver = ReadSettingInt("GeometryiDipoleIndexReceiver", iDipoleIndexReceiver);
    bDifferentSize = ReadSettingInt("GeometrybDifferentSize", bDifferentSize);
    SizeFromIndex();
}

CGantrelGeometry CGantrelGeometry::Initial() { return CGantrelGeometry(NoSettings{}); }

void CGantrelGeometry::SizeFromIndex() {
    auto size = [](int index, float current) {
        return index >= 0 && index < static_cast<int>(kDipoleSizeTable.size())
                   ? kDipoleSizeTable[static_cast<size_t>(index)]
                   : current;
    };
    if (bDifferentSize == 1) {
        fTransmitterDipole = size(iDipoleIndex, fTransmitterDipole);
        fReceiverDipole = size(iDipoleIndexReceiver, fReceiverDipole);
    } else {
        fTransmitterDipole = size(iDipoleIndex, fTransmitterDipole);
        fReceiverDipole = size(iDipoleIndex, fReceiverDipole);
    }
}

int CGantrelGeometry::IndexFromSize() {
    iDipoleIndex = 0;
    for (size_t i = 0; i < kDipoleSizeTable.size(); ++i) {
        if (std::fabs(fTransmitterDipole - kDipoleSizeTable[i]) < 0.01f) {
            iDipoleIndex = static_cast<int>(i);
            break;
        }
    }
    return iDipoleIndex;
}

// ---------------------------------------------------------------------------------------------
// Locations

bool CLocation::ReadText(std::string_view text) {
    size_t used = 0;
    double x = 0, y = 0;
    if (!ScanDouble(text, x, &used)) return false;
    if (!ScanDouble(text.substr(used), y)) return false;
    dX = x;
    dY = y;
    return true;
}

void CLocation::WriteText(CTextWriter& out) const { out.Printf("%f %f \n", dX, dY); }

bool CNodeLocation::ReadText(std::string_view text) {
    size_t used = 0, used2 = 0;
    double x = 0, y = 0;
    float d = 0;
    if (!ScanDouble(text, x, &used)) return false;
    if (!ScanDouble(text.substr(used), y, &used2)) return false;
    dX = x;
    dY = y;
    // Like sscanf, the fields read before a failure are kept.
    if (!ScanFloat(text.substr(used + used2), d)) return false;
    fDistance = d;
    return true;
}

void CNodeLocation::WriteText(CTextWriter& out) const {
    out.Printf("%f %f %f\n", dX, dY, static_cast<double>(fDistance));
}

// ---------------------------------------------------------------------------------------------
// Line

CGantrelLine::CGantrelLine() : pGeometry(std::make_unique<CGantrelGeometry>()) {}

void CGantrelLine::CopyFrom(const CGantrelLine& other) {
    if (this == &other) return;
    nTrack = other.nTrack;
    pTrackX = other.pTrackX;
    pTrackY = other.pTrackY;
    pFittedLine = other.pFittedLine ? std::make_unique<CFittedLine>(*other.pFittedLine) : nullptr;
    if (pGeometry)
        *pGeometry = *other.pGeometry;
    else
        pGeometry = std::make_unique<CGantrelGeometry>(*other.pGeometry);
    iFileIndex = other.iFileIndex;
    bUse = other.bUse;
    pData = other.pData;
    pMarker = other.pMarker;
    pGPS = other.pGPS;
    nMaxReceiver = other.nMaxReceiver;
    fMinDistance = other.fMinDistance;
    fMaxDistance = other.fMaxDistance;
    bReverse = other.bReverse;
    std::copy(std::begin(other.bReceiverShown), std::end(other.bReceiverShown), bReceiverShown);
    std::copy(std::begin(other.bReceiverUse), std::end(other.bReceiverUse), bReceiverUse);
    bShowAllReceivers = other.bShowAllReceivers;
    iShownReceiver = other.iShownReceiver;
    dMinEasting = other.dMinEasting;
    dMaxEasting = other.dMaxEasting;
    dMinNorthing = other.dMinNorthing;
    dMaxNorthing = other.dMaxNorthing;
    iFittedPoints = other.iFittedPoints;
    pFittedEnds = other.pFittedEnds;
    bPosition = other.bPosition;
}

void CGantrelLine::Reset() {
    nTrack = 0;
    pTrackX.clear();
    pTrackY.clear();
    pFittedLine.reset();
    *pGeometry = CGantrelGeometry();
    iFileIndex = 0;
    bUse = 1;
    pData.clear();
    pMarker.clear();
    pGPS.clear();
    nMaxReceiver = 0;
    fMinDistance = fMaxDistance = 0.0f;
    bReverse = 0;
    for (int i = 0; i < kMaxReceiver; ++i) bReceiverShown[i] = bReceiverUse[i] = 1;
    bShowAllReceivers = 1;
    iShownReceiver = 0;
    dMinEasting = dMaxEasting = dMinNorthing = dMaxNorthing = 0.0;
    iFittedPoints = 0;
    pFittedEnds = {};
    bPosition = 0;
}

CGantrelData* CGantrelLine::AddData() {
    if (nData() >= kMaxDataPerLine) return nullptr;
    return &pData.emplace_back();
}

CMarkerData* CGantrelLine::AddMarker() {
    if (nMarker() >= kMaxMarkerPerLine) return nullptr;
    return &pMarker.emplace_back();
}

CGPSData* CGantrelLine::AddGPS() {
    if (nGPS() >= kMaxGPSPerLine) return nullptr;
    return &pGPS.emplace_back();
}

int CGantrelLine::UpdateMaxReceiver() {
    nMaxReceiver = 0;
    for (const auto& d : pData) nMaxReceiver = std::max(nMaxReceiver, d.nReceiver);
    nMaxReceiver = std::min(nMaxReceiver, kMaxReceiver);
    return nMaxReceiver;
}

void CGantrelLine::UpdateRange() {
    if (pMarker.empty()) return;
    float first = static_cast<float>(pMarker.front().dY);
    float last = static_cast<float>(pMarker.back().dY);
    bReverse = pMarker.front().dY > pMarker.back().dY ? 1 : 0;
    fMinDistance = std::min(first, last);
    fMaxDistance = std::max(first, last);
}

void CGantrelLine::UpdateBoundingBox() {
    if (pGPS.empty()) return;
    dMinEasting = dMaxEasting = pGPS.front().dEasting;
    dMinNorthing = dMaxNorthing = pGPS.front().dNorthing;
    auto take = [this](double x, double y) {
        dMinEasting = std::min(dMinEasting, x);
        dMaxEasting = std::max(dMaxEasting, x);
        dMinNorthing = std::min(dMinNorthing, y);
        dMaxNorthing = std::max(dMaxNorthing, y);
    };
    for (const auto& g : pGPS) take(g.dEasting, g.dNorthing);
    if (bPosition != 1) return;
    for (const auto& d : pData) {
        take(d.dX, d.dY);
        take(d.dTransmitterX, d.dTransmitterY);
        for (int j = 0; j < std::clamp(d.nReceiver, 0, kMaxReceiver); ++j)
            take(d.dReceiverX[j], d.dReceiverY[j]);
    }
}

int CGantrelLine::NearestReading(std::int64_t t) const {
    int best = -1;
    std::int64_t bound = 100000000;
    for (int i = 0; i < nData(); ++i) {
        std::int64_t diff = pData[static_cast<size_t>(i)].time - t;
        if (diff < 0) diff = -diff;
        if (diff < bound) {
            bound = diff;
            best = i;
        }
    }
    return best;
}

// ---------------------------------------------------------------------------------------------
// Survey

CGantrelSurvey::CGantrelSurvey() : pFlag(kMaxFlag) { pLine.reserve(16); }

void CGantrelSurvey::CopyFrom(const CGantrelSurvey& other) {
    if (this == &other) return;
    iFileIndex = other.iFileIndex;
    nLine = other.nLine;
    if (pLine.size() < static_cast<size_t>(nLine)) pLine.resize(static_cast<size_t>(nLine));
    for (int i = 0; i < nLine; ++i) {
        auto& slot = pLine[static_cast<size_t>(i)];
        if (slot)
            slot->CopyFrom(other.Line(i));
        else
            slot = std::make_unique<CGantrelLine>(other.Line(i));
    }
    nValue = other.nValue;
    fMinDistance = other.fMinDistance;
    fMaxDistance = other.fMaxDistance;
    pDepth = other.pDepth;
    fMinPosition = other.fMinPosition;
    fMaxPosition = other.fMaxPosition;
    bInterpolateByTime = other.bInterpolateByTime;
    bMarkerDistance = other.bMarkerDistance;
    bDifferentSize = other.bDifferentSize;
    bGPS = other.bGPS;
    bGPSDistance = other.bGPSDistance;
    dMinEasting = other.dMinEasting;
    dMaxEasting = other.dMaxEasting;
    dMinNorthing = other.dMinNorthing;
    dMaxNorthing = other.dMaxNorthing;
    iSurveyConfiguration = other.iSurveyConfiguration;
    nFlag = other.nFlag;
    pFlag = other.pFlag;
}

void CGantrelSurvey::Clear() {
    for (int i = 0; i < nLine; ++i) pLine[static_cast<size_t>(i)]->Reset();
    nLine = 0;
    // What was derived from the lines goes with them: a survey opened next that has equal
    // dipoles or no distances yet must not look general, or positioned, from the last one.
    bDifferentSize = 0;
    bMarkerDistance = 0;
    bGPSDistance = 0;
    fMinDistance = fMaxDistance = 0.0f;
    fMinPosition = fMaxPosition = 0.0f;
}

CGantrelLine* CGantrelSurvey::AddLine() {
    if (nLine >= kMaxLine) return nullptr;
    auto index = static_cast<size_t>(nLine);
    if (index < pLine.size() && pLine[index]) {
        pLine[index]->Reset();
    } else {
        if (index >= pLine.size()) pLine.resize(index + 1);
        pLine[index] = std::make_unique<CGantrelLine>();
    }
    pLine[index]->iFileIndex = iFileIndex;
    ++nLine;
    return pLine[index].get();
}

CFlagLocation* CGantrelSurvey::AddFlag() {
    if (nFlag >= kMaxFlag) return nullptr;
    pFlag[static_cast<size_t>(nFlag)] = CFlagLocation();
    return &pFlag[static_cast<size_t>(nFlag++)];
}

int CGantrelSurvey::CountValues() {
    nValue = 0;
    for (int l = 0; l < nLine; ++l)
        for (const auto& d : Line(l).pData) nValue += std::clamp(d.nReceiver, 0, kMaxReceiver);
    return nValue;
}

int CGantrelSurvey::BuildDepthList() {
    pDepth.clear();
    for (int l = 0; l < nLine; ++l)
        for (const auto& d : Line(l).pData)
            for (int j = 0; j < std::clamp(d.nReceiver, 0, kMaxReceiver); ++j)
                InsertDistinct(pDepth, d.fDepth[j]);
    return nDepth();
}

int CGantrelSurvey::CheckDifferentSize() {
    bool any = false;
    for (int l = 0; l < nLine; ++l) any = any || Line(l).pGeometry->bDifferentSize == 1;
    if (any) {
        for (int l = 0; l < nLine; ++l) Line(l).pGeometry->bDifferentSize = 1;
        bDifferentSize = 1;
    }
    return bDifferentSize;
}

int CGantrelSurvey::CheckMarkerDistance() {
    bMarkerDistance = 0;
    for (int l = 0; l < nLine; ++l) {
        const auto& m = Line(l).pMarker;
        if (!m.empty() && std::fabs(m.back().fDistance - m.front().fDistance) > 1.0f)
            bMarkerDistance = 1;
    }
    return bMarkerDistance;
}

float ReceiverPositionOffset(const CGantrelGeometry& g, int Z, int j) {
    const float h = g.fReceiverDipole / 2.0f;
    return (static_cast<float>(Z + 1) * h + g.fOffset + g.fRopeLength +
            g.fTransmitterDipole / 2.0f + static_cast<float>(Z - j) * h + g.fOffset) /
           2.0f;
}

void CGantrelSurvey::UpdateRanges() {
    for (int l = 0; l < nLine; ++l) Line(l).UpdateRange();
    for (int l = 0; l < nLine; ++l) {
        const auto& line = Line(l);
        if (l == 0 || line.fMinDistance < fMinDistance) fMinDistance = line.fMinDistance;
        if (l == 0 || line.fMaxDistance > fMaxDistance) fMaxDistance = line.fMaxDistance;
    }
    fMinPosition = fMinDistance;
    fMaxPosition = fMaxDistance;
    for (int l = 0; l < nLine; ++l) {
        const auto& line = Line(l);
        for (const auto& d : line.pData) {
            for (int j = 0; j < std::clamp(d.nReceiver, 0, kMaxReceiver); ++j) {
                const float offset = ReceiverPositionOffset(*line.pGeometry, line.nMaxReceiver, j);
                const float p = line.bReverse == 1 ? d.fDistance + offset : d.fDistance - offset;
                fMinPosition = std::min(fMinPosition, p);
                fMaxPosition = std::max(fMaxPosition, p);
            }
        }
    }
}

int CGantrelSurvey::ApplyDeletions() {
    int count = 0;
    for (int l = 0; l < nLine; ++l) {
        for (auto& d : Line(l).pData) {
            for (int j = 0; j < kMaxReceiver; ++j) {
                if (d.bDeleted[j] == 1) {
                    d.bValid[j] = 0;
                    ++count;
                }
            }
        }
    }
    return count;
}

void CGantrelSurvey::UpdateBoundingBox() {
    bGPS = 0;
    for (int l = 0; l < nLine; ++l) {
        auto& line = Line(l);
        if (line.pGPS.empty()) continue;
        line.UpdateBoundingBox();
        if (bGPS == 0) {
            dMinEasting = line.dMinEasting;
            dMaxEasting = line.dMaxEasting;
            dMinNorthing = line.dMinNorthing;
            dMaxNorthing = line.dMaxNorthing;
        } else {
            dMinEasting = std::min(dMinEasting, line.dMinEasting);
            dMaxEasting = std::max(dMaxEasting, line.dMaxEasting);
            dMinNorthing = std::min(dMinNorthing, line.dMinNorthing);
            dMaxNorthing = std::max(dMaxNorthing, line.dMaxNorthing);
        }
        bGPS = 1;
    }
}

// ---------------------------------------------------------------------------------------------
// Distinct-value insertion

namespace {
// Position where v goes, or -1 when an entry is within t of v.
int DistinctSlot(const float* list, int n, float v, double t) {
    for (int i = 0; i < n; ++i) {
        const float diff = list[i] - v;
        if (std::fabs(static_cast<double>(diff)) < t) return -1;
    }
    int pos = n;
    for (int i = 0; i < n; ++i) {
        if (list[i] > v) {
            pos = i;
            break;
        }
    }
    return pos;
}
}  // namespace

int InsertDistinct(std::vector<float>& list, float v, double t) {
    if (list.empty()) {
        list.push_back(v);
        return -1;
    }
    int pos = DistinctSlot(list.data(), static_cast<int>(list.size()), v, t);
    if (pos < 0) return -1;
    list.insert(list.begin() + pos, v);
    return pos;
}

int InsertDistinct(float* list, int& n, int capacity, float v, double t) {
    if (n <= 0) {
        if (capacity < 1) return -2;
        list[0] = v;
        n = 1;
        return -1;
    }
    int pos = DistinctSlot(list, n, v, t);
    if (pos < 0) return -1;
    if (n >= capacity) return -2;
    for (int i = n; i > pos; --i) list[i] = list[i - 1];
    list[pos] = v;
    ++n;
    return pos;
}
