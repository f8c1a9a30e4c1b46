#!/usr/bin/env bash
# Times `designopt --resume` of a long session: three designs of the demo answers in one
# run (42 pricings), stopped (SIGKILL) at the last continue prompt and resumed with "n".
# The replay computes everything the first run computed but runs no launcher and waits
# for nobody, so this is the time a designer waits before the prompt comes back.
#
#   scripts/benchmark-resume.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR (default build-release) is configured and built if it has no designopt yet;
# RUNS (default 5) resumes of the same stopped run are timed. The launchers are silent
# fakes pricing with a formula. Prints each resume's wall time and peak resident memory
# (/usr/bin/time) and the resume's own line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-release}"
runs="${2:-5}"
[[ "$build" = /* ]] || build="$root/$build"

source "$root/scripts/release-build.sh"
release_build "$build" designopt

work="$(mktemp -d "${TMPDIR:-/tmp}/designopt-resume.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir "$work/fakebin" "$work/run"
printf '#!/bin/sh\nexit 0\n' >"$work/fakebin/Prevada.exe"
cp "$work/fakebin/Prevada.exe" "$work/fakebin/Quorvel.exe"
cat >"$work/fakebin/Tallowin.exe" <<'TALLOWIN'
#!/bin/sh
awk '$1 == "MandrelBar" { m = $2 } $1 == "tolerance" { t = $2 }
     END { printf "Cost of the design\n%.6f\n", 10 + 0.01 * (m - 36) * (m - 36) + 0.02 / t }' \
  outexcel.dat > ProIn.dat
TALLOWIN
chmod +x "$work/fakebin/"*.exe
export PATH="$work/fakebin:$PATH"

# Three designs, "y" at the first two continue prompts; the third waits at its own.
head -n 33 "$root/examples/demo-answers.txt" >"$work/design.txt"
{ cat "$work/design.txt"; echo y; cat "$work/design.txt"; echo y; cat "$work/design.txt"; } \
  >"$work/answers.txt"
cd "$work/run"
mkfifo "$work/console"
"$build/bin/designopt" <"$work/console" >/dev/null 2>&1 &
designopt=$!
exec 7>"$work/console"
cat "$work/answers.txt" >&7
for _ in $(seq 1 600); do
  [[ $(grep -c '^answer word' designopt.journal 2>/dev/null) -ge 2 ]] &&
    [[ $(grep -c '^launcher Quorvel' designopt.journal) -ge 3 ]] && break
  sleep 0.1
done
sleep 0.5
kill -KILL "$designopt"
exec 7>&-
wait "$designopt" 2>/dev/null || true
cp designopt.journal "$work/journal"
log=$(ls log*.dat)
cp "$log" "$work/log"

for i in $(seq 1 "$runs"); do
  cp "$work/journal" designopt.journal
  cp "$work/log" "$log"
  /usr/bin/time -f "resume $i: %e s wall, %M KB peak" "$build/bin/designopt" --resume \
    <<<"n" >/dev/null 2>"$work/err"
  tail -n 1 "$work/err"
done
head -n 1 "$work/err"
