// Pixels of every format worked out by hand from the layouts at the top of pixel_format.h, and the
// round trip of pictures already at a format's levels.
#include "format/pixel_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "format/dither.h"
#include "format/format_families.h"
#include "format/median_cut.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Two pixels: R FF G 80 B 10 A 80, and R 12 G 34 B 56 opaque.
const std::vector<BgraQuad> two_pixels = {{0x10, 0x80, 0xFF, 0x80}, {0x56, 0x34, 0x12, 0xFF}};

struct EncodeCase {
  const char* name;
  FormatSettings settings;
  std::vector<BgraQuad> row;
  Bytes expected;  // both planes
};

FormatSettings with(PixelFormat format, WordFormat word = {}, bool premultiply = false) {
  FormatSettings settings;
  settings.format = format;
  settings.word = word;
  settings.premultiply = premultiply;
  return settings;
}

// The first pixel of each byte in its low bits.
FormatSettings low_first(PixelFormat format) {
  FormatSettings settings = with(format);
  settings.bit_order = BitOrder::low_first;
  return settings;
}

const WordFormat high_first{ByteOrder::high_first};
const WordFormat bgr{ByteOrder::low_first, ChannelOrder::bgr};
const WordFormat nearest{ByteOrder::low_first, ChannelOrder::rgb, Rounding::nearest};
// R 0F G 03 B FF: 1, 0, 31 truncated; 2, 1, 31 to the nearest level.
const std::vector<BgraQuad> between_levels = {{0xFF, 0x03, 0x0F, 0xFF}};
// Alphas 00, 7F, 80, FF and 30 (whose nearest 2-bit level is 1, where truncating gives 0), over
// colours that the alpha formats must not look at.
const std::vector<BgraQuad> five_alphas = {
    {0xFF, 0xFF, 0xFF, 0x00}, {0x10, 0x80, 0xFF, 0x7F}, {0, 0, 0, 0x80}, {0x56, 0x34, 0x12, 0xFF}, {9, 9, 9, 0x30}};

