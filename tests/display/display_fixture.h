// Small surveys and sections for the display tests: every value is known, so a test can say
// where its dot, band or block must be and in which colour.
#pragma once

#include <cmath>

#include "analysis/gridding.h"
#include "analysis/initial_model.h"
#include "analysis/inversion.h"
#include "analysis/pseudo_section.h"
#include "common/resistivity.h"
#include "common/scripted_prompter.h"
#include "common/survey.h"
#include "common/utm.h"
#include "positioning/positioning.h"
#include "processing/document.h"

namespace display_test {

// Apparent resistivity of receiver j at distance x of a smooth synthetic ground, Ohm-m.
inline float SyntheticResistivity(int line, double x, int j) {
    return static_cast<float>(80.0 * (1.0 + 0.6 * std::sin(x / 15.0 + line)) * (1.0 + 0.35 * j));
}

// Appends a line of nReading readings of five receivers every `step` m from `start`, markers
// at both ends (the last of kind 2) and one in the middle, with resistivity from
// SyntheticResistivity and the resistance that gives it.
inline CGantrelLine& AddSyntheticLine(CGantrelSurvey& survey, int nReading, double start,
                                      double step) {
    CGantrelLine& line = *survey.AddLine();
    const int l = survey.nLine - 1;
    // 5 m dipoles 10 m apart: pseudo-depths from about 2 m to 8 m.
    line.pGeometry->iDipoleIndex = line.pGeometry->iDipoleIndexReceiver = 3;
    line.pGeometry->SizeFromIndex();
    line.pGeometry->fRopeLength = 10.0f;
    for (int i = 0; i < nReading; ++i) {
        CGantrelData& d = *line.AddData();
        d.fDistance = static_cast<float>(start + step * i);
        d.dY = d.fDistance;
        d.nReceiver = kMaxReceiver;
        for (int j = 0; j < kMaxReceiver; ++j) {
            d.fResistance[j] = 1.0f;
            d.iCurrentLevel[j] = (i / 10 + j) % 8;
        }
        ComputeResistivity(d, *line.pGeometry);
        for (int j = 0; j < kMaxReceiver; ++j) {
            const float rho = SyntheticResistivity(l, d.fDistance, j);
            d.fResistance[j] = rho / d.fResistivity[j];
            d.fResistivity[j] = rho;
        }
    }
    const double end = start + step * (nReading - 1);
    for (double pos : {start, (start + end) / 2.0, end}) {
        CMarkerData& m = *line.AddMarker();
        m.dY = pos;
        m.fDistance = static_cast<float>(pos);
        m.iKind = pos == end ? 2 : 1;
    }
    line.UpdateMaxReceiver();
    line.UpdateRange();
    return line;
}

// Appends a towed line with GPS: a fix and a reading of five receivers every second from
// (e0, n0) (UTM, m) in the direction `angle` (radians from east towards north) at 1 m/s, the
// fixes' latitude and longitude from the zone and hemisphere, and the positions computed.
inline CGantrelLine& AddGPSLine(CGantrelSurvey& survey, double e0, double n0, double angle, int n,
                                int zone = 54, bool south = false) {
    CGantrelLine& line = *survey.AddLine();
    const int l = survey.nLine - 1;
    for (int i = 0; i < n; ++i) {
        CGPSData& g = *line.AddGPS();
        g.time = 1000 + i;
        g.dEasting = e0 + i * std::cos(angle);
        g.dNorthing = n0 + i * std::sin(angle);
        g.iUTMZone = zone;
        FromUTM(zone, g.dEasting, g.dNorthing, south, g.dLatitude, g.dLongitude);
        CGantrelData& d = *line.AddData();
        d.time = 1000 + i;
        d.nReceiver = kMaxReceiver;
        for (int j = 0; j < kMaxReceiver; ++j) d.fResistance[j] = 1.0f;
        ComputeResistivity(d, *line.pGeometry);
        for (int j = 0; j < kMaxReceiver; ++j) {
            const float rho = SyntheticResistivity(l, i, j);
            d.fResistance[j] = rho / d.fResistivity[j];
            d.fResistivity[j] = rho;
        }
    }
    line.UpdateMaxReceiver();
    ComputePositions(line);
    survey.BuildDepthList();
    survey.UpdateBoundingBox();
    return line;
}

// A survey whose distances are assigned.
inline void FinishSurvey(CGantrelSurvey& survey) {
    survey.bMarkerDistance = 1;
    survey.UpdateRanges();
}

// Grids the survey into the store (cell w m), builds the default initial model and inverts it.
inline bool AnalyseSurvey(CBrivaneDoc& doc, float w = 5.0f, int nIteration = 3) {
    PseudoSection section;
    CScriptedPrompter prompter;
    if (CollectPoints(doc.survey, section) != PseudoSectionStatus::Ok) return false;
    if (ClassifyRowKinds(section, prompter) != PseudoSectionStatus::Ok) return false;
    if (GridPseudoSection(section, w, doc.store).status != GriddingStatus::Ok) return false;
    CDlgInitialModel values;
    if (!BuildInitialModel(doc.store, values)) return false;
    InversionSettings settings;
    settings.nIteration = nIteration;
    InvertSection(doc.store, settings, 1);
    return true;
}

}  // namespace display_test
