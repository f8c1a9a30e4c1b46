#!/usr/bin/env python3
"""Runs the built designopt-report on the golden sessions' logs and checks what it writes:
the page is well-formed XML as a whole and in every SVG part, holds one section per design
with one chart of each kind, the CSV has one row per evaluation the log counts, and a
truncated or foreign log is refused with its line number and exit status 1, with no file
left under the output's name or beside it.

Usage: check_report_page.py DESIGNOPT_REPORT SOURCE_DIR
"""
import csv
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

# The chart set of one design, in page order.
CHARTS = ["cost-history", "design-space", "predicted-real", "pair-planes", "fitted-surface"]
SVG = "{http://www.w3.org/2000/svg}svg"


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def check_log(report, log_path, work):
    name = os.path.basename(os.path.dirname(log_path))
    html = os.path.join(work, name + ".html")
    table = os.path.join(work, name + ".csv")
    run = subprocess.run([report, log_path, "-o", html, "--csv", table], capture_output=True, text=True)
    if run.returncode != 0:
        fail(f"{name}: exit status {run.returncode}: {run.stderr}")
    with open(html, encoding="utf-8") as f:
        page = f.read()
    for k, part in enumerate(re.findall(r"<svg\b.*?</svg>", page, flags=re.S)):
        try:
            ET.fromstring(part)
        except ET.ParseError as e:
            fail(f"{name}: SVG part {k + 1} is not well formed: {e}")
    try:
        root = ET.fromstring(page.replace("<!DOCTYPE html>", "", 1))
    except ET.ParseError as e:
        fail(f"{name}: the page is not well formed: {e}")
    if root.find(".//script") is not None or re.search(r"\b(src|href)\s*=", page):
        fail(f"{name}: the page refers to something outside itself")

    with open(log_path, encoding="utf-8") as f:
        log = f.read()
    counts = [int(c) for c in re.findall(r"The total number of objective function evaluations is (\d+)", log)]
    sections = [s for s in root.iter("section") if s.get("class") == "design"]
    if len(sections) != len(counts):
        fail(f"{name}: {len(sections)} design sections for {len(counts)} designs in the log")
    for k, section in enumerate(sections):
        charts = [svg.get("data-chart") for svg in section.iter(SVG)]
        if charts != CHARTS:
            fail(f"{name}: design {k + 1} has the charts {charts}")

    with open(table, newline="") as f:
        rows = list(csv.DictReader(f))
    for k, count in enumerate(counts):
        mine = [r for r in rows if r["design"] == str(k + 1)]
        if len(mine) != count:
            fail(f"{name}: design {k + 1} has {len(mine)} CSV rows for {count} evaluations")
        if [int(r["point"]) for r in mine] != list(range(1, count + 1)):
            fail(f"{name}: design {k + 1} points are not numbered 1..{count}")
    print(f"ok: {name}: {len(sections)} designs, {len(rows)} CSV rows")
    return log


def check_refused(report, text, line, work, label):
    bad = os.path.join(work, label + ".dat")
    with open(bad, "w", encoding="utf-8") as f:
        f.write(text)
    out = os.path.join(work, label + "-out")
    os.mkdir(out)
    html = os.path.join(out, "report.html")
    run = subprocess.run([report, bad, "-o", html, "--csv", os.path.join(out, "p.csv")],
                         capture_output=True, text=True)
    if run.returncode != 1:
        fail(f"{label}: exit status {run.returncode}, expected 1")
    if f"{bad}:{line}:" not in run.stderr:
        fail(f"{label}: the error does not name line {line}: {run.stderr}")
    if os.listdir(out):
        fail(f"{label}: files were left: {os.listdir(out)}")
    print(f"ok: {label}: {run.stderr.strip()}")


def main():
    report, source = sys.argv[1], sys.argv[2]
    golden = os.path.join(source, "tests", "golden")
    with tempfile.TemporaryDirectory() as work:
        log = None
        for session in sorted(os.listdir(golden)):
            text = check_log(report, os.path.join(golden, session, "run-log.txt"), work)
            if session == "demo-convex":
                log = text
        lines = log.splitlines(keepends=True)
        check_refused(report, "".join(lines[:30]), 30, work, "truncated")
        check_refused(report, "Prices of March\nFrame 3.125\n", 1, work, "foreign")


if __name__ == "__main__":
    main()
