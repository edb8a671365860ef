#include "read/raw_probe.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <map>
#include <tuple>

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
// A reading further from square than this, of no common panel's size, is never taken without a look.
constexpr std::uint64_t sure_aspect = 4;
// A best score above this is no better than noise; a runner-up within this factor of the best is
// too close to call.
constexpr double noise_score = 0.55;
constexpr double clear_lead = 1.2;
// Nor a lead smaller than this: scores this close to 0 differ by which few edges the sampled pixels
// met, not by the reading (three flat grey bands score 0.0007 in gray8 and 0.0016 read three bytes a
// pixel at a third of the width, both readings equally flat).
constexpr double chance_lead = 0.001;
// The confidence a first guess needs to be taken without a look: on dumps other tools wrote, first
// guesses given at 95 % or more were right 98 times in 100 and more (see docs/probe.md).
constexpr int sure_enough = 95;
// How much the sharpness of the stride counts against smoothness.
constexpr double stride_weight = 1.0;
// A row length whose bytes line up this sharply is a picture's (or a multiple of it).
constexpr double lines_up = 0.8;
// A row length whose half, third, ... lines up, more sharply than the row length itself, is as much
// less likely as that fraction lines up more sharply than lines_up, by at most this.
constexpr double most_as_multiple = 2;
// A jump at a seam this many times the steps beside it is no accident of the picture.
constexpr double seam_noise = 1.5;
// Halves of a row nearer each other than this, against pixels far apart, may be two rows of a
// narrower picture.
constexpr double alike_halves = 0.25;
constexpr double fairly_alike_halves = 0.5;
// Rows whose last pixel steps to the next row's first less than this, against the steps beside,
// run on into each other.
constexpr double rows_run_on = 0.9;
// A row length whose bytes line up no more sharply than this shows no sign of being one.
constexpr double no_line_up = 0.97;
// A row length of half the guessed one or less whose bytes line up this sharply shows a pattern that
// repeats along its rows.
constexpr double repeat_lines_up = 0.5;
// Bytes that repeat this much more nearly than at any shorter whole number of pixels are a tiled
// pattern's.
constexpr double tiled = 0.15;
// Rows a few apart that line up this many times more exactly than the rows next to each other are a
// pattern's repeat.
constexpr double repeats_more_exactly = 4;
// Rows that line up no better than this with the next, a reading's rows may be a pattern's rows
// side by side; ordered dither, alike every second row, makes rows that line up more sharply than
// this line up more sharply still two apart.
constexpr double loosely_lined_up = 0.45;
// A period of three bytes this strong, standing out from those of two and four, is the pixel's own.
constexpr double clear_period = 1.5;
// A smoothness past which a reading is no picture, however its rows line up.
constexpr double rough = 0.6;
// Dither is most of what a picture's pixels differ by where what it adds to the step to the pixel
// beside, no more than a step of each channel, is at least this share of a pixel's mean distance
// from pixels elsewhere.
constexpr double dither_most = 0.5;

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
  // Where given, set to how far each pixel is from the pixel half a row on, against pixels elsewhere.
  double* halves = nullptr;
  // Where given, set to how far each row's last pixel is from the next row's first, against the
  // steps beside them.
  double* wraps = nullptr;
  // Where given, set to whether the layout reads as noise until what dither adds is taken off.
  bool* noise_but_for_dither = nullptr;
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

// The i-th of `count` positions spread over `length`: one in each of `count` equal stretches, at a
// place within it that varies from stretch to stretch. Evenly spaced samples alias with a picture
// made of blocks: rows every ten of a picture of blocks five rows tall all fall on a block's last
// row, so that every pixel sampled differs from the pixel below and the picture reads as noise at
// its own width. The place within each stretch follows multiples of a fraction of 2^16 near an
// irrational one, in integers, so that both builds sample the same pixels; where every position
// is taken (count == length), it is each one once.
constexpr std::uint64_t row_jitter = 40503;     // 2^16 / golden ratio
constexpr std::uint64_t column_jitter = 27146;  // 2^16 (sqrt 2 - 1)
std::uint64_t spread(std::uint64_t i, std::uint64_t count, std::uint64_t length, std::uint64_t jitter) {
  const std::uint64_t within = (i * jitter) & 0xFFFF;
  return ((i << 16) + within) * length / (count << 16);
}

// How many columns either side of a seam its step is held against.
constexpr std::uint32_t seam_reach = 8;

// What the sampled pixels of one layout say, summed over the samples.
struct Distances {
  std::uint64_t vertical = 0;    // each pixel against the pixel below
  std::uint64_t horizontal = 0;  // against the pixel beside
  std::uint64_t elsewhere = 0;   // against a pixel far away in the file
  // Where the width is two or three rows of a narrower picture side by side: the step across the
  // column where the next row would start, and the steps across the columns a few pixels either
  // side of it (the two beside it among them), each column summed apart: a picture enlarged in
  // blocks steps at every block's edge, and a seam that falls on one is no jump of its own.
  std::uint64_t seam = 0;
  std::array<std::uint64_t, 2 * seam_reach + 1> near_seam{};
  // Where the width is two rows of a narrower picture side by side, each pixel against the pixel
  // half a row on, which is then the pixel below it in the narrower picture.
  std::uint64_t half_row = 0;
  std::uint64_t half_row_count = 0;
  // Each row's last pixel against the next row's first, and the steps beside them: where rows run
  // on into each other, the width is a fraction of the picture's.
  std::uint64_t wrap = 0;
  std::uint64_t beside_wrap = 0;
  // Ordered dither: where the samples hold them, each pixel against the pixel below and the one two
  // below, and against the pixel beside and the one two beside, each pair of sums over the same pixels;
  // and against the pixels four below and four beside, all four sums over the same pixels.
  std::uint64_t below_one = 0, below_two = 0, below_count = 0;
  std::uint64_t beside_one = 0, beside_two = 0, beside_count = 0;
  struct {
    std::uint64_t below_one = 0, below_two = 0, below_four = 0;
    std::uint64_t beside_one = 0, beside_two = 0, beside_four = 0;
    std::uint64_t count = 0;
  } far;
};

// Scores above this are no picture; the score of a layout that tells nothing (too few rows in the
// samples, one colour throughout).
constexpr double no_score = -1;

