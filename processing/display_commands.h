// What the "Contour" and "Axis configuration" commands of the processing view act on: the
// view's colour scale with its contour mode and limits, and the axes of the view's plots.
#pragma once

#include <optional>

#include "common/axes.h"
#include "common/color_scale.h"
#include "common/survey.h"
#include "processing/document.h"

// The view's display objects as far as these commands are concerned. Constructing one
// attaches it to a view state, so the commands of that view find it; it detaches itself when
// destroyed. The view (or a test) owns it beside its CBrivaneViewState.
struct CViewDisplayState {
    explicit CViewDisplayState(const CBrivaneViewState& view);
    ~CViewDisplayState();
    CViewDisplayState(const CViewDisplayState&) = delete;
    CViewDisplayState& operator=(const CViewDisplayState&) = delete;

    // The view starts in Default with the default table. Minimum, maximum and interval are 0
    // until the first "Manual" or automatic redraw; with zeros an automatic command keeps the
    // current number of levels and spreads them over the data.
    int iContourMode = kContourDefault;
    float fContourMinimum = 0.0f;
    float fContourMaximum = 0.0f;
    float fContourInterval = 0.0f;
    CColorScale colorScale;

    // Axes of the view's plots, installed by the plots' owner; null while a plot does not
    // exist. The one-dimensional model graph's axes carry its x log state.
    CAxes* pLineAxes = nullptr;        // apparent resistivity line plot
    CAxes* pResistanceAxes = nullptr;  // measured resistance (V/I) line plot
    CAxes* pSectionAxes = nullptr;     // section drawer (original, gridded data, model)
    CAxes* pMapAxes = nullptr;         // plan-view map
    CAxes* pModelGraphAxes = nullptr;  // one-dimensional model graph

private:
    const CBrivaneViewState* view_;
};

// The display state attached to a view, or nullptr.
CViewDisplayState* FindViewDisplayState(const CBrivaneViewState& view);

struct CValueRange {
    float fMinimum = 0.0f;
    float fMaximum = 0.0f;
};

// Data limits for the automatic contour modes: the section and model store's resistivity
// range (when the document holds one) and the apparent resistivity of every receiver value
// of every reading. The minimum ignores values not above 0; the maximum does not.
CValueRange AutomaticDataRange(const CGantrelSurvey& survey, std::optional<CValueRange> storeRange);
// At the start of every redraw: in an automatic mode the view's minimum and maximum become
// the data limits and the level bounds follow them.
void PrepareContourForDraw(CViewDisplayState& display, const CGantrelSurvey& survey,
                           std::optional<CValueRange> storeRange);
