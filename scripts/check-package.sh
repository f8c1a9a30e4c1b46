#!/usr/bin/env bash
# Lists a release package made by scripts/package.sh and checks its contents: every
# program and file it must hold, nothing else (a bin/designopt-report program is
# accepted when present), and the programs being what they should be:
#   tar.gz (Linux): Linux executables, the launchers over the built-in cost workbook,
#     which must price the 48 by 2 grille when run from the unpacked bin/;
#   zip (Windows): Windows executables, designopt a console program, the launchers
#     windowed programs that drive "Excel.Application", and no cost sheets.
# Usage: scripts/check-package.sh PACKAGE     (needs python3)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
package=${1:?usage: $0 PACKAGE}
python3 - "$package" "$root" <<'PYTHON'
import os, stat, subprocess, sys, tarfile, tempfile, zipfile

package, root = sys.argv[1], sys.argv[2]
problems = []

if package.endswith(".tar.gz"):
    kind = "linux"
    with tarfile.open(package) as archive:
        members = {m.name: m for m in archive.getmembers() if m.isfile()}
        entries = {name: (members[name].mode, archive.extractfile(members[name]).read())
                   for name in members}
elif package.endswith(".zip"):
    kind = "windows"
    with zipfile.ZipFile(package) as archive:
        entries = {info.filename: ((info.external_attr >> 16) & 0o777, archive.read(info))
                   for info in archive.infolist() if not info.is_dir()}
else:
    sys.exit(f"{package}: neither a .tar.gz nor a .zip")

top = os.path.basename(package).rsplit(".tar.gz" if kind == "linux" else ".zip", 1)[0]
print(f"{package}:")
for name in sorted(entries):
    print(f"  {len(entries[name][1]):>9}  {name}")

def inside(name):
    return f"{top}/{name}"

if kind == "linux":
    programs = ["bin/designopt", "bin/Prevada.exe", "bin/Quorvel.exe", "bin/Tallowin.exe"]
    required = programs + ["bin/QUVA2002.costsheet", "bin/QUVA2002_Old.costsheet", "README.md"]
    optional = ["bin/designopt-report"]
else:
    programs = ["bin/designopt.exe", "bin/Prevada.exe", "bin/Quorvel.exe", "bin/Tallowin.exe"]
    required = programs + ["README-windows.txt"]
    optional = ["bin/designopt-report.exe"]

for name in required:
    if inside(name) not in entries:
        problems.append(f"missing: {name}")
allowed = {inside(name) for name in required + optional}
for name in entries:
    if name not in allowed:
        problems.append(f"not expected: {name}")

def pe_subsystem(data):
    """2 for a windowed program, 3 for a console program, None if not a PE file."""
    if data[:2] != b"MZ" or len(data) < 0x40:
        return None
    pe = int.from_bytes(data[0x3C:0x40], "little")
    if data[pe:pe + 4] != b"PE\0\0":
        return None
    return int.from_bytes(data[pe + 0x5C:pe + 0x5E], "little")

for name in programs + [o for o in optional if inside(o) in entries]:
    if inside(name) not in entries:
        continue
    mode, data = entries[inside(name)]
    if kind == "linux":
        if data[:4] != b"\x7fELF":
            problems.append(f"{name}: not a Linux executable")
        if not mode & stat.S_IXUSR:
            problems.append(f"{name}: not executable")
    else:
        launcher = name in ("bin/Prevada.exe", "bin/Quorvel.exe", "bin/Tallowin.exe")
        subsystem = pe_subsystem(data)
        if subsystem is None:
            problems.append(f"{name}: not a Windows executable")
        elif launcher and subsystem != 2:
            problems.append(f"{name}: not a windowed program (subsystem {subsystem})")
        elif name == "bin/designopt.exe" and subsystem != 3:
            problems.append(f"{name}: not a console program (subsystem {subsystem})")
        if launcher and "Excel.Application".encode("utf-16-le") not in data:
            problems.append(f"{name}: does not drive Excel (built with the built-in cost workbook?)")

# The unpacked Linux launchers price a design with the cost sheets beside them.
if kind == "linux" and not problems:
    with tempfile.TemporaryDirectory() as scratch:
        with tarfile.open(package) as archive:
            archive.extractall(scratch)
        work = os.path.join(scratch, "work")
        os.mkdir(work)
        fixture = open(os.path.join(root, "tests/fixtures/exchange_fixture.h")).read()
        lines = [line.split('"', 1)[1].rsplit('"', 1)[0] for line in fixture.splitlines()
                 if line.strip().startswith('"')]
        text = "".join(lines).encode().decode("unicode_escape")
        open(os.path.join(work, "outexcel.dat"), "w").write(text)
        tallowin = os.path.join(scratch, top, "bin", "Tallowin.exe")
        run = subprocess.run([tallowin], cwd=work, capture_output=True, text=True, timeout=60)
        cost = os.path.join(work, "ProIn.dat")
        if run.returncode != 0 or not os.path.exists(cost):
            problems.append(f"the packaged Tallowin.exe does not price: {run.stderr.strip()}")
        else:
            print(f"  the packaged Tallowin.exe prices the 48 by 2 grille at "
                  f"{open(cost).read().splitlines()[1]}")

if problems:
    for problem in problems:
        print(f"  PROBLEM: {problem}")
    sys.exit(1)
print(f"  contents as expected ({kind} package)")
PYTHON
