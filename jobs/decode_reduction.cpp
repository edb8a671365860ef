#include "jobs/decode_reduction.h"

#include <algorithm>

std::uint32_t decode_reduction(std::uint32_t width, std::uint32_t height, const Transforms& transforms) {
  if (!transforms.resize) return 1;
  Rect kept{0, 0, width, height};
  if (const std::optional<Rect>& crop = transforms.crop) {
    if (crop->width == 0 || crop->height == 0 || crop->x > width || crop->y > height || crop->width > width - crop->x ||
        crop->height > height - crop->y)
      return 1;
    kept = *crop;
  }
  // The resize comes after the turn: a quarter turn makes the kept part's width its height.
  const bool quarter = transforms.rotation == Rotation::quarter || transforms.rotation == Rotation::three_quarters;
  const std::uint32_t across = quarter ? kept.height : kept.width, down = quarter ? kept.width : kept.height;
  const ResizeSize size = resize_size(across, down, *transforms.resize);
  if (size.width > largest_resize || size.height > largest_resize) return 1;  // the chain refuses it
  for (const std::uint32_t n : {8u, 4u, 2u}) {
    const bool divides = width % n == 0 && height % n == 0 && kept.x % n == 0 && kept.y % n == 0 &&
                         kept.width % n == 0 && kept.height % n == 0;
    if (!divides) continue;
    const FitPlan plan = plan_fit(across / n, down / n, *transforms.resize, transforms.fit);
    if (std::uint64_t{plan.kept.width} >= 2 * std::uint64_t{plan.placed.width} &&
        std::uint64_t{plan.kept.height} >= 2 * std::uint64_t{plan.placed.height})
      return n;
  }
  return 1;
}

Transforms reduced_transforms(const Transforms& transforms, std::uint32_t n) {
  Transforms reduced = transforms;
  if (reduced.crop)
    reduced.crop = Rect{reduced.crop->x / n, reduced.crop->y / n, reduced.crop->width / n, reduced.crop->height / n};
  return reduced;
}
