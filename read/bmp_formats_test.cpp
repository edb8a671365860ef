// The BMP reader and decoder on small pictures of every format but 24-bit, written out by hand:
// which bits make which pixel, how a field of fewer or more than 8 bits becomes 8, how run-length
// codes fill the rows, and which files are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pixels/little_endian.h"
#include "read/bmp_pixels.h"
#include "read/bmp_reader.h"
#include "testing/test_files.h"

namespace {

Bytes masks(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  Bytes bytes(12);
  store_le32(bytes.data(), red);
  store_le32(bytes.data() + 4, green);
  store_le32(bytes.data() + 8, blue);
  return bytes;
}

// Three colour table entries (blue, green, red, unused) that no channel scaling can produce.
const Bytes three_colours = {0x10, 0x20, 0x30, 0, 0xA0, 0xB0, 0xC0, 0, 0x41, 0x42, 0x43, 0};
constexpr std::uint8_t c0[] = {0x10, 0x20, 0x30};
constexpr std::uint8_t c1[] = {0xA0, 0xB0, 0xC0};
constexpr std::uint8_t c2[] = {0x41, 0x42, 0x43};

Bytes triples(std::initializer_list<const std::uint8_t*> colours) {
  Bytes bytes;
  for (const std::uint8_t* colour : colours) bytes.insert(bytes.end(), colour, colour + 3);
  return bytes;
}

struct DecodeCase {
  const char* name;
  Bytes file;
  Bytes decoded;  // blue, green, red per pixel, stored rows in order
};

void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.name; }

class BmpDecoding : public testing::TestWithParam<DecodeCase> {};

