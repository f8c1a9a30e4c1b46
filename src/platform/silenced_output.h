// For benchmarks: sends the console output to /dev/null for the life of the object, so
// that a timed figure is the program's own work and not the terminal's. The benchmark's
// own report, written after the object is gone, reaches the terminal again. POSIX only;
// benchmarks are not built for Windows.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace designopt {

class SilencedOutput {
 public:
  SilencedOutput() {
    std::fflush(stdout);
    std::fflush(stderr);
    savedOut_ = dup(1);
    savedErr_ = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    close(null);
  }
  ~SilencedOutput() {
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut_, 1);
    dup2(savedErr_, 2);
    close(savedOut_);
    close(savedErr_);
  }
  SilencedOutput(const SilencedOutput&) = delete;
  SilencedOutput& operator=(const SilencedOutput&) = delete;

 private:
  int savedOut_;
  int savedErr_;
};

}  // namespace designopt
