// A font's proof sheet: its glyphs in code-point order, laid on lines as text is, each line the
// font's line height below the one before and wrapped before it grows wider than 16 em (at least
// 480 pixels), ink as grey on white at the levels the panel would show (full ink black), with a
// margin of a quarter em and nothing else: no frame, no captions. Glyphs that reach into one another
// show the darker ink. An 8-bit RGB PNG written by the project's PNG writer.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "format/glyph_set.h"

// The PNG's bytes; nullopt when there is no memory for it.
std::optional<std::vector<std::uint8_t>> font_sheet(const GlyphSet& glyphs);
