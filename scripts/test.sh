#!/usr/bin/env bash
# Builds designopt with every test and runs them all.
# Usage: scripts/test.sh [--sanitize]   (--sanitize: AddressSanitizer + UBSan build)
# Needs CMake 3.25+, a C++17 compiler, GoogleTest and Google Benchmark. What is missing is
# installed with apt-get when this runs as root on Debian or Ubuntu; otherwise the
# script stops and names the packages to install.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/needs.sh

mapfile -t need < <(missing_packages tests)
install_needs "The tests" "${need[@]}"

build=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DDESIGNOPT_WARNINGS_AS_ERRORS=ON)
if [[ "${1:-}" == "--sanitize" ]]; then
  build=build-sanitize
  flags=(-DCMAKE_BUILD_TYPE=Debug -DDESIGNOPT_WARNINGS_AS_ERRORS=ON -DDESIGNOPT_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
flags+=(-DDESIGNOPT_BUILD_TESTS=ON -DDESIGNOPT_BUILD_BENCHMARKS=ON -DDESIGNOPT_REQUIRE_TEST_TOOLS=ON)
cmake -S . -B "$build" "${flags[@]}"
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
