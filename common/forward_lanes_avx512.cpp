// The lane kernels on 512-bit vectors: eight doubles per step. Compiled with -mavx512f and no
// contraction, and called only when the processor reports AVX-512F.
#define GANTREL_LANES_BODY
#include <immintrin.h>

#include "common/forward_lanes.h"

namespace {

struct Avx512Lanes {
    using T = __m512d;
    static constexpr int kWidth = 8;
    static T Load(const double* p) { return _mm512_loadu_pd(p); }
    static void Store(double* p, T v) { _mm512_storeu_pd(p, v); }
    static T Set(double v) { return _mm512_set1_pd(v); }
    static T Add(T a, T b) { return _mm512_add_pd(a, b); }
    static T Sub(T a, T b) { return _mm512_sub_pd(a, b); }
    static T Mul(T a, T b) { return _mm512_mul_pd(a, b); }
    static T Div(T a, T b) { return _mm512_div_pd(a, b); }
    static bool SameBits(T a, T b) {
        return _mm512_cmpeq_epi64_mask(_mm512_castpd_si512(a), _mm512_castpd_si512(b)) == 0xFF;
    }
};

constexpr gantrel_lanes::LaneKernels kAvx512 = MakeKernels<Avx512Lanes>();

}  // namespace

const gantrel_lanes::LaneKernels& gantrel_lanes::Avx512LaneKernels() {
    return kAvx512;
}
