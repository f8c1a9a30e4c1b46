// Fuzzes the cost-file reader: any bytes as "ProIn.dat". The reader must never read
// or write out of bounds, and a cost it returns is a finite single-precision number
// widened.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "memory_file.h"
#include "product/exchange_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace designopt;
  std::vector<char> bytes;
  std::FILE* file = openBytes(data, size, bytes);
  if (file == nullptr) return 0;
  double cost = 0.0;
  const bool read = parseWorkbookCost(file, cost);
  std::fclose(file);
  if (read && (!std::isfinite(cost) || static_cast<double>(static_cast<float>(cost)) != cost)) {
    __builtin_trap();
  }
  return 0;
}
