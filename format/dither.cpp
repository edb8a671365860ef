#include "format/dither.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

namespace {

constexpr std::uint8_t bayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

constexpr std::int32_t level_units = 16 * 255;

constexpr std::uint32_t top_level(unsigned bits) { return (1u << bits) - 1; }

// Errors in 4080ths of a level, per channel, for two rows: those of even stored rows in the
// scratch's first half, of odd ones in its second, so that a picture's rows, given in order, find
// what the row before left them whichever band they come in. Slot x + 1 belongs to pixel x, and the
// two end slots take the shares that leave the picture at the sides.
std::size_t slots(std::uint32_t width) { return (std::size_t{width} + 2) * 3; }

void diffuse_row(const std::uint8_t* values, unsigned channels, const std::uint8_t* bits, std::uint32_t width,
                 std::uint32_t y, std::span<std::int32_t> scratch, std::uint8_t* levels) {
  const std::span<std::int32_t> here = scratch.subspan((y % 2) * slots(width), slots(width));
  const std::span<std::int32_t> below = scratch.subspan((1 - y % 2) * slots(width), slots(width));
  if (y == 0) std::fill(here.begin(), here.end(), 0);
  std::fill(below.begin(), below.end(), 0);
  const std::size_t step = channels;
  for (std::uint32_t x = 0; x < width; ++x) {
    for (std::size_t c = 0; c < channels; ++c) {
      const std::size_t at = (std::size_t{x} + 1) * step + c;
      const std::int32_t top = level_units * static_cast<std::int32_t>(top_level(bits[c]));
      const std::int32_t position = static_cast<std::int32_t>(level_position(values[at - step], bits[c]));
      const std::int32_t value = std::clamp<std::int32_t>(16 * position + here[at], 0, top);
      const std::int32_t level = (value + level_units / 2) / level_units;
      levels[at - step] = static_cast<std::uint8_t>(level);
      const std::int32_t error = value - level * level_units;
      const std::int32_t right = error * 7 / 16, below_left = error * 3 / 16, below_share = error * 5 / 16;
      here[at + step] += right;
      below[at - step] += below_left;
      below[at] += below_share;
      below[at + step] += error - right - below_left - below_share;
    }
  }
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

unsigned ordered_level(std::uint8_t value, std::uint32_t x, std::uint32_t y, unsigned bits) {
  const std::uint32_t position = level_position(value, bits);
  const std::uint32_t threshold = bayer[y % 8][x % 8];
  return position / 255 + (128 * (position % 255) > (2 * threshold + 1) * 255 ? 1 : 0);
}

std::size_t dither_scratch_size(std::uint32_t width, Dither dither) {
  return dither == Dither::diffusion ? 2 * slots(width) : 0;
}

void dither_row(Dither dither, const std::uint8_t* values, unsigned channels, const std::uint8_t* bits,
                std::uint32_t width, std::uint32_t y, std::span<std::int32_t> scratch, std::uint8_t* levels) {
  assert(channels >= 1 && channels <= 3);
  if (dither == Dither::diffusion) {
    assert(scratch.size() >= dither_scratch_size(width, dither));
    return diffuse_row(values, channels, bits, width, y, scratch, levels);
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

void RowDither::next_row(const std::uint8_t* values, unsigned channels, const std::uint8_t* bits,
                         std::uint8_t* levels) {
  dither_row(dither_, values, channels, bits, width_, next_++, scratch_, levels);
}
