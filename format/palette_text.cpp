#include "format/palette_text.h"

#include <charconv>
#include <cstdint>

namespace {

constexpr BgraQuad rgb(std::uint32_t colour) {
  return {static_cast<std::uint8_t>(colour), static_cast<std::uint8_t>(colour >> 8),
          static_cast<std::uint8_t>(colour >> 16), 255};
}

// Black and white first, then the inks: the order in which the 7-colour panels number their
// colours, which the two- and three-colour palettes follow.
constexpr BgraQuad bw[] = {rgb(0x000000), rgb(0xFFFFFF)};
constexpr BgraQuad bwr[] = {rgb(0x000000), rgb(0xFFFFFF), rgb(0xFF0000)};
constexpr BgraQuad bwy[] = {rgb(0x000000), rgb(0xFFFFFF), rgb(0xFFFF00)};
constexpr BgraQuad seven[] = {rgb(0x000000), rgb(0xFFFFFF), rgb(0x00FF00), rgb(0x0000FF),
                              rgb(0xFF0000), rgb(0xFFFF00), rgb(0xFF8000)};
constexpr BgraQuad gray4[] = {rgb(0x000000), rgb(0x555555), rgb(0xAAAAAA), rgb(0xFFFFFF)};
constexpr BgraQuad gray16[] = {rgb(0x000000), rgb(0x111111), rgb(0x222222), rgb(0x333333), rgb(0x444444), rgb(0x555555),
                               rgb(0x666666), rgb(0x777777), rgb(0x888888), rgb(0x999999), rgb(0xAAAAAA), rgb(0xBBBBBB),
                               rgb(0xCCCCCC), rgb(0xDDDDDD), rgb(0xEEEEEE), rgb(0xFFFFFF)};

constexpr BuiltinPalette builtins[] = {
    {"bw", bw, "black and white e-paper"},
    {"bwr", bwr, "black, white and red e-paper"},
    {"bwy", bwy, "black, white and yellow e-paper"},
    {"7color", seven, "7-colour e-paper: black, white, green, blue, red, yellow, orange"},
    {"gray4", gray4, "4 greys, evenly spaced"},
    {"gray16", gray16, "16 greys, evenly spaced"},
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// A line as a message quotes it: at most 40 characters, anything unprintable as '?'.
std::string quoted(std::string_view line) {
  std::string shown(line.substr(0, 40));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return "'" + shown + (line.size() > 40 ? "...'" : "'");
}

// A decimal channel at the start of `text`, which it then starts past.
bool take_channel(std::string_view& text, std::uint8_t& channel) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end == text.data() || value > 255) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  channel = static_cast<std::uint8_t>(value);
  return true;
}

bool starts_with(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

}  // namespace

PaletteRead read_gimp_palette(std::string_view text) {
  if (starts_with(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<BgraQuad> colours;
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (number == 1) {
      if (trimmed(line) != "GIMP Palette")
        return "line 1 is " + quoted(line) + ", not 'GIMP Palette': not a GIMP palette";
      continue;
    }
    const std::string_view content = trimmed(line);
    if (content.empty() || content.front() == '#' || starts_with(content, "Name:") || starts_with(content, "Columns:"))
      continue;
    std::string_view rest = content;
    BgraQuad colour{0, 0, 0, 255};
    bool read = take_channel(rest, colour.red);
    for (std::uint8_t* channel : {&colour.green, &colour.blue}) {
      read = read && !rest.empty() && is_blank(rest.front());
      rest = trimmed(rest);
      read = read && take_channel(rest, *channel);
    }
    if (!read || (!rest.empty() && !is_blank(rest.front())))
      return "line " + std::to_string(number) + " is " + quoted(line) +
             ", not a colour (red, green and blue from 0 to 255, then a name)";
    colours.push_back(colour);
  }
  if (number == 0) return "an empty file, not a GIMP palette";
  if (colours.empty()) return "a GIMP palette of no colours";
  return colours;
}

PaletteRead read_colour_list(std::string_view text) {
  std::vector<BgraQuad> colours;
  for (std::size_t number = 1;; ++number) {
    const std::size_t comma = text.find(',');
    std::string_view item = trimmed(text.substr(0, comma));
    if (!item.empty() && item.front() == '#') item.remove_prefix(1);
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value, 16);
    if (item.size() != 6 || error != std::errc{} || end != item.data() + item.size())
      return "colour " + std::to_string(number) + " is " + quoted(trimmed(text.substr(0, comma))) + ", not RRGGBB";
    colours.push_back(rgb(value));
    if (comma == std::string_view::npos) return colours;
    text.remove_prefix(comma + 1);
  }
}

bool looks_like_colour_list(std::string_view text) {
  if (text.empty() || text.find_first_of("./\\") != std::string_view::npos) return false;
  if (text.find(',') != std::string_view::npos) return true;
  for (char c : text) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex && c != '#' && c != ' ') return false;
  }
  return true;
}

std::span<const BuiltinPalette> builtin_palettes() { return builtins; }

const BuiltinPalette* find_builtin_palette(std::string_view name) {
  for (const BuiltinPalette& palette : builtins) {
    if (palette.name == name) return &palette;
  }
  return nullptr;
}
