#include "transform/picture_source.h"

#include <cassert>
#include <cstddef>
#include <cstring>

void StoredPicture::read(const Rect& rect, BgraQuad* out) {
  assert(rect.x + std::uint64_t{rect.width} <= width_ && rect.y + std::uint64_t{rect.height} <= height_);
  for (std::uint32_t row = 0; row < rect.height; ++row) {
    const std::uint32_t y = rect.y + row;
    const std::uint32_t stored = top_down_ ? y : height_ - 1 - y;
    const std::uint8_t* start = rows_.data() + std::size_t{stored} * stride_;
    if (quads_) {
      std::memcpy(out, start + std::size_t{rect.x} * 4, std::size_t{rect.width} * 4);
      out += rect.width;
      continue;
    }
    const std::uint8_t* triple = start + std::size_t{rect.x} * 3;
    const std::uint8_t* alpha = alpha_ == nullptr ? nullptr : alpha_ + std::size_t{stored} * width_ + rect.x;
    for (std::uint32_t x = 0; x < rect.width; ++x, triple += 3)
      *out++ = {triple[0], triple[1], triple[2], alpha == nullptr ? std::uint8_t{255} : alpha[x]};
  }
}
