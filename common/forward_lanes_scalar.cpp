// The portable lane kernels: one double per lane step.
#define GANTREL_LANES_BODY
#include <cstdint>
#include <cstring>

#include "common/forward_lanes.h"

namespace {

struct ScalarLanes {
    using T = double;
    static constexpr int kWidth = 1;
    static T Load(const double* p) { return *p; }
    static void Store(double* p, T v) { *p = v; }
    static T Set(double v) { return v; }
    static T Add(T a, T b) { return a + b; }
    static T Sub(T a, T b) { return a - b; }
    static T Mul(T a, T b) { return a * b; }
    static T Div(T a, T b) { return a / b; }
    static bool SameBits(T a, T b) { return std::memcmp(&a, &b, sizeof a) == 0; }
};

constexpr gantrel_lanes::LaneKernels kScalar = MakeKernels<ScalarLanes>();

}  // namespace

const gantrel_lanes::LaneKernels& gantrel_lanes::ScalarLaneKernels() {
    return kScalar;
}
