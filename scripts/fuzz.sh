#!/usr/bin/env bash
# Fuzzes the file readers with libFuzzer: the problem file "input.dat", the cost file
# "ProIn.dat", and the built-in cost workbook's cost sheet and "outexcel.dat".
# Each target starts from its seed corpus in fuzz/corpus/<target>/, copied to a
# temporary directory so the repository is never written to, and runs for a bounded
# time. Fails when a target finds a crash, a sanitizer report or a broken property.
# Usage: scripts/fuzz.sh [seconds per target]     (default 15)
# Needs: clang++ and libFuzzer (apt-get install -y clang libclang-rt-14-dev)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
build=build-fuzz
targets=(fuzz_problem_file fuzz_cost_file fuzz_cost_sheet fuzz_exchange_file)

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDESIGNOPT_WARNINGS_AS_ERRORS=ON -DDESIGNOPT_FUZZ=ON >/dev/null
cmake --build "$build" --target "${targets[@]}" -j 2

work=$(mktemp -d /tmp/designopt_fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=()
for target in "${targets[@]}"; do
  mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
  cp fuzz/corpus/"$target"/* "$work/$target/corpus/"
  echo "== $target: ${seconds} s"
  status=0
  "$build/fuzz/$target" "$work/$target/corpus" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="$work/$target/artifacts/" \
    >"$work/$target/log" 2>&1 || status=$?
  grep -E '^Done [0-9]+ runs' "$work/$target/log" || true
  if ((status != 0)); then
    tail -n 40 "$work/$target/log"
    mkdir -p "$build/fuzz-findings/$target"
    cp "$work/$target/artifacts/"* "$build/fuzz-findings/$target/" 2>/dev/null || true
    echo "$target FAILED (status $status); inputs kept in $build/fuzz-findings/$target" >&2
    failed+=("$target")
  fi
done

if ((${#failed[@]})); then
  echo "Fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
echo "Fuzzing found no faults in ${#targets[@]} targets (${seconds} s each)"
