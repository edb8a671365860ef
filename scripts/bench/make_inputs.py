#!/usr/bin/env python3
"""Makes the benchmark's inputs in FOLDER: an 8192 x 8192 24-bit BMP, 8-bit palette and RLE8 BMPs of
the same size, a 568 x 130 raw frame, a pair of 512 MiB files, a raw image of 1 GiB (16384 x 32768),
a batch of 2,000 pictures of 320 x 240, a picture of a phone camera's size (4000 x 3000) as a PNG, a
24-bit BMP and a JPEG, and a drawing of that size as a JPEG. Existing files are kept. Names of jobs
after FOLDER make only those jobs' inputs."""
import os
import random
import struct
import subprocess
import sys
import zlib

folder = sys.argv[1]
jobs = set(sys.argv[2:])
os.makedirs(os.path.join(folder, "batch"), exist_ok=True)


def bmp(width, height, seed):
    row = (width * 3 + 3) & ~3
    size = row * height
    header = b"BM" + struct.pack("<IHHI", 54 + size, 0, 0, 54)
    header += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, size, 0, 0, 0, 0)
    # A gradient with some noise in it: not one colour, not incompressible either.
    line = bytes((x * 7 + seed) & 0xFF for x in range(row))
    return header + b"".join(line[y % 97:] + line[:y % 97] for y in range(height))


def bmp8(width, height, run_length):
    """An 8-bit palette BMP: uncompressed, or its rows as runs of up to 255 pixels (RLE8)."""
    table = b"".join(bytes((i, 255 - i, (i * 7) & 0xFF, 0)) for i in range(256))
    if run_length:
        codes = bytearray()
        for y in range(height):
            for x in range(0, width, 255):
                codes += bytes((min(255, width - x), (x // 255 + y) & 0xFF))
            codes += b"\0\0"
        pixels = bytes(codes + b"\0\1")
    else:
        line = bytes((x * 3) & 0xFF for x in range((width + 3) & ~3))
        pixels = b"".join(line[y % 7:] + line[:y % 7] for y in range(height))
    offset = 54 + len(table)
    header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    header += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1 if run_length else 0, len(pixels), 0, 0, 256, 0)
    return header + table + pixels


# The inputs each job of bench.sh reads.
inputs = {"pack": {"picture.bmp"}, "pack-decoded": {"palette.bmp", "rle8.bmp"}, "subtract": {"image.bin", "sub.bin"},
          "unpack": {"frame.bin"}, "unpack-png": {"picture.bmp"}, "unpack-large": {"large.bin"}, "png": {"photo.png"},
          "resize": {"photo.bmp"}, "jpeg-resize": {"photo.jpg", "drawing.jpg"}, "png-large": {"flat.png"}, "batch": {"batch"}, "formats": {"picture.bmp"}, "probe": {"picture.bmp"}}


def make(name, content):
    if jobs and not any(name.split(os.sep)[0] in inputs.get(job, ()) for job in jobs):
        return None
    path = os.path.join(folder, name)
    if not os.path.exists(path):
        with open(path, "wb") as out:
            content(out)
    return path


make("picture.bmp", lambda out: out.write(bmp(8192, 8192, 1)))
make("palette.bmp", lambda out: out.write(bmp8(8192, 8192, False)))
make("rle8.bmp", lambda out: out.write(bmp8(8192, 8192, True)))
make("frame.bin", lambda out: out.write(os.urandom(568 * 130 * 2)))
for name in ("image.bin", "sub.bin"):
    make(name, lambda out: [out.write(os.urandom(1 << 24)) for _ in range(32)])
make("large.bin", lambda out: [out.write(os.urandom(1 << 24)) for _ in range(64)])
small = bmp(320, 240, 5)
for i in range(2000):
    make(os.path.join("batch", f"p{i:04}.bmp"), lambda out: out.write(small))


def photo_rows(width, height):
    """Smooth gradients and noise, so that it compresses as a photo does: RGB rows, top row first."""
    random.seed(1)
    noise = bytes(random.randrange(8) for _ in range(width * 3))
    for y in range(height):
        row = bytearray(width * 3)
        for x in range(width):
            row[3 * x] = (x * 255 // width) ^ noise[3 * x]
            row[3 * x + 1] = (y * 255 // height) ^ noise[3 * x + 1]
            row[3 * x + 2] = ((x + y) * 255 // (width + height)) ^ noise[(3 * x + 2 + y) % len(noise)]
        yield bytes(row)


def photo(out):
    width, height = 4000, 3000
    rows = [b"\0" + row for row in photo_rows(width, height)]

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
    out.write(chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b""))


make("photo.png", photo)


def photo_bmp(out):
    """The same picture as a bottom-up 24-bit BMP (its rows need no padding)."""
    width, height = 4000, 3000
    rows = []
    for row in photo_rows(width, height):
        bgr = bytearray(row)
        bgr[0::3], bgr[2::3] = row[2::3], row[0::3]
        rows.append(bytes(bgr))
    size = width * 3 * height
    out.write(b"BM" + struct.pack("<IHHI", 54 + size, 0, 0, 54))
    out.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, size, 0, 0, 0, 0))
    out.write(b"".join(reversed(rows)))


make("photo.bmp", photo_bmp)


def photo_jpg(out):
    """The same picture as a JPEG, as a camera would save it, made by ffmpeg from the BMP."""
    bmp = make("photo.bmp", photo_bmp) or os.path.join(folder, "photo.bmp")
    if not os.path.exists(bmp):
        with open(bmp, "wb") as made:
            photo_bmp(made)
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", bmp, "-q:v", "3", "-f", "image2", "-c:v", "mjpeg",
                    "-pix_fmt", "yuvj420p", "pipe:1"], stdout=out, check=True)


make("photo.jpg", photo_jpg)


def drawing_jpg(out):
    """A drawing of the same size, ffmpeg's test pattern: sharp edges, digits and lines of one pixel,
    whose detail a reduced decode would darken, so that it is decoded whole."""
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=4000x3000", "-frames:v", "1",
                    "-q:v", "3", "-f", "image2", "-c:v", "mjpeg", "pipe:1"], stdout=out, check=True)


make("drawing.jpg", drawing_jpg)


def flat_png(out):
    """16384 x 10922 pixels of one colour, just inside the default pixel limit, in half a megabyte:
    what a reader that decodes whole pays for in memory, and a banded one does not."""
    width, height = 16384, 10922
    row = b"\0" + bytes((0x20, 0x60, 0xA0)) * width

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
    deflate = zlib.compressobj(9)
    data = b"".join(deflate.compress(row) for _ in range(height)) + deflate.flush()
    out.write(chunk(b"IDAT", data) + chunk(b"IEND", b""))


make("flat.png", flat_png)
