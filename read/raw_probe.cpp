#include "read/raw_probe.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "read/frame_sizes.h"

namespace {

// A dump up to this length is read whole; a longer one in blocks of block_length spread over it, so
// that probing costs the same few megabytes whatever the file's size.
constexpr std::uint64_t read_whole_below = std::uint64_t{4} << 20;
constexpr std::uint64_t block_length = std::uint64_t{128} << 10;
constexpr std::uint64_t block_count = 32;
// Row pairs and columns sampled for each layout: a quick look at every layout, then a close one at
// the best few, enough to average out a drawing's few edges.
struct Effort {
  std::size_t pairs;
  std::uint32_t columns;
};
constexpr Effort quick{48, 64};
constexpr Effort close{1024, 256};
constexpr std::size_t closely_scored = 12;
constexpr std::size_t pairs_needed = 8;
// Pictures narrower or lower than this, or further from square than max_aspect, are not proposed.
constexpr std::uint32_t smallest_side = 8;
constexpr std::uint64_t max_aspect = 16;
// A best score above this is no better than noise; a runner-up within this factor of the best is
// too close to call.
constexpr double noise_score = 0.55;
constexpr double clear_lead = 1.2;

BgrTriple rgb565(const std::uint8_t* pixel, ByteOrder order) {
  const auto word =
      static_cast<std::uint16_t>(order == ByteOrder::low_first ? pixel[0] | pixel[1] << 8 : pixel[0] << 8 | pixel[1]);
  return expand_word(word, WordFormat{.expansion = Expansion::replicate});
}

BgrTriple rgb888(const std::uint8_t* pixel, ByteOrder order) {
  return order == ByteOrder::low_first ? BgrTriple{pixel[0], pixel[1], pixel[2]}
                                       : BgrTriple{pixel[2], pixel[1], pixel[0]};
}

BgrTriple xrgb8888(const std::uint8_t* pixel, ByteOrder order) {
  return order == ByteOrder::low_first ? BgrTriple{pixel[0], pixel[1], pixel[2]}
                                       : BgrTriple{pixel[3], pixel[2], pixel[1]};
}

BgrTriple gray8(const std::uint8_t* pixel, ByteOrder) { return BgrTriple{pixel[0], pixel[0], pixel[0]}; }

constexpr ProbeFormat formats[] = {
    {"rgb565", 2, true, rgb565},
    {"rgb888", 3, true, rgb888},
    {"xrgb8888", 4, true, xrgb8888},
    {"gray8", 1, false, gray8},
};

unsigned distance(BgrTriple a, BgrTriple b) {
  return static_cast<unsigned>(std::abs(a.blue - b.blue) + std::abs(a.green - b.green) + std::abs(a.red - b.red));
}

bool common_panel(std::uint32_t width, std::uint32_t height) {
  for (const FrameSize& size : common_frame_sizes()) {
    if (size.width == width && size.height == height) return true;
  }
  return false;
}

// Near ties go to the likelier picture: one no further from square than 2:1, a common panel's size.
double prior(std::uint32_t width, std::uint32_t height) {
  const double aspect = static_cast<double>(std::max(width, height)) / std::min(width, height);
  double factor = 1 + 0.08 * std::max(0.0, std::log2(aspect) - 1);
  if (common_panel(width, height)) factor *= 0.97;
  return factor;
}

struct Sampler {
  const ProbeFormat& format;
  ByteOrder order;
  std::uint32_t width;
  std::uint32_t height;
  std::span<const RawSample> samples;
  Effort effort;
  // Scratch reused from layout to layout.
  std::vector<BgrTriple>& pixels;
};

// The score of one layout before its prior; a negative value when the samples hold too few rows of
// it, or every sampled pixel is the same colour, so that it tells nothing.
double score(const Sampler& s) {
  const std::uint64_t row_bytes = std::uint64_t{s.width} * s.format.bytes_per_pixel;
  const std::uint32_t columns = std::min<std::uint32_t>(s.effort.columns, s.width - 1);
  const std::size_t per_sample = (s.effort.pairs + s.samples.size() - 1) / s.samples.size();
  std::uint64_t vertical = 0, horizontal = 0;
  std::size_t pairs = 0;
  s.pixels.clear();
  for (const RawSample& sample : s.samples) {
    const std::uint64_t end = sample.offset + sample.bytes.size();
    const std::uint64_t first = (sample.offset + row_bytes - 1) / row_bytes;
    // Rows r and r + 1 both inside the sample and the picture.
    const std::uint64_t last = std::min<std::uint64_t>(end / row_bytes, s.height);
    if (last < first + 2) continue;
    const std::uint64_t available = last - first - 1;
    const std::uint64_t taken = std::min<std::uint64_t>(available, per_sample);
    for (std::uint64_t i = 0; i < taken; ++i) {
      const std::uint64_t row = first + i * available / taken;
      const std::uint8_t* top = sample.bytes.data() + (row * row_bytes - sample.offset);
      const std::uint8_t* below = top + row_bytes;
      for (std::uint32_t c = 0; c < columns; ++c) {
        const std::uint64_t x = std::uint64_t{c} * (s.width - 1) / columns;
        const std::uint64_t at = x * s.format.bytes_per_pixel;
        const BgrTriple pixel = s.format.decode(top + at, s.order);
        vertical += distance(pixel, s.format.decode(below + at, s.order));
        horizontal += distance(pixel, s.format.decode(top + at + s.format.bytes_per_pixel, s.order));
        s.pixels.push_back(pixel);
      }
      ++pairs;
    }
  }
  if (pairs < pairs_needed) return -1;
  // Each pixel against the pixel in the same column of a row pair half the list away: far apart in
  // the file, so unrelated in any reading.
  const std::size_t apart = pairs / 2 * columns;
  std::uint64_t elsewhere = 0;
  for (std::size_t i = 0; i < s.pixels.size(); ++i)
    elsewhere += distance(s.pixels[i], s.pixels[(i + apart) % s.pixels.size()]);
  if (elsewhere == 0) return -1;
  return static_cast<double>(vertical + horizontal) / (2.0 * static_cast<double>(elsewhere));
}

bool order_told(const ProbeFormat& format) { return format.byte_order_matters && format.bytes_per_pixel != 3; }

// A byte order worth scoring, and how much likelier the bytes make a reading of this format.
struct Reading {
  ByteOrder order;
  double factor;
};

// How often byte `position` of each `size`-byte group differs from the same byte of the next group.
std::uint64_t changes(std::span<const RawSample> samples, std::uint32_t size, std::uint32_t position) {
  std::uint64_t count = 0;
  for (const RawSample& sample : samples) {
    const std::uint64_t skip = (size - sample.offset % size) % size + position;
    for (std::uint64_t at = skip; at + size < sample.bytes.size(); at += size)
      count += sample.bytes[at] != sample.bytes[at + size];
  }
  return count;
}

// The most frequent value's count at byte `position` of each `size`-byte group.
std::uint64_t modal_count(std::span<const RawSample> samples, std::uint32_t size, std::uint32_t position) {
  std::uint64_t counts[256] = {};
  for (const RawSample& sample : samples) {
    const std::uint64_t skip = (size - sample.offset % size) % size + position;
    for (std::uint64_t at = skip; at < sample.bytes.size(); at += size) ++counts[sample.bytes[at]];
  }
  return *std::max_element(std::begin(counts), std::end(counts));
}

// The byte orders worth scoring for `format`. The bytes tell the order better than the smoothness
// of the colours does. A 16-bit pixel's high byte holds the high bits of red and green, which
// change less often from pixel to pixel than the low byte's green and blue bits: the byte that
// changes less is the high one. A picture whose two bytes change alike is unlikely to be 16-bit at
// all. A four-byte pixel's padding or alpha byte is the one that keeps to one value (opaque, or
// unused) while the colours vary.
std::vector<Reading> orders_to_try(const ProbeFormat& format, std::span<const RawSample> samples) {
  if (!format.byte_order_matters) return {{ByteOrder::low_first, 1}};
  if (format.bytes_per_pixel == 2) {
    const std::uint64_t first = changes(samples, 2, 0), second = changes(samples, 2, 1);
    const double lopsided =
        static_cast<double>(std::max(first, second)) / std::max<std::uint64_t>(1, std::min(first, second));
    const double factor = lopsided < 1.1 ? 1.25 : 1;
    return {{first >= second ? ByteOrder::low_first : ByteOrder::high_first, factor}};
  }
  if (format.bytes_per_pixel == 4) {
    const std::uint64_t last = modal_count(samples, 4, 3), first = modal_count(samples, 4, 0);
    std::uint64_t groups = 0;
    for (const RawSample& sample : samples) groups += sample.bytes.size() / 4;
    // Pairs of 16-bit pixels read as one have no such byte.
    const double factor = 2 * std::max(last, first) < groups ? 1.3 : 1;
    return {{last >= first ? ByteOrder::low_first : ByteOrder::high_first, factor}};
  }
  // Three bytes either way round read as the same picture with red and blue swapped.
  return {{ByteOrder::low_first, 1}};
}

}  // namespace

