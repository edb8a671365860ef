// The row kernels of Dither::diffusion (the rule is at the top of dither.h), one for the processors
// whose kernel path is scalar, one for the AVX2 path and one for the other vector paths, chosen as
// the pixel kernels are. Each pixel's channels take a 32-bit lane each of four, so that a row's
// errors are four lanes a pixel.
#pragma once

#include <array>
#include <cstdint>

struct Diffusion {
  unsigned channels = 3;  // 1 to 3
  // 16 P for each channel's 8-bit values.
  std::array<std::array<std::int32_t, 256>, 3> positions{};
  // 4080 L for each channel, 0 in the lanes no channel takes.
  std::array<std::int32_t, 4> top{};
  // What each channel's level is multiplied by as it is stored: 1, or 2^(8 - bits) for the level in
  // the top bits of its byte, twice over for the two halves of a vector's 16-bit lanes.
  std::array<std::int16_t, 8> scale{1, 1, 1, 1, 1, 1, 1, 1};
};

// Dithers `count` rows of `width` pixels, stored rows first to first + count - 1, one after the
// other: `values` and `levels` hold `channels` bytes a pixel, the rows of `values` `stride` bytes
// apart and those of `levels` one after the other. `errors` is two rows of errors, four
// lanes a pixel: an even row finds what the row above left it in the first and leaves the next row
// its own in the second, an odd row the other way round. Row 0 finds no errors.
void diffuse_rows_scalar(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride,
                         std::uint32_t width, std::uint32_t first, std::uint32_t count, std::int32_t* errors,
                         std::uint8_t* levels);
// One or three channels.
void diffuse_rows_sse2(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride, std::uint32_t width,
                       std::uint32_t first, std::uint32_t count, std::int32_t* errors, std::uint8_t* levels);
// One or three channels, for processors with AVX2: two rows in each 256-bit register, the same bytes
// in fewer instructions.
void diffuse_rows_avx2(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride, std::uint32_t width,
                       std::uint32_t first, std::uint32_t count, std::int32_t* errors, std::uint8_t* levels);
