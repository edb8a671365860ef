// The proof sheet of a glyph set made here, read back with the platform's PNG decoder: its size and
// the grey of each kind of pixel, worked by hand from the glyphs' boxes, the pen's advances and the
// quarter-em margin (2 pixels at an em of 8).
#include "containers/font_sheet.h"

#include <gtest/gtest.h>

#include <variant>

#include "codecs/image_codecs.h"

namespace {

TEST(FontSheet, LaysTheGlyphsOnALineAsTextWithTheirInkInGrey) {
  GlyphSet set;
  set.bpp = 2;
  set.size_px = 8;
  set.line_height = 10;
  set.baseline = 8;
  // 'a': 2 x 3 levels, a pixel right of the pen, its top 3 rows above the baseline; then a space;
  // then 'b': one pixel on the top row of the line.
  set.glyphs = {{U'a', 0, 2, 3, 1, 3, 4 * 16}, {U' ', 6, 0, 0, 0, 0, 3 * 16}, {U'b', 6, 1, 1, 0, 8, 2 * 16}};
  set.levels = {3, 0, 1, 2, 3, 3, 3};
  const std::optional<std::vector<std::uint8_t>> png = font_sheet(set);
  ASSERT_TRUE(png.has_value());
  std::variant<CodecPicture, Failure> decoded = decode_with_codecs(*png, std::uint64_t{1} << 32);
  const CodecPicture* picture = std::get_if<CodecPicture>(&decoded);
  ASSERT_NE(picture, nullptr) << std::get<Failure>(decoded).reason;
  // The pen ends at 4 + 3 + 2 = 9 pixels on a line of 10, with 2 pixels of margin round them.
  ASSERT_EQ(picture->width, 13u);
  ASSERT_EQ(picture->height, 14u);
  const auto grey = [&](std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* quad = picture->quads.get() + 4 * (std::size_t{y} * picture->width + x);
    EXPECT_TRUE(quad[0] == quad[1] && quad[1] == quad[2]) << x << "," << y;
    return int{quad[0]};
  };
  struct Pixel {
    std::uint32_t x, y;
    int grey;
  };
  // 'a' from (2 + 1, 2 + 8 - 3); 'b' at (2 + 7, 2 + 0). Levels 0 to 3 are white, 170, 85 and black.
  const Pixel pixels[] = {{3, 7, 0},   {4, 7, 255}, {3, 8, 170}, {4, 8, 85},  {3, 9, 0},    {4, 9, 0},     {9, 2, 0},
                          {0, 0, 255}, {2, 7, 255}, {5, 7, 255}, {3, 6, 255}, {3, 10, 255}, {12, 13, 255}, {8, 2, 255}};
  for (const Pixel& p : pixels) EXPECT_EQ(grey(p.x, p.y), p.grey) << p.x << "," << p.y;
  int inked = 0;
  for (std::uint32_t y = 0; y < picture->height; ++y) {
    for (std::uint32_t x = 0; x < picture->width; ++x) inked += grey(x, y) != 255;
  }
  EXPECT_EQ(inked, 6);
}

}  // namespace
