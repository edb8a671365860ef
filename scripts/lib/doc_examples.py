"""Runs the example commands of the README and docs/*.md, as scripts/check-doc-examples.sh says.

Each page's examples run in order in a folder of their own, as a reader would type them one after
another, on pictures made here for the names they use. Every picture an example writes, and every
raw image `pack` writes that a panel would show, is read back and must be upright: the test
pictures fade from bright red at the top to dark blue at the bottom, so a picture turned upside
down shows a dark top. Only the Python standard library is used (CI has no imaging
library), so the BMP and PNG readers and writers below are small ones of our own.
"""

import math
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

TOP = (240, 60, 20)  # bright red: luma 109
BOTTOM = (20, 30, 150)  # dark blue: luma 41

# Examples not run, each with its reason. Matched by the command line as it stands in the page.
SKIPPED = {
    "< /dev/fb1": "reads a Linux framebuffer device, which a test machine has not",
}
# Examples meant to be refused, with the exit status they must end with.
REFUSED = {
    "bars.raw bars.png": 1,  # shows unpack refusing a dump it cannot read confidently
}
# Options after which a written picture is not the input picture, top to bottom, as it was, so that
# its orientation says nothing: a turn or mirror, tiles or frames, a probe's sheet of readings.
NOT_CHECKED = ("--rotate", "--flip", "--tiles", "--frame", "--frames", "--sheet", "--scan")
REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def pixel(x, y, width, height):
    """The test picture: bright red at the top fading to dark blue at the bottom, under smooth
    ripples, so that the probe finds its size as it finds a photograph's. (Two flat halves with a
    straight edge between them leave the probe unsure of its guess.)"""
    t = y / height
    ripple = 25 * math.sin(math.hypot(x - width * 0.3, y - height * 0.4) / 9) + 10 * math.sin(x / 13.7 + y / 7.9)
    return tuple(max(0, min(255, round(a * (1 - t) + b * t + ripple))) for a, b in zip(TOP, BOTTOM))


def rows(width, height):
    """The picture's rows, top first, as RGB bytes. A large one (a photograph's 4000 x 3000) is 64
    bands of equal rows, so that it is made in moments."""
    bands = height if width * height <= 1 << 20 else 64
    cache = {}
    for y in range(height):
        band = y * bands // height
        if band not in cache:
            middle = y if bands == height else (2 * band + 1) * height // (2 * bands)
            cache[band] = bytes(c for x in range(width) for c in pixel(x, middle, width, height))
        yield cache[band]


def write_bmp(path, width, height):
    """A 24-bit BMP stored bottom row first, as most BMPs are."""
    stride = (width * 3 + 3) & ~3
    all_rows = list(rows(width, height))
    body = b"".join(
        bytes(b for i in range(0, len(r), 3) for b in (r[i + 2], r[i + 1], r[i])).ljust(stride, b"\0")
        for r in reversed(all_rows))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + body)


def write_png(path, width, height):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + r for r in rows(width, height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 1)) + chunk(b"IEND", b""))


def read_bmp(data):
    """Rows top first as lists of (r, g, b), from the 24-bit BMPs unpack writes."""
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 24:
        raise ValueError("a %d-bit BMP, not the 24-bit one unpack writes" % bits)
    stride = (abs(width) * 3 + 3) & ~3
    out = []
    for i in range(abs(height)):
        r = data[offset + i * stride:offset + i * stride + abs(width) * 3]
        out.append([(r[j + 2], r[j + 1], r[j]) for j in range(0, len(r), 3)])
    return out if height < 0 else out[::-1]


