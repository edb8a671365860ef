#include "console/printable.h"

std::string printable(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
      continue;
    }
    // C's named escapes for the controls that have one, in the order of their codes 7 to 13.
    constexpr char named[] = "abtnvfr";
    if (byte >= 7 && byte <= 13) {
      shown += '\\';
      shown += named[byte - 7];
      continue;
    }
    constexpr char digits[] = "0123456789abcdef";
    shown += "\\x";
    shown += digits[byte >> 4];
    shown += digits[byte & 0xF];
  }
  return shown;
}
