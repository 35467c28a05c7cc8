// The drawing surface every view draws on. Coordinates are page units of 0.1 mm with the y
// axis pointing up, so a plot laid out with y measured down from the page top is drawn at the
// negated y. The canvas keeps the current pen, brush, font, text colour and text alignment;
// each primitive uses the state current when it is called. Backends: QPainter (window, PNG,
// SVG, PDF, printer) in platform/, and a recording canvas for tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct CColor {
    int r = 0, g = 0, b = 0;  // 0 to 255 each
    friend bool operator==(const CColor&, const CColor&) = default;
};

inline constexpr CColor kColorBlack{0, 0, 0};
inline constexpr CColor kColorWhite{255, 255, 255};

struct CPoint {
    int x = 0, y = 0;
    friend bool operator==(const CPoint&, const CPoint&) = default;
};

enum class PenStyle { Solid, Dash, Dot, DashDot, Null };

struct CPen {
    CColor color;
    int iWidth = 0;  // page units; 0 is the thinnest line the device can draw
    PenStyle style = PenStyle::Solid;
    friend bool operator==(const CPen&, const CPen&) = default;
};

// The stock pen: solid black, thinnest line.
inline constexpr CPen kBlackPen{kColorBlack, 0, PenStyle::Solid};
inline constexpr CPen kNullPen{kColorBlack, 0, PenStyle::Null};

struct CBrush {
    CColor color = kColorWhite;
    bool bNull = false;  // true: shapes are not filled
    friend bool operator==(const CBrush&, const CBrush&) = default;
};

inline constexpr CBrush kNullBrush{kColorWhite, true};
inline CBrush SolidBrush(CColor c) {
    return CBrush{c, false};
}

// Two font families: the English one (a proportional sans-serif) and the Japanese one (a font
// with Japanese glyphs). sFaceName, when set, asks for a particular face instead.
struct CFont {
    int iHeight = 35;  // page units
    bool bJapanese = false;
    int iEscapement = 0;  // tenths of a degree, counter-clockwise; -900 reads downwards
    std::string sFaceName;
    friend bool operator==(const CFont&, const CFont&) = default;
};

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Baseline, Bottom };

// Where the reference point of a text lies on the text (before rotation).
struct CTextAlign {
    HAlign h = HAlign::Left;
    VAlign v = VAlign::Top;
    friend bool operator==(const CTextAlign&, const CTextAlign&) = default;
};

// Size of a text laid out unrotated, page units: its advance width, its line height (ascent
// plus descent) and the ascent above the baseline.
struct CTextExtent {
    int iWidth = 0;
    int iHeight = 0;
    int iAscent = 0;
};

// An axis-aligned box on the page, page units with y up.
struct CBox {
    int left = 0, bottom = 0, right = 0, top = 0;
    bool Overlaps(const CBox& o) const {
        return left < o.right && o.left < right && bottom < o.top && o.bottom < top;
    }
    bool Inside(const CBox& o) const {
        return left >= o.left && right <= o.right && bottom >= o.bottom && top <= o.top;
    }
    friend bool operator==(const CBox&, const CBox&) = default;
};

// Size of a text in a font without a device to measure on: advance widths of the proportional
// sans-serif face for ASCII, full-width (one em) for Japanese characters, a line height of
// 1.15 em. Slightly generous, so that a layout made with it holds on screen.
CTextExtent EstimateTextExtent(const CFont& font, std::string_view text);
// The box a text of this extent covers when drawn at `at` with this alignment and escapement.
CBox TextBoxOf(CPoint at, const CTextExtent& extent, CTextAlign align, int iEscapement);

class CCanvas {
public:
    virtual ~CCanvas() = default;

    void SetPen(const CPen& pen) { pen_ = pen; }
    void SetBrush(const CBrush& brush) { brush_ = brush; }
    void SetFont(const CFont& font) { font_ = font; }
    void SetTextColor(CColor color) { textColor_ = color; }
    void SetTextAlign(CTextAlign align) { align_ = align; }
    const CPen& Pen() const { return pen_; }
    const CBrush& Brush() const { return brush_; }
    const CFont& Font() const { return font_; }
    CColor TextColor() const { return textColor_; }
    CTextAlign TextAlign() const { return align_; }

