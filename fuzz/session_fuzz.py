#!/usr/bin/env python3
"""Session fuzzer for designopt.

Runs the built designopt many times, each session in a fresh temporary directory, with
fake launchers (shell scripts Prevada.exe, Quorvel.exe and Tallowin.exe) first on PATH
and a random console input: valid answers mixed with junk words, stray characters, huge
and negative numbers, NaN and inf, empty lines and early end of input. The launchers
vary per session too: pricing with a simple formula, failing, never writing "ProIn.dat",
writing garbage, failing now and then, or missing altogether.

The input is typed like a designer would: one piece at a time, and only when designopt
waits on its console (blocked in a read of its standard input, seen in
/proc/<pid>/syscall). So the fuzzer knows when designopt is working and when it waits,
and tells a hang from a slow session:

  - a session whose input has ended must end within --drain-seconds;
  - a session that asks for no input for --stall-seconds is spinning (or stuck);
  - a session still reading input when --session-seconds run out is cut short: it is
    counted, not failed, because reading is progress.

Every session must end with status 0 or 1, the status explained by what designopt
printed last (the continue prompt for 0, one of the fatal messages for 1), write no
sanitizer report, leave every run log that existed before it at least as long as it was
with its old content first (the run log is append-only), and write nothing outside its
working directory: the session runs in P/w with HOME and TMPDIR set to P, and afterwards
P must hold only w and the launchers' directory must be unchanged.

No session may take a cost that its own pricing did not write: the working directory
often starts with a stale "ProIn.dat" holding a cost no formula gives (STALE_COST), which
must never appear among the logged costs, and every fake Tallowin notes it when it finds a
"ProIn.dat" at its start (designopt removes the file before every pricing). The error
stream stays bounded: a flat model is reported at most once per cutting search.

Killed and resumed: every session whose seed is a multiple of --resume-every (3) is also
run a second time, in a folder of its own that starts with the same files, with the same
input typed the same way (where it is killed comes from a generator of its own, so a
session's input and launchers are those of its seed either way). That run is killed with
SIGKILL to its process group: at a wait chosen at random (the k-th time designopt waits
for input), or, in three such sessions in ten, while a chosen Tallowin runs (each
Tallowin of that run stops itself, before or after its work, until the fuzzer kills the
run or lets it go on). Then `designopt --resume` goes on in that folder, fed the pieces
of input the killed run had not been given, typed the same way; in one such session in
four the resumed run is killed again at one of its own waits (the replay does not wait:
its j-th wait is the whole run's wait t + j, after the t pieces the first run was given)
and resumed once more. Nothing may differ from the run whole: the exit status, the
standard output, the standard error after the resume's first line (which must begin
"Resumed the run of "), "input.dat", "outexcel.dat", every run log and the journal (but
for its line "began"); no Tallowin may find a "ProIn.dat" at its start, nothing may be
written outside the folder, and no run may report a sanitizer error. What a kill may
cost decides where the fuzzer kills:

  - designopt reads its console through a buffer. At a wait the buffer is empty, but a
    half line typed (a piece of input ends mid-line now and then) is in designopt's
    hands without being an answer yet, and dies with it; a console gives whole lines,
    so the fuzzer kills only at waits where the input typed so far ends a line.
  - While a Tallowin runs, the buffer may hold typed bytes designopt has not taken yet
    (the line end a number answer leaves, answers typed ahead on one line); a kill
    loses them, and the resume would go another way. The fuzzer kills only during a
    Tallowin after which, in the whole run, no typed answer is taken before the next
    wait (the journal is written out before every wait; its size at each wait places
    the Tallowin's record).

A resumed session's launchers are deterministic: a flaky Tallowin chooses its faults by
the checksum of the design it prices instead of counting its runs. Every launcher (a
missing fake one is the one beside designopt, which designopt finds there) is run by a
wrapper that brackets what it prints between the bytes 0x02 and 0x03 on both streams; a
resumed run does not run the launchers of the part it replays, so that output, and the
shell's own messages about a launcher (not found, killed by a signal; learnt at start),
are left out of both runs' streams before they are compared. Both runs must run on the
same day: the first line of "input.dat" and the run log's name hold the date, which a
resume takes from the journal only for the part it replays. The kept directory of a
resumed session holds K/w (the killed and resumed run's folder), killed-state (that
folder as the kill left it: run `designopt --resume` there with io/resumed-stdin.txt to
see it again; killed-again-state and io/killed-again-* after a second kill) and
io/killed-* and io/resumed-* beside the whole run's files.

Session k uses the seed --seed + k, so a failure replays with --replay SEED, resumed or
not; the directories of failing sessions are kept (stdin.txt holds the exact input fed).

Usage:
  fuzz/session_fuzz.py [--designopt build-sanitize/bin/designopt]
                       [--sessions 200] [--time 600] [--seed 1] [--resume-every 3]
  fuzz/session_fuzz.py --replay SEED [--designopt ...]
Exit status: 0 when no session failed, 1 otherwise, 2 on a usage error.
"""

import argparse
import bisect
import collections
import fcntl
import hashlib
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Sanitizer runs end with this status, so that a report can never pass for status 1.
SANITIZER_EXIT = 86
SANITIZER_MARKS = (
    "ERROR: AddressSanitizer",
    "ERROR: LeakSanitizer",
    "runtime error:",
    "SUMMARY: AddressSanitizer",
    "SUMMARY: UndefinedBehaviorSanitizer",
    "AddressSanitizer:DEADLYSIGNAL",
)

# What designopt prints last when it ends with status 1, on either stream.
FATAL_STDOUT_ENDINGS = (
    "Cannot create file: input.dat!\n",
    "Data file input.dat not found!\n",
    "Data file log*.dat not found!\n",
    "Error: reading input.dat has error!\n",
    "Cannot find file: outexcel.dat!\n",
    " Press 'Enter' to price the design again\n",
    "Cannot replace file: ProIn.dat!\n",
)
FATAL_STDERR_ENDINGS = (
    "\n Console input has ended.\n",
    "...now exiting to system...\n",
    "trouble initializing in SAInit\n",
)
# The cost of the stale "ProIn.dat" a session may start with, as the run log would show
# it; no cost formula gives it.
STALE_COST = "7777.125000"
# What a fake Tallowin writes when it finds a "ProIn.dat" at its start.
STALE_FOUND = "tallowin-found-a-cost-file"
FLAT_MODEL = b"Error: a=0 in Function: cutEnnergy !!!\n"
CUT_HEADING = b"  -----  Cutting the Objective Function ------ \n"
SEARCHES_PER_CUT = 6  # two per variable

# A normal end: the designer declined to continue, or the input ended there.
CONTINUE_PROMPT = " Continue? Yes/No (y/n): "

# ---------------------------------------------------------------------------------------
# The console input.

VALID_LENGTHS = ["4", "12", "14", "24", "26", "36", "38", "48", "50", "60", "62", "72",
                 "74", "84", "86", "96", "30.5", "8", "44"]
