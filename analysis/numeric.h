// Numeric building blocks of the analysis commands: zero-based blocks (re-exported from the
// store's storage), one-based arrays for the map interpolation, a three-dimensional float
// array for the map grids, the normal-equation products and Gaussian elimination of the
// one-dimensional inversion, and the banded Cholesky solver of the map interpolation.
//
// Nothing here throws or ends the program. Allocation reports failure by returning false
// (the one-based allocators also write their historic one-line note to standard output);
// the solvers return a status. The caller tells the user and stops, leaving the document as
// it was.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "sectionfiles/block_matrix.h"

// ---------------------------------------------------------------------------------------------
// Three-dimensional float (or other) array with index ranges 0..p, 0..q, 0..r, contiguous and
// zero-filled. Used for the map grids: [slice][x node][y node].
template <typename T>
class CBlockArray3 {
public:
    // False when the size is refused or the memory cannot be had; the array is unchanged.
    [[nodiscard]] bool Allocate(int p, int q, int r) {
        const auto plane = BlockElementCount(q, r, sizeof(T));
        if (p < 0 || !plane) return false;
        const auto planes = static_cast<std::size_t>(p) + 1;
        if (*plane > kMaxBlockBytes / sizeof(T) / planes) return false;
        std::vector<T> fresh;
        if (!AllocVector(fresh, static_cast<long long>(*plane * planes))) return false;
        data_.swap(fresh);
        p_ = p;
        q_ = q;
        r_ = r;
        return true;
    }
    void Release() {
        std::vector<T>().swap(data_);
        p_ = q_ = r_ = -1;
    }
    bool IsAllocated() const { return p_ >= 0; }
    int P() const { return p_; }
    int Q() const { return q_; }
    int R() const { return r_; }
    // Unchecked element (i, j, k) with 0 <= i <= P(), 0 <= j <= Q(), 0 <= k <= R().
    T& operator()(int i, int j, int k) { return data_[Index(i, j, k)]; }
    const T& operator()(int i, int j, int k) const { return data_[Index(i, j, k)]; }
    void Fill(const T& value) {
        for (auto& x : data_) x = value;
    }

private:
    std::size_t Index(int i, int j, int k) const {
        const auto nq = static_cast<std::size_t>(q_) + 1, nr = static_cast<std::size_t>(r_) + 1;
        return (static_cast<std::size_t>(i) * nq + static_cast<std::size_t>(j)) * nr +
               static_cast<std::size_t>(k);
    }
    std::vector<T> data_;
    int p_ = -1, q_ = -1, r_ = -1;
};

// ---------------------------------------------------------------------------------------------
// One-based arrays of the map interpolation. A matrix with rows lo..hi and columns clo..chi is
// addressed m[i][j]; a vector with indexes lo..hi is addressed v[i]. Elements start at zero.
// Access is unchecked within the allocated ranges (Contains tells whether an index is inside).

template <typename T>
class COneBasedMatrix {
public:
    class Row {
    public:
        Row(T* first, long clo) : first_(first), clo_(clo) {}
        T& operator[](long j) const { return first_[j - clo_]; }

    private:
        T* first_;
        long clo_;
    };
    class ConstRow {
    public:
        ConstRow(const T* first, long clo) : first_(first), clo_(clo) {}
        const T& operator[](long j) const { return first_[j - clo_]; }

    private:
        const T* first_;
        long clo_;
    };

    // Failure codes of Allocate: 1 for an impossible row range, 2 for the element block.
    [[nodiscard]] int Allocate(long rlo, long rhi, long clo, long chi) {
        if (rhi < rlo) return 1;
        if (chi < clo) return 2;
        const auto count = BlockElementCount(rhi - rlo, chi - clo, sizeof(T));
        std::vector<T> fresh;
        if (!count || !AllocVector(fresh, static_cast<long long>(*count))) return 2;
        data_.swap(fresh);
        rlo_ = rlo;
        rhi_ = rhi;
        clo_ = clo;
        chi_ = chi;
        return 0;
    }
    bool IsAllocated() const { return !data_.empty(); }
    long RowLow() const { return rlo_; }
    long RowHigh() const { return rhi_; }
    long ColumnLow() const { return clo_; }
    long ColumnHigh() const { return chi_; }
    bool Contains(long i, long j) const {
        return IsAllocated() && i >= rlo_ && i <= rhi_ && j >= clo_ && j <= chi_;
    }
    Row operator[](long i) { return Row(data_.data() + Offset(i), clo_); }
    ConstRow operator[](long i) const { return ConstRow(data_.data() + Offset(i), clo_); }

private:
    std::size_t Offset(long i) const {
        return static_cast<std::size_t>(i - rlo_) * static_cast<std::size_t>(chi_ - clo_ + 1);
    }
    std::vector<T> data_;
    long rlo_ = 1, rhi_ = 0, clo_ = 1, chi_ = 0;
};

