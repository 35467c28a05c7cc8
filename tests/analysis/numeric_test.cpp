#include "analysis/numeric.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>

namespace {

TEST(SolveGauss, RefusesInvalidArgumentsAndLeavesArrayUnchanged) {
    double a[6] = {2, 1, 3, 1, 3, 5};
    EXPECT_EQ(SolveGauss(a, 3, 1, 3, 1e-6), GaussStatus::InvalidArguments);
    EXPECT_EQ(SolveGauss(a, 2, 2, 3, 1e-6), GaussStatus::InvalidArguments) << "stride < columns";
    EXPECT_EQ(SolveGauss(a, 3, 3, 3, 1e-6), GaussStatus::InvalidArguments) << "n >= columns";
    EXPECT_EQ(SolveGauss(a, 3, 2, 3, -1.0), GaussStatus::InvalidArguments);
    EXPECT_EQ(a[0], 2);
    EXPECT_EQ(a[5], 5);
}

TEST(SolveGauss, SolvesTwoByTwo) {
    double a[6] = {2, 1, 3, 1, 3, 5};
    ASSERT_EQ(SolveGauss(a, 3, 2, 3, 1e-6), GaussStatus::Solved);
    EXPECT_NEAR(a[2], 0.8, 1e-12);
    EXPECT_NEAR(a[5], 1.4, 1e-12);
}

TEST(SolveGauss, ReportsSmallPivotOnSingularMatrix) {
    double zero[6] = {};
    EXPECT_EQ(SolveGauss(zero, 3, 2, 3, 1e-6), GaussStatus::SmallPivot);
    double zeroTolerance[6] = {};
    EXPECT_EQ(SolveGauss(zeroTolerance, 3, 2, 3, 0.0), GaussStatus::SmallPivot)
        << "an exact zero pivot is never divided by";
}

TEST(SolveGauss, PivotsDownTheColumnSoASolvableSystemIsSolved) {
    // The largest element of row 0 lies in column 1, but column 0 below the diagonal is zero:
    // choosing the pivot row by that element would meet a zero pivot.
    double a[6] = {1, 5, 11, 0, 1, 2};
    ASSERT_EQ(SolveGauss(a, 3, 2, 3, 1e-6), GaussStatus::Solved);
    EXPECT_NEAR(a[2], 1.0, 1e-12);
    EXPECT_NEAR(a[5], 2.0, 1e-12);
}

TEST(NormalEquations, DampedLeastSquaresStepOfAnOverdeterminedSystem) {
    // Unknowns x0, x1; rows: x0 = 1, x1 = 2, x0 + x1 = 3 (consistent, so the answer is exact).
    LeastSquaresSystem s;
    ASSERT_TRUE(s.Create(2, 3, 1));
    s.jacobian[0][0] = 1;
    s.jacobian[0][2] = 1;
    s.jacobian[1][1] = 1;
    s.jacobian[1][2] = 1;
    s.residual = {1, 2, 3};
    ASSERT_TRUE(NormalMatrix(s.jacobian, s.normal, 2, 3));
    EXPECT_EQ(s.normal[0][0], 2.0);
    EXPECT_EQ(s.normal[0][1], 1.0);
    ASSERT_TRUE(NormalRightHandSide(s.jacobian, s.residual, s.step, 2, 3));
    EXPECT_EQ(s.step[0], 4.0);
    EXPECT_EQ(s.step[1], 5.0);
    ASSERT_EQ(SolveNormal(s, 1e-6), GaussStatus::Solved);
    EXPECT_NEAR(s.step[0], 1.0, 1e-12);
    EXPECT_NEAR(s.step[1], 2.0, 1e-12);
    EXPECT_NEAR(s.normal[0][2], 1.0, 1e-12) << "the reduced array is copied back";
}

TEST(NormalEquations, SingleUnknownIsReportedNotSolved) {
    CBlockMatrix<double> n;
    ASSERT_TRUE(AllocMatrixDouble(n, 1, 1));
    n[0][0] = 2;
    std::vector<double> g = {4};
    EXPECT_EQ(SolveNormal(n, g, 1, 1e-6), GaussStatus::InvalidArguments);
    EXPECT_EQ(g[0], 4.0);
    EXPECT_FALSE(LeastSquaresSystem{}.Create(0, 5, 1));
}

class BandedSolver : public ::testing::Test {
protected:
    // Upper band of a symmetric matrix given densely (one-based, order n, half bandwidth w).
    void SetBand(const std::vector<std::vector<double>>& dense, int w) {
        const int n = static_cast<int>(dense.size());
        ASSERT_TRUE(fmatrix(M, 1, n, 1, w + 1));
        for (int k = 1; k <= n; ++k)
            for (int j = k; j <= std::min(n, k + w); ++j)
                M[k][j - k + 1] = static_cast<float>(dense[k - 1][j - 1]);
    }
    COneBasedMatrix<float> M;
    COneBasedVector<float> b;
};

TEST_F(BandedSolver, SolvesTwoByTwo) {
    SetBand({{4, 2}, {2, 5}}, 1);
    ASSERT_TRUE(fvector(b, 1, 2));
    b[1] = 8;
    b[2] = 9;
    EXPECT_EQ(SolveBanded(M, b, 2, 1), kBandedSolved);
    EXPECT_FLOAT_EQ(b[1], 1.375f);
    EXPECT_FLOAT_EQ(b[2], 1.25f);
}

TEST_F(BandedSolver, SingularMatrixStopsAtRowTwoWithItsNote) {
    SetBand({{4, 2}, {2, 1}}, 1);
    ASSERT_TRUE(fvector(b, 1, 2));
    b[1] = 1;
    b[2] = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SolveBanded(M, b, 2, 1), kBandedNotPositive);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Can not solve \n");
    EXPECT_FLOAT_EQ(M[1][1], 2.0f) << "row 1 was factored before row 2 failed";
}

