#!/usr/bin/env python3
"""Writes the test fonts of rgb565 font with plain struct: no font library, so that what the tests
expect of them follows from the shapes below alone.

shapes.ttf has 64 units to the em, so at --px 64 one unit is one pixel:
  U+0020 space: no outline, advance 8;
  U+0041 'A': a rectangle from (2, 0) to (12, 20), advance 14;
  U+0042 'B': a right triangle (0, 0), (16, 0), (0, 16), advance 18;
  U+0043 'C': a composite: 'A' moved 20 units right, advance 34;
ascent 48, descent -16, no line gap; a kern pair A then B of -4 units.

The hostile fonts are shapes.ttf with one fault each:
  loca_out_of_glyf.ttf: 'A''s outline ends past the glyf table;
  composite_loop.ttf: 'C' is made of itself;
  contours_past_outline.ttf: 'B' claims more points than its outline holds;
  huge_advance.ttf: 'A' moves the pen 65535 units, over a thousand ems.

far_component.ttf is shapes.ttf with 32,770 glyphs: 'C' is made of glyph 32769, a copy of 'A''s
rectangle, whose index is past the range of a signed 16-bit number; the glyphs between are empty.
"""
import struct
from pathlib import Path


def simple_glyph(points, n_points_override=None):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    last = (n_points_override or len(points)) - 1
    data = struct.pack(">hhhhh", 1, min(xs), min(ys), max(xs), max(ys))
    data += struct.pack(">HH", last, 0)  # end point of the one contour, no instructions
    data += bytes([1] * len(points))  # on curve, 16-bit deltas
    px = py = 0
    dx, dy = b"", b""
    for x, y in points:
        dx += struct.pack(">h", x - px)
        dy += struct.pack(">h", y - py)
        px, py = x, y
    return data + dx + dy


def composite_glyph(component, dx, bbox):
    data = struct.pack(">hhhhh", -1, *bbox)
    # ARG_1_AND_2_ARE_WORDS | ARGS_ARE_XY_VALUES, no further component
    return data + struct.pack(">HHhh", 0x0003, component, dx, 0)


def pad(data):
    return data + b"\0" * (-len(data) % 4)


def font(loca_fault=False, loop=False, short_points=False, huge_advance=False, far_component=False):
    rect = [(2, 0), (2, 20), (12, 20), (12, 0)]
    triangle = [(0, 0), (0, 16), (16, 0)]
    glyphs = [
        b"",
        b"",
        simple_glyph(rect),
        simple_glyph(triangle, 40 if short_points else None),
        composite_glyph(4 if loop else 2, 20, (22, 0, 32, 20)),
    ]
    advances = [(16, 0), (8, 0), (65535 if huge_advance else 14, 2), (18, 0), (34, 22)]
    long_metrics = len(glyphs)
    if far_component:
        far = 32769
        glyphs[4] = composite_glyph(far, 20, (22, 0, 32, 20))
        glyphs += [b""] * (far - len(glyphs)) + [simple_glyph(rect)]
    glyf = b""
    loca = []
    for g in glyphs:
        loca.append(len(glyf))
        glyf += pad(g)
    loca.append(len(glyf))
    if loca_fault:
        loca[3] = len(glyf) + 64
    tables = {}
    tables[b"head"] = struct.pack(">IIIIHHqqhhhhHHhhh", 0x00010000, 0x00010000, 0, 0x5F0F3CF5, 0, 64, 0, 0,
                                  0, -16, 34, 48, 0, 8, 2, 0 if far_component else 1, 0)
    tables[b"hhea"] = struct.pack(">Ihhh" + "H" + "hhh" + "hhh" + "hhhh" + "h" + "H", 0x00010000, 48, -16, 0, 34,
                                  0, 0, 32, 1, 0, 0, 0, 0, 0, 0, 0, long_metrics)
    tables[b"maxp"] = struct.pack(">IH", 0x00005000, len(glyphs))
    # Glyphs past the long metrics take the last advance, and have a left side bearing of their own.
    tables[b"hmtx"] = b"".join(struct.pack(">Hh", a, l) for a, l in advances)
    tables[b"hmtx"] += b"".join(struct.pack(">h", 0) for _ in range(len(glyphs) - long_metrics))
    segments = [(0x20, 0x20, 1 - 0x20), (0x41, 0x43, 2 - 0x41), (0xFFFF, 0xFFFF, 1)]
    n = len(segments)
    sub = struct.pack(">HHHHHHH", 4, 16 + 8 * n, 0, 2 * n, 4, 1, 2 * n - 4)
    sub += b"".join(struct.pack(">H", e) for _, e, _ in segments) + b"\0\0"
    sub += b"".join(struct.pack(">H", s) for s, _, _ in segments)
    sub += b"".join(struct.pack(">h", d) for _, _, d in segments)
    sub += b"\0\0" * n
    tables[b"cmap"] = struct.pack(">HHHHI", 0, 1, 3, 1, 12) + sub
    # The long glyph list keeps its offsets short, in words, to keep the file small.
    if far_component:
        tables[b"loca"] = b"".join(struct.pack(">H", o // 2) for o in loca)
    else:
        tables[b"loca"] = b"".join(struct.pack(">I", o) for o in loca)
    tables[b"glyf"] = glyf
    tables[b"kern"] = struct.pack(">HH", 0, 1) + struct.pack(">HHHHHHH", 0, 20, 0x0001, 1, 6, 0, 0) + \
        struct.pack(">HHh", 2, 3, -4)
    tags = sorted(tables)
    out = struct.pack(">IHHHH", 0x00010000, len(tags), 64, 2, 32)
    offset = 12 + 16 * len(tags)
    body = b""
    for tag in tags:
        data = tables[tag]
        out += struct.pack(">4sIII", tag, 0, offset + len(body), len(data))
        body += pad(data)
    return out + body


here = Path(__file__).parent
(here / "shapes.ttf").write_bytes(font())
(here / "loca_out_of_glyf.ttf").write_bytes(font(loca_fault=True))
(here / "composite_loop.ttf").write_bytes(font(loop=True))
(here / "contours_past_outline.ttf").write_bytes(font(short_points=True))
(here / "huge_advance.ttf").write_bytes(font(huge_advance=True))
(here / "far_component.ttf").write_bytes(font(far_component=True))
