// pack lays a picture upright as its EXIF orientation says, for each of the eight orientations, from
// PNGs (exact) and JPEGs (flat blocks, within the codecs' rounding) that Pillow wrote with the
// upright picture stored as a camera stores it (orientation-tests/make.py); a PNG read in bands
// when streaming is laid upright too, and --orientation stored keeps the stored pixels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <variant>

#include "codecs/image_codecs.h"
#include "jobs/pack.h"
#include "testing/test_files.h"

namespace {

std::string picture(int orientation, const char* extension) {
  return std::string(ORIENTATION_TESTS) + "/orientation-" + std::to_string(orientation) + extension;
}

// pack into argb8888 (bytes B G R A a pixel), or nothing when it failed.
std::optional<Bytes> packed(const std::string& input, PackOptions options) {
  TempDir dir;
  options.codecs = true;
  options.pixel_format = PixelFormat::argb8888;
  JobProgress quiet;
  const Outcome outcome = pack({input, dir.file("out")}, options, quiet);
  EXPECT_TRUE(outcome.done()) << outcome.reason;
  if (!outcome.done()) return std::nullopt;
  return read_file(dir.file("out"));
}

class PackOrientation : public testing::TestWithParam<int> {};

// Upright, the PNG is 5 x 3 with pixel (x, y) red 40x + 20, green 50y + 30, blue 77.
TEST_P(PackOrientation, PngComesOutUpright) {
  for (const bool stream : {false, true}) {
    PackOptions options;
    options.stream = stream;
    options.band_rows = 1;
    const std::optional<Bytes> out = packed(picture(GetParam(), ".png"), options);
    ASSERT_TRUE(out.has_value());
    ASSERT_EQ(out->size(), std::size_t{5 * 3 * 4});
    for (std::uint32_t y = 0; y < 3; ++y) {
      for (std::uint32_t x = 0; x < 5; ++x) {
        const std::uint8_t* p = out->data() + (y * 5 + x) * 4;
        EXPECT_EQ((Bytes{p, p + 4}),
                  (Bytes{77, static_cast<std::uint8_t>(50 * y + 30), static_cast<std::uint8_t>(40 * x + 20), 255}))
            << "stream " << stream << " at " << x << ", " << y;
      }
    }
  }
}

// Upright, the JPEG is 4 x 3 blocks of 8 x 8, block (x, y) red 60x + 20, green 90y + 30, blue 128.
TEST_P(PackOrientation, JpegComesOutUpright) {
  const std::optional<Bytes> out = packed(picture(GetParam(), ".jpg"), {});
  ASSERT_TRUE(out.has_value());
  ASSERT_EQ(out->size(), std::size_t{32 * 24 * 4});
  for (std::uint32_t by = 0; by < 3; ++by) {
    for (std::uint32_t bx = 0; bx < 4; ++bx) {
      const std::uint8_t* p = out->data() + ((by * 8 + 4) * 32 + bx * 8 + 4) * 4;
      EXPECT_LE(std::abs(p[0] - 128), 3) << bx << ", " << by;
      EXPECT_LE(std::abs(p[1] - static_cast<int>(90 * by + 30)), 3) << bx << ", " << by;
      EXPECT_LE(std::abs(p[2] - static_cast<int>(60 * bx + 20)), 3) << bx << ", " << by;
    }
  }
}

// The crop is the upright picture's, also when the JPEG is decoded at a reduced scale for the
// resize (the crop 16 x 16 from 8, 8 keeps the middle blocks, and every side divides by 4): every
// orientation gives what the upright file gives.
TEST_P(PackOrientation, ReducedDecodeCropsTheUprightPicture) {
  PackOptions options;
  options.transforms.crop = Rect{8, 8, 16, 16};
  options.transforms.resize = ResizeTo{2, 2};
  const std::optional<Bytes> upright = packed(picture(1, ".jpg"), options);
  const std::optional<Bytes> out = packed(picture(GetParam(), ".jpg"), options);
  ASSERT_TRUE(upright && out);
  ASSERT_EQ(out->size(), upright->size());
  for (std::size_t i = 0; i < out->size(); ++i) EXPECT_LE(std::abs((*out)[i] - (*upright)[i]), 4) << i;
}

INSTANTIATE_TEST_SUITE_P(Orientations, PackOrientation, testing::Range(1, 9));

// Orientation 6 is stored as the upright picture turned a quarter anticlockwise: 3 x 5, its top
// left pixel the upright picture's top right one (red 180, green 30).
TEST(PackOrientation, StoredKeepsTheFilesPixels) {
  PackOptions options;
  options.upright = false;
  const std::optional<Bytes> out = packed(picture(6, ".png"), options);
  ASSERT_TRUE(out.has_value());
  ASSERT_EQ(out->size(), std::size_t{3 * 5 * 4});
  EXPECT_EQ((Bytes{out->begin(), out->begin() + 4}), (Bytes{77, 30, 180, 255}));
}

// A C header gives the upright picture's size.
TEST(PackOrientation, CHeaderNamesTheUprightSize) {
  TempDir dir;
  PackOptions options;
  options.codecs = true;
  options.container = ContainerKind::c_words;
  options.c_array = "photo";
  JobProgress quiet;
  const Outcome outcome = pack({picture(8, ".png"), dir.file("photo.h")}, options, quiet);
  ASSERT_TRUE(outcome.done()) << outcome.reason;
  const std::optional<Bytes> header = read_file(dir.file("photo.h"));
  ASSERT_TRUE(header.has_value());
  const std::string text(header->begin(), header->end());
  EXPECT_NE(text.find("photo_width 5\n"), std::string::npos) << text;
  EXPECT_NE(text.find("photo_height 3\n"), std::string::npos) << text;
}

}  // namespace

namespace {

// The platform's codecs give the stored pixels (Qt's reader is told not to turn them; WIC does not):
// pack alone lays them upright, alike on both builds.
TEST(PackOrientation, CodecsGiveTheStoredPixels) {
  const std::optional<Bytes> jpeg = read_file(picture(6, ".jpg"));
  ASSERT_TRUE(jpeg.has_value());
  const std::variant<CodecPicture, CodecFailure> decoded = decode_with_codecs(*jpeg, 1u << 20);
  ASSERT_TRUE(std::holds_alternative<CodecPicture>(decoded));
  EXPECT_EQ(std::get<CodecPicture>(decoded).width, 24u);
  EXPECT_EQ(std::get<CodecPicture>(decoded).height, 32u);
}

}  // namespace