def read_png(data):
    """Rows top first as lists of (r, g, b), from 8-bit RGB, RGBA, grey or grey-alpha PNGs, not
    interlaced, as unpack writes them."""
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    channels = {0: 1, 2: 3, 4: 2, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace:
        raise ValueError("a PNG of depth %d, colour type %d, interlace %d" % (depth, colour, interlace))
    raw, size, out, previous = zlib.decompress(idat), width * channels, [], bytearray(width * channels)
    for y in range(height):
        kind, line = raw[y * (size + 1)], bytearray(raw[y * (size + 1) + 1:(y + 1) * (size + 1)])
        for i in range(size):
            a = line[i - channels] if i >= channels else 0
            b, c = previous[i], previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        previous = line
        grey = channels < 3
        out.append([(line[i], line[i], line[i]) if grey else tuple(line[i:i + 3]) for i in range(0, size, channels)])
    return out


def luma(rows_):
    pixels = [p for r in rows_ for p in r]
    return sum(299 * p[0] + 587 * p[1] + 114 * p[2] for p in pixels) / (1000 * max(len(pixels), 1))


def upright_fault(path):
    """None when the picture's top quarter is brighter than its bottom quarter, as the test
    pictures are; else what is wrong."""
    with open(path, "rb") as f:
        data = f.read()
    picture = read_png(data) if data.startswith(b"\x89PNG") else read_bmp(data)
    quarter = max(len(picture) // 4, 1)
    top, bottom = luma(picture[:quarter]), luma(picture[-quarter:])
    if top > bottom + 20:
        return None
    return "%s is upside down or not the test picture: its top quarter's luma is %.0f, its bottom's %.0f" % (
        os.path.basename(path), top, bottom)


class Inputs:
    """Makes, in a page's folder, the files an example names, before it runs."""

    def __init__(self, program, folder, dump_options):
        # The options a page's dumps are packed with: the probe's page shows a dump of a panel
        # that takes the high byte first.
        self.program, self.folder, self.dump_options = program, folder, dump_options
        self.foreign = set()

    def path(self, name):
        return os.path.join(self.folder, name)

    def pack(self, picture, output, *options):
        subprocess.run([self.program, "pack", *options, picture, output], cwd=self.folder, check=True,
                       stdout=subprocess.DEVNULL)

    def make(self, name):
        target = self.path(name)
        if os.path.exists(target):
            return
        os.makedirs(os.path.dirname(target), exist_ok=True)
        base, ext = os.path.splitext(os.path.basename(name))
        if ext == ".bmp":
            write_bmp(target, 64, 64)
        elif ext == ".png":
            write_png(target, 64, 64)
        elif ext in (".jpg", ".jpeg"):
            # A PNG under a JPEG's name: rgb565 knows a picture by its content, and a photograph's
            # size is what the crop and resize examples need.
            write_png(target, 4000, 3000)
        elif ext == ".raw" and base == "fb":
            # A framebuffer's dump of 32-bit pixels, from the probe's own test dumps: one that
            # --format auto reads with confidence. It is not the test picture, so what is made of
            # it is not checked upright.
            shutil.copyfile(os.path.join(REPOSITORY, "read", "probe-dumps", "stone_49x66.bgr0"), target)
            self.foreign.add(name)
        elif ext == ".raw" and base == "bars":
            # Eight flat bars: nothing in them tells a width, which is what the example shows.
            with open(target, "wb") as f:
                f.write(b"".join(bytes([i * 30, 0]) * (60 * 40 // 8) for i in range(8)))
        elif ext in (".bin", ".raw"):
            # A dump of a 320 x 240 panel: RGB565, the low byte first, the top row first.
            source = self.path("." + base + ".bmp")
            write_bmp(source, 320, 240)
            self.pack(source, target, *self.dump_options)
        elif ext == ".ttf":
            shutil.copyfile(FONT, target)


def examples(page):
    """The example command lines of a Markdown page: lines of its code blocks (indented four spaces,
    or fenced) that start with `rgb565 `. A block that shows a session, its commands after `$ `,
    holds output too, which may start with `rgb565 ` as well: there only the `$ ` lines count."""
    blocks, block, fenced, previous_blank = [], None, False, True
    with open(page, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.lstrip().startswith("```"):
                fenced = not fenced
                block = [] if fenced else None
                if fenced:
                    blocks.append(block)
                continue
            if not fenced:
                if line.startswith("    ") and (previous_blank or block is not None):
                    if block is None:
                        block = []
                        blocks.append(block)
                elif line.strip():
                    block = None
            previous_blank = not line.strip()
            if block is not None and line.strip():
                block.append((number, line.strip()))
    found = []
    for lines in blocks:
        session = any(text.startswith("$ ") for _, text in lines)
        for number, text in lines:
            if session and not text.startswith("$ "):
                continue
            text = text[2:] if session else text
            if text.startswith("rgb565 "):
                found.append((number, text))
    return found


def names_in(command):
    """The words of a command that name files (not options), and the folders of globs."""
    words = re.findall(r"[^\s|<>]+", command)
    return [w for w in words[2:] if not w.startswith("-") and ("." in w or "/" in w) and w != "-"]


def inputs_of(command):
    """The files a command reads: for pack and unpack every file named but the last (OUT), for
    probe and subtract every one but -o's and --sheet's."""
    words = shlex.split(re.split(r"[|<>]", command)[0])
    verb, names = words[1], []
    for i, word in enumerate(words[2:], 2):
        if word.startswith("-") or words[i - 1] in ("-o", "--sheet", "-d") or ("." not in word and "/" not in word):
            continue
        names.append(word)
    return names if verb in ("probe", "subtract") or "-d" in words else names[:-1]


def written_pictures(folder, before):
    for top, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(top, name)
            if name.startswith(".") or not name.endswith((".bmp", ".png")):
                continue
            if before.get(path) != os.stat(path).st_mtime_ns:
                yield path


def snapshot(folder):
    return {os.path.join(t, n): os.stat(os.path.join(t, n)).st_mtime_ns for t, _, fs in os.walk(folder) for n in fs}


def raw_check(program, folder, words):
    """For `pack` writing a plain raw image of a size this script knows, the options to unpack it
    as a panel would show it (its top row first), and the output's path; else None."""
    if len(words) < 4 or words[1] != "pack" or not words[-1].endswith(".bin"):
        return None
    if any(w in words for w in ("--c-array", "--lvgl", "--compress") + NOT_CHECKED) or "-d" in words:
        return None
    if "--resize" in words:
        # Whatever --fit says, a resize to W x H makes W x H; one side alone leaves the other to
        # the proportions, which this does not work out.
        size = words[words.index("--resize") + 1]
        size = size if re.fullmatch(r"\d+x\d+", size) else None
    elif "--crop" in words:
        size = words[words.index("--crop") + 1].split("+")[0]
    else:
        source = words[-2]
        size = "4000x3000" if source.endswith((".jpg", ".jpeg")) else "64x64"
    if size is None:
        return None
    options = ["--size", size]
    for option in ("--format", "--bytes", "--channels", "--align", "--bit-order", "--premultiply"):
        if option in words:
            at = words.index(option)
            options += [option] if option == "--premultiply" else words[at:at + 2]
    return options


def run_page(program, page, work, report):
    folder = os.path.join(work, os.path.basename(page))
    os.makedirs(folder)
    inputs = Inputs(program, folder, ["--bytes", "be"] if os.path.basename(page) == "probe.md" else [])
    for number, command in examples(page):
        where = "%s:%d: %s" % (os.path.relpath(page), number, command)
        reason = next((r for key, r in SKIPPED.items() if key in command), None)
        if reason:
            report["skipped"].append("%s (%s)" % (where, reason))
            continue
        missing = [n for n in names_in(command) if os.path.isabs(n) and not os.path.exists(n)]
        if missing:
            report["skipped"].append("%s (%s is not on this machine)" % (where, missing[0]))
            continue
        for name in inputs_of(command):
            if "*" in name:
                # A glob's folder holds two of the files it matches.
                for i in (1, 2):
                    inputs.make(name.replace("*", "frame-%d" % i))
            else:
                inputs.make(name)
        words = shlex.split(re.split(r"[|<>]", command)[0])
        if "-d" in words:
            os.makedirs(os.path.join(folder, words[words.index("-d") + 1]), exist_ok=True)
        before = snapshot(folder)
        shell = re.search(r"[|<>*;&]", command) is not None
        line = command.replace("rgb565 ", shlex.quote(program) + " ", 1) if shell else None
        words = shlex.split(command)
        result = subprocess.run(["bash", "-c", "set -o pipefail; " + line] if shell else [program] + words[1:],
                                cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        expected = next((status for key, status in REFUSED.items() if key in command), 0)
        if result.returncode != expected:
            report["failed"].append("%s\n    exit status %d, not %d: %s" % (
                where, result.returncode, expected, result.stderr.strip()[:400]))
            continue
        report["ran"] += 1
        print("ran: " + where)
        if expected != 0 or any(w in words for w in NOT_CHECKED) or words[1] == "font" or inputs.foreign & set(words):
            continue
        for picture in written_pictures(folder, before):
            fault = upright_fault(picture)
            report["checked"] += 1
            if fault:
                report["failed"].append("%s\n    %s" % (where, fault))
        options = None if shell else raw_check(program, folder, words)
        if options:
            back = os.path.join(folder, ".check.bmp")
            unpacked = subprocess.run([program, "unpack", *options, words[-1], back], cwd=folder,
                                      stderr=subprocess.PIPE, stdout=subprocess.DEVNULL, text=True)
            report["checked"] += 1
            if unpacked.returncode != 0:
                report["failed"].append("%s\n    its output does not unpack with %s: %s" % (
                    where, " ".join(options), unpacked.stderr.strip()))
            elif upright_fault(back):
                report["failed"].append("%s\n    unpacked top row first, %s" % (where, upright_fault(back)))


def main():
    program, pages = os.path.abspath(sys.argv[1]), sys.argv[2:]
    report = {"ran": 0, "checked": 0, "skipped": [], "failed": []}
    work = tempfile.mkdtemp(prefix="rgb565-doc-examples.")
    try:
        for page in pages:
            run_page(program, page, work, report)
    finally:
        shutil.rmtree(work)
    for line in report["skipped"]:
        print("skipped: " + line)
    for line in report["failed"]:
        print("FAIL: " + line, file=sys.stderr)
    print("%d examples ran, %d pictures checked upright, %d skipped, %d failed" % (
        report["ran"], report["checked"], len(report["skipped"]), len(report["failed"])))
    return 1 if report["failed"] or report["ran"] == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
