// pack's tiles: the order they come in, what a C header says of them, and the pictures that are no
// whole number of them.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "jobs/pack.h"
#include "testing/c_array_text.h"
#include "testing/outcome_text.h"
#include "testing/test_files.h"

namespace {

// A top-down BMP of grey pixels whose level names their place: 16 * y + x. gray8 packs a grey pixel
// as its own level.
Bytes named_pixels(std::int32_t width, std::int32_t height) {
  return make_bmp({.width = width, .height = -height}, [](std::int32_t x, std::int32_t y) {
    const auto v = static_cast<std::uint8_t>(16 * y + x);
    return BgrTriple{v, v, v};
  });
}

// gray8 in tiles of width x height, after `transforms`.
PackOptions gray8_tiles(std::uint32_t width, std::uint32_t height, Transforms transforms = {}) {
  PackOptions options;
  options.switches.codecs = true;
  options.switches.stream = true;
  options.pixel_format = PixelFormat::gray8;
  options.tiles = TileSize{width, height};
  options.transforms = transforms;
  return options;
}

struct Packed {
  Outcome outcome;
  std::optional<Bytes> output;
};

Packed pack_named_pixels(std::int32_t width, std::int32_t height, const PackOptions& options) {
  TempDir dir;
  write_file(dir.file("in.bmp"), named_pixels(width, height));
  JobProgress quiet;
  Outcome outcome = pack({dir.file("in.bmp"), dir.file("out")}, options, quiet);
  return {std::move(outcome), read_file(dir.file("out"))};
}

Transforms cropped(Rect crop) {
  Transforms transforms;
  transforms.crop = crop;
  return transforms;
}

Transforms turned(Rotation rotation) {
  Transforms transforms;
  transforms.rotation = rotation;
  return transforms;
}

struct Order {
  const char* name;
  std::int32_t width, height;
  PackOptions options;
  Bytes expected;
};

void PrintTo(const Order& c, std::ostream* out) { *out << c.name; }

class PackTiles : public testing::TestWithParam<Order> {};

TEST_P(PackTiles, ComeLeftToRightThenTopToBottom) {
  const Order& c = GetParam();
  const Packed packed = pack_named_pixels(c.width, c.height, c.options);
  ASSERT_TRUE(packed.outcome.done()) << outcome_text(packed.outcome);
  EXPECT_EQ(packed.output, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, PackTiles,
    testing::Values(
        Order{"TwoByTwo", 4, 4, gray8_tiles(2, 2), {0, 1, 16, 17, 2, 3, 18, 19, 32, 33, 48, 49, 34, 35, 50, 51}},
        Order{"OneRowOfTiles", 6, 2, gray8_tiles(2, 2), {0, 1, 16, 17, 2, 3, 18, 19, 4, 5, 20, 21}},
        Order{"OneColumnOfTiles", 2, 4, gray8_tiles(2, 2), {0, 1, 16, 17, 32, 33, 48, 49}},
        Order{"WholePictureOneTile", 3, 2, gray8_tiles(3, 2), {0, 1, 2, 16, 17, 18}},
        Order{"RowsOfPixels", 2, 3, gray8_tiles(2, 1), {0, 1, 16, 17, 32, 33}},
        // Cut after the transforms: the crop keeps x 1 to 4 of rows 1 and 2.
        Order{"AfterACrop", 6, 4, gray8_tiles(2, 2, cropped({1, 1, 4, 2})), {17, 18, 33, 34, 19, 20, 35, 36}},
        // Turned a quarter clockwise, the top row of the 2 x 4 picture is its bottom-left column.
        Order{"AfterARotation", 4, 2, gray8_tiles(2, 2, turned(Rotation::quarter)), {16, 0, 17, 1, 18, 2, 19, 3}}),
    [](const testing::TestParamInfo<Order>& param_info) { return std::string(param_info.param.name); });

TEST(PackTiles, CHeaderGivesTheTileSizeAndCount) {
  PackOptions options = gray8_tiles(2, 2);
  options.container = ContainerKind::c_bytes;
  options.c_array = "sprites";
  const Packed packed = pack_named_pixels(6, 4, options);
  ASSERT_TRUE(packed.outcome.done()) << outcome_text(packed.outcome);
  const Bytes bytes = packed.output.value_or(Bytes{});
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(c_define(text, "sprites_width"), 2u);
  EXPECT_EQ(c_define(text, "sprites_height"), 2u);
  EXPECT_EQ(c_define(text, "sprites_tiles"), 6u);
  const std::optional<CArrayText> array = parse_c_array(text);
  ASSERT_TRUE(array) << text;
  EXPECT_EQ(array->bytes,
            (Bytes{0, 1, 16, 17, 2, 3, 18, 19, 4, 5, 20, 21, 32, 33, 48, 49, 34, 35, 50, 51, 36, 37, 52, 53}));
}

TEST(PackTiles, RefusedWhenThePictureIsNoWholeNumberOfThem) {
  const auto rgb565_tiles = [](std::uint32_t width, std::uint32_t height) {
    PackOptions options = gray8_tiles(width, height);
    options.pixel_format = PixelFormat::rgb565;
    return options;
  };
  PackOptions mono1_pages = gray8_tiles(5, 7);
  mono1_pages.pixel_format = PixelFormat::mono1;
  mono1_pages.pages = true;
  const struct {
    PackOptions options;
    std::string told;
  } cases[] = {
      {rgb565_tiles(4, 3),
       "Unsupported picture: the picture's 10 x 7 pixels are not a whole number of 4 x 3 tiles: --crop 8x6 keeps 2 x "
       "2 of them, or --resize 12x9 --fit contain makes 3 x 3"},
      {rgb565_tiles(16, 16),
       "Unsupported picture: the picture's 10 x 7 pixels are not a whole number of 16 x 16 tiles: --resize 16x16 "
       "--fit contain makes 1 x 1"},
      {mono1_pages, "Unsupported picture: mono1's 8-row pages need tiles a multiple of 8 rows high, not 7"},
  };
  for (const auto& c : cases) {
    const Packed packed = pack_named_pixels(10, 7, c.options);
    EXPECT_EQ(outcome_text(packed.outcome), c.told);
    EXPECT_FALSE(packed.output.has_value()) << c.told;
  }
}

}  // namespace
