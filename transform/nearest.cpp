#include "transform/nearest.h"

#include "transform/buffers.h"

Nearest::Nearest(RegionSource& from, std::uint32_t width, std::uint32_t height)
    : from_(from), width_(width), height_(height) {
  allocate(columns_, width);
  for (std::uint32_t i = 0; i < width; ++i) columns_[i] = source_of(i, from.width(), width);
  allocate(row_, from.width());
}

void Nearest::read(const Rect& rect, BgraQuad* out) {
  for (std::uint32_t j = 0; j < rect.height; ++j) {
    const std::uint32_t y = source_of(rect.y + j, from_.height(), height_);
    // Enlarging, the rows of a block share their source row: it is read once.
    if (!held_ || y != held_row_) {
      from_.read({0, y, from_.width(), 1}, row_.data());
      held_row_ = y;
      held_ = true;
    }
    for (std::uint32_t i = 0; i < rect.width; ++i) *out++ = row_[columns_[rect.x + i]];
  }
}
