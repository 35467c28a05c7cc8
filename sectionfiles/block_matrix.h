// Zero-based two-dimensional blocks, the storage of the section and model store, the gridding
// work arrays, the initial model and the inversion.
//
// A block asked for with (rows r, columns c) has r + 1 rows of c + 1 elements: indexes run
// 0..r and 0..c and every element starts at zero (value-initialised). The spare last row and
// column are never used by the callers; they keep the sizes the stored files were made with.
// The elements are one contiguous std::vector, so the storage is released with the object.
//
// Allocation never ends the program: Allocate reports failure (an impossible size, a byte
// count past kMaxBlockBytes, or the system refusing the memory) by returning false and leaves
// the block as it was, so the command that asked can tell the user and stop.
#pragma once

#include <cstddef>
#include <new>
#include <optional>
#include <stdexcept>
#include <vector>

// Largest block the suite ever asks for is well below this (the map interpolation's band
// matrix, about 0.8 GB at worst); a request above it is a fault in the sizes, refused before
// any memory is touched.
inline constexpr std::size_t kMaxBlockBytes = std::size_t{1} << 34;  // 16 GiB

// Number of elements of an (rows + 1) x (columns + 1) block of elements of elementSize bytes;
// nullopt when rows or columns is negative or the byte count overflows or exceeds
// kMaxBlockBytes.
std::optional<std::size_t> BlockElementCount(long long rows, long long columns,
                                             std::size_t elementSize);

template <typename T>
class CBlockMatrix {
public:
    // Replaces the block with a zero-filled (rows + 1) x (columns + 1) one. False when the
    // size is refused or the memory cannot be had; the block is then unchanged.
    [[nodiscard]] bool Allocate(int rows, int columns) {
        const auto count = BlockElementCount(rows, columns, sizeof(T));
        if (!count) return false;
        std::vector<T> fresh;
        try {
            fresh.resize(*count);
        } catch (const std::bad_alloc&) {
            return false;
        } catch (const std::length_error&) {
            return false;
        }
        data_.swap(fresh);
        stride_ = static_cast<std::size_t>(columns) + 1;
        rows_ = rows;
        columns_ = columns;
        return true;
    }
    void Release() {
        std::vector<T>().swap(data_);
        stride_ = 0;
        rows_ = columns_ = -1;
    }
    bool IsAllocated() const { return rows_ >= 0; }
    // Last valid row and column index (the r and c of Allocate); -1 when not allocated.
    int Rows() const { return rows_; }
    int Columns() const { return columns_; }
    // Elements per row (columns + 1).
    std::size_t Stride() const { return stride_; }

    // Row i as a pointer to its first element: m[i][j] for 0 <= i <= Rows(), 0 <= j <= Columns().
    // Unchecked, as the callers keep their indexes within the counts they were sized for.
    T* operator[](int i) { return data_.data() + static_cast<std::size_t>(i) * stride_; }
    const T* operator[](int i) const {
        return data_.data() + static_cast<std::size_t>(i) * stride_;
    }
    // Checked access for code that walks sizes read from outside (files).
    bool Contains(int i, int j) const { return i >= 0 && i <= rows_ && j >= 0 && j <= columns_; }

    T* Data() { return data_.data(); }
    const T* Data() const { return data_.data(); }
    void Fill(const T& value) {
        for (auto& x : data_) x = value;
    }

private:
    std::vector<T> data_;
    std::size_t stride_ = 0;
    int rows_ = -1;
    int columns_ = -1;
};

// The named allocators of the analysis code: a zero-filled (rows + 1) x (columns + 1) block of
// 4-byte (float or int) or 8-byte (double) elements. False when it cannot be allocated.
[[nodiscard]] inline bool AllocMatrix(CBlockMatrix<float>& m, int rows, int columns) {
    return m.Allocate(rows, columns);
}
[[nodiscard]] inline bool AllocMatrix(CBlockMatrix<int>& m, int rows, int columns) {
    return m.Allocate(rows, columns);
}
[[nodiscard]] inline bool AllocMatrixDouble(CBlockMatrix<double>& m, int rows, int columns) {
    return m.Allocate(rows, columns);
}

// Allocates a std::vector of count value-initialised elements; false (vector unchanged) when
// count is negative, past kMaxBlockBytes, or refused by the system.
template <typename T>
[[nodiscard]] bool AllocVector(std::vector<T>& v, long long count) {
    if (count < 0 || static_cast<unsigned long long>(count) > kMaxBlockBytes / sizeof(T))
        return false;
    std::vector<T> fresh;
    try {
        fresh.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    v.swap(fresh);
    return true;
}
