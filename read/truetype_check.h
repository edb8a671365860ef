// The bounds check that stands between a TrueType file and the rasteriser (truetype_font.h), which
// trusts every offset it reads. It takes the font's bytes and the code points asked for, and passes
// the font only when everything the rasteriser will read for them lies inside the file:
// - the offset table and the table directory, and each table that is read (cmap, head, hhea, hmtx,
//   maxp, loca, glyf; kern and GPOS are read here, not by the rasteriser);
// - the cmap subtable that maps Unicode (format 4 or 12), read here with bounds at every step;
// - each chosen glyph's loca entries, its range inside glyf, its header, its contours' end points
//   rising and its flags and coordinates fitting the glyph's length; a composite glyph's component
//   records, their glyph indices, and its nesting and count of components bounded.
// Fonts with PostScript (CFF) outlines and font collections are refused with a reason. Kerning is
// read here from GPOS pair adjustments (formats 1 and 2) or else the kern table's first subtable,
// each read bounded, so the rasteriser never reads either table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "files/failure.h"

struct CheckedFont {
  // For each code point asked for, in that order, its glyph index; 0 where the font has none.
  std::vector<std::uint16_t> glyphs;
  // Font units of the em, from the head table.
  int units_per_em = 0;
  // With kerning asked for: the adjustment in font units for each ordered pair of the glyphs found
  // that the font kerns, as (index into `glyphs` of the left, of the right, adjustment).
  struct Kern {
    std::size_t left = 0;
    std::size_t right = 0;
    int adjust = 0;
  };
  std::vector<Kern> kerning;
  // The characters whose glyph is not drawn, with why (as index into `glyphs`, whose entry is then
  // 0): an outline that runs past its table, a composite the rasteriser would misread.
  struct Undrawable {
    std::size_t index = 0;
    std::string reason;
  };
  std::vector<Undrawable> undrawable;
};

// Bounds the composite glyphs' nesting and the components a glyph expands to, so that a font cannot
// loop or multiply the rasteriser's work.
inline constexpr int truetype_max_nesting = 8;
inline constexpr int truetype_max_components = 1024;

std::variant<CheckedFont, Failure> check_truetype(std::span<const std::uint8_t> font,
                                                  std::span<const char32_t> code_points, bool kerning);
