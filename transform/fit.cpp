#include "transform/fit.h"

#include <algorithm>
#include <cassert>

namespace {

// length * times / per, to the nearest whole pixel and at least one.
std::uint32_t scaled(std::uint64_t length, std::uint64_t times, std::uint64_t per) {
  return static_cast<std::uint32_t>(std::max<std::uint64_t>(1, (2 * length * times + per) / (2 * per)));
}

}  // namespace

FitPlan plan_fit(std::uint32_t width, std::uint32_t height, ResizeTo to, Fit fit) {
  assert(to.width > 0 || to.height > 0);
  if (to.height == 0) to.height = scaled(height, to.width, width);
  if (to.width == 0) to.width = scaled(width, to.height, height);
  FitPlan plan{{0, 0, width, height}, {0, 0, to.width, to.height}, to.width, to.height};
  // Which way the picture is wider than the canvas, in proportion.
  const std::uint64_t across = std::uint64_t{width} * to.height, down = std::uint64_t{height} * to.width;
  if (fit == Fit::contain && across != down) {
    if (across > down) {
      plan.placed.height = std::min(to.height, scaled(height, to.width, width));
    } else {
      plan.placed.width = std::min(to.width, scaled(width, to.height, height));
    }
    plan.placed.x = (to.width - plan.placed.width) / 2;
    plan.placed.y = (to.height - plan.placed.height) / 2;
  }
  if (fit == Fit::cover && across != down) {
    if (across > down) {
      plan.kept.width = std::min(width, scaled(height, to.width, to.height));
    } else {
      plan.kept.height = std::min(height, scaled(width, to.height, to.width));
    }
    plan.kept.x = (width - plan.kept.width) / 2;
    plan.kept.y = (height - plan.kept.height) / 2;
  }
  return plan;
}