// How smooth one layout reads, or no_score: how far pixels are from the pixel below and beside
// against how far they are from pixels elsewhere.
double score(const Sampler& s) {
  const PixelReader decode(s.format, s.order);
  const std::uint32_t bpp = s.format.bytes_per_pixel;
  const std::uint64_t row_bytes = std::uint64_t{s.width} * bpp;
  if (s.width < 3) return no_score;
  const std::uint32_t columns = std::min<std::uint32_t>(s.effort.columns, s.width - 2);
  const std::size_t per_sample = (s.effort.pairs + s.samples.size() - 1) / s.samples.size();
  Distances d;
  std::size_t pairs = 0;
  if (s.noise_but_for_dither != nullptr) *s.noise_but_for_dither = false;
  // Frames in fewer than 8 bits a channel are often written with ordered dither, which moves each
  // channel by at most one of its steps (on the 8-bit scale the pixels are compared on).
  double dither_steps = 0;
  for (const unsigned bits : format_info(s.format.format).channel_bits) {
    if (bits > 0 && bits < 8) dither_steps += 255.0 / ((1u << bits) - 1);
  }
  const bool dithered = dither_steps > 0;
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
      const std::uint64_t row = first + spread(i, taken, available, row_jitter);
      const std::uint8_t* top = sample.bytes.data() + (row * row_bytes - sample.offset);
      const std::uint8_t* below = top + row_bytes;
      for (std::uint32_t c = 0; c < columns; ++c) {
        const std::uint64_t at = (1 + spread(c, columns, s.width - 2, column_jitter)) * bpp;
        const BgrTriple pixel = decode(top + at);
        const BgrTriple under = decode(below + at);
        const unsigned down = distance(pixel, under);
        const unsigned across = distance(pixel, decode(top + at + bpp));
        d.vertical += down;
        d.horizontal += across;
        if (dithered) {
          unsigned below_two = 0, beside_two = 0;
          if (row + 2 < last) {
            below_two = distance(pixel, decode(below + row_bytes + at));
            d.below_one += down;
            d.below_two += below_two;
            ++d.below_count;
          }
          if (at + 2 * bpp < row_bytes) {
            beside_two = distance(pixel, decode(top + at + 2 * bpp));
            d.beside_one += across;
            d.beside_two += beside_two;
            ++d.beside_count;
          }
          if (row + 4 < last && at + 4 * bpp < row_bytes) {
            d.far.below_one += down;
            d.far.below_two += below_two;
            d.far.below_four += distance(pixel, decode(below + 3 * row_bytes + at));
            d.far.beside_one += across;
            d.far.beside_two += beside_two;
            d.far.beside_four += distance(pixel, decode(top + at + 4 * bpp));
            ++d.far.count;
          }
        }
        if (s.width % 2 == 0 && at + row_bytes / 2 < row_bytes) {
          d.half_row += distance(pixel, decode(top + at + row_bytes / 2));
          ++d.half_row_count;
        }
        s.pixels.push_back(pixel);
      }
      {
        const BgrTriple row_end = decode(below - bpp), next = decode(below);
        d.wrap += distance(row_end, next);
        d.beside_wrap += (distance(decode(below - 2 * bpp), row_end) + distance(next, decode(below + bpp))) / 2;
      }
      for (const std::uint32_t parts : {2u, 3u}) {
        if (s.width % parts != 0 || s.width / parts < smallest_side) continue;
        for (std::uint32_t part = 1; part < parts; ++part) {
          const std::uint64_t at = std::uint64_t{s.width} / parts * part * bpp;
          const BgrTriple left = decode(top + at - bpp), right = decode(top + at);
          d.seam += distance(left, right);
          const std::uint32_t reach = std::min(seam_reach, s.width / parts - 2);
          for (std::uint32_t k = 1; k <= reach; ++k) {
            const std::uint64_t before = at - k * bpp, after = at + k * bpp;
            d.near_seam[seam_reach - k] += distance(decode(top + before - bpp), decode(top + before));
            d.near_seam[seam_reach + k] += distance(decode(top + after - bpp), decode(top + after));
          }
        }
      }
      ++pairs;
    }
  }
  if (pairs < pairs_needed) return no_score;
  // Each pixel against a pixel a third of the row away in a row pair half the list away: far apart
  // in the file, so unrelated in any reading, even in a picture whose rows all repeat.
  const std::size_t apart = pairs / 2 * columns + columns / 3;
  for (std::size_t i = 0; i < s.pixels.size(); ++i)
    d.elsewhere += distance(s.pixels[i], s.pixels[(i + apart) % s.pixels.size()]);
  if (d.elsewhere == 0) return no_score;
  const double elsewhere = static_cast<double>(d.elsewhere);
  const double per_pixel = elsewhere / static_cast<double>(s.pixels.size());
  double smooth = static_cast<double>(d.vertical + d.horizontal) / (2.0 * elsewhere);
  // Ordered dither steps from each pixel to the next and from each row to the next, but repeats two
  // on: it adds to the steps to both neighbours, and a dithered picture's pixels two below and two
  // beside are nearer than its neighbours. Read as two of its rows side by side, the pixel below is
  // two rows on, at the same step of the dither, and such a picture would read smoother so than at
  // its own width. What the dither adds is taken off: the smaller of the two drops, so that it
  // counts only where both directions show it. Read at half its width, a picture's pixel two below is its
  // own pixel below while the pixel below is half a row away: the drop below is large, the one
  // beside is the dither's, and that reading gets no more than the true one, which it trails.
  if (d.below_count > 0 && d.beside_count > 0) {
    const auto drop = [](std::uint64_t one, std::uint64_t two, std::uint64_t count) {
      return (static_cast<double>(one) - static_cast<double>(two)) / static_cast<double>(count);
    };
    // Read in the wrong byte order, or in pixels of the wrong size, the words' low bits land in
    // high ones, and a picture's dither, or the parts of its pixels, repeat two on by far more than
    // a step: no more is taken off than dither can make.
    const double dither = std::min({drop(d.below_one, d.below_two, d.below_count),
                                    drop(d.beside_one, d.beside_two, d.beside_count), dither_steps});
    const double two_apart = (static_cast<double>(d.below_two) / static_cast<double>(d.below_count) +
                              static_cast<double>(d.beside_two) / static_cast<double>(d.beside_count)) /
                             (2.0 * per_pixel);
    // A reading that is no picture gets nothing taken off this way: in a texture close to noise the
    // dither is most of what differs, and a reading whose rows fall where the dither repeats (two
    // rows side by side, where it repeats every four rows) would pass for a picture on the dither
    // alone.
    if (dither > 0 && smooth <= rough) {
      smooth = std::max(smooth - dither / per_pixel, two_apart);
    } else if (smooth > rough && d.far.count > 0) {
      // Where the dither is most of what pixels differ by (a fine grain, a nearly flat texture),
      // every reading is close to noise until it is taken off. A fine pattern that repeats every
      // few pixels drops far more than that two on, but counts only as far as dither could make
      // it, which is then little of what differs. The dither is taken off where it repeats, two
      // or four on, so that the picture's own rows, where the dither repeats every four rows, get
      // as much off as two of them side by side. Read at half the picture's width, the pixel four
      // below is two of its rows on, near in any picture, and the one two below is its next row:
      // the drop below counts only where the pixel two below is nearer than the one below, as it
      // is where a dither repeats in part two on. Such a reading is no picture but for the
      // dither, and gets no credit for lining up.
      const auto& f = d.far;
      const std::uint64_t below_repeat = std::min(f.below_two, f.below_four);
      const std::uint64_t beside_repeat = std::min(f.beside_two, f.beside_four);
      const double below = f.below_two < f.below_one ? drop(f.below_one, below_repeat, f.count) : 0;
      const double beside = drop(f.beside_one, beside_repeat, f.count);
      const double far = std::min({below, beside, dither_steps});
      if (far > 0 && std::min(beside, dither_steps) >= dither_most * per_pixel) {
        const double repeat =
            static_cast<double>(below_repeat + beside_repeat) / (2.0 * static_cast<double>(f.count) * per_pixel);
        smooth = std::max(smooth - far / per_pixel, repeat);
        if (s.noise_but_for_dither != nullptr) *s.noise_but_for_dither = true;
      }
    }
  }
  // A seam, a column where the picture jumps every row while it does not beside it, is where the
  // rows of a narrower picture meet: this width is a multiple of the true one.
  const double seam_floor = 0.01 * per_pixel * static_cast<double>(pairs);
  // A texture enlarged in blocks steps at every block's edge, one of which may fall on the seam:
  // the seam must jump more than the most any column near it does, not only the two beside it.
  const std::uint64_t near_edges = *std::max_element(d.near_seam.begin(), d.near_seam.end());
  const double seam = std::clamp(
      (static_cast<double>(d.seam) + seam_floor) / (static_cast<double>(near_edges) + seam_floor) / seam_noise, 1.0,
      4.0);
  // Two rows of a narrower picture side by side show in how alike each half of a row is to the
  // other, which in a picture of its own the far half of a row seldom is; a picture read at a
  // fraction of its width, in rows that run on into each other across the row's end.
  if (s.wraps != nullptr) {
    const double floor = 0.02 * per_pixel * static_cast<double>(pairs);
    *s.wraps = (static_cast<double>(d.wrap) + floor) / (static_cast<double>(d.beside_wrap) + floor);
  }
  if (s.halves != nullptr) {
    *s.halves =
        d.half_row_count == 0 ? 1 : static_cast<double>(d.half_row) / static_cast<double>(d.half_row_count) / per_pixel;
  }
  return smooth * seam;
}

