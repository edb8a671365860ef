#!/usr/bin/env bash
# Times rgb565 pack on a PNG of a phone camera's size (4000 x 3000), made here with Python and
# zlib: smooth gradients and noise, so that it compresses as a photo does. The goal is under a
# second on one core; it is a benchmark, never a test. Needs the native build
# (cmake --workflow --preset native) and hyperfine, which it installs when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
rgb565=build/native/frame/console/rgb565
[ -x "$rgb565" ] || { echo "build the native preset first: cmake --workflow --preset native" >&2; exit 1; }
if ! command -v hyperfine >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then apt-get install -y hyperfine; else sudo apt-get install -y hyperfine; fi
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work/photo.png" <<'PY'
import random, struct, sys, zlib
width, height = 4000, 3000
random.seed(1)
noise = bytes(random.randrange(8) for _ in range(width * 3))
rows = []
for y in range(height):
    row = bytearray(width * 3)
    for x in range(width):
        row[3 * x] = (x * 255 // width) ^ noise[3 * x]
        row[3 * x + 1] = (y * 255 // height) ^ noise[3 * x + 1]
        row[3 * x + 2] = ((x + y) * 255 // (width + height)) ^ noise[(3 * x + 2 + y) % len(noise)]
    rows.append(b"\0" + bytes(row))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
with open(sys.argv[1], "wb") as out:
    out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
    out.write(chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b""))
PY
ls -l "$work/photo.png"
hyperfine --warmup 1 --runs 5 \
  "$rgb565 pack $work/photo.png $work/photo.bin" \
  "$rgb565 pack --dither diffusion $work/photo.png $work/photo.bin"
