#include "read/frame_sizes.h"

#include <algorithm>

namespace {

// Displays a raw image is most often made for, landscape before portrait, the most common first.
constexpr FrameSize common_panels[] = {
    {320, 240}, {240, 320},  {480, 272},  {272, 480},  {800, 480}, {480, 800}, {128, 160}, {160, 128},
    {135, 240}, {240, 135},  {128, 128},  {240, 240},  {128, 64},  {64, 128},  {172, 320}, {320, 172},
    {480, 320}, {320, 480},  {160, 80},   {80, 160},   {280, 240}, {240, 280}, {640, 480}, {480, 640},
    {800, 600}, {1024, 600}, {600, 1024}, {1280, 800}, {568, 130},
};

// Whether a's long side is a smaller multiple of its short side than b's, by cross-multiplying.
bool squarer(const FrameSize& a, const FrameSize& b) {
  const std::uint64_t a_long = std::max(a.width, a.height), a_short = std::min(a.width, a.height);
  const std::uint64_t b_long = std::max(b.width, b.height), b_short = std::min(b.width, b.height);
  return a_long * b_short < b_long * a_short;
}

}  // namespace

std::span<const FrameSize> common_frame_sizes() { return common_panels; }

std::vector<FrameSize> frame_sizes_of(std::uint64_t bytes, std::size_t most) {
  std::vector<FrameSize> sizes;
  // A raw image's length is a 32-bit count (see raw_image_size), which also keeps the search short.
  if (bytes == 0 || bytes % 2 != 0 || bytes > UINT32_MAX) return sizes;
  const std::uint64_t pixels = bytes / 2;
  for (const FrameSize& panel : common_panels) {
    if (std::uint64_t{panel.width} * panel.height == pixels && sizes.size() < most) sizes.push_back(panel);
  }
  // Each divisor up to the square root gives a pair of sizes. Past 4:1 a frame is more likely a
  // strip of several pictures, or not a picture at all, so those are left out.
  std::vector<FrameSize> others;
  for (std::uint64_t side = 1; side * side <= pixels; ++side) {
    if (pixels % side != 0 || pixels / side > side * 4) continue;
    const auto short_side = static_cast<std::uint32_t>(side);
    const auto long_side = static_cast<std::uint32_t>(pixels / side);
    for (const FrameSize size : {FrameSize{long_side, short_side}, FrameSize{short_side, long_side}}) {
      const bool listed = std::find(sizes.begin(), sizes.end(), size) != sizes.end() ||
                          std::find(others.begin(), others.end(), size) != others.end();
      if (!listed) others.push_back(size);
    }
  }
  std::stable_sort(others.begin(), others.end(), [](const FrameSize& a, const FrameSize& b) {
    if ((a.width % 8 == 0) != (b.width % 8 == 0)) return a.width % 8 == 0;
    if (squarer(a, b) || squarer(b, a)) return squarer(a, b);
    return a.width > b.width;
  });
  for (const FrameSize& size : others) {
    if (sizes.size() == most) break;
    sizes.push_back(size);
  }
  return sizes;
}
