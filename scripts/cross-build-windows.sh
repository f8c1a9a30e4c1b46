#!/usr/bin/env bash
# Cross-builds the Windows programs with MinGW-w64, warnings as errors: designopt.exe
# and the launchers Prevada.exe, Quorvel.exe and Tallowin.exe over the chosen cost
# workbook. Tests and benchmarks are not built for Windows.
# Usage: scripts/cross-build-windows.sh            Excel automation, in build-windows/bin
#        scripts/cross-build-windows.sh BUILTIN    built-in cost workbook (cost sheets beside
#                                                  the launchers), in build-windows-builtin/bin
# Needs: apt-get install -y g++-mingw-w64-x86-64
set -euo pipefail
cd "$(dirname "$0")/.."
workbook=${1:-EXCEL}
case "$workbook" in
  EXCEL) build=build-windows ;;
  BUILTIN) build=build-windows-builtin ;;
  *) echo "usage: $0 [EXCEL|BUILTIN]" >&2; exit 2 ;;
esac

if [[ ! -x /usr/bin/x86_64-w64-mingw32-g++-posix ]]; then
  echo "MinGW-w64 is missing: apt-get install -y g++-mingw-w64-x86-64" >&2
  exit 1
fi

cmake -S . -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DDESIGNOPT_WARNINGS_AS_ERRORS=ON \
  -DDESIGNOPT_COST_WORKBOOK="$workbook"
cmake --build "$build" -j 2
echo "Built for Windows ($workbook cost workbook) in $build/bin"
