// Dense plots draw many dots at exactly the same page position: a line of 50,000 readings
// puts dozens of readings on one page unit, and a section of a million readings puts every
// reading of a depth on a few thousand positions. A dot that a later dot at the same centre
// with at least its radius (and the same outline) covers entirely cannot be seen, so the plots
// leave it out: the picture is the same and the drawing many times faster.
#pragma once

#include <cstdint>
#include <vector>

struct CDiscDraw {
    int x = 0, y = 0;  // centre, page units as the canvas takes them
    int radius = 0;
    int iStyle = 0;  // fill and outline, as the plot numbers them
};

// The indexes of the discs that stay visible, in drawing order: every disc is kept unless a
// later disc has the same centre and a radius not smaller than its own. (Discs of one plot
// share the outline pen, so a later disc of the same centre and radius covers every pixel of
// an earlier one.)
std::vector<std::uint32_t> VisibleDiscs(const std::vector<CDiscDraw>& discs);

// The same for discs of one radius and one outline drawn in two passes over the data, without
// keeping them: the first pass tells every disc's ordinal (1, 2, ...) to Draw, the second asks
// IsLast whether the disc is the last one drawn at its centre. Centres are tracked on a page
// area (canvas coordinates, grown by the radius); discs outside it are always drawn.
class CLastAtCentre {
public:
    CLastAtCentre(int xMin, int yMin, int xMax, int yMax, int radius);
    void Draw(int x, int y, std::uint32_t ordinal);
    bool IsLast(int x, int y, std::uint32_t ordinal) const;

private:
    long long Cell(int x, int y) const;
    int x0_ = 0, y0_ = 0;
    long long w_ = 0, h_ = 0;
    std::vector<std::uint32_t> last_;  // empty when the area is too large to track
};
