// Nearest: a picture resized by copying, for each result pixel, the source pixel under its centre,
// for pixel art and icons that must keep their own colours and hard edges. Nothing is blended, in
// linear light or otherwise: each pixel, its alpha included, is a source pixel as it is.
//
// Pixel centres line up as the resampler's do (resize.h): result pixel i of n has its centre at
// (i + 0.5) * m / n of a side of m source pixels, and takes the source pixel that holds that point,
// floor((2i + 1) * m / 2n). Enlarged by a whole factor, each source pixel becomes a flat block of
// that factor each way. A centre that falls exactly on the edge between two source pixels (halving
// a side, for one) takes the pixel after the edge: the right one, or the lower one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "transform/region.h"

class Nearest : public RegionSource {
 public:
  // `width` and `height` at least 1. Allocates its column table and a source row here
  // (BufferTooLarge, buffers.h, when it cannot).
  Nearest(RegionSource& from, std::uint32_t width, std::uint32_t height);

  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }
  void read(const Rect& rect, BgraQuad* out) override;

  // The most pixels it asks of its source at once, from a source `width` pixels wide: one row.
  static std::size_t most_read(std::uint32_t source_width) { return source_width; }

  // The source pixel, of `from`, under the centre of result pixel `i` of `to`.
  static std::uint32_t source_of(std::uint32_t i, std::uint32_t from, std::uint32_t to) {
    return static_cast<std::uint32_t>((2 * std::uint64_t{i} + 1) * from / (2 * std::uint64_t{to}));
  }

 private:
  RegionSource& from_;
  std::uint32_t width_, height_;
  std::vector<std::uint32_t> columns_;  // the source column of each result column
  std::vector<BgraQuad> row_;           // the source row read last
  std::uint32_t held_row_ = 0;
  bool held_ = false;
};
