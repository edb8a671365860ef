// A picture's stored rows of BGR triples (a loaded BMP's, or a codec picture's) seen as a region
// source: rows top row first, every pixel opaque.
#pragma once

#include <cstdint>
#include <span>

#include "transform/region.h"

class StoredPicture : public RegionSource {
 public:
  // `rows` from the first stored row on, `stride` bytes from row start to row start; `top_down`
  // when the first stored row is the top row.
  StoredPicture(std::span<const std::uint8_t> rows, std::uint32_t stride, std::uint32_t width, std::uint32_t height,
                bool top_down)
      : rows_(rows), stride_(stride), width_(width), height_(height), top_down_(top_down) {}

  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }
  void read(const Rect& rect, BgraQuad* out) override;

 private:
  std::span<const std::uint8_t> rows_;
  std::uint32_t stride_;
  std::uint32_t width_;
  std::uint32_t height_;
  bool top_down_;
};
