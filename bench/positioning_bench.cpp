// Timing of the GPS positioning of one line of 50,000 readings (five receivers, 12 m rope,
// a reading every second, a fix every three): the plan and array positions of the readings
// (ComputePositions), then the fitted line and the distances along it (SetDistanceFromFlags,
// with its two diagnostic files written into a temporary folder).
//  - stationary: every fix at one spot, as when the GPS does not move; the array then lays
//    every reading's points on the same few spots (goal: under 1 s);
//  - jittered: the fixes within half a metre of one spot;
//  - moving: a straight track at 1 m/s, for comparison.
//
// Usage: positioning_bench [readings, default 50000]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <ctime>
#include <unistd.h>

#include "positioning/positioning.h"

namespace {

constexpr std::int64_t kT0 = 1245024487;

// Process CPU time: the machine may be shared, and the computation runs on one thread.
double Seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

CGPSData Fix(std::int64_t t, double e, double n) {
    CGPSData f;
    f.time = t;
    f.dEasting = e;
    f.dNorthing = n;
    f.dLatitude = 35.0;
    f.dLongitude = 139.0;
    f.iUTMZone = 54;
    return f;
}

void Fill(CGantrelLine& line, int readings, const std::string& kind) {
    line.pGeometry->fRopeLength = 12.0f;
    std::mt19937 random(3);
    std::uniform_real_distribution<double> jitter(-0.5, 0.5);
    for (int i = 0; i < readings; ++i) {
        CGantrelData d;
        d.time = kT0 + i;
        d.nReceiver = 5;
        line.pData.push_back(d);
        if (i % 3 != 0 || line.pGPS.size() >= 20000) continue;
        double e = 500000.0, n = 3900000.0;
        if (kind == "moving") e += i;
        if (kind == "jittered") e += jitter(random), n += jitter(random);
        line.pGPS.push_back(Fix(kT0 + i, e, n));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int readings = argc > 1 ? std::max(2, std::atoi(argv[1])) : 50000;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("positioning-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    double stationary = 0.0;
    for (const std::string kind : {"stationary", "jittered", "moving"}) {
        CGantrelSurvey survey;
        CGantrelLine& line = *survey.AddLine();
        Fill(line, readings, kind);
        const double t0 = Seconds();
        ComputePositions(line);
        const double t1 = Seconds();
        FitLine(line);
        const CFlagLocation ends[2] = {line.pFittedEnds[0], line.pFittedEnds[1]};
        SetDistanceFromFlags(line, ends, 0, folder);
        const double t2 = Seconds();
        if (kind == "stationary") stationary = t1 - t0;
        std::printf("%-10s %d readings, %d fixes: positions %7.3f s, distances %7.3f s (cpu)\n",
                    kind.c_str(), line.nData(), line.nGPS(), t1 - t0, t2 - t1);
    }
    std::filesystem::remove_all(folder);
    std::printf("stationary positions under 1 s: %s\n", stationary < 1.0 ? "yes" : "NO");
    return stationary < 1.0 ? 0 : 2;
}
