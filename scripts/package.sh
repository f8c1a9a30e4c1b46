#!/usr/bin/env bash
# Makes a release package in build-package/ and checks its contents:
#   scripts/package.sh linux     designopt-<version>-linux-x86_64.tar.gz: designopt, the
#                                launchers over the built-in cost workbook and its cost
#                                sheets in bin/, and README.md
#   scripts/package.sh windows   designopt-<version>-windows-x86_64.zip (MinGW-w64 cross-build):
#                                designopt.exe and the launchers driving Excel in bin/, and
#                                README-windows.txt
set -euo pipefail
cd "$(dirname "$0")/.."
output="$PWD/build-package"
case "${1:-}" in
  linux)
    build=build-package-linux
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DDESIGNOPT_WARNINGS_AS_ERRORS=ON \
      -DDESIGNOPT_BUILD_TESTS=OFF -DDESIGNOPT_BUILD_BENCHMARKS=OFF >/dev/null
    cmake --build "$build" -j 2 >/dev/null
    ;;
  windows)
    build=build-windows
    bash scripts/cross-build-windows.sh EXCEL >/dev/null
    ;;
  *)
    echo "usage: $0 linux|windows" >&2
    exit 2
    ;;
esac
mkdir -p "$output"
package=$(cd "$build" && cpack -B "$output" | sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p')
rm -rf "$output/_CPack_Packages"
bash scripts/check-package.sh "$package"
