// Resize: a picture resampled to another size in linear light (see linear_light.h), with
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
// the same bytes. The filter runs across each source row first, and down the columns of a small
// ring of those filtered rows, so that the source is read once, a band of rows at a time, in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "transform/region.h"

class Resize : public RegionSource {
 public:
  // `width` and `height` at least 1. Allocates its tables and rows here (std::bad_alloc when it
  // cannot).
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

 private:
  void filter_band();

  RegionSource& from_;
  std::uint32_t width_, height_;
  Taps across_, down_;
  std::uint32_t band_rows_;
  // Source rows read so far, and the next result row.
  std::uint32_t rows_read_ = 0;
  std::uint32_t next_row_ = 0;
  std::vector<BgraQuad> band_;
  // One source row in linear light, premultiplied, less 32768: blue, green, red, alpha per pixel.
  std::vector<std::int16_t> linear_;
  void (*filter_across_)(const std::int16_t* light, const Taps& taps, std::int32_t* filtered) = nullptr;
  // The ring of filtered rows: source row y sits at slot y % ring_rows_, width_ * 4 values.
  std::uint32_t ring_rows_;
  std::vector<std::int32_t> ring_;
  std::vector<std::int32_t> sums_;
};
