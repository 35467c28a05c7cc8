// Colour level tables for coloured plots, the receiver and line colours of the line plots and
// maps, the colour legend, and the contour modes that set the level bounds.
#pragma once

#include <filesystem>
#include <string>

#include "common/axes.h"
#include "common/canvas.h"
#include "common/drawing_parameter.h"
#include "common/prompter.h"

struct CColorScale {
    static constexpr int kCapacity = 37;
    static constexpr int kDefaultLevelCount = 26;

    CColorScale() { SetDefault(); }

    int nCapacity = kCapacity;
    int nBaseColor = 26;  // entries of the default table the automatic and manual levels sample
    float fBasePositionLow = 0.0f, fBasePositionHigh = 26.0f;  // range of the manual positions
    int nLevel = 0;                                            // levels in use, 6 to 37
    float fBound[kCapacity] = {};  // upper bound of each level, ascending
    int iRed[kCapacity] = {}, iGreen[kCapacity] = {}, iBlue[kCapacity] = {};

    // The default table: 26 levels from 10 to 100000 Ohm-m.
    void SetDefault();
    // Evenly spaced levels for the automatic modes: fails, leaving the scale unchanged,
    // unless both limits are above 0 and (maximum - minimum) / interval gives 4 to 35
    // intervals.
    bool Resample(float fMinimum, float fMaximum, float fInterval);
    // Manual levels with colours interpolated between the base colours. Writes the
    // diagnostic listing to `listing` (an unwritable file only loses the listing). Fails as
    // Resample does.
    bool BuildManualLevels(float fMinimum, float fMaximum, float fInterval,
                           const std::filesystem::path& listing = "ManualColor.txt");
    // Bounds that follow the data in the automatic modes: bound 0 is the minimum and bound
    // nLevel - 2 the maximum; the ones between are spaced linearly or by equal ratios (the
    // latter only with both limits above 0). The last bound keeps its value.
    void FollowData(float fMinimum, float fMaximum, bool bLog);

    // The level of a value: the first whose bound is strictly greater. A value at or above
    // the last bound (or not a number) takes the last level.
    int Lookup(float value) const;
    CColor LevelColor(int level) const;
    CColor ColorOf(float value) const { return LevelColor(Lookup(value)); }
};

// Colour C[i] of the default table (i from 0 to 25).
CColor BaseColor(int i);

// Colours of receivers and lines: a rainbow and a grey ramp of 37 entries each.
class CReceiverColors {
public:
    static constexpr int kEntries = 37;
    CReceiverColors();
    // Entry i of the ramps; an index outside 0 to 36 takes the nearest entry.
    CColor Rainbow(int i) const;
    CColor Grey(int i) const;

    int iRainbowRed[kEntries], iRainbowGreen[kEntries], iRainbowBlue[kEntries];
    int iGreyRed[kEntries], iGreyGreen[kEntries], iGreyBlue[kEntries];
};

// Draws the colour legend right of a plot framed with these axes: boxes with the pen
// selected on the canvas, bound labels, the value label and unit. Returns the new right
// extent of the drawing in page units.
int DrawColorLegend(CCanvas& canvas, const CColorScale& scale, const CDrawingParameter& param,
                    const CAxes& axes);

// How a view sets its level bounds (the "Contour" menu of the processing program, the
// "Color" menu of the logging program's profile view).
enum ContourMode : int {
    kContourDefault = 0,
    kContourLinear = 1,
    kContourLog = 2,
    kContourManual = 3,
};

// "Contour interval" dialog.
struct CDlgContourInterval : CDialogValues {
    float fMinimum = 0.0f;
    float fMaximum = 0.0f;
    float fInterval = 0.0f;
    std::string DialogName() const override;
};

// "Number of contour is too many.", the refusal of too many manual levels.
std::string ContourTooManyMessage();
// Why manual (or automatic) levels of these limits cannot be built, in the current language:
// a limit not above 0, the maximum not above the minimum, an interval not above 0, or too
// few or too many intervals between the limits. Empty when they can be built.
std::string ContourLevelsRefusal(float fMinimum, float fMaximum, float fInterval);
// What the "Contour interval" dialog opens with: the values given when they build levels;
// otherwise their limits when usable (else the data's, else the span of the scale's levels)
// with an interval of 1, 2 or 5 times a power of ten giving about ten intervals.
CDlgContourInterval UsableContourInterval(float fMinimum, float fMaximum, float fInterval,
                                          float fDataMinimum, float fDataMaximum,
                                          const CColorScale& scale);