TEST_P(BmpDecoding, GivesTheHandWorkedTriples) {
  const BmpPicture bmp = read_bmp(GetParam().file);
  ASSERT_EQ(bmp.verdict, BmpVerdict::picture) << bmp.problem;
  Bytes decoded(static_cast<std::size_t>(decoded_size(bmp.width, bmp.height)), 0xEE);
  decode_pixels(bmp, decoded);
  EXPECT_EQ(decoded, GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BmpDecoding,
    testing::Values(
        DecodeCase{"OneBitFirstPixelInTheHighBit", table_bmp(3, 1, 1, 0, three_colours, {0b1010'0000, 0, 0, 0}),
                   triples({c1, c0, c1})},
        DecodeCase{"FourBitsHighNibbleFirst", table_bmp(3, 1, 4, 0, three_colours, {0x21, 0x00, 0, 0}),
                   triples({c2, c1, c0})},
        DecodeCase{"EightBitsRowsInStoredOrder", table_bmp(1, -2, 8, 0, three_colours, {2, 0, 0, 0, 1, 0, 0, 0}),
                   triples({c2, c1})},
        // r = g = b = 31, then r = g = b = 1: 0b00001 widens to 0b00001000.
        DecodeCase{"SixteenBitsAreFiveFiveFive",
                   table_bmp(2, 1, 16, 0, {}, {0xFF, 0x7F, 0x21, 0x04}),
                   {0xFF, 0xFF, 0xFF, 0x08, 0x08, 0x08}},
        // Green 1 of 6 bits is 0b00000100; red and blue 31 of 5 bits are 0xFF.
        DecodeCase{"FiveSixFiveWidensEachField",
                   table_bmp(2, 1, 16, 3, masks(0xF800, 0x07E0, 0x001F), {0x20, 0x00, 0x1F, 0xF8}),
                   {0x00, 0x04, 0x00, 0xFF, 0x00, 0xFF}},
        // Red 1 of 1 bit, green 0b10 of 2 bits, blue 0b101 of 3 bits: 0xFF, 0b10101010, 0b10110110.
        DecodeCase{"NarrowFieldsRepeatTheirBits",
                   table_bmp(1, 1, 16, 3, masks(0x0001, 0x0006, 0x0038), {0x2D, 0, 0, 0}),
                   {0xB6, 0xAA, 0xFF}},
        // 10-bit fields 0x3FF, 0x200 and 0x001 keep their top 8 bits.
        DecodeCase{"WideFieldsKeepTheirTopBits",
                   table_bmp(1, 1, 32, 3, masks(0x3FF00000, 0x000FFC00, 0x000003FF), {0x01, 0x00, 0xF8, 0x3F}),
                   {0x00, 0x80, 0xFF}},
        DecodeCase{
            "ThirtyTwoBitsIgnoreTheTopByte", table_bmp(1, 1, 32, 0, {}, {0x33, 0x22, 0x11, 0xAA}), {0x33, 0x22, 0x11}},
        // A run of three 1s and an end of line; an absolute run of 2, 0, 1 with its pad byte.
        DecodeCase{"Rle8RunsAndAbsoluteRuns",
                   table_bmp(3, 2, 8, 1, three_colours, {3, 1, 0, 0, 0, 3, 2, 0, 1, 0, 0, 1}),
                   triples({c1, c1, c1, c2, c0, c1})},
        DecodeCase{"Rle4RunsAlternateTheirNibbles", table_bmp(3, 1, 4, 2, three_colours, {3, 0x12, 0, 1}),
                   triples({c1, c2, c1})},
        // One 2, a delta of one right and one up to (2, 1), one 1, the end: the rest is colour 0.
        DecodeCase{"RleSkippedPixelsTakeColourZero",
                   table_bmp(3, 2, 8, 1, three_colours, {1, 2, 0, 2, 1, 1, 1, 1, 0, 1}),
                   triples({c2, c0, c0, c0, c0, c1})}),
    [](const testing::TestParamInfo<DecodeCase>& param_info) { return std::string(param_info.param.name); });

struct RefusalCase {
  const char* name;
  Bytes file;
  BmpVerdict verdict;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class BmpFormatRefusals : public testing::TestWithParam<RefusalCase> {};

TEST_P(BmpFormatRefusals, GivesTheVerdictAndNoRows) {
  const BmpPicture bmp = read_bmp(GetParam().file);
  EXPECT_EQ(bmp.verdict, GetParam().verdict);
  EXPECT_TRUE(bmp.rows.empty());
  if (bmp.verdict == BmpVerdict::not_a_picture) {
    EXPECT_NE(bmp.problem, nullptr);
  }
}

const Bytes two_pixels_16 = {0, 0, 0, 0};
constexpr auto not_a_picture = BmpVerdict::not_a_picture;

INSTANTIATE_TEST_SUITE_P(
    Files, BmpFormatRefusals,
    testing::Values(
        RefusalCase{"EmptyMask", table_bmp(2, 1, 16, 3, masks(0xF800, 0x07E0, 0), two_pixels_16), not_a_picture},
        RefusalCase{"OverlappingMasks", table_bmp(2, 1, 16, 3, masks(0xF800, 0x0FE0, 0x001F), two_pixels_16),
                    not_a_picture},
        RefusalCase{"MaskWithAGap", table_bmp(2, 1, 16, 3, masks(0xF800, 0x07E0, 0x0015), two_pixels_16),
                    not_a_picture},
        RefusalCase{"MaskOutsideSixteenBits", table_bmp(2, 1, 16, 3, masks(0x1F0000, 0x07E0, 0x001F), two_pixels_16),
                    not_a_picture},
        RefusalCase{"MasksCutShort", table_bmp(2, 1, 16, 3, {}, two_pixels_16), not_a_picture},
        RefusalCase{"ColourPastTheTable", table_bmp(1, 1, 8, 0, {1, 2, 3, 0}, {1, 0, 0, 0}), not_a_picture},
        RefusalCase{"RleColourPastTheTable", table_bmp(1, 1, 8, 1, {1, 2, 3, 0}, {1, 1, 0, 1}), not_a_picture},
        RefusalCase{"RleRunPastTheRow", table_bmp(2, 1, 8, 1, three_colours, {3, 0, 0, 1}), not_a_picture},
        RefusalCase{"RleRunPastTheLastRow", table_bmp(2, 1, 8, 1, three_colours, {0, 0, 1, 0}), not_a_picture},
        RefusalCase{"RleDeltaPastThePicture", table_bmp(2, 1, 8, 1, three_colours, {0, 2, 3, 0, 0, 1}), not_a_picture},
        RefusalCase{"RleDeltaCutShort", table_bmp(2, 1, 8, 1, three_colours, {0, 2, 1}), not_a_picture},
        RefusalCase{"RleAbsoluteRunCutShort", table_bmp(4, 1, 8, 1, three_colours, {0, 4, 1, 2}), not_a_picture},
        RefusalCase{"RleStoredTopDown", table_bmp(2, -1, 8, 1, three_colours, {2, 0, 0, 1}), not_a_picture},
        RefusalCase{"Rle4AtEightBits", table_bmp(2, 1, 8, 2, three_colours, {2, 0, 0, 1}), BmpVerdict::unsupported},
        RefusalCase{"BitFieldsAtEightBits", table_bmp(2, 1, 8, 3, three_colours, {0, 0, 0, 0}),
                    BmpVerdict::unsupported}),
    [](const testing::TestParamInfo<RefusalCase>& param_info) { return std::string(param_info.param.name); });

}  // namespace
