// Palettes the user gives, read from text, and matching and dithering toward a palette in linear
// light, against hand-worked palettes and the shares of light that flat colours must keep.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/dither.h"
#include "format/palette_match.h"
#include "format/palette_text.h"

namespace {

constexpr BgraQuad black{0, 0, 0, 255}, white{255, 255, 255, 255}, red{0, 0, 255, 255}, green{0, 255, 0, 255},
    blue{255, 0, 0, 255}, yellow{0, 255, 255, 255};

struct TextCase {
  const char* name;
  PaletteRead (*read)(std::string_view);
  std::string_view text;
  std::vector<BgraQuad> colours;  // when read
  const char* refusal;            // a part of the message, when refused
};

const TextCase text_cases[] = {
    {"GimpWithNameColumnsAndComments",
     read_gimp_palette,
     "GIMP Palette\nName: panel\nColumns: 3\n# the inks\n  0   0   0\tBlack\n255 255 255 White\n\n255 0 0\n",
     {black, white, red},
     nullptr},
    {"GimpCrLfAndByteOrderMark", read_gimp_palette, "\xEF\xBB\xBFGIMP Palette\r\n0 255 0 Green\r\n", {green}, nullptr},
    {"GimpNotAPalette", read_gimp_palette, "JASC-PAL\n0 0 0\n", {}, "line 1 is 'JASC-PAL'"},
    {"GimpTwoChannels", read_gimp_palette, "GIMP Palette\n0 0 0\n12 34\n", {}, "line 3 is '12 34'"},
    {"GimpChannelPast255", read_gimp_palette, "GIMP Palette\n256 0 0 Too red\n", {}, "line 2"},
    {"GimpNameJoinedToBlue", read_gimp_palette, "GIMP Palette\n1 2 3x\n", {}, "line 2"},
    {"GimpNoColours", read_gimp_palette, "GIMP Palette\nName: empty\n", {}, "no colours"},
    {"GimpEmpty", read_gimp_palette, "", {}, "empty"},
    {"ListWithHashAndSpaces", read_colour_list, "FF0000,#00ff00, 0000FF ", {red, green, blue}, nullptr},
    {"ListShortColour", read_colour_list, "FF0000,FFF", {}, "colour 2 is 'FFF'"},
    {"ListEmptyItem", read_colour_list, "FF0000,,00FF00", {}, "colour 2 is ''"},
    {"ListTrailingComma", read_colour_list, "FF0000,", {}, "colour 2"},
    {"ListNotHex", read_colour_list, "GG0000", {}, "colour 1 is 'GG0000'"},
};

class ReadPalette : public testing::TestWithParam<TextCase> {};

TEST_P(ReadPalette, GivesTheColoursInOrderOrSaysWhy) {
  const TextCase& c = GetParam();
  const PaletteRead read = c.read(c.text);
  if (c.refusal == nullptr) {
    ASSERT_TRUE(std::holds_alternative<std::vector<BgraQuad>>(read)) << std::get<std::string>(read);
    EXPECT_EQ(std::get<std::vector<BgraQuad>>(read), c.colours);
  } else {
    ASSERT_TRUE(std::holds_alternative<std::string>(read));
    EXPECT_NE(std::get<std::string>(read).find(c.refusal), std::string::npos) << std::get<std::string>(read);
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, ReadPalette, testing::ValuesIn(text_cases),
                         [](const testing::TestParamInfo<TextCase>& param) { return std::string(param.param.name); });

// The nearest entry is the nearest in light: grey 150 has 30.5 % of white's light, nearer black,
// though its value is nearer 255; grey 190 has 51.5 %, nearer white.
struct NearestCase {
  const char* name;
  std::vector<BgraQuad> palette;
  BgraQuad pixel;
  std::uint8_t index;
};

const NearestCase nearest_cases[] = {
    {"Grey150NearerBlackInLight", {black, white}, {150, 150, 150, 255}, 0},
    {"Grey190NearerWhiteInLight", {black, white}, {190, 190, 190, 255}, 1},
    {"DarkRedToRed", {black, white, red}, {0, 0, 200, 255}, 2},
    {"OrangeToYellowNotRed", {black, red, yellow}, {0, 0xC0, 0xFF, 255}, 2},
    {"FirstOnATie", {white, white}, white, 0},
};

class NearestEntry : public testing::TestWithParam<NearestCase> {};

TEST_P(NearestEntry, IsTheNearestInLinearLight) {
  const NearestCase& c = GetParam();
  EXPECT_EQ(PaletteMatch(c.palette).nearest(c.pixel), c.index);
}

INSTANTIATE_TEST_SUITE_P(Pixels, NearestEntry, testing::ValuesIn(nearest_cases),
                         [](const testing::TestParamInfo<NearestCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(NearestEntry, OfARowOfTriplesIsEachPixelsOwn) {
  // Greys 150 and 190 as above; blue 191 (52 % of full blue's light) nearer blue, blue 1 and red 3
  // nearer black. Those two colours hash to one slot of the colours remembered: each must still get
  // its own entry, blue 191 the second time too.
  const PaletteMatch match(std::vector<BgraQuad>{black, white, {255, 0, 0, 255}});
  const std::uint8_t triples[] = {150, 150, 150, 190, 190, 190, 191, 0, 0, 1, 0, 3, 191, 0, 0};
  std::vector<std::uint8_t> indices(5, 0xEE);
  match.nearest_triples(triples, 5, indices.data());
  EXPECT_EQ(indices, (std::vector<std::uint8_t>{0, 1, 2, 0, 2}));
}

// A flat colour dithered over 64 x 64 pixels: the share of pixels that take `index`, in percent.
struct FlatCase {
  const char* name;
  std::vector<BgraQuad> palette;
  BgraQuad colour;
  Dither dither;
  std::uint8_t index;
  double percent;    // worked out from the sRGB curve by hand
  double tolerance;  // in percent
};

// Grey 188 has 50.3 % of white's light, grey 128 21.6 %: ((v / 255 + 0.055) / 1.055)^2.4.
const FlatCase flat_cases[] = {
    {"HalfLightGreyOrderedHalfWhite", {black, white}, {188, 188, 188, 255}, Dither::ordered, 1, 50.3, 1.0},
    {"HalfLightGreyDiffusedHalfWhite", {black, white}, {188, 188, 188, 255}, Dither::diffusion, 1, 50.3, 1.0},
    {"Grey128OrderedAFifthWhite", {black, white}, {128, 128, 128, 255}, Dither::ordered, 1, 21.6, 1.0},
    {"Grey128DiffusedAFifthWhite", {black, white}, {128, 128, 128, 255}, Dither::diffusion, 1, 21.6, 1.0},
    // Half-light red between black and red, with white a distraction: red on half the pixels.
    {"HalfLightRedDiffused", {black, white, red}, {0, 0, 188, 255}, Dither::diffusion, 2, 50.3, 1.0},
    {"HalfLightRedOrdered", {black, white, red}, {0, 0, 188, 255}, Dither::ordered, 2, 50.3, 1.0},
    // An entry's own colour is never dithered.
    {"RedStaysRedOrdered", {black, white, red, yellow}, red, Dither::ordered, 2, 100, 0},
    {"RedStaysRedDiffused", {black, white, red, yellow}, red, Dither::diffusion, 2, 100, 0},
};

class DitherFlat : public testing::TestWithParam<FlatCase> {};

TEST_P(DitherFlat, KeepsTheColoursLightOnAverage) {
  const FlatCase& c = GetParam();
  constexpr std::uint32_t side = 64;
  const PaletteMatch match(c.palette);
  const std::vector<BgraQuad> row(side, c.colour);
  std::vector<std::int32_t> scratch(dither_scratch_size(side, c.dither));
  std::vector<std::uint8_t> indices(std::size_t{side} * side);
  // In bands of 5 rows, as pack hands them over, to carry the errors across bands.
  for (std::uint32_t first = 0; first < side; first += 5) {
    const std::uint32_t count = std::min<std::uint32_t>(5, side - first);
    match.dither_rows(
        c.dither, [&](std::uint32_t) { return row.data(); }, side, first, count, scratch,
        indices.data() + std::size_t{first} * side);
  }
  std::size_t taken = 0;
  for (std::uint8_t index : indices) taken += index == c.index ? 1 : 0;
  EXPECT_NEAR(100.0 * static_cast<double>(taken) / static_cast<double>(indices.size()), c.percent, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Colours, DitherFlat, testing::ValuesIn(flat_cases),
                         [](const testing::TestParamInfo<FlatCase>& param) { return std::string(param.param.name); });

}  // namespace
