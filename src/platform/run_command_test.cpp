#include "platform/run_command.h"

#include <gtest/gtest.h>

#include <string>

namespace designopt {
namespace {

TEST(RunCommand, ReportsTheStatusAShellWouldReport) {
  struct Case {
    const char* command;
    int status;
  };
  const Case cases[] = {
      {"true", 0},
      {"exit 3", 3},
      {"kill -9 $$", 137},
  };
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runCommand(c.command), c.status) << c.command;
    const std::string err = ::testing::internal::GetCapturedStderr();
    if (c.status == 0) {
      EXPECT_EQ(err, "");
    } else {
      EXPECT_EQ(err, std::string("Warning: ") + c.command + " ended with status " +
                         std::to_string(c.status) + "\n");
    }
  }
}

// A launcher the shell cannot find gets the advice to fix the PATH; the shell's own
// "not found" line comes first, as system() gives it.
TEST(RunCommand, CommandNotFoundNamesThePath) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(runCommand("designopt-no-such-command-xyz"), 127);
  const std::string err = ::testing::internal::GetCapturedStderr();
  const std::string warning =
      "Warning: designopt-no-such-command-xyz was not found; put the folder that holds the "
      "launchers on the PATH\n";
  ASSERT_GE(err.size(), warning.size());
  EXPECT_EQ(err.substr(err.size() - warning.size()), warning);
  EXPECT_NE(err.find("not found"), err.size() - warning.size()) << "the shell's line is missing";
}

}  // namespace
}  // namespace designopt
