// Allocation, release and the fatal numeric error of the one-based arrays.
#include "numeric/one_based.h"

#include <cstdio>
#include <cstdlib>
#include <type_traits>

namespace designopt {

namespace {
ArrayAllocator currentAllocator = nullptr;

template <typename T>
const char* vectorFailureMessage() {
  return std::is_same_v<T, double> ? "allocation failure in dvector()"
                                   : "allocation failure in ivector()";
}
}  // namespace

void numericFatal(const char* text) {
  std::fprintf(stderr, "Numeric run-time error...\n");
  std::fprintf(stderr, "%s\n", text);
  std::fprintf(stderr, "...now exiting to system...\n");
  std::exit(1);
}

void setArrayAllocatorForTesting(ArrayAllocator allocator) { currentAllocator = allocator; }

void* allocateArrayBlock(std::size_t bytes) {
  // A zero-byte request still needs a distinct block so that release is uniform.
  if (bytes == 0) bytes = 1;
  return currentAllocator != nullptr ? currentAllocator(bytes) : std::malloc(bytes);
}

void releaseArrayBlock(void* block) { std::free(block); }

template <typename T>
OneBasedVector<T>::OneBasedVector(int lo, int hi) : lo_(lo), hi_(hi) {
  // hi - lo + 2 elements: the range plus the spare element, sized in 32-bit arithmetic.
  const std::int32_t count = hi - lo + 2;
  if (count < 1) numericFatal(vectorFailureMessage<T>());
  block_ = static_cast<T*>(allocateArrayBlock(static_cast<std::size_t>(count) * sizeof(T)));
  if (block_ == nullptr) numericFatal(vectorFailureMessage<T>());
}

template <typename T>
OneBasedMatrix<T>::OneBasedMatrix(int rlo, int rhi, int clo, int chi)
    : rlo_(rlo), rhi_(rhi), clo_(clo), chi_(chi) {
  const std::int32_t nrow = rhi - rlo + 1;
  const std::int32_t ncol = chi - clo + 1;
  if (nrow < 0 || ncol < 0) numericFatal("allocation failure 1 in matrix()");

  rows_ = static_cast<T**>(allocateArrayBlock(static_cast<std::size_t>(nrow + 1) * sizeof(T*)));
  if (rows_ == nullptr) numericFatal("allocation failure 1 in matrix()");

  const std::int32_t elements = nrow * ncol + 1;
  data_ = static_cast<T*>(allocateArrayBlock(static_cast<std::size_t>(elements) * sizeof(T)));
  if (data_ == nullptr) numericFatal("allocation failure 2 in matrix()");

  // Row rlo addresses the data block's second element as column clo; every later
  // row follows the previous one by ncol elements.
  for (std::int32_t r = 0; r < nrow; ++r) {
    rows_[r + 1] = data_ + 1 + static_cast<std::ptrdiff_t>(r) * ncol - clo;
  }
  rows_[0] = nullptr;
}

template class OneBasedVector<double>;
template class OneBasedVector<std::int32_t>;
template class OneBasedMatrix<double>;
template class OneBasedMatrix<std::int32_t>;

DVector dvector(int lo, int hi) { return DVector(lo, hi); }
IVector ivector(int lo, int hi) { return IVector(lo, hi); }
DMatrix matrix(int rlo, int rhi, int clo, int chi) { return DMatrix(rlo, rhi, clo, chi); }
IMatrix intMatrix(int rlo, int rhi, int clo, int chi) { return IMatrix(rlo, rhi, clo, chi); }

void releaseDVector(DVector& v, int, int) { v.release(); }
void releaseIVector(IVector& v, int, int) { v.release(); }
void releaseMatrix(DMatrix& m, int, int, int, int) { m.release(); }
void releaseIntMatrix(IMatrix& m, int, int, int, int) { m.release(); }

}  // namespace designopt
