// Rotate and flip: a picture turned clockwise by a quarter, a half or three quarters, then
// mirrored left to right (horizontal) or top to bottom (vertical). A band of the result's rows is a
// band of the source's columns after a quarter turn: the source is read as that rectangle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "transform/region.h"

enum class Rotation { none, quarter, half, three_quarters };  // clockwise: 90, 180 and 270 degrees
enum class Flip { none, horizontal, vertical };

class Orient : public RegionSource {
 public:
  // Reads at most `most_pixels` pixels at once; the scratch that takes them is allocated here
  // (std::bad_alloc when it cannot be).
  Orient(RegionSource& from, Rotation rotation, Flip flip, std::size_t most_pixels);

  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }
  void read(const Rect& rect, BgraQuad* out) override;

 private:
  RegionSource& from_;
  std::uint32_t width_;
  std::uint32_t height_;
  // Source pixel (x, y) of result pixel (i, j): x = x0 + xi * i + xj * j, y = y0 + yi * i + yj * j.
  std::int64_t x0_, xi_, xj_, y0_, yi_, yj_;
  std::vector<BgraQuad> scratch_;
};
