// Dithering for packing: each channel's level chosen so that an area of a colour that falls between
// two of the levels a panel shows mixes both, in the right proportion, instead of banding, and
// keeps the colour's own light on average. It works on the 8-bit channels before packing, with
// integers only, so that the same picture gives the same bytes on every build.
//
// A channel of `bits` bits (1 to 8) has the levels k = 0 .. L, L = 2^bits - 1, and a panel shows
// level k as the 8-bit value k * 255 / L: its top level is full white, so level k is not k << (8 -
// bits), the value that truncating stands for. An 8-bit value v lies at v * L / 255 levels. A value
// that is the nearest 8-bit value to a level (v == round(k * 255 / L), which is what expanding level
// k by repeating its high bits gives back) stands for that level exactly: such colours, black and
// white among them, are never dithered, and a packed picture unpacked that way packs to itself.
// Positions are worked in 255ths of a level: P = 255 * k for such a value, v * L for any other.
//
// Pixel (x, y) is column x of row y of the rows as they are dithered: the stored rows, first stored
// row 0, whatever row order the packed image is written in, so that the pattern belongs to the
// picture and not to the output's layout. Every format dithers so: a word's colour channels each
// toward the levels of its field (alpha never), a grey format its luma, mono1 its luma toward the
// two levels 0 and 255 in place of the threshold.
//
// Dither::ordered takes the level floor(P / 255), or the one above it where the remainder r = P mod
// 255 passes the threshold of the 8 x 8 Bayer matrix B (0 to 63), tiled from (0, 0):
//
//    0 32  8 40  2 34 10 42
//   48 16 56 24 50 18 58 26
//   12 44  4 36 14 46  6 38
//   60 28 52 20 62 30 54 22
//    3 35 11 43  1 33  9 41
//   51 19 59 27 49 17 57 25
//   15 47  7 39 13 45  5 37
//   63 31 55 23 61 29 53 21
//
// that is, where 128 * r > (2 * B[y % 8][x % 8] + 1) * 255 (never equal: one side is even, the other
// odd). A value a fraction f of the way from a level to the next takes the upper one on round(64 f)
// of every 64 pixels, so a flat colour's average light on the panel is its own to within 1/128 of a
// level's step.
//
// Dither::diffusion is Floyd-Steinberg toward the nearest level, stored rows in order and each row
// left to right (not serpentine), each channel on its own. Values and errors are kept in 4080ths of
// a level (16 * 255): a pixel's value is V = min(4080 * L, max(0, 16 * P + received)), its level
// (V + 2040) / 4080 rounded down, and its error E = V - 4080 * level. The error goes 7/16 to the
// right neighbour, 3/16 below left, 5/16 below and the rest (so that none is lost to rounding) below
// right, each share rounded toward zero; shares that would leave the picture are dropped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "format/word_format.h"

enum class Dither { none, ordered, diffusion };

struct Diffusion;

// Levels as numbers 0 to 2^bits - 1, or shifted into the top bits of their byte.
enum class LevelsAs { levels, top_bits };

// Where the 8-bit `value` lies among the levels of `bits` bits, in 255ths of a level (P above).
std::uint32_t level_position(std::uint8_t value, unsigned bits);

// The threshold of the Bayer matrix above at pixel (x, y), 0 to 63.
unsigned bayer_threshold(std::uint32_t x, std::uint32_t y);

// The level of `bits` bits that ordered dithering gives `value` at pixel (x, y).
unsigned ordered_level(std::uint8_t value, std::uint32_t x, std::uint32_t y, unsigned bits);

// The scratch that dither_row needs for `dither` on rows of `width` pixels of up to three channels,
// in elements: two rows of errors for diffusion, none otherwise.
std::size_t dither_scratch_size(std::uint32_t width, Dither dither);

// The levels of one row of `width` pixels, `channels` (1 to 3) values each, channel c toward
// `bits[c]` bits, at stored row `y`. Diffusion keeps its errors in `scratch`
// (dither_scratch_size), which must be the same for every row of a picture, its rows given in
// stored order from row 0; ordered dithering takes rows in any order and no scratch.
void dither_row(Dither dither, const std::uint8_t* values, unsigned channels, const std::uint8_t* bits,
                std::uint32_t width, std::uint32_t y, std::span<std::int32_t> scratch, std::uint8_t* levels);

// dither_row for the pixel formats, which hand over a band of rows at a time in the output's order
// and may need their rows in another order than the stored one: it keeps the scratch and the band's
// place in the picture.
class RowDither {
 public:
  // Throws std::bad_alloc when the scratch cannot be had.
  RowDither(Dither dither, std::uint32_t width);

  // The next band: `count` rows, the first of them stored row `first`, in the output in stored order
  // or, with `reverse`, the other way round. Diffusion's bands come in stored order.
  void start_band(std::uint32_t first, std::uint32_t count, bool reverse);
  // The row of the band, counted in the output's order, that comes k-th in stored order.
  std::uint32_t output_row(std::uint32_t k) const { return reverse_ ? count_ - 1 - k : k; }
  // dither_row for the band's next `count` rows in stored order, `stride` bytes apart in `values`
  // and one after the other in `levels`: diffusion runs several rows at once. With LevelsAs::top_bits each level is
  // given in the top bits of its byte, the value that truncating takes to that level.
  void next_rows(const std::uint8_t* values, std::size_t stride, std::uint32_t count, unsigned channels,
                 const std::uint8_t* bits, std::uint8_t* levels, LevelsAs as = LevelsAs::levels);

  // For a dither toward a palette (palette_match.h), which chooses entries, not levels: the kind,
  // the stored row that the band's next `count` rows start at (taking them), and the scratch that
  // diffusion keeps its errors in from band to band.
  Dither kind() const { return dither_; }
  std::uint32_t take_rows(std::uint32_t count) {
    const std::uint32_t first = next_;
    next_ += count;
    return first;
  }
  std::span<std::int32_t> scratch() { return scratch_; }

 private:
  Dither dither_;
  std::uint32_t width_;
  std::vector<std::int32_t> scratch_;
  // Diffusion's positions for the channels' depths of the last row.
  std::shared_ptr<const Diffusion> diffusion_;
  std::array<std::uint8_t, 3> depths_{};
  LevelsAs as_ = LevelsAs::levels;
  std::uint32_t next_ = 0;  // the stored row next_row dithers
  std::uint32_t count_ = 0;
  bool reverse_ = false;
};
