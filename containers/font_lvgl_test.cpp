#include "containers/font_lvgl.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "testing/test_files.h"

namespace {

// A space with no box, a 3 x 2 glyph of 4-bit levels and a code point far off, kerned in two pairs.
GlyphSet three_glyphs() {
  GlyphSet set;
  set.bpp = 4;
  set.size_px = 10;
  set.line_height = 12;
  set.baseline = 9;
  set.levels = {0x1, 0xF, 0x2, 0x3, 0x4, 0x5, 0xA};
  set.glyphs = {{U' ', 0, 0, 0, 0, 0, 80}, {U'A', 0, 3, 2, -1, 7, 100}, {U'\u4E2D', 6, 1, 1, 2, -1, 160}};
  set.kerning = {{U' ', U'A', 3}, {U'A', U'\u4E2D', -24}};
  return set;
}

std::string source_of(const GlyphSet& set, std::string_view attribute = {}) {
  auto result = lvgl_font_source(set, "clock", attribute);
  if (auto* failure = std::get_if<Failure>(&result)) ADD_FAILURE() << failure->reason;
  return std::get<std::string>(result);
}

TEST(FontLvgl, WritesHandWorkedFieldsOfThreeGlyphs) {
  const std::string source = source_of(three_glyphs(), "PROGMEM");
  // The 3 x 2 glyph's levels 1 F 2 / 3 4 5 run on across its rows; the far glyph's A fills a byte.
  for (const char* line : {
           "static LV_ATTRIBUTE_LARGE_CONST const uint8_t clock_bitmaps[4] PROGMEM = {",
           "    0x1F, 0x23, 0x45,\n",
           "    0xA0,\n",
           "    {.bitmap_index = 0, .adv_w = 0, .box_w = 0, .box_h = 0, .ofs_x = 0, .ofs_y = 0},",
           "    {.bitmap_index = 0, .adv_w = 80, .box_w = 0, .box_h = 0, .ofs_x = 0, .ofs_y = 0}, /* U+0020 */",
           "    {.bitmap_index = 0, .adv_w = 100, .box_w = 3, .box_h = 2, .ofs_x = -1, .ofs_y = 5}, /* U+0041 */",
           "    {.bitmap_index = 3, .adv_w = 160, .box_w = 1, .box_h = 1, .ofs_x = 2, .ofs_y = -2}, /* U+4E2D */",
           // 0x4E2D - 0x20 = 0x4E0D, so one sparse map of 0x4E0E = 19982 code points holds all three.
           "    0x0000, 0x0021, 0x4E0D,\n",
           "    {.range_start = 32, .range_length = 19982, .glyph_id_start = 1, .unicode_list = "
           "clock_unicode_list + 0, .glyph_id_ofs_list = NULL, .list_length = 3, .type = "
           "LV_FONT_FMT_TXT_CMAP_SPARSE_TINY},",
           "static const uint8_t clock_kern_pair_ids[4] = {\n    1, 2, 2, 3,\n",
           "static const int8_t clock_kern_pair_values[2] = {\n    3, -24,\n",
           "    .kern_scale = 16,\n    .cmap_num = 1,\n    .bpp = 4,\n",
           "    .line_height = 12,\n    .base_line = 3,\n",
       }) {
    EXPECT_NE(source.find(line), std::string::npos) << "no " << line << " in\n" << source;
  }
}

TEST(FontLvgl, RunsOfEightBecomeTheirOwnMapAndWideKerningScalesUp) {
  GlyphSet set;
  for (char32_t c = U'0'; c <= U'7'; ++c) set.glyphs.push_back({c, 0, 0, 0, 0, 0, 16});
  set.glyphs.push_back({U'\u0100', 0, 0, 0, 0, 0, 16});
  // 200/16 px: 200 * 16 <= 127 * 26 first; the byte is -3200 / 26 = -123, and LVGL's
  // -123 * 26 >> 4 = -200 again.
  set.kerning = {{U'0', U'1', -200}};
  const std::string source = source_of(set);
  for (const char* line : {
           "    {.range_start = 48, .range_length = 8, .glyph_id_start = 1, .unicode_list = NULL, .glyph_id_ofs_list "
           "= NULL, .list_length = 0, .type = LV_FONT_FMT_TXT_CMAP_FORMAT0_TINY},",
           "    {.range_start = 256, .range_length = 1, .glyph_id_start = 9, .unicode_list = clock_unicode_list + 0,",
           "    -123,\n",
           "    .kern_scale = 26,\n    .cmap_num = 2,\n",
           // Spaces alone have no bitmap bytes, and C no empty array.
           "clock_bitmaps[1] = {\n    0x00,\n};",
       }) {
    EXPECT_NE(source.find(line), std::string::npos) << "no " << line << " in\n" << source;
  }
}

struct Packing {
  int bpp, width, height;
  std::vector<std::uint8_t> levels;
  const char* bytes;
};

TEST(FontLvgl, PacksRowsWithoutPaddingHighBitsFirst) {
  const Packing cases[] = {
      {1, 3, 3, {1, 0, 1, 0, 1, 0, 1, 0, 1}, "0xAA, 0x80,"},  // 101 010 101
      {2, 3, 2, {3, 2, 1, 0, 1, 2}, "0xE4, 0x60,"},           // 11 10 01 | 00 01 10
      {8, 2, 1, {0x12, 0xFE}, "0x12, 0xFE,"},
  };
  for (const Packing& c : cases) {
    GlyphSet set;
    set.bpp = c.bpp;
    set.levels = c.levels;
    set.glyphs = {{U'x', 0, c.width, c.height, 0, c.height, 16}};
    EXPECT_NE(source_of(set).find(std::string("    ") + c.bytes + "\n"), std::string::npos) << c.bpp << " bpp";
  }
}

TEST(FontLvgl, RefusesGlyphsItsFieldsCannotHold) {
  struct Case {
    Glyph glyph;
    const char* reason;
  };
  const Case cases[] = {
      {{U'W', 0, 256, 1, 0, 1, 16}, "its box of 256 x 1 pixels is over 255 a side"},
      {{U'W', 0, 1, 256, 0, 256, 16}, "its box of 1 x 256 pixels is over 255 a side"},
      {{U'W', 0, 1, 1, -129, 1, 16}, "its box lies -129, 0 pixels from the pen"},
      {{U'W', 0, 0, 0, 0, 128, 16}, "its box lies 0, 128 pixels from the pen"},
      {{U'W', 0, 0, 0, 0, 0, 4096}, "its advance of 4096/16 pixels"},
      {{U'W', 0, 0, 0, 0, 0, -1}, "its advance of -1/16 pixels"},
  };
  for (const Case& c : cases) {
    GlyphSet set;
    set.levels.resize(256);
    set.glyphs = {c.glyph};
    const auto result = lvgl_font_source(set, "clock", "");
    ASSERT_TRUE(std::holds_alternative<Failure>(result)) << c.reason;
    const std::string expected = std::string("LVGL's font cannot hold glyph U+0057: ") + c.reason;
    EXPECT_EQ(std::get<Failure>(result).reason.substr(0, expected.size()), expected);
  }
  // 255 x 255 bytes a glyph at 8 bits: the 18th would start at 17 * 65025 = 1105425, past 2^20 - 1.
  GlyphSet big;
  big.bpp = 8;
  big.levels.resize(255 * 255);
  for (char32_t c = 0; c < 18; ++c) big.glyphs.push_back({U'A' + c, 0, 255, 255, 0, 255, 16});
  const auto result = lvgl_font_source(big, "clock", "");
  ASSERT_TRUE(std::holds_alternative<Failure>(result));
  EXPECT_EQ(std::get<Failure>(result).reason,
            "LVGL's font cannot hold glyph U+0052: its bitmap would start at byte 1105425, past the 1 MiB that "
            "LVGL's bitmap index reaches");
  // 600000 * 16 / 127 rounds up to a scale of 75591, past the 65535 its field holds.
  GlyphSet kerned = three_glyphs();
  kerned.kerning = {{U' ', U'A', -600000}};
  const auto too_far = lvgl_font_source(kerned, "clock", "");
  ASSERT_TRUE(std::holds_alternative<Failure>(too_far));
  EXPECT_EQ(std::get<Failure>(too_far).reason,
            "a kerning pair moves the pen 600000/16 pixels, beyond what LVGL's 16-bit kerning scale reaches");
}

// The source as a firmware build compiles it, with a C compiler of this machine.
TEST(FontLvgl, CompilesAsC99WithoutWarnings) {
#ifndef FONT_LVGL_C_COMPILER
  GTEST_SKIP() << "skipped: no C compiler to run in this build";
#else
  std::string headers = FONT_LVGL_STAND_IN_DIR;
#ifdef FONT_LVGL_INCLUDE_DIR
  headers = std::string(FONT_LVGL_INCLUDE_DIR) + "\" -DLV_CONF_SKIP \"-I" + headers;
#endif
  TempDir dir;
  GlyphSet plain = three_glyphs();
  plain.kerning.clear();
  GlyphSet spaces;
  spaces.glyphs = {{U' ', 0, 0, 0, 0, 0, 80}};
  for (const GlyphSet& set : {three_glyphs(), plain, spaces}) {
    std::ofstream(dir.file("clock.c")) << source_of(set);
    const std::string command = std::string("\"") + FONT_LVGL_C_COMPILER +
                                "\" -std=c99 -Wall -Wextra -Werror -fsyntax-only -DLV_LVGL_H_INCLUDE_SIMPLE \"-I" +
                                headers + "\" \"" + dir.file("clock.c") + "\"";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  }
#endif
}

}  // namespace
