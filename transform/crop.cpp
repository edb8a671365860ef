#include "transform/crop.h"

#include <cassert>
#include <cstdint>

bool crop_fits(const Rect& rect, std::uint32_t width, std::uint32_t height) {
  return rect.width > 0 && rect.height > 0 && std::uint64_t{rect.x} + rect.width <= width &&
         std::uint64_t{rect.y} + rect.height <= height;
}

Crop::Crop(RegionSource& from, const Rect& kept) : from_(from), kept_(kept) {
  assert(crop_fits(kept, from.width(), from.height()));
}

void Crop::read(const Rect& rect, BgraQuad* out) {
  from_.read({kept_.x + rect.x, kept_.y + rect.y, rect.width, rect.height}, out);
}
