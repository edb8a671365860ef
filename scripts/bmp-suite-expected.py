#!/usr/bin/python3
"""What Kestrin and Vaskel must make of every BMP Suite picture: testing/bmp-suite/expected.tsv and
the raw images in testing/bmp-suite/expected/. The tests read these files; they never run this.

Debian's python3 with its python3-pil package (apt-get install python3-pil).

    scripts/bmp-suite-expected.py verify
        Checks the table and its raw images by means other than our code: every good picture that
        Pillow reads as the suite draws it, decoded by Pillow and packed here; the run-length coded
        good pictures against their uncompressed twins; Vaskel's images against a model of its
        fixed 120-byte walk written out here. Lists what it could not check independently.

    scripts/bmp-suite-expected.py record build/native/console/rgb565
        Writes the table and the raw images anew: Kestrin's column from `rgb565 pack` (Kestrin's
        job), Vaskel's from the model. Run `verify` afterwards and read any change before keeping it.

Pillow 9.4 misplaces RLE4 runs and stops RLE8 pictures early, so it is never asked about those.
"""
import os
import struct
import subprocess
import sys
import tempfile

SUITE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "testing", "bmp-suite")
TABLE = os.path.join(SUITE, "expected.tsv")
EXPECTED = os.path.join(SUITE, "expected")
FOLDERS = ("g", "q", "b")

# Run-length coded good pictures and the uncompressed picture the suite draws the same.
RLE_TWINS = {"g/pal4rle.bmp": "g/pal4.bmp", "g/pal8rle.bmp": "g/pal8.bmp"}

HEADER = """\
# What Kestrin and Vaskel make of every picture in this folder, read by jobs/bmp_suite_test.cpp and
# console/bmp_suite_test.cpp in both builds. Columns: the file, its width in pixels (to name a pixel
# in a failure), Kestrin's verdict, Vaskel's verdict. A verdict is the status a refusal shows, or the
# name of a file in expected/ holding the raw image (RGB565, low byte first, rows in stored order)
# that the job must write, after "Saving" and "Done". Files that the suite draws as one picture in
# different encodings share a raw image. Kept by scripts/bmp-suite-expected.py, which also checks the
# raw images with Pillow and a model of Vaskel's walk.
#
# Vaskel reads five header fields at fixed places without looking at the signature or the header's
# size, and converts whatever says 24 bits, uncompressed, when its 120-byte row walk stays in the
# file; in the 12-byte core header files the bytes it takes for the bit count are zero.
"""


def suite_files():
    return [f"{folder}/{name}" for folder in FOLDERS for name in sorted(os.listdir(os.path.join(SUITE, folder)))]


def read(path):
    with open(path, "rb") as file:
        return file.read()


def pack(red, green, blue):
    return (red >> 3) << 11 | (green >> 2) << 5 | blue >> 3


def vaskel_model(data):
    """Vaskel's verdict: ("Unsupported picture", None) or ("Done", raw image)."""
    refused = ("Unsupported picture", None)
    if len(data) < 34:
        return refused
    bits, compression = struct.unpack_from("<HI", data, 28)
    if bits != 24 or compression != 0:
        return refused
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<Ii", data, 18)
    rows = abs(height)
    if width == 0 or rows == 0 or width * rows * 2 > 0xFFFFFFFF:
        return refused
    if offset + 120 * (rows - 1) + 3 * width > len(data):
        return refused
    raw = bytearray()
    for y in range(rows):
        for x in range(width):
            at = offset + 120 * y + 3 * x
            raw += struct.pack("<H", pack(data[at + 2], data[at + 1], data[at]))
    return ("Done", bytes(raw))


def width_of(data):
    header_size, = struct.unpack_from("<I", data, 14)
    if header_size == 12:
        return struct.unpack_from("<H", data, 18)[0]
    return struct.unpack_from("<i", data, 18)[0]


def widen(field, bits):
    """A field of `bits` bits widened to 8 by repeating its bits, as Kestrin widens bit fields."""
    value = 0
    shift = 8
    while shift > 0:
        shift -= bits
        value |= field << shift if shift >= 0 else field >> -shift
    return value & 0xFF


def channel_bits(data):
    """Bits of red, green and blue in a 16-bit picture, or None for other depths."""
    if struct.unpack_from("<I", data, 14)[0] < 40 or struct.unpack_from("<H", data, 28)[0] != 16:
        return None
    if struct.unpack_from("<I", data, 30)[0] == 0:
        return (5, 5, 5)
    return tuple(bin(mask).count("1") for mask in struct.unpack_from("<III", data, 54))


def pillow_raw(path):
    """The picture as Pillow decodes it, packed, in stored row order; None when Pillow refuses it.
    Pillow widens a 16-bit picture's fields in its own way: its top bits give each field back, which
    is then widened by repeating its bits."""
    from PIL import Image
    data = read(path)
    try:
        with Image.open(path) as image:
            image.load()
            rgb = image.convert("RGB")
    except Exception:
        return None
    header_size, = struct.unpack_from("<I", data, 14)
    top_down = header_size != 12 and struct.unpack_from("<i", data, 22)[0] < 0
    width, height = rgb.size
    pixels = rgb.load()
    bits = channel_bits(data)
    if bits is not None:
        def widened(pixel):
            return tuple(widen(value >> (8 - n), n) for value, n in zip(pixel, bits))
    else:
        def widened(pixel):
            return pixel
    raw = bytearray()
    for y in range(height):
        row = y if top_down else height - 1 - y
        for x in range(width):
            raw += struct.pack("<H", pack(*widened(pixels[x, row])))
    return bytes(raw)


