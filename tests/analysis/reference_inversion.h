// Two references for the one-dimensional inversion.
//
// ReferenceInvert: the program's iteration written as plainly as it can be, on the library's
// straight forward model: every trial model is a whole copy. The program's inverter must
// agree with it bit for bit; the benchmark measures its speed against it.
//
// IndependentInvert: the same algorithm written again from its description, sharing no
// arithmetic with the program: the filter evaluated per electrode distance, tau as tanh, the
// recurrence rearranged, the normal equations solved by Cholesky factors. Both are double
// precision throughout, so they may differ only by rounding; results that depend on rounding
// show up as a difference between them.
#pragma once

#include <array>
#include <cmath>
#include <vector>

#include "analysis/inversion.h"

inline float ReferenceInvert(LayerModel& model, SoundingData& s, const InversionSettings& st,
                             std::vector<float>* misfits) {
    const int n = model.nLayer, m = s.nData, rows = m + n - 1;
    const double dd = st.dDifference;
    LayerModelDouble work = ToDouble(model);
    std::vector<double> p(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j) p[j] = std::log10(work.dResistivity[j]);
    CBlockMatrix<double> J, N;
    if (!J.Allocate(n, rows) || !N.Allocate(n, n)) return -1.0f;
    std::vector<double> e(static_cast<size_t>(rows), 0.0), g(static_cast<size_t>(n));
    std::vector<double> c(static_cast<size_t>(m)), tc(static_cast<size_t>(m));
    auto positive = [](double v) {
        const float f = static_cast<float>(v);
        return std::isfinite(f) && f > 0.0f;
    };
    for (int it = 0; it < st.nIteration; ++it) {
        ForwardModel(work, s, c);
        const float misfit = LogMisfit(s, c, e);
        if (misfits) misfits->push_back(misfit);
        for (int q = 0; q < n; ++q) {
            LayerModelDouble trial = work;
            trial.dResistivity[q] = std::pow(10.0, p[q] + dd);
            ForwardModel(trial, s, tc);
            for (int k = 0; k < m; ++k) J[q][k] = (std::log10(tc[k]) - std::log10(c[k])) / dd;
            for (int r = m; r < rows; ++r) J[q][r] = 0.0;
            if (q >= 1) J[q][m + q - 1] = -st.dRegularization;
            if (q <= n - 2) J[q][m + q] = st.dRegularization;
        }
        for (int r = m; r < rows; ++r) e[r] = 0.0;
        NormalMatrix(J, N, n, rows);
        NormalRightHandSide(J, e, g, n, rows);
        for (int i = 0; i < n; ++i) N[i][i] += st.dDamping;
        if (SolveNormal(N, g, n, 1e-6) != GaussStatus::Solved) continue;
        LayerModelDouble next = work;
        std::vector<double> nextP(p);
        bool ok = true;
        for (int j = 0; j < n; ++j) {
            nextP[j] = p[j] + st.dAlpha * g[j];
            next.dResistivity[j] = std::pow(10.0, nextP[j]);
            ok = ok && std::isfinite(nextP[j]) && positive(next.dResistivity[j]);
        }
        if (ok) {
            ForwardModel(next, s, tc);
            for (int k = 0; k < m; ++k) ok = ok && positive(tc[k]);
        }
        if (ok) {
            work = next;
            p = nextP;
        }
    }
    for (int j = 0; j < n; ++j) {
        model.fResistivity[j] = static_cast<float>(work.dResistivity[j]);
        model.fLogResistivity[j] = static_cast<float>(p[j]);
    }
    return SoundingMisfit(model, s);
}

// ---------------------------------------------------------------------------------------------