TEST_F(BandedSolver, ArraysTooSmallForTheOrderAreRefused) {
    SetBand({{4, 2}, {2, 5}}, 1);
    ASSERT_TRUE(fvector(b, 1, 2));
    EXPECT_EQ(SolveBanded(M, b, 3, 1), kBandedInvalidArguments);
    EXPECT_EQ(SolveBanded(M, b, 2, 2), kBandedInvalidArguments);
}

TEST_F(BandedSolver, AgreesWithDenseGaussOnRandomPositiveDefiniteBandMatrices) {
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 2 + trial % 25;
        const int w = 1 + trial % 6;
        // A = B.B^T + I with B lower-banded: symmetric positive definite, bandwidth <= w.
        std::vector<std::vector<double>> B(n, std::vector<double>(n, 0.0)), A = B;
        for (int i = 0; i < n; ++i)
            for (int j = std::max(0, i - w / 2); j <= i; ++j) B[i][j] = u(rng);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                double s = i == j ? 1.0 : 0.0;
                for (int k = 0; k < n; ++k) s += B[i][k] * B[j][k];
                // Kept to single precision, the values the banded solver sees.
                A[i][j] = static_cast<float>(s);
            }
        }
        std::vector<double> rhs(n);
        for (auto& v : rhs) v = static_cast<float>(u(rng) * 10.0);

        std::vector<double> dense(static_cast<size_t>(n) * (n + 1));
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) dense[i * (n + 1) + j] = A[i][j];
            dense[i * (n + 1) + n] = rhs[i];
        }
        ASSERT_EQ(SolveGauss(dense.data(), n + 1, n, n + 1, 1e-12), GaussStatus::Solved);

        SetBand(A, w);
        ASSERT_TRUE(fvector(b, 1, n));
        for (int i = 1; i <= n; ++i) b[i] = static_cast<float>(rhs[i - 1]);
        ASSERT_EQ(SolveBanded(M, b, n, w), kBandedSolved) << "trial " << trial;
        double scale = 0.0;
        for (int i = 0; i < n; ++i) scale = std::max(scale, std::fabs(dense[i * (n + 1) + n]));
        for (int i = 1; i <= n; ++i)
            EXPECT_NEAR(b[i], dense[(i - 1) * (n + 1) + n], 1e-4 * scale + 1e-5)
                << "trial " << trial << " n " << n << " w " << w << " i " << i;
    }
}

