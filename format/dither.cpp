#include "format/dither.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

#include "format/diffusion.h"
#include "pixels/kernel_path.h"

namespace {

constexpr std::uint8_t bayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

constexpr std::int32_t level_units = 16 * 255;

constexpr std::uint32_t top_level(unsigned bits) { return (1u << bits) - 1; }

// Errors in 4080ths of a level, four lanes a pixel, for two rows: those of even stored rows in the
// scratch's first half, of odd ones in its second, so that a picture's rows, given in order, find
// what the row before left them whichever band they come in.
std::size_t slots(std::uint32_t width) { return std::size_t{width} * 4; }

Diffusion diffusion_of(unsigned channels, const std::uint8_t* bits, LevelsAs as) {
  Diffusion diffusion;
  diffusion.channels = channels;
  for (unsigned c = 0; c < channels; ++c) {
    for (unsigned v = 0; v < 256; ++v)
      diffusion.positions[c][v] = 16 * static_cast<std::int32_t>(level_position(static_cast<std::uint8_t>(v), bits[c]));
    diffusion.top[c] = level_units * static_cast<std::int32_t>(top_level(bits[c]));
    const auto scale = static_cast<std::int16_t>(as == LevelsAs::top_bits ? 1 << (8 - bits[c]) : 1);
    diffusion.scale[c] = diffusion.scale[c + 4] = scale;
  }
  return diffusion;
}

void diffuse_rows(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride, std::uint32_t width,
                  std::uint32_t first, std::uint32_t count, std::span<std::int32_t> scratch, std::uint8_t* levels) {
  assert(scratch.size() >= 2 * slots(width));
  if (first == 0) std::fill(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(slots(width)), 0);
  // The vector kernel takes a grey or a colour, the two kinds of pixel the formats dither.
  const KernelPath path = dispatched_kernel_path();
  const bool vector = path != KernelPath::scalar && diffusion.channels != 2;
  const auto rows = !vector ? diffuse_rows_scalar : path == KernelPath::avx2 ? diffuse_rows_avx2 : diffuse_rows_sse2;
  rows(diffusion, values, stride, width, first, count, scratch.data(), levels);
}

}  // namespace

std::uint32_t level_position(std::uint8_t value, unsigned bits) {
  assert(bits >= 1 && bits <= 8);
  const std::uint32_t top = top_level(bits);
  const std::uint32_t position = value * top;
  // The nearest level, then the nearest 8-bit value to it: neither division ever meets a tie, as
  // 255 and top are odd.
  const std::uint32_t nearest = (position + 127) / 255;
  if ((nearest * 510 + top) / (2 * top) == value) return nearest * 255;
  return position;
}

unsigned bayer_threshold(std::uint32_t x, std::uint32_t y) { return bayer[y % 8][x % 8]; }

unsigned ordered_level(std::uint8_t value, std::uint32_t x, std::uint32_t y, unsigned bits) {
  const std::uint32_t position = level_position(value, bits);
  const std::uint32_t threshold = bayer[y % 8][x % 8];
  return position / 255 + (128 * (position % 255) > (2 * threshold + 1) * 255 ? 1 : 0);
}

void diffuse_rows_scalar(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride,
                         std::uint32_t width, std::uint32_t first, std::uint32_t count, std::int32_t* errors,
                         std::uint8_t* levels) {
  const unsigned channels = diffusion.channels;
  for (std::uint32_t y = first; y < first + count; ++y, values += stride - std::size_t{width} * channels) {
    const std::int32_t* here = errors + (y % 2) * slots(width);
    std::int32_t* below = errors + (1 - y % 2) * slots(width);
    // Per channel: 7/16 of the last pixel's error for this one, and what the pixels below left and
    // straight below have gathered so far.
    std::int32_t carry[3] = {}, previous[3] = {}, current[3] = {};
    for (std::uint32_t x = 0; x < width; ++x) {
      for (unsigned c = 0; c < channels; ++c, ++values, ++levels) {
        const std::int32_t value = std::clamp<std::int32_t>(
            diffusion.positions[c][*values] + here[4 * std::size_t{x} + c] + carry[c], 0, diffusion.top[c]);
        const std::int32_t level = (value + level_units / 2) / level_units;
        *levels = static_cast<std::uint8_t>(level * diffusion.scale[c]);
        const std::int32_t error = value - level * level_units;
        const std::int32_t right = error * 7 / 16, below_left = error * 3 / 16, below_share = error * 5 / 16;
        carry[c] = right;
        if (x > 0) below[4 * (std::size_t{x} - 1) + c] = previous[c] + below_left;
        previous[c] = current[c] + below_share;
        current[c] = error - right - below_left - below_share;
      }
    }
    for (unsigned c = 0; c < channels && width > 0; ++c) below[4 * (std::size_t{width} - 1) + c] = previous[c];
  }
}

std::size_t dither_scratch_size(std::uint32_t width, Dither dither) {
  return dither == Dither::diffusion ? 2 * slots(width) : 0;
}

void dither_row(Dither dither, const std::uint8_t* values, unsigned channels, const std::uint8_t* bits,
                std::uint32_t width, std::uint32_t y, std::span<std::int32_t> scratch, std::uint8_t* levels) {
  assert(channels >= 1 && channels <= 3);
  if (dither == Dither::diffusion) {
    assert(scratch.size() >= dither_scratch_size(width, dither));
    return diffuse_rows(diffusion_of(channels, bits, LevelsAs::levels), values, std::size_t{width} * channels, width, y,
                        1, scratch, levels);
  }
  assert(dither == Dither::ordered);
  for (std::uint32_t x = 0; x < width; ++x) {
    for (std::size_t c = 0; c < channels; ++c, ++values, ++levels)
      *levels = static_cast<std::uint8_t>(ordered_level(*values, x, y, bits[c]));
  }
}

RowDither::RowDither(Dither dither, std::uint32_t width)
    : dither_(dither), width_(width), scratch_(dither_scratch_size(width, dither)) {
  assert(dither != Dither::none);
}

void RowDither::start_band(std::uint32_t first, std::uint32_t count, bool reverse) {
  assert(dither_ != Dither::diffusion || first == 0 || first == next_);
  next_ = first;
  count_ = count;
  reverse_ = reverse;
}

void RowDither::next_rows(const std::uint8_t* values, std::size_t stride, std::uint32_t count, unsigned channels,
                          const std::uint8_t* bits, std::uint8_t* levels, LevelsAs as) {
  if (dither_ != Dither::diffusion) {
    const std::size_t row_bytes = std::size_t{width_} * channels;
    for (std::uint32_t k = 0; k < count; ++k)
      dither_row(dither_, values + k * stride, channels, bits, width_, next_++, scratch_, levels + k * row_bytes);
    if (as == LevelsAs::top_bits) {
      for (std::size_t k = 0; k < row_bytes * count; ++k)
        levels[k] = static_cast<std::uint8_t>(levels[k] << (8 - bits[k % channels]));
    }
    return;
  }
  // The positions of every value are worked out once for the channels' depths, not a row at a time.
  const std::array<std::uint8_t, 3> depths{bits[0], channels > 1 ? bits[1] : std::uint8_t{0},
                                           channels > 2 ? bits[2] : std::uint8_t{0}};
  if (!diffusion_ || depths != depths_ || channels != diffusion_->channels || as != as_) {
    diffusion_ = std::make_shared<const Diffusion>(diffusion_of(channels, bits, as));
    depths_ = depths;
    as_ = as;
  }
  diffuse_rows(*diffusion_, values, stride, width_, next_, count, scratch_, levels);
  next_ += count;
}