namespace independent {

// The filter, copied from its table.
inline constexpr double kX[18] = {0.000706015, 0.00152106, 0.00327703, 0.00706015, 0.0152106,
                                  0.0327703,   0.0706015,  0.152106,   0.327703,   0.706015,
                                  1.52106,     3.27703,    7.06015,    15.2106,    32.7703,
                                  70.6015,     152.106,    327.703};
inline constexpr double kW[18] = {0.00112, 0.000661, 0.00281,  0.00529, 0.0116,   0.0254,
                                  0.0532,  0.118,    0.238,    0.492,   0.543,    -0.612,
                                  0.142,   -0.0276,  0.00794,  -0.00275, 0.000923, -0.000219};

struct Model {
    std::vector<double> rho, h;  // h: layers 0..n-2
};

// T at the surface for lambda: (1 - E) / (1 + E) with E = exp(-2 lambda h) is tanh(lambda h),
// and (rho tau + T) / (1 + T tau / rho) is rho (T + rho tau) / (rho + T tau).
inline double Transform(const Model& model, double lambda) {
    const size_t n = model.rho.size();
    double t = model.rho[n - 1];
    for (size_t i = n - 1; i-- > 0;) {
        const double tau = std::tanh(lambda * model.h[i]);
        const double rho = model.rho[i];
        t = rho * (t + rho * tau) / (rho + t * tau);
    }
    return t;
}

// The filter sum taken distance by distance: sum over a of sign_a / r_a sum_j w_j T(x_j / r_a).
inline double Response(const Model& model, const std::array<float, 4>& r) {
    const double sign[4] = {1.0, -1.0, -1.0, 1.0};
    double s = 0.0, geometry = 0.0;
    for (int a = 0; a < 4; ++a) {
        const double ra = r[a];
        double part = 0.0;
        for (int j = 17; j >= 0; --j) part += kW[j] * Transform(model, kX[j] / ra);
        s += sign[a] * part / ra;
        geometry += sign[a] / ra;
    }
    return s / geometry;
}

// Solves A x = b for a symmetric positive definite A (row-major n x n) by its Cholesky
// factors; false when a pivot is not positive.
inline bool SolveCholesky(std::vector<double> a, std::vector<double>& b, int n) {
    for (int j = 0; j < n; ++j) {
        double d = a[j * n + j];
        for (int k = 0; k < j; ++k) d -= a[j * n + k] * a[j * n + k];
        if (!(d > 0.0)) return false;
        a[j * n + j] = std::sqrt(d);
        for (int i = j + 1; i < n; ++i) {
            double v = a[i * n + j];
            for (int k = 0; k < j; ++k) v -= a[i * n + k] * a[j * n + k];
            a[i * n + j] = v / a[j * n + j];
        }
    }
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < i; ++k) b[i] -= a[i * n + k] * b[k];
        b[i] /= a[i * n + i];
    }
    for (int i = n - 1; i >= 0; --i) {
        for (int k = i + 1; k < n; ++k) b[i] -= a[k * n + i] * b[k];
        b[i] /= a[i * n + i];
    }
    return true;
}

}  // namespace independent

// The whole iteration on model (float in, the result rounded to float out) and the sounding's
// distances and observed values. Returns the misfit of each iteration's starting model, then
// that of the final double-precision model.
inline std::vector<double> IndependentInvert(LayerModel& model, const SoundingData& s,
                                             const InversionSettings& st) {
    using namespace independent;
    const int n = model.nLayer, m = s.nData;
    Model work;
    for (int j = 0; j < n; ++j) work.rho.push_back(model.fResistivity[j]);
    for (int j = 0; j + 1 < n; ++j) work.h.push_back(model.fThickness[j]);
    std::vector<double> p(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j) p[j] = std::log10(work.rho[j]);
    std::vector<double> log;
    auto responses = [&](const Model& mod, std::vector<double>& out) {
        out.resize(static_cast<size_t>(m));
        for (int k = 0; k < m; ++k) out[k] = Response(mod, s.row[k].fR);
    };
    auto misfit = [&](const std::vector<double>& c, std::vector<double>* residual) {
        double sum = 0.0;
        for (int k = 0; k < m; ++k) {
            const double e = std::log10(double{s.row[k].fObserved}) - std::log10(c[k]);
            if (residual) (*residual)[k] = e;
            sum += e * e;
        }
        return std::sqrt(sum / m);
    };
    std::vector<double> c, tc, e(static_cast<size_t>(m));
    // Jacobian by unknown: d[q][k], k < m data rows.
    std::vector<std::vector<double>> d(static_cast<size_t>(n), std::vector<double>(m));
    for (int it = 0; it < st.nIteration; ++it) {
        responses(work, c);
        log.push_back(misfit(c, &e));
        for (int q = 0; q < n; ++q) {
            Model trial = work;
            trial.rho[q] = std::pow(10.0, p[q] + st.dDifference);
            responses(trial, tc);
            for (int k = 0; k < m; ++k)
                d[q][k] = (std::log10(tc[k]) - std::log10(c[k])) / st.dDifference;
        }
        // The smoothing row r reads reg (p_r - p_r+1), residual 0: it adds reg^2 to the
        // diagonal at r and r+1 and -reg^2 between them.
        const double w = st.dRegularization * st.dRegularization;
        std::vector<double> a(static_cast<size_t>(n * n), 0.0), g(static_cast<size_t>(n), 0.0);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                double v = 0.0;
                for (int k = 0; k < m; ++k) v += d[i][k] * d[j][k];
                a[i * n + j] = v;
            }
            for (int k = 0; k < m; ++k) g[i] += d[i][k] * e[k];
        }
        for (int r = 0; r + 1 < n; ++r) {
            a[r * n + r] += w;
            a[(r + 1) * n + r + 1] += w;
            a[r * n + r + 1] -= w;
            a[(r + 1) * n + r] -= w;
        }
        for (int i = 0; i < n; ++i) a[i * n + i] += st.dDamping;
        if (n < 2 || !SolveCholesky(a, g, n)) continue;
        for (int j = 0; j < n; ++j) {
            p[j] += st.dAlpha * g[j];
            work.rho[j] = std::pow(10.0, p[j]);
        }
    }
    responses(work, c);
    log.push_back(misfit(c, nullptr));
    for (int j = 0; j < n; ++j) {
        model.fResistivity[j] = static_cast<float>(work.rho[j]);
        model.fLogResistivity[j] = static_cast<float>(p[j]);
    }
    return log;
}
