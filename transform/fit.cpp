#include "transform/fit.h"

#include <algorithm>
#include <cassert>

namespace {

// length * times / per, to the nearest whole pixel and at least one, in 64 bits: a side worked out
// from a picture's proportions may be far longer than 32 bits hold, and is checked, never wrapped.
std::uint64_t scaled(std::uint64_t length, std::uint64_t times, std::uint64_t per) {
  return std::max<std::uint64_t>(1, (2 * length * times + per) / (2 * per));
}

std::uint32_t at_most(std::uint32_t bound, std::uint64_t length) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(bound, length));
}

}  // namespace

ResizeSize resize_size(std::uint32_t width, std::uint32_t height, ResizeTo to) {
  assert(to.width > 0 || to.height > 0);
  return {to.width != 0 ? to.width : scaled(width, to.height, height),
          to.height != 0 ? to.height : scaled(height, to.width, width)};
}

FitPlan plan_fit(std::uint32_t width, std::uint32_t height, ResizeTo to, Fit fit) {
  const ResizeSize size = resize_size(width, height, to);
  assert(size.width <= UINT32_MAX && size.height <= UINT32_MAX);
  to = {static_cast<std::uint32_t>(size.width), static_cast<std::uint32_t>(size.height)};
  FitPlan plan{{0, 0, width, height}, {0, 0, to.width, to.height}, to.width, to.height};
  // Which way the picture is wider than the canvas, in proportion.
  const std::uint64_t across = std::uint64_t{width} * to.height, down = std::uint64_t{height} * to.width;
  if (fit == Fit::contain && across != down) {
    if (across > down) {
      plan.placed.height = at_most(to.height, scaled(height, to.width, width));
    } else {
      plan.placed.width = at_most(to.width, scaled(width, to.height, height));
    }
    plan.placed.x = (to.width - plan.placed.width) / 2;
    plan.placed.y = (to.height - plan.placed.height) / 2;
  }
  if (fit == Fit::cover && across != down) {
    if (across > down) {
      plan.kept.width = at_most(width, scaled(height, to.width, to.height));
    } else {
      plan.kept.height = at_most(height, scaled(width, to.height, to.width));
    }
    plan.kept.x = (width - plan.kept.width) / 2;
    plan.kept.y = (height - plan.kept.height) / 2;
  }
  return plan;
}
