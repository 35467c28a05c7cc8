#include "display/reversed_text_canvas.h"

void CReversedYTextCanvas::Forward() {
    inner_.SetPen(Pen());
    inner_.SetBrush(Brush());
    inner_.SetFont(Font());
    inner_.SetTextColor(TextColor());
    inner_.SetTextAlign(TextAlign());
}

void CReversedYTextCanvas::PaintLine(CPoint a, CPoint b) {
    Forward();
    inner_.Line(a.x, a.y, b.x, b.y);
}

void CReversedYTextCanvas::PaintPolyline(const std::vector<CPoint>& points) {
    Forward();
    inner_.Polyline(points);
}

void CReversedYTextCanvas::PaintPolygon(const std::vector<CPoint>& points) {
    Forward();
    inner_.Polygon(points);
}

void CReversedYTextCanvas::PaintRectangle(CPoint a, CPoint b) {
    Forward();
    inner_.Rectangle(a.x, a.y, b.x, b.y);
}

void CReversedYTextCanvas::PaintEllipse(CPoint a, CPoint b) {
    Forward();
    inner_.Ellipse(a.x, a.y, b.x, b.y);
}

void CReversedYTextCanvas::PaintText(CPoint at, std::string_view text) {
    Forward();
    if (Font().iEscapement == kDownwardEscapement) {
        // Half a turn about the box's middle: the reference point keeps its place on the page
        // and moves to the opposite corner of the text, so the box stays where it was.
        CFont font = Font();
        font.iEscapement = kUpwardEscapement;
        CTextAlign align = TextAlign();
        align.h = align.h == HAlign::Left    ? HAlign::Right
                  : align.h == HAlign::Right ? HAlign::Left
                                             : HAlign::Center;
        // A baseline reference stays a baseline: the descent is the only difference.
        align.v = align.v == VAlign::Top      ? VAlign::Bottom
                  : align.v == VAlign::Bottom ? VAlign::Top
                                              : VAlign::Baseline;
        inner_.SetFont(font);
        inner_.SetTextAlign(align);
    }
    inner_.Text(at.x, at.y, text);
}

CTextExtent CReversedYTextCanvas::Measure(std::string_view text) const {
    const CFont kept = inner_.Font();
    inner_.SetFont(Font());
    const CTextExtent e = inner_.MeasureText(text);
    inner_.SetFont(kept);
    return e;
}
