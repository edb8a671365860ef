// Resize: a picture resampled to another size in linear light (see pixels/srgb_to_linear.h), with
// premultiplied alpha, so that fine detail keeps its brightness and a transparent pixel's colour
// does not bleed into its opaque neighbours.
//
// The filter is Mitchell-Netravali's cubic (B = C = 1/3), a good compromise between sharpness,
// ringing and aliasing. Enlarging, it spans two source pixels on each side of a result pixel's
// centre; reducing by a factor s, it is stretched to 2 s source pixels on each side, so that every
// source pixel counts and fine patterns average out instead of aliasing. Pixel centres line up:
// result pixel i of n covers source pixels i * m / n to (i + 1) * m / n of m. Beyond the picture's
// edges nothing is read: the weights of the pixels inside are scaled to sum to one. A side that
// keeps its length is not filtered at all.
//
// The arithmetic is integers only (weights in 16384ths, light in 65536ths), so every build gives
// the same bytes. The filter runs across each source row as it comes, a band of source rows read
// at a time, in order, each once; down the columns it runs one of two ways, whichever holds fewer
// rows of the result's width: enlarging, a small ring of the last few filtered source rows, from
// which each result row is summed; reducing, each filtered source row is added at once into the few
// result rows it contributes to, each kept as running sums until its last source row is in. The
// down weights are worked out for the rows in hand, never tabled for the whole side. So what it
// holds is a band of source rows (at least one), the weights across, and at most about five rows of
// the result's width at 16 bytes a pixel, however much smaller the result is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "transform/region.h"

class Resize : public RegionSource {
 public:
  // `width` and `height` at least 1. Allocates its tables and rows here (BufferTooLarge, buffers.h,
  // when it cannot).
  Resize(RegionSource& from, std::uint32_t width, std::uint32_t height);

  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }
  // Rows are read whole and in order, each once: rect.x is 0, rect.width the width, and rect.y the
  // row after the last read.
  void read(const Rect& rect, BgraQuad* out) override;

  // The most pixels it asks of its source at once, from a source `width` pixels wide.
  static std::size_t most_read(std::uint32_t source_width);

  // Each result pixel's weights along one side: source pixels first[i] to first[i] + count[i] - 1,
  // weights from weights[start[i]] on, in 16384ths, summing to 16384.
  struct Taps {
    std::vector<std::uint32_t> first, count, start;
    std::vector<std::int32_t> weights;
    std::uint32_t widest = 0;
  };
  // One result pixel's taps along a side, as resize.cpp works them out from its place alone: source
  // pixels first to first + count - 1, their raw weights summing to `sum`, and what rounding them
  // to 16384ths left over, which goes to the heaviest (the `largest`th).
  struct Span {
    std::uint32_t first = 0, count = 0;
    std::int64_t sum = 0;
    std::uint32_t largest = 0;
    std::int32_t correction = 0;
  };

 private:
  // The next source row, filtered across into `filtered` (width_ * 4 values).
  void filter_next(std::int32_t* filtered);
  // Result row next_row_ from its sums, width_ * 4 of them.
  void finish_row(const std::int32_t* sums, BgraQuad* out) const;
  // Slot `index` of rows_ (modulo their count).
  std::int32_t* slot(std::uint64_t index);
  void read_ring(BgraQuad* out);
  void read_accumulated(BgraQuad* out);

  RegionSource& from_;
  std::uint32_t width_, height_;
  Taps across_;
  std::uint32_t band_rows_;
  // The band of source rows in hand: band_count_ rows from band_first_ on.
  std::vector<BgraQuad> band_;
  std::uint32_t band_first_ = 0, band_count_ = 0;
  // Source rows filtered so far, and the next result row.
  std::uint32_t rows_read_ = 0;
  std::uint32_t next_row_ = 0;
  // One source row in linear light, premultiplied, less 32768: blue, green, red, alpha per pixel.
  std::vector<std::int16_t> linear_;
  void (*filter_across_)(const std::int16_t* light, const Taps& taps, std::int32_t* filtered) = nullptr;
  // Enlarging (a ring): source row y filtered at slot y % slots_. Reducing (sums): result row i's
  // running sums at slot i % slots_, rows next_row_ to started_ - 1 begun, their weights in spans_.
  bool accumulate_ = false;
  std::uint32_t slots_ = 1;
  std::vector<std::int32_t> rows_;
  std::vector<Span> spans_;
  std::uint32_t started_ = 0;
  Span next_span_;  // row started_'s
  // A result row's sums (ring), or the source row being added (sums).
  std::vector<std::int32_t> sums_;
};
