// Dithering against patterns worked out by hand from the rules at the top of dither.h, and against
// the light a panel shows for a flat grey.
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

// Blue and green rise by one per column, 0 to 7: blue x lies 31 x / 255 of the way to 5-bit level 1,
// green 63 x / 255 of the way from 6-bit level 0 (x < 4) or 1 to the next; green 4 is the nearest
// 8-bit value to 6-bit level 1 and stays there.
BgrTriple gradient(std::uint32_t x, std::uint32_t) {
  return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x), 0};
}

TEST(Dither, OrderedTurnsAGradientIntoTheBayerPattern) {
  // Blue x takes level 1 where 128 * 31x > (2B + 1) * 255, that is where B is below 0, 8, 16, 23, 31,
  // 39, 47, 54 for x = 0 to 7; row 0's B is 0 32 8 40 2 34 10 42, row 1's 48 16 56 24 50 18 58 26.
  const Levels blue = {{0, 0, 1, 0, 1, 1, 1, 1}, {0, 0, 0, 0, 0, 1, 0, 1}};
  // Green x: remainders 0, 63, 126, 189, level 1 exactly, 60, 123, 186 (255ths of a level) against
  // B below 0, 16, 32, 47, -, 15, 31, 47.
  const Levels green = {{0, 0, 1, 1, 1, 1, 2, 2}, {0, 0, 0, 1, 1, 1, 1, 2}};
  const Packed packed = pack(8, 2, Dither::ordered, gradient);
  EXPECT_EQ(packed.blue, blue);
  EXPECT_EQ(packed.green, green);
  EXPECT_EQ(packed.red, Levels(2, std::vector<int>(8, 0)));
  // Written top row first, the same stored row keeps its pattern.
  EXPECT_EQ(pack(8, 2, Dither::ordered, gradient, true).blue[1], blue[0]);
}

TEST(Dither, DiffusionSpreadsAColourBetweenLevelsAsWorkedOutByHand) {
  // Blue 4 is 124/255 of a level, 1984 in 4080ths. Row 0 gathers 1984 (level 0), 2852 (level 1,
  // error -1228), 1447, 2617 (level 1) and leaves 390, 12, 100, -366 below; row 1 then reaches
  // 2374 (level 1, error -1706), 1250, 2630 (level 1), 984.
  const Packed packed = pack(4, 2, Dither::diffusion, [](std::uint32_t, std::uint32_t) { return BgrTriple{4, 0, 0}; });
  EXPECT_EQ(packed.blue, (Levels{{0, 1, 0, 1}, {1, 0, 1, 0}}));
}

// The hand-worked pictures above, packed a band at a time: each band must start from the rows before
// it, its errors and its place in the Bayer pattern.
TEST(Dither, BandsGiveTheWholePicturesBytes) {
  const auto four = [](std::uint32_t, std::uint32_t) { return BgrTriple{4, 0, 0}; };
  EXPECT_EQ(pack(4, 2, Dither::diffusion, four, false, 1).blue, (Levels{{0, 1, 0, 1}, {1, 0, 1, 0}}));
  EXPECT_EQ(pack(8, 2, Dither::ordered, gradient, false, 1).green,
            (Levels{{0, 0, 1, 1, 1, 1, 2, 2}, {0, 0, 0, 1, 1, 1, 1, 2}}));
}

// A flat grey shows its own light on the panel on average: level k of L shows as k * 255 / L, and
// the mean over the picture must be within half an 8-bit step of the grey, for each method and
// channel depth.
class DitherKeepsTheLight : public testing::TestWithParam<int> {};

TEST_P(DitherKeepsTheLight, OfAFlatGrey) {
  const int grey = GetParam();
  for (const Dither dither : {Dither::ordered, Dither::diffusion}) {
    const Packed packed = pack(64, 64, dither, [&](std::uint32_t, std::uint32_t) {
      const auto v = static_cast<std::uint8_t>(grey);
      return BgrTriple{v, v, v};
    });
    const auto light = [](const Levels& levels, int top) {
      double sum = 0;
      for (const auto& row : levels) {
        for (const int level : row) sum += level;
      }
      return sum / (64.0 * 64.0) * 255.0 / top;
    };
    EXPECT_NEAR(light(packed.blue, 31), grey, 0.5) << "blue, " << static_cast<int>(dither);
    EXPECT_NEAR(light(packed.green, 63), grey, 0.5) << "green, " << static_cast<int>(dither);
    EXPECT_NEAR(light(packed.red, 31), grey, 0.5) << "red, " << static_cast<int>(dither);
  }
}

INSTANTIATE_TEST_SUITE_P(Greys, DitherKeepsTheLight, testing::Values(1, 4, 60, 100, 128, 200, 250, 254));

// The nearest 8-bit value to a level is that level, and is not dithered, for any depth: at every
// cell of the Bayer matrix, and across a diffused picture.
struct ExactCase {
  const char* name;
  std::uint8_t value;
  unsigned bits;
  unsigned level;
};
void PrintTo(const ExactCase& c, std::ostream* out) { *out << c.name; }

class DitherLeavesExactLevels : public testing::TestWithParam<ExactCase> {};

TEST_P(DitherLeavesExactLevels, Alone) {
  const ExactCase& c = GetParam();
  for (std::uint32_t y = 0; y < 8; ++y) {
    for (std::uint32_t x = 0; x < 8; ++x) EXPECT_EQ(ordered_level(c.value, x, y, c.bits), c.level) << x << ", " << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, DitherLeavesExactLevels,
                         testing::Values(ExactCase{"Black", 0, 5, 0}, ExactCase{"White", 255, 5, 31},
                                         // round(16 * 255 / 31) = round(131.6), round(33 * 255 / 63) = round(133.6).
                                         ExactCase{"FiveBitLevel16", 132, 5, 16},
                                         ExactCase{"SixBitLevel33", 134, 6, 33}, ExactCase{"OneBitWhite", 255, 1, 1},
                                         ExactCase{"TwoBitThird", 85, 2, 1},
                                         // round(255 / 7) = round(36.4); round(3 * 255 / 15) = 51.
                                         ExactCase{"ThreeBitLevel1", 36, 3, 1}, ExactCase{"FourBitLevel3", 51, 4, 3},
                                         ExactCase{"EightBits", 77, 8, 77}),
                         [](const testing::TestParamInfo<ExactCase>& c) { return std::string(c.param.name); });

TEST(Dither, DiffusionLeavesAPictureOfExactLevelsAlone) {
  // Blue 132, green 134 and red 255: levels 16, 33 and 31 everywhere, with no error to carry.
  const Packed packed = pack(11, 9, Dither::diffusion, [](std::uint32_t, std::uint32_t) {
    return BgrTriple{132, 134, 255};
  });
  EXPECT_EQ(packed.blue, Levels(9, std::vector<int>(11, 16)));
  EXPECT_EQ(packed.green, Levels(9, std::vector<int>(11, 33)));
  EXPECT_EQ(packed.red, Levels(9, std::vector<int>(11, 31)));
}

}  // namespace
