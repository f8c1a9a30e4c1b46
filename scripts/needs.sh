# Sourced by the set-up scripts and by CI: the one list of what each of them needs.
#   missing_packages WHAT   prints the Debian packages that WHAT (demo, tests, ci) needs
#                           and the machine lacks, one per line
#   install_needs WHO PACKAGE...
#                           installs them with apt-get when running as root; otherwise
#                           names them and ends the script with status 1. A failed
#                           installation ends the script too: nothing is skipped silently.
missing_packages() {
  local what="$1"
  # The demo: a compiler and CMake.
  command -v cmake >/dev/null || echo cmake
  command -v g++ >/dev/null || echo g++
  [[ "$what" == demo ]] && return 0
  # The tests: GoogleTest and Google Benchmark, python3 for the report page check.
  [[ -d /usr/src/googletest || -f /usr/include/gtest/gtest.h ]] || echo libgtest-dev
  [[ -f /usr/include/benchmark/benchmark.h ]] || echo libbenchmark-dev
  command -v python3 >/dev/null || echo python3
  [[ "$what" == tests ]] && return 0
  # CI: the Windows cross-build under Wine (with a virtual display for the Excel
  # stand-in's run), the fuzzers (clang, libFuzzer) and the report's rendering in
  # headless Chromium.
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || echo g++-mingw-w64-x86-64
  [[ -x /usr/lib/wine/wine64 ]] || echo wine64
  # The Excel launchers' error boxes need a display: a virtual one.
  command -v xvfb-run >/dev/null || echo xvfb
  command -v xauth >/dev/null || echo xauth
  command -v clang++ >/dev/null || echo clang
  compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null ||
    echo libclang-rt-14-dev
  command -v chromium >/dev/null || command -v chromium-browser >/dev/null || echo chromium
  return 0
}

install_needs() {
  local who="$1"
  shift
  (($#)) || return 0
  if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@"
  else
    echo "$who needs: $*" >&2
    echo "Install with: sudo apt-get install -y $*" >&2
    exit 1
  fi
}
