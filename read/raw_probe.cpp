#include "read/raw_probe.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <iterator>

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

// The formats tried, the most common first: every format of whole bytes a pixel that a framebuffer
// holds; alpha kept apart (rgb565a8, argb8565) and packed bits are left to the user.
constexpr PixelFormat probed[] = {PixelFormat::rgb565, PixelFormat::rgb444,   PixelFormat::rgb888,
                                  PixelFormat::rgb666, PixelFormat::xrgb8888, PixelFormat::argb8888,
                                  PixelFormat::gray8};

const std::array<ProbeFormat, std::size(probed)>& formats() {
  static const std::array<ProbeFormat, std::size(probed)> table = [] {
    std::array<ProbeFormat, std::size(probed)> made{};
    for (std::size_t i = 0; i < made.size(); ++i) {
      const FormatInfo& info = format_info(probed[i]);
      made[i] = {probed[i], info.name, info.bits_per_pixel / 8, (info.options & format_option::bytes) != 0};
    }
    return made;
  }();
  return table;
}

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

// One pixel's channels, read by the pixel-format stage.
class PixelReader {
 public:
  PixelReader(const ProbeFormat& format, ByteOrder order) : size_(format.bytes_per_pixel) {
    settings_.format = format.format;
    settings_.word.bytes = order;
    if ((format_info(format.format).options & format_option::expand) != 0)
      settings_.word.expansion = Expansion::replicate;
  }
  BgrTriple operator()(const std::uint8_t* pixel) const {
    BgraQuad quad{};
    decode_rows(settings_, 0, {pixel, size_}, 1, 1, {&quad, 1});
    return {quad.blue, quad.green, quad.red};
  }

 private:
  FormatSettings settings_;
  std::size_t size_;
};

// The score of one layout before its prior; a negative value when the samples hold too few rows of
// it, or every sampled pixel is the same colour, so that it tells nothing.
double score(const Sampler& s) {
  const PixelReader decode(s.format, s.order);
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
        const BgrTriple pixel = decode(top + at);
        vertical += distance(pixel, decode(below + at));
        horizontal += distance(pixel, decode(top + at + s.format.bytes_per_pixel));
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

// How many `size`-byte groups the samples hold whole.
std::uint64_t groups(std::span<const RawSample> samples, std::uint32_t size) {
  std::uint64_t count = 0;
  for (const RawSample& sample : samples) {
    const std::uint64_t skip = (size - sample.offset % size) % size;
    if (sample.bytes.size() > skip) count += (sample.bytes.size() - skip) / size;
  }
  return count;
}

// The share of `size`-byte groups whose byte `position` has none of the bits of `mask` set.
double clear_share(std::span<const RawSample> samples, std::uint32_t size, std::uint32_t position, std::uint8_t mask) {
  std::uint64_t clear = 0;
  for (const RawSample& sample : samples) {
    const std::uint64_t skip = (size - sample.offset % size) % size + position;
    for (std::uint64_t at = skip; at < sample.bytes.size(); at += size) clear += (sample.bytes[at] & mask) == 0;
  }
  return static_cast<double>(clear) / static_cast<double>(std::max<std::uint64_t>(1, groups(samples, size)));
}

// A share of bytes so near all of them that the format must have put it there.
constexpr double nearly_all = 0.99;
// How much less likely a reading is whose format would use bits that are never set.
constexpr double unlikely = 2;

// The byte orders worth scoring for `format`, with how much likelier its bytes make each reading;
// none when the bytes rule the format out. The bytes tell the order better than the smoothness of
// the colours does (see the top of raw_probe.h).
std::vector<Reading> readings_of(const ProbeFormat& format, std::span<const RawSample> samples) {
  switch (format.bytes_per_pixel) {
    case 2: {
      const std::uint64_t first = changes(samples, 2, 0), second = changes(samples, 2, 1);
      const ByteOrder order = first >= second ? ByteOrder::low_first : ByteOrder::high_first;
      const double lopsided = static_cast<double>(std::max(first, second)) /
                              static_cast<double>(std::max<std::uint64_t>(1, std::min(first, second)));
      // A picture whose two bytes change alike is unlikely to be 16-bit at all.
      double factor = lopsided < 1.1 ? 1.25 : 1;
      const bool top_clear = clear_share(samples, 2, order == ByteOrder::low_first ? 1 : 0, 0xF0) >= nearly_all;
      if (format.format == PixelFormat::rgb444) {
        if (!top_clear) return {};
      } else if (top_clear) {
        factor *= unlikely;
      }
      return {{order, factor}};
    }
    case 3: {
      bool low_clear = true;
      for (std::uint32_t position = 0; position < 3; ++position)
        low_clear = low_clear && clear_share(samples, 3, position, 0x03) >= nearly_all;
      if (format.format == PixelFormat::rgb666) {
        if (!low_clear) return {};
        return {{ByteOrder::low_first, 1}};
      }
      // Three bytes either way round read as the same picture with red and blue swapped.
      return {{ByteOrder::low_first, low_clear ? unlikely : 1}};
    }
    case 4: {
      const std::uint64_t last = modal_count(samples, 4, 3), first = modal_count(samples, 4, 0);
      const ByteOrder order = last >= first ? ByteOrder::low_first : ByteOrder::high_first;
      const double share = static_cast<double>(std::max(last, first)) /
                           static_cast<double>(std::max<std::uint64_t>(1, groups(samples, 4)));
      // Padding is one value throughout; alpha that is, is no alpha.
      const bool padding = std::max(last, first) == groups(samples, 4);
      if (format.format == PixelFormat::xrgb8888) {
        if (!padding) return {};
        return {{order, 1}};
      }
      if (padding) return {};
      // An alpha byte mostly opaque or mostly clear; pairs of 16-bit pixels read as one have none.
      // And an alpha below 16 throughout is a picture all but invisible: more likely the high bytes of
      // rgb444 words read in pairs.
      const bool faint = clear_share(samples, 4, order == ByteOrder::low_first ? 3 : 0, 0xF0) >= nearly_all;
      return {{order, (2 * share < 1 ? 1.3 : 1) * (faint ? unlikely : 1)}};
    }
    default:
      return {{ByteOrder::low_first, 1}};
  }
}

}  // namespace

std::span<const ProbeFormat> probe_formats() { return formats(); }

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
  for (const ProbeFormat& format : formats()) {
    if (file_size % format.bytes_per_pixel != 0 || (limits.format && *limits.format != format.format)) continue;
    const std::uint64_t count = file_size / format.bytes_per_pixel;
    std::vector<Reading> readings = readings_of(format, samples);
    // An order the user gave is taken as given.
    if (limits.bytes && format.byte_order_matters) {
      for (Reading& reading : readings) reading.order = *limits.bytes;
    }
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
