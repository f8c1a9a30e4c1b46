#!/usr/bin/env bash
# Builds designopt with every test and runs them all.
# Usage: scripts/test.sh [--sanitize]   (--sanitize: AddressSanitizer + UBSan build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DDESIGNOPT_WARNINGS_AS_ERRORS=ON)
if [[ "${1:-}" == "--sanitize" ]]; then
  build=build-sanitize
  flags=(-DCMAKE_BUILD_TYPE=Debug -DDESIGNOPT_WARNINGS_AS_ERRORS=ON -DDESIGNOPT_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cmake -S . -B "$build" "${flags[@]}"
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
