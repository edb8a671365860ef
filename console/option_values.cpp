#include "console/option_values.h"

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
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.size() != 6 || error != std::errc{} || end != text.data() + text.size()) return false;
  colour = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16)};
  return true;
}
