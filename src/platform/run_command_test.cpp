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
      {"designopt-no-such-command-xyz 2>/dev/null", 127},
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

}  // namespace
}  // namespace designopt
