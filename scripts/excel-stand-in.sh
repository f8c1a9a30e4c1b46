#!/usr/bin/env bash
# Runs the launchers' Excel back end for real under Wine, against the Excel automation
# stand-in (tests/excel_stand_in/excel_stand_in.cpp) registered as "Excel.Application"
# in a private Wine prefix:
#   1. a table of cases, each one launcher run in a fresh directory with a fault script
#      for the stand-in: the three launchers, then each fault. For each case it checks
#      the exit status; "Main" run exactly once (or never when an earlier step failed);
#      Open read-only and Close without saving on every path after Open for Tallowin,
#      neither for the others; UserControl as the launcher sets it; one stand-in
#      process; every reference released, so that the stand-in ended by itself, the
#      workbook before the application; each name looked up once per object; locale
#      1033; and the error box (read by tests/excel_stand_in/box_watcher.cpp, which
#      presses OK) naming the failing step;
#   2. a whole designopt.exe session on the demo's answers priced through the stand-in
#      (the Excel launchers on the WINEPATH), compared with the golden transcripts of
#      tests/golden/demo-convex after turning CR LF into LF and the run's date into
#      "<date>": exit status, both streams, run log, outexcel.dat and input.dat.
#
# Usage: scripts/excel-stand-in.sh                    the launchers built from this tree
#        scripts/excel-stand-in.sh --launchers DIR     other Excel launchers (Prevada.exe,
#                                                      Quorvel.exe, Tallowin.exe, designopt.exe
#                                                      in DIR), to see a broken one fail
# Needs: Wine (wine64), MinGW-w64 (g++-mingw-w64-x86-64), xvfb-run (xvfb, xauth). Runs
# itself under xvfb-run -a, so that the error boxes show. Work and the Wine prefix are
# in build-excel-stand-in/ (the prefix is made once and reused).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

if [[ -z ${EXCEL_STAND_IN_UNDER_XVFB:-} ]]; then
  command -v xvfb-run >/dev/null || { echo "xvfb-run is missing: apt-get install -y xvfb xauth" >&2; exit 1; }
  EXCEL_STAND_IN_UNDER_XVFB=1 exec xvfb-run -a bash "$0" "$@"
fi

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
if [[ ! -x "$wine" ]]; then
  echo "Wine is missing: apt-get install -y wine64" >&2
  exit 1
fi
started=$SECONDS
case_timeout=30           # seconds for one launcher run
session_timeout=300

launchers="$root/build-windows/bin"
if [[ ${1:-} == --launchers ]]; then
  launchers=$(cd "$2" && pwd)
else
  # The builds: the Excel launchers and designopt.exe, then the stand-in and the box watcher.
  bash scripts/cross-build-windows.sh >/dev/null
fi
work="$root/build-excel-stand-in"
bin="$work/bin"
mkdir -p "$bin"
mingw() { x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -ffp-contract=off -Wall -Wextra -Werror -static "$@"; }
mingw -mwindows -o "$bin/ExcelStandIn.exe" tests/excel_stand_in/excel_stand_in.cpp -lole32 -loleaut32 -luuid
mingw -o "$bin/box_watcher.exe" tests/excel_stand_in/box_watcher.cpp

export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  # Made without the display and waited for to the end: a prefix still settling while
  # the first launchers run loses some of their activations.
  echo "== making the Wine prefix $WINEPREFIX (once)"
  (unset DISPLAY && timeout 300 "$wine" wineboot --init >/dev/null 2>&1 && "$wineserver" -w)
fi
timeout 60 "$wine" "$bin/ExcelStandIn.exe" /regserver
"$wineserver" -w
# A stand-in whose client was killed ends after this many idle seconds.
export EXCEL_STAND_IN_IDLE_SECONDS=10

# The error boxes of every case go to one file, one line each: title, tab, text.
boxes="$work/boxes.txt"
rm -f "$work/watcher.stop"
: >"$boxes"
"$wine" "$bin/box_watcher.exe" "$boxes" "$work/watcher.stop" &
watcher=$!
finish() {
  touch "$work/watcher.stop"
  wait "$watcher" 2>/dev/null || true
  "$wineserver" -w
}
trap finish EXIT

failures=0
problem() {
  echo "  FAILED: $*"
  failures=$((failures + 1))
}
count() { grep -c -- "$1" "$2" || true; }

