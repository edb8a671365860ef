#include "transform/resize.h"

#include <algorithm>
#include <cassert>

#include "pixels/kernel_path.h"
#include "transform/buffers.h"
#include "transform/linear_to_srgb.h"
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
// to). Both in halves of a common unit: t = n / wide with n = (2j + 1) to - (2i + 1) from and wide =
// 2 max(from, to). A result pixel's taps run from the first source pixel with t < 2 to the last
// whose weight is not zero; each weight is its raw value over their sum, rounded to 16384ths.
struct Side {
  std::uint32_t from, to;

  std::int64_t wide() const { return 2 * std::int64_t{std::max(from, to)}; }
  std::int64_t centre(std::uint32_t i) const { return (2 * std::int64_t{i} + 1) * from; }
  // t for source pixel j, in 65536ths.
  std::int64_t t(std::uint32_t i, std::int64_t j) const {
    const std::int64_t n = (2 * j + 1) * to - centre(i);
    return divide_rounding((n < 0 ? -n : n) << 16, wide());
  }
};

// Result pixel i's span: `weighed` also works out what rounding its weights leaves over, which
// only reading the weights needs.
Resize::Span span_of(const Side& side, std::uint32_t i, bool weighed) {
  Resize::Span span;
  if (side.from == side.to) {
    span.first = i;
    span.count = 1;
    return span;
  }
  const std::int64_t wide = side.wide(), centre = side.centre(i);
  // n > -2 wide from j on, and n < 2 wide up to last.
  const std::int64_t lowest = std::max<std::int64_t>(0, (centre - 2 * wide) / (2 * std::int64_t{side.to}) - 1);
  std::int64_t first = -1, last = -1, heaviest = 0;
  for (std::int64_t j = lowest; j < side.from; ++j) {
    const std::int64_t n = (2 * j + 1) * side.to - centre;
    if (n >= 2 * wide) break;
    if (n <= -2 * wide) continue;
    const std::int64_t t = divide_rounding((n < 0 ? -n : n) << 16, wide);
    // Past the window: before the first tap, skipped; after the last, a weight of zero.
    if (t >= 2 * 65536) continue;
    const std::int64_t raw = mitchell(t) >> 24;
    if (first < 0) {
      first = j;
      heaviest = raw;
    } else if (raw > heaviest) {
      heaviest = raw;
      span.largest = static_cast<std::uint32_t>(j - first);
    }
    span.sum += raw;
    if (raw != 0) last = j;
  }
  assert(first >= 0 && last >= first && span.sum > 0);
  span.first = static_cast<std::uint32_t>(first);
  span.count = static_cast<std::uint32_t>(last - first + 1);
  if (weighed) {
    std::int64_t total = 0;
    for (std::int64_t j = first; j <= last; ++j)
      total += divide_rounding((mitchell(side.t(i, j)) >> 24) * weight_one, span.sum);
    // What rounding lost or gained goes to the heaviest weight, so that a flat area stays flat.
    span.correction = static_cast<std::int32_t>(weight_one - total);
  }
  return span;
}

// The kth weight of result pixel i, whose span was weighed.
std::int32_t weight_of(const Side& side, std::uint32_t i, const Resize::Span& span, std::uint32_t k) {
  if (side.from == side.to) return weight_one;
  const std::int64_t raw = mitchell(side.t(i, std::int64_t{span.first} + k)) >> 24;
  return static_cast<std::int32_t>(divide_rounding(raw * weight_one, span.sum)) +
         (k == span.largest ? span.correction : 0);
}

Resize::Taps taps_for(std::uint32_t from, std::uint32_t to) {
  const Side side{from, to};
  Resize::Taps taps;
  std::vector<Resize::Span> spans;
  allocate(spans, to);
  allocate(taps.first, to);
  allocate(taps.count, to);
  allocate(taps.start, to);
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; i < to; ++i) {
    spans[i] = span_of(side, i, true);
    taps.first[i] = spans[i].first;
    taps.count[i] = spans[i].count;
    // The weights are indexed in 32 bits: more of them would take 16 GiB.
    if (total > UINT32_MAX) throw BufferTooLarge(product(total, sizeof(std::int32_t)));
    taps.start[i] = static_cast<std::uint32_t>(total);
    total += spans[i].count;
    taps.widest = std::max(taps.widest, spans[i].count);
  }
  allocate(taps.weights, total);
  for (std::uint32_t i = 0; i < to; ++i) {
    for (std::uint32_t k = 0; k < spans[i].count; ++k)
      taps.weights[taps.start[i] + k] = weight_of(side, i, spans[i], k);
  }
  return taps;
}

// How many rows of the result's width each way down the columns holds. A ring must hold the
// source rows from a result row's first to the last read so far; running sums are kept for the
// result rows begun (their first source row read) and not yet given. Both are counted by walking
// the rows as read() walks them. Running sums need the rows to begin in order, as their first
// source rows are.
struct DownPlan {
  std::uint64_t ring = 1;
  std::uint64_t sums = 1;
  bool in_order = true;
};

