// Vaskel's walk over a BMP file's stored rows, planned from five header fields alone: the pixel
// data offset (10), width (18), height (22), bit count (28) and compression (30), with no look at
// the signature or the header's size. The rows are walked a fixed 120 bytes apart, the stored row
// length of a picture 39 or 40 pixels wide, whatever the width; a walk is planned only when every
// triple it reads lies inside the file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

inline constexpr std::uint32_t source_stride = 120;

struct FixedStridePlan {
  std::uint32_t pixel_offset;
  std::uint32_t width;
  std::uint32_t rows;
  std::uint32_t output_size;
};

// The walk over the file's stored rows, or nullopt for a picture that cannot be converted as
// triples 120 bytes apart without reading past the end of the file.
std::optional<FixedStridePlan> plan_fixed_stride(std::span<const std::uint8_t> file);
