#!/usr/bin/python3
# Makes the PNG reader's test pictures and their expected pixels, with tools independent of the
# reader: Pillow and ImageMagick write and decode them, and the filtered pictures are written here
# row by row with zlib. Each NAME.png has NAME.rgba beside it: its pixels as RGBA bytes, top row
# first, as the tool that made it decodes it (Pillow, or ImageMagick's 16-bit samples rounded to 8
# bits here; Pillow truncates 16-bit colour to 8 bits). Run it from this folder; the files are committed.
import random
import struct
import subprocess
import zlib

from PIL import Image

random.seed(565)
W, H = 9, 6


def rgba_of_pillow(path):
    with Image.open(path) as image:
        return image.convert("RGBA").tobytes()


# ImageMagick's 16-bit samples (little-endian), each rounded to 8 bits here by the rule the reader
# follows, (v * 255 + 32767) // 65535: its own 8-bit output truncates some grey levels.
def rgba_of_magick(path):
    samples = subprocess.run(["/usr/bin/convert", path, "-depth", "16", "rgba:-"], check=True,
                             capture_output=True).stdout
    return bytes((int.from_bytes(samples[k:k + 2], "little") * 255 + 32767) // 65535
                 for k in range(0, len(samples), 2))


def save(name, data):
    with open(name + ".rgba", "wb") as out:
        out.write(data)


def pillow(name, image, **params):
    image.save(name + ".png", **params)
    save(name, rgba_of_pillow(name + ".png"))


def magick(name, source, *options, out=None):
    source.save("source.png")
    subprocess.run(["/usr/bin/convert", "source.png", *options, out or name + ".png"], check=True)
    save(name, rgba_of_magick(name + ".png"))


# ImageMagick's own noise, for 16-bit samples that are not 8-bit ones widened.
def magick_noise(name, seed, size, grey, alpha, *options):
    def layer(k):
        return ["(", "-seed", str(seed + k), "-size", "%dx%d" % size, "xc:gray", "+noise", "Random"] + \
            (["-colorspace", "gray"] if grey or k else []) + [")"]
    args = layer(0) + (layer(1) + ["-alpha", "off", "-compose", "CopyOpacity", "-composite"] if alpha else [])
    subprocess.run(["/usr/bin/convert", *args, *options], check=True)
    save(name, rgba_of_magick(name + ".png"))


def noise(mode, size=(W, H), levels=256):
    image = Image.new(mode, size)
    bands = len(image.getbands())
    pixels = [tuple(random.randrange(levels) for _ in range(bands)) for _ in range(size[0] * size[1])]
    image.putdata([p[0] if bands == 1 else p for p in pixels])
    return image


def palette_image(bits, size=(W, H)):
    image = Image.new("P", size)
    entries = 1 << bits
    image.putpalette([random.randrange(256) for _ in range(entries * 3)])
    image.putdata([random.randrange(entries) for _ in range(size[0] * size[1])])
    return image