INVALID_LENGTHS = ["3.9", "12.5", "13", "49", "96.5", "0", "100", "-48"]
WIDTHS = ["1.5", "2", "2.5", "3", "3.5", "4", "5", "6", "4.2"]
TOLERANCES = ["0.005", "0.008", "0.01", "0.006", "0.0004"]
NCS = ["30", "25", "40", "0", "50"]
CFMS = ["100", "50", "200", "1000", "10"]
PRESSURES = ["0.1", "0.05", "0.2", "0.01", "0.3"]
THICKNESSES = ["0.125", "0.1", "0.15", "0.2", "0.6"]
ROOM_TEMPERATURES = ["70", "65", "72.5", "80"]


def bad_token(rng):
    """One line's worth of bad input, without its line end."""
    kind = rng.randrange(9)
    if kind == 0:  # junk words
        return rng.choice([b"abc", b"y", b"n", b"yes", b"no", b"q", b"help", b"--", b"..",
                           b"e5", b"x48", b"0x", b"#", b"Y", b"%s%n%d"])
    if kind == 1:  # stray characters
        alphabet = b"\t\r\x00\x1b\x7f\xff\xc3\xa9 ,;:!?'\"`\\/[]{}()<>|&*~^%$@#"
        return bytes(rng.choice(alphabet) for _ in range(rng.randint(1, 12)))
    if kind == 2:  # huge numbers
        return rng.choice([b"1e308", b"1e309", b"-1e308", b"1e39", b"3.4e38", b"99999999999",
                           b"2147483648", b"-2147483649", b"1e-400",
                           b"9" * rng.randint(20, 2000),
                           b"0." + b"0" * rng.randint(1, 500) + b"1"])
    if kind == 3:  # negative numbers
        return b"-" + rng.choice([b"48", b"1", b"0.005", b"100", b"0", b"2", b"1e9"])
    if kind == 4:  # NaN and inf
        return rng.choice([b"nan", b"NaN", b"-nan", b"inf", b"-inf", b"INF", b"infinity",
                           b"nan(0x1)"])
    if kind == 5:  # an empty line
        return b""
    if kind == 6:  # odd number formats
        return rng.choice([b"0x30", b"0x1p4", b"1e", b"1.2.3", b"+-3", b"  48  ", b"\t48",
                           b"48abc", b"48,5", b".", b"-", b"+"])
    if kind == 7:  # several answers on one line
        return rng.choice([b"48 2 0.005", b"1 0", b"y y y", b"0 0 0 0", b"\n\n\n"[:rng.randint(0, 2)]])
    return b"x" * rng.randint(100, 5000)  # a very long line


def answer(rng, valid, mutation):
    """Lines answering one number prompt: usually the valid answer, sometimes bad input
    before it, sometimes bad input instead of it."""
    lines = []
    if rng.random() < mutation:
        lines.append(bad_token(rng))
        if rng.random() < 0.3:
            return lines
    lines.append(valid.encode())
    return lines


def console_answers(rng, mutation):
    """The answers to the design prompts of one design."""
    lines = []
    for _ in range(rng.choice([0, 0, 0, 1, 2])):
        lines.append(rng.choice(INVALID_LENGTHS).encode())
    lines += answer(rng, rng.choice(VALID_LENGTHS), mutation)
    for values in (WIDTHS, TOLERANCES, NCS, CFMS, PRESSURES):
        lines += answer(rng, rng.choice(values), mutation)
    for new_values in (THICKNESSES, ROOM_TEMPERATURES):
        choice = rng.choice(["1", "1", "1", "2", "2", "0", "3", "-2"])
        lines += answer(rng, choice, mutation)
        if choice == "2":
            lines += answer(rng, rng.choice(new_values), mutation)
    return lines


# Runs of answers a persistent designer gives: a whole iteration cut at a listed level
# and continued, a cut below the model that asks for more points to help cutting (which
# fills the point set in a long session), and a cut at the second level.
DESIGNER_RUNS = [
    [b""] * 11 + [b"1", b"0", b"", b"", b""],
    [b"0", b"-1e9", b"0", b"y", b"", b"", b""],
    [b"2", b"0", b"", b"", b"", b""],
]


