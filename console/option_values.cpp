#include "console/option_values.h"

#include <algorithm>
#include <charconv>

#include "containers/bmp_output.h"

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
