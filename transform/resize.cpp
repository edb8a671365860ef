#include "transform/resize.h"

#include <algorithm>
#include <cassert>

#include "pixels/kernel_path.h"
#include "transform/linear_light.h"
#include "transform/resize_kernels.h"

namespace {

constexpr std::int32_t weight_one = 16384;
constexpr unsigned weight_bits = 14;

// 18 times Mitchell-Netravali's cubic (B = C = 1/3) at distance t, in 2^-48ths, for t in 65536ths
// (t < 2): 21 t^3 - 36 t^2 + 16 below 1, -7 t^3 + 36 t^2 - 60 t + 32 from 1 to 2.
std::int64_t mitchell(std::int64_t t) {
  const std::int64_t t2 = t * t, t3 = t2 * t;
  if (t < 65536) return 21 * t3 - 36 * (t2 << 16) + (std::int64_t{16} << 48);
  return -7 * t3 + 36 * (t2 << 16) - 60 * (t << 32) + (std::int64_t{32} << 48);
}

// a / b rounded to nearest, halves away from zero, for b > 0.
std::int64_t divide_rounding(std::int64_t a, std::int64_t b) { return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b); }

// The weights that take `from` pixels to `to` along one side. Source pixel j's centre lies
// d = (j + 0.5) - (i + 0.5) * from / to from result pixel i's; the filter sees t = d / max(1, from /
// to). Both in halves of a common unit: t = n / span with n = (2j + 1) to - (2i + 1) from and span =
// 2 max(from, to).
Resize::Taps taps_for(std::uint32_t from, std::uint32_t to) {
  Resize::Taps taps;
  taps.first.resize(to);
  taps.count.resize(to);
  taps.start.resize(to);
  if (from == to) {
    for (std::uint32_t i = 0; i < to; ++i) {
      taps.first[i] = i;
      taps.count[i] = 1;
      taps.start[i] = i;
    }
    taps.weights.assign(to, weight_one);
    taps.widest = 1;
    return taps;
  }
  const std::int64_t span = 2 * std::int64_t{std::max(from, to)};
  std::vector<std::int64_t> raw;
  for (std::uint32_t i = 0; i < to; ++i) {
    const std::int64_t centre = (2 * std::int64_t{i} + 1) * from;
    // n > -2 span from j on, and n < 2 span up to last.
    const std::int64_t lowest = std::max<std::int64_t>(0, (centre - 2 * span) / (2 * std::int64_t{to}) - 1);
    raw.clear();
    std::int64_t first = -1, sum = 0;
    for (std::int64_t j = lowest; j < from; ++j) {
      const std::int64_t n = (2 * j + 1) * to - centre;
      if (n >= 2 * span) break;
      if (n <= -2 * span) continue;
      const std::int64_t t = divide_rounding((n < 0 ? -n : n) << 16, span);
      if (t >= 2 * 65536) {
        if (first >= 0) raw.push_back(0);
        continue;
      }
      if (first < 0) first = j;
      const std::int64_t weight = mitchell(t) >> 24;
      raw.push_back(weight);
      sum += weight;
    }
    while (!raw.empty() && raw.back() == 0) raw.pop_back();
    taps.first[i] = static_cast<std::uint32_t>(first);
    taps.start[i] = static_cast<std::uint32_t>(taps.weights.size());
    taps.count[i] = static_cast<std::uint32_t>(raw.size());
    assert(!raw.empty() && sum > 0);
    std::int32_t total = 0;
    std::size_t largest = 0;
    for (std::size_t k = 0; k < raw.size(); ++k) {
      const auto weight = static_cast<std::int32_t>(divide_rounding(raw[k] * weight_one, sum));
      taps.weights.push_back(weight);
      total += weight;
      if (raw[k] > raw[largest]) largest = k;
    }
    // What rounding lost or gained goes to the heaviest weight, so that a flat area stays flat.
    taps.weights[taps.start[i] + largest] += weight_one - total;
    taps.widest = std::max(taps.widest, taps.count[i]);
  }
  return taps;
}

// About 256 KiB of source pixels a band.
constexpr std::size_t band_pixels = std::size_t{1} << 16;

std::uint32_t band_rows_for(std::uint32_t source_width, std::uint32_t source_height) {
  return static_cast<std::uint32_t>(
      std::clamp<std::size_t>(band_pixels / source_width, 1, std::max<std::uint32_t>(source_height, 1)));
}

std::int32_t rounded_shift(std::int64_t sum) {
  return static_cast<std::int32_t>((sum + (1 << (weight_bits - 1))) >> weight_bits);
}

}  // namespace

