// Design space cutting: the choice of the cutting level at the console, the energy
// whose minimum is the lowest (or, negated, the highest) level-set point along one
// variable, and the 2n annealing searches that turn those points into new ranges.
#include "cutting/cutting.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "anneal/search_sequence.h"
#include "modelsearch/model_minimisation.h"
#include "numeric/quad_model.h"
#include "platform/console_answers.h"

namespace designopt {

double cuttingValue = 0.0;
int cutVariable = 0;
int cutDirection = 0;

namespace {

// Below this magnitude the model is taken to have no curvature along the variable
// being cut, and the search says so once.
constexpr double kFlatCurvature = 1e-12;

// Whether the running search has reported a flat model. A search evaluates the
// energy some 10^5 times; one line per search tells the designer all there is.
bool flatCurvatureReported = false;
// Temperature factor of the cutting searches (hotter than the model minimisations).
constexpr double kCutTemperatureFactor = 3.0;

const char* const kChoicePrompt = "Which one you want to choose as the criteria: 1,2,...:";

// The model along x_i through the point x with the other coordinates fixed:
// A t^2 + B t + S + c_1.
struct ModelAlongLine {
  double a;
  double b;
  double s;
};

// Each sum runs in this order; the searches' figures depend on it. c[k] is coefficient
// k. Always inlined and its loops unrolled, so that a call with a constant n and i (the
// three-variable grille) compiles to the sums themselves, without the loops' index
// work and tests.
[[gnu::always_inline]] inline ModelAlongLine modelAlongLine(const double* x, const double* c,
                                                            int n, int i) {
  ModelAlongLine line;
  line.a = c[n + 1 + i];
  double b = c[1 + i];
#pragma GCC unroll 4
  for (int k = 1; k < i; ++k) b += c[pairIndex(n, k, i)] * x[k];
#pragma GCC unroll 4
  for (int k = i + 1; k <= n; ++k) b += c[pairIndex(n, i, k)] * x[k];
  line.b = b;
  double s = 0.0;
#pragma GCC unroll 4
  for (int j = 1; j <= n; ++j) {
    if (j != i) s += c[n + 1 + j] * x[j] * x[j];
  }
#pragma GCC unroll 4
  for (int j = 1; j <= n; ++j) {
    if (j != i) s += c[1 + j] * x[j];
  }
#pragma GCC unroll 4
  for (int p = 1; p < n; ++p) {
    if (p == i) continue;
#pragma GCC unroll 4
    for (int q = p + 1; q <= n; ++q) {
      if (q != i) s += c[pairIndex(n, p, q)] * x[p] * x[q];
    }
  }
  line.s = s;
  return line;
}

// The cutting level chosen at the console: one of the sorted observed values, the
// model minimum, or a typed value. End of input at the choice takes the typed path;
// a typed value that is not a number keeps the previous level.
void chooseCuttingValue(int np, const DVector& s, double modelMin) {
  std::printf("%s", kChoicePrompt);
  int choice = 0;
  AnswerStatus status;
  while ((status = readIntAnswer(choice)) == AnswerStatus::NotANumber) {
    std::printf("%s", kChoicePrompt);
  }
  if (status == AnswerStatus::EndOfInput) choice = 0;

  if (choice >= 1 && choice <= np) {
    cuttingValue = s[choice];
    std::printf("The %d, %lf, is chosen as the cutting value.\n\n", choice, cuttingValue);
    return;
  }
  if (choice == np + 1) {
    cuttingValue = modelMin;
    std::printf("The %d, %lf, is chosen as the cutting value.\n\n", choice, modelMin);
    return;
  }
  std::printf("Input your cutting value:");
  double typed = 0.0;
  if (readDoubleAnswer(typed) == AnswerStatus::Ok) cuttingValue = typed;
}

}  // namespace

void beginCutSearch(int variable, int direction) {
  cutVariable = variable;
  cutDirection = direction;
  flatCurvatureReported = false;
}

void sortValues(int count, DVector& v) {
  if (count < 2) return;
  for (int j = 2; j <= count; ++j) {
    const double a = v[j];
    int k = j - 1;
    while (k >= 1 && v[k] > a) {
      v[k + 1] = v[k];
      --k;
    }
    v[k + 1] = a;
  }
}

namespace {

// cutEnnergy for a model of n variables cut along x_i; inlined into cutEnnergy for
// each constant pair it dispatches on.
[[gnu::always_inline]] inline double cutEnergyAlong(const double* x, const double* c, int n,
                                                    int i) {
  const ModelAlongLine line = modelAlongLine(x, c, n, i);
  const double a = line.a;
  const double b = line.b;
  const double constant = line.s + c[1] - cuttingValue;
  const double d = b * b - (constant * a) * 4;

  if (std::fabs(a) < kFlatCurvature && !flatCurvatureReported) {
    std::fprintf(stderr, "Error: a=0 in Function: cutEnnergy !!!\n");
    flatCurvatureReported = true;
  }

  const double infinity = std::numeric_limits<double>::infinity();
  double r;
  if (a == 0.0) {
    // No curvature at all: the level equation is linear, B t + C = 0.
    if (b == 0.0) return infinity;
    const double t = -constant / b;
    // A root beyond the largest double lies outside every box.
    if (!std::isfinite(t)) return infinity;
    r = cutDirection == 1 ? t : -t;
  } else {
    // Also when D is not a number: the line does not meet the level set.
    if (!(d >= 0.0)) return infinity;
    const double root = std::sqrt(d);
    if (cutDirection == 1) {
      r = a > 0 ? (-b - root) * 0.5 / a : (root - b) * 0.5 / a;
    } else {
      r = a > 0 ? (root - b) * (-0.5) / a : (-b - root) * (-0.5) / a;
    }
  }
  // The box is symmetric, so in direction 2 the penalty of -root equals that of root.
  return r + boxPenaltyWithCoordinate(x, n, i, r);
}

}  // namespace

double cutEnnergy(const double* x) {
  const int n = modelContext.n;
  const double* c = &(*modelContext.coefs)[0];
  const int i = cutVariable;
  // The grille's three variables get a copy each with n and i fixed; the same code.
  if (n == 3) {
    switch (i) {
      case 1: return cutEnergyAlong(x, c, 3, 1);
      case 2: return cutEnergyAlong(x, c, 3, 2);
      case 3: return cutEnergyAlong(x, c, 3, 3);
      default: break;
    }
  }
  return cutEnergyAlong(x, c, n, i);
}

void cutDesignSpace(int n, int np, const DVector& prevLower, const DVector& prevUpper,
                    DVector& curLower, DVector& curUpper, const DVector& funcValues,
                    double modelMin) {
  std::printf("\n\n  -----  Cutting the Objective Function ------ \n");
  DVector x = dvector(1, n);
  DVector s = dvector(1, np);
  for (int k = 1; k <= np; ++k) s[k] = funcValues[k];

  // The candidate levels: the observed values in ascending order, then the model minimum.
  std::printf("The sorted funcValues are:\n");
  sortValues(np, s);
  for (int k = 1; k <= np; ++k) std::printf("%d. %8.6f\n", k, s[k]);
  std::printf("%d. %8.6f\n", np + 1, modelMin);
  std::printf("\n");

  chooseCuttingValue(np, s, modelMin);

  // One search per variable and direction. x carries the best point of each search
  // into the next as the coordinates the start point does not redraw. The start point
  // never draws the variable being cut, so it is zeroed once here: the engine moves
  // that coordinate although the cut energy never reads it, and it must not move an
  // indeterminate value.
  for (int k = 0; k <= n; ++k) x[k] = 0.0;
  for (int i = 1; i <= n; ++i) {
    double lo = prevLower[i];
    for (int direction = 1; direction <= 2; ++direction) {
      beginCutSearch(i, direction);
      if (direction == 1) {
        std::fprintf(stderr, "\nminimizing x[%d]...\n\n", i);
      } else {
        std::fprintf(stderr, "\nmaximazing x[%d]...\n\n", i);
      }
      double e = annealingSearch(cutEnnergy, x, n, kCutTemperatureFactor, i);
      if (direction == 2) e = -e;

      // From the normalised frame back to the variable's units.
      const double v = (e * (prevUpper[i] - prevLower[i]) + (prevLower[i] + prevUpper[i])) * 0.5;
      if (direction == 1) {
        lo = (prevLower[i] < v && v < prevUpper[i]) ? v : prevLower[i];
        curLower[i] = lo;
      } else {
        curUpper[i] = (v < prevUpper[i] && v > prevLower[i] && v >= lo) ? v : prevUpper[i];
      }
    }
  }

  std::printf("\n \n --- Cutting results -----\n");
  for (int i = 1; i <= n; ++i) {
    std::printf("Old Range for x[%d]: [%lf, %lf]\n", i, prevLower[i], prevUpper[i]);
    std::printf("New Range for x[%d]: [%lf, %lf]\n\n", i, curLower[i], curUpper[i]);
  }
  releaseDVector(x, 1, n);
  releaseDVector(s, 1, np);
}

}  // namespace designopt
