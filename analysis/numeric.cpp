#include "analysis/numeric.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

template <typename T>
bool AllocOneBasedMatrix(COneBasedMatrix<T>& m, long rlo, long rhi, long clo, long chi,
                         const char* name) {
    const int failure = m.Allocate(rlo, rhi, clo, chi);
    if (failure == 0) return true;
    std::printf("allocation failure %d in %s()\n", failure, name);
    std::fflush(stdout);
    return false;
}

template <typename T>
bool AllocOneBasedVector(COneBasedVector<T>& v, long lo, long hi, const char* name) {
    if (v.Allocate(lo, hi)) return true;
    std::printf("allocation failure in %s()\n", name);
    std::fflush(stdout);
    return false;
}

}  // namespace

bool fmatrix(COneBasedMatrix<float>& m, long rlo, long rhi, long clo, long chi) {
    return AllocOneBasedMatrix(m, rlo, rhi, clo, chi, "fmatrix");
}
bool imatrix(COneBasedMatrix<int>& m, long rlo, long rhi, long clo, long chi) {
    return AllocOneBasedMatrix(m, rlo, rhi, clo, chi, "imatrix");
}
bool fvector(COneBasedVector<float>& v, long lo, long hi) {
    return AllocOneBasedVector(v, lo, hi, "fvector");
}
bool ivector(COneBasedVector<int>& v, long lo, long hi) {
    return AllocOneBasedVector(v, lo, hi, "ivector");
}

bool LeastSquaresSystem::Create(int nUnknown, int nRow, int iterations) {
    n = m = nIteration = 0;
    if (nUnknown < 1 || nRow < 1) return false;
    if (!AllocMatrixDouble(normal, nUnknown, nUnknown) ||
        !AllocMatrixDouble(jacobian, nUnknown, nRow) || !AllocVector(residual, nRow) ||
        !AllocVector(step, nUnknown))
        return false;
    n = nUnknown;
    m = nRow;
    nIteration = iterations;
    return true;
}

bool NormalMatrix(const CBlockMatrix<double>& J, CBlockMatrix<double>& N, int n, int m) {
    if (n < 0 || m < 0 || J.Rows() < n - 1 || J.Columns() < m - 1 || N.Rows() < n - 1 ||
        N.Columns() < n - 1)
        return false;
    // N is symmetric and a product does not depend on the order of its factors, so the upper
    // triangle is mirrored; four sums side by side (each still in the order of k) so that
    // they pipeline.
    for (int i = 0; i < n; ++i) {
        const double* a = J[i];
        int j = i;
        for (; j + 3 < n; j += 4) {
            const double *b0 = J[j], *b1 = J[j + 1], *b2 = J[j + 2], *b3 = J[j + 3];
            double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
            for (int k = 0; k < m; ++k) {
                s0 += a[k] * b0[k];
                s1 += a[k] * b1[k];
                s2 += a[k] * b2[k];
                s3 += a[k] * b3[k];
            }
            N[i][j] = N[j][i] = s0;
            N[i][j + 1] = N[j + 1][i] = s1;
            N[i][j + 2] = N[j + 2][i] = s2;
            N[i][j + 3] = N[j + 3][i] = s3;
        }
        for (; j < n; ++j) {
            const double* b = J[j];
            double s = 0.0;
            for (int k = 0; k < m; ++k) s += a[k] * b[k];
            N[i][j] = N[j][i] = s;
        }
    }
    return true;
}

bool NormalRightHandSide(const CBlockMatrix<double>& J, std::span<const double> r,
                         std::span<double> g, int n, int m) {
    if (n < 0 || m < 0 || J.Rows() < n - 1 || J.Columns() < m - 1 ||
        r.size() < static_cast<size_t>(m) || g.size() < static_cast<size_t>(n))
        return false;
    for (int i = 0; i < n; ++i) {
        double s = 0.0;
        for (int k = 0; k < m; ++k) s += J[i][k] * r[static_cast<size_t>(k)];
        g[static_cast<size_t>(i)] = s;
    }
    return true;
}

GaussStatus SolveGauss(double* A, int stride, int n, int columns, double tolerance) {
    if (A == nullptr || stride < columns || n < 2 || n >= columns || !(tolerance >= 0.0))
        return GaussStatus::InvalidArguments;
    std::vector<int> permutation;
    if (!AllocVector(permutation, n)) return GaussStatus::NoMemory;
    for (int i = 0; i < n; ++i) permutation[static_cast<size_t>(i)] = i;

    const auto s = static_cast<size_t>(stride);
    auto at = [&](int row, int col) -> double& {
        return A[static_cast<size_t>(row) * s + static_cast<size_t>(col)];
    };
    for (int j = 0; j < n; ++j) {
        // Partial pivoting: the largest magnitude in column j at or below the diagonal, the
        // first one on ties.
        int d = j;
        double largest = std::fabs(at(j, j));
        for (int r = j + 1; r < n; ++r) {
            if (std::fabs(at(r, j)) > largest) {
                largest = std::fabs(at(r, j));
                d = r;
            }
        }
        const double pivot = at(d, j);
        if (pivot == 0.0 || !(std::fabs(pivot) >= tolerance)) return GaussStatus::SmallPivot;
        if (d != j) {
            for (int c = 0; c < columns; ++c) std::swap(at(j, c), at(d, c));
            std::swap(permutation[static_cast<size_t>(j)], permutation[static_cast<size_t>(d)]);
        }
        for (int c = j; c < columns; ++c) at(j, c) /= pivot;
        for (int r = j + 1; r < n; ++r) {
            const double factor = at(r, j);
            if (factor == 0.0) continue;
            for (int c = j + 1; c < columns; ++c) at(r, c) -= factor * at(j, c);
        }
    }
    for (int k = n; k < columns; ++k) {
        for (int l = n - 2; l >= 0; --l) {
            double sum = 0.0;
            for (int m = l + 1; m < n; ++m) sum += at(l, m) * at(m, k);
            at(l, k) -= sum;
        }
    }
    return GaussStatus::Solved;
}

