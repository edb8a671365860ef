// Dithering against patterns worked out by hand from the rules at the top of dither.h.
#include "format/dither.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace {

using Levels = std::vector<std::vector<int>>;

struct Packed {
  Levels blue, green, red;
};

// Packs a width x height picture of pixel(x, y) (stored rows, no padding) and splits the words;
// whole, or with `band` > 0 a band of that many rows at a time.
template <typename Pixel>
Packed pack(std::uint32_t width, std::uint32_t height, Dither dither, Pixel pixel, bool reverse = false,
            std::uint32_t band = 0) {
  std::vector<std::uint8_t> rows;
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const BgrTriple p = pixel(x, y);
      rows.insert(rows.end(), {p.blue, p.green, p.red});
    }
  }
  std::vector<std::uint8_t> out(std::size_t{width} * height * 2);
  std::vector<std::int32_t> scratch(dither_scratch_size(width, dither));
  if (band == 0) {
    pack_rows_dithered(rows, width * 3, width, height, reverse, dialog_format, dither, scratch, out);
  } else {
    for (std::uint32_t first = 0; first < height; first += band) {
      const std::uint32_t count = std::min(band, height - first);
      pack_band_dithered(std::span(rows).subspan(std::size_t{first} * width * 3), width * 3, width, first, count, false,
                         dialog_format, dither, scratch,
                         std::span(out).subspan(std::size_t{first} * width * 2, std::size_t{count} * width * 2));
    }
  }
  Packed packed{Levels(height), Levels(height), Levels(height)};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const unsigned word = out[(y * width + x) * 2] | out[(y * width + x) * 2 + 1] << 8;
      packed.blue[y].push_back(static_cast<int>(word & 0x1F));
      packed.green[y].push_back(static_cast<int>(word >> 5 & 0x3F));
      packed.red[y].push_back(static_cast<int>(word >> 11));
    }
  }
  return packed;
}

// Blue and green rise by one per column: 0 to 7, a level of blue and two of green.
BgrTriple gradient(std::uint32_t x, std::uint32_t) {
  return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x), 0};
}

TEST(Dither, OrderedTurnsAGradientIntoTheBayerPattern) {
  // Blue x takes level 1 where x + B / 8 >= 8; B / 8 repeats every four rows (0 4 1 5 0 4 1 5, then
  // 6 2 7 3 ..., 1 5 0 4 ..., 7 3 6 2 ...).
  const Levels blue = {{0, 0, 0, 1, 0, 1, 0, 1}, {0, 0, 1, 0, 1, 0, 1, 1}, {0, 0, 0, 0, 0, 1, 0, 1},
                       {0, 0, 1, 0, 1, 1, 1, 1}, {0, 0, 0, 1, 0, 1, 0, 1}, {0, 0, 1, 0, 1, 0, 1, 1},
                       {0, 0, 0, 0, 0, 1, 0, 1}, {0, 0, 1, 0, 1, 1, 1, 1}};
  // Green x is (x + B / 16) >> 2, B / 16 being 0 2 0 2 ... on even rows and 3 1 3 1 ... on odd ones.
  const Levels even = {{0, 0, 0, 1, 1, 1, 1, 2}}, odd = {{0, 0, 1, 1, 1, 1, 2, 2}};
  const Levels green = {even[0], odd[0], even[0], odd[0], even[0], odd[0], even[0], odd[0]};
  const Packed packed = pack(8, 8, Dither::ordered, gradient);
  EXPECT_EQ(packed.blue, blue);
  EXPECT_EQ(packed.green, green);
  EXPECT_EQ(packed.red, Levels(8, std::vector<int>(8, 0)));
  // Written top row first, the same stored row keeps its pattern.
  EXPECT_EQ(pack(8, 8, Dither::ordered, gradient, true).blue[7], blue[0]);
}

TEST(Dither, DiffusionSpreadsHalfALevelAsWorkedOutByHand) {
  // Blue 4 in every pixel is 64 sixteenths of error where there is none yet. Row 0 gathers
  // 64, 92, 104, 109 (no pixel reaches 128) and leaves 37, 51, 59, 42 below; row 1 then reaches
  // 101, 159 (level 1, error 31), 136 (level 1, error 8), 109.
  const Packed packed = pack(4, 2, Dither::diffusion, [](std::uint32_t, std::uint32_t) { return BgrTriple{4, 0, 0}; });
  EXPECT_EQ(packed.blue, (Levels{{0, 0, 0, 0}, {0, 1, 1, 0}}));
}

// The hand-worked pictures above, packed a band at a time: each band must start from the rows before
// it, its errors and its place in the Bayer pattern.
TEST(Dither, BandsGiveTheWholePicturesBytes) {
  const auto four = [](std::uint32_t, std::uint32_t) { return BgrTriple{4, 0, 0}; };
  for (const std::uint32_t band : {1u, 3u}) {
    EXPECT_EQ(pack(4, 2, Dither::diffusion, four, false, band).blue, (Levels{{0, 0, 0, 0}, {0, 1, 1, 0}})) << band;
    EXPECT_EQ(pack(8, 8, Dither::ordered, gradient, false, band).blue, (Levels{{0, 0, 0, 1, 0, 1, 0, 1},
                                                                               {0, 0, 1, 0, 1, 0, 1, 1},
                                                                               {0, 0, 0, 0, 0, 1, 0, 1},
                                                                               {0, 0, 1, 0, 1, 1, 1, 1},
                                                                               {0, 0, 0, 1, 0, 1, 0, 1},
                                                                               {0, 0, 1, 0, 1, 0, 1, 1},
                                                                               {0, 0, 0, 0, 0, 1, 0, 1},
                                                                               {0, 0, 1, 0, 1, 1, 1, 1}}))
        << band;
  }
}

struct FlatCase {
  const char* name;
  BgrTriple colour;
  int blue, green, red;
};
void PrintTo(const FlatCase& c, std::ostream* out) { *out << c.name; }

class DitherLeavesFlatColours : public testing::TestWithParam<FlatCase> {};

TEST_P(DitherLeavesFlatColours, Alone) {
  const FlatCase& c = GetParam();
  for (const Dither dither : {Dither::ordered, Dither::diffusion}) {
    const Packed packed = pack(11, 9, dither, [&](std::uint32_t, std::uint32_t) { return c.colour; });
    EXPECT_EQ(packed.blue, Levels(9, std::vector<int>(11, c.blue))) << static_cast<int>(dither);
    EXPECT_EQ(packed.green, Levels(9, std::vector<int>(11, c.green))) << static_cast<int>(dither);
    EXPECT_EQ(packed.red, Levels(9, std::vector<int>(11, c.red))) << static_cast<int>(dither);
  }
}

INSTANTIATE_TEST_SUITE_P(Colours, DitherLeavesFlatColours,
                         testing::Values(FlatCase{"Black", {0, 0, 0}, 0, 0, 0},
                                         FlatCase{"ExactLevels", {0x40, 0x84, 0xF8}, 8, 33, 31},
                                         // Not exact, but at the top: what is pushed past 255 stays 255.
                                         FlatCase{"White", {0xFF, 0xFF, 0xFF}, 31, 63, 31}),
                         [](const testing::TestParamInfo<FlatCase>& c) { return std::string(c.param.name); });

}  // namespace
