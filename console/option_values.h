// The values that rgb565's options take, read from the text a user typed: counts, frame sizes,
// rectangles, colours. Each reader takes the whole text or nothing, so that "2x2junk" is refused
// rather than read as 2x2.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console/usage_error.h"
#include "jobs/pack.h"
#include "jobs/unpack.h"

// The message that refuses `value` for the option `name`, with what it takes when `valid` is given:
// "bad value 'x' for --rows (stored, top-down)".
std::string bad_value(std::string_view name, std::string_view value, std::string_view valid = {});

// "a, b, c": the names a value may take, for a message that refuses another.
std::string listed(std::span<const std::string_view> names);

// A count in decimal digits, nothing else, that fits the type.
std::optional<std::uint32_t> parse_count(std::string_view text);

// font --range: "A-B" or "A", each a code point in hex (0x41, U+0041) or decimal, A no more than
// B, appended to `code_points`; false for anything else or past U+10FFFF.
bool parse_code_point_range(std::string_view text, std::vector<char32_t>& code_points);
// font --chars: the code points of UTF-8 text appended; false for text that is not valid UTF-8
// (overlong forms, surrogates, past U+10FFFF, cut short).
bool parse_utf8(std::string_view text, std::vector<char32_t>& code_points);
std::optional<std::uint64_t> parse_long_count(std::string_view text);

// WxH, both positive, and a frame whose BMP fits its 32-bit sizes; or auto, for the probe's guess.
bool parse_size(std::string_view text, UnpackOptions& options);

// WxH+X+Y, or WxH for the top left corner: a rectangle of at least one pixel.
bool parse_crop(std::string_view text, Rect& rect);

// WxH, Wx or xH, each side given from 1 to largest_resize.
bool parse_resize(std::string_view text, ResizeTo& to);

// A colour as people write it: RRGGBB or #RRGGBB in hexadecimal, #RGB (each digit doubled), or one
// of CSS's 148 colour names (magenta, cornflowerblue), in any case.
bool parse_colour(std::string_view text, BgrTriple& colour);

// The palette --palette names: a built-in palette's name, a list of colours (RRGGBB,RRGGBB,...), or
// the path of a GIMP palette file, tried in that order (./NAME reads a file whose name would be
// taken for one of the others). The usage error that says why it was not read, or nothing.
std::optional<UsageError> read_palette(std::string_view name, std::string_view value, std::vector<BgraQuad>& palette);

// "bw (000000, FFFFFF), bwr (...)": the built-in palettes and their colours, for the manual.
std::string builtin_palettes_listed();
// What parse_colour takes, for the message that refuses anything else.
inline constexpr std::string_view colour_syntax =
    "RRGGBB, #RRGGBB or #RGB in hexadecimal, or a CSS colour name (black, white, magenta, cornflowerblue, ...)";
