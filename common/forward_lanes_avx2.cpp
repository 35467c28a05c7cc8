// The lane kernels on 256-bit vectors: four doubles per step. Compiled with -mavx2 and no
// contraction and called only when the processor reports AVX2.
#define GANTREL_LANES_BODY
#include <immintrin.h>

#include "common/forward_lanes.h"

namespace {

struct Avx2Lanes {
    using T = __m256d;
    static constexpr int kWidth = 4;
    static T Load(const double* p) { return _mm256_loadu_pd(p); }
    static void Store(double* p, T v) { _mm256_storeu_pd(p, v); }
    static T Set(double v) { return _mm256_set1_pd(v); }
    static T Add(T a, T b) { return _mm256_add_pd(a, b); }
    static T Sub(T a, T b) { return _mm256_sub_pd(a, b); }
    static T Mul(T a, T b) { return _mm256_mul_pd(a, b); }
    static T Div(T a, T b) { return _mm256_div_pd(a, b); }
    static bool SameBits(T a, T b) {
        const __m256i eq = _mm256_cmpeq_epi64(_mm256_castpd_si256(a), _mm256_castpd_si256(b));
        return _mm256_movemask_pd(_mm256_castsi256_pd(eq)) == 0xF;
    }
};

constexpr gantrel_lanes::LaneKernels kAvx2 = MakeKernels<Avx2Lanes>();

}  // namespace

const gantrel_lanes::LaneKernels& gantrel_lanes::Avx2LaneKernels() {
    return kAvx2;
}
