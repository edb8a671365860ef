// LVGL 9's font, as C source: a `const lv_font_t NAME` over an `lv_font_fmt_txt_dsc_t` with the
// glyphs' bitmaps, their descriptions, the character maps and the kerning pairs, which compiles
// against LVGL's headers and draws with `lv_label`.
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "files/failure.h"
#include "format/glyph_set.h"

// The source file's text, or why LVGL's font cannot hold these glyphs (a box or an advance wider
// than its fields take, more bitmap bytes than its index reaches).
std::variant<std::string, Failure> lvgl_font_source(const GlyphSet& glyphs, std::string_view name,
                                                    std::string_view c_attribute);
