#!/usr/bin/env bash
# Builds designopt with line and branch coverage instrumentation into build-coverage/,
# runs every test (the whole-program tests run the instrumented designopt and launchers
# as child processes, so their paths count too) and prints the line and branch coverage
# of src/, without the tests and benchmarks themselves.
# Usage: scripts/coverage.sh            (the per-file tables go to build-coverage/coverage-*.txt)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-coverage

if ! command -v gcovr >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq gcovr
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DDESIGNOPT_WARNINGS_AS_ERRORS=ON \
  -DDESIGNOPT_COVERAGE=ON -DDESIGNOPT_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

# Counters of an earlier run would add up with this one.
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

# Branches the compiler adds for exception unwinding and those it proves unreachable
# are not decisions of the program's own code.
filters=(--root . --filter 'src/' --exclude '.*_test\.cpp' --exclude '.*_benchmark\.cpp'
         --exclude '.*_fixture\.h' --exclude '.*test_support\.h'
         --exclude-throw-branches --exclude-unreachable-branches)
gcovr "${filters[@]}" --object-directory "$build" --json "$build/coverage.json"
gcovr --add-tracefile "$build/coverage.json" --txt "$build/coverage-lines.txt"
gcovr --add-tracefile "$build/coverage.json" --branches --txt "$build/coverage-branches.txt"

echo
echo "== line coverage of src/ per file: $build/coverage-lines.txt"
echo "== branch coverage of src/ per file: $build/coverage-branches.txt"
gcovr --add-tracefile "$build/coverage.json" --print-summary --txt /dev/null
