// The run log's blocks byte for byte (the goldens hold them in whole sessions).
#include "runlog/run_log_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "numeric/one_based.h"

namespace designopt {
namespace {

std::string contentsOf(std::FILE* file) {
  std::rewind(file);
  std::string text;
  int c = 0;
  while ((c = std::fgetc(file)) != EOF) text.push_back(static_cast<char>(c));
  return text;
}

// Two points, three variables: point 1 sits on the lower bound of variable 1 and the
// upper bound of variable 2; variable 3 has a range of zero width.
TEST(RunLog, IterationSummaryIsWrittenByteForByte) {
  DVector lower = dvector(1, 3);
  DVector upper = dvector(1, 3);
  DMatrix points = matrix(1, 2, 1, 3);
  DVector funcValues = dvector(1, 2);
  DVector xOpt = dvector(1, 3);
  const double lowerValues[] = {1.0, 10.0, 5.0};
  const double upperValues[] = {3.0, 20.0, 5.0};
  const double pointValues[2][3] = {{1.0, 20.0, 5.0}, {2.5, 12.5, 5.0}};
  const double optimum[] = {2.0, 15.0, 5.0};
  for (int j = 1; j <= 3; ++j) {
    lower[j] = lowerValues[j - 1];
    upper[j] = upperValues[j - 1];
    points[1][j] = pointValues[0][j - 1];
    points[2][j] = pointValues[1][j - 1];
    xOpt[j] = optimum[j - 1];
  }
  funcValues[1] = 100.25;
  funcValues[2] = 99.5;

  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  writeIterationSummary(log, 4, 3, 2, lower, upper, points, funcValues, xOpt, 98.125, 101.5);
  EXPECT_EQ(contentsOf(log),
            "\n ---------- Points Summary in this Iteration ---------\n"
            "Ranges of the variables and will be cut with the value of 101.500000\n"
            "1.000000\t10.000000\t5.000000\t\n"
            "3.000000\t20.000000\t5.000000\t\n"
            "Number of Experiments\n"
            "2\n"
            "Point Matrix\n"
            "1.000000\t20.000000\t5.000000\t100.250000\n"
            "2.500000\t12.500000\t5.000000\t99.500000\n"
            "\n\nNormalized variables for reference\n"
            "-1.000000\t1.000000\t0.000000\t100.250000\n"
            "0.500000\t-0.500000\t0.000000\t99.500000\n"
            "\nThe last optimum with real function value is as below!\n"
            "2.000000\t15.000000\t5.000000\t98.125000\n");
  std::fclose(log);
}

}  // namespace
}  // namespace designopt