// The double-precision solver forms the same factor in another order: the same answers,
// statuses and note, and agreement with the single-precision one on well-conditioned bands.
TEST(BandedSolverDouble, MatchesTheSinglePrecisionSolverOnItsCases) {
    COneBasedMatrix<double> M;
    COneBasedVector<double> b;
    ASSERT_EQ(M.Allocate(1, 2, 1, 2), 0);
    ASSERT_TRUE(b.Allocate(1, 2));
    M[1][1] = 4, M[1][2] = 2, M[2][1] = 5;
    b[1] = 8, b[2] = 9;
    EXPECT_EQ(SolveBanded(M, b, 2, 1), kBandedSolved);
    EXPECT_DOUBLE_EQ(b[1], 1.375);
    EXPECT_DOUBLE_EQ(b[2], 1.25);

    M[1][1] = 4, M[1][2] = 2, M[2][1] = 1;
    b[1] = 1, b[2] = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SolveBanded(M, b, 2, 1), kBandedNotPositive);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Can not solve \n");
    EXPECT_EQ(SolveBanded(M, b, 3, 1), kBandedInvalidArguments);

    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int n = 60, w = 7;
    COneBasedMatrix<float> Mf;
    COneBasedVector<float> bf;
    ASSERT_TRUE(fmatrix(Mf, 1, n, 1, w + 1));
    ASSERT_TRUE(fvector(bf, 1, n));
    ASSERT_EQ(M.Allocate(1, n, 1, w + 1), 0);
    ASSERT_TRUE(b.Allocate(1, n));
    for (int k = 1; k <= n; ++k) {
        // Diagonally dominant: positive definite and well conditioned.
        for (int d = 1; d <= w + 1 && k + d - 1 <= n; ++d)
            Mf[k][d] = static_cast<float>(d == 1 ? 2.0 * w + 2.0 : u(rng));
        bf[k] = static_cast<float>(u(rng) * 5.0);
    }
    for (int k = 1; k <= n; ++k) {
        for (int d = 1; d <= w + 1; ++d) M[k][d] = Mf[k][d];
        b[k] = bf[k];
    }
    ASSERT_EQ(SolveBanded(Mf, bf, n, w), kBandedSolved);
    ASSERT_EQ(SolveBanded(M, b, n, w), kBandedSolved);
    for (int k = 1; k <= n; ++k) EXPECT_NEAR(b[k], bf[k], 1e-5) << k;
}

TEST(OneBasedArrays, IndexFromTheirLowBounds) {
    COneBasedMatrix<int> m;
    ASSERT_TRUE(imatrix(m, 1, 3, 5, 7));
    m[1][5] = 1;
    m[3][7] = 9;
    EXPECT_EQ(m[1][5], 1);
    EXPECT_EQ(m[2][6], 0);
    EXPECT_EQ(m[3][7], 9);
    COneBasedVector<int> v;
    ASSERT_TRUE(ivector(v, 1, 4));
    v[4] = 2;
    EXPECT_EQ(v[4], 2);
    EXPECT_EQ(v[1], 0);
}

TEST(OneBasedArrays, AllocationFailureIsReportedInTheHistoricWords) {
    COneBasedMatrix<float> f;
    COneBasedMatrix<int> i;
    COneBasedVector<float> fv;
    COneBasedVector<int> iv;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(fmatrix(f, 5, 4, 1, 2));
    EXPECT_FALSE(fmatrix(f, 1, 1L << 40, 1, 1L << 20));
    EXPECT_FALSE(imatrix(i, 1, LONG_MAX, 1, LONG_MAX));
    EXPECT_FALSE(fvector(fv, 1, 1L << 62));
    EXPECT_FALSE(ivector(iv, 2, 1));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "allocation failure 1 in fmatrix()\n"
              "allocation failure 2 in fmatrix()\n"
              "allocation failure 2 in imatrix()\n"
              "allocation failure in fvector()\n"
              "allocation failure in ivector()\n");
    EXPECT_FALSE(f.IsAllocated());
}

TEST(BlockArray3, IsZeroFilledAndRefusesImpossibleSizes) {
    CBlockArray3<float> a;
    ASSERT_TRUE(a.Allocate(2, 3, 4));
    EXPECT_EQ(a(2, 3, 4), 0.0f);
    a(1, 2, 3) = 5.0f;
    EXPECT_EQ(a(1, 2, 3), 5.0f);
    EXPECT_EQ(a(1, 2, 2), 0.0f);
    EXPECT_FALSE(a.Allocate(INT_MAX, INT_MAX, INT_MAX));
    EXPECT_FALSE(a.Allocate(1 << 20, 1 << 10, 1 << 10));
    EXPECT_EQ(a(1, 2, 3), 5.0f) << "a refused size keeps the old array";
}

}  // namespace
