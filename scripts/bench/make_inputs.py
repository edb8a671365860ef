#!/usr/bin/env python3
"""Makes the benchmark's inputs in FOLDER: an 8192 x 8192 24-bit BMP, a 568 x 130 raw frame, a pair
of 512 MiB files, a raw image of 1 GiB (16384 x 32768), a batch of 2,000 pictures of 320 x 240 and
a PNG of a phone camera's size (4000 x 3000). Existing files are kept."""
import os
import random
import struct
import sys
import zlib

folder = sys.argv[1]
os.makedirs(os.path.join(folder, "batch"), exist_ok=True)


def bmp(width, height, seed):
    row = (width * 3 + 3) & ~3
    size = row * height
    header = b"BM" + struct.pack("<IHHI", 54 + size, 0, 0, 54)
    header += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, size, 0, 0, 0, 0)
    # A gradient with some noise in it: not one colour, not incompressible either.
    line = bytes((x * 7 + seed) & 0xFF for x in range(row))
    return header + b"".join(line[y % 97:] + line[:y % 97] for y in range(height))


def make(name, content):
    path = os.path.join(folder, name)
    if not os.path.exists(path):
        with open(path, "wb") as out:
            content(out)
    return path


make("picture.bmp", lambda out: out.write(bmp(8192, 8192, 1)))
make("frame.bin", lambda out: out.write(os.urandom(568 * 130 * 2)))
for name in ("image.bin", "sub.bin"):
    make(name, lambda out: [out.write(os.urandom(1 << 24)) for _ in range(32)])
make("large.bin", lambda out: [out.write(os.urandom(1 << 24)) for _ in range(64)])
small = bmp(320, 240, 5)
for i in range(2000):
    make(os.path.join("batch", f"p{i:04}.bmp"), lambda out: out.write(small))


def photo(out):
    """Smooth gradients and noise, so that it compresses as a photo does."""
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

    out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
    out.write(chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b""))


make("photo.png", photo)
