// The BMP that a raw frame becomes: an uncompressed 24-bit picture, bottom-up, with a 58-byte
// header (the 54 bytes of file and information header and four zero bytes), then the stored rows,
// each 3 * width bytes padded with zeros to a multiple of 4.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

inline constexpr std::uint32_t frame_header_size = 58;
using FrameHeader = std::array<std::uint8_t, frame_header_size>;

struct FrameLayout {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t row_length = 0;   // bytes of one stored row, padding included
  std::uint32_t pixel_bytes = 0;  // row_length * height
  FrameHeader header{};
};

// The layout of a width x height frame; nullopt for an empty frame or one whose BMP would not fit
// the header's 32-bit sizes and signed 32-bit dimensions.
std::optional<FrameLayout> frame_layout(std::uint32_t width, std::uint32_t height);
