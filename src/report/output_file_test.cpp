// Output files are written whole or left as they were.
#include "report/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace designopt {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(WholeFile, ReplacesTheOutputAndLeavesNoTemporaryFile) {
  const fs::path dir = fs::temp_directory_path() / ("report-out-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + std::to_string(reinterpret_cast<uintptr_t>(&dir)));
  fs::create_directories(dir);
  const fs::path out = dir / "report.html";
  std::ofstream(out) << "an older report";
  std::string error;
  ASSERT_TRUE(writeWholeFile(out.string(), "<html></html>\n", error)) << error;
  EXPECT_EQ(contents(out), "<html></html>\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  // A folder that does not exist: refused, nothing written anywhere.
  const fs::path missing = dir / "no-such-folder" / "report.html";
  EXPECT_FALSE(writeWholeFile(missing.string(), "x", error));
  EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  // The output's name taken by a folder: the rename fails and the temporary file goes.
  const fs::path taken = dir / "taken.html";
  fs::create_directories(taken / "inside");
  EXPECT_FALSE(writeWholeFile(taken.string(), "x", error));
  EXPECT_NE(error.find("cannot replace"), std::string::npos) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace designopt
