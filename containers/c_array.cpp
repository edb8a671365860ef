#include "containers/c_array.h"

#include <cstddef>
#include <cstdio>

#include "pixels/little_endian.h"

namespace {

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

}  // namespace

bool is_c_identifier(std::string_view name) {
  if (name.empty() || !is_letter(name[0])) return false;
  for (char c : name) {
    if (!is_letter(c) && !(c >= '0' && c <= '9')) return false;
  }
  return true;
}

std::string c_array_source(std::string_view name, std::string_view description, std::span<const std::uint8_t> raw,
                           std::uint32_t width, std::uint32_t height) {
  // A "*/" inside the description would end the comment early.
  std::string comment(description);
  for (std::size_t at = comment.find("*/"); at != std::string::npos; at = comment.find("*/", at)) comment[at + 1] = '.';
  const std::string id(name);
  std::string text = "/* " + comment + " */\n#include <stdint.h>\n\n";
  text += "#define " + id + "_width " + std::to_string(width) + "\n";
  text += "#define " + id + "_height " + std::to_string(height) + "\n\n";
  text += "static const uint16_t " + id + "[" + std::to_string(raw.size() / 2) + "] = {";
  const std::size_t words = raw.size() / 2;
  text.reserve(text.size() + words * 8 + words / 12 * 3 + 8);
  char element[8];
  for (std::size_t k = 0; k < words; ++k) {
    text += k % 12 == 0 ? "\n   " : "";
    std::snprintf(element, sizeof element, " 0x%04X", load_le16(raw.data() + 2 * k));
    text += element;
    if (k + 1 < words) text += ',';
  }
  text += "\n};\n";
  return text;
}
