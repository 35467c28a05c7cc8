// "Reverse Y axis text for clipbord copy": the vertical axis titles read downwards in the
// window (escapement -900). Documents and slides usually set a vertical title reading
// upwards, so the clipboard copy can turn those texts half round, about the middle of the
// box they fill, so that they read upwards in the same place.
#pragma once

#include "common/canvas.h"

// Passes every drawing call to another canvas; texts drawn reading downwards (escapement
// -900) are drawn reading upwards (escapement 900) with their alignment mirrored, which keeps
// the box the text covers.
class CReversedYTextCanvas : public CCanvas {
public:
    explicit CReversedYTextCanvas(CCanvas& inner) : inner_(inner) {}

protected:
    void PaintLine(CPoint a, CPoint b) override;
    void PaintPolyline(const std::vector<CPoint>& points) override;
    void PaintPolygon(const std::vector<CPoint>& points) override;
    void PaintRectangle(CPoint a, CPoint b) override;
    void PaintEllipse(CPoint a, CPoint b) override;
    void PaintText(CPoint at, std::string_view text) override;
    // Measured by the canvas that draws: a half turn keeps the size.
    CTextExtent Measure(std::string_view text) const override;

private:
    // The pen, brush, font, text colour and alignment of this canvas onto the inner one.
    void Forward();
    CCanvas& inner_;
};

// Escapement of the texts that are turned, and what they are turned to.
inline constexpr int kDownwardEscapement = -900;
inline constexpr int kUpwardEscapement = 900;
