// The process-wide product record and the evaluation counters: static storage, zero
// at start-up and never freed, shared by the console, the driver and the objective.
#include "product/product_record.h"

#include "product/evaluation_counters.h"

namespace designopt {

ProductSpec productSpec;

int evaluationCount = 0;
int evaluationsToOptimum = 0;

}  // namespace designopt
