// The axis description of a plot, its ticks and scales, the framed plot with grid lines, tick
// labels and titles, the fonts of plot texts, and the "Axis configuration" dialog values.
// Positions are laid out in page units (0.1 mm) measured right from the page's left edge and
// down from its top, and drawn at the negated y.
#pragma once

#include <string>

#include "common/canvas.h"
#include "common/drawing_parameter.h"
#include "common/prompter.h"

struct CAxes {
    int nXTick = 0;        // computed by UpdateTicks
    float fXStart = 0.0f;  // data units; decades when bXLog
    float fXEnd = 0.0f;
    float fXInterval = 0.0f;   // tick spacing
    float fXFirstTick = 0.0f;  // computed: equals fXStart
    float fXScale = 0.0f;      // page units per data unit
    int bXLog = 0;
    std::string sXTitle;
    int bXLabel = 1;  // draw tick labels
    int bXTitle = 0;  // draw the title
    int bXFixed = 0;  // range and interval set by the user, not recomputed from data

    // y start is drawn at the bottom of the frame, y end at the top.
    int nYTick = 0;
    float fYStart = 0.0f;
    float fYEnd = 0.0f;
    float fYInterval = 0.0f;
    float fYFirstTick = 0.0f;
    float fYScale = 0.0f;
    int bYLog = 0;
    std::string sYTitle;
    int bYLabel = 1;
    int bYTitle = 0;
    int bYNegated = 0;  // labels show the negated value (elevations as positive depths)
    int bYFixed = 0;

    // Before every draw: logarithmic axes tick every decade; tick counts from the ranges;
    // first ticks at the starts. An interval of 0 or less gives no ticks.
    void UpdateTicks();
    // The x interval for a range that was not set by the user.
    void SetAutomaticXInterval();
    // Fits both scales to a client rectangle in page units, keeping `reserve` page units right
    // of the frame for a legend. A scale whose range is empty, or for which the rectangle has
    // no room inside the margins, is left as it is; true when both were fitted.
    bool FitScales(int clientWidth, int clientHeight, const CDrawingParameter& param, int reserve);
    // Whether the plot can be drawn at all.
    bool IsDrawable() const { return nXTick > 0 && fXStart < fXEnd; }

    // Titles and flags of each plot kind, in the given language (1 Japanese).
    void SetLineResistivityTitles(int language);
    void SetLineResistanceTitles(int language);
    void SetSectionTitles(int language);
    void SetModelTitles(int language, const std::string& depthUnit = "m");
    void SetMapTitles(int language);
};

// The automatic tick interval of a range of d data units.
float AutomaticInterval(float d);

// A tick count above this is treated as this many: no plot has more ticks than a page has
// room for, and bad ranges must not run away.
inline constexpr int kMaxTickCount = 10000;

// Fonts. Japanese font whenever the language is 1. The scale factor enlarges the English
// texts (and the titles) on systems whose fonts render small; it is 1.0 unless the shell sets
// another value.
double FontScaleFactor();
void SetFontScaleFactor(double factor);
// The language's font of the given height, unscaled.
CFont LanguageFont(int language, int height);
// The language's font of height × scale factor (truncated), for both languages.
CFont ScaledLanguageFont(int language, int height);
// Tick labels, colour legend labels and status lines: 35 (Japanese), 35 × factor (English).
CFont TickLabelFont(int language);
// The x title: 40 × factor in both languages.
CFont XTitleFont(int language);
// The y title, written rotated 90° clockwise: 40 × factor (Japanese), 35 × factor (English).
CFont YTitleFont(int language);

// Page width allowed for a numeric label of this value.
int TextWidthEstimate(double value);

// Origin offset of a plot on the page (both 0 in the views); the frame routine stores the
// frame's width and height here.
struct CPlotOffset {
    int x0 = 0, y0 = 0;
    int iFrameWidth = 0, iFrameHeight = 0;
};

struct CFrameEdges {
    int iRight = 0;   // page units from the left page edge
    int iBottom = 0;  // page units down from the page top
    int iXLabelTop = 0;  // top of the x tick labels' row above the frame, page units down
};

// Draws grid lines, tick labels, titles and the frame of a plot. The canvas state is kept.
CFrameEdges DrawFrameAndAxes(CCanvas& canvas, const CDrawingParameter& param, const CAxes& axes,
                             CPlotOffset& offset);

// A line with pen width 8 from one point to another with two barbs of 20 at the end point.
// Coordinates as the canvas takes them (y up). The canvas state is kept.
void DrawArrow(CCanvas& canvas, CColor color, int x1, int y1, int x2, int y2);

// "Axis configuration" dialog. Minimum and maximum are in data units (Ohm-m for a
// logarithmic axis, not decades).
struct CDlgManualAxis : CDialogValues {
    double dXMinimum = 0.0, dXMaximum = 0.0;
    float fXInterval = 0.0f;
    double dYMinimum = 0.0, dYMaximum = 0.0;
    float fYInterval = 0.0f;
    int bXLog = 0, bYLog = 0;
    int bXFixed = 0, bYFixed = 0;

    // How the dialog presents itself (set by the command, not edited by the user).
    std::string sXUnit, sYUnit;                             // read-only text at the end of each row
    bool bXLogShown = false, bYLogShown = false;            // the "Log" boxes
    bool bXMinimumEnabled = true, bYMinimumEnabled = true;  // also enabled when logarithmic
    // A row's three fields are read-only while its "Fixed" box is cleared; the interval field
    // is hidden while the axis is logarithmic.

    std::string DialogName() const override;
};

// What the axis configuration edits and how, for the plot shown.
struct CAxisDialogSetup {
    const char* sXUnit = "m";
    const char* sYUnit = "m";
    bool bXMinimumEnabled = true;
    bool bYMinimumEnabled = true;
    bool bXLogAllowed = false;  // the one-dimensional model graph offers x "Log"
    bool bYLogAllowed = false;
    bool bDepthAxis = false;  // sections: y is shown as positive depths
};

CDlgManualAxis AxisDialogFromAxes(const CAxes& axes, const CAxisDialogSetup& setup);
// Applies the dialog's answers to the axes. Fails (axes unchanged) when a logarithmic axis
// has a minimum or maximum that is not above 0, or a value is not a finite number; the
// message to show is then in error.
bool ApplyAxisDialog(const CDlgManualAxis& dlg, const CAxisDialogSetup& setup, CAxes& axes,
                     std::string& error);
