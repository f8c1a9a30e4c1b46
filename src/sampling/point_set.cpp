// The point set's full message and the range test shared by the sampling and the
// driver.
#include "sampling/point_set.h"

#include <cmath>
#include <cstdio>

namespace designopt {

void reportPointSetFull() {
  std::printf("\n The point set is full (%d points); no more points are added.\n",
              kPointCapacity);
}

bool rangesUnchanged(int n, const DVector& prevLower, const DVector& prevUpper,
                     const DVector& curLower, const DVector& curUpper) {
  for (int i = 1; i <= n; ++i) {
    if (!(std::fabs(curLower[i] - prevLower[i]) < kRangeTolerance &&
          std::fabs(curUpper[i] - prevUpper[i]) < kRangeTolerance)) {
      return false;
    }
  }
  return true;
}

}  // namespace designopt
