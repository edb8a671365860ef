// The BMP that a raw frame becomes: an uncompressed 24-bit picture, bottom-up, with a 58-byte
// header (the 54 bytes of file and information header and four zero bytes), then the stored rows,
// each 3 * width bytes padded with zeros to a multiple of 4.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "pixels/bmp_fields.h"

inline constexpr std::uint32_t bmp_output_header_size = bmp_size::headers + 4;
using BmpOutputHeader = std::array<std::uint8_t, bmp_output_header_size>;

struct BmpOutput {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t row_length = 0;   // bytes of one stored row, padding included
  std::uint32_t pixel_bytes = 0;  // row_length * height
  BmpOutputHeader header{};
};

// The layout of a width x height frame; nullopt for an empty frame or one whose BMP would not fit
// the header's 32-bit sizes and signed 32-bit dimensions.
std::optional<BmpOutput> bmp_output(std::uint32_t width, std::uint32_t height);