std::span<const ProbeFormat> probe_formats() { return formats; }

std::vector<ByteRange> probe_ranges(std::uint64_t file_size) {
  if (file_size <= read_whole_below) return {ByteRange{0, file_size}};
  std::vector<ByteRange> ranges;
  for (std::uint64_t i = 0; i < block_count; ++i)
    ranges.push_back({(file_size - block_length) * i / (block_count - 1), block_length});
  return ranges;
}

ProbeResult probe_raw(std::uint64_t file_size, std::span<const RawSample> samples, const ProbeLimits& limits,
                      std::size_t most) {
  ProbeResult result;
  if (samples.empty()) return result;
  // Each guess with the factor its reading of the bytes carries.
  std::vector<std::pair<ProbeGuess, double>> guesses;
  std::vector<BgrTriple> pixels;
  for (const ProbeFormat& format : formats) {
    if (file_size % format.bytes_per_pixel != 0 || (!limits.format.empty() && limits.format != format.name)) continue;
    const std::uint64_t count = file_size / format.bytes_per_pixel;
    std::vector<Reading> readings = orders_to_try(format, samples);
    // An order the user gave is taken as given: the reading stands on its own.
    if (limits.bytes && format.byte_order_matters) readings = {{*limits.bytes, 1}};
    for (std::uint64_t side = smallest_side; side * side <= count; ++side) {
      if (count % side != 0 || count / side > side * max_aspect || count / side > UINT32_MAX) continue;
      const auto other = static_cast<std::uint32_t>(count / side);
      for (const auto& [width, height] :
           {std::pair{other, static_cast<std::uint32_t>(side)}, std::pair{static_cast<std::uint32_t>(side), other}}) {
        for (const Reading& reading : readings) {
          const double raw = score({format, reading.order, width, height, samples, quick, pixels});
          if (raw >= 0)
            guesses.push_back(
                {{&format, reading.order, order_told(format), width, height, raw * reading.factor, 0}, reading.factor});
        }
        if (width == height) break;
      }
    }
  }
  const auto by_score = [](const auto& a, const auto& b) { return a.first.score < b.first.score; };
  std::stable_sort(guesses.begin(), guesses.end(), by_score);
  if (guesses.size() > closely_scored) guesses.resize(closely_scored);
  for (auto& [guess, factor] : guesses) {
    guess.score = score({*guess.format, guess.bytes, guess.width, guess.height, samples, close, pixels}) * factor *
                  prior(guess.width, guess.height);
  }
  std::stable_sort(guesses.begin(), guesses.end(), by_score);
  for (std::size_t i = 0; i < guesses.size() && i < most; ++i) result.ranked.push_back(guesses[i].first);
  if (result.ranked.empty() || result.ranked.front().score > noise_score) {
    for (ProbeGuess& guess : result.ranked) guess.confidence = 0;
    return result;
  }
  const double best = std::max(result.ranked.front().score, 1e-9);
  const auto weight = [best](const ProbeGuess& guess) { return std::pow(best / std::max(guess.score, best), 8); };
  double total = 0;
  for (const ProbeGuess& guess : result.ranked) total += weight(guess);
  for (ProbeGuess& guess : result.ranked) guess.confidence = static_cast<int>(std::lround(100 * weight(guess) / total));
  const double runner = result.ranked.size() > 1 ? result.ranked[1].score : noise_score * 2;
  result.verdict = runner >= best * clear_lead ? ProbeVerdict::confident : ProbeVerdict::unsure;
  return result;
}
