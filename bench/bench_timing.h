// Best-of-N timing for the benchmarks: wall and CPU time of the fastest of a few runs, so a
// busy machine's slow runs do not count.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>

namespace benchtiming {

struct Timing {
    double wall = 1e30;  // s
    double cpu = 1e30;   // s
};

inline Timing Best(const std::function<void()>& run, int runs = 3) {
    Timing best;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        const std::clock_t c0 = std::clock();
        run();
        best.wall =
            std::min(best.wall,
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        best.cpu = std::min(best.cpu, static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC);
    }
    return best;
}

// One line of the report: the name padded to `width` columns, then milliseconds.
inline void Print(const char* what, Timing t, int width) {
    std::printf("  %-*s %8.1f ms wall  %8.1f ms cpu\n", width, what, t.wall * 1000.0,
                t.cpu * 1000.0);
}

}  // namespace benchtiming
