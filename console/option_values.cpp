#include "console/option_values.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>

#include "containers/bmp_output.h"
#include "files/file_view.h"
#include "files/view_access.h"
#include "format/palette_text.h"

namespace {

template <typename Count>
std::optional<Count> parse_digits(std::string_view text) {
  Count value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

std::string bad_value(std::string_view name, std::string_view value, std::string_view valid) {
  std::string message = "bad value '" + std::string(value) + "' for " + std::string(name);
  if (!valid.empty()) message += " (" + std::string(valid) + ")";
  return message;
}

std::string listed(std::span<const std::string_view> names) {
  std::string list;
  for (std::string_view name : names) {
    if (!list.empty()) list += ", ";
    list += name;
  }
  return list;
}

std::optional<std::uint32_t> parse_count(std::string_view text) { return parse_digits<std::uint32_t>(text); }

std::optional<std::uint64_t> parse_long_count(std::string_view text) { return parse_digits<std::uint64_t>(text); }

bool parse_size(std::string_view text, UnpackOptions& options) {
  if (text == "auto") {
    options.guess_size = true;
    return true;
  }
  options.guess_size = false;
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  const std::optional<std::uint32_t> width = parse_count(text.substr(0, x));
  const std::optional<std::uint32_t> height = parse_count(text.substr(x + 1));
  if (!width || !height || !bmp_output(*width, *height)) return false;
  options.width = *width;
  options.height = *height;
  return true;
}

bool parse_crop(std::string_view text, Rect& rect) {
  const std::size_t x = text.find('x');
  const std::size_t plus = text.find('+');
  if (x == std::string_view::npos || (plus != std::string_view::npos && plus < x)) return false;
  const std::string_view size = text.substr(0, plus);
  const std::optional<std::uint32_t> width = parse_count(size.substr(0, x));
  const std::optional<std::uint32_t> height = parse_count(size.substr(x + 1));
  std::optional<std::uint32_t> left = 0, top = 0;
  if (plus != std::string_view::npos) {
    const std::string_view offsets = text.substr(plus + 1);
    const std::size_t second = offsets.find('+');
    if (second == std::string_view::npos) return false;
    left = parse_count(offsets.substr(0, second));
    top = parse_count(offsets.substr(second + 1));
  }
  if (!width || !height || !left || !top || *width == 0 || *height == 0) return false;
  rect = {*left, *top, *width, *height};
  return true;
}

bool parse_resize(std::string_view text, ResizeTo& to) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  const auto side = [](std::string_view digits) -> std::optional<std::uint32_t> {
    if (digits.empty()) return 0;
    const std::optional<std::uint32_t> length = parse_count(digits);
    if (!length || *length == 0 || *length > largest_resize) return std::nullopt;
    return length;
  };
  const std::optional<std::uint32_t> width = side(text.substr(0, x)), height = side(text.substr(x + 1));
  if (!width || !height || (*width == 0 && *height == 0)) return false;
  to = {*width, *height};
  return true;
}

bool parse_colour(std::string_view text, BgrTriple& colour) {
  struct Named {
    std::string_view name;
    std::uint32_t rgb;
  };
  // CSS's named colours, which the web, SVG and most drawing programs share.
  static constexpr Named names[] = {
      {"aliceblue", 0xF0F8FF},
      {"antiquewhite", 0xFAEBD7},
      {"aqua", 0x00FFFF},
      {"aquamarine", 0x7FFFD4},
      {"azure", 0xF0FFFF},
      {"beige", 0xF5F5DC},
      {"bisque", 0xFFE4C4},
      {"black", 0x000000},
      {"blanchedalmond", 0xFFEBCD},
      {"blue", 0x0000FF},
      {"blueviolet", 0x8A2BE2},
      {"brown", 0xA52A2A},
      {"burlywood", 0xDEB887},
      {"cadetblue", 0x5F9EA0},
      {"chartreuse", 0x7FFF00},
      {"chocolate", 0xD2691E},
      {"coral", 0xFF7F50},
      {"cornflowerblue", 0x6495ED},
      {"cornsilk", 0xFFF8DC},
      {"crimson", 0xDC143C},
      {"cyan", 0x00FFFF},
      {"darkblue", 0x00008B},
      {"darkcyan", 0x008B8B},
      {"darkgoldenrod", 0xB8860B},
      {"darkgray", 0xA9A9A9},
      {"darkgreen", 0x006400},
      {"darkgrey", 0xA9A9A9},
      {"darkkhaki", 0xBDB76B},
      {"darkmagenta", 0x8B008B},
      {"darkolivegreen", 0x556B2F},
      {"darkorange", 0xFF8C00},
      {"darkorchid", 0x9932CC},
      {"darkred", 0x8B0000},
      {"darksalmon", 0xE9967A},
      {"darkseagreen", 0x8FBC8F},
      {"darkslateblue", 0x483D8B},
      {"darkslategray", 0x2F4F4F},
      {"darkslategrey", 0x2F4F4F},
      {"darkturquoise", 0x00CED1},
      {"darkviolet", 0x9400D3},
      {"deeppink", 0xFF1493},
      {"deepskyblue", 0x00BFFF},
      {"dimgray", 0x696969},
      {"dimgrey", 0x696969},
      {"dodgerblue", 0x1E90FF},
      {"firebrick", 0xB22222},
      {"floralwhite", 0xFFFAF0},
      {"forestgreen", 0x228B22},
      {"fuchsia", 0xFF00FF},
      {"gainsboro", 0xDCDCDC},
      {"ghostwhite", 0xF8F8FF},
      {"gold", 0xFFD700},
      {"goldenrod", 0xDAA520},
      {"gray", 0x808080},
      {"green", 0x008000},
      {"greenyellow", 0xADFF2F},
      {"grey", 0x808080},
      {"honeydew", 0xF0FFF0},
      {"hotpink", 0xFF69B4},
      {"indianred", 0xCD5C5C},
      {"indigo", 0x4B0082},
      {"ivory", 0xFFFFF0},
      {"khaki", 0xF0E68C},
      {"lavender", 0xE6E6FA},
      {"lavenderblush", 0xFFF0F5},
      {"lawngreen", 0x7CFC00},
      {"lemonchiffon", 0xFFFACD},
      {"lightblue", 0xADD8E6},
      {"lightcoral", 0xF08080},
      {"lightcyan", 0xE0FFFF},
      {"lightgoldenrodyellow", 0xFAFAD2},
      {"lightgray", 0xD3D3D3},
      {"lightgreen", 0x90EE90},
      {"lightgrey", 0xD3D3D3},
      {"lightpink", 0xFFB6C1},
      {"lightsalmon", 0xFFA07A},
      {"lightseagreen", 0x20B2AA},
      {"lightskyblue", 0x87CEFA},
      {"lightslategray", 0x778899},
      {"lightslategrey", 0x778899},
      {"lightsteelblue", 0xB0C4DE},
      {"lightyellow", 0xFFFFE0},
      {"lime", 0x00FF00},
      {"limegreen", 0x32CD32},
      {"linen", 0xFAF0E6},
      {"magenta", 0xFF00FF},
      {"maroon", 0x800000},
      {"mediumaquamarine", 0x66CDAA},
      {"mediumblue", 0x0000CD},
      {"mediumorchid", 0xBA55D3},
      {"mediumpurple", 0x9370DB},
      {"mediumseagreen", 0x3CB371},
      {"mediumslateblue", 0x7B68EE},
      {"mediumspringgreen", 0x00FA9A},
      {"mediumturquoise", 0x48D1CC},
      {"mediumvioletred", 0xC71585},
      {"midnightblue", 0x191970},
      {"mintcream", 0xF5FFFA},
      {"mistyrose", 0xFFE4E1},
      {"moccasin", 0xFFE4B5},
      {"navajowhite", 0xFFDEAD},
      {"navy", 0x000080},
      {"oldlace", 0xFDF5E6},
      {"olive", 0x808000},
      {"olivedrab", 0x6B8E23},
      {"orange", 0xFFA500},
      {"orangered", 0xFF4500},
      {"orchid", 0xDA70D6},
      {"palegoldenrod", 0xEEE8AA},
      {"palegreen", 0x98FB98},
      {"paleturquoise", 0xAFEEEE},
      {"palevioletred", 0xDB7093},
      {"papayawhip", 0xFFEFD5},
      {"peachpuff", 0xFFDAB9},
      {"peru", 0xCD853F},
      {"pink", 0xFFC0CB},
      {"plum", 0xDDA0DD},
      {"powderblue", 0xB0E0E6},
      {"purple", 0x800080},
      {"rebeccapurple", 0x663399},
      {"red", 0xFF0000},
      {"rosybrown", 0xBC8F8F},
      {"royalblue", 0x4169E1},
      {"saddlebrown", 0x8B4513},
      {"salmon", 0xFA8072},
      {"sandybrown", 0xF4A460},
      {"seagreen", 0x2E8B57},
      {"seashell", 0xFFF5EE},
      {"sienna", 0xA0522D},
      {"silver", 0xC0C0C0},
      {"skyblue", 0x87CEEB},
      {"slateblue", 0x6A5ACD},
      {"slategray", 0x708090},
      {"slategrey", 0x708090},
      {"snow", 0xFFFAFA},
      {"springgreen", 0x00FF7F},
      {"steelblue", 0x4682B4},
      {"tan", 0xD2B48C},
      {"teal", 0x008080},
      {"thistle", 0xD8BFD8},
      {"tomato", 0xFF6347},
      {"turquoise", 0x40E0D0},
      {"violet", 0xEE82EE},
      {"wheat", 0xF5DEB3},
      {"white", 0xFFFFFF},
      {"whitesmoke", 0xF5F5F5},
      {"yellow", 0xFFFF00},
      {"yellowgreen", 0x9ACD32},
  };
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  std::optional<std::uint32_t> rgb;
  for (const Named& named : names) {
    if (named.name.size() == text.size() &&
        std::equal(text.begin(), text.end(), named.name.begin(), [&](char a, char b) { return lower(a) == b; }))
      rgb = named.rgb;
  }
  const std::string_view digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
  if (!rgb && (digits.size() == 6 || (digits.size() == 3 && digits.size() != text.size()))) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (error == std::errc{} && end == digits.data() + digits.size()) {
      rgb = digits.size() == 6 ? value
                               : (value >> 8 & 0xF) * 0x110000 + (value >> 4 & 0xF) * 0x1100 + (value & 0xF) * 0x11;
    }
  }
  if (!rgb) return false;
  colour = {static_cast<std::uint8_t>(*rgb), static_cast<std::uint8_t>(*rgb >> 8),
            static_cast<std::uint8_t>(*rgb >> 16)};
  return true;
}

