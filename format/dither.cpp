#include "format/dither.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <optional>
#include <utility>

namespace {

constexpr std::uint8_t bayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},    {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},   {63, 31, 55, 23, 61, 29, 53, 21},
};

// The bits of blue, green and red in a word, in the order of a triple.
constexpr std::array<unsigned, 3> word_bits = {5, 6, 5};

constexpr std::int32_t level_units = 16 * 255;

constexpr std::uint32_t top_level(unsigned bits) { return (1u << bits) - 1; }

void store(std::uint8_t* at, const std::uint8_t (&levels)[3], const WordFormat& format) {
  // A level with the bits below it zero truncates to itself, so pack_word lays out the word.
  BgrTriple exact{};
  std::uint8_t* channel[3] = {&exact.blue, &exact.green, &exact.red};
  for (std::size_t c = 0; c < 3; ++c) *channel[c] = static_cast<std::uint8_t>(levels[c] << (8 - word_bits[c]));
  WordFormat truncating = format;
  truncating.rounding = Rounding::truncate;
  store_word(at, pack_word(exact, truncating), format.bytes);
}

void ordered_row(const std::uint8_t* triple, std::uint32_t y, std::uint32_t width, const WordFormat& format,
                 std::uint8_t* words) {
  for (std::uint32_t x = 0; x < width; ++x, triple += 3, words += 2) {
    std::uint8_t levels[3];
    for (std::size_t c = 0; c < 3; ++c)
      levels[c] = static_cast<std::uint8_t>(ordered_level(triple[c], x, y, word_bits[c]));
    store(words, levels, format);
  }
}

// Errors in 4080ths of a level, per channel, for one row: slot x + 1 belongs to pixel x, and the two
// end slots take the shares that leave the picture at the sides.
class DiffusionRows {
 public:
  // The errors that the row before left for the first row are in the scratch's first half; a
  // picture's first row starts with none.
  DiffusionRows(std::uint32_t width, std::span<std::int32_t> scratch, bool first_row)
      : width_(width), here_(scratch.first(slots(width))), below_(scratch.subspan(slots(width), slots(width))) {
    if (first_row) std::fill(here_.begin(), here_.end(), 0);
  }

  // Leaves the errors for the next row in the scratch's first half, where the next band starts.
  ~DiffusionRows() {
    if (here_.data() > below_.data()) std::copy(here_.begin(), here_.end(), below_.begin());
  }

  static std::size_t slots(std::uint32_t width) { return (std::size_t{width} + 2) * 3; }

  void row(const std::uint8_t* triple, const WordFormat& format, std::uint8_t* words) {
    std::fill(below_.begin(), below_.end(), 0);
    for (std::uint32_t x = 0; x < width_; ++x, triple += 3, words += 2) {
      std::uint8_t levels[3];
      for (std::size_t c = 0; c < 3; ++c) {
        const std::size_t at = (std::size_t{x} + 1) * 3 + c;
        const std::int32_t top = level_units * static_cast<std::int32_t>(top_level(word_bits[c]));
        const std::int32_t position = static_cast<std::int32_t>(level_position(triple[c], word_bits[c]));
        const std::int32_t value = std::clamp<std::int32_t>(16 * position + here_[at], 0, top);
        const std::int32_t level = (value + level_units / 2) / level_units;
        levels[c] = static_cast<std::uint8_t>(level);
        const std::int32_t error = value - level * level_units;
        const std::int32_t right = error * 7 / 16, below_left = error * 3 / 16, below = error * 5 / 16;
        here_[at + 3] += right;
        below_[at - 3] += below_left;
        below_[at] += below;
        below_[at + 3] += error - right - below_left - below;
      }
      store(words, levels, format);
    }
    std::swap(here_, below_);
  }

 private:
  std::uint32_t width_;
  std::span<std::int32_t> here_;
  std::span<std::int32_t> below_;
};

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
  return dither == Dither::diffusion ? 2 * DiffusionRows::slots(width) : 0;
}

void pack_rows_dithered(std::span<const std::uint8_t> rows, std::uint32_t stride, std::uint32_t width,
                        std::uint32_t height, bool reverse, const WordFormat& format, Dither dither,
                        std::span<std::int32_t> scratch, std::span<std::uint8_t> out) {
  pack_band_dithered(rows, stride, width, 0, height, reverse, format, dither, scratch, out);
}

void pack_band_dithered(std::span<const std::uint8_t> rows, std::uint32_t stride, std::uint32_t width,
                        std::uint32_t first_row, std::uint32_t count, bool reverse, const WordFormat& format,
                        Dither dither, std::span<std::int32_t> scratch, std::span<std::uint8_t> out) {
  if (dither == Dither::none) {
    pack_rows(rows, stride, width, count, reverse, format, out);
    return;
  }
  assert(format.rounding == Rounding::truncate);
  assert(rows.size() >= rows_extent(stride, width, count));
  assert(out.size() == std::size_t{width} * count * 2);
  if (width == 0 || count == 0) return;
  std::optional<DiffusionRows> diffusion;
  assert(scratch.size() >= dither_scratch_size(width, dither));
  if (dither == Dither::diffusion) diffusion.emplace(width, scratch, first_row == 0);
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint8_t* triple = rows.data() + std::size_t{k} * stride;
    std::uint8_t* words = out.data() + std::size_t{reverse ? count - 1 - k : k} * width * 2;
    if (diffusion) {
      diffusion->row(triple, format, words);
    } else {
      ordered_row(triple, first_row + k, width, format, words);
    }
  }
}
