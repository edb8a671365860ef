#include "format/palette_match.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

#include "pixels/srgb_to_linear.h"

namespace {

std::int64_t square(std::int64_t d) { return d * d; }

}  // namespace

PaletteMatch::PaletteMatch(std::span<const BgraQuad> palette) {
  assert(palette.size() <= 256);
  for (const BgraQuad& entry : palette) {
    entries_.push_back({linear_of(entry.red), linear_of(entry.green), linear_of(entry.blue), entry.alpha * 257});
    alphas_.push_back(entry.alpha);
  }
}

std::uint8_t PaletteMatch::nearest_linear(const Linear& value) const {
  std::size_t best = 0;
  std::int64_t nearest = INT64_MAX;
  for (std::size_t k = 0; k < entries_.size(); ++k) {
    const Linear& entry = entries_[k];
    std::int64_t d = square(entry[0] - value[0]);
    if (d >= nearest) continue;
    d += square(entry[1] - value[1]) + square(entry[2] - value[2]) + square(entry[3] - value[3]);
    if (d < nearest) best = k, nearest = d;
  }
  return static_cast<std::uint8_t>(best);
}

std::uint8_t PaletteMatch::remembered(std::uint32_t colour) const {
  // Only the same colour is answered from the slot, never another that shares it.
  std::uint64_t& slot = recent_[(colour * 2654435769u) >> 17];
  if (slot != 0 && static_cast<std::uint32_t>(slot) == colour) return static_cast<std::uint8_t>((slot >> 32) - 1);
  const auto channel = [&](int shift) { return static_cast<std::uint8_t>(colour >> shift); };
  const std::uint8_t index = nearest_linear(
      {linear_of(channel(16)), linear_of(channel(8)), linear_of(channel(0)), std::int32_t{channel(24)} * 257});
  slot = colour | std::uint64_t{index + 1u} << 32;
  return index;
}

std::uint8_t PaletteMatch::nearest(BgraQuad pixel) const {
  if (entries_.empty()) return 0;
  if (recent_.empty()) recent_.assign(std::size_t{1} << 15, 0);
  return remembered(std::uint32_t{pixel.blue} | std::uint32_t{pixel.green} << 8 | std::uint32_t{pixel.red} << 16 |
                    std::uint32_t{pixel.alpha} << 24);
}

void PaletteMatch::nearest_triples(const std::uint8_t* triples, std::uint32_t width, std::uint8_t* indices) const {
  if (entries_.empty()) {
    std::fill(indices, indices + width, std::uint8_t{0});
    return;
  }
  if (recent_.empty()) recent_.assign(std::size_t{1} << 15, 0);
  for (std::uint32_t x = 0; x < width; ++x, triples += 3) {
    indices[x] = remembered(std::uint32_t{triples[0]} | std::uint32_t{triples[1]} << 8 |
                            std::uint32_t{triples[2]} << 16 | std::uint32_t{255} << 24);
  }
}

std::uint8_t PaletteMatch::ordered(const Linear& value, std::uint8_t a, std::uint32_t x, std::uint32_t y) const {
  const Linear& from = entries_[a];
  const Linear towards{value[0] - from[0], value[1] - from[1], value[2] - from[2], 0};
  std::int64_t nearest = INT64_MAX, along = 0, length = 0;
  std::size_t b = a;
  for (std::size_t k = 0; k < entries_.size(); ++k) {
    if (k == a || alphas_[k] != alphas_[a]) continue;
    const Linear& entry = entries_[k];
    std::int64_t dot = 0, norm = 0, d = 0;
    for (int c = 0; c < 3; ++c) {
      const std::int64_t step = entry[c] - from[c];
      dot += step * towards[c];
      norm += step * step;
      d += square(entry[c] - value[c]);
    }
    if (dot <= 0 || d >= nearest) continue;
    nearest = d, b = k, along = dot, length = norm;
  }
  if (b == a) return a;
  // The place is measured from the pair's earlier entry, so that a gradient that passes the middle
  // of the way, where the nearest entry changes, keeps its pattern.
  const auto earlier = static_cast<std::uint8_t>(std::min<std::size_t>(a, b));
  const auto later = static_cast<std::uint8_t>(std::max<std::size_t>(a, b));
  if (earlier != a) along = length - along;
  // 128 t against the threshold 2 B + 1, never equal as one side is even.
  return 128 * along > static_cast<std::int64_t>(2 * bayer_threshold(x, y) + 1) * length ? later : earlier;
}

void PaletteMatch::dither_row(Dither dither, const BgraQuad* pixels, std::uint32_t width, std::uint32_t y,
                              std::span<std::int32_t> scratch, std::uint8_t* indices) const {
  if (entries_.empty()) {
    std::fill(indices, indices + width, std::uint8_t{0});
    return;
  }
  const auto linear = [](const BgraQuad& pixel) -> Linear {
    return {linear_of(pixel.red), linear_of(pixel.green), linear_of(pixel.blue), pixel.alpha * 257};
  };
  if (dither == Dither::ordered) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const Linear value = linear(pixels[x]);
      indices[x] = ordered(value, nearest_linear(value), x, y);
    }
    return;
  }
  assert(dither == Dither::diffusion && scratch.size() >= dither_scratch_size(width, dither));
  // Two rows of errors, four lanes a pixel: what this row received, and what it leaves the next.
  const std::size_t lanes = std::size_t{width} * 4;
  std::int32_t* here = scratch.data() + (y % 2) * lanes;
  std::int32_t* below = scratch.data() + (1 - y % 2) * lanes;
  if (y == 0) std::fill(here, here + lanes, 0);
  std::fill(below, below + lanes, 0);
  std::array<std::int32_t, 3> carry{};
  for (std::uint32_t x = 0; x < width; ++x) {
    Linear value = linear(pixels[x]);
    for (std::size_t c = 0; c < 3; ++c)
      value[c] = std::clamp<std::int32_t>(value[c] + here[4 * std::size_t{x} + c] + carry[c], 0, 65535);
    const std::uint8_t index = nearest_linear(value);
    indices[x] = index;
    for (std::size_t c = 0; c < 3; ++c) {
      const std::int32_t error = pixels[x].alpha == 0 ? 0 : value[c] - entries_[index][c];
      const std::int32_t right = error * 7 / 16, below_left = error * 3 / 16, below_share = error * 5 / 16;
      carry[c] = right;
      if (x > 0) below[4 * (std::size_t{x} - 1) + c] += below_left;
      below[4 * std::size_t{x} + c] += below_share;
      if (x + 1 < width) below[4 * (std::size_t{x} + 1) + c] += error - right - below_left - below_share;
    }
  }
}
