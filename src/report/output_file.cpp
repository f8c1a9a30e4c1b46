// Temporary file beside the output, then rename.
#include "report/output_file.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace designopt {

namespace fs = std::filesystem;

bool writeWholeFile(const std::string& path, const std::string& text, std::string& error) {
  const fs::path target(path);
  // A name of its own in the output's folder, so the rename stays on one file system.
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path temp = target;
  temp += ".partial-" + std::to_string(stamp);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = "cannot create " + temp.string();
      return false;
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out) {
      error = "cannot write " + temp.string();
      out.close();
      std::error_code ignored;
      fs::remove(temp, ignored);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    error = "cannot replace " + path + ": " + ec.message();
    std::error_code ignored;
    fs::remove(temp, ignored);
    return false;
  }
  return true;
}

}  // namespace designopt