namespace {

std::string builtin_names() {
  std::string names;
  for (const BuiltinPalette& builtin : builtin_palettes())
    names += (names.empty() ? "" : ", ") + std::string(builtin.name);
  return names;
}

}  // namespace

std::optional<UsageError> read_palette(std::string_view name, std::string_view value, std::vector<BgraQuad>& palette) {
  // "--palette 'what': why", built by appending: GCC 12 warns falsely on a literal + a string.
  const auto about = [](std::string_view what, std::string_view why) {
    std::string message = "--palette '";
    message += what;
    message += "': ";
    message += why;
    return message;
  };
  const auto take = [&](PaletteRead read, std::string_view what) -> std::optional<UsageError> {
    if (std::string* why = std::get_if<std::string>(&read)) return UsageError{about(what, *why)};
    palette = std::move(std::get<std::vector<BgraQuad>>(read));
    return std::nullopt;
  };
  if (const BuiltinPalette* builtin = find_builtin_palette(value)) {
    palette.assign(builtin->colours.begin(), builtin->colours.end());
    return std::nullopt;
  }
  if (looks_like_colour_list(value)) return take(read_colour_list(value), value);
  // A palette file has at most 256 colours of a short line each: a megabyte is more than any needs.
  constexpr std::uint64_t most_bytes = std::uint64_t{1} << 20;
  const std::string path(value);
  std::variant<FileView, SystemError> opened = FileView::open(path.c_str(), ViewKind::read_only, most_bytes + 1);
  // A file whose size reads 0 may still have text (a file of /proc made as it is read): read it.
  if (SystemError* error = std::get_if<SystemError>(&opened);
      error != nullptr && error->kind == FileFault::empty_file) {
    std::ifstream file(path, std::ios::binary);
    std::string text(most_bytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    if (text.size() > most_bytes) return UsageError{about(path, "over a megabyte, not a palette")};
    if (!text.empty()) return take(read_gimp_palette(text), path);
  }
  if (SystemError* error = std::get_if<SystemError>(&opened)) {
    std::string valid = "a built-in palette (";
    valid += builtin_names();
    valid += "), RRGGBB,RRGGBB,... or a GIMP palette file";
    std::string message = bad_value(name, value, valid);
    message += ": ";
    message += describe(*error);
    return UsageError{std::move(message)};
  }
  const FileView& view = std::get<FileView>(opened);
  if (view.file_size() > most_bytes) return UsageError{about(path, "over a megabyte, not a palette")};
  const std::span<const std::uint8_t> bytes = view.bytes();
  std::string text(bytes.size(), '\0');
  if (access_views([&] { std::copy(bytes.begin(), bytes.end(), text.begin()); }) != nullptr)
    return UsageError{about(path, cut_short_reason)};
  return take(read_gimp_palette(text), path);
}

std::string builtin_palettes_listed() {
  std::string list;
  for (const BuiltinPalette& builtin : builtin_palettes()) {
    if (!list.empty()) list += "; ";
    list += builtin.name;
    list += " (";
    for (std::size_t k = 0; k < builtin.colours.size(); ++k) {
      char colour[8];
      const BgraQuad& c = builtin.colours[k];
      std::snprintf(colour, sizeof colour, "%02X%02X%02X", c.red, c.green, c.blue);
      if (k != 0) list += ", ";
      list += colour;
    }
    list += ")";
  }
  return list;
}

namespace {

std::optional<char32_t> parse_code_point(std::string_view text) {
  std::optional<std::uint32_t> value;
  if (text.starts_with("0x") || text.starts_with("0X") || text.starts_with("U+") || text.starts_with("u+")) {
    text.remove_prefix(2);
    if (text.empty() || text.size() > 6) return std::nullopt;
    std::uint32_t hex = 0;
    for (char c : text) {
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0) return std::nullopt;
      hex = hex * 16 + std::uint32_t(digit);
    }
    value = hex;
  } else {
    value = parse_count(text);
  }
  if (!value || *value > 0x10FFFF) return std::nullopt;
  return static_cast<char32_t>(*value);
}

}  // namespace

bool parse_code_point_range(std::string_view text, std::vector<char32_t>& code_points) {
  const std::size_t dash = text.find('-');
  const std::optional<char32_t> first = parse_code_point(text.substr(0, dash));
  const std::optional<char32_t> last = dash == std::string_view::npos ? first : parse_code_point(text.substr(dash + 1));
  if (!first || !last || *first > *last) return false;
  for (char32_t code = *first;; ++code) {
    code_points.push_back(code);
    if (code == *last) return true;
  }
}

bool parse_utf8(std::string_view text, std::vector<char32_t>& code_points) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80             ? 1
                               : (lead & 0xE0) == 0xC0 ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
    if (length == 0 || at + length > text.size()) return false;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    code_points.push_back(code);
    at += length;
  }
  return true;
}
