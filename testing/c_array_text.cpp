#include "testing/c_array_text.h"

#include <cctype>
#include <charconv>

namespace {

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::uint64_t> number(std::string_view text) {
  text = trimmed(text);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<CArrayText> parse_c_array(std::string_view source) {
  // `static`, words before the type (qualifiers and attribute macros, `const` among them), the type
  // and the name, then [LENGTH].
  constexpr std::string_view opening = "static ";
  const std::size_t declaration = source.find(opening);
  if (declaration == std::string_view::npos) return std::nullopt;
  std::string_view rest = source.substr(declaration + opening.size());
  const std::size_t open = rest.find('['), close = rest.find(']'), equals = rest.find('='), brace = rest.find('{'),
                    end = rest.find('}');
  if (open == std::string_view::npos || close == std::string_view::npos || equals == std::string_view::npos ||
      brace == std::string_view::npos || end == std::string_view::npos ||
      !(open < close && close < equals && equals < brace && brace < end))
    return std::nullopt;
  const std::string_view words = trimmed(rest.substr(0, open));
  const std::size_t name_at = words.rfind(' ');
  if (name_at == std::string_view::npos) return std::nullopt;
  const std::string_view before_name = trimmed(words.substr(0, name_at));
  const std::size_t type_at = before_name.rfind(' ');
  if (type_at == std::string_view::npos) return std::nullopt;
  bool constant = false;
  for (std::string_view left = before_name.substr(0, type_at); !left.empty();) {
    const std::size_t space = left.find(' ');
    constant = constant || left.substr(0, space) == "const";
    left = space == std::string_view::npos ? std::string_view{} : trimmed(left.substr(space));
  }
  if (!constant) return std::nullopt;
  CArrayText array;
  array.type = before_name.substr(type_at + 1);
  array.name = words.substr(name_at + 1);
  const std::optional<std::uint64_t> length = number(rest.substr(open + 1, close - open - 1));
  if (!length || (array.type != "uint8_t" && array.type != "uint16_t")) return std::nullopt;
  array.length = *length;
  array.attribute = trimmed(rest.substr(close + 1, equals - close - 1));
  std::string_view elements = rest.substr(brace + 1, end - brace - 1);
  const std::uint64_t most = array.type == "uint8_t" ? 0xFF : 0xFFFF;
  while (!trimmed(elements).empty()) {
    const std::size_t comma = elements.find(',');
    const std::optional<std::uint64_t> value = number(elements.substr(0, comma));
    if (!value || *value > most) return std::nullopt;
    array.bytes.push_back(static_cast<std::uint8_t>(*value));
    if (array.type == "uint16_t") array.bytes.push_back(static_cast<std::uint8_t>(*value >> 8));
    ++array.elements;
    elements = comma == std::string_view::npos ? std::string_view{} : elements.substr(comma + 1);
  }
  return array;
}

std::optional<std::uint64_t> c_define(std::string_view source, std::string_view name) {
  const std::string line = "#define " + std::string(name) + " ";
  const std::size_t at = source.find(line);
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view value = source.substr(at + line.size());
  return number(value.substr(0, value.find('\n')));
}
