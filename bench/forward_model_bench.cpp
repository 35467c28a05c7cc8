// Forward model of one sounding as the inversion uses it: a 20-layer model and a column of
// 15 dipole-dipole rows. Argument 0: dipole sizes 1.25, 2.5 and 5 m with N = 1..5 (the
// instrument's five receivers); argument 1: one dipole size 1 m with N = 1..15.
// A Jacobian is the 20 trial responses of one iteration, one layer at a time raised by
// 1e-4 in log10 resistivity; the straight implementation runs each as a whole model. All of
// it in double precision, as the inversion runs it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "common/forward_model.h"

namespace {

constexpr int kLayers = 20;
constexpr double kDifference = 0.0001;

SoundingData Column(int kind) {
    SoundingData s;
    if (kind == 0) {
        for (float a : {1.25f, 2.5f, 5.0f}) {
            for (int n = 1; n <= 5; ++n) {
                s.row[s.nData].fDipoleSize = a;
                s.row[s.nData].fNFactor = static_cast<float>(n);
                ++s.nData;
            }
        }
    } else {
        for (int n = 1; n <= 15; ++n) {
            s.row[s.nData].fDipoleSize = 1.0f;
            s.row[s.nData].fNFactor = static_cast<float>(n);
            ++s.nData;
        }
    }
    SetSoundingDistances(s);
    return s;
}

// Layer tops of the initial model: 10 m deep, each layer 1.2 times the one above.
LayerModel Model() {
    LayerModel m;
    m.nLayer = kLayers;
    double sum = 0;
    for (int i = 0; i < kLayers - 1; ++i) sum += std::pow(1.2, i);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> logRho(1.0f, 3.0f);
    for (int i = 0; i < kLayers; ++i) {
        m.fThickness[i] =
            (i < kLayers - 1) ? static_cast<float>(10 * std::pow(1.2, i) / sum) : 1000.0f;
        m.fLogResistivity[i] = logRho(rng);
        m.fResistivity[i] = std::pow(10.0f, m.fLogResistivity[i]);
    }
    return m;
}

double Trial(const LayerModel& m, int q) {
    return std::pow(10.0, m.fLogResistivity[q] + kDifference);
}

void BM_ReferenceResponse(benchmark::State& state) {
    const SoundingData s = Column(static_cast<int>(state.range(0)));
    const LayerModelDouble m = ToDouble(Model());
    std::vector<double> out(s.nData);
    for (auto _ : state) {
        ForwardModel(m, s, out);
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_FastResponse(benchmark::State& state) {
    const SoundingData s = Column(static_cast<int>(state.range(0)));
    const LayerModelDouble m = ToDouble(Model());
    CSoundingForward fast;
    fast.Setup(s, m);
    std::vector<double> out(s.nData);
    for (auto _ : state) {
        fast.Response(m, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["distances"] = fast.nDistance();
}

void BM_FastSetup(benchmark::State& state) {
    const SoundingData s = Column(static_cast<int>(state.range(0)));
    const LayerModel m = Model();
    for (auto _ : state) {
        CSoundingForward fast;
        fast.Setup(s, m);
        benchmark::DoNotOptimize(fast);
    }
}

void BM_ReferenceJacobian(benchmark::State& state) {
    const SoundingData s = Column(static_cast<int>(state.range(0)));
    const LayerModel m = Model();
    std::vector<double> out(s.nData);
    for (auto _ : state) {
        for (int q = 0; q < kLayers; ++q) {
            LayerModelDouble trial = ToDouble(m);
            trial.dResistivity[q] = Trial(m, q);
            ForwardModel(trial, s, out);
            benchmark::DoNotOptimize(out.data());
        }
    }
}

void BM_FastJacobian(benchmark::State& state) {
    const SoundingData s = Column(static_cast<int>(state.range(0)));
    const LayerModel m = Model();
    CSoundingForward fast;
    fast.Setup(s, m);
    std::vector<double> out(s.nData);
    fast.Response(ToDouble(m), out);
    for (auto _ : state) {
        for (int q = 0; q < kLayers; ++q) {
            fast.PerturbedResponse(q, Trial(m, q), out);
            benchmark::DoNotOptimize(out.data());
        }
    }
}

}  // namespace

BENCHMARK(BM_ReferenceResponse)->Arg(0)->Arg(1);
BENCHMARK(BM_FastResponse)->Arg(0)->Arg(1);
BENCHMARK(BM_FastSetup)->Arg(0)->Arg(1);
BENCHMARK(BM_ReferenceJacobian)->Arg(0)->Arg(1);
BENCHMARK(BM_FastJacobian)->Arg(0)->Arg(1);
