// A picture held in memory for the transform stage's tests: a RegionSource whose pixels are made
// by a function of (x, y), top row first, so that a test names what each source pixel is.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "transform/region.h"

class RegionPicture final : public RegionSource {
 public:
  // `held` says it is a picture in memory, which the stages read without a copy of their own.
  template <typename Pixel>
  RegionPicture(std::uint32_t width, std::uint32_t height, Pixel pixel, bool held = false)
      : width_(width), height_(height), held_(held) {
    for (std::uint32_t y = 0; y < height; ++y) {
      for (std::uint32_t x = 0; x < width; ++x) quads_.push_back(pixel(x, y));
    }
  }
  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }
  bool held() const override { return held_; }
  void read(const Rect& rect, BgraQuad* out) override {
    for (std::uint32_t y = rect.y; y < rect.y + rect.height; ++y) {
      for (std::uint32_t x = rect.x; x < rect.x + rect.width; ++x) *out++ = quads_[y * width_ + x];
    }
  }

 private:
  std::uint32_t width_, height_;
  bool held_;
  std::vector<BgraQuad> quads_;
};
