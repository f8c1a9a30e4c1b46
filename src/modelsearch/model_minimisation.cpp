// Model minimisation: publishes the fitted model in modelContext and runs the search
// sequence on it, either inside the box by a steep penalty (minimiseModel) or with the
// performance constraints added (optimiseConstrained).
#include "modelsearch/model_minimisation.h"

#include <cstdio>

#include "anneal/search_sequence.h"
#include "modelsearch/constraint_penalty.h"
#include "numeric/quad_model.h"

namespace designopt {

namespace {
constexpr double kTemperatureFactor = 1.2;      // cooling starts at 1.2 x the heated temperature
}  // namespace

double boxPenalty(const double* x) {
  // The squares are summed first and weighted once.
  double sum = 0.0;
  for (int i = 1; i <= modelContext.n; ++i) addBoxExcursions(x[i], sum);
  return kPenaltyWeight * sum;
}

double modelCost(const double* x) {
  const double penalty = boxPenalty(x);
  return penalty + modelValue(x);
}

double minimiseModel(int n, const DVector& coefs) {
  DVector start = dvector(1, n);
  std::printf("\n\n ---- Looking for the minimum of the fitted model ----\n");

  modelContext.n = n;
  modelContext.coefs = &coefs;
  const double result = annealingSearch(modelCost, start, n, kTemperatureFactor);

  std::fprintf(stderr, " The model min = %lf\n", result);
  releaseDVector(start, 1, n);
  return result;
}

double optimiseConstrained(int n, const DVector& lower, const DVector& upper,
                           const DVector& coefs, DVector& best) {
  DVector start = dvector(1, n);
  DVector halfWidths = dvector(1, n);
  DVector centres = dvector(1, n);
  std::printf("\n\n ======  Global Optimization with Constraints ===== \n");

  // The penalty maps normalised points to real units through these, for this search only.
  modelContext.n = n;
  modelContext.coefs = &coefs;
  for (int i = 1; i <= n; ++i) {
    halfWidths[i] = (upper[i] - lower[i]) * 0.5;
    centres[i] = (lower[i] + upper[i]) * 0.5;
  }
  modelContext.halfWidths = &halfWidths;
  modelContext.centres = &centres;

  const double result = annealingSearch(penalisedModelCost, start, n, kTemperatureFactor);

  std::fprintf(stderr, "Best minimum at: ");
  for (int i = 1; i <= n; ++i) {
    best[i] = start[i] * halfWidths[i] + centres[i];
    std::fprintf(stderr, "%g\t", best[i]);
  }
  std::fprintf(stderr, " with fOpt = %lf\n", result);

  modelContext.halfWidths = nullptr;
  modelContext.centres = nullptr;
  releaseDVector(centres, 1, n);
  releaseDVector(halfWidths, 1, n);
  releaseDVector(start, 1, n);
  return result;
}

void forgetModel() { modelContext = ModelContext{}; }

}  // namespace designopt
