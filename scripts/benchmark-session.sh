#!/usr/bin/env bash
# Times the demo design session end to end and the launchers' stand-in pricing one
# design, on a Release (-O2) build.
#
#   scripts/benchmark-session.sh [BUILD_DIR] [PRICINGS]
#
# BUILD_DIR (default build-release) is configured and built if it has no designopt yet;
# PRICINGS (default 200) is how many times Tallowin prices the demo's last design.
# Everything runs in a temporary working directory that is removed afterwards.
#
# Figures printed:
# - the demo session (examples/demo-answers.txt on the built launchers and their
#   built-in cost workbook): wall time, user and system CPU time of designopt and every
#   launcher it ran, and the peak resident memory, all from /usr/bin/time -v. The peak
#   is the largest of designopt and the launchers it waited for, so it bounds
#   designopt's own peak from above; designopt's own is printed too, read from
#   /proc while it runs its last pricing.
# - Tallowin pricing one design: mean wall time per run over PRICINGS runs (each run
#   a fresh process: start, read the cost sheet and "outexcel.dat", write "ProIn.dat").
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-release}"
pricings="${2:-200}"
[[ "$build" = /* ]] || build="$root/$build"

source "$root/scripts/release-build.sh"
release_build "$build" designopt Prevada Quorvel Tallowin

work="$(mktemp -d "${TMPDIR:-/tmp}/designopt-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"

# A Tallowin in front of the built one that records designopt's own peak before each
# pricing: the VmHWM of its designopt ancestor (the command runner's shell lies
# between), read with shell built-ins only so that it adds no process larger than the
# shell. The last record is the one nearest the end of the run.
mkdir shim
cat > shim/Tallowin.exe <<EOF
#!/bin/sh
pid=\$PPID
while [ "\$pid" -gt 1 ]; do
  name= ppid=1 peak=
  while read -r key value rest; do
    case "\$key" in
      Name:) name=\$value ;;
      PPid:) ppid=\$value ;;
      VmHWM:) peak=\$value ;;
    esac
  done < /proc/\$pid/status
  if [ "\$name" = designopt ]; then echo "\$peak" > designopt-peak.txt; break; fi
  pid=\$ppid
done
exec "$build/bin/Tallowin.exe"
EOF
chmod +x shim/Tallowin.exe

echo "== demo session: $root/examples/demo-answers.txt, build $build"
status=0
PATH="$work/shim:$build/bin:$PATH" /usr/bin/time -v -o time.txt "$build/bin/designopt" \
  < "$root/examples/demo-answers.txt" > stdout.txt 2> stderr.txt || status=$?
if ((status != 0)); then
  echo "designopt ended with status $status" >&2
  cat time.txt >&2
  exit 1
fi
field() { sed -n "s/^\t$1: //p" time.txt; }
echo "wall time (h:mm:ss or m:ss):      $(field 'Elapsed (wall clock) time (h:mm:ss or m:ss)')"
echo "user CPU time (s):                $(field 'User time (seconds)')"
echo "system CPU time (s):              $(field 'System time (seconds)')"
echo "peak memory, largest process (kB): $(field 'Maximum resident set size (kbytes)')"
echo "peak memory, designopt (kB):      $(cat designopt-peak.txt)"
echo "pricings (Tallowin runs):         $(grep -c "Please Wait While Excel Cost is Running" stdout.txt)"

echo
echo "== Tallowin pricing the demo's last design, $pricings runs"
start=$(date +%s%N)
for ((k = 0; k < pricings; ++k)); do
  "$build/bin/Tallowin.exe" > /dev/null
done
end=$(date +%s%N)
awk -v ns=$((end - start)) -v runs="$pricings" \
  'BEGIN { printf "mean wall time per pricing (ms):  %.3f\n", ns / runs / 1e6 }'
/usr/bin/time -v -o tallowin-time.txt "$build/bin/Tallowin.exe" > /dev/null
echo "peak memory of one pricing (kB):  $(sed -n 's/^\tMaximum resident set size (kbytes): //p' tallowin-time.txt)"
