// Fuzzes the problem-file reader: any bytes as "input.dat". The reader must never
// read or write out of bounds, and whatever it accepts must be a problem the driver
// can work on (a count in range, finite bounds in order, date words that fit).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "driver/problem_file.h"
#include "memory_file.h"

namespace {

bool dateWordFits(const char* word) {
  return std::memchr(word, '\0', designopt::kDateWordLength + 1) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace designopt;
  std::vector<char> bytes;
  std::FILE* in = openBytes(data, size, bytes);
  if (in == nullptr) return 0;
  ProblemFileContents problem;
  const ProblemFileStatus status = parseProblemFile(in, problem);
  std::fclose(in);
  if (status == ProblemFileStatus::BadDate) return 0;

  // The date words name the run log, refused problem or not.
  if (!dateWordFits(problem.month) || !dateWordFits(problem.day) || !dateWordFits(problem.year)) {
    __builtin_trap();
  }
  if (status != ProblemFileStatus::Read) return 0;
  if (problem.nVars < kMinVariables || problem.nVars > kMaxVariables) __builtin_trap();
  for (int j = 1; j <= problem.nVars; ++j) {
    if (!std::isfinite(problem.lower[j]) || !std::isfinite(problem.upper[j]) ||
        problem.lower[j] > problem.upper[j]) {
      __builtin_trap();
    }
  }
  return 0;
}