// How sharply the bytes line up at a row length of `stride` bytes: how far each byte is from the
// byte `stride` on, against the bytes one to four steps of twelve bytes on either side of that, one
// row and two rows on (ordered dither, as ffmpeg writes 16-bit frames, alternates from row to row,
// so that rows two apart are the more alike). At the true row length the row below lines up, so the byte straight below
// is nearer than those beside it, in a photograph by its gradients and in a drawing by every vertical edge; at any
// other length the row "below" is some other part of the picture shifted sideways, which a few bytes more or less shift
// no better. Flat fills and bars, whose rows repeat, read as smooth at many widths, but line up exactly at one. It is
// measured on bytes, not pixels, so that every format of one row length gets the same figure and the formats are told
// apart by their pixels alone. Twelve bytes hold whole pixels of every size tried, so the bytes compared are the same
// byte of a pixel: a byte in another part of the pixel (a 16-bit word's other half, padding) differs by the format, not
// the picture, and would make every row length that keeps pixels whole look as if it lined up.
double stride_sharpness(std::span<const RawSample> samples, std::uint64_t stride) {
  constexpr std::uint64_t reach = 4;
  constexpr std::uint64_t positions = 16384;
  std::uint64_t total = 0;
  for (const RawSample& sample : samples) total += sample.bytes.size();
  const std::uint64_t step = std::max<std::uint64_t>(1, total / positions) | 1;
  std::uint64_t straight = 0, beside = 0, count = 0;
  // Steps of twelve bytes keep to the same byte of a pixel of any size the probe tries, so that
  // every format of one row length gets the same figure and none is favoured by its pixel size.
  constexpr std::uint64_t whole = 12;
  const std::uint64_t away = reach * whole;
  for (const RawSample& sample : samples) {
    const std::span<const std::uint8_t> bytes = sample.bytes;
    for (std::uint64_t at = away; at + 2 * stride + away < bytes.size(); at += step) {
      const int byte = bytes[at];
      for (const std::uint64_t rows : {1u, 2u}) {
        const std::uint8_t* below = bytes.data() + at + rows * stride;
        straight += static_cast<std::uint64_t>(std::abs(byte - below[0]));
        for (std::uint64_t k = whole; k <= away; k += whole)
          beside += static_cast<std::uint64_t>(std::abs(byte - below[k]) + std::abs(byte - *(below - k)));
      }
      count += 2;
    }
  }
  if (count == 0) return 1;
  // Half a level a byte keeps exact repeats from making the ratio vanish.
  const double floor = 0.5 * static_cast<double>(count);
  return (static_cast<double>(straight) + floor) / (static_cast<double>(beside) / (2 * reach) + floor);
}

