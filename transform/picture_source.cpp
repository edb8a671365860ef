#include "transform/picture_source.h"

#include <cassert>
#include <cstddef>

void StoredPicture::read(const Rect& rect, BgraQuad* out) {
  assert(rect.x + std::uint64_t{rect.width} <= width_ && rect.y + std::uint64_t{rect.height} <= height_);
  for (std::uint32_t row = 0; row < rect.height; ++row) {
    const std::uint32_t y = rect.y + row;
    const std::uint32_t stored = top_down_ ? y : height_ - 1 - y;
    const std::uint8_t* triple = rows_.data() + std::size_t{stored} * stride_ + std::size_t{rect.x} * 3;
    for (std::uint32_t x = 0; x < rect.width; ++x, triple += 3) *out++ = {triple[0], triple[1], triple[2], 255};
  }
}