GaussStatus SolveNormal(CBlockMatrix<double>& N, std::span<double> g, int n, double tolerance) {
    if (n < 1 || N.Rows() < n - 1 || N.Columns() < n || g.size() < static_cast<size_t>(n))
        return GaussStatus::InvalidArguments;
    const int width = n + 1;
    std::vector<double> work;
    if (!AllocVector(work, static_cast<long long>(width) * width)) return GaussStatus::NoMemory;
    auto w = [&](int row, int col) -> double& {
        return work[static_cast<size_t>(row) * static_cast<size_t>(width) +
                    static_cast<size_t>(col)];
    };
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) w(i, j) = N[i][j];
        w(i, n) = g[static_cast<size_t>(i)];
    }
    const GaussStatus status = SolveGauss(work.data(), width, n, width, tolerance);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= n; ++j) N[i][j] = w(i, j);
    for (int i = 0; i < n; ++i) g[static_cast<size_t>(i)] = w(i, n);
    return status;
}

GaussStatus SolveNormal(LeastSquaresSystem& system, double tolerance) {
    return SolveNormal(system.normal, system.step, system.n, tolerance);
}

int SolveBanded(COneBasedMatrix<float>& M, COneBasedVector<float>& b, int N, int w) {
    if (N < 1 || w < 0 || !M.Contains(1, 1) || !M.Contains(N, w + 1) || !b.Contains(1) ||
        !b.Contains(N))
        return kBandedInvalidArguments;
    // Element (t, i) of the full symmetric matrix, t <= i <= t + w, in the band storage.
    auto band = [&M](int t, int i) -> float& { return M[t][i - t + 1]; };
    for (int i = 1; i <= N; ++i) {
        const int t0 = std::max(1, i - w);
        float c = b[i];
        float s = band(i, i);
        for (int t = t0; t < i; ++t) {
            c -= band(t, i) * b[t];
            s -= band(t, i) * band(t, i);
        }
        if (!(s > 1e-10)) {
            std::printf("Can not solve \n");
            std::fflush(stdout);
            return kBandedNotPositive;
        }
        band(i, i) = std::sqrt(s);
        b[i] = c / band(i, i);
        const int jEnd = std::min(N, i + w);
        for (int j = i + 1; j <= jEnd; ++j) {
            float sum = band(i, j);
            for (int t = std::max(1, j - w); t < i; ++t) sum -= band(t, i) * band(t, j);
            band(i, j) = sum / band(i, i);
        }
    }
    b[N] = b[N] / band(N, N);
    for (int i = N - 1; i >= 1; --i) {
        float sum = b[i];
        const int jEnd = std::min(N, i + w);
        for (int j = i + 1; j <= jEnd; ++j) sum -= band(i, j) * b[j];
        b[i] = sum / band(i, i);
    }
    return kBandedSolved;
}

int SolveBanded(COneBasedMatrix<double>& M, COneBasedVector<double>& b, int N, int w) {
    if (N < 1 || w < 0 || !M.Contains(1, 1) || !M.Contains(N, w + 1) || !b.Contains(1) ||
        !b.Contains(N))
        return kBandedInvalidArguments;
    // Row t of the band: r[d] = M(t, t + d) for d = 0..w.
    auto row = [&M](int t) { return &M[t][1]; };
    for (int i = 1; i <= N; ++i) {
        double* ri = row(i);
        // Every earlier row has already taken its share from this pivot and right-hand side.
        const double s = ri[0];
        if (!(s > 1e-10)) {
            std::printf("Can not solve \n");
            std::fflush(stdout);
            return kBandedNotPositive;
        }
        const double pivot = std::sqrt(s);
        ri[0] = pivot;
        const int reach = std::min(N, i + w) - i;
        for (int d = 1; d <= reach; ++d) ri[d] /= pivot;
        const double y = b[i] / pivot;
        b[i] = y;
        for (int dj = 1; dj <= reach; ++dj) {
            const double f = ri[dj];
            if (f == 0.0) continue;
            b[i + dj] -= f * y;
            double* rj = row(i + dj);
            const double* from = ri + dj;
            const int n = reach - dj;
            for (int dk = 0; dk <= n; ++dk) rj[dk] -= f * from[dk];
        }
    }
    b[N] = b[N] / row(N)[0];
    for (int i = N - 1; i >= 1; --i) {
        const double* ri = row(i);
        double sum = b[i];
        const int reach = std::min(N, i + w) - i;
        for (int d = 1; d <= reach; ++d) sum -= ri[d] * b[i + d];
        b[i] = sum / ri[0];
    }
    return kBandedSolved;
}
