// Palettes the user gives the indexed formats, read from text: a GIMP palette file, a list of
// colours, or the name of a palette built in for a common panel. Each colour is opaque; the
// palette keeps the order it was given in, so that a panel's controller finds each colour at the
// index it expects.
//
// A GIMP palette (.gpl) is lines of text, ended by LF or CR LF: the first is "GIMP Palette"
// (after a UTF-8 byte order mark, if any); then, in any order, blank lines, comments (their first
// character that is not a space or a tab is '#'), "Name:" and "Columns:" lines, and colour lines:
// three decimal numbers from 0 to 255 (red, green, blue) separated by spaces or tabs, and
// optionally, after further spaces or tabs, the colour's name, which is not read. Any other line
// is refused with its number, counted from 1.
//
// A list of colours is RRGGBB in hexadecimal, each optionally after '#', separated by commas, with
// spaces allowed around each.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "pixels/pixels.h"

// The colours, or why the text is not a palette.
using PaletteRead = std::variant<std::vector<BgraQuad>, std::string>;

PaletteRead read_gimp_palette(std::string_view text);
PaletteRead read_colour_list(std::string_view text);

// Whether `text` looks like a list of colours rather than a file's name: no '.', '/' or '\\', and
// a comma or nothing but hexadecimal digits, '#' and spaces.
bool looks_like_colour_list(std::string_view text);

struct BuiltinPalette {
  std::string_view name;
  std::span<const BgraQuad> colours;
  std::string_view panel;  // what it is for, one line
};

// Every built-in palette, for --help, the manual and the README.
std::span<const BuiltinPalette> builtin_palettes();
const BuiltinPalette* find_builtin_palette(std::string_view name);