const EncodeCase encode_cases[] = {
    {"rgb565", with(PixelFormat::rgb565), two_pixels, {0x02, 0xFC, 0xAA, 0x11}},
    {"rgb565_be", with(PixelFormat::rgb565, high_first), two_pixels, {0xFC, 0x02, 0x11, 0xAA}},
    {"rgb565_bgr", with(PixelFormat::rgb565, bgr), {two_pixels[0]}, {0x1F, 0x14}},
    {"rgb565_truncated", with(PixelFormat::rgb565), between_levels, {0x1F, 0x08}},
    {"rgb565_nearest", with(PixelFormat::rgb565, nearest), between_levels, {0x3F, 0x10}},
    {"rgb565a8", with(PixelFormat::rgb565a8), two_pixels, {0x02, 0xFC, 0xAA, 0x11, 0x80, 0xFF}},
    {"rgb565a8_opaque", with(PixelFormat::rgb565a8), {two_pixels[1]}, {0xAA, 0x11, 0xFF}},
    {"argb8565_opaque",
     with(PixelFormat::argb8565),
     {two_pixels[1], two_pixels[1]},
     {0xAA, 0x11, 0xFF, 0xAA, 0x11, 0xFF}},
    {"argb8565_opaque_be", with(PixelFormat::argb8565, high_first), {two_pixels[1]}, {0x11, 0xAA, 0xFF}},
    {"argb8888_opaque", with(PixelFormat::argb8888), {two_pixels[1]}, {0x56, 0x34, 0x12, 0xFF}},
    {"rgb444_be_nearest",
     with(PixelFormat::rgb444, {ByteOrder::high_first, ChannelOrder::rgb, Rounding::nearest}),
     between_levels,
     {0x01, 0x0F}},
    {"argb8565", with(PixelFormat::argb8565), two_pixels, {0x02, 0xFC, 0x80, 0xAA, 0x11, 0xFF}},
    {"argb8565_be", with(PixelFormat::argb8565, high_first), two_pixels, {0xFC, 0x02, 0x80, 0x11, 0xAA, 0xFF}},
    {"rgb666", with(PixelFormat::rgb666), two_pixels, {0xFC, 0x80, 0x10, 0x10, 0x34, 0x54}},
    {"rgb666_bgr", with(PixelFormat::rgb666, bgr), {two_pixels[1]}, {0x54, 0x34, 0x10}},
    {"rgb888", with(PixelFormat::rgb888), two_pixels, {0x10, 0x80, 0xFF, 0x56, 0x34, 0x12}},
    {"rgb888_be", with(PixelFormat::rgb888, high_first), {two_pixels[1]}, {0x12, 0x34, 0x56}},
    {"xrgb8888", with(PixelFormat::xrgb8888), two_pixels, {0x10, 0x80, 0xFF, 0xFF, 0x56, 0x34, 0x12, 0xFF}},
    {"argb8888", with(PixelFormat::argb8888), two_pixels, {0x10, 0x80, 0xFF, 0x80, 0x56, 0x34, 0x12, 0xFF}},
    {"argb8888_be_bgr",
     with(PixelFormat::argb8888, {ByteOrder::high_first, ChannelOrder::bgr}),
     {two_pixels[0]},
     {0x80, 0x10, 0x80, 0xFF}},
    {"argb8888_premultiplied", with(PixelFormat::argb8888, {}, true), {two_pixels[0]}, {0x08, 0x40, 0x80, 0x80}},
    {"rgb332", with(PixelFormat::rgb332), two_pixels, {0xF0, 0x05}},
    {"rgb444", with(PixelFormat::rgb444), two_pixels, {0x81, 0x0F, 0x35, 0x01}},
    // Luma 0x99 and 0x2E.
    {"gray8", with(PixelFormat::gray8), two_pixels, {0x99, 0x2E}},
    {"gray4", with(PixelFormat::gray4), two_pixels, {0x92}},
    {"mono1", with(PixelFormat::mono1), two_pixels, {0x80}},
    // Words A RRRRR GGGGG BBBBB: 1 11111 10000 00010 and 1 00010 00110 01010.
    {"argb1555", with(PixelFormat::argb1555), two_pixels, {0x02, 0xFE, 0xCA, 0x88}},
    {"argb1555_be_alpha_below_half", with(PixelFormat::argb1555, high_first), {{0x10, 0x80, 0xFF, 0x7F}}, {0x7E, 0x02}},
    {"argb1555_opaque_bgr", with(PixelFormat::argb1555, bgr), {two_pixels[1]}, {0xC2, 0xA8}},
    {"argb4444", with(PixelFormat::argb4444), two_pixels, {0x81, 0x8F, 0x35, 0xF1}},
    // Alpha 0F: level 0 truncated, 1 to the nearest, as red.
    {"argb4444_be_nearest",
     with(PixelFormat::argb4444, {ByteOrder::high_first, ChannelOrder::rgb, Rounding::nearest}),
     {{0xFF, 0x03, 0x0F, 0x0F}},
     {0x11, 0x0F}},
    {"argb4444_opaque", with(PixelFormat::argb4444), {two_pixels[1]}, {0x35, 0xF1}},
    // Bytes AA RR GG BB: 10 11 10 00 and 11 00 00 01; with bgr the second is 11 01 00 00.
    {"argb2222", with(PixelFormat::argb2222), two_pixels, {0xB8, 0xC1}},
    {"argb2222_bgr", with(PixelFormat::argb2222, bgr), {two_pixels[1]}, {0xD0}},
    {"al88", with(PixelFormat::al88), two_pixels, {0x99, 0x80, 0x2E, 0xFF}},
    // R 80 G 40 B 08 once premultiplied: luma 0x4D.
    {"al88_premultiplied", with(PixelFormat::al88, {}, true), {two_pixels[0]}, {0x4D, 0x80}},
    {"gray2", with(PixelFormat::gray2), two_pixels, {0x80}},
    {"gray2_nearest", with(PixelFormat::gray2, nearest), two_pixels, {0x90}},
    {"a8", with(PixelFormat::a8), five_alphas, {0x00, 0x7F, 0x80, 0xFF, 0x30}},
    {"a4", with(PixelFormat::a4), five_alphas, {0x07, 0x8F, 0x30}},
    {"a2", with(PixelFormat::a2), five_alphas, {0x1B, 0x00}},
    {"a2_nearest", with(PixelFormat::a2, nearest), five_alphas, {0x1B, 0x40}},
    {"a1", with(PixelFormat::a1), five_alphas, {0x30}},
    {"a1_opaque", with(PixelFormat::a1), {two_pixels[1], two_pixels[1], two_pixels[1]}, {0xE0}},
    // The same pixels with the first of each byte in its low bits: gray4's 9 and 2 as 2 and 9; gray2's
    // 10 and two pads as pads and 10; a2's 00 01 10 11 as 11 10 01 00; a1's 0011 0000 as 0000 1100.
    {"gray4_low_first", low_first(PixelFormat::gray4), two_pixels, {0x29}},
    {"gray2_low_first", low_first(PixelFormat::gray2), two_pixels, {0x02}},
    {"mono1_low_first", low_first(PixelFormat::mono1), two_pixels, {0x01}},
    {"a4_low_first", low_first(PixelFormat::a4), five_alphas, {0x70, 0xF8, 0x03}},
    {"a2_low_first", low_first(PixelFormat::a2), five_alphas, {0xE4, 0x00}},
    {"a1_low_first", low_first(PixelFormat::a1), five_alphas, {0x0C}},
    // One pixel a byte: no order to choose.
    {"gray8_low_first", low_first(PixelFormat::gray8), two_pixels, {0x99, 0x2E}},
};

