#include "common/canvas.h"

#include <cmath>

int PageUnits(double value) {
    constexpr double kLimit = 1.0e6;
    if (std::isnan(value)) return 0;
    if (value > kLimit) return static_cast<int>(kLimit);
    if (value < -kLimit) return static_cast<int>(-kLimit);
    return static_cast<int>(value);
}