    // A straight line with the pen.
    void Line(int x1, int y1, int x2, int y2) { PaintLine({x1, y1}, {x2, y2}); }
    // Open polyline with the pen; fewer than two points draw nothing.
    void Polyline(const std::vector<CPoint>& points) {
        if (points.size() >= 2) PaintPolyline(points);
    }
    // Closed polygon filled with the brush and outlined with the pen; fewer than three points
    // draw nothing.
    void Polygon(const std::vector<CPoint>& points) {
        if (points.size() >= 3) PaintPolygon(points);
    }
    // Rectangle between two opposite corners, filled with the brush, outlined with the pen.
    void Rectangle(int x1, int y1, int x2, int y2) { PaintRectangle({x1, y1}, {x2, y2}); }
    // Ellipse inscribed in the rectangle between two opposite corners.
    void Ellipse(int x1, int y1, int x2, int y2) { PaintEllipse({x1, y1}, {x2, y2}); }
    // Circle of the given radius around a centre.
    void Disc(int x, int y, int radius) { Ellipse(x - radius, y + radius, x + radius, y - radius); }
    // UTF-8 text at a reference point, in the current font, colour and alignment. The
    // background is left as it is.
    void Text(int x, int y, std::string_view text) { PaintText({x, y}, text); }

    // Size of a text in the current font as this canvas will draw it (unrotated), and the box
    // it will cover when drawn at a reference point with the current alignment and font.
    CTextExtent MeasureText(std::string_view text) const { return Measure(text); }
    CBox TextBox(int x, int y, std::string_view text) const {
        return TextBoxOf({x, y}, Measure(text), align_, font_.iEscapement);
    }

    // Clipping: while a clip rectangle is set (two opposite corners, page units), nothing is
    // drawn outside it. A plot clips its data to its frame. CCanvasClip sets and restores it.
    void SetClip(CPoint a, CPoint b) {
        clipA_ = a;
        clipB_ = b;
        bClip_ = true;
        ApplyClip();
    }
    void ClearClip() {
        bClip_ = false;
        ApplyClip();
    }
    bool HasClip() const { return bClip_; }
    CPoint ClipCorner1() const { return clipA_; }
    CPoint ClipCorner2() const { return clipB_; }

protected:
    virtual void PaintLine(CPoint a, CPoint b) = 0;
    virtual void PaintPolyline(const std::vector<CPoint>& points) = 0;
    virtual void PaintPolygon(const std::vector<CPoint>& points) = 0;
    virtual void PaintRectangle(CPoint a, CPoint b) = 0;
    virtual void PaintEllipse(CPoint a, CPoint b) = 0;
    virtual void PaintText(CPoint at, std::string_view text) = 0;
    // Follows the clip state (HasClip, ClipCorner1, ClipCorner2) on the device; the default,
    // for canvases that record or discard what is drawn, does nothing.
    virtual void ApplyClip() {}
    // Backends that draw on a device measure with the device's font; the default estimates.
    virtual CTextExtent Measure(std::string_view text) const {
        return EstimateTextExtent(font_, text);
    }

private:
    CPen pen_ = kBlackPen;
    CBrush brush_;
    CFont font_;
    CColor textColor_ = kColorBlack;
    CTextAlign align_;
    bool bClip_ = false;
    CPoint clipA_, clipB_;
};

// Clips a canvas to a rectangle for its lifetime, then restores the clip it had.
class CCanvasClip {
public:
    CCanvasClip(CCanvas& canvas, CPoint a, CPoint b)
        : canvas_(canvas),
          bHad_(canvas.HasClip()),
          a_(canvas.ClipCorner1()),
          b_(canvas.ClipCorner2()) {
        canvas_.SetClip(a, b);
    }
    ~CCanvasClip() {
        if (bHad_)
            canvas_.SetClip(a_, b_);
        else
            canvas_.ClearClip();
    }
    CCanvasClip(const CCanvasClip&) = delete;
    CCanvasClip& operator=(const CCanvasClip&) = delete;

private:
    CCanvas& canvas_;
    bool bHad_;
    CPoint a_, b_;
};

// Keeps the caller's pen, brush, font, text colour and alignment across a drawing routine.
class CCanvasStateSaver {
public:
    explicit CCanvasStateSaver(CCanvas& canvas)
        : canvas_(canvas),
          pen_(canvas.Pen()),
          brush_(canvas.Brush()),
          font_(canvas.Font()),
          textColor_(canvas.TextColor()),
          align_(canvas.TextAlign()) {}
    ~CCanvasStateSaver() {
        canvas_.SetPen(pen_);
        canvas_.SetBrush(brush_);
        canvas_.SetFont(font_);
        canvas_.SetTextColor(textColor_);
        canvas_.SetTextAlign(align_);
    }
    CCanvasStateSaver(const CCanvasStateSaver&) = delete;
    CCanvasStateSaver& operator=(const CCanvasStateSaver&) = delete;

private:
    CCanvas& canvas_;
    CPen pen_;
    CBrush brush_;
    CFont font_;
    CColor textColor_;
    CTextAlign align_;
};

// A computed position in page units, truncated toward zero as the integer drawing calls
// truncate it. Values that are not finite or lie far off any page (beyond a million units)
// are clamped, so that bad data cannot overflow the conversion.
int PageUnits(double value);
