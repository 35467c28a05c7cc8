// The two line views: one survey line as a profile along the line, every reading a column of
// dots (one per receiver) at its distance, the receiver's value on a logarithmic vertical
// axis; markers and the gate as vertical lines; optionally the transmitter current level of
// each receiver in a strip of eight bands. The views also answer the mouse: the dot under a
// click, the dots inside a dragged rectangle.
//
// Positions are laid out in page units (0.1 mm) right from the page's left edge and down from
// its top (Y), and drawn at the negated y. Pick and select take page points as the canvas has
// them (y up, so points on the page have y <= 0).
#pragma once

#include <string>

#include "common/axes.h"
#include "common/canvas.h"
#include "common/color_scale.h"
#include "common/drawing_parameter.h"
#include "common/survey.h"

// The window's client area in page units, given to a plot on its first draw to fit its scales.
struct CClientSize {
    int iWidth = 0;
    int iHeight = 0;
};

// Apparent resistivity (Ohm-m) of every receiver along the line.
class CGantrelLineView {
public:
    explicit CGantrelLineView(int language);
    virtual ~CGantrelLineView() = default;
    CGantrelLineView(const CGantrelLineView&) = delete;
    CGantrelLineView& operator=(const CGantrelLineView&) = delete;

    // Draws the whole plot. With a client area the scales are fitted to it first. Returns
    // false, with nothing drawn, when the axes give no plot (no x ticks, or x start not below
    // x end); else true with the frame's right and bottom edges.
    virtual bool Draw(CCanvas& canvas, const CGantrelLine& line, int& iRight, int& iBottom,
                      const CClientSize* client);
    // The first dot (readings, then receivers) drawn within `tolerance` of (x, y) in both
    // directions (strictly): marks its value for deletion, or unmarks it when it was marked,
    // gives its position and returns 1; 0 when there is none.
    virtual int Pick(CGantrelLine& line, int x, int y, int tolerance, int& px, int& py);
    // Marks for deletion every shown, valid dot inside the rectangle (edges included) of a
    // reading with receivers; returns the number of dots marked.
    virtual int SelectInRectangle(CGantrelLine& line, int x1, int y1, int x2, int y2);

    // Titles and legend labels in the language (1 Japanese).
    virtual void SetLanguage(int language);

    CGantrelDrawingParameter parameter;
    CAxes axes;
    int iGateState = 0;  // 0 no gates; 1 the first gate is being set; 2 the second
    float fFirstGate = 0.0f, fSecondGate = 0.0f;  // m along the line
    int bShowCurrentLevel = 0;                    // copied from the view before each draw
    int iMarkerPenWidth = 5;
    int iGatePenWidth = 10;

protected:
    // The value plotted for receiver j of a reading, and the vertical range in decades.
    virtual float Value(const CGantrelData& data, int j) const;
    virtual void LogRange(float& fStart, float& fEnd) const;
    // The plot with the given marker and gate pen widths.
    bool DrawPlot(CCanvas& canvas, const CGantrelLine& line, int& iRight, int& iBottom,
                  const CClientSize* client, int markerWidth, int gateWidth);

private:
    // Page position (layout units, Y down) of receiver j's dot; false when it has none (a
    // value that is not a number).
    bool DotPosition(const CGantrelData& data, int j, int& X, int& Y) const;
    bool InXRange(float distance) const;
    void DrawCurrentLevel(CCanvas& canvas, const CGantrelLine& line, int frameRight) const;
    void DrawDots(CCanvas& canvas, const CGantrelLine& line) const;

    CReceiverColors colors_;
};

// Measured resistance V/I (ohm) of every receiver along the line. Markers are drawn 5 and
// gates 10 wide whatever the pen width fields say.
class CGantrelResistanceView : public CGantrelLineView {
public:
    explicit CGantrelResistanceView(int language);

    bool Draw(CCanvas& canvas, const CGantrelLine& line, int& iRight, int& iBottom,
              const CClientSize* client) override;
    void SetLanguage(int language) override;

protected:
    float Value(const CGantrelData& data, int j) const override;
    void LogRange(float& fStart, float& fEnd) const override;
};

// Status line of the line displays, "Number of lines = %d. Current line = %d.".
std::string LineStatusText(int nLine, int iCurrentLine);
// The gate prompt written over the page top while the gate is being set.
std::string GatePromptText(int iGateState);
// Label of current level k in the strip, "%d:%.3fmA".
std::string CurrentLevelLabel(int k);
