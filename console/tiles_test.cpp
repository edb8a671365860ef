// pack --tiles: the order the tiles come in, what a C header says of them, and the refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/c_array_text.h"
#include "testing/console_run.h"
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

struct Order {
  const char* name;
  std::int32_t width, height;
  std::vector<std::string> options;
  Bytes expected;
};

void PrintTo(const Order& c, std::ostream* out) { *out << c.name; }

class PackTiles : public testing::TestWithParam<Order> {};

TEST_P(PackTiles, ComeLeftToRightThenTopToBottom) {
  const Order& c = GetParam();
  TempDir dir;
  write_file(dir.file("in.bmp"), named_pixels(c.width, c.height));
  std::vector<std::string> arguments = {"pack", "--format", "gray8"};
  arguments.insert(arguments.end(), c.options.begin(), c.options.end());
  arguments.insert(arguments.end(), {dir.file("in.bmp"), dir.file("out.bin")});
  const Rgb565Run run = rgb565(arguments);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(read_file(dir.file("out.bin")), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, PackTiles,
    testing::Values(
        Order{"TwoByTwo", 4, 4, {"--tiles", "2x2"}, {0, 1, 16, 17, 2, 3, 18, 19, 32, 33, 48, 49, 34, 35, 50, 51}},
        Order{"OneRowOfTiles", 6, 2, {"--tiles", "2x2"}, {0, 1, 16, 17, 2, 3, 18, 19, 4, 5, 20, 21}},
        Order{"OneColumnOfTiles", 2, 4, {"--tiles", "2x2"}, {0, 1, 16, 17, 32, 33, 48, 49}},
        Order{"WholePictureOneTile", 3, 2, {"--tiles", "3x2"}, {0, 1, 2, 16, 17, 18}},
        Order{"RowsOfPixels", 2, 3, {"--tiles", "2x1"}, {0, 1, 16, 17, 32, 33}},
        // Cut after the transforms: the crop keeps x 1 to 4 of rows 1 and 2.
        Order{"AfterACrop", 6, 4, {"--crop", "4x2+1+1", "--tiles", "2x2"}, {17, 18, 33, 34, 19, 20, 35, 36}},
        // Turned a quarter clockwise, the top row of the 2 x 4 picture is its bottom-left column.
        Order{"AfterARotation", 4, 2, {"--rotate", "90", "--tiles", "2x2"}, {16, 0, 17, 1, 18, 2, 19, 3}}),
    [](const testing::TestParamInfo<Order>& param_info) { return std::string(param_info.param.name); });

TEST(PackTiles, CHeaderGivesTheTileSizeAndCount) {
  TempDir dir;
  write_file(dir.file("in.bmp"), named_pixels(6, 4));
  const Rgb565Run run = rgb565(
      {"pack", "--format", "gray8", "--tiles", "2x2", "--c-array", "sprites", dir.file("in.bmp"), dir.file("out.h")});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string text = [&] {
    const Bytes bytes = read_file(dir.file("out.h")).value_or(Bytes{});
    return std::string(bytes.begin(), bytes.end());
  }();
  EXPECT_EQ(c_define(text, "sprites_width"), 2u);
  EXPECT_EQ(c_define(text, "sprites_height"), 2u);
  EXPECT_EQ(c_define(text, "sprites_tiles"), 6u);
  const std::optional<CArrayText> array = parse_c_array(text);
  ASSERT_TRUE(array) << text;
  EXPECT_EQ(array->bytes,
            (Bytes{0, 1, 16, 17, 2, 3, 18, 19, 4, 5, 20, 21, 32, 33, 48, 49, 34, 35, 50, 51, 36, 37, 52, 53}));
}

TEST(PackTiles, RefusedWhenThePictureIsNoWholeNumberOfThem) {
  const struct {
    std::vector<std::string> options;
    std::string reason;
  } cases[] = {
      {{"--tiles", "4x3"},
       "Unsupported picture: the picture's 10 x 7 pixels are not a whole number of 4 x 3 tiles: --crop 8x6 keeps 2 x "
       "2 of them, or --resize 12x9 --fit contain makes 3 x 3"},
      {{"--tiles", "16x16"},
       "Unsupported picture: the picture's 10 x 7 pixels are not a whole number of 16 x 16 tiles: --resize 16x16 "
       "--fit contain makes 1 x 1"},
      {{"--format", "mono1", "--scan", "pages", "--tiles", "5x7"},
       "Unsupported picture: mono1's 8-row pages need tiles a multiple of 8 rows high, not 7"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir.file("in.bmp"), named_pixels(10, 7));
    std::vector<std::string> arguments = {"pack"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.insert(arguments.end(), {dir.file("in.bmp"), dir.file("out.bin")});
    const Rgb565Run run = rgb565(arguments);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "rgb565: " + dir.file("in.bmp") + ": " + c.reason + "\n");
    EXPECT_FALSE(file_exists(dir.file("out.bin")));
  }
}

TEST(PackTiles, NotWithLvglNorWithoutASize) {
  for (const std::vector<std::string>& usage : std::vector<std::vector<std::string>>{
           {"pack", "--tiles", "2x2", "--lvgl", "in.bmp", "out.bin"},
           {"pack", "--tiles", "2x2+1+1", "in.bmp", "out.bin"},
           {"pack", "--tiles", "0x2", "in.bmp", "out.bin"},
       })
    EXPECT_EQ(rgb565(usage).code, 2) << testing::PrintToString(usage);
}

}  // namespace
