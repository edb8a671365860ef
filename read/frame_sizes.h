// The frame sizes a raw 16-bit image of a given length could be, for a user who does not know the
// size of a dump, or gave the wrong one: every width x height whose words fill the length exactly,
// the sizes of common panels first, then the other plausible ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct FrameSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  friend bool operator==(const FrameSize&, const FrameSize&) = default;
};

// The sizes of the panels raw images are most often made for, the most common first.
std::span<const FrameSize> common_frame_sizes();

// At most `most` sizes whose width * height * 2 is `bytes`. Common panels (320 x 240, 240 x 320,
// 480 x 272 and so on) come first, in the order of their list; then sizes between 1:4 and 4:1,
// widths that are a multiple of 8 first, each group from the squarest, the wider before the taller.
// None for an odd or empty length, or one past a raw image's 4 GiB.
std::vector<FrameSize> frame_sizes_of(std::uint64_t bytes, std::size_t most = 6);
