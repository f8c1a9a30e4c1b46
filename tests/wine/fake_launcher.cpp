// The whole-program tests' fake launchers as one Windows program, for replaying the
// golden sessions with the Windows build under Wine (scripts/wine-compare.sh). It does
// what the session harness's shell-script fakes do, chosen by the name it runs under:
//   Tallowin.exe  appends "priced" to "tallowin-calls.txt" and writes "ProIn.dat": a
//                 first line, then the fake cost of "outexcel.dat" as "%.6f";
//   Quorvel.exe   copies "outexcel.dat" to "quorvel-saw.dat";
//   Prevada.exe   does nothing.
// The fake cost is named by the environment variable DESIGNOPT_FAKE_COST ("convex" or
// "concave"); the formulas are in fake_cost.h.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fake_cost.h"

namespace {

std::string lowerBaseName(const char* path) {
  std::string name = path;
  const std::size_t separator = name.find_last_of("\\/");
  if (separator != std::string::npos) name.erase(0, separator + 1);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

int tallowin() {
  if (std::FILE* calls = std::fopen("tallowin-calls.txt", "a")) {
    std::fputs("priced\n", calls);
    std::fclose(calls);
  }
  return designopt_wine::writeFakeCost(std::getenv("DESIGNOPT_FAKE_COST")) ? 0 : 1;
}

int quorvel() {
  std::FILE* in = std::fopen("outexcel.dat", "rb");
  if (in == nullptr) return 1;
  std::FILE* out = std::fopen("quorvel-saw.dat", "wb");
  if (out == nullptr) {
    std::fclose(in);
    return 1;
  }
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) std::fwrite(buffer, 1, got, out);
  std::fclose(in);
  return std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace

int main(int, char** argv) {
  const std::string name = lowerBaseName(argv[0]);
  if (name.rfind("tallowin", 0) == 0) return tallowin();
  if (name.rfind("quorvel", 0) == 0) return quorvel();
  return 0;
}
