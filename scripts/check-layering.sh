#!/usr/bin/env bash
# The layering check: every source under src/ includes only headers of its own folder
# and of the libraries its CMake target lists in DEPENDS, and every library depends
# only on libraries added before it in CMakeLists.txt (lower layers first). Fails with
# the offending file and include, or the dependency that points upwards.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 - <<'PY'
import os, re, sys

root = os.getcwd()
top = open("CMakeLists.txt").read()
folders = re.findall(r"add_subdirectory\(src/(\w+)\)", top)
layer = {f: i for i, f in enumerate(folders)}

call = re.compile(r"designopt_(library|test|benchmark)\((\w+)(.*?)\)", re.S)
library_folder = {}   # CMake library -> folder
targets = []          # (folder, kind, name, sources, depends)
for folder in folders:
    text = open(os.path.join("src", folder, "CMakeLists.txt")).read()
    for kind, name, body in call.findall(text):
        words = body.split()
        sources, depends, part = [], [], None
        for w in words:
            if w in ("SOURCES", "DEPENDS"):
                part = w
            elif part == "SOURCES":
                sources.append(w)
            elif part == "DEPENDS":
                depends.append(w)
        targets.append((folder, kind, name, sources, depends))
        if kind == "library":
            library_folder[name] = folder

problems = []
include = re.compile(r'^\s*#\s*include\s+"([\w]+)/[^"]+"', re.M)

def allowed_folders(folder, depends):
    allowed = {folder}
    for d in depends:
        if d in library_folder:
            allowed.add(library_folder[d])
    return allowed

def check_file(path, folder, allowed, target):
    for used in include.findall(open(path).read()):
        if used in ("fixtures",):
            continue
        if used not in layer:
            continue  # not a library of src/
        if used not in allowed:
            problems.append(f"{path}: includes a header of src/{used}, which {target} does not list in DEPENDS")

for folder, kind, name, sources, depends in targets:
    allowed = allowed_folders(folder, depends)
    if kind == "library":
        for d in depends:
            f = library_folder.get(d)
            if f is not None and f != folder and layer[f] >= layer[folder]:
                problems.append(f"src/{folder}/CMakeLists.txt: {name} depends on {d} (src/{f}), "
                                f"which is not below it in CMakeLists.txt: the dependency points upwards")
    for source in sources:
        if source.endswith(".cpp"):
            check_file(os.path.join("src", folder, source), folder, allowed, name)

# A header belongs to the library that compiles the source of its name; a header
# without one (a record, a constant) to every library of its folder together.
for folder in folders:
    libraries = [t for t in targets if t[0] == folder and t[1] == "library"]
    for entry in sorted(os.listdir(os.path.join("src", folder))):
        if not entry.endswith(".h"):
            continue
        stem = entry[:-2] + ".cpp"
        owners = [t for t in libraries if stem in t[3]] or libraries
        allowed = set()
        for t in owners:
            allowed |= allowed_folders(folder, t[4])
        check_file(os.path.join("src", folder, entry), folder, allowed,
                   " or ".join(t[2] for t in owners) or "no library")

# Every .cpp under src/ belongs to some target of its folder (or is a program's main).
listed = {(f, s) for f, _, _, ss, _ in targets for s in ss}
for folder in folders:
    cml = open(os.path.join("src", folder, "CMakeLists.txt")).read()
    for entry in sorted(os.listdir(os.path.join("src", folder))):
        if entry.endswith(".cpp") and (folder, entry) not in listed and entry not in cml:
            problems.append(f"src/{folder}/{entry}: in no target of src/{folder}/CMakeLists.txt")

if problems:
    print("Layering check failed:")
    for p in problems:
        print("  " + p)
    sys.exit(1)
print(f"Layering check passed: {len(folders)} folders in layer order: " + " < ".join(folders))
PY