# Grey at every depth.
pillow("grey1", noise("1", levels=2).point(lambda v: v * 255))
for bits in (2, 4):
    magick("grey%d" % bits, noise("L", levels=1 << bits).point(lambda v, top=(1 << bits) - 1: v * 255 // top),
           "-depth", str(bits))
pillow("grey8", noise("L"))
magick_noise("grey16", 1, (W, H), True, False, "-depth", "16", "grey16.png")
# Palettes at every depth, with and without alphas.
for bits in (1, 2, 4, 8):
    pillow("palette%d" % bits, palette_image(bits), bits=bits)
palette = palette_image(4)
pillow("palette4-trns", palette, bits=4, transparency=bytes([0, 128, 255, 7, 64]))
# RGB, grey with alpha and RGBA at 8 and 16 bits.
pillow("rgb8", noise("RGB"))
pillow("grey-alpha8", noise("LA"))
pillow("rgba8", noise("RGBA"))
magick_noise("rgb16", 3, (W, H), False, False, "-depth", "16", "PNG48:rgb16.png")
magick_noise("grey-alpha16", 5, (W, H), True, True, "-depth", "16", "-define", "png:color-type=4", "grey-alpha16.png")
magick_noise("rgba16", 7, (W, H), False, True, "-depth", "16", "PNG64:rgba16.png")
# Colour keys: the key's pixels are transparent.
grey = noise("L", levels=4).point(lambda v: v * 85)
pillow("grey8-key", grey, transparency=170)
rgb = Image.new("RGB", (W, H))
rgb.putdata([random.choice([(10, 20, 30), (10, 20, 31), (200, 0, 9)]) for _ in range(W * H)])
pillow("rgb8-key", rgb, transparency=(10, 20, 30))
# Adam7, at sizes where some passes are empty and where every pass has pixels.
for name, size in (("adam7-rgba8", (9, 9)), ("adam7-grey2", (3, 2)), ("adam7-palette1", (10, 11))):
    source = noise("RGBA", size) if "rgba" in name else noise("L", size)
    if "palette" in name:
        magick(name, palette_image(1, size).convert("RGB"), "-interlace", "PNG", "-define", "png:bit-depth=1",
               out="PNG8:" + name + ".png")
    elif "grey2" in name:
        magick(name, noise("L", size, 4).point(lambda v: v * 85), "-interlace", "PNG", "-depth", "2")
    else:
        magick(name, source, "-interlace", "PNG", out="PNG32:" + name + ".png")
magick_noise("adam7-rgb16", 9, (5, 7), False, False, "-interlace", "PNG", "-depth", "16", "PNG48:adam7-rgb16.png")


# The five filters, each on every row in turn, written here: RGB at 8 bits and grey at 16, so that the
# filters step back over whole pixels of 3 and 2 bytes.
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def filtered(rows, step):
    out = b""
    previous = bytes(len(rows[0]))
    for y, row in enumerate(rows):
        kind = y % 5
        line = bytearray()
        for i, x in enumerate(row):
            a = row[i - step] if i >= step else 0
            b = previous[i]
            c = previous[i - step] if i >= step else 0
            predicted = [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]
            line.append((x - predicted) & 0xFF)
        out += bytes([kind]) + bytes(line)
        previous = row
    return out


def hand_made(name, colour_type, depth, rows, step, expected, pieces=1):
    header = struct.pack(">IIBBBBB", len(rows[0]) * 8 // (depth * (3 if colour_type == 2 else 1)), len(rows),
                         depth, colour_type, 0, 0, 0)
    data = zlib.compress(filtered(rows, step), 9)
    # The pixel data split over several IDAT chunks, one of them empty.
    cut = [len(data) * k // pieces for k in range(pieces + 1)]
    idats = b"".join(chunk(b"IDAT", data[cut[k]:cut[k + 1]]) for k in range(pieces)) + chunk(b"IDAT", b"")
    with open(name + ".png", "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"tEXt", b"Comment\0made by hand") +
                  idats + chunk(b"IEND", b""))
    save(name, expected)


rgb_rows = [bytes(random.randrange(256) for _ in range(W * 3)) for _ in range(10)]
hand_made("filters-rgb8", 2, 8, rgb_rows, 3,
          b"".join(bytes(row[i:i + 3]) + b"\xff" for row in rgb_rows for i in range(0, len(row), 3)), pieces=3)
grey_rows = [bytes(random.randrange(256) for _ in range(W * 2)) for _ in range(5)]
hand_made("filters-grey16", 0, 16, grey_rows, 2,
          b"".join(bytes([(((row[i] << 8) | row[i + 1]) * 255 + 32767) // 65535] * 3) + b"\xff"
                   for row in grey_rows for i in range(0, len(row), 2)))
subprocess.run(["rm", "-f", "source.png"], check=True)