class EncodePixels : public testing::TestWithParam<EncodeCase> {};

TEST_P(EncodePixels, GiveTheHandWorkedBytes) {
  const EncodeCase& c = GetParam();
  const auto width = static_cast<std::uint32_t>(c.row.size());
  const ImageLayout layout = image_layout(c.settings, width, 1);
  Bytes out(static_cast<std::size_t>(layout.plane_bytes + layout.alpha_plane_bytes));
  encode_rows(c.settings, 0, c.row, width, 1, std::span(out).first(static_cast<std::size_t>(layout.plane_bytes)));
  if (layout.alpha_plane_bytes != 0)
    encode_rows(c.settings, 1, c.row, width, 1, std::span(out).subspan(static_cast<std::size_t>(layout.plane_bytes)));
  EXPECT_EQ(out, c.expected);
  // A 24-bit picture's rows take a path of their own, from the triples; alpha aside, it must agree.
  const bool opaque = std::all_of(c.row.begin(), c.row.end(), [](const BgraQuad& q) { return q.alpha == 255; });
  if (format_info(c.settings.format).alpha_bits != 0 && !opaque) return;
  Bytes triples;
  for (const BgraQuad& q : c.row) triples.insert(triples.end(), {q.blue, q.green, q.red});
  Bytes direct(out.size());
  const auto plane = std::span(direct).first(static_cast<std::size_t>(layout.plane_bytes));
  if (!encode_triple_rows(c.settings, 0, triples.data(), triples.size(), false, width, 1, plane)) return;
  if (layout.alpha_plane_bytes != 0)
    encode_triple_rows(c.settings, 1, triples.data(), triples.size(), false, width, 1,
                       std::span(direct).subspan(static_cast<std::size_t>(layout.plane_bytes)));
  EXPECT_EQ(direct, c.expected) << "from triples";
}

INSTANTIATE_TEST_SUITE_P(Formats, EncodePixels, testing::ValuesIn(encode_cases),
                         [](const testing::TestParamInfo<EncodeCase>& param) { return std::string(param.param.name); });

