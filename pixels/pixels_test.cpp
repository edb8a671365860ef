#include "pixels/pixels.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

struct PixelCase {
  BgrTriple triple;
  std::uint16_t word;
};

class Pack565 : public ::testing::TestWithParam<PixelCase> {};

TEST_P(Pack565, PacksEdgeValues) { EXPECT_EQ(pack565(GetParam().triple), GetParam().word); }

INSTANTIATE_TEST_SUITE_P(EdgeValues, Pack565,
                         ::testing::Values(PixelCase{{0xFF, 0xFF, 0xFF}, 0xFFFF}, PixelCase{{0x00, 0x00, 0x00}, 0x0000},
                                           PixelCase{{0x00, 0x00, 0xFF}, 0xF800}, PixelCase{{0x00, 0xFF, 0x00}, 0x07E0},
                                           PixelCase{{0xFF, 0x00, 0x00}, 0x001F},
                                           PixelCase{{0x07, 0x03, 0x07}, 0x0000}));

class Expand565 : public ::testing::TestWithParam<PixelCase> {};

TEST_P(Expand565, ExpandsWithLowBitsZero) { EXPECT_EQ(expand565(GetParam().word), GetParam().triple); }

INSTANTIATE_TEST_SUITE_P(EdgeValues, Expand565,
                         ::testing::Values(PixelCase{{0xF8, 0xFC, 0xF8}, 0xFFFF}, PixelCase{{0x00, 0x00, 0xF8}, 0xF800},
                                           PixelCase{{0x00, 0xFC, 0x00}, 0x07E0},
                                           PixelCase{{0xF8, 0x00, 0x00}, 0x001F}));

TEST(Pixels, EveryTripleSurvivesARoundTripWithItsLowBitsCleared) {
  for (std::uint32_t value = 0; value < (1u << 24); ++value) {
    const BgrTriple triple{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                           static_cast<std::uint8_t>(value >> 16)};
    const BgrTriple cleared{static_cast<std::uint8_t>(triple.blue & 0xF8),
                            static_cast<std::uint8_t>(triple.green & 0xFC),
                            static_cast<std::uint8_t>(triple.red & 0xF8)};
    if (expand565(pack565(triple)) != cleared) FAIL() << "triple " << value;
  }
}

TEST(Pixels, EveryWordSurvivesExpandThenPack) {
  for (std::uint32_t word = 0; word <= 0xFFFF; ++word) {
    if (pack565(expand565(static_cast<std::uint16_t>(word))) != word) FAIL() << "word " << word;
  }
}

TEST(ExportRows, SkipsRowPaddingOfThreePixelWideRows) {
  // Two stored rows of 9 bytes of triples and 3 bytes of padding each; the padding is 0xEE,
  // which would show up as non-zero words if it were ever read as a pixel.
  constexpr std::array<std::uint8_t, 24> rows{
      0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xEE, 0xEE, 0xEE,  // white, red, green
      0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0x03, 0x07, 0xEE, 0xEE, 0xEE,  // blue, black, near-black
  };
  std::vector<std::uint8_t> out(3 * 2 * 2);
  pack_565_rows(rows, 12, 3, 2, out);
  const std::vector<std::uint8_t> expected{0xFF, 0xFF, 0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(out, expected);
}

TEST(ExportRows, KeepsStoredRowOrderOfABottomUpPicture) {
  // A 2 x 2 bottom-up picture: the first stored row is the bottom row (red, green), the second
  // the top row (blue, white). Stored rows are 6 bytes of triples padded to 8.
  constexpr std::array<std::uint8_t, 16> rows{
      0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00,  //
      0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00,  //
  };
  std::vector<std::uint8_t> out(8);
  pack_565_rows(rows, 8, 2, 2, out);
  const std::vector<std::uint8_t> expected{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF};
  EXPECT_EQ(out, expected);
}

TEST(ExportRows, ReadsNothingForAnEmptyPicture) {
  std::vector<std::uint8_t> out;
  pack_565_rows({}, 120, 0, 5, out);
  pack_565_rows({}, 120, 5, 0, out);
  EXPECT_EQ(rows_extent(120, 0, 5), 0u);
  EXPECT_EQ(rows_extent(120, 40, 2), 240u);
  EXPECT_EQ(rows_extent(120, 60, 2), 300u);
}

TEST(ExpandRun, ExpandsEachLittleEndianWordInOrder) {
  constexpr std::array<std::uint8_t, 6> words{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00};
  std::vector<std::uint8_t> out(9);
  expand_run(words, out);
  const std::vector<std::uint8_t> expected{0x00, 0x00, 0xF8, 0x00, 0xFC, 0x00, 0xF8, 0x00, 0x00};
  EXPECT_EQ(out, expected);
}

struct LumaCase {
  BgrTriple triple;
  std::uint8_t luma;
};

class Luma : public ::testing::TestWithParam<LumaCase> {};

TEST_P(Luma, IsTheWeightedSumRoundedDown) {
  const BgrTriple& t = GetParam().triple;
  const std::array<std::uint8_t, 3> triple{t.blue, t.green, t.red};
  std::uint8_t out = 0;
  luma_triples(triple.data(), 1, &out);
  EXPECT_EQ(out, GetParam().luma);
}

// 299 R + 587 G + 114 B + 500, in thousandths: white 255500, red 76745, green 150185, blue 29570;
// blue 4 is 956 and blue 5 is 1070, either side of a step.
INSTANTIATE_TEST_SUITE_P(HandWorked, Luma,
                         ::testing::Values(LumaCase{{255, 255, 255}, 255}, LumaCase{{0, 0, 255}, 76},
                                           LumaCase{{0, 255, 0}, 150}, LumaCase{{255, 0, 0}, 29},
                                           LumaCase{{4, 0, 0}, 0}, LumaCase{{5, 0, 0}, 1},
                                           LumaCase{{128, 128, 128}, 128}));

TEST(ArrangeTriples, TakesEachBytesSourceMaskAndFill) {
  constexpr std::array<std::uint8_t, 6> triples{0x13, 0x57, 0x9B, 0x01, 0x02, 0x03};
  std::vector<std::uint8_t> quads(8);
  arrange_triples(triples.data(), 2, TripleBytes{}, quads.data());
  EXPECT_EQ(quads, (std::vector<std::uint8_t>{0x13, 0x57, 0x9B, 0x00, 0x01, 0x02, 0x03, 0x00}));
  // Red, green, blue, each with its low two bits dropped, and a fourth byte of fill alone.
  const TripleBytes reversed{4, {2, 1, 0, TripleBytes::none_of_triple}, {0xFC, 0xFC, 0xFC, 0xFF}, {0, 0, 0, 0xA5}};
  arrange_triples(triples.data(), 2, reversed, quads.data());
  EXPECT_EQ(quads, (std::vector<std::uint8_t>{0x98, 0x54, 0x10, 0xA5, 0x00, 0x00, 0x00, 0xA5}));
}

TEST(RawImageSize, RefusesSizesBeyondThirtyTwoBits) {
  EXPECT_EQ(raw_image_size(568, 130), 147680u);
  EXPECT_EQ(raw_image_size(65536, 32768), std::nullopt);
  EXPECT_EQ(raw_image_size(0xFFFFFFFF, 1), std::nullopt);
  EXPECT_EQ(raw_image_size(32768, 65535), 0xFFFF0000u);
}

}  // namespace