def optimisation_answers(rng, mutation):
    """Lines for the optimisation: confirmations, cutting choices and levels, the
    single-key answers, and bad input."""
    if rng.random() < 0.2:
        lines = [b""] * 11  # the initial design's pricings, so that the runs line up
        for _ in range(rng.choice([1, 2, 4])):
            run = rng.choice(DESIGNER_RUNS)
            for _ in range(rng.choice([3, 10, 30, 90])):
                for line in run:
                    lines.append(bad_token(rng) if rng.random() < mutation * 0.3 else line)
        return lines
    # Mostly short; now and then a long one that runs many iterations.
    count = rng.choice([0, 5, 15, 30, 45, 60, 90, 150, 150, 500])
    count = rng.randint(count // 2, count) if count else 0
    lines = []
    for _ in range(count):
        r = rng.random()
        if r < mutation * 0.5:
            lines.append(bad_token(rng))
        elif r < 0.45:
            lines.append(b"")
        else:
            lines.append(rng.choice([b"y", b"0", b"0", b"1", b"1", b"2", b"3", b"n", b"-1e9",
                                     b"1e9", b"12.5", b"0.0001", b"-0", b"9"]))
    return lines


def session_input(rng):
    """The whole console input of a session, as the pieces in which it is typed."""
    mutation = rng.choice([0.0, 0.05, 0.15, 0.3, 0.6])
    lines = []
    for design in range(rng.choice([1, 1, 1, 2, 3])):
        if design > 0:
            lines.append(rng.choice([b"y", b"yes", b"y please"]))
        lines += console_answers(rng, mutation)
        lines += optimisation_answers(rng, mutation)
    lines.append(rng.choice([b"n", b"no", b"N", b"Y", b"", b"stop"]))
    data = b"".join(line + b"\n" for line in lines)
    if rng.random() < 0.35:  # the input ends early, perhaps in the middle of a line
        data = data[:rng.randint(0, len(data))]
    data = data[:64 * 1024]
    pieces = []
    at = 0
    while at < len(data):
        end = data.find(b"\n", at)
        end = len(data) if end < 0 else end + 1
        if end - at > 2 and rng.random() < 0.1:  # half a line now, the rest later
            cut = rng.randint(at + 1, end - 1)
            pieces += [data[at:cut], data[cut:end]]
        else:
            pieces.append(data[at:end])
        at = end
    # Keep each piece well inside a pipe's capacity, so writing it never blocks.
    typed = []
    for piece in pieces:
        typed += [piece[i:i + 16384] for i in range(0, len(piece), 16384)]
    return typed


# ---------------------------------------------------------------------------------------
# The fake launchers.

COST_FORMULAS = [
    "10 + 0.01 * (m - 36) * (m - 36) + 0.02 / t",  # convex in the length
    "100 - 0.01 * (m - 44) * (m - 44)",             # concave in the length
    "5 + 0.5 * m + 0.001 / t",                      # linear
    "42",                                           # flat
    "-1000 - m",                                    # negative
    "1e30 * m",                                     # huge
    "1e40",                                         # beyond single precision
    "m * t",                                        # tiny
]

GARBAGE_WRITES = [
    ": > ProIn.dat",                                          # empty
    "printf '\\001\\377\\000\\033garbage\\n\\376\\n' > ProIn.dat",  # binary
    "printf 'Cost of the design\\n' > ProIn.dat",              # truncated: no number
    "printf 'Cost of the design' > ProIn.dat",                 # no line end either
    "printf '12.5\\n' > ProIn.dat",                            # the number on the first line
    "printf 'Cost\\nabc 12\\n' > ProIn.dat",                   # text where the cost stands
    "printf 'Cost\\nnan\\n' > ProIn.dat",
    "printf 'Cost\\n-inf\\n' > ProIn.dat",
    "printf 'Cost\\n1e39\\n' > ProIn.dat",
    "printf '%0300d\\n7.5\\n' 0 > ProIn.dat",                 # a first line of 300 characters
    "printf 'Cost\\n\\n\\n\\n   \\n 3.25 rest\\n' > ProIn.dat",
]


def price_command(formula):
    return ("awk '$1 == \"MandrelBar\" { m = $2 } $1 == \"tolerance\" { t = $2 }\n"
            "     END { printf \"Cost of the design\\n%.6f\\n\", " + formula +
            " }' outexcel.dat > ProIn.dat")


def failing_exit(rng):
    return rng.choice(["exit 1", "exit 2", "exit 3", "exit 126", "exit 255", "kill -TERM $$"])


def tallowin_script(rng, by_design=False):
    """The fake Tallowin of a session (None: no Tallowin at all) and its description.
    A flaky Tallowin counts its runs in a file of the working directory; `by_design`
    has it count with the checksum of the design it prices instead, so that its answer
    depends only on that design (a run killed while it runs and run again after a
    resume must price alike)."""
    formula = rng.choice(COST_FORMULAS)
    price = price_command(formula)
    mode = rng.choices(["price", "price-then-fail", "fail", "silent", "garbage", "flaky",
                        "missing"], [50, 8, 6, 5, 8, 18, 5])[0]
    if mode == "price":
        return price + "\n", mode + ": " + formula
    if mode == "price-then-fail":
        return price + "\n" + failing_exit(rng) + "\n", mode + ": " + formula
    if mode == "fail":
        return failing_exit(rng) + "\n", mode
    if mode == "silent":
        return "exit 0\n", mode
    if mode == "garbage":
        garbage = rng.choice(GARBAGE_WRITES)
        return garbage + "\n", mode + ": " + garbage
    if mode == "flaky":
        every = rng.randint(2, 6)
        fault = rng.choice([rng.choice(GARBAGE_WRITES), failing_exit(rng), "exit 0",
                            price + "\n" + failing_exit(rng)])
        count = ("n=$(cksum < outexcel.dat | cut -d ' ' -f 1)\n" if by_design else
                 "n=$(cat tallowin-count 2>/dev/null || echo 0)\n"
                 "n=$((n + 1))\n"
                 "echo $n > tallowin-count\n")
        body = (count +
                "if [ $((n % " + str(every) + ")) -eq 0 ]; then\n" + fault + "\nfi\n" +
                price + "\n")
        return body, "%s every %d: %s / %s" % (mode, every, fault, formula)
    return None, mode


def viewer_script(rng):
    """A fake Prevada or Quorvel (None: missing) and its description."""
    mode = rng.choices(["ok", "bill", "fail", "missing"], [60, 15, 15, 10])[0]
    if mode == "ok":
        return "exit 0\n", mode
    if mode == "bill":
        return "echo ' Bill of materials'; cat outexcel.dat\n", mode
    if mode == "fail":
        code = failing_exit(rng)
        return code + "\n", mode + ": " + code
    return None, mode


# ---------------------------------------------------------------------------------------
# Watching designopt.

def proc_syscall(pid):
    try:
        with open("/proc/%d/syscall" % pid) as f:
            return f.read().split()
    except OSError:
        return None


def calibrate_read_syscall():
    """The syscall line prefix of a process blocked reading its standard input, learnt
    from cat; None when /proc/<pid>/syscall cannot be read."""
    cat = subprocess.Popen(["cat"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            fields = proc_syscall(cat.pid)
            if fields and fields[0] not in ("running",) and len(fields) > 1 and fields[1] == "0x0":
                return fields[0]
            time.sleep(0.01)
        return None
    finally:
        cat.stdin.close()
        cat.wait()


def pending_bytes(fd):
    buf = fcntl.ioctl(fd, termios.FIONREAD, struct.pack("i", 0))
    return struct.unpack("i", buf)[0]


# What a launcher prints itself on designopt's streams. A resumed run does not run again
# the launchers of the part it replays, so their output is left out before a resumed
# run's streams are compared with the whole run's: in resumed sessions each launcher's
# output stands between these two bytes (see Session.install_launchers), and the shell's
# own messages about a launcher (not found, killed) are learnt at start.
LAUNCHER_BEGINS = b"\x02"
LAUNCHER_ENDS = b"\x03"


def shell_messages():
    """What the command interpreter of system() prints itself when a launcher is not
    found or dies of a signal: the exact texts, as designopt's child prints them."""
    texts = set()
    directory = tempfile.mkdtemp(prefix="designopt_fuzz_shell_")
    try:
        with open(os.path.join(directory, "Killed.exe"), "w") as f:
            f.write("#!/bin/sh\nkill -TERM $$\n")
        os.chmod(os.path.join(directory, "Killed.exe"), 0o755)
        env = dict(os.environ, PATH=directory + os.pathsep + "/usr/bin:/bin", LC_ALL="C")
        for command in ("Prevada.exe", "Quorvel.exe", "Tallowin.exe", "Killed.exe"):
            done = subprocess.run(["sh", "-c", command], executable="/bin/sh", cwd=directory,
                                  env=env, stdin=subprocess.DEVNULL, capture_output=True)
            if done.stderr:
                texts.add(done.stderr)
    finally:
        shutil.rmtree(directory, ignore_errors=True)
    return sorted(texts)


class LauncherOutputFilter:
    """Takes a stream in chunks and gives it back without what the launchers printed:
    the bytes from LAUNCHER_BEGINS to LAUNCHER_ENDS, and the shell's messages."""

    def __init__(self, texts):
        self.texts = [t for t in texts if t]
        self.keep = max([len(t) for t in self.texts] + [1]) - 1
        self.inside = False
        self.carry = b""

    def feed(self, chunk, final=False):
        data = self.carry + chunk
        self.carry = b""
        out = bytearray()
        at = 0
        while at < len(data):
            if self.inside:
                end = data.find(LAUNCHER_ENDS, at)
                if end < 0:
                    return bytes(out)  # all of it the launcher's
                self.inside = False
                at = end + 1
                continue
            # The first launcher text from here: a bracket or a shell message.
            found, length = data.find(LAUNCHER_BEGINS, at), 1
            for text in self.texts:
                where = data.find(text, at)
                if where >= 0 and (found < 0 or where < found):
                    found, length = where, len(text)
            if found >= 0:
                out += data[at:found]
                at = found + length
                self.inside = length == 1 and data[found:found + 1] == LAUNCHER_BEGINS
                continue
            # No launcher text; the last bytes may begin a shell message.
            stop = len(data) if final else max(at, len(data) - self.keep)
            out += data[at:stop]
            self.carry = data[stop:]
            break
        return bytes(out)


class ComparedStream:
    """What of a stream is compared between a session's whole run and its resumed run:
    the stream without the launchers' output (and, for a resumed run's error stream,
    without its first line, which says what was resumed), as a digest, a size and a
    head that shows where two streams part."""

    KEEP = 1 << 20

    def __init__(self, launcher_texts, drop_first_line=False):
        self.filter = LauncherOutputFilter(launcher_texts)
        self.dropping = drop_first_line
        self.first_line = b""
        self.digest = hashlib.sha256()
        self.size = 0
        self.head = bytearray()

    def feed(self, chunk, final=False):
        if self.dropping:
            end = chunk.find(b"\n")
            self.first_line += chunk if end < 0 else chunk[:end + 1]
            if end < 0:
                if not final:
                    return
                chunk = b""
            else:
                chunk = chunk[end + 1:]
            self.dropping = False
        data = self.filter.feed(chunk, final)
        self.digest.update(data)
        self.size += len(data)
        if len(self.head) < self.KEEP:
            self.head += data[:self.KEEP - len(self.head)]

    def differs_from(self, other):
        """None when the two streams are alike, else where they part (this stream is the
        resumed run's, `other` the whole run's)."""
        if self.size == other.size and self.digest.digest() == other.digest.digest():
            return None
        a, b = bytes(self.head), bytes(other.head)
        at = 0
        while at < min(len(a), len(b)) and a[at] == b[at]:
            at += 1
        if at == min(len(a), len(b)) and len(a) == self.KEEP and len(b) == other.KEEP:
            return "beyond the first %d bytes (sizes %d and %d)" % (at, self.size, other.size)
        line = a[:at].count(b"\n") + 1
        return "at byte %d (line %d; %d bytes resumed, %d whole): the resumed run has %r " \
            "where the whole run has %r" % (at, line, self.size, other.size,
                                            a[max(0, at - 60):at + 60], b[max(0, at - 60):at + 60])


class StreamKeeper:
    """Drains one output stream of designopt on its own thread and keeps its head and its
    tail. Some sessions legitimately write hundreds of megabytes of diagnostics (a flat
    cost makes every cutting energy report a=0), which must neither fill the disk nor
    hide a sanitizer report: every byte is scanned for the reports' marks. With
    `compared`, a ComparedStream takes the whole stream too."""

    KEEP = 1 << 20

    def __init__(self, pipe, counted=(), compared=None):
        self.pipe = pipe
        self.compared = compared
        self.head = bytearray()
        self.tail = bytearray()
        self.size = 0
        self.marks = set()
        # Occurrences of each counted text in the whole stream.
        self.counts = {text: 0 for text in counted}
        self.carries = {text: b"" for text in counted}
        self.thread = threading.Thread(target=self.drain, daemon=True)
        self.thread.start()

    def drain(self):
        overlap = b""
        longest = max(len(mark) for mark in SANITIZER_MARKS)
        while True:
            chunk = os.read(self.pipe.fileno(), 1 << 16)
            if not chunk:
                break
            self.size += len(chunk)
            if len(self.head) < self.KEEP:
                self.head += chunk[:self.KEEP - len(self.head)]
            self.tail += chunk
            del self.tail[:-self.KEEP]
            window = overlap + chunk
            for mark in SANITIZER_MARKS:
                if mark.encode() in window:
                    self.marks.add(mark)
            overlap = window[-longest:]
            for text in self.counts:
                # The carry is shorter than the text, so no occurrence is counted twice.
                joined = self.carries[text] + chunk
                self.counts[text] += joined.count(text)
                self.carries[text] = joined[-(len(text) - 1):]
            if self.compared is not None:
                self.compared.feed(chunk)
        if self.compared is not None:
            self.compared.feed(b"", final=True)
        self.pipe.close()

    def text(self):
        """The whole stream, or its head and tail around a note of what was left out."""
        self.thread.join()
        rest = self.size - len(self.head)  # bytes after the head, the tail's last ones
        if rest <= len(self.tail):
            data = bytes(self.head) + bytes(self.tail[len(self.tail) - rest:])
        else:
            data = bytes(self.head) + b"\n[... %d bytes left out ...]\n" % (
                rest - len(self.tail)) + bytes(self.tail)
        return data.decode("latin-1")

    def ending(self):
        self.thread.join()
        return bytes(self.tail).decode("latin-1")


def snapshot(directory):
    """Names, sizes, modes and contents of every file under a directory."""
    state = {}
    for root, dirs, files in os.walk(directory):
        for name in sorted(dirs + files):
            path = os.path.join(root, name)
            st = os.lstat(path)
            digest = ""
            if os.path.isfile(path) and not os.path.islink(path):
                with open(path, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
            state[os.path.relpath(path, directory)] = (st.st_mode, st.st_size, st.st_mtime_ns,
                                                       digest)
    return state


def file_difference(a, b):
    """None when two paths hold the same (the same bytes, both directories, or both
    missing), else how they differ."""
    def state(path):
        if os.path.isdir(path):
            return "a directory"
        try:
            with open(path, "rb") as f:
                return f.read()
        except OSError:
            return "missing"
    first, second = state(a), state(b)
    if first == second:
        return None
    if isinstance(first, str) or isinstance(second, str):
        return "%s in the whole run, %s in the resumed run" % (
            first if isinstance(first, str) else "%d bytes" % len(first),
            second if isinstance(second, str) else "%d bytes" % len(second))
    at = 0
    while at < min(len(first), len(second)) and first[at] == second[at]:
        at += 1
    return "%d bytes in the whole run, %d in the resumed run, apart from byte %d (line %d): " \
        "the whole run has %r where the resumed run has %r" % (
            len(first), len(second), at, first[:at].count(b"\n") + 1,
            first[max(0, at - 40):at + 40], second[max(0, at - 40):at + 40])


def run_logs(directory):
    logs = {}
    for name in os.listdir(directory):
        path = os.path.join(directory, name)
        if name.startswith("log") and name.endswith(".dat") and os.path.isfile(path):
            with open(path, "rb") as f:
                logs[name] = f.read()
    return logs


LAUNCHER_NAMES = ("Tallowin.exe", "Prevada.exe", "Quorvel.exe")
# Where a resumed session's Tallowin, in a run to be killed while one runs, writes its
# process id before it stops itself, for the fuzzer to kill the run or let it go on.
TALLOWIN_STOP = "DESIGNOPT_FUZZ_TALLOWIN_STOP"


def process_state(pid):
    """The state letter of a process ("T" when stopped), or None when it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0]
    except (OSError, IndexError):
        return None


def journal_records(directory):
    """The records of a folder's journal, each with its offset in the file."""
    try:
        with open(os.path.join(directory, "designopt.journal"), "rb") as f:
            data = f.read()
    except OSError:
        return [], 0
    records = []
    at = 0
    for line in data.splitlines(keepends=True):
        records.append((at, line.rstrip(b"\n")))
        at += len(line)
    return records, len(data)


def typed_ahead(record):
    """Whether a journal record took a typed answer (not the end of the input)."""
    return record.startswith((b"answer ", b"key ")) and not record.endswith(b"end-of-input")


def tallowin_kill_points(records, size, waits):
    """The Tallowin runs of a whole run (their ordinals, from 1) during which a kill
    loses nothing typed. designopt reads its console through a buffer: a run killed
    while its buffer holds typed bytes it has not yet taken (the line end a number
    answer leaves, answers typed ahead on one line) loses them, and its resume, fed what
    was typed after, would go another way than the whole run. Such bytes are taken
    after the Tallowin and before designopt waits again, so a kill is safe when no
    typed answer stands in the journal between the Tallowin's record and the next wait
    (the journal is written out before every wait; `waits` holds its size at each)."""
    points = []
    ordinal = 0
    for i, (at, record) in enumerate(records):
        if not record.startswith(b"launcher Tallowin.exe "):
            continue
        ordinal += 1
        following = bisect.bisect_right(waits, at)
        next_wait = waits[following] if following < len(waits) else size
        ahead = False
        for later_at, later in records[i + 1:]:
            if later_at >= next_wait:
                break
            if typed_ahead(later):
                ahead = True
                break
        if not ahead:
            points.append(ordinal)
    return points


class Run:
    """One run of designopt in a session: what it printed, how it ended, and what the
    fuzzer saw of its waits."""

    def __init__(self):
        self.failures = []
        self.outcome = "ended"
        self.status = None
        self.seconds = 0.0
        self.typed = 0           # pieces of input typed
        self.waits = []          # the journal's size at each wait
        self.killed_at = None    # where the run was killed, in words


class Session:
    """One fuzzed session: its set-up, its run and the verdict on it. A session whose
    seed is a multiple of --resume-every is run a second time in a folder of its own,
    killed at a random wait or while a Tallowin runs, and resumed; the resumed run must
    leave what the whole run left."""

    def __init__(self, seed, args, read_syscall):
        self.seed = seed
        self.args = args
        self.read_syscall = read_syscall
        self.rng = random.Random(seed)
        self.notes = []
        self.failures = []
        self.outcome = "ended"
        # Every --resume-every'th seed is killed and resumed, so that a short run has its
        # share; where it is killed comes from a generator of its own, and the session's
        # input and launchers stay those of its seed.
        self.plan = random.Random("resume %d" % seed)
        self.resumed = (read_syscall is not None and args.resume_every > 0 and
                        seed % args.resume_every == 0)
        self.kill_in_tallowin = self.plan.random() < 0.3
        self.stop_at = self.plan.choice(["before", "after"])
        self.kill_again = self.plan.random() < 0.25
        self.resume_result = None  # None: not resumed; else a word for the counts

    def set_up(self):
        rng = self.rng
        self.root = tempfile.mkdtemp(prefix="designopt_fuzz_%d_" % self.seed)
        self.parent = os.path.join(self.root, "P")
        self.work = os.path.join(self.parent, "w")
        self.io = os.path.join(self.root, "io")
        os.makedirs(self.work)
        os.makedirs(self.io)

        # The launchers: fake ones mostly, sometimes the built ones beside designopt.
        bodies = {}
        built = None
        if rng.random() < 0.1:
            built = os.path.dirname(os.path.abspath(self.args.designopt))
            self.launchers = built
            self.notes.append("launchers: built")
            bodies = {name: 'exec "%s"\n' % os.path.join(built, name) for name in LAUNCHER_NAMES}
        else:
            self.launchers = os.path.join(self.root, "bin")
            scripts = {"Tallowin.exe": tallowin_script(rng, by_design=self.resumed),
                       "Prevada.exe": viewer_script(rng), "Quorvel.exe": viewer_script(rng)}
            for name, (body, what) in scripts.items():
                self.notes.append("%s: %s" % (name, what))
                if body is None:
                    continue
                if name == "Tallowin.exe":
                    body = ("[ -e ProIn.dat ] && echo found >> " + STALE_FOUND + "\n" + body)
                bodies[name] = body
        if self.resumed:
            # designopt finds a launcher missing here in its own folder, after the PATH:
            # the wrapper runs that one, so that what it prints is bracketed too.
            own = os.path.dirname(os.path.abspath(self.args.designopt))
            for name in LAUNCHER_NAMES:
                if name not in bodies and os.access(os.path.join(own, name), os.X_OK):
                    bodies[name] = 'exec "%s"\n' % os.path.join(own, name)
                    self.notes.append("%s: the one beside designopt, wrapped" % name)
            self.install_resumed_launchers(bodies)
        elif built is None:
            os.makedirs(self.launchers)
            for name, body in bodies.items():
                self.install(os.path.join(self.launchers, name), body)

        # What the working directory holds before the run.
        today_log = time.strftime("log%B%d%y.dat")
        if rng.random() < 0.4:
            lines = [b"an earlier run's log", b"\x00\xff binary", b"x" * rng.randint(0, 3000),
                     b"The number of variables is 3"]
            text = b"\n".join(rng.choice(lines) for _ in range(rng.randint(0, 20)))
            if rng.random() < 0.5:
                text += b"\n"
            self.write(today_log, text)
            self.notes.append("today's log pre-created, %d bytes" % len(text))
        if rng.random() < 0.1:
            self.write("logJanuary0199.dat", b"another date's log\n")
        if rng.random() < 0.5:
            self.write("ProIn.dat", b"a stale cost\n" + STALE_COST.encode() + b"\n")
            self.notes.append("stale ProIn.dat")
        for name in ("input.dat", "outexcel.dat", today_log, "ProIn.dat"):
            if rng.random() < 0.025 and not os.path.exists(os.path.join(self.work, name)):
                os.makedirs(os.path.join(self.work, name))
                self.notes.append(name + " is a directory")

        self.typed = session_input(rng)
        self.logs_before = run_logs(self.work)
        self.launchers_before = snapshot(self.launchers)
        if self.resumed:
            # The killed and resumed run starts from the same files in a folder of its own.
            self.kill_parent = os.path.join(self.root, "K")
            self.kill_work = os.path.join(self.kill_parent, "w")
            shutil.copytree(self.work, self.kill_work, symlinks=True)
    @staticmethod
    def install(path, body):
        with open(path, "w") as f:
            f.write("#!/bin/sh\n" + body)
        os.chmod(path, 0o755)

    def install_resumed_launchers(self, bodies):
        """A resumed session's launchers: each the session's launcher (kept in "real")
        run by a wrapper that brackets all it prints between LAUNCHER_BEGINS and
        LAUNCHER_ENDS, on both streams. In a run to be killed while a Tallowin runs,
        each Tallowin stops itself before or after its work (the session's choice) until
        the fuzzer kills the run or lets it go on."""
        real = os.path.join(self.root, "real")
        self.launchers = os.path.join(self.root, "bin")
        os.makedirs(real)
        os.makedirs(self.launchers)
        for name, body in bodies.items():
            self.install(os.path.join(real, name), body)
            stop = ('if [ -n "$%s" ]; then echo $$ > "$%s"; kill -STOP $$; fi\n'
                    % (TALLOWIN_STOP, TALLOWIN_STOP) if name == "Tallowin.exe" else "")
            self.install(os.path.join(self.launchers, name),
                         "printf '\\002'; printf '\\002' >&2\n" +
                         (stop if self.stop_at == "before" else "") +
                         '"%s"\nstatus=$?\n' % os.path.join(real, name) +
                         (stop if self.stop_at == "after" else "") +
                         "printf '\\003'; printf '\\003' >&2\nexit $status\n")

    def write(self, name, data):
        with open(os.path.join(self.work, name), "wb") as f:
            f.write(data)

    def environment(self, parent):
        env = dict(os.environ)
        env["PATH"] = self.launchers + os.pathsep + env.get("PATH", "/usr/bin:/bin")
        env["HOME"] = parent
        env["TMPDIR"] = parent
        env["LC_ALL"] = "C"
        env["ASAN_OPTIONS"] = "detect_leaks=1:abort_on_error=0:exitcode=%d" % SANITIZER_EXIT
        env["UBSAN_OPTIONS"] = "print_stacktrace=1:halt_on_error=1:exitcode=%d" % SANITIZER_EXIT
        return env

    def waiting_for_input(self, pid):
        fields = proc_syscall(pid)
        return bool(fields) and fields[0] == self.read_syscall and len(fields) > 1 \
            and fields[1] == "0x0"

    def launch(self, work, parent, name, pieces, seconds, arguments=(), kill=None,
               resumed=False):
        """Runs designopt once in `work`, typing `pieces` one at each wait; a run still
        reading input after `seconds` is cut short. `kill`, when given, is ("wait", k):
        kill the run at its k-th wait (from 0) instead of typing; or ("tallowin",
        ordinals): kill it while the first Tallowin run among `ordinals` (counted from 1)
        runs. `name` prefixes the files in io that keep what was typed and printed."""
        args = self.args
        run = Run()
        fed = open(os.path.join(self.io, name + "stdin.txt"), "wb")
        env = self.environment(parent)
        stopped = os.path.join(self.io, name + "tallowin-stopped")
        if kill is not None and kill[0] == "tallowin":
            env[TALLOWIN_STOP] = stopped
        tallowins = 0
        proc = subprocess.Popen([os.path.abspath(args.designopt)] + list(arguments), cwd=work,
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=env, start_new_session=True)
        compared_out = compared_err = None
        if self.resumed:
            compared_out = ComparedStream(self.args.launcher_texts)
            compared_err = ComparedStream(self.args.launcher_texts, drop_first_line=resumed)
        run.stdout = StreamKeeper(proc.stdout, (CUT_HEADING,), compared_out)
        run.stderr = StreamKeeper(proc.stderr, (FLAT_MODEL,), compared_err)
        pipe = proc.stdin.fileno()
        pieces = collections.deque(pieces)
        journal = os.path.join(work, "designopt.journal")
        start = time.monotonic()
        last_wait = start
        input_ended = None
        blind = self.read_syscall is None
        # Fed blind, the input ends at once: only the session bound can tell a hang.
        drain_seconds = args.session_seconds if blind else args.drain_seconds
        try:
            while proc.poll() is None:
                now = time.monotonic()
                if input_ended is not None and now - input_ended > drain_seconds:
                    run.outcome = "hang"
                    run.failures.append("still running %.0f s after its input ended"
                                        % drain_seconds)
                    break
                if now - start > seconds:
                    run.outcome = "cut short"
                    break
                if TALLOWIN_STOP in env and os.path.exists(stopped):
                    # A Tallowin stopped itself: kill the run there, or let it go on.
                    with open(stopped) as f:
                        text = f.read()
                    if not text.endswith("\n") or process_state(int(text)) not in ("T", None):
                        time.sleep(0.001)
                        continue
                    os.remove(stopped)
                    tallowins += 1
                    if tallowins in kill[1]:
                        run.outcome = "killed"
                        run.killed_at = ("while its Tallowin run %d ran (stopped %s its work), "
                                         "after %d pieces of input"
                                         % (tallowins, self.stop_at, run.typed))
                        break
                    try:
                        os.kill(int(text), signal.SIGCONT)
                    except ProcessLookupError:
                        pass
                    last_wait = now
                    continue
                waiting = not blind and self.waiting_for_input(proc.pid)
                if input_ended is None and (blind or waiting) and pending_bytes(pipe) == 0:
                    last_wait = now
                    try:
                        run.waits.append(os.path.getsize(journal))
                    except OSError:
                        run.waits.append(-1)
                    if kill is not None and kill[0] == "wait" and len(run.waits) - 1 == kill[1]:
                        run.outcome = "killed"
                        run.killed_at = "at its wait %d, after %d pieces of input" % (
                            kill[1], run.typed)
                        break
                    if pieces:
                        piece = pieces.popleft()
                        fed.write(piece)
                        run.typed += 1
                        try:
                            os.write(pipe, piece)
                        except BrokenPipeError:
                            pass
                    else:
                        proc.stdin.close()
                        input_ended = now
                elif input_ended is None and now - last_wait > args.stall_seconds:
                    run.outcome = "hang"
                    run.failures.append("asked for no input for %.0f s (spinning or stuck)"
                                        % args.stall_seconds)
                    break
                time.sleep(0.002)
        finally:
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            proc.wait()
            if not proc.stdin.closed:
                try:
                    proc.stdin.close()
                except BrokenPipeError:
                    pass
            fed.close()
        run.status = proc.returncode
        run.seconds = time.monotonic() - start
        for stream_name, stream in (("stdout.txt", run.stdout), ("stderr.txt", run.stderr)):
            with open(os.path.join(self.io, name + stream_name), "w", encoding="latin-1") as f:
                f.write(stream.text())
        return run

    def run(self, seconds):
        """Runs the session whole; a session still reading input after `seconds` is cut
        short."""
        self.whole = self.launch(self.work, self.parent, "", self.typed, seconds)
        self.stdout = self.whole.stdout
        self.stderr = self.whole.stderr
        self.status = self.whole.status
        self.seconds = self.whole.seconds
        self.outcome = self.whole.outcome
        self.failures += self.whole.failures

    def judge(self):
        self.out = self.stdout.text()
        out = self.stdout.ending()
        err = self.stderr.ending()
        if self.outcome == "ended":
            if self.status == SANITIZER_EXIT:
                self.failures.append("ended with the sanitizer's status")
            elif self.status not in (0, 1):
                self.failures.append("ended with status %d" % self.status)
            elif self.status == 0 and not out.endswith(CONTINUE_PROMPT):
                self.failures.append("status 0, but the continue prompt is not the last output")
            elif self.status == 1 and not (out.endswith(FATAL_STDOUT_ENDINGS) or
                                           err.endswith(FATAL_STDERR_ENDINGS)):
                self.failures.append("status 1 without its message as the last output")
        marks = self.stdout.marks | self.stderr.marks
        if marks:
            self.failures.append("sanitizer report: " + ", ".join(sorted(marks)))

        # No cost from before the pricing: no stale cost in what this session logged, and
        # no cost file left for a Tallowin to find at its start.
        logs_after = run_logs(self.work)
        for name, after in logs_after.items():
            written = after[len(self.logs_before.get(name, b"")):]
            if STALE_COST.encode() in written:
                self.failures.append("the stale cost %s was taken (run log %s)"
                                     % (STALE_COST, name))
        if os.path.exists(os.path.join(self.work, STALE_FOUND)):
            self.failures.append("a Tallowin found a ProIn.dat at its start")

        # A flat model is reported at most once per cutting search.
        flat = self.stderr.counts[FLAT_MODEL]
        cuts = self.stdout.counts[CUT_HEADING]
        if flat > SEARCHES_PER_CUT * cuts:
            self.failures.append("%d flat-model reports in %d cuts" % (flat, cuts))

        # The run logs only grow, their old content first.
        for name, before in self.logs_before.items():
            after = logs_after.get(name)
            if after is None:
                self.failures.append("run log %s is gone" % name)
            elif not after.startswith(before):
                self.failures.append("run log %s lost content (%d bytes before, %d after)"
                                     % (name, len(before), len(after)))

        # Nothing written outside the working directory.
        extra = sorted(set(os.listdir(self.parent)) - {"w"})
        if extra:
            self.failures.append("wrote outside its working directory: %s" % ", ".join(extra))
        if snapshot(self.launchers) != self.launchers_before:
            self.failures.append("the launchers' directory changed")

    def kill_and_resume(self, seconds):
        """Runs the session again in its own folder, kills it (SIGKILL to its process
        group) at a random wait or while a Tallowin runs, resumes it with `designopt
        --resume` fed the pieces of input the killed run had not been given, and
        compares. `seconds()` gives each run's time bound."""
        whole = self.whole
        plan = self.plan
        records, size = journal_records(self.work)
        tallowins = sum(1 for _, record in records
                        if record.startswith(b"launcher Tallowin.exe "))
        kill = None
        if self.kill_in_tallowin and os.path.exists(os.path.join(self.root, "real",
                                                                 "Tallowin.exe")):
            points = tallowin_kill_points(records, size, whole.waits)
            if points:
                first = plan.randrange(len(points))
                kill = ("tallowin", {points[first]})
                self.notes.append("to be killed while Tallowin run %d runs (%d in the whole "
                                  "run)" % (points[first], tallowins))
        if kill is None:
            # A kill at a wait where designopt was given half a line would lose that half:
            # a console gives a program whole lines, so only waits at a line end count.
            waits = [k for k in range(len(whole.waits))
                     if k == 0 or self.typed[k - 1].endswith(b"\n")]
            if not waits:
                self.resume_result = "never waited"
                return
            kill = ("wait", plan.choice(waits))
            self.notes.append("to be killed at wait %d of %d (of %d pieces of input)"
                              % (kill[1], len(whole.waits), len(self.typed)))

        killed = self.killed_run("killed-", self.typed, seconds(), (), kill, "killed run")
        if killed is None:
            return
        self.killed = killed
        self.notes.append("killed " + killed.killed_at)
        self.kills = "killed " + killed.killed_at
        typed = killed.typed

        # Now and then the resumed run is killed again, at one of its own waits: the
        # replay does not wait, so its wait j is the whole run's wait typed + j.
        again = [j for j in range(len(whole.waits) - typed)
                 if typed + j == 0 or self.typed[typed + j - 1].endswith(b"\n")] \
            if self.kill_again else []
        if again:
            j = plan.choice(again)
            self.notes.append("to be killed again at the resume's wait %d" % j)
            killed = self.killed_run("killed-again-", self.typed[typed:], seconds(),
                                     ["--resume"], ("wait", j), "resumed run killed again")
            if killed is None:
                return
            self.kills += ", resumed and killed again " + killed.killed_at
            self.notes.append("resumed and killed again " + killed.killed_at)
            typed += killed.typed

        rest = self.typed[typed:]
        resumed = self.launch(self.kill_work, self.kill_parent, "resumed-", rest, seconds(),
                              arguments=["--resume"], resumed=True)
        self.resumed_run = resumed
        self.failures += ["resumed run: " + failure for failure in resumed.failures]
        self.check_sanitizer_marks("resumed run", resumed)
        if resumed.outcome == "cut short":
            self.resume_result = "resume cut short"
            return
        if resumed.outcome != "ended":
            return
        self.resume_result = "compared"
        self.compare(resumed)

    def killed_run(self, name, pieces, seconds, arguments, kill, which):
        """Runs designopt in the session's second folder to be killed as `kill` says (see
        launch) and keeps that folder as the kill left it in `name`state. Returns the
        run, or None when it was not killed: a run that ended by itself went another way
        than the whole run, which is a failure."""
        run = self.launch(self.kill_work, self.kill_parent, name, pieces, seconds,
                          arguments=arguments, kill=kill)
        self.failures += ["%s: %s" % (which, failure) for failure in run.failures]
        self.check_sanitizer_marks(which, run)
        if run.outcome == "killed":
            shutil.copytree(self.kill_work, os.path.join(self.root, name + "state"),
                            symlinks=True)
            return run
        if run.outcome == "ended":
            self.failures.append(
                "%s, to be killed %s, ended by itself (status %s) after %d waits; the whole "
                "run waited %d times" % (
                    which, "at its wait %d" % kill[1] if kill[0] == "wait" else
                    "while its Tallowin run %d ran" % min(kill[1]), run.status,
                    len(run.waits), len(self.whole.waits)))
        else:
            self.resume_result = "%s %s" % (which, run.outcome)
        return None

    def check_sanitizer_marks(self, which, run):
        marks = run.stdout.marks | run.stderr.marks
        if marks:
            self.failures.append("%s: sanitizer report: %s" % (which, ", ".join(sorted(marks))))

    def compare(self, resumed):
        """The resumed run against the whole run: nothing may differ."""
        whole = self.whole
        differences = []
        if resumed.status != whole.status:
            differences.append("exit status %s, the whole run's %s" % (resumed.status,
                                                                       whole.status))
        where = resumed.stdout.compared.differs_from(whole.stdout.compared)
        if where:
            differences.append("standard output differs " + where)
        first = resumed.stderr.compared.first_line
        if not first.startswith(b"Resumed the run of "):
            differences.append("the first line on the standard error is %r" % first[:200])
        where = resumed.stderr.compared.differs_from(whole.stderr.compared)
        if where:
            differences.append("standard error (after its first line) differs " + where)
        names = {"input.dat", "outexcel.dat"} | set(run_logs(self.work)) | \
            set(run_logs(self.kill_work))
        for name in sorted(names):
            where = file_difference(os.path.join(self.work, name),
                                    os.path.join(self.kill_work, name))
            if where:
                differences.append("%s differs: %s" % (name, where))
        journals = [journal_records(directory)[0] for directory in (self.work, self.kill_work)]
        journals = [[record for _, record in records if not record.startswith(b"began ")]
                    for records in journals]
        if journals[0] != journals[1]:
            at = 0
            while at < min(map(len, journals)) and journals[0][at] == journals[1][at]:
                at += 1
            differences.append("designopt.journal differs (but for its began line) from "
                               "record %d: the resumed run's %r, the whole run's %r" % (
                                   at + 1, journals[1][at:at + 1], journals[0][at:at + 1]))
        if os.path.exists(os.path.join(self.kill_work, STALE_FOUND)):
            differences.append("a Tallowin of the killed or resumed run found a ProIn.dat at "
                               "its start")
        extra = sorted(set(os.listdir(self.kill_parent)) - {"w"})
        if extra:
            differences.append("wrote outside its working directory: %s" % ", ".join(extra))
        self.failures += ["resumed run (%s): %s" % (self.kills, difference)
                          for difference in differences]

    def keep(self, keep_dir):
        target = os.path.join(keep_dir, "seed-%d" % self.seed)
        shutil.rmtree(target, ignore_errors=True)
        shutil.copytree(self.root, target, symlinks=True)
        with open(os.path.join(target, "session.txt"), "w") as f:
            f.write("seed %d\n%s\n" % (self.seed, "\n".join(self.notes)))
            f.write("failures:\n%s\n" % "\n".join(self.failures))
        return target

    def clean_up(self):
        shutil.rmtree(self.root, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--designopt", default=os.path.join(REPO, "build-sanitize", "bin",
                                                            "designopt"))
    parser.add_argument("--sessions", type=int, default=200, help="at most this many sessions")
    parser.add_argument("--time", type=float, default=600,
                        help="start no session after this many seconds")
    parser.add_argument("--seed", type=int, default=1, help="seed of the first session")
    parser.add_argument("--replay", type=int, metavar="SEED",
                        help="run the one session of this seed and keep its directory")
    parser.add_argument("--session-seconds", type=float, default=120)
    parser.add_argument("--drain-seconds", type=float, default=30)
    parser.add_argument("--stall-seconds", type=float, default=30)
    parser.add_argument("--keep-dir", default=None,
                        help="where failing sessions are kept (default: a new temporary dir)")
    parser.add_argument("--blind", action="store_true",
                        help="feed the input without watching designopt's reads")
    parser.add_argument("--resume-every", type=int, default=3, metavar="N",
                        help="kill and resume the sessions whose seed is a multiple of N "
                             "(0: none)")
    parser.add_argument("-v", "--verbose", action="store_true")
    args = parser.parse_args()
    if not os.access(args.designopt, os.X_OK):
        print("session_fuzz: no designopt at %s (build it first, e.g. scripts/test.sh "
              "--sanitize)" % args.designopt, file=sys.stderr)
        return 2

    read_syscall = None if args.blind else calibrate_read_syscall()
    if read_syscall is None:
        print("session_fuzz: /proc/<pid>/syscall is not readable; the input is fed at once "
              "and only the session time bound catches hangs; no session is resumed")
    args.launcher_texts = shell_messages()

    seeds = [args.replay] if args.replay is not None else \
        [args.seed + k for k in range(args.sessions)]
    keep_dir = args.keep_dir
    started = time.monotonic()
    counts = collections.Counter()
    failed = []
    for seed in seeds:
        if time.monotonic() - started > args.time:
            break
        session = Session(seed, args, read_syscall)
        session.set_up()
        # The last session may overrun the time budget only a little.
        left = args.time - (time.monotonic() - started)
        session.run(max(5.0, min(args.session_seconds, left + 10)))
        session.judge()
        if session.resumed and session.outcome == "ended" and not session.failures:
            # A resumed session runs about twice more: skip it when that would overrun.
            left = args.time - (time.monotonic() - started)
            if args.replay is None and left + 10 < 2 * session.seconds:
                session.resume_result = "skipped for time"
            else:
                session.kill_and_resume(lambda: max(5.0, min(
                    args.session_seconds, args.time - (time.monotonic() - started) + 10)))
                if session.resume_result == "compared":
                    counts["resumed"] += 1
                    counts["killed in Tallowin" if "Tallowin" in session.killed.killed_at
                           else "killed at a wait"] += 1
                    if "killed again" in session.kills:
                        counts["killed again"] += 1
        if session.resume_result and session.resume_result != "compared":
            counts["not resumed: " + session.resume_result] += 1
        counts["run"] += 1
        counts["status %s" % session.status] += 1
        if session.outcome == "cut short":
            counts["cut short"] += 1
        if "Design Iteration 2" in session.out:
            counts["reached iteration 2"] += 1
        if "The point set is full (250 points)" in session.out:
            counts["filled the point set"] += 1
        if session.failures or args.replay is not None:
            if keep_dir is None:
                keep_dir = tempfile.mkdtemp(prefix="designopt_fuzz_kept_")
            kept = session.keep(keep_dir)
        if session.failures:
            failed.append(seed)
            print("FAIL seed %d (%.1f s): %s\n  %s\n  kept in %s\n  replay: %s %s --designopt %s "
                  "--replay %d%s" % (seed, session.seconds, "; ".join(session.failures),
                                     " | ".join(session.notes), kept, sys.executable,
                                     os.path.relpath(__file__), args.designopt, seed,
                                     "" if args.resume_every == 3 else
                                     " --resume-every %d" % args.resume_every), flush=True)
        elif args.verbose or args.replay is not None:
            print("ok   seed %d (%.1f s, status %s, %s): %s" % (
                seed, session.seconds, session.status, session.outcome,
                " | ".join(session.notes)), flush=True)
            if args.replay is not None:
                print("  kept in %s" % kept)
        session.clean_up()

    print("session fuzz: %d sessions run in %.0f s, %d failed, %d cut short while still "
          "reading input; status 0: %d, status 1: %d, reached iteration 2: %d, filled the "
          "point set: %d"
          % (counts["run"], time.monotonic() - started, len(failed), counts["cut short"],
             counts["status 0"], counts["status 1"], counts["reached iteration 2"],
             counts["filled the point set"]))
    not_resumed = sorted(key for key in counts if key.startswith("not resumed: "))
    print("  killed and resumed: %d (%d at a wait, %d while Tallowin ran; %d of them resumed, "
          "killed again and resumed)%s"
          % (counts["resumed"], counts["killed at a wait"], counts["killed in Tallowin"],
             counts["killed again"],
             "".join("; %s: %d" % (key, counts[key]) for key in not_resumed)))
    if failed:
        print("failing seeds: %s (kept in %s)" % (" ".join(map(str, failed)), keep_dir))
        with open(os.path.join(keep_dir, "failing-seeds.txt"), "a") as f:
            f.write("".join("%d\n" % seed for seed in failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
