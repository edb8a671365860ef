// A font's glyphs as `rgb565 font` rasterised them, for the containers that write them out (the C
// header, LVGL's font source, the proof sheet). Each container packs the levels its own way, so the
// set keeps one byte per pixel rather than any container's bit layout.
//
// Coordinates are in whole pixels on the panel, y up from the baseline:
// - a glyph's box is the smallest rectangle holding its ink; a glyph without ink (a space) has an
//   empty box and still an advance;
// - `x_offset` is from the pen's position to the box's left column (negative to the left);
// - `y_top` is from the baseline up to the box's top row, so the box's bottom row lies
//   `y_top - height` above the baseline (LVGL's ofs_y);
// - `levels` hold the box row by row, top row first, left to right, each a coverage level from 0
//   (no ink) to 2^bpp - 1 (full ink).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Glyph {
  char32_t code_point = 0;
  // Where the glyph's width * height levels start in GlyphSet::levels.
  std::size_t levels_offset = 0;
  int width = 0;
  int height = 0;
  int x_offset = 0;
  int y_top = 0;
  // How far the pen moves after the glyph, in sixteenths of a pixel.
  int advance_16 = 0;
};

// A kerning pair: the pen moves `adjust_16` sixteenths of a pixel (negative is closer) between
// `left` and `right` beyond the left glyph's advance.
struct KerningPair {
  char32_t left = 0;
  char32_t right = 0;
  int adjust_16 = 0;
};

struct GlyphSet {
  // Bits a level takes: 1, 2, 4 or 8.
  int bpp = 1;
  // The em size in pixels the glyphs were rasterised at.
  int size_px = 0;
  // From one baseline to the next, in pixels (ascent - descent + line gap, rounded).
  int line_height = 0;
  // From the top of a line down to its baseline, in pixels (the ascent, rounded).
  int baseline = 0;
  // Sorted by code point, each once.
  std::vector<Glyph> glyphs;
  std::vector<std::uint8_t> levels;
  // Sorted by left then right; empty without --kerning or when the font has none.
  std::vector<KerningPair> kerning;
};