# run_case NAME LAUNCHER FAULTS STATUS MAIN_RUNS BOX_WORDS: one launcher run and its checks.
# MAIN_RUNS is how often "Main" must run (0 or 1); BOX_WORDS the pieces, separated by
# '|', that the error box must say ("" when the launcher must succeed without a box).
run_case() {
  local name=$1 launcher=$2 faults=$3 status=$4 main_runs=$5 box_words=$6
  local dir="$work/cases/$name" record actual=0 limit=$case_timeout box
  echo "== $name: $launcher, faults '${faults:-none}'"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp tests/golden/demo-convex/outexcel.dat "$dir/"
  record="$dir/excel-stand-in.txt"
  # A call that never returns: the launcher's message filter asks COM to cancel it at
  # the step's deadline, which Wine 8 logs ("call canceled") but does not do; the
  # launcher's wait then ends when the stand-in ends at its idle limit, made short here.
  local idle=$EXCEL_STAND_IN_IDLE_SECONDS
  [[ $faults == hang=* ]] && idle=5
  local boxes_before
  boxes_before=$(wc -l <"$boxes" 2>/dev/null || echo 0)
  (cd "$dir" && EXCEL_STAND_IN_FAULTS="$faults" EXCEL_STAND_IN_IDLE_SECONDS=$idle \
    timeout "$limit" "$wine" "$launchers/$launcher.exe") ||
    actual=$?
  # The stand-in ends once every reference is released (or, after a hang, at its idle limit).
  local waited=0
  while ! grep -q " end objects=\| idle limit" "$record" 2>/dev/null && ((waited < 150)); do
    sleep 0.1
    waited=$((waited + 1))
  done
  sleep 0.3  # the box watcher has pressed OK by now; let it write
  box=$(tail -n +"$((boxes_before + 1))" "$boxes" 2>/dev/null || true)

  [[ $actual == "$status" ]] || problem "exit status $actual, expected $status"
  [[ $(count " start$" "$record") == 1 ]] || problem "$(count " start$" "$record") stand-in processes, expected 1"
  [[ $(count " main ran" "$record") == "$main_runs" ]] ||
    problem "\"Main\" ran $(count " main ran" "$record") times, expected $main_runs"
  if [[ $faults == hang=* ]]; then
    grep -q " idle limit" "$record" || problem "the hanging stand-in did not end at its idle limit"
  else
    grep -q " end objects=0 " "$record" || problem "the stand-in did not end with every reference released"
    if grep -q " create Application" "$record"; then
      [[ $(grep " release " "$record" | tail -n 1) == *" release Application" ]] ||
        problem "the application was not released last"
    fi
  fi
  if grep -q " opened workbook" "$record"; then
    if [[ $launcher == Tallowin ]]; then
      grep -q " opened workbook read-only" "$record" || problem "Tallowin did not open the workbook read-only"
      if [[ $faults != hang=* ]]; then
        [[ $(count " closed workbook unsaved" "$record") == 1 ]] || problem "Tallowin did not close the workbook unsaved once"
        grep -q " end .*workbook=closed" "$record" || problem "Tallowin left the workbook open"
      fi
    else
      grep -q " opened workbook read-write" "$record" || problem "$launcher opened the workbook read-only"
      ! grep -q " closed workbook" "$record" || problem "$launcher closed the workbook"
    fi
  fi
  ! grep -q " closed workbook saved\| closed workbook save-not-said" "$record" || problem "the workbook was closed without SaveChanges False"
  if grep -q " create Application" "$record" && [[ $faults != hang=* ]]; then
    local control=True
    [[ $launcher == Tallowin ]] && control=False
    [[ $(count "call Application UserControl put lcid=1033 ((value)=VT_BOOL $control)" "$record") == 1 ]] ||
      problem "UserControl was not set to $control once"
  fi
  [[ -z $(grep " lookup " "$record" | cut -d' ' -f2- | sort | uniq -d) ]] ||
    problem "a name was looked up twice on one object"
  ! grep -E "^[0-9]+ call " "$record" | grep -vq "lcid=1033 " || problem "a call without locale 1033"
  if [[ -z $box_words ]]; then
    [[ -z $box ]] || problem "an error box appeared: $box"
  else
    local piece pieces
    IFS='|' read -r -a pieces <<<"$box_words"
    for piece in "${pieces[@]}"; do
      [[ $box == "$launcher"$'\t'*"$piece"* ]] || problem "the error box does not say '$piece': '${box:-no box}'"
    done
    echo "  box: $box"
  fi
  if [[ $status == 0 && $launcher == Tallowin ]]; then
    [[ $(tr -d '\r' <"$dir/ProIn.dat" 2>/dev/null | sed -n 2p) == 14.157655 ]] ||
      problem "ProIn.dat does not hold the fake cost"
  fi
}

