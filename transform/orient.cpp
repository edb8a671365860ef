#include "transform/orient.h"

#include <algorithm>
#include <cassert>

#include "transform/buffers.h"

namespace {

struct Point {
  std::int64_t x, y;
};

// The source pixel under pixel (i, j) of a w x h source turned by `rotation`, then flipped.
Point source_of(std::int64_t i, std::int64_t j, std::int64_t w, std::int64_t h, Rotation rotation, Flip flip) {
  const bool turned = sideways(rotation);
  const std::int64_t turned_w = turned ? h : w, turned_h = turned ? w : h;
  if (flip == Flip::horizontal) i = turned_w - 1 - i;
  if (flip == Flip::vertical) j = turned_h - 1 - j;
  switch (rotation) {
    case Rotation::quarter:  // the bottom left corner comes to the top left
      return {j, h - 1 - i};
    case Rotation::half:
      return {w - 1 - i, h - 1 - j};
    case Rotation::three_quarters:  // the top right corner comes to the top left
      return {w - 1 - j, i};
    case Rotation::none:
      break;
  }
  return {i, j};
}

}  // namespace

Orientation upright_from_exif(std::uint32_t tag) {
  switch (tag) {
    case 2:
      return {Rotation::none, Flip::horizontal};
    case 3:
      return {Rotation::half, Flip::none};
    case 4:
      return {Rotation::none, Flip::vertical};
    case 5:  // the stored rows are the picture's columns, left column first
      return {Rotation::quarter, Flip::horizontal};
    case 6:
      return {Rotation::quarter, Flip::none};
    case 7:
      return {Rotation::three_quarters, Flip::horizontal};
    case 8:
      return {Rotation::three_quarters, Flip::none};
    default:
      return {};
  }
}

Orientation followed_by(Orientation first, Orientation second) {
  // Each as quarter turns clockwise and then a mirror left to right or not; a vertical mirror is a
  // half turn and a horizontal one. A mirror and then a turn is the opposite turn and then the
  // mirror.
  const auto quarters = [](Orientation o) { return static_cast<int>(o.rotation) + (o.flip == Flip::vertical ? 2 : 0); };
  const bool first_mirrors = first.flip != Flip::none, second_mirrors = second.flip != Flip::none;
  const int turns = (quarters(first) + (first_mirrors ? 4 - quarters(second) : quarters(second))) % 4;
  return {static_cast<Rotation>(turns), first_mirrors != second_mirrors ? Flip::horizontal : Flip::none};
}

Rect source_rect(const Rect& rect, std::uint32_t width, std::uint32_t height, Orientation orientation) {
  const Point a = source_of(rect.x, rect.y, width, height, orientation.rotation, orientation.flip);
  const Point b = source_of(std::int64_t{rect.x} + rect.width - 1, std::int64_t{rect.y} + rect.height - 1, width,
                            height, orientation.rotation, orientation.flip);
  return {static_cast<std::uint32_t>(std::min(a.x, b.x)), static_cast<std::uint32_t>(std::min(a.y, b.y)),
          static_cast<std::uint32_t>(std::max(a.x, b.x) - std::min(a.x, b.x) + 1),
          static_cast<std::uint32_t>(std::max(a.y, b.y) - std::min(a.y, b.y) + 1)};
}

Orient::Orient(RegionSource& from, Rotation rotation, Flip flip, std::uint64_t most_pixels) : from_(from) {
  const bool turned = sideways(rotation);
  width_ = turned ? from.height() : from.width();
  height_ = turned ? from.width() : from.height();
  const std::int64_t w = from.width(), h = from.height();
  const Point origin = source_of(0, 0, w, h, rotation, flip);
  const Point right = source_of(1, 0, w, h, rotation, flip);
  const Point down = source_of(0, 1, w, h, rotation, flip);
  x0_ = origin.x;
  y0_ = origin.y;
  xi_ = right.x - origin.x;
  yi_ = right.y - origin.y;
  xj_ = down.x - origin.x;
  yj_ = down.y - origin.y;
  // A picture held in memory already is read a band of its columns at a time instead.
  whole_ = turned && !from.held();
  allocate(scratch_, whole_ ? product(from.width(), from.height()) : most_pixels);
}

void Orient::read(const Rect& rect, BgraQuad* out) {
  // The source rectangle under the result's: spanned by two opposite corners.
  const std::int64_t i0 = rect.x, j0 = rect.y, i1 = i0 + rect.width - 1, j1 = j0 + rect.height - 1;
  const std::int64_t xa = x0_ + xi_ * i0 + xj_ * j0, xb = x0_ + xi_ * i1 + xj_ * j1;
  const std::int64_t ya = y0_ + yi_ * i0 + yj_ * j0, yb = y0_ + yi_ * i1 + yj_ * j1;
  Rect source{static_cast<std::uint32_t>(std::min(xa, xb)), static_cast<std::uint32_t>(std::min(ya, yb)),
              static_cast<std::uint32_t>(std::max(xa, xb) - std::min(xa, xb) + 1),
              static_cast<std::uint32_t>(std::max(ya, yb) - std::min(ya, yb) + 1)};
  if (whole_) {
    source = {0, 0, from_.width(), from_.height()};
    if (!read_whole_) from_.read(source, scratch_.data());
    read_whole_ = true;
  } else {
    assert(std::size_t{source.width} * source.height <= scratch_.size());
    from_.read(source, scratch_.data());
  }
  // Steps through the scratch for one pixel to the right and one row down in the result.
  const std::int64_t stride = source.width;
  const std::int64_t step_i = xi_ + yi_ * stride, step_j = xj_ + yj_ * stride;
  const std::int64_t corner = (xa - source.x) + (ya - source.y) * stride;
  if (!whole_) {
    for (std::uint32_t j = 0; j < rect.height; ++j) {
      std::int64_t at = corner + step_j * j;
      for (std::uint32_t i = 0; i < rect.width; ++i, at += step_i) *out++ = scratch_[static_cast<std::size_t>(at)];
    }
    return;
  }
  // A result row is a column of the whole picture: walked down the result's columns instead, so
  // that the picture is read along its rows, and the band written to stays in the cache.
  for (std::uint32_t i = 0; i < rect.width; ++i) {
    std::int64_t at = corner + step_i * i;
    for (std::uint32_t j = 0; j < rect.height; ++j, at += step_j)
      out[std::size_t{j} * rect.width + i] = scratch_[static_cast<std::size_t>(at)];
  }
}
