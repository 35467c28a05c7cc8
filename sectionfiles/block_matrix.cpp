#include "sectionfiles/block_matrix.h"

#include <limits>

std::optional<std::size_t> BlockElementCount(long long rows, long long columns,
                                             std::size_t elementSize) {
    if (rows < 0 || columns < 0 || elementSize == 0) return std::nullopt;
    constexpr auto kMax = std::numeric_limits<std::size_t>::max();
    const auto r = static_cast<std::size_t>(rows) + 1;
    const auto c = static_cast<std::size_t>(columns) + 1;
    if (r > kMax / c) return std::nullopt;
    const std::size_t count = r * c;
    if (count > kMax / elementSize || count * elementSize > kMaxBlockBytes) return std::nullopt;
    return count;
}
