// pack lays a picture upright as its EXIF orientation says, for each of the eight, from PNGs (exact,
// read whole and in bands) and JPEGs (flat blocks, within the codecs' rounding) that Pillow wrote,
// storing one upright picture as a camera stores it (orientation-tests/make.py).
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "jobs/pack.h"
#include "testing/test_files.h"

namespace {

std::string picture(int orientation, const char* extension) {
  return std::string(ORIENTATION_TESTS) + "/orientation-" + std::to_string(orientation) + extension;
}

// pack into argb8888 (bytes B G R A a pixel).
Bytes packed(const std::string& input, PackOptions options) {
  TempDir dir;
  options.switches.codecs = true;
  options.pixel_format = PixelFormat::argb8888;
  options.switches.band_rows = 1;
  JobProgress quiet;
  const Outcome outcome = pack({input, dir.file("out")}, options, quiet);
  EXPECT_TRUE(outcome.done()) << outcome.reason;
  return read_file(dir.file("out")).value_or(Bytes{});
}

class PackOrientation : public testing::TestWithParam<int> {};

// Upright, the PNG is 5 x 3, pixel (x, y) red 40x + 20, green 50y + 30, blue 77; the JPEG 4 x 3
// blocks of 8 x 8, block (x, y) red 60x + 20, green 90y + 30, blue 128.
TEST_P(PackOrientation, ComesOutUpright) {
  for (const bool stream : {false, true}) {
    PackOptions options;
    options.switches.stream = stream;
    const Bytes png = packed(picture(GetParam(), ".png"), options);
    ASSERT_EQ(png.size(), std::size_t{5 * 3 * 4});
    for (std::uint32_t i = 0; i < 15; ++i)
      EXPECT_EQ(
          (Bytes(png.begin() + 4 * i, png.begin() + 4 * i + 4)),
          (Bytes{77, static_cast<std::uint8_t>(50 * (i / 5) + 30), static_cast<std::uint8_t>(40 * (i % 5) + 20), 255}))
          << "stream " << stream << ", pixel " << i;
  }
  const Bytes jpeg = packed(picture(GetParam(), ".jpg"), {});
  ASSERT_EQ(jpeg.size(), std::size_t{32 * 24 * 4});
  for (int block = 0; block < 12; ++block) {
    const int bx = block % 4, by = block / 4;
    const std::uint8_t* p = jpeg.data() + ((by * 8 + 4) * 32 + bx * 8 + 4) * 4;
    EXPECT_LE(std::abs(p[0] - 128) + std::abs(p[1] - (90 * by + 30)) + std::abs(p[2] - (60 * bx + 20)), 6) << block;
  }
}

// The crop is the upright picture's, also when the JPEG is decoded at a reduced scale for the
// resize (the middle 16 x 16, every side dividing by 4): each orientation gives what 1 gives.
TEST_P(PackOrientation, ReducedDecodeCropsTheUprightPicture) {
  PackOptions options;
  options.transforms.crop = Rect{8, 8, 16, 16};
  options.transforms.resize = ResizeTo{2, 2};
  const Bytes upright = packed(picture(1, ".jpg"), options), out = packed(picture(GetParam(), ".jpg"), options);
  ASSERT_EQ(out.size(), std::size_t{2 * 2 * 4});
  for (std::size_t i = 0; i < out.size(); ++i) EXPECT_LE(std::abs(out[i] - upright[i]), 4) << i;
}

INSTANTIATE_TEST_SUITE_P(Orientations, PackOrientation, testing::Range(1, 9));

}  // namespace
