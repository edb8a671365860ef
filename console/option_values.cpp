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
  static constexpr Named names[] = {
      {"black", 0x000000},  {"silver", 0xC0C0C0}, {"gray", 0x808080},   {"white", 0xFFFFFF},
      {"maroon", 0x800000}, {"red", 0xFF0000},    {"purple", 0x800080}, {"fuchsia", 0xFF00FF},
      {"green", 0x008000},  {"lime", 0x00FF00},   {"olive", 0x808000},  {"yellow", 0xFFFF00},
      {"navy", 0x000080},   {"blue", 0x0000FF},   {"teal", 0x008080},   {"aqua", 0x00FFFF},
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
