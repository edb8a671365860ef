// A picture's stored rows (a loaded BMP's, or a codec picture's) seen as a region source, rows top
// row first: BGR triples, opaque unless an alpha plane goes with them, or BGRA quads.
#pragma once

#include <cstdint>
#include <span>

#include "transform/region.h"

class StoredPicture : public RegionSource {
 public:
  // `rows` from the first stored row on, `stride` bytes from row start to row start; `top_down`
  // when the first stored row is the top row. With `quads` the rows hold BGRA quads; otherwise
  // triples, whose alpha is `alpha` (a byte a pixel, stored rows in stored order without padding)
  // when it is not null.
  StoredPicture(std::span<const std::uint8_t> rows, std::uint32_t stride, std::uint32_t width, std::uint32_t height,
                bool top_down, bool quads = false, const std::uint8_t* alpha = nullptr)
      : rows_(rows),
        stride_(stride),
        width_(width),
        height_(height),
        top_down_(top_down),
        quads_(quads),
        alpha_(alpha) {}

  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }
  void read(const Rect& rect, BgraQuad* out) override;
  bool held() const override { return true; }

 private:
  std::span<const std::uint8_t> rows_;
  std::uint32_t stride_;
  std::uint32_t width_;
  std::uint32_t height_;
  bool top_down_;
  bool quads_;
  const std::uint8_t* alpha_;
};
