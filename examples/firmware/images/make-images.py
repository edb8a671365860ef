#!/usr/bin/env python3
"""Writes the example's two pictures byte by byte, with nothing but the standard library, so that
the pixels main.c expects can be worked out by hand from the colours listed here.

    logo.bmp  3 x 2, 24 bits, stored bottom row first as most BMPs are
              top row:    red FF0000, green 00FF00, blue 0000FF
              bottom row: white FFFFFF, black 000000, brown 804020
    icon.png  2 x 2, 8-bit RGBA
              top row:    123456 opaque, yellow FFFF00 opaque
              bottom row: grey 808080 opaque, blue 0000FF fully transparent
"""
import struct
import zlib
from pathlib import Path

here = Path(__file__).resolve().parent


def bmp(rows_top_first):
    width, height = len(rows_top_first[0]), len(rows_top_first)
    stride = (width * 3 + 3) // 4 * 4
    pixels = b""
    for row in reversed(rows_top_first):
        line = b"".join(bytes((b, g, r)) for r, g, b in row)
        pixels += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def png(rows_top_first):
    width, height = len(rows_top_first[0]), len(rows_top_first)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + b"".join(bytes(pixel) for pixel in row) for row in rows_top_first)
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


(here / "logo.bmp").write_bytes(bmp([[(0xFF, 0, 0), (0, 0xFF, 0), (0, 0, 0xFF)],
                                     [(0xFF, 0xFF, 0xFF), (0, 0, 0), (0x80, 0x40, 0x20)]]))
(here / "icon.png").write_bytes(png([[(0x12, 0x34, 0x56, 0xFF), (0xFF, 0xFF, 0, 0xFF)],
                                     [(0x80, 0x80, 0x80, 0xFF), (0, 0, 0xFF, 0)]]))
