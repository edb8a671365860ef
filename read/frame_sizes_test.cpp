// The sizes a raw image's length fits, worked out by hand from the length's divisors.
#include "read/frame_sizes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

// Beside FrameSize, where GoogleTest looks for it, so that a failure shows sizes as WxH.
void PrintTo(const FrameSize& size, std::ostream* out) { *out << size.width << "x" << size.height; }

namespace {

struct SizesCase {
  const char* name;
  std::uint64_t bytes;
  std::size_t most;
  std::vector<FrameSize> sizes;
};
void PrintTo(const SizesCase& c, std::ostream* out) { *out << c.name; }

class FrameSizes : public testing::TestWithParam<SizesCase> {};

TEST_P(FrameSizes, AreTheLengthsDivisorsInOrder) {
  EXPECT_EQ(frame_sizes_of(GetParam().bytes, GetParam().most), GetParam().sizes);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, FrameSizes,
    testing::Values(
        // 76,800 pixels: the two panels, then 256 x 300 (1.17:1), 384 x 200 and 200 x 384 (1.92:1), 400 x 192.
        SizesCase{"Qvga", 153'600, 6, {{320, 240}, {240, 320}, {256, 300}, {384, 200}, {200, 384}, {400, 192}}},
        // 73,840 pixels: Talvose's frame, wider than 4:1 but a panel; then 208 and 520, multiples of 8, before
        // the squarer 284 x 260.
        SizesCase{"TalvoseFrame", 147'680, 6, {{568, 130}, {208, 355}, {520, 142}, {284, 260}, {260, 284}, {355, 208}}},
        // 500 pixels: 25 x 20 alone is within 4:1; neither width is a multiple of 8, the wider comes first.
        SizesCase{"NoPanel", 1000, 6, {{25, 20}, {20, 25}}},
        // 16,384 pixels: the square panel, then 256 x 64 at exactly 4:1.
        SizesCase{"Square", 32'768, 6, {{128, 128}, {256, 64}, {64, 256}}}, SizesCase{"OnePixel", 2, 6, {{1, 1}}},
        SizesCase{"CutToTheMost", 261'120, 2, {{480, 272}, {272, 480}}},
        // 1009 is prime: only 1009 x 1, far past 4:1.
        SizesCase{"PrimeStrip", 2018, 6, {}}, SizesCase{"OddLength", 1001, 6, {}}, SizesCase{"Empty", 0, 6, {}},
        SizesCase{"Past4GiB", 0x1'0000'0000 + 2, 6, {}}),
    [](const testing::TestParamInfo<SizesCase>& c) { return std::string(c.param.name); });

}  // namespace