void filter_across_scalar(const std::int16_t* light, const Resize::Taps& taps, std::int32_t* filtered) {
  for (std::size_t i = 0; i < taps.first.size(); ++i, filtered += 4) {
    const std::int16_t* tap = light + std::size_t{taps.first[i]} * 4;
    const std::int32_t* weight = taps.weights.data() + taps.start[i];
    std::int32_t sum[4] = {light_bias_sum, light_bias_sum, light_bias_sum, light_bias_sum};
    for (std::uint32_t k = 0; k < taps.count[i]; ++k, tap += 4) {
      for (int c = 0; c < 4; ++c) sum[c] += weight[k] * tap[c];
    }
    for (int c = 0; c < 4; ++c) filtered[c] = (sum[c] + half_weight) >> 14;
  }
}

std::size_t Resize::most_read(std::uint32_t source_width) {
  return std::size_t{source_width} *
         std::max<std::size_t>(1, std::min<std::size_t>(band_pixels / source_width, UINT32_MAX));
}

Resize::Resize(RegionSource& from, std::uint32_t width, std::uint32_t height)
    : from_(from),
      width_(width),
      height_(height),
      across_(taps_for(from.width(), width)),
      down_(taps_for(from.height(), height)),
      band_rows_(band_rows_for(from.width(), from.height())) {
  band_.resize(std::size_t{from.width()} * band_rows_);
  linear_.resize(std::size_t{from.width()} * 4);
  filter_across_ = dispatched_kernel_path() == KernelPath::scalar ? filter_across_scalar : filter_across_sse2;
  ring_rows_ = down_.widest + band_rows_;
  ring_.resize(std::size_t{ring_rows_} * width * 4);
  sums_.resize(std::size_t{width} * 4);
}

// Reads the next band of source rows and filters each across into the ring.
void Resize::filter_band() {
  const std::uint32_t source_width = from_.width();
  const std::uint32_t count = std::min(band_rows_, from_.height() - rows_read_);
  from_.read({0, rows_read_, source_width, count}, band_.data());
  for (std::uint32_t row = 0; row < count; ++row) {
    const BgraQuad* pixel = band_.data() + std::size_t{row} * source_width;
    std::int16_t* light = linear_.data();
    for (std::uint32_t x = 0; x < source_width; ++x, ++pixel, light += 4) {
      const std::uint32_t alpha = pixel->alpha * 257u;
      std::uint32_t channel[3] = {linear_of(pixel->blue), linear_of(pixel->green), linear_of(pixel->red)};
      if (alpha != 65535) {
        for (std::uint32_t& value : channel) value = (value * alpha + 32767) / 65535;
      }
      for (int c = 0; c < 3; ++c) light[c] = static_cast<std::int16_t>(static_cast<std::int32_t>(channel[c]) - 32768);
      light[3] = static_cast<std::int16_t>(static_cast<std::int32_t>(alpha) - 32768);
    }
    filter_across_(linear_.data(), across_, ring_.data() + std::size_t{(rows_read_ + row) % ring_rows_} * width_ * 4);
  }
  rows_read_ += count;
}

void Resize::read(const Rect& rect, BgraQuad* out) {
  assert(rect.x == 0 && rect.width == width_ && rect.y == next_row_ && rect.y + std::uint64_t{rect.height} <= height_);
  for (std::uint32_t row = 0; row < rect.height; ++row, ++next_row_) {
    const std::uint32_t first = down_.first[next_row_], count = down_.count[next_row_];
    while (rows_read_ < first + count) filter_band();
    std::fill(sums_.begin(), sums_.end(), 0);
    const std::int32_t* weight = down_.weights.data() + down_.start[next_row_];
    for (std::uint32_t k = 0; k < count; ++k) {
      const std::int32_t* filtered = ring_.data() + std::size_t{(first + k) % ring_rows_} * width_ * 4;
      const std::int32_t w = weight[k];
      for (std::size_t v = 0; v < sums_.size(); ++v) sums_[v] += w * filtered[v];
    }
    for (std::uint32_t i = 0; i < width_; ++i, ++out) {
      const std::int32_t* sum = sums_.data() + std::size_t{i} * 4;
      // The filter's negative lobes can overshoot: light stays within 0 to full, colour within alpha.
      const auto alpha = static_cast<std::uint32_t>(std::clamp(rounded_shift(sum[3]), 0, 65535));
      if (alpha == 0) {
        *out = {0, 0, 0, 0};
        continue;
      }
      std::uint8_t channel[3];
      for (int c = 0; c < 3; ++c) {
        auto light = static_cast<std::uint32_t>(std::clamp(rounded_shift(sum[c]), 0, static_cast<std::int32_t>(alpha)));
        if (alpha != 65535) light = (light * 65535 + alpha / 2) / alpha;
        channel[c] = encoded_of(static_cast<std::uint16_t>(light));
      }
      *out = {channel[0], channel[1], channel[2], static_cast<std::uint8_t>((alpha * 255 + 32767) / 65535)};
    }
  }
}
