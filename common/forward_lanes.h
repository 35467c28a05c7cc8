// Lane kernels of the prepared forward model (CSoundingForward). A lane is one (distance,
// filter abscissa) pair; the lanes of a sounding are laid out distance by distance, 18 per
// distance, padded to a multiple of kLaneBlock, and every per-layer array holds one row of
// `stride` lanes per layer: x[i * stride + lane].
//
// Every lane runs the same IEEE operations in the same order on every path (scalar, AVX2,
// AVX-512): products, sums and quotients are never fused or reassociated, so the paths give
// bit-identical results. The files that instantiate the kernels are compiled with
// -ffp-contract=off for that reason.
//
// Internal to common/. The kernel bodies have internal linkage in each instantiating file and
// call no inline library function: a copy compiled for a wider instruction set could
// otherwise be chosen by the linker for the whole program.
#pragma once

namespace gantrel_lanes {

// Lanes per block: the widest vector (8 doubles). Strides are multiples of it.
inline constexpr int kLaneBlock = 8;

struct LaneKernels {
    // top[i] for i = n-1 down to 0: top[n-1] = rho[n-1], top[i] = Step(rho[i], tau[i], top[i+1]),
    // with Step(rho, tau, t) = (rho tau + t) / (1 + t tau / rho).
    void (*recurrence)(int n, const double* rho, const double* tau, double* top, int stride);
    // The surface transform of the model of `top` with layer q's resistivity replaced by rhoQ,
    // into surface[0..stride-1]. Each block walks up from layer q and stops as soon as its
    // values equal (bit for bit) the kept ones at a layer top, taking the kept surface values.
    void (*perturbed)(int n, int q, double rhoQ, const double* rho, const double* tau,
                      const double* top, int stride, double* surface);
    // out[l] = in[l] / r[l] for l < count (count a multiple of kLaneBlock).
    void (*divide)(const double* in, const double* r, double* out, int count);
    // grad[q * stride + l] = d T(surface) / d rho_q of the model of `top`, by the chain rule
    // down the recurrence: dStep/dt = (1 - tau^2) / D^2 and dStep/drho = tau (1 + f t / rho^2)
    // / D, with D = 1 + t tau / rho and f the step's result.
    void (*derivative)(int n, const double* rho, const double* tau, const double* top, int stride,
                       double* grad);
};

const LaneKernels& ScalarLaneKernels();
#if defined(GANTREL_X86_LANES)
const LaneKernels& Avx2LaneKernels();
const LaneKernels& Avx512LaneKernels();
#endif

}  // namespace gantrel_lanes

// The kernels, written once over a vector type V: each instantiating file defines its V and
// includes this part with GANTREL_LANES_BODY defined.
#if defined(GANTREL_LANES_BODY)
namespace {

template <class V>
inline typename V::T Step(typename V::T rho, typename V::T tau, typename V::T t) {
    return V::Div(V::Add(V::Mul(rho, tau), t), V::Add(V::Set(1.0), V::Div(V::Mul(t, tau), rho)));
}

template <class V>
void Recurrence(int n, const double* rho, const double* tau, double* top, int stride) {
    double* bottom = top + (n - 1) * stride;
    const typename V::T half = V::Set(rho[n - 1]);
    for (int l = 0; l < stride; l += V::kWidth) V::Store(bottom + l, half);
    for (int i = n - 2; i >= 0; --i) {
        const typename V::T r = V::Set(rho[i]);
        const double* ti = tau + i * stride;
        const double* below = top + (i + 1) * stride;
        double* t = top + i * stride;
        for (int l = 0; l < stride; l += V::kWidth)
            V::Store(t + l, Step<V>(r, V::Load(ti + l), V::Load(below + l)));
    }
}

// Layer by layer over every block still walking, so that the steps of different blocks are
// independent work (one block's walk alone is a chain of dependent divisions).
template <class V>
void Perturbed(int n, int q, double rhoQ, const double* rho, const double* tau, const double* top,
               int stride, double* surface) {
    constexpr int kMaxBlocks = 4 * 100 * 18 / V::kWidth + 1;  // 4 distances a row, 100 rows
    int walking[kMaxBlocks];
    int nWalking = 0;
    const typename V::T rq = V::Set(rhoQ);
    for (int l = 0; l < stride; l += V::kWidth) {
        const typename V::T t = q == n - 1 ? rq
                                           : Step<V>(rq, V::Load(tau + q * stride + l),
                                                     V::Load(top + (q + 1) * stride + l));
        V::Store(surface + l, t);
        walking[nWalking++] = l;
    }
    for (int level = q;; --level) {
        const double* kept = top + level * stride;
        if (level < q) {
            const typename V::T r = V::Set(rho[level]);
            const double* ti = tau + level * stride;
            for (int b = 0; b < nWalking; ++b) {
                const int l = walking[b];
                V::Store(surface + l, Step<V>(r, V::Load(ti + l), V::Load(surface + l)));
            }
        }
        // A block that rejoined the kept values gives the kept values at every layer above.
        int still = 0;
        for (int b = 0; b < nWalking; ++b) {
            const int l = walking[b];
            if (V::SameBits(V::Load(surface + l), V::Load(kept + l)))
                V::Store(surface + l, V::Load(top + l));
            else
                walking[still++] = l;
        }
        nWalking = still;
        if (nWalking == 0 || level == 0) break;
    }
}

template <class V>
void Divide(const double* in, const double* r, double* out, int count) {
    for (int l = 0; l < count; l += V::kWidth)
        V::Store(out + l, V::Div(V::Load(in + l), V::Load(r + l)));
}

template <class V>
void Derivative(int n, const double* rho, const double* tau, const double* top, int stride,
                double* grad) {
    using T = typename V::T;
    const T one = V::Set(1.0);
    for (int l = 0; l < stride; l += V::kWidth) {
        T chain = one;  // d T(surface) / d T(top of layer i)
        for (int i = 0; i < n - 1; ++i) {
            const T r = V::Set(rho[i]);
            const T ta = V::Load(tau + i * stride + l);
            const T below = V::Load(top + (i + 1) * stride + l);
            const T f = V::Load(top + i * stride + l);
            const T d = V::Add(one, V::Div(V::Mul(below, ta), r));
            const T dRho =
                V::Div(V::Mul(ta, V::Add(one, V::Div(V::Mul(f, below), V::Mul(r, r)))), d);
            V::Store(grad + i * stride + l, V::Mul(chain, dRho));
            chain = V::Mul(chain, V::Div(V::Sub(one, V::Mul(ta, ta)), V::Mul(d, d)));
        }
        V::Store(grad + (n - 1) * stride + l, chain);
    }
}

template <class V>
constexpr gantrel_lanes::LaneKernels MakeKernels() {
    return {&Recurrence<V>, &Perturbed<V>, &Divide<V>, &Derivative<V>};
}

}  // namespace
#endif