// A 2 x 9 picture: column 0 lit on rows 0, 3 and 8, column 1 on row 7; luma 128 against the
// threshold 128 lights, 127 does not.
TEST(Mono1Pages, PutEachColumnOfEightRowsInOneByteTopRowInBitZero) {
  std::vector<BgraQuad> picture(18, BgraQuad{127, 127, 127, 255});
  for (int y : {0, 3, 8}) picture[static_cast<std::size_t>(y) * 2] = {128, 128, 128, 255};
  picture[7 * 2 + 1] = {255, 255, 255, 255};
  FormatSettings settings = with(PixelFormat::mono1);
  settings.pages = true;
  Bytes out(4);
  encode_rows(settings, 0, picture, 2, 9, out);
  EXPECT_EQ(out, (Bytes{0x09, 0x80, 0x01, 0x00}));
  // Rows of bits instead: each row's two bits in the high end of its byte.
  settings.pages = false;
  Bytes rows(9);
  encode_rows(settings, 0, picture, 2, 9, rows);
  EXPECT_EQ(rows, (Bytes{0x80, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x40, 0x80}));
  // Pages with the top row in bit 7: 0000 1001 is 1001 0000.
  settings.pages = true;
  settings.bit_order = BitOrder::high_first;
  encode_rows(settings, 0, picture, 2, 9, out);
  EXPECT_EQ(out, (Bytes{0x90, 0x01, 0x80, 0x00}));
  std::vector<BgraQuad> decoded(18), own(18);
  decode_rows(settings, 0, out, 2, 9, decoded);
  settings.bit_order.reset();
  decode_rows(settings, 0, Bytes{0x09, 0x80, 0x01, 0x00}, 2, 9, own);
  EXPECT_TRUE(decoded == own);
}

// Alpha 128 lies halfway between a1's two levels: ordered dithering sets it on the 32 of the Bayer
// matrix's 64 cells whose thresholds lie below the half.
TEST(AlphaDither, SetsHalfOfA1MaskWhereAlphaIsHalf) {
  const std::vector<BgraQuad> picture(64, BgraQuad{0, 0, 0, 128});
  FormatSettings settings = with(PixelFormat::a1);
  RowDither dither(Dither::ordered, 8);
  settings.dither = &dither;
  dither.start_band(0, 8, false);
  Bytes out(8);
  encode_rows(settings, 0, picture, 8, 8, out);
  int set = 0;
  for (std::uint8_t byte : out) set += std::popcount(byte);
  EXPECT_EQ(set, 32);
  // The first row's thresholds 0 32 8 40 2 34 10 42: set where the threshold is below 32.
  EXPECT_EQ(out[0], 0xAA);
}

// A picture of a format's levels: each channel's low bits zero (the levels' values under the zero
// expansion), grey where the format is grey, black where it holds alpha alone, alpha 255 where it
// has none, and few enough colours for a palette.
std::vector<BgraQuad> picture_at_levels(const FormatInfo& info, std::uint32_t count) {
  std::vector<BgraQuad> picture;
  const unsigned colours = info.index_bits != 0 ? 1u << info.index_bits : 0;
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t seed = (colours != 0 ? k % colours : k) * 2654435761u;
    const auto at_level = [&](unsigned shift, unsigned bits) {
      const unsigned value = seed >> shift & 0xFF;
      return static_cast<std::uint8_t>(bits == 0 || bits >= 8 ? value : value >> (8 - bits) << (8 - bits));
    };
    // An alpha level unpacks with its bits repeated, as level * 255 / top.
    const unsigned alpha_top = (1u << info.alpha_bits) - 1;
    const auto alpha = static_cast<std::uint8_t>(
        info.alpha_bits == 0 ? 255 : ((seed >> 24 & 0xFF) >> (8 - info.alpha_bits)) * 255 / alpha_top);
    BgraQuad pixel{at_level(0, info.channel_bits[2]), at_level(8, info.channel_bits[1]),
                   at_level(16, info.channel_bits[0]), alpha};
    if (info.format == PixelFormat::gray8 || info.format == PixelFormat::gray4 || info.format == PixelFormat::gray2 ||
        info.format == PixelFormat::al88)
      pixel.green = pixel.red = pixel.blue;
    if (holds_alpha_alone(info.format)) pixel.green = pixel.red = pixel.blue = 0;
    if (info.format == PixelFormat::mono1) pixel.green = pixel.red = pixel.blue = (seed >> 7 & 1) != 0 ? 255 : 0;
    picture.push_back(pixel);
  }
  return picture;
}

