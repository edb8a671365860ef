// rgb565 font: a TrueType font's glyphs rasterised at one em size into bitmap glyphs (a GlyphSet,
// format/glyph_set.h), written as a C header for any display library, LVGL's font source, or a PNG
// proof sheet. The font is read through a file view and passed to the rasteriser only once the
// bounds check (read/truetype_check.h) has passed it for the glyphs chosen.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "files/failure.h"
#include "format/glyph_set.h"
#include "job/job.h"
#include "read/image_loader.h"

enum class FontOutput { header, lvgl, sheet };

// The largest em size and the most characters one font takes: beyond them a glyph's fields or the
// kerning pairs' search outgrow what a panel's font needs.
inline constexpr int font_max_size = 1024;
inline constexpr std::size_t font_max_characters = 65536;

struct FontOptions {
  // The em size in pixels.
  int size_px = 0;
  // The characters asked for, in any order and with repeats; empty for printable ASCII.
  std::vector<char32_t> code_points;
  int bpp = 4;
  bool kerning = false;
  FontOutput output = FontOutput::header;
  // The C name the header's or the source's symbols start with.
  std::string c_array;
  std::string c_attribute;
  // The most pixels the glyphs' boxes may cover together, counted from the outlines before any is
  // drawn: the same limit, and the same default, as a compressed picture's.
  std::uint64_t pixel_limit = default_pixel_limit;
};

// The glyphs of the font in `font` for `options`, with a warning for each character the font lacks;
// or why the font is refused.
std::variant<GlyphSet, Failure> rasterise_font(std::span<const std::uint8_t> font, const FontOptions& options,
                                               std::vector<std::string>& warnings);

// Reads the font at paths.first and writes the output at paths.second (or to paths.output).
Outcome font(const JobPaths& paths, const FontOptions& options, JobProgress& progress);
