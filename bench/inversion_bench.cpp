// Timing of the section inversion: 3,000 columns of 15 dipole-dipole rows (dipole sizes
// 1.25, 2.5 and 5 m with N = 1..5, the instrument's five receivers) under a 20-layer model,
// 10 iterations. Measured side by side in one run:
//  - the program's inversion on every core (wall and process CPU time);
//  - the same on one thread;
//  - the plain reference iteration on one thread, on a subset of columns, scaled to 3,000.
// The reference's columns are compared bit for bit with the program's.
//
// Usage: inversion_bench [reference columns, default 40] [scalar|avx2|avx512] [difference|exact]
// (the path defaults to the fastest the processor runs, the Jacobian to finite differences;
// with the exact Jacobian the reference, which takes differences, is timed but not compared)
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "analysis/initial_model.h"
#include "analysis/inversion.h"
#include "tests/analysis/reference_inversion.h"

namespace {

constexpr int kColumns = 3000;
constexpr int kLayers = 20;

double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Observed values of a two-dimensional earth: a conductive layer whose depth and
// resistivity drift along the line over a resistive basement.
void Fill(CTrevascDataOhm& store) {
    const auto b = LayerBoundaries(kLayers, 10.0f);
    store.nColumn = store.nModelColumn = store.nBoundaryColumn = kColumns;
    store.nLayer = store.nBoundary = kLayers;
    store.iDataType = kDataTypeDipole;
    for (int c = 0; c < kColumns; ++c) {
        const float x = static_cast<float>(c);
        LayerModel truth;
        truth.nLayer = 3;
        truth.fThickness = {1.0f + 0.5f * std::sin(x / 150.0f), 3.0f, 1000.0f};
        truth.fResistivity = {80.0f, 15.0f + 10.0f * std::cos(x / 90.0f), 400.0f};
        SoundingData s;
        for (float a : {1.25f, 2.5f, 5.0f}) {
            for (int n = 1; n <= 5; ++n) {
                s.row[s.nData].fDipoleSize = a;
                s.row[s.nData].fNFactor = static_cast<float>(n);
                ++s.nData;
            }
        }
        SetSoundingDistances(s);
        ForwardModel(truth, s);
        store.nRow[static_cast<size_t>(c)] = s.nData;
        for (int k = 0; k < s.nData; ++k) {
            store.fDipoleSize[c][k] = s.row[k].fDipoleSize;
            store.fNFactor[c][k] = s.row[k].fNFactor;
            store.fObserved[c][k] = s.row[k].fCalculated * (1.0f + 0.02f * std::sin(1.3f * k + x));
        }
        for (int j = 0; j < kLayers; ++j) {
            store.fBoundaryElevation[c][j] = b[static_cast<size_t>(j)];
            store.fLayerResistivity[c][j] = 60.0f;
        }
    }
}

struct Timing {
    double wall = 0, cpu = 0;
};

Timing RunSection(CTrevascDataOhm& store, const InversionSettings& st, int threads) {
    Fill(store);
    const double w0 = WallSeconds(), c0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    InvertSection(store, st, threads);
    return {WallSeconds() - w0, CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - c0};
}

}  // namespace

int main(int argc, char** argv) {
    const int nReference = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    if (argc > 2) {
        const std::string p = argv[2];
        const ForwardPath path = p == "scalar" ? ForwardPath::Scalar
                                 : p == "avx2" ? ForwardPath::Avx2
                                               : ForwardPath::Avx512;
        if (!SetForwardPath(path)) {
            std::fprintf(stderr, "%s is not available on this processor\n", ForwardPathName(path));
            return 1;
        }
    }
    InversionSettings st;  // 10 iterations, the defaults
    if (argc > 3 && std::string(argv[3]) == "exact") st.iJacobian = kJacobianExact;
    auto all = std::make_unique<CTrevascDataOhm>();
    auto one = std::make_unique<CTrevascDataOhm>();
    auto input = std::make_unique<CTrevascDataOhm>();
    if (!all->Initialise(kColumns, 100, kColumns, 100) ||
        !one->Initialise(kColumns, 100, kColumns, 100) ||
        !input->Initialise(kColumns, 100, kColumns, 100)) {
        std::fprintf(stderr, "cannot allocate the stores\n");
        return 1;
    }
    const int threads = InversionThreadCount();
    const Timing tAll = RunSection(*all, st, threads);
    const Timing tOne = RunSection(*one, st, 1);

    // The reference on an even spread of columns, on this thread.
    Fill(*input);
    double refCpu = 0, refWall = 0;
    int mismatches = 0;
    for (int i = 0; i < nReference; ++i) {
        const int c = static_cast<int>(static_cast<long>(i) * kColumns / nReference);
        LayerModel m;
        SoundingData s;
        SetUpSounding(c, *input, m, s);
        const double w0 = WallSeconds(), c0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        ReferenceInvert(m, s, st, nullptr);
        refCpu += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - c0;
        refWall += WallSeconds() - w0;
        for (int j = 0; j < kLayers; ++j)
            if (std::bit_cast<std::uint32_t>(m.fResistivity[j]) !=
                std::bit_cast<std::uint32_t>(all->fLayerResistivity[c][j]))
                ++mismatches;
        for (int k = 0; k < s.nData; ++k)
            if (std::bit_cast<std::uint32_t>(s.row[k].fCalculated) !=
                std::bit_cast<std::uint32_t>(all->fCalculated[c][k]))
                ++mismatches;
    }
    const double scale = static_cast<double>(kColumns) / nReference;
    int storeMismatches = 0;
    for (int c = 0; c < kColumns; ++c)
        for (int j = 0; j < kLayers; ++j)
            if (std::bit_cast<std::uint32_t>(one->fLayerResistivity[c][j]) !=
                std::bit_cast<std::uint32_t>(all->fLayerResistivity[c][j]))
                ++storeMismatches;

    std::printf("%d columns x 15 rows, %d layers, %d iterations, path %s, Jacobian %s\n", kColumns,
                kLayers, st.nIteration, ForwardPathName(ActiveForwardPath()),
                JacobianName(st.iJacobian));
    std::printf("inversion, %d threads : wall %7.3f s  cpu %7.3f s\n", threads, tAll.wall,
                tAll.cpu);
    std::printf("inversion, 1 thread   : wall %7.3f s  cpu %7.3f s\n", tOne.wall, tOne.cpu);
    std::printf("reference, 1 thread   : wall %7.3f s  cpu %7.3f s  (%d columns, scaled x%.0f)\n",
                refWall * scale, refCpu * scale, nReference, scale);
    std::printf("speed-up over the reference (cpu, 1 thread)   : %6.1fx\n",
                refCpu * scale / tOne.cpu);
    std::printf("speed-up over the reference (wall, %d threads) : %6.1fx\n", threads,
                refWall * scale / tAll.wall);
    std::printf("reference values differing: %d; %d-thread vs 1-thread values differing: %d\n",
                mismatches, threads, storeMismatches);
    if (st.iJacobian == kJacobianExact) mismatches = 0;  // the reference takes differences
    return mismatches == 0 && storeMismatches == 0 ? 0 : 2;
}
