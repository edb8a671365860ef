// Rotate and flip: a picture turned clockwise by a quarter, a half or three quarters, then
// mirrored left to right (horizontal) or top to bottom (vertical).
//
// A half turn and the flips read, for each band of the result's rows, the band of the source's rows
// it mirrors. After a quarter turn a band of the result's rows is a band of the source's columns,
// which spans every row of the source: read from a file a band of rows at a time, each band of the
// result would read the whole file again. So a quarter turn holds the picture it turns (what the
// crop kept of it) whole, as quads, read once in order; the chain refuses one of more pixels than
// --max-pixels allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "transform/region.h"

enum class Rotation { none, quarter, half, three_quarters };  // clockwise: 90, 180 and 270 degrees
enum class Flip { none, horizontal, vertical };

class Orient : public RegionSource {
 public:
  // Reads at most `most_pixels` pixels at once, or after a quarter turn the whole picture; what
  // takes them is allocated here (BufferTooLarge, buffers.h, when it cannot be).
  Orient(RegionSource& from, Rotation rotation, Flip flip, std::uint64_t most_pixels);

  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }
  void read(const Rect& rect, BgraQuad* out) override;

 private:
  RegionSource& from_;
  std::uint32_t width_;
  std::uint32_t height_;
  // Source pixel (x, y) of result pixel (i, j): x = x0 + xi * i + xj * j, y = y0 + yi * i + yj * j.
  std::int64_t x0_, xi_, xj_, y0_, yi_, yj_;
  // The source pixels read for one band; after a quarter turn the whole picture, once it is read.
  std::vector<BgraQuad> scratch_;
  bool whole_ = false;
  bool read_whole_ = false;
};
