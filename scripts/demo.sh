#!/usr/bin/env bash
# Builds designopt and its launchers into build/ and runs a scripted demo design session
# (examples/demo-answers.txt) on the built-in cost workbook, in a fresh temporary
# working directory that is kept afterwards. Needs no keyboard input.
# Needs CMake 3.25+ and a C++17 compiler only (no GoogleTest, no Google Benchmark); run
# as root on Debian or Ubuntu it installs what is missing with apt-get.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
source "$root/scripts/needs.sh"

mapfile -t need < <(missing_packages demo)
install_needs "The demo" "${need[@]}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDESIGNOPT_WARNINGS_AS_ERRORS=ON
cmake --build "$build" --target designopt Prevada Quorvel Tallowin -j 2

work="$(mktemp -d "${TMPDIR:-/tmp}/designopt-demo.XXXXXX")"
cd "$work"
echo "=== designopt demo in $work ==="
# The launchers are found on the PATH by their command names; the built-in cost
# workbook's cost sheets lie beside them in build/bin.
status=0
PATH="$build/bin:$PATH" "$build/bin/designopt" < "$root/examples/demo-answers.txt" || status=$?

echo
echo "=== designopt ended with status $status ==="
echo "Working directory: $work"
for log in "$work"/log*.dat; do
  [[ -e "$log" ]] && echo "Run log:           $log"
done
echo "Exchange file:     $work/outexcel.dat"
echo "Problem file:      $work/input.dat"
exit "$status"