workbook='"C:\zrk\quva source\QUVA2002.xls"'
#        name               launcher  faults                              status main box
run_case prevada            Prevada   ""                                  0 1 ""
run_case quorvel            Quorvel   ""                                  0 1 ""
run_case tallowin           Tallowin  ""                                  0 1 ""
run_case refused-calls      Tallowin  "refuse-calls=5"                    0 1 ""
run_case refused-invokes    Tallowin  "refuse-invokes=3"                  0 1 ""
run_case refused-for-2s     Tallowin  "refuse-seconds=2"                  0 1 ""
run_case refused-creations  Tallowin  "refuse-creations=3"                0 1 ""
run_case open-fails         Tallowin  "open-fails=The file is damaged."   1 0 \
  "could not open the workbook $workbook read-only.|Run-time error '1004':|Microsoft Excel: The file is damaged."
run_case no-sheet           Tallowin  "no-sheet"                          1 0 \
  "could not find the sheet \"ProData\" in the workbook $workbook.|Run-time error '-2147352565 (8002000b)'"
run_case no-sheet-quorvel   Quorvel   "no-sheet"                          1 0 "could not find the sheet \"ProData\""
run_case main-fails         Tallowin  "main-fails=Division by zero."      1 1 \
  "could not run the macro \"Main\" of the workbook $workbook.|Run-time error '1004':|Microsoft Excel: Division by zero."
run_case main-fails-prevada Prevada   "main-fails=Division by zero."      1 1 "could not run the macro \"Main\""
run_case main-rejected      Tallowin  "main-rejected"                     1 1 \
  "could not run the macro \"Main\"|Run-time error '-2147418111 (80010001)'|Microsoft Excel: A call the macro made was rejected."
run_case main-hangs         Tallowin  "hang=Run"                          1 0 "could not run the macro \"Main\" of the workbook $workbook."

echo "== demo session: designopt.exe priced through the stand-in, against tests/golden/demo-convex"
session="$work/session"
rm -rf "$session"
mkdir -p "$session"
cp examples/demo-answers.txt "$session/stdin.txt"
session_status=0
boxes_before_session=$(wc -l <"$boxes" 2>/dev/null || echo 0)
(cd "$session" && DESIGNOPT_FAKE_COST=convex WINEPATH="Z:${launchers//\//\\}" timeout "$session_timeout" \
  "$wine" "$launchers/designopt.exe" <stdin.txt >stdout.txt 2>stderr.txt) || session_status=$?
date_line=$(head -n 1 "$session/input.dat" | tr -d '\r')
expected="$work/session-expected"
actual="$work/session-actual"
rm -rf "$expected" "$actual"
mkdir -p "$expected" "$actual"
echo 0 >"$expected/status.txt"
echo "$session_status" >"$actual/status.txt"
for file in stdout.txt stderr.txt run-log.txt outexcel.dat input.dat; do
  cp "tests/golden/demo-convex/$file" "$expected/$file"
  source_file="$session/$file"
  [[ $file == run-log.txt ]] && source_file="$session/log$(tr -d ' ' <<<"$date_line").dat"
  DATE="$date_line" perl -0777 -pe 's/\r\n/\n/g; s/\Q$ENV{DATE}\E/<date>/g if length $ENV{DATE}' \
    "$source_file" >"$actual/$file" 2>/dev/null || true
done
if diff -r "$expected" "$actual" >"$work/session.diff"; then
  echo "  same as the golden transcripts"
else
  problem "the session differs from the golden transcripts:"
  head -n 40 "$work/session.diff"
fi
record="$session/excel-stand-in.txt"
runs=$(count " start$" "$record")
[[ $runs -gt 0 && $(count " end objects=0 " "$record") == "$runs" ]] ||
  problem "$runs stand-in processes, $(count " end objects=0 " "$record") ended with every reference released"
[[ $(count " main ran" "$record") == "$runs" ]] || problem "\"Main\" did not run once per launcher run"
# Each stand-in process's application was released last, after the workbook and sheet.
[[ -z $(awk '$2 == "release" { last[$1] = $3 } END { for (p in last) if (last[p] != "Application") print p }' \
  "$record") ]] || problem "a launcher run did not release the application last"
[[ $(wc -l <"$boxes") == "$boxes_before_session" ]] || problem "an error box appeared during the session"
echo "  $runs launcher runs"

echo "== the stand-in step took $((SECONDS - started)) s"
if ((failures)); then
  echo "Excel stand-in: $failures check(s) failed; the runs are in $work" >&2
  exit 1
fi
echo "Excel stand-in: every case passed"
