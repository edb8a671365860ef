// A raw 16-bit image as C source for firmware: a header that a C99 compiler reads, declaring
// NAME_width, NAME_height and `static const uint16_t NAME[]` with one element per word. Each
// element is the word as its two bytes in the raw image read low byte first, so that the array's
// bytes in the memory of a little-endian processor are exactly the raw image's bytes, in the byte
// order that was chosen for it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// True for a valid C identifier: a letter or underscore, then letters, digits and underscores.
bool is_c_identifier(std::string_view name);

// The header text. `description` becomes its first line, a comment that says which picture, size,
// row order and byte order the array holds.
std::string c_array_source(std::string_view name, std::string_view description, std::span<const std::uint8_t> raw,
                           std::uint32_t width, std::uint32_t height);
