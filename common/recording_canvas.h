// A canvas that keeps every primitive with the drawing state it was drawn in, so tests can
// assert positions, colours, pens and texts of a plot without rendering it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/canvas.h"

enum class CanvasPrimitive { Line, Polyline, Polygon, Rectangle, Ellipse, Text };

struct CCanvasRecord {
    CanvasPrimitive kind = CanvasPrimitive::Line;
    // Line: both ends; Polyline and Polygon: every vertex; Rectangle and Ellipse: the two
    // corners as given; Text: the reference point.
    std::vector<CPoint> points;
    CPen pen;
    CBrush brush;
    CFont font;
    CColor textColor;
    CTextAlign align;
    std::string sText;
    // Text: the box it covers, by the canvas's size estimate (page units, y up).
    CBox box;
    // The clip rectangle in force (two opposite corners), when there was one.
    bool bClipped = false;
    CPoint clip[2];
};

class CRecordingCanvas : public CCanvas {
public:
    const std::vector<CCanvasRecord>& Records() const { return records_; }
    void Clear() { records_.clear(); }

    // Records of one kind, in drawing order.
    std::vector<CCanvasRecord> OfKind(CanvasPrimitive kind) const;
    // Lines drawn with a pen of this colour and width, in drawing order.
    std::vector<CCanvasRecord> LinesWithPen(CColor color, int iWidth) const;
    // Every text drawn, in drawing order.
    std::vector<std::string> Texts() const;
    // The first text record with exactly this text, or nullptr.
    const CCanvasRecord* FindText(std::string_view text) const;

protected:
    void PaintLine(CPoint a, CPoint b) override;
    void PaintPolyline(const std::vector<CPoint>& points) override;
    void PaintPolygon(const std::vector<CPoint>& points) override;
    void PaintRectangle(CPoint a, CPoint b) override;
    void PaintEllipse(CPoint a, CPoint b) override;
    void PaintText(CPoint at, std::string_view text) override;

private:
    void Add(CanvasPrimitive kind, std::vector<CPoint> points, std::string_view text = {});
    std::vector<CCanvasRecord> records_;
};
