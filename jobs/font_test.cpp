// rgb565 font's glyphs from read/font-tests/shapes.ttf, whose shapes make_font.py lays down in
// font units, 64 to the em: at --px 64 a unit is a pixel, at --px 32 half of one. Every
// expectation is worked from those corners by hand.
#include "jobs/font.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "testing/test_files.h"

namespace {

GlyphSet glyphs_of(int size, int bpp, std::u32string characters, bool kerning = false,
                   std::vector<std::string>* warnings = nullptr, const char* file = "shapes.ttf") {
  const Bytes font = *read_file(std::string(FONT_TESTS) + "/" + file);
  FontOptions options;
  options.size_px = size;
  options.bpp = bpp;
  options.kerning = kerning;
  options.code_points.assign(characters.begin(), characters.end());
  std::vector<std::string> ignored;
  std::variant<GlyphSet, Failure> set = rasterise_font(font, options, warnings ? *warnings : ignored);
  if (const Failure* failure = std::get_if<Failure>(&set)) ADD_FAILURE() << failure->reason;
  return std::get<GlyphSet>(std::move(set));
}

struct GlyphCase {
  int size;
  char32_t code;
  int width, height, x_offset, y_top, advance_16;
  const char* file = "shapes.ttf";
};

TEST(FontGlyphs, BoxesOffsetsAndAdvancesAreTheOutlines) {
  const GlyphCase cases[] = {
      // The space has no ink, and an advance of 8 units.
      {64, U' ', 0, 0, 0, 0, 8 * 16},
      // The 10 x 20 rectangle standing on the baseline 2 units right of the pen.
      {64, U'A', 10, 20, 2, 20, 14 * 16},
      {32, U'A', 5, 10, 1, 10, 7 * 16},
      // The triangle's legs, 16 units along the baseline and up from the pen.
      {64, U'B', 16, 16, 0, 16, 18 * 16},
      {32, U'B', 8, 8, 0, 8, 9 * 16},
      // The composite: the rectangle moved 20 units right.
      {64, U'C', 10, 20, 22, 20, 34 * 16},
      // The same, its rectangle stored as glyph 32769.
      {64, U'C', 10, 20, 22, 20, 34 * 16, "far_component.ttf"},
  };
  for (const GlyphCase& c : cases) {
    const GlyphSet set = glyphs_of(c.size, 8, {c.code}, false, nullptr, c.file);
    ASSERT_EQ(set.glyphs.size(), 1u);
    const Glyph& glyph = set.glyphs[0];
    EXPECT_EQ(glyph.code_point, c.code);
    EXPECT_EQ(glyph.width, c.width) << c.size << " " << char(c.code);
    EXPECT_EQ(glyph.height, c.height) << c.size << " " << char(c.code);
    EXPECT_EQ(glyph.x_offset, c.x_offset) << c.size << " " << char(c.code);
    EXPECT_EQ(glyph.y_top, c.y_top) << c.size << " " << char(c.code);
    EXPECT_EQ(glyph.advance_16, c.advance_16) << c.size << " " << char(c.code);
  }
}

TEST(FontGlyphs, LineHeightAndBaselineAreTheFontsAtTheSize) {
  // Ascent 48 and descent -16 units, no line gap.
  EXPECT_EQ(glyphs_of(64, 4, U"A").line_height, 64);
  EXPECT_EQ(glyphs_of(64, 4, U"A").baseline, 48);
  EXPECT_EQ(glyphs_of(32, 4, U"A").line_height, 32);
  EXPECT_EQ(glyphs_of(32, 4, U"A").baseline, 24);
}

TEST(FontGlyphs, ARectangleOnWholePixelsCoversThemFully) {
  for (const int bpp : {1, 2, 4, 8}) {
    const GlyphSet set = glyphs_of(64, bpp, U"A");
    EXPECT_EQ(set.levels, std::vector<std::uint8_t>(200, static_cast<std::uint8_t>((1 << bpp) - 1))) << bpp;
  }
}

// The hypotenuse cuts each pixel of the diagonal in half: full ink left of it, none right of it.
TEST(FontGlyphs, ATrianglesDiagonalIsHalfCovered) {
  const GlyphSet set = glyphs_of(64, 8, U"B");
  ASSERT_EQ(set.levels.size(), 256u);
  for (int row = 0; row < 16; ++row) {
    for (int x = 0; x < 16; ++x) {
      const int level = set.levels[std::size_t(row) * 16 + std::size_t(x)];
      if (x == row) {
        EXPECT_NEAR(level, 128, 2) << row << "," << x;
      } else {
        EXPECT_EQ(level, x < row ? 255 : 0) << row << "," << x;
      }
    }
  }
}

TEST(FontGlyphs, KerningIsInSixteenthsOfAPixel) {
  const GlyphSet at_64 = glyphs_of(64, 4, U"AB", true);
  ASSERT_EQ(at_64.kerning.size(), 1u);
  EXPECT_EQ(at_64.kerning[0].left, U'A');
  EXPECT_EQ(at_64.kerning[0].right, U'B');
  EXPECT_EQ(at_64.kerning[0].adjust_16, -64);
  EXPECT_EQ(glyphs_of(32, 4, U"AB", true).kerning[0].adjust_16, -32);
  EXPECT_TRUE(glyphs_of(64, 4, U"AB", false).kerning.empty());
}

TEST(FontGlyphs, CharactersTheFontLacksAreLeftOutAndNamed) {
  std::vector<std::string> warnings;
  const GlyphSet set = glyphs_of(64, 4, U"ZAY\u00e9", false, &warnings);
  ASSERT_EQ(set.glyphs.size(), 1u);
  EXPECT_EQ(set.glyphs[0].code_point, U'A');
  EXPECT_EQ(warnings, (std::vector<std::string>{"the font has no U+0059-U+005A, U+00E9; left out"}));

  const Bytes font = *read_file(std::string(FONT_TESTS) + "/shapes.ttf");
  FontOptions options;
  options.size_px = 16;
  options.code_points = {U'Z'};
  const std::variant<GlyphSet, Failure> none = rasterise_font(font, options, warnings);
  ASSERT_TRUE(std::holds_alternative<Failure>(none));
  EXPECT_EQ(std::get<Failure>(none).reason, "the font has none of the characters asked for");
}

// 'C' in composite_loop.ttf is made of itself: it is left out, named with why, and the rest of the
// range is drawn.
TEST(FontGlyphs, AGlyphThatCannotBeDrawnIsLeftOutAndNamed) {
  const Bytes font = *read_file(std::string(FONT_TESTS) + "/composite_loop.ttf");
  FontOptions options;
  options.size_px = 16;
  options.code_points = {U'A', U'B', U'C'};
  std::vector<std::string> warnings;
  const std::variant<GlyphSet, Failure> drawn = rasterise_font(font, options, warnings);
  ASSERT_TRUE(std::holds_alternative<GlyphSet>(drawn));
  const GlyphSet& set = std::get<GlyphSet>(drawn);
  ASSERT_EQ(set.glyphs.size(), 2u);
  EXPECT_EQ(set.glyphs[0].code_point, U'A');
  EXPECT_EQ(set.glyphs[1].code_point, U'B');
  EXPECT_EQ(warnings,
            (std::vector<std::string>{"cannot draw U+0043 (glyph 4 nests composite glyphs too deeply (or in a loop)); "
                                      "left out"}));
}

// 'A' in huge_advance.ttf moves the pen 65535 units, over a thousand ems: even at the largest size
// no header field holds it, so the font is refused rather than written with a wrapped advance.
TEST(FontGlyphs, AnAdvanceOfManyEmsIsRefused) {
  const Bytes font = *read_file(std::string(FONT_TESTS) + "/huge_advance.ttf");
  FontOptions options;
  options.size_px = 1024;
  std::vector<std::string> warnings;
  options.code_points = {U'B'};
  EXPECT_TRUE(std::holds_alternative<GlyphSet>(rasterise_font(font, options, warnings)));
  options.code_points = {U'A', U'B'};
  const std::variant<GlyphSet, Failure> refused = rasterise_font(font, options, warnings);
  ASSERT_TRUE(std::holds_alternative<Failure>(refused));
  EXPECT_EQ(std::get<Failure>(refused).reason, "U+0041's advance is far larger than its em");
}

// The glyphs' boxes at 64 px are counted before any is drawn: 'A' 10 x 20, 'B' 16 x 16 and 'C'
// 10 x 20 pixels, 656 in all. A limit of one fewer refuses the font.
TEST(FontGlyphs, GlyphsCoveringMoreThanTheLimitAreRefusedBeforeDrawing) {
  const Bytes font = *read_file(std::string(FONT_TESTS) + "/shapes.ttf");
  FontOptions options;
  options.size_px = 64;
  options.code_points = {U'A', U'B', U'C', U'Z'};
  std::vector<std::string> warnings;
  options.pixel_limit = 656;
  EXPECT_TRUE(std::holds_alternative<GlyphSet>(rasterise_font(font, options, warnings)));
  options.pixel_limit = 655;
  const std::variant<GlyphSet, Failure> refused = rasterise_font(font, options, warnings);
  ASSERT_TRUE(std::holds_alternative<Failure>(refused));
  EXPECT_EQ(std::get<Failure>(refused).reason,
            "the glyphs at 64 px would cover 656 pixels, more than the 655 allowed (--max-pixels raises the limit; a "
            "smaller size or fewer characters take less)");
}

}  // namespace
