// The array of a C source that rgb565 writes (--c-array's header, --lvgl --c-array's image), read
// back by the tests without a C compiler, so that its elements can be compared with a raw image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "testing/test_files.h"

struct CArrayText {
  std::string type;  // "uint8_t" or "uint16_t"
  std::string name;
  std::uint64_t length = 0;  // as declared between the brackets
  std::string attribute;     // what stands between the brackets and the "=", such as PROGMEM
  // The elements in order, a uint8_t as its byte and a uint16_t as its two bytes low byte first: the
  // array's bytes in the memory of a little-endian processor, which c_array.h promises are the raw
  // image's bytes whatever the image's byte order.
  Bytes bytes;
  std::uint64_t elements = 0;
};

// The first `static const uintN_t NAME[LENGTH] ATTRIBUTE = { ... }` in `source` (other words, such as
// attribute macros, may stand between `static` and the type, `const` among them), its elements hex
// (0x...) or decimal literals; nullopt when there is none or an element is not a literal that fits
// the type.
std::optional<CArrayText> parse_c_array(std::string_view source);

// The value of `#define NAME VALUE` in `source`, a decimal number; nullopt when there is none.
std::optional<std::uint64_t> c_define(std::string_view source, std::string_view name);
