#!/usr/bin/env bash
# Runs the demo session (scripts/demo.sh), makes the run report of its log with
# designopt-report, renders the page in headless Chromium and checks that the
# screenshot is not blank. Skips, with a message, where chromium is not installed,
# unless --require is given (as CI gives it): then a missing chromium fails.
# Usage: scripts/render-report.sh [--require] [SCREENSHOT.png]   (default: build/report-demo.png)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
require=no
if [[ "${1:-}" == "--require" ]]; then
  require=yes
  shift
fi
shot="$(realpath -m "${1:-$build/report-demo.png}")"

transcript="$(mktemp "${TMPDIR:-/tmp}/designopt-demo-transcript.XXXXXX")"
bash "$root/scripts/demo.sh" > "$transcript"
work="$(sed -n 's/^Working directory: //p' "$transcript")"
rm -f "$transcript"
log="$(ls "$work"/log*.dat)"
cmake --build "$build" --target designopt-report -j 2

"$build/bin/designopt-report" "$log" -o "$work/report.html" --csv "$work/points.csv"

browser="$(command -v chromium || command -v chromium-browser || true)"
if [[ -z "$browser" && "$require" == yes ]]; then
  echo "FAILED: the report cannot be rendered: chromium is not installed." >&2
  exit 1
fi
if [[ -z "$browser" ]]; then
  echo "SKIPPED: the report was not rendered: chromium is not installed (apt-get install chromium)."
  exit 0
fi
profile="$(mktemp -d "${TMPDIR:-/tmp}/report-chromium.XXXXXX")"
mkdir -p "$(dirname "$shot")"
rm -f "$shot"
"$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$profile" --hide-scrollbars --screenshot="$shot" --window-size=1280,2400 \
  "file://$work/report.html" > "$profile/chromium.log" 2>&1 || {
  cat "$profile/chromium.log"
  echo "FAILED: chromium could not render the report" >&2
  exit 1
}
rm -rf "$profile"

# Not blank: decode the PNG (8-bit RGB or RGBA, no interlace) and count the colours and
# the pixels that are not the page's background.
python3 - "$shot" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file"
pos, idat, width = 8, b"", 0
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if kind == b"IHDR":
        width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        assert depth == 8 and colour in (2, 6) and interlace == 0, "unexpected PNG layout"
        bpp = 3 if colour == 2 else 4
    elif kind == b"IDAT":
        idat += body
    pos += 12 + length
raw, stride = zlib.decompress(idat), width * bpp
prev, colours, background = bytearray(stride), set(), 0
for y in range(height):
    f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - bpp] if i >= bpp else 0
        b, c = prev[i], prev[i - bpp] if i >= bpp else 0
        if f == 1: line[i] = (line[i] + a) & 255
        elif f == 2: line[i] = (line[i] + b) & 255
        elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif f == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    for x in range(0, stride, bpp):
        px = bytes(line[x:x + 3])
        colours.add(px)
        background += px in (b"\xff\xff\xff", b"\xfa\xfa\xfa")
    prev = line
drawn = 1 - background / (width * height)
print(f"Screenshot {sys.argv[1]}: {width}x{height}, {len(colours)} colours, {drawn:.1%} drawn")
if len(colours) < 50 or drawn < 0.02:
    sys.exit("FAILED: the screenshot of the report is blank")
PY
echo "Report:     $work/report.html"
echo "Points:     $work/points.csv"
echo "Screenshot: $shot"