template <typename T>
class COneBasedVector {
public:
    [[nodiscard]] bool Allocate(long lo, long hi) {
        if (hi < lo) return false;
        std::vector<T> fresh;
        if (!AllocVector(fresh, static_cast<long long>(hi) - lo + 1)) return false;
        data_.swap(fresh);
        lo_ = lo;
        hi_ = hi;
        return true;
    }
    bool IsAllocated() const { return !data_.empty(); }
    long Low() const { return lo_; }
    long High() const { return hi_; }
    bool Contains(long i) const { return IsAllocated() && i >= lo_ && i <= hi_; }
    T& operator[](long i) { return data_[static_cast<std::size_t>(i - lo_)]; }
    const T& operator[](long i) const { return data_[static_cast<std::size_t>(i - lo_)]; }

private:
    std::vector<T> data_;
    long lo_ = 1, hi_ = 0;
};

// The named one-based allocators. On failure they write one line to standard output
// ("allocation failure 1 in fmatrix()", "allocation failure 2 in fmatrix()", the same for
// imatrix(), "allocation failure in fvector()" / "in ivector()") and return false; the
// operation that asked must then stop.
[[nodiscard]] bool fmatrix(COneBasedMatrix<float>& m, long rlo, long rhi, long clo, long chi);
[[nodiscard]] bool imatrix(COneBasedMatrix<int>& m, long rlo, long rhi, long clo, long chi);
[[nodiscard]] bool fvector(COneBasedVector<float>& v, long lo, long hi);
[[nodiscard]] bool ivector(COneBasedVector<int>& v, long lo, long hi);

// ---------------------------------------------------------------------------------------------
// Normal equations of the one-dimensional inversion.

// Workspace of one inversion for n unknowns (layers) and m equation rows.
struct LeastSquaresSystem {
    CBlockMatrix<double> normal;    // (n + 1) x (n + 1): J.J^T + damping; column n takes the
                                    // right-hand side while solving
    CBlockMatrix<double> jacobian;  // (n + 1) x (m + 1): row k = derivatives of the m
                                    // equation rows with respect to unknown k
    std::vector<double> residual;   // m entries
    std::vector<double> step;       // n entries: right-hand side in, solution out
    int n = 0;
    int m = 0;
    int nIteration = 0;

    // Sizes every array (zero-filled). False when n or m is below 1 or the memory cannot be
    // had; the workspace is then unusable.
    [[nodiscard]] bool Create(int nUnknown, int nRow, int iterations);
};

// N[i][j] = sum over k < m of J[i][k] * J[j][k] for 0 <= i, j < n, in double precision.
// False (N untouched) when J or N is too small for n and m.
bool NormalMatrix(const CBlockMatrix<double>& J, CBlockMatrix<double>& N, int n, int m);
// g[i] = sum over k < m of J[i][k] * r[k] for 0 <= i < n. False (g untouched) when an array
// is too small.
bool NormalRightHandSide(const CBlockMatrix<double>& J, std::span<const double> r,
                         std::span<double> g, int n, int m);

enum class GaussStatus : int {
    Solved = 0,
    SmallPivot = 1,          // a pivot below the tolerance; the array is partly reduced
    NoMemory = 99,           // the work array could not be allocated
    InvalidArguments = 999,  // stride < columns, n < 2, n >= columns or tolerance < 0
};

// Gaussian elimination with row exchanges on a row-major array of n rows of `stride`
// elements: columns 0..n-1 the coefficients, columns n..columns-1 right-hand sides, each
// replaced by its solution (in the order of the unknowns). Double precision throughout.
// A must hold n * stride elements.
GaussStatus SolveGauss(double* A, int stride, int n, int columns, double tolerance);

// Solves N.x = g for the n x n upper-left part of N: g is placed in column n of a square
// (n + 1) x (n + 1) work array, SolveGauss runs on it (n unknowns, n + 1 columns), the reduced
// array is copied back into N and g receives the solution. Returns SolveGauss's status (and
// InvalidArguments when N or g is too small for n).
GaussStatus SolveNormal(CBlockMatrix<double>& N, std::span<double> g, int n, double tolerance);
// The same on a workspace: system.normal and system.step with system.n unknowns.
GaussStatus SolveNormal(LeastSquaresSystem& system, double tolerance);

// ---------------------------------------------------------------------------------------------
// Banded Cholesky solver of the map interpolation.

inline constexpr int kBandedSolved = 0;
inline constexpr int kBandedInvalidArguments = -1;  // arrays smaller than N and w need
inline constexpr int kBandedNotPositive = -2;       // a pivot square <= 1e-10

// Solves M.u = b for a symmetric positive definite M of order N given as its upper band: row
// k (1..N) holds M[k][k], M[k][k+1], ... M[k][k+w] at positions 1..w+1 (w: half bandwidth).
// Single precision. M is overwritten with the Cholesky factor, b with u. On a pivot square
// <= 1e-10 writes "Can not solve \n" to standard output and returns kBandedNotPositive.
int SolveBanded(COneBasedMatrix<float>& M, COneBasedVector<float>& b, int N, int w);

// The same system in double precision, the solver the map interpolation uses: on its grids
// of 10,000 nodes the parts far from data are set by the smoothing alone, and a single-
// precision factor gets them wrong by up to tens of per cent in resistivity. The
// factor is formed row by row, each finished row updating the rows of the band below it, so
// that every inner loop runs along one contiguous row (the same arithmetic as above, in
// another order). Same storage, statuses and note.
int SolveBanded(COneBasedMatrix<double>& M, COneBasedVector<double>& b, int N, int w);
