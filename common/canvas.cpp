#include "common/canvas.h"

#include <algorithm>
#include <cmath>

#include "common/utf8.h"

namespace {

// Advance widths of the printable ASCII characters (space to tilde) of the proportional
// sans-serif face, thousandths of an em.
constexpr int kAsciiWidths[95] = {278,  278, 355, 556, 556, 889, 667, 191,
                                  333,  333, 389, 584, 278, 333, 278, 278,  //  !"#$%&'()*+,-./
                                  556,  556, 556, 556, 556, 556, 556, 556,
                                  556,  556, 278, 278, 584, 584, 584, 556,  // 0-9 :;<=>?
                                  1015, 667, 667, 722, 722, 667, 611, 778,
                                  722,  278, 500, 667, 556, 833, 722, 778,  // @A-O
                                  667,  778, 722, 667, 611, 722, 667, 944,
                                  667,  667, 611, 278, 278, 278, 469, 556,  // P-Z [\]^_
                                  333,  556, 556, 500, 556, 556, 278, 556,
                                  556,  222, 222, 500, 222, 833, 556, 556,  // `a-o
                                  556,  556, 333, 500, 278, 556, 500, 722,
                                  500,  500, 500, 334, 260, 334, 584};  // p-z {|}~

// Fonts on screen run a little wider than the reference widths (other faces stand in); the
// estimate keeps that much in hand.
constexpr double kWidthAllowance = 1.08;

}  // namespace

CTextExtent EstimateTextExtent(const CFont& font, std::string_view text) {
    const double em = std::max(1, font.iHeight);
    double width = 0.0;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = Utf8CharacterLength(text, i);
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (n == 0) n = 1;
        if (n == 1) {
            // The Japanese face sets Latin letters and figures at half width.
            const int w = c >= 32 && c < 127 ? kAsciiWidths[c - 32] : 556;
            width += (font.bJapanese ? std::max(w, 500) : w) / 1000.0;
        } else {
            width += n >= 3 ? 1.0 : 0.6;
        }
        i += n;
    }
    CTextExtent e;
    e.iWidth = static_cast<int>(std::ceil(width * em * kWidthAllowance));
    e.iHeight = static_cast<int>(std::ceil(1.15 * em));
    e.iAscent = static_cast<int>(std::ceil(0.92 * em));
    return e;
}

CBox TextBoxOf(CPoint at, const CTextExtent& extent, CTextAlign align, int iEscapement) {
    // The unrotated box around the reference point, x right and v down.
    const double u0 = align.h == HAlign::Left     ? 0.0
                      : align.h == HAlign::Center ? -extent.iWidth / 2.0
                                                  : -static_cast<double>(extent.iWidth);
    const double v0 = align.v == VAlign::Top        ? 0.0
                      : align.v == VAlign::Baseline ? -static_cast<double>(extent.iAscent)
                                                    : -static_cast<double>(extent.iHeight);
    const double u[2] = {u0, u0 + extent.iWidth};
    const double v[2] = {v0, v0 + extent.iHeight};
    // Turned counter-clockwise on the page (y up) by the escapement.
    const double a = iEscapement / 10.0 * 3.14159265358979323846 / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    double xMin = 1e300, xMax = -1e300, yMin = 1e300, yMax = -1e300;
    for (double uu : u)
        for (double vv : v) {
            const double x = uu * c + vv * s;
            const double y = uu * s - vv * c;
            xMin = std::min(xMin, x);
            xMax = std::max(xMax, x);
            yMin = std::min(yMin, y);
            yMax = std::max(yMax, y);
        }
    return {at.x + static_cast<int>(std::lround(xMin)), at.y + static_cast<int>(std::lround(yMin)),
            at.x + static_cast<int>(std::lround(xMax)), at.y + static_cast<int>(std::lround(yMax))};
}

int PageUnits(double value) {
    constexpr double kLimit = 1.0e6;
    if (std::isnan(value)) return 0;
    if (value > kLimit) return static_cast<int>(kLimit);
    if (value < -kLimit) return static_cast<int>(-kLimit);
    return static_cast<int>(value);
}