def read_table():
    rows = {}
    with open(TABLE, encoding="utf-8") as table:
        for line in table:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            file, width, kestrin, vaskel = line.split("\t")
            rows[file] = (width, kestrin, vaskel)
    return rows


def first_difference(a, b, width):
    if len(a) != len(b):
        return f"{len(a)} bytes, not {len(b)}"
    for at in range(0, len(a), 2):
        if a[at:at + 2] != b[at:at + 2]:
            pixel = at // 2
            return f"x {pixel % width}, stored row {pixel // width}"
    return None


def verify():
    rows = read_table()
    failures = []
    unchecked = []
    if sorted(rows) != sorted(suite_files()):
        failures.append("the table's files are not the folder's files")
    for file in suite_files():
        if file not in rows:
            continue
        width, kestrin, vaskel = rows[file]
        data = read(os.path.join(SUITE, file))
        status, model = vaskel_model(data)
        if vaskel.endswith(".bin"):
            if model is None or read(os.path.join(EXPECTED, vaskel)) != model:
                failures.append(f"{file}: Vaskel's image is not the model's")
        elif vaskel != status:
            failures.append(f"{file}: Vaskel {vaskel!r}, model {status!r}")
        if not kestrin.endswith(".bin"):
            continue
        if width != str(width_of(data)):
            failures.append(f"{file}: width {width}, header {width_of(data)}")
        expected = read(os.path.join(EXPECTED, kestrin))
        if file in RLE_TWINS:
            twin = rows[RLE_TWINS[file]][1]
            if twin != kestrin:
                failures.append(f"{file}: not the raw image of its twin {RLE_TWINS[file]}")
            continue
        compression = struct.unpack_from("<I", data, 30)[0] if struct.unpack_from("<I", data, 14)[0] > 12 else 0
        pillow = None if compression in (1, 2) else pillow_raw(os.path.join(SUITE, file))
        if pillow is None:
            unchecked.append(file)
            continue
        difference = first_difference(expected, pillow, int(width))
        if difference is None:
            continue
        if file.startswith("g/"):
            failures.append(f"{file}: Pillow differs at {difference}")
        else:
            unchecked.append(f"{file} (Pillow differs at {difference})")
    for line in unchecked:
        print(f"not checked independently: {line}")
    for line in failures:
        print(f"FAILED: {line}")
    return 1 if failures else 0


def record(rgb565):
    kestrin = {}
    vaskel = {}
    with tempfile.TemporaryDirectory() as folder:
        output = os.path.join(folder, "out.bin")
        for file in suite_files():
            path = os.path.join(SUITE, file)
            run = subprocess.run([rgb565, "pack", path, output], capture_output=True, text=True)
            if run.returncode == 0:
                kestrin[file] = read(output)
                os.remove(output)
            else:
                # rgb565: PATH: STATUS: REASON
                kestrin[file] = run.stderr.split(path + ": ", 1)[1].split(":", 1)[0]
            status, model = vaskel_model(read(path))
            vaskel[file] = model if model is not None else status

    # A raw image is named after the shortest name among the good files that give it.
    def preference(file):
        stem = os.path.splitext(os.path.basename(file))[0]
        return (FOLDERS.index(file[0]), len(stem), stem)

    os.makedirs(EXPECTED, exist_ok=True)
    for old in os.listdir(EXPECTED):
        os.remove(os.path.join(EXPECTED, old))
    names = {}
    for prefix, column in (("", kestrin), ("fixed-stride-", vaskel)):
        for file in sorted(column, key=preference):
            raw = column[file]
            if isinstance(raw, bytes) and (prefix, raw) not in names:
                stem = os.path.splitext(os.path.basename(file))[0]
                names[(prefix, raw)] = prefix + stem + ".bin"
                with open(os.path.join(EXPECTED, names[(prefix, raw)]), "wb") as out:
                    out.write(raw)

    lines = []
    for file in suite_files():
        cells = [names[(prefix, column[file])] if isinstance(column[file], bytes) else column[file]
                 for prefix, column in (("", kestrin), ("fixed-stride-", vaskel))]
        converts = any(isinstance(column[file], bytes) for column in (kestrin, vaskel))
        width = str(width_of(read(os.path.join(SUITE, file)))) if converts else "-"
        lines.append("\t".join([file, width] + cells))
    with open(TABLE, "w", encoding="utf-8") as table:
        table.write(HEADER + "\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 2 and sys.argv[1] == "verify":
        sys.exit(verify())
    if len(sys.argv) == 3 and sys.argv[1] == "record":
        sys.exit(record(sys.argv[2]))
    sys.exit(__doc__)