// Whether the bytes repeat along the rows, all but exactly, every `period` bytes for some period
// that divides `stride`, is at least two pixels of `pixel` bytes and at most half the row: far more
// nearly than at any shorter whole number of pixels. A pattern tiled along its rows does, and every
// multiple of its period then lines up as well as the picture's own row length does: the content
// does not say which of them is the picture's width. A picture of its own does not: a photograph's
// pixels are nearer their neighbours than pixels further on, and flat fills repeat at every step
// alike.
bool tiled_along_rows(std::span<const RawSample> samples, std::uint64_t stride, std::uint32_t pixel) {
  constexpr std::uint64_t longest = 384;
  constexpr std::uint64_t positions = 4096;
  const std::uint64_t lags = std::min(longest, stride / 2);
  if (lags < 2 * std::uint64_t{pixel}) return false;
  std::uint64_t total = 0;
  for (const RawSample& sample : samples) total += sample.bytes.size();
  const std::uint64_t step = std::max<std::uint64_t>(1, total / positions) | 1;
  // How far each byte is from the byte a whole number of pixels on, for each such lag.
  std::vector<std::uint64_t> apart(lags + 1, 0);
  std::uint64_t count = 0;
  for (const RawSample& sample : samples) {
    const std::span<const std::uint8_t> bytes = sample.bytes;
    for (std::uint64_t at = 0; at + lags < bytes.size(); at += step) {
      for (std::uint64_t lag = pixel; lag <= lags; lag += pixel)
        apart[lag] += static_cast<std::uint64_t>(std::abs(bytes[at] - bytes[at + lag]));
      ++count;
    }
  }
  if (count == 0) return false;
  // Half a level a byte keeps flat fills, alike at every lag, from passing for a repeat.
  const double floor = 0.5 * static_cast<double>(count);
  double nearest = static_cast<double>(apart[pixel]);
  for (std::uint64_t period = 2 * std::uint64_t{pixel}; period <= lags; period += pixel) {
    if (stride % period == 0 && (static_cast<double>(apart[period]) + floor) / (nearest + floor) < tiled) return true;
    nearest = std::min(nearest, static_cast<double>(apart[period]));
  }
  return false;
}

// Whether the rows read at `stride` bytes repeat every two to four rows far more exactly than they
// line up one and two rows on: a pattern whose rows repeat with a period of a few rows (bricks) read
// as those rows side by side. Each such reading's row "below" is the next few rows of
// the pattern, which line up as any picture's rows do, while its rows a period on are the same
// rows again; a picture read at its own width has no rows a few apart far more alike than its
// neighbours (colour bars, whose rows are all alike, line up as exactly one row on).
bool rows_repeat_further_on(std::span<const RawSample> samples, std::uint64_t stride) {
  const double own = stride_sharpness(samples, stride);
  if (own < loosely_lined_up) return false;
  for (std::uint64_t rows = 2; rows <= 4; ++rows) {
    const double further = stride_sharpness(samples, rows * stride);
    if (further < repeat_lines_up && further * repeats_more_exactly < own) return true;
  }
  return false;
}

// Whether a guess of no common panel's size has the pixel count of one whose rows line up at all. A
// picture of squares side by side whose neighbouring squares are more alike than its neighbouring
// rows (a colour lookup grid) reads smoothest with each row cut into parts; a dithered picture of
// flat fills and thin lines reads smoother as two of its rows side by side, rows two apart sharing
// the dither, while its own rows line up only loosely, the dither differing from row to row; a
// pattern of slanted stripes lines up at many row lengths, meeting itself again a few rows on.
// Nothing in the content then favours the guess over the panel; the panel's size does.
bool panel_lines_up(std::span<const RawSample> samples, const ProbeGuess& guess) {
  if (common_panel(guess.width, guess.height)) return false;
  const std::uint64_t count = std::uint64_t{guess.width} * guess.height;
  for (const FrameSize& size : common_frame_sizes()) {
    if (std::uint64_t{size.width} * size.height == count &&
        stride_sharpness(samples, std::uint64_t{size.width} * guess.format->bytes_per_pixel) < no_line_up)
      return true;
  }
  return false;
}

// A guess's weight in the confidence against the best (lowest) score: 1 for the best, falling
// steeply as a score grows, so that a guess twice as bad counts 256 times less.
double weight_against(double best, double score) { return std::pow(best / std::max(score, best), 8); }

bool order_told(const ProbeFormat& format) { return format.byte_order_matters && format.bytes_per_pixel != 3; }

