// Test support for the product evaluation: every test that touches the exchange
// files runs in a fresh directory of its own, and standard input can be fed from text.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "product/product_record.h"

namespace designopt {

// Runs each test in a new temporary directory with a zero productSpec.
class ScratchDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previousDirectory_ = cwd;
    std::string pattern = ::testing::TempDir() + "designopt_product_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    ASSERT_EQ(chdir(directory_.c_str()), 0);
    productSpec = ProductSpec{};
  }
  void TearDown() override {
    ASSERT_EQ(chdir(previousDirectory_.c_str()), 0);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  // Standard input reads `text` and then meets end of input.
  void feedStandardInput(const std::string& text) {
    writeFile("stdin.txt", text);
    ASSERT_NE(std::freopen("stdin.txt", "rb", stdin), nullptr);
  }

  static void writeFile(const std::string& name, const std::string& text) {
    std::ofstream out(name, std::ios::binary);
    out << text;
  }
  static std::string readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string directory_;
  std::string previousDirectory_;
};

}  // namespace designopt
