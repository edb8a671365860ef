#include "jobs/decode_reduction.h"

#include <algorithm>
#include <cstddef>

#include "transform/linear_to_srgb.h"

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

namespace {

// 256ths of a level by which the mean of four encoded values `sum` / 4 lies under the value whose
// light is the mean of theirs, `light` / 4: light is convex in the encoded value, so that the mean of
// the lights is never less than the light of the mean. The light of the mean is interpolated between
// the table's whole levels, and the difference of lights made levels by the curve's slope there.
std::uint64_t darkening(std::uint32_t sum, std::uint64_t light) {
  const std::uint32_t level = sum / 4, quarters = sum % 4;
  if (level == 255) return 0;
  const std::uint64_t below = linear_of(static_cast<std::uint8_t>(level));
  const std::uint64_t slope = linear_of(static_cast<std::uint8_t>(level + 1)) - below;
  const std::uint64_t of_mean = 4 * below + slope * quarters;  // in quarters, as `light` is
  return light > of_mean ? (light - of_mean) * 256 / (4 * slope) : 0;
}

}  // namespace

bool reduction_darkens_detail(std::span<const std::uint8_t> quads, std::uint32_t width, std::uint32_t height,
                              std::size_t stride) {
  std::uint64_t total = 0, samples = 0;
  for (std::uint32_t y = 0; y + 1 < height; y += 2) {
    const std::uint8_t* top = quads.data() + std::size_t{y} * stride;
    const std::uint8_t* bottom = top + stride;
    for (std::uint32_t x = 0; x + 1 < width; x += 2) {
      for (std::size_t c = 0; c < 3; ++c) {
        const std::uint8_t v[4] = {top[x * 4 + c], top[x * 4 + 4 + c], bottom[x * 4 + c], bottom[x * 4 + 4 + c]};
        std::uint32_t sum = 0;
        std::uint64_t light = 0;
        for (const std::uint8_t e : v) {
          sum += e;
          light += linear_of(e);
        }
        total += darkening(sum, light);
      }
      samples += 3;
    }
  }
  // Over 0.1 of a level, in 256ths.
  return samples != 0 && total * 10 > samples * 256;
}

PictureLoad load_for_transforms(const std::function<PictureLoad(const DecodeReduction&)>& load,
                                const Transforms& transforms) {
  PictureLoad loaded = load([&](std::uint32_t width, std::uint32_t height) -> std::uint32_t {
    const std::optional<Transforms> stored = in_stored_pixels(transforms, width, height);
    if (!stored || transforms.filter == ResizeFilter::nearest) return 1;
    return decode_reduction(width, height, *stored);
  });
  const LoadedPicture* reduced = std::get_if<LoadedPicture>(&loaded);
  if (reduced == nullptr || reduced->reduced() == 1 ||
      !reduction_darkens_detail(reduced->rows(), reduced->width(), reduced->height(), reduced->row_length()))
    return loaded;
  // Its fine detail would come out darker than a resize in light makes it. The reduced picture is
  // let go first, so that the two are never held together.
  loaded = Failure{};
  return load({});
}
