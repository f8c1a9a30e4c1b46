// One-based numeric arrays and the fatal numeric error.
//
// All numeric work in designopt indexes vectors from a lower bound chosen at
// allocation (always 1 in this program): variable 1 is element 1, point 1 is row 1.
// Every vector owns one spare element just below its lower bound, so a vector 1..n
// holds n + 1 consecutive values at indices 0..n. The annealing searches hand that
// whole run, spare element included, to the engine as one point.
//
// The types own their storage (RAII); the allocation and release routines keep the
// system's own names so that each routine still reads "allocate, use, release".
// Storage comes from a replaceable allocator so that tests can make it fail.
#pragma once

#include <cstddef>
#include <cstdint>

namespace designopt {

// Writes the three-line fatal report on the standard error stream and ends the
// process with exit status 1 through exit(), so open streams (the run log) are flushed.
[[noreturn]] void numericFatal(const char* text);

// Test seam: the allocator behind every one-based array. nullptr restores malloc.
using ArrayAllocator = void* (*)(std::size_t bytes);
void setArrayAllocatorForTesting(ArrayAllocator allocator);
void* allocateArrayBlock(std::size_t bytes);
void releaseArrayBlock(void* block);

// Vector with indices lo..hi plus the spare element lo - 1.
template <typename T>
class OneBasedVector {
 public:
  OneBasedVector() = default;
  OneBasedVector(int lo, int hi);
  ~OneBasedVector() { release(); }
  OneBasedVector(OneBasedVector&& other) noexcept { moveFrom(other); }
  OneBasedVector& operator=(OneBasedVector&& other) noexcept {
    if (this != &other) {
      release();
      moveFrom(other);
    }
    return *this;
  }
  OneBasedVector(const OneBasedVector&) = delete;
  OneBasedVector& operator=(const OneBasedVector&) = delete;

  T& operator[](int i) { return block_[i - lo_ + 1]; }
  const T& operator[](int i) const { return block_[i - lo_ + 1]; }

  // The spare element: with lower bound 1 this is index 0, the start of the run of
  // n + 1 values that the annealing engine works on.
  T* data() { return block_; }
  const T* data() const { return block_; }

  int lo() const { return lo_; }
  int hi() const { return hi_; }
  bool allocated() const { return block_ != nullptr; }

  void release() {
    releaseArrayBlock(block_);
    block_ = nullptr;
  }

 private:
  void moveFrom(OneBasedVector& other) {
    block_ = other.block_;
    lo_ = other.lo_;
    hi_ = other.hi_;
    other.block_ = nullptr;
  }

  T* block_ = nullptr;
  int lo_ = 1;
  int hi_ = 0;
};

// Matrix with rows rlo..rhi and columns clo..chi in one contiguous data block:
// element (i, j) is data element 1 + (i - rlo) * ncol + (j - clo); element 0 and
// row-pointer entry 0 are spare. m[i] is the row pointer, so m[i][j] reads as usual.
template <typename T>
class OneBasedMatrix {
 public:
  OneBasedMatrix() = default;
  OneBasedMatrix(int rlo, int rhi, int clo, int chi);
  ~OneBasedMatrix() { release(); }
  OneBasedMatrix(OneBasedMatrix&& other) noexcept { moveFrom(other); }
  OneBasedMatrix& operator=(OneBasedMatrix&& other) noexcept {
    if (this != &other) {
      release();
      moveFrom(other);
    }
    return *this;
  }
  OneBasedMatrix(const OneBasedMatrix&) = delete;
  OneBasedMatrix& operator=(const OneBasedMatrix&) = delete;

  T* operator[](int i) { return rows_[i - rlo_ + 1]; }
  const T* operator[](int i) const { return rows_[i - rlo_ + 1]; }

  // The whole data block, spare element first.
  T* block() { return data_; }
  const T* block() const { return data_; }

  int rowLo() const { return rlo_; }
  int rowHi() const { return rhi_; }
  int colLo() const { return clo_; }
  int colHi() const { return chi_; }
  bool allocated() const { return rows_ != nullptr; }

  void release() {
    releaseArrayBlock(data_);
    releaseArrayBlock(rows_);
    data_ = nullptr;
    rows_ = nullptr;
  }

 private:
  void moveFrom(OneBasedMatrix& other) {
    rows_ = other.rows_;
    data_ = other.data_;
    rlo_ = other.rlo_;
    rhi_ = other.rhi_;
    clo_ = other.clo_;
    chi_ = other.chi_;
    other.rows_ = nullptr;
    other.data_ = nullptr;
  }

  T** rows_ = nullptr;
  T* data_ = nullptr;
  int rlo_ = 1;
  int rhi_ = 0;
  int clo_ = 1;
  int chi_ = 0;
};

using DVector = OneBasedVector<double>;
using IVector = OneBasedVector<std::int32_t>;
using DMatrix = OneBasedMatrix<double>;
using IMatrix = OneBasedMatrix<std::int32_t>;

DVector dvector(int lo, int hi);
IVector ivector(int lo, int hi);
DMatrix matrix(int rlo, int rhi, int clo, int chi);
IMatrix intMatrix(int rlo, int rhi, int clo, int chi);

// Release before the owner goes out of scope; the upper bounds are accepted and ignored.
void releaseDVector(DVector& v, int lo, int hi);
void releaseIVector(IVector& v, int lo, int hi);
void releaseMatrix(DMatrix& m, int rlo, int rhi, int clo, int chi);
void releaseIntMatrix(IMatrix& m, int rlo, int rhi, int clo, int chi);

}  // namespace designopt
