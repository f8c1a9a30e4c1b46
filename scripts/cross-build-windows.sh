#!/usr/bin/env bash
# Cross-builds the Windows programs with MinGW-w64: the launchers Prevada.exe,
# Quorvel.exe and Tallowin.exe (Excel automation) and, when the project has it,
# designopt.exe. Tests and benchmarks are not built for Windows.
# Usage: scripts/cross-build-windows.sh        (output in build-windows/bin)
# Needs: apt-get install -y g++-mingw-w64-x86-64
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-windows

if [[ ! -x /usr/bin/x86_64-w64-mingw32-g++-posix ]]; then
  echo "MinGW-w64 is missing: apt-get install -y g++-mingw-w64-x86-64" >&2
  exit 1
fi

cmake -S . -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release

# Build only the targets the project defines, so the script works while a
# program is still to come.
available=$(cmake --build "$build" --target help)
targets=()
for target in Prevada Quorvel Tallowin designopt designopt-report; do
  if grep -Eq "^\.\.\. ${target}( |$)" <<<"$available"; then
    targets+=("$target")
  fi
done
for launcher in Prevada Quorvel Tallowin; do
  if [[ ! " ${targets[*]} " == *" $launcher "* ]]; then
    echo "The launcher target $launcher is missing" >&2
    exit 1
  fi
done

cmake --build "$build" --target "${targets[@]}" -j 2
echo "Built for Windows: ${targets[*]} (in $build/bin and $build)"
