// The whole-program tests' fake launchers as one Windows program, for replaying the
// golden sessions with the Windows build under Wine (scripts/wine-compare.sh). It does
// what the session harness's shell-script fakes do, chosen by the name it runs under:
//   Tallowin.exe  appends "priced" to "tallowin-calls.txt" and writes "ProIn.dat": a
//                 first line, then the fake cost of "outexcel.dat" as "%.6f";
//   Quorvel.exe   copies "outexcel.dat" to "quorvel-saw.dat";
//   Prevada.exe   does nothing.
// The fake cost is named by the environment variable DESIGNOPT_FAKE_COST ("convex" or
// "concave"); its formulas are the harness's kConvexCost and kConcaveCost, evaluated
// in the same order of operations, with m the MandrelBar and t the tolerance.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string lowerBaseName(const char* path) {
  std::string name = path;
  const std::size_t separator = name.find_last_of("\\/");
  if (separator != std::string::npos) name.erase(0, separator + 1);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// The value of a key line of "outexcel.dat", read as the fakes' awk reads its second field.
bool readKeys(double& m, double& t) {
  std::FILE* in = std::fopen("outexcel.dat", "r");
  if (in == nullptr) return false;
  char line[256];
  char key[64];
  char value[64];
  m = 0.0;
  t = 0.0;
  while (std::fgets(line, sizeof line, in) != nullptr) {
    if (std::sscanf(line, "%63s %63s", key, value) != 2) continue;
    if (std::strcmp(key, "MandrelBar") == 0) m = std::strtod(value, nullptr);
    if (std::strcmp(key, "tolerance") == 0) t = std::strtod(value, nullptr);
  }
  std::fclose(in);
  return true;
}

int tallowin() {
  if (std::FILE* calls = std::fopen("tallowin-calls.txt", "a")) {
    std::fputs("priced\n", calls);
    std::fclose(calls);
  }
  const char* formula = std::getenv("DESIGNOPT_FAKE_COST");
  if (formula == nullptr) return 1;
  double m = 0.0;
  double t = 0.0;
  if (!readKeys(m, t)) return 1;
  double cost = 0.0;
  if (std::strcmp(formula, "convex") == 0) {
    cost = 10 + 0.01 * (m - 36) * (m - 36) + 0.02 / t;
  } else if (std::strcmp(formula, "concave") == 0) {
    cost = 100 - 0.01 * (m - 44) * (m - 44);
  } else {
    return 1;
  }
  std::FILE* out = std::fopen("ProIn.dat", "w");
  if (out == nullptr) return 1;
  std::fprintf(out, "Cost of the design\n%.6f\n", cost);
  return std::fclose(out) == 0 ? 0 : 1;
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