DownPlan plan_down(const Side& side) {
  DownPlan plan;
  std::uint64_t read_to = 0;
  std::uint32_t started = 0;
  std::uint32_t started_first = span_of(side, 0, false).first;
  std::uint32_t previous_first = 0;
  for (std::uint32_t r = 0; r < side.to; ++r) {
    const Resize::Span span = span_of(side, r, false);
    plan.in_order = plan.in_order && span.first >= previous_first;
    previous_first = span.first;
    read_to = std::max<std::uint64_t>(read_to, std::uint64_t{span.first} + span.count);
    plan.ring = std::max(plan.ring, read_to - span.first);
    while (started < side.to && started_first < read_to) {
      if (++started < side.to) started_first = span_of(side, started, false).first;
    }
    plan.sums = std::max<std::uint64_t>(plan.sums, started - r);
  }
  return plan;
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
      band_rows_(band_rows_for(from.width(), from.height())) {
  allocate(band_, product(from.width(), band_rows_));
  allocate(linear_, product(from.width(), 4));
  filter_across_ = dispatched_kernel_path() == KernelPath::scalar ? filter_across_scalar : filter_across_sse2;
  const DownPlan plan = plan_down({from.height(), height});
  // Running sums hold one source row more, the one being added.
  accumulate_ = plan.in_order && plan.sums + 1 < plan.ring;
  slots_ = static_cast<std::uint32_t>(accumulate_ ? plan.sums : plan.ring);
  allocate(rows_, product(product(slots_, width), 4));
  allocate(sums_, product(width, 4));
  if (accumulate_) {
    allocate(spans_, slots_);
    next_span_ = span_of({from.height(), height}, 0, true);
  }
}

void Resize::filter_next(std::int32_t* filtered) {
  const std::uint32_t source_width = from_.width();
  if (rows_read_ == band_first_ + band_count_) {
    band_first_ = rows_read_;
    band_count_ = std::min(band_rows_, from_.height() - rows_read_);
    from_.read({0, band_first_, source_width, band_count_}, band_.data());
  }
  const BgraQuad* pixel = band_.data() + std::size_t{rows_read_ - band_first_} * source_width;
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
  filter_across_(linear_.data(), across_, filtered);
  ++rows_read_;
}

std::int32_t* Resize::slot(std::uint64_t index) {
  return rows_.data() + static_cast<std::size_t>(index % slots_) * width_ * 4;
}

void Resize::read_ring(BgraQuad* out) {
  const Side side{from_.height(), height_};
  const Span span = span_of(side, next_row_, true);
  while (rows_read_ < span.first + span.count) filter_next(slot(rows_read_));
  std::fill(sums_.begin(), sums_.end(), 0);
  for (std::uint32_t k = 0; k < span.count; ++k) {
    const std::int32_t* filtered = slot(std::uint64_t{span.first} + k);
    const std::int32_t w = weight_of(side, next_row_, span, k);
    for (std::size_t v = 0; v < sums_.size(); ++v) sums_[v] += w * filtered[v];
  }
  finish_row(sums_.data(), out);
}

void Resize::read_accumulated(BgraQuad* out) {
  const Side side{from_.height(), height_};
  const auto done = [&] {
    if (started_ <= next_row_) return false;
    const Span& span = spans_[next_row_ % slots_];
    return rows_read_ >= std::uint64_t{span.first} + span.count;
  };
  while (!done()) {
    const std::uint32_t y = rows_read_;
    filter_next(sums_.data());
    // The result rows whose first source row this is begin here.
    while (started_ < height_ && next_span_.first <= y) {
      assert(started_ - next_row_ < slots_);
      spans_[started_ % slots_] = next_span_;
      std::int32_t* sums = slot(started_);
      std::fill(sums, sums + std::size_t{width_} * 4, 0);
      if (++started_ < height_) next_span_ = span_of(side, started_, true);
    }
    for (std::uint32_t i = next_row_; i < started_; ++i) {
      const Span& span = spans_[i % slots_];
      if (y < span.first || y - span.first >= span.count) continue;
      const std::int32_t w = weight_of(side, i, span, y - span.first);
      std::int32_t* sums = slot(i);
      for (std::size_t v = 0; v < sums_.size(); ++v) sums[v] += w * sums_[v];
    }
  }
  finish_row(slot(next_row_), out);
}

void Resize::finish_row(const std::int32_t* sums, BgraQuad* out) const {
  for (std::uint32_t i = 0; i < width_; ++i, ++out) {
    const std::int32_t* sum = sums + std::size_t{i} * 4;
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

void Resize::read(const Rect& rect, BgraQuad* out) {
  assert(rect.x == 0 && rect.width == width_ && rect.y == next_row_ && rect.y + std::uint64_t{rect.height} <= height_);
  for (std::uint32_t row = 0; row < rect.height; ++row, ++next_row_, out += width_) {
    if (accumulate_) {
      read_accumulated(out);
    } else {
      read_ring(out);
    }
  }
}