class RoundTrip : public testing::TestWithParam<FormatInfo> {};

TEST_P(RoundTrip, GivesBackAPictureAtTheFormatsLevels) {
  const FormatInfo& info = GetParam();
  // 13 x 11: rows that end inside a byte, and a last mono page of three rows.
  constexpr std::uint32_t width = 13, height = 11;
  const std::vector<BgraQuad> picture = picture_at_levels(info, width * height);
  for (bool pages : {false, true}) {
    if (pages && info.format != PixelFormat::mono1) continue;
    FormatSettings settings = with(info.format);
    settings.pages = pages;
    ColourCount count(info.index_bits != 0 ? 1u << info.index_bits : 0);
    count.add(picture);
    const std::vector<BgraQuad> palette = count.palette();
    const PaletteIndex index(palette, count.exact());
    settings.palette = palette;
    settings.index = &index;
    const ImageLayout layout = image_layout(settings, width, height);
    Bytes plane(static_cast<std::size_t>(layout.plane_bytes)),
        alpha(static_cast<std::size_t>(layout.alpha_plane_bytes));
    std::vector<BgraQuad> back(picture.size());
    encode_rows(settings, 0, picture, width, height, plane);
    decode_rows(settings, 0, plane, width, height, back);
    if (!alpha.empty()) {
      encode_rows(settings, 1, picture, width, height, alpha);
      decode_rows(settings, 1, alpha, width, height, back);
    }
    EXPECT_EQ(back, picture) << info.name << (pages ? " in pages" : "");
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, RoundTrip, testing::ValuesIn(pixel_formats().begin(), pixel_formats().end()),
                         [](const testing::TestParamInfo<FormatInfo>& param) { return std::string(param.param.name); });

// Values packed into bytes, the first in the highest bits; a row that ends within a byte leaves
// that byte's low bits zero. Rows long enough to take whole bytes many at a time, and a tail.
struct PackBitsCase {
  const char* name;
  unsigned bits;
  std::vector<std::uint8_t> values;
  std::vector<std::uint8_t> bytes;
};

const PackBitsCase pack_bits_cases[] = {
    {"ones_with_a_tail",
     1,
     {1, 0, 1, 1, 0, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1},
     {0xB2, 0x7E, 0x80, 0x80}},
    {"twos_with_a_tail", 2, {3, 0, 1, 2, 0, 1, 2, 3, 3, 3, 3, 3, 1}, {0xC6, 0x1B, 0xFF, 0x40}},
    {"fours_with_a_tail", 4, {0xA, 0x5, 0x0, 0xF, 0x1, 0x2, 0xC}, {0xA5, 0x0F, 0x12, 0xC0}},
};

class PackBits : public testing::TestWithParam<PackBitsCase> {};

TEST_P(PackBits, PutsTheFirstValueHighest) {
  const PackBitsCase& c = GetParam();
  std::vector<std::uint8_t> row(c.bytes.size(), 0xEE);
  pack_bits(c.values.data(), static_cast<std::uint32_t>(c.values.size()), c.bits, row.data());
  EXPECT_EQ(row, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Rows, PackBits, testing::ValuesIn(pack_bits_cases),
                         [](const testing::TestParamInfo<PackBitsCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
