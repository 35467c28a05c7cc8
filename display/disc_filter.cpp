#include "display/disc_filter.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace {

// A dense grid of the largest later radius per centre is used while the centres span at most
// this many page cells; beyond (a plot zoomed far in, values far off the frame) a hash map.
constexpr long long kMaxGridCells = 16LL * 1024 * 1024;

std::uint64_t Key(int x, int y) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32) |
           static_cast<std::uint32_t>(y);
}

}  // namespace

std::vector<std::uint32_t> VisibleDiscs(const std::vector<CDiscDraw>& discs) {
    std::vector<std::uint32_t> visible;
    if (discs.empty()) return visible;
    int xMin = std::numeric_limits<int>::max(), xMax = std::numeric_limits<int>::min();
    int yMin = xMin, yMax = xMax;
    for (const CDiscDraw& d : discs) {
        xMin = std::min(xMin, d.x);
        xMax = std::max(xMax, d.x);
        yMin = std::min(yMin, d.y);
        yMax = std::max(yMax, d.y);
    }
    const long long w = static_cast<long long>(xMax) - xMin + 1;
    const long long h = static_cast<long long>(yMax) - yMin + 1;
    visible.reserve(discs.size() / 4 + 16);

    // Walk backwards remembering, per centre, the largest radius drawn after the current disc.
    // Radii are kept +1 so that 0 means "nothing later"; radii beyond 254 are never hidden.
    if (w * h <= kMaxGridCells) {
        std::vector<std::uint8_t> later(static_cast<std::size_t>(w * h), 0);
        for (std::size_t i = discs.size(); i-- > 0;) {
            const CDiscDraw& d = discs[i];
            std::uint8_t& cell = later[static_cast<std::size_t>(
                (static_cast<long long>(d.y) - yMin) * w + (static_cast<long long>(d.x) - xMin))];
            const int r = std::clamp(d.radius, 0, 254) + 1;
            if (d.radius <= 254 && cell >= r) continue;
            visible.push_back(static_cast<std::uint32_t>(i));
            cell = static_cast<std::uint8_t>(std::max<int>(cell, r));
        }
    } else {
        std::unordered_map<std::uint64_t, int> later;
        later.reserve(discs.size() / 4 + 16);
        for (std::size_t i = discs.size(); i-- > 0;) {
            const CDiscDraw& d = discs[i];
            int& r = later[Key(d.x, d.y)];
            if (r > 0 && r - 1 >= d.radius) continue;
            visible.push_back(static_cast<std::uint32_t>(i));
            r = std::max(r, d.radius + 1);
        }
    }
    std::reverse(visible.begin(), visible.end());
    return visible;
}

CLastAtCentre::CLastAtCentre(int xMin, int yMin, int xMax, int yMax, int radius) {
    x0_ = xMin - radius;
    y0_ = yMin - radius;
    w_ = static_cast<long long>(xMax) + radius - x0_ + 1;
    h_ = static_cast<long long>(yMax) + radius - y0_ + 1;
    if (w_ > 0 && h_ > 0 && w_ * h_ <= kMaxGridCells)
        last_.assign(static_cast<std::size_t>(w_ * h_), 0);
}

long long CLastAtCentre::Cell(int x, int y) const {
    const long long dx = static_cast<long long>(x) - x0_;
    const long long dy = static_cast<long long>(y) - y0_;
    if (last_.empty() || dx < 0 || dy < 0 || dx >= w_ || dy >= h_) return -1;
    return dy * w_ + dx;
}

void CLastAtCentre::Draw(int x, int y, std::uint32_t ordinal) {
    const long long c = Cell(x, y);
    if (c >= 0) last_[static_cast<std::size_t>(c)] = ordinal;
}

bool CLastAtCentre::IsLast(int x, int y, std::uint32_t ordinal) const {
    const long long c = Cell(x, y);
    return c < 0 || last_[static_cast<std::size_t>(c)] == ordinal;
}
