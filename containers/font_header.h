// A font's glyphs as a C header for any display library, which a C99 compiler reads:
// - `static const uint8_t NAME_bitmaps[]`: the glyphs' boxes one after another, each row of a box
//   padded to a whole byte, the leftmost pixel in the high bits, a level of bpp bits a pixel;
// - `static const rgb565_glyph NAME_glyphs[]`, sorted by code point: where a glyph's rows start in
//   the bitmaps, its box, the box's place from the pen (x_offset right, y_offset down from the top
//   of the line) and the advance, all in whole pixels. The struct is declared once under
//   RGB565_GLYPH_DEFINED, so that two font headers can be included together; its size fields are
//   16 bits wide so that large sizes fit;
// - with kerning, `static const rgb565_kerning NAME_kerning[]` sorted by left, then right, each the
//   pen's adjustment in whole pixels (pairs that round to none are left out);
// - enum constants NAME_glyph_count, NAME_line_height, NAME_baseline (from the top of the line
//   down to the baseline), NAME_bpp, and with kerning NAME_kerning_count;
// all inside an include guard, with a comment that says how to find and draw a glyph.
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "files/failure.h"
#include "format/glyph_set.h"

// The header's text; `attribute`, when not empty, follows each array's name (PROGMEM, a section).
// With `kerning_table`, the kerning table even when no pair kerns, so that code reading it compiles
// whatever the font. Refused when the bitmaps outgrow the 32-bit offsets.
std::variant<std::string, Failure> font_header(const GlyphSet& glyphs, std::string_view name,
                                               std::string_view attribute, bool kerning_table);
