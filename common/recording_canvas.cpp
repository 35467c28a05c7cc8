#include "common/recording_canvas.h"

std::vector<CCanvasRecord> CRecordingCanvas::OfKind(CanvasPrimitive kind) const {
    std::vector<CCanvasRecord> out;
    for (const auto& r : records_)
        if (r.kind == kind) out.push_back(r);
    return out;
}

std::vector<CCanvasRecord> CRecordingCanvas::LinesWithPen(CColor color, int iWidth) const {
    std::vector<CCanvasRecord> out;
    for (const auto& r : records_)
        if (r.kind == CanvasPrimitive::Line && r.pen.color == color && r.pen.iWidth == iWidth &&
            r.pen.style != PenStyle::Null)
            out.push_back(r);
    return out;
}

std::vector<std::string> CRecordingCanvas::Texts() const {
    std::vector<std::string> out;
    for (const auto& r : records_)
        if (r.kind == CanvasPrimitive::Text) out.push_back(r.sText);
    return out;
}

const CCanvasRecord* CRecordingCanvas::FindText(std::string_view text) const {
    for (const auto& r : records_)
        if (r.kind == CanvasPrimitive::Text && r.sText == text) return &r;
    return nullptr;
}

void CRecordingCanvas::Add(CanvasPrimitive kind, std::vector<CPoint> points,
                           std::string_view text) {
    CCanvasRecord r;
    r.kind = kind;
    r.points = std::move(points);
    r.pen = Pen();
    r.brush = Brush();
    r.font = Font();
    r.textColor = TextColor();
    r.bClipped = HasClip();
    r.clip[0] = ClipCorner1();
    r.clip[1] = ClipCorner2();
    r.align = TextAlign();
    r.sText = std::string(text);
    if (kind == CanvasPrimitive::Text) r.box = TextBox(r.points[0].x, r.points[0].y, text);
    records_.push_back(std::move(r));
}

void CRecordingCanvas::PaintLine(CPoint a, CPoint b) {
    Add(CanvasPrimitive::Line, {a, b});
}
void CRecordingCanvas::PaintPolyline(const std::vector<CPoint>& points) {
    Add(CanvasPrimitive::Polyline, points);
}
void CRecordingCanvas::PaintPolygon(const std::vector<CPoint>& points) {
    Add(CanvasPrimitive::Polygon, points);
}
void CRecordingCanvas::PaintRectangle(CPoint a, CPoint b) {
    Add(CanvasPrimitive::Rectangle, {a, b});
}
void CRecordingCanvas::PaintEllipse(CPoint a, CPoint b) {
    Add(CanvasPrimitive::Ellipse, {a, b});
}
void CRecordingCanvas::PaintText(CPoint at, std::string_view text) {
    Add(CanvasPrimitive::Text, {at}, text);
}