// A byte order worth scoring, and how much likelier the bytes make a reading of this format.
struct Reading {
  ByteOrder order;
  // How much less likely the bytes make the reading, but for its byte order.
  double factor;
  // How much less likely the evidence against this byte order makes it: kept apart, as a dithered
  // picture's bytes may point to the other order, and a reading handicapped past the noise line for
  // it alone is still a picture.
  double against_order = 1;
  double weight() const { return factor * against_order; }
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

// The most frequent value at byte `position` of each `size`-byte group.
std::uint8_t modal_value(std::span<const RawSample> samples, std::uint32_t size, std::uint32_t position) {
  std::uint64_t counts[256] = {};
  for (const RawSample& sample : samples) {
    const std::uint64_t skip = (size - sample.offset % size) % size + position;
    for (std::uint64_t at = skip; at < sample.bytes.size(); at += size) ++counts[sample.bytes[at]];
  }
  return static_cast<std::uint8_t>(std::max_element(std::begin(counts), std::end(counts)) - std::begin(counts));
}

// How many of byte `position` of each `size`-byte group are 0 or 255.
std::uint64_t extreme_count(std::span<const RawSample> samples, std::uint32_t size, std::uint32_t position) {
  std::uint64_t count = 0;
  for (const RawSample& sample : samples) {
    const std::uint64_t skip = (size - sample.offset % size) % size + position;
    for (std::uint64_t at = skip; at < sample.bytes.size(); at += size)
      count += sample.bytes[at] == 0 || sample.bytes[at] == 255;
  }
  return count;
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

// How far each byte is from the next, on average, for the bytes at each position modulo `period`
// in the file.
template <std::uint32_t period>
std::array<double, period> step_means(std::span<const RawSample> samples) {
  std::array<std::uint64_t, period> sums{}, counts{};
  for (const RawSample& sample : samples) {
    const std::span<const std::uint8_t> bytes = sample.bytes;
    for (std::uint32_t phase = 0; phase < period; ++phase) {
      const std::uint64_t skip = (phase + period - sample.offset % period) % period;
      std::uint64_t sum = 0, count = 0;
      for (std::uint64_t at = skip; at + 1 < bytes.size(); at += period, ++count)
        sum += static_cast<std::uint64_t>(std::abs(bytes[at] - bytes[at + 1]));
      sums[phase] += sum;
      counts[phase] += count;
    }
  }
  std::array<double, period> means{};
  for (std::uint32_t phase = 0; phase < period; ++phase)
    means[phase] = static_cast<double>(sums[phase]) / static_cast<double>(std::max<std::uint64_t>(1, counts[phase]));
  return means;
}

// How unlike the steps between bytes are from one position of a `period` to another: 1 for bytes
// that have no such period, more the more the positions differ. The bytes of a pixel play
// different parts (a channel, a word's high or low half, padding), so the steps inside a pixel
// differ from those between pixels; a wrong pixel size shows a period that it cannot explain.
// Each mean is raised by a step of 1, so that exact repeats do not make any ratio endless.
double unlike(double a, double b) { return (std::max(a, b) + 1) / (std::min(a, b) + 1); }

// How much further apart the bytes are in sums `a` than in sums `b`, over `count` bytes each, a step
// of 1 a byte keeping exact repeats from making the ratio endless.
double unlike_by(double a, double b, std::uint64_t count) {
  const double n = static_cast<double>(std::max<std::uint64_t>(1, count));
  return (a / n + 1) / (b / n + 1);
}

struct Periods {
  double two = 1;    // the positions modulo 2
  double three = 1;  // modulo 3
  double four = 1;   // modulo 4, beyond what modulo 2 shows
  // How much nearer each byte is to the byte two on than to the next: a picture of one-byte pixels
  // is nearer its neighbour, one of three-byte pixels as near both, while 16-bit words are nearest
  // the same half of the next word.
  double two_apart = 1;
};

Periods periods_of(std::span<const RawSample> samples) {
  Periods p;
  const std::array<double, 2> two = step_means<2>(samples);
  p.two = unlike(two[0], two[1]);
  const std::array<double, 3> three = step_means<3>(samples);
  p.three = std::max({unlike(three[0], three[1]), unlike(three[1], three[2]), unlike(three[0], three[2])});
  const std::array<double, 4> four = step_means<4>(samples);
  p.four = std::max(unlike(four[0], four[2]), unlike(four[1], four[3]));
  std::uint64_t next = 0, two_on = 0;
  for (const RawSample& sample : samples) {
    const std::span<const std::uint8_t> bytes = sample.bytes;
    for (std::size_t at = 0; at + 2 < bytes.size(); ++at) {
      next += static_cast<std::uint64_t>(std::abs(bytes[at] - bytes[at + 1]));
      two_on += static_cast<std::uint64_t>(std::abs(bytes[at] - bytes[at + 2]));
    }
  }
  p.two_apart = unlike_by(static_cast<double>(next), static_cast<double>(two_on), groups(samples, 1));
  return p;
}

// How much less likely a reading is whose pixel size cannot make the fixed marks the bytes show, or
// the bytes two apart nearer each other than neighbours.
constexpr double cannot_make = 8;
// Bytes two apart this much nearer each other than neighbouring bytes are no picture of one-byte
// or three-byte pixels (dumps of three-byte pixels that other tools wrote came to 1.08 at most).
constexpr double two_apart_noise = 1.3;
// A period stronger than this is no accident of the picture.
constexpr double period_noise = 1.08;
// How much likelier a format makes the period its pixels do not explain, up to `most_unlikely`.
double unexplained(double strength) {
  constexpr double most_unlikely = 3;
  return std::min(most_unlikely, std::pow(std::max(1.0, strength / period_noise), 3));
}

// How much less likely the periods of the bytes make a pixel of `size` bytes: the periods it
// cannot make, and for four bytes the period of four it must make (a pixel whose padding or alpha
// byte steps unlike its colours).
double period_factor(const Periods& p, std::uint32_t size) {
  switch (size) {
    case 1:
      return unexplained(std::max({p.two, p.three, p.four})) * (p.two_apart > two_apart_noise ? cannot_make : 1);
    case 2:
      return unexplained(std::max(p.three, p.four));
    case 3:
      // Inside a flat fill, the bytes of three-byte pixels step between the same channels one byte
      // on as two bytes on (red to green, green to blue, blue to red against red to blue, green to
      // red, blue to green), so bytes two apart are no nearer than neighbours; 16-bit words are.
      return unexplained(std::max(p.two, p.four)) * (p.two_apart > two_apart_noise ? cannot_make : 1);
    default:
      return unexplained(p.three) * (p.four < period_noise ? 4 : 1);
  }
}

// A share of bytes so near all of them that the format must have put it there.
constexpr double nearly_all = 0.99;
// A share of bytes that leaves plenty of them free.
constexpr double freely = 0.9;

// Fixed marks: a byte at one position of a group that keeps one value (padding, an opaque alpha) or
// leaves its top four bits clear (rgb444's high byte), where the bytes at another position vary
// freely. Only a format puts such marks at a period, and only a pixel whose size is a multiple of
// that period makes them: a picture of gray8 bytes with every fourth byte 0, or every second below
// 16, is really a picture of wider pixels. Returns the periods (2, 3 or 4) that the bytes show.
std::vector<std::uint32_t> marked_periods(std::span<const RawSample> samples) {
  std::vector<std::uint32_t> shown;
  for (const std::uint32_t period : {2u, 3u, 4u}) {
    const double count = static_cast<double>(std::max<std::uint64_t>(1, groups(samples, period)));
    bool marked[4] = {}, free[4] = {};
    for (std::uint32_t position = 0; position < period; ++position) {
      const double constant = static_cast<double>(modal_count(samples, period, position)) / count;
      const double clear = clear_share(samples, period, position, 0xF0);
      marked[position] = constant >= nearly_all || clear >= nearly_all;
      free[position] = constant < freely && clear < freely;
    }
    bool shows = false;
    for (std::uint32_t p = 0; p < period; ++p) {
      for (std::uint32_t q = 0; q < period; ++q) {
        // A period of four that a period of two already makes is no mark of four.
        const bool counts = period != 4 || (p + 2) % 4 == q;
        shows = shows || (marked[p] && free[q] && counts);
      }
    }
    if (shows) shown.push_back(period);
  }
  return shown;
}
// How much less likely a reading is whose format would use bits that are never set.
constexpr double unlikely = 2;

// Edges between flat fills, scaled or anti-aliased, pass through colours between the two sides.
// Read in the right byte order, a pixel between two unequal neighbours lies near the way from one to
// the other: each channel's detour through it (|a - m| + |m - b| - |a - b|) is small against the
// step itself, a scaler's ringing and a level of dither aside. Read in the wrong order, a word's
// halves mix green's high and low bits with red and blue, and such a pixel zigzags. Sums, over runs
// of three 16-bit words along the file whose ends differ and whose middle is neither, the detours
// and the steps of rgb565's channels (on a common scale of about 8 bits) in each order.
struct Detours {
  std::uint64_t detour[2] = {};  // low first, high first
  std::uint64_t step[2] = {};
  std::uint64_t runs = 0;
};

void add_detour(unsigned before, unsigned middle, unsigned after, std::uint64_t& detour, std::uint64_t& step) {
  for (const auto& [shift, mask, scale] : {std::tuple{11u, 31u, 8}, std::tuple{5u, 63u, 4}, std::tuple{0u, 31u, 8}}) {
    const int a = static_cast<int>((before >> shift) & mask) * scale;
    const int m = static_cast<int>((middle >> shift) & mask) * scale;
    const int b = static_cast<int>((after >> shift) & mask) * scale;
    detour += static_cast<std::uint64_t>(std::abs(a - m) + std::abs(m - b) - std::abs(a - b));
    step += static_cast<std::uint64_t>(std::abs(a - b));
  }
}

Detours detours(std::span<const RawSample> samples) {
  Detours d;
  const auto swap = [](unsigned w) { return (w >> 8) | (w & 0xFF) << 8; };
  for (const RawSample& sample : samples) {
    const std::span<const std::uint8_t> bytes = sample.bytes;
    const auto word = [&](std::uint64_t i) { return unsigned{bytes[i]} | unsigned{bytes[i + 1]} << 8; };
    for (std::uint64_t at = sample.offset % 2; at + 6 <= bytes.size(); at += 2) {
      const unsigned w0 = word(at), w1 = word(at + 2), w2 = word(at + 4);
      if (w0 == w2 || w1 == w0 || w1 == w2) continue;
      ++d.runs;
      add_detour(w0, w1, w2, d.detour[0], d.step[0]);
      add_detour(swap(w0), swap(w1), swap(w2), d.detour[1], d.step[1]);
    }
  }
  return d;
}
// Runs needed before the detours are taken as evidence, and the lead one order needs over the
// other; a twentieth of a step keeps edges without any detour from making the lead endless.
constexpr std::uint64_t runs_needed = 64;
constexpr double detour_lead = 1.3;
constexpr double detour_floor = 0.05;

// Whether the bytes show a period of three so strong that it must be the pixel's, and a pixel of
// `size` bytes cannot make it: a picture repeating along its rows every few pixels may read
// smoothest in such a format, each row one repeat.
bool period_unexplained(const Periods& p, std::uint32_t size) {
  return size % 3 != 0 && p.three > clear_period && p.three > std::max(p.two, p.four);
}

// The byte orders worth scoring for `format`, with how much likelier its bytes make each reading;
// none when the bytes rule the format out. The bytes tell the order better than the smoothness of
// the colours does (see the top of raw_probe.h).
std::vector<Reading> readings_by_bytes(const ProbeFormat& format, std::span<const RawSample> samples);

std::vector<Reading> readings_of(const ProbeFormat& format, std::span<const RawSample> samples, const Periods& periods,
                                 std::span<const std::uint32_t> marks) {
  std::vector<Reading> readings = readings_by_bytes(format, samples);
  double factor = period_factor(periods, format.bytes_per_pixel);
  for (const std::uint32_t period : marks) {
    if (format.bytes_per_pixel % period != 0) factor *= cannot_make;
  }
  for (Reading& reading : readings) reading.factor *= factor;
  return readings;
}

std::vector<Reading> readings_by_bytes(const ProbeFormat& format, std::span<const RawSample> samples) {
  switch (format.bytes_per_pixel) {
    case 2: {
      const std::uint64_t first = changes(samples, 2, 0), second = changes(samples, 2, 1);
      const ByteOrder order = first >= second ? ByteOrder::low_first : ByteOrder::high_first;
      const double lopsided = static_cast<double>(std::max(first, second)) /
                              static_cast<double>(std::max<std::uint64_t>(1, std::min(first, second)));
      // A picture whose two bytes change alike is unlikely to be 16-bit at all.
      const double factor = lopsided < 1.1 ? 1.25 : 1;
      const bool second_clear = clear_share(samples, 2, 1, 0xF0) >= nearly_all;
      const bool first_clear = clear_share(samples, 2, 0, 0xF0) >= nearly_all;
      if (format.format == PixelFormat::rgb444) {
        // Its high byte is the one whose top four bits are never set.
        if (second_clear == first_clear)
          return second_clear ? std::vector<Reading>{{order, factor}} : std::vector<Reading>{};
        return {{second_clear ? ByteOrder::low_first : ByteOrder::high_first, factor}};
      }
      // The order the bytes' changes point to is likelier, by more the more lopsided they are; both
      // are scored, as a dithered or flat picture's bytes can point the wrong way, and the colours'
      // smoothness then tells. A tie is refused rather than settled by a toss.
      const double against = std::clamp(lopsided * lopsided, 1.0, 4.0);
      const ByteOrder other = order == ByteOrder::low_first ? ByteOrder::high_first : ByteOrder::low_first;
      const auto unused = [&](ByteOrder o) {
        return (o == ByteOrder::low_first ? second_clear : first_clear) ? unlikely : 1;
      };
      std::vector<Reading> readings{{order, factor * unused(order)}, {other, factor * unused(other), against}};
      // Flat drawings change both bytes alike at their edges, and their smoothness barely tells the
      // orders apart; the colours between the sides of an edge do. The order whose edges take the
      // shorter way is the likelier, by as much as its lead; where the two kinds of evidence point
      // opposite ways, the handicaps meet and the tie is refused.
      const Detours d = detours(samples);
      if (d.runs >= runs_needed) {
        const auto relative = [&](int i) {
          return static_cast<double>(d.detour[i]) / static_cast<double>(std::max<std::uint64_t>(1, d.step[i])) +
                 detour_floor;
        };
        const double le = relative(0), be = relative(1);
        const double lead = std::max(le, be) / std::min(le, be);
        if (lead >= detour_lead) {
          const ByteOrder behind = le > be ? ByteOrder::low_first : ByteOrder::high_first;
          for (Reading& reading : readings) {
            if (reading.order == behind) reading.against_order *= std::min(4.0, lead * lead);
          }
        }
      }
      // The evidence ranks one order against the other, not 16-bit words against other pixels:
      // where it points both ways, both orders are handicapped alike and neither is likelier than
      // the other, but the words are no less likely for it. Words with a byte whose top four bits
      // are never set are rgb444's, though: there the handicap also keeps rgb565 behind.
      const double both =
          first_clear || second_clear ? 1 : std::min(readings[0].against_order, readings[1].against_order);
      for (Reading& reading : readings) reading.against_order /= both;
      return readings;
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
        // A first and a last byte both of one value (a picture without red, or without blue) do
        // not tell which is the padding: both readings are scored, and their tie refused.
        if (last == first) return {{ByteOrder::low_first, 1}, {ByteOrder::high_first, 1}};
        return {{order, 1}};
      }
      if (padding) return {};
      // An alpha byte mostly opaque or mostly clear; pairs of 16-bit pixels read as one have none.
      // And an alpha below 16 throughout is a picture all but invisible: more likely the high bytes of
      // rgb444 words read in pairs.
      const bool faint = clear_share(samples, 4, order == ByteOrder::low_first ? 3 : 0, 0xF0) >= nearly_all;
      // Alpha is mostly opaque (255) or clear (0); a byte that mostly keeps some other value is more
      // likely a colour, such as the high byte of flat 16-bit pixels read in pairs.
      const std::uint8_t modal = modal_value(samples, 4, order == ByteOrder::low_first ? 3 : 0);
      const bool alpha_like = modal == 0 || modal == 255;
      // Alpha keeps to opaque and clear far more than the colour byte two places away does. Pairs
      // of 16-bit words read as one pixel have no such byte: the bytes two apart are the same half
      // of a word, alike however flat the picture, so a four-byte pixel is no likelier than two
      // 16-bit ones. (A colour byte may be 0 wherever alpha is, in a clear background, but not
      // between 0 and 255 wherever alpha is.)
      const std::uint64_t alpha_between =
          groups(samples, 4) - extreme_count(samples, 4, order == ByteOrder::low_first ? 3 : 0);
      const std::uint64_t colour_between =
          groups(samples, 4) - extreme_count(samples, 4, order == ByteOrder::low_first ? 1 : 2);
      const bool no_alpha_byte = 2 * alpha_between > colour_between;
      return {{order, (2 * share < 1 ? 1.3 : 1) * (faint ? unlikely : 1) * (alpha_like ? 1 : 3) *
                          (no_alpha_byte ? cannot_make : 1)}};
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
  // Each guess with the reading of the bytes it carries.
  std::vector<std::pair<ProbeGuess, Reading>> guesses;
  std::vector<BgrTriple> pixels;
  const Periods periods = periods_of(samples);
  const std::vector<std::uint32_t> marks = marked_periods(samples);
  // Each row length's sharpness, measured once for all the formats that share it.
  std::map<std::uint64_t, double> sharpness;
  const auto sharpness_at = [&](std::uint64_t length) {
    auto [at, added] = sharpness.try_emplace(length, 0.0);
    if (added) at->second = stride_sharpness(samples, length);
    return at->second;
  };
  // Where a row length is a multiple of one that lines up, how much less likely that makes it (1
  // where it lines up more sharply than the fraction); none where it is no such multiple.
  const auto as_multiple = [&](std::uint64_t stride) -> std::optional<double> {
    // Rows two to eight apart line up too, and a dithered picture's rows often line up better two
    // apart than one (ordered dither alternates from row to row). A row length whose half, third,
    // ... or eighth already lines up is a multiple of the true one, and gets no credit for it: a
    // narrow picture of flat bars read as five of its rows side by side lines up as well as the
    // picture does. Where the fraction lines up more sharply than the row length itself, it is the
    // likelier row length: a dithered picture read as two of its rows side by side is smoother than
    // at its own width (its rows two apart share the dither), and only its own row length's lining
    // up tells. A picture whose rows line up exactly (bars) lines up partly at half its row length
    // too, rows two on there being the next row, but less sharply than at its own.
    for (std::uint64_t parts = 2; parts <= 8; ++parts) {
      if (stride % parts != 0 || stride / parts < smallest_side) continue;
      const double fraction = sharpness_at(stride / parts);
      if (fraction >= lines_up) continue;
      if (sharpness_at(stride) < fraction) return 1.0;
      return std::min(most_as_multiple, lines_up / std::max(fraction, 0.01));
    }
    return std::nullopt;
  };
  const auto with_stride = [&](double smooth, std::uint64_t stride, bool noise_but_for_dither) {
    // A reading that is no picture gets no credit for lining up.
    if (smooth > rough || noise_but_for_dither) return smooth;
    if (const std::optional<double> handicap = as_multiple(stride)) return smooth * *handicap;
    return smooth * std::pow(std::min(1.0, sharpness_at(stride)), stride_weight);
  };
  for (const ProbeFormat& format : formats()) {
    if (file_size % format.bytes_per_pixel != 0 || (limits.format && *limits.format != format.format)) continue;
    const std::uint64_t count = file_size / format.bytes_per_pixel;
    std::vector<Reading> readings = readings_of(format, samples, periods, marks);
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
          bool noisy = false;
          double raw = score({format, reading.order, width, height, samples, quick, pixels, nullptr, nullptr, &noisy});
          if (raw != no_score) raw = with_stride(raw, width * std::uint64_t{format.bytes_per_pixel}, noisy);
          if (raw != no_score)
            guesses.push_back(
                {{&format, reading.order, order_told(format), width, height, raw * reading.weight(), 0}, reading});
        }
        if (width == height) break;
      }
    }
  }
  const auto by_score = [](const auto& a, const auto& b) { return a.first.score < b.first.score; };
  std::stable_sort(guesses.begin(), guesses.end(), by_score);
  if (guesses.size() > closely_scored) guesses.resize(closely_scored);
  for (auto& [guess, reading] : guesses) {
    bool noisy = false;
    const double closely = score(
        {*guess.format, guess.bytes, guess.width, guess.height, samples, close, pixels, nullptr, nullptr, &noisy});
    guess.score = closely == no_score
                      ? noise_score * 4
                      : with_stride(closely, guess.width * std::uint64_t{guess.format->bytes_per_pixel}, noisy) *
                            reading.weight() * prior(guess.width, guess.height);
  }
  std::stable_sort(guesses.begin(), guesses.end(), by_score);
  for (std::size_t i = 0; i < guesses.size() && i < most; ++i) result.ranked.push_back(guesses[i].first);
  // Nothing is a picture where every reading is noise even without the evidence against its byte
  // order; one that is a picture but for that evidence is listed, and never taken without a look.
  bool picture = false;
  for (std::size_t i = 0; i < result.ranked.size(); ++i)
    picture = picture || result.ranked[i].score / guesses[i].second.against_order <= noise_score;
  if (!picture) {
    for (ProbeGuess& guess : result.ranked) guess.confidence = 0;
    return result;
  }
  const double best = std::max(result.ranked.front().score, 1e-9);
  double total = 0;
  for (const ProbeGuess& guess : result.ranked) total += weight_against(best, guess.score);
  for (ProbeGuess& guess : result.ranked)
    guess.confidence = static_cast<int>(std::lround(100 * weight_against(best, guess.score) / total));
  const double runner = result.ranked.size() > 1 ? result.ranked[1].score : noise_score * 2;
  // A picture whose rows do not line up at the guessed width (a texture close to noise) gives no
  // evidence of its row length but its smoothness, which a wrong width of such a picture can match
  // by chance: it is never taken without a look.
  const ProbeGuess& first = result.ranked.front();
  const bool rows_line_up =
      stride_sharpness(samples, std::uint64_t{first.width} * first.format->bytes_per_pixel) < no_line_up;
  // A pattern that repeats along its rows (a checkerboard, a tiled texture) lines up at every
  // multiple of its repeat, and any of them may read best: where a row length of half the guess's
  // or less lines up sharply, the content does not say which multiple is the picture's width, and
  // the guess is never taken without a look.
  const std::uint64_t stride = std::uint64_t{first.width} * first.format->bytes_per_pixel;
  bool repeats = false;
  for (const auto& [length, sharp] : sharpness) repeats = repeats || (sharp < repeat_lines_up && 2 * length <= stride);
  repeats = repeats || tiled_along_rows(samples, stride, first.format->bytes_per_pixel);
  // A row whose halves are about as alike as neighbouring rows may be two rows of a narrower picture
  // side by side (a picture with ordered dither reads smoother so, rows two apart sharing the
  // dither), or the picture is that much alike across: either way the content does not tell which
  // width is the picture's.
  double halves = 1;
  double wraps = 1;
  score({*first.format, first.bytes, first.width, first.height, samples, close, pixels, &halves, &wraps});
  // And where the rows also run on into each other (a row's last pixel as near the next row's first
  // as to its own neighbour), a picture fairly alike along its rows may be read at a fraction of its
  // width, each of its rows split in two.
  const bool halves_alike = halves < alike_halves || (halves < fairly_alike_halves && wraps < rows_run_on);
  // A pattern whose rows repeat every few rows, read as those rows side by side, or whose repeat
  // along the row reads smoothest as one pixel of the wrong size or one row of the wrong width: the
  // content does not say which reading is the picture.
  const bool rows_repeat = rows_repeat_further_on(samples, stride);
  const bool period_unmade = period_unexplained(periods, first.format->bytes_per_pixel);
  // A size of no panel's with a panel's pixel count, where the panel's rows line up at all.
  const bool part_of_panel = panel_lines_up(samples, first);
  // A long strip that is no panel's: a pattern whose rows repeat every few rows reads as those rows
  // side by side, and a picture tiled in blocks (every colour once, in squares of one channel's
  // ramp) reads smoother with its rows cut at a block, both far from square; the rows of such a
  // reading line up as well as any picture's, and only the shape tells.
  const bool strip = std::max(first.width, first.height) > sure_aspect * std::min(first.width, first.height) &&
                     !common_panel(first.width, first.height);
  // The handicap of multiples ranks a dithered picture's own width above two of its rows side by
  // side, but a pattern tiled along its rows lines up at every multiple of its repeat, and the
  // handicap would make one of them (a fraction of the others) look clearly ahead: the first guess
  // is taken only where it keeps its lead without the handicap.
  const auto plain = [&](const ProbeGuess& guess) {
    return guess.score / as_multiple(std::uint64_t{guess.width} * guess.format->bytes_per_pixel).value_or(1.0);
  };
  double plain_total = 0, plain_runner = noise_score * 2;
  const double plain_best = std::max(plain(first), 1e-9);
  for (std::size_t i = 0; i < result.ranked.size(); ++i) {
    const double other = plain(result.ranked[i]);
    plain_total += weight_against(plain_best, other);
    if (i > 0) plain_runner = std::min(plain_runner, other);
  }
  const bool ahead_without_handicap = plain_runner >= plain_best * clear_lead && 100 / plain_total >= sure_enough;
  const bool ahead = runner >= best * clear_lead && runner - best >= chance_lead && first.confidence >= sure_enough;
  result.doubt = first.score > noise_score ? "even the first guess reads little better than noise"
                 : !ahead                  ? "the first guesses read almost equally well"
                 : !ahead_without_handicap
                     ? "a multiple or a fraction of the first guess's width reads almost as well, as rows side by side"
                 : !rows_line_up ? "its rows do not line up at the first guess's width, so the width is a guess"
                 : repeats || rows_repeat || period_unmade
                     ? "its content repeats, and the repeat does not tell which width is the picture's"
                 : halves_alike ? "a row's halves are about as alike as neighbouring rows: it may be a narrower picture"
                 : part_of_panel ? "the first guess is no panel's size but has a panel's number of pixels"
                 : strip         ? "the first guess is a long strip of no panel's size"
                                 : "";
  result.verdict = result.doubt.empty() ? ProbeVerdict::confident : ProbeVerdict::unsure;
  return result;
}
