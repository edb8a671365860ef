#include "containers/c_array.h"

#include <cstddef>
#include <cstdio>

#include "pixels/little_endian.h"

namespace {

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// C23's keywords, which take in C99's and C11's: a header naming its array after one of them would
// not compile.
constexpr std::string_view keywords =
    " alignas alignof auto bool break case char const constexpr continue default do double else enum extern false"
    " float for goto if inline int long nullptr register restrict return short signed sizeof static static_assert"
    " struct switch thread_local true typedef typeof typeof_unqual union unsigned void volatile while _Alignas"
    " _Alignof _Atomic _BitInt _Bool _Complex _Decimal128 _Decimal32 _Decimal64 _Generic _Imaginary _Noreturn"
    " _Static_assert _Thread_local ";

bool is_keyword(std::string_view name) {
  const std::size_t at = keywords.find(name);
  return !name.empty() && at != std::string_view::npos && at > 0 && keywords[at - 1] == ' ' &&
         keywords[at + name.size()] == ' ';
}

std::string attribute_text(std::string_view attribute) {
  std::string text;
  if (!attribute.empty()) text.append(" ").append(attribute);
  return text;
}

std::string guard_and_sizes(const std::string& id, std::uint32_t width, std::uint32_t height, std::uint32_t tiles,
                            std::span<const std::uint32_t> delays_ms) {
  std::string text("#ifndef RGB565_");
  text.append(id).append("_H\n#define RGB565_").append(id).append("_H\n\n#include <stdint.h>\n\n#define ");
  text.append(id).append("_width ").append(std::to_string(width)).append("\n#define ").append(id);
  text.append("_height ").append(std::to_string(height)).append("\n");
  if (tiles != 0) text.append("#define ").append(id).append("_tiles ").append(std::to_string(tiles)).append("\n");
  if (!delays_ms.empty()) {
    const std::string count = std::to_string(delays_ms.size());
    text.append("#define ").append(id).append("_frames ").append(count).append("\n\n");
    text.append("static const uint32_t ").append(id).append("_delays_ms[").append(count).append("] = {");
    for (std::size_t k = 0; k < delays_ms.size(); ++k)
      text.append(k % 12 == 0 ? "\n    " : " ")
          .append(std::to_string(delays_ms[k]))
          .append(k + 1 < delays_ms.size() ? "," : "");
    text.append("\n};\n");
  }
  return text.append("\n");
}

}  // namespace

bool is_c_identifier(std::string_view name) {
  if (name.empty() || !is_letter(name[0]) || is_keyword(name)) return false;
  for (char c : name) {
    if (!is_letter(c) && !is_digit(c)) return false;
  }
  return true;
}

std::string c_identifier_of(std::string_view stem) {
  std::string name(stem);
  for (char& c : name) {
    if (!is_letter(c) && !is_digit(c)) c = '_';
  }
  if (name.empty() || is_digit(name[0])) name.insert(name.begin(), '_');
  if (is_keyword(name)) name += '_';
  return name;
}

std::string c_comment_text(std::string_view text) {
  std::string comment(text);
  for (std::size_t at = 0; at + 1 < comment.size(); ++at) {
    if (comment[at] == '*' && comment[at + 1] == '/') comment[at + 1] = '.';
    if (comment[at] == '/' && comment[at + 1] == '*') comment[at + 1] = '.';
  }
  return comment;
}

std::string c_array_head(std::string_view name, std::string_view description, std::uint64_t words, std::uint32_t width,
                         std::uint32_t height, bool high_byte_first, std::string_view attribute, std::uint32_t tiles,
                         std::span<const std::uint32_t> delays_ms) {
  const std::string id(name);
  std::string text =
      "/* " + c_comment_text(description) +
      ".\n   Each element is two bytes of the raw image read low byte first, so that in the memory\n" +
      "   of a little-endian processor the array's bytes are the raw image's bytes, in order. " +
      (high_byte_first
           ? "They are\n   stored high byte first: send them as they lie, or swap the bytes of an element to get\n"
             "   its word. */\n"
           : "They are\n   stored low byte first: each element is its word. */\n");
  text += guard_and_sizes(id, width, height, tiles, delays_ms);
  text += "static const uint16_t " + id + "[" + std::to_string(words) + "]" + attribute_text(attribute) + " = {";
  return text;
}

std::string c_byte_array_head(std::string_view name, std::string_view description, std::uint64_t bytes,
                              std::uint32_t width, std::uint32_t height, std::string_view attribute,
                              std::uint32_t tiles, std::span<const std::uint32_t> delays_ms) {
  const std::string id(name);
  std::string text("/* ");
  text += c_comment_text(description);
  text += ".\n   Each element is one byte of the output, in order. */\n";
  text += guard_and_sizes(id, width, height, tiles, delays_ms);
  text += "static const uint8_t " + id + "[" + std::to_string(bytes) + "]" + attribute_text(attribute) + " = {";
  return text;
}

void append_c_byte_elements(std::string& text, std::span<const std::uint8_t> bytes, std::uint64_t first,
                            std::uint64_t total) {
  text.reserve(text.size() + bytes.size() * 6 + bytes.size() / 16 * 4 + 8);
  char element[8];
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    const std::uint64_t index = first + k;
    text += index % 16 == 0 ? "\n   " : "";
    std::snprintf(element, sizeof element, " 0x%02X", bytes[k]);
    text += element;
    if (index + 1 < total) text += ',';
  }
}

void append_c_array_elements(std::string& text, std::span<const std::uint8_t> raw, std::uint64_t first,
                             std::uint64_t words) {
  const std::size_t count = raw.size() / 2;
  text.reserve(text.size() + count * 8 + count / 12 * 4 + 8);
  char element[8];
  for (std::size_t k = 0; k < count; ++k) {
    const std::uint64_t index = first + k;
    text += index % 12 == 0 ? "\n   " : "";
    std::snprintf(element, sizeof element, " 0x%04X", load_le16(raw.data() + 2 * k));
    text += element;
    if (index + 1 < words) text += ',';
  }
}

std::string_view c_array_tail() { return "\n};\n\n#endif\n"; }

std::string lvgl_include(std::string_view header) {
  const std::string path(header);
  return "#if defined(LV_LVGL_H_INCLUDE_SIMPLE) || !defined(__has_include)\n#include \"" + path +
         "\"\n#elif __has_include(\"lvgl.h\")\n#include \"" + path + "\"\n#else\n#include \"lvgl/" + path +
         "\"\n#endif\n";
}
