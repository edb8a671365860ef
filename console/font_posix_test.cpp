// rgb565 font's C header read by a C99 compiler with every warning an error, and a program that
// finds glyphs by code point as the header's comment says and draws one as text: the triangle of
// read/font-tests/shapes.ttf at half a pixel a unit, whose diagonal pixels are half covered (levels
// 7 or 8 of 15), worked by hand from its corners.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "testing/console_run.h"
#include "testing/test_files.h"

namespace {

constexpr char program[] = R"(#include <stdio.h>
#include "shapes.h"
#include "bits.h"

static const rgb565_glyph* find(const rgb565_glyph* glyphs, int count, uint32_t code) {
  int low = 0, high = count - 1;
  while (low <= high) {
    int middle = (low + high) / 2;
    if (glyphs[middle].code_point == code) return &glyphs[middle];
    if (glyphs[middle].code_point < code) low = middle + 1; else high = middle - 1;
  }
  return 0;
}

int main(void) {
  const rgb565_glyph* b = find(shapes_glyphs, shapes_glyph_count, 'B');
  const rgb565_glyph* c = find(shapes_glyphs, shapes_glyph_count, 'C');
  const rgb565_glyph* a = find(bits_glyphs, bits_glyph_count, 'A');
  int x, y;
  if (!b || !c || !a || find(shapes_glyphs, shapes_glyph_count, 'Z')) return 1;
  printf("line %d baseline %d\n", shapes_line_height, shapes_baseline);
  for (y = 0; y < b->height; ++y) {
    const uint8_t* row = shapes_bitmaps + b->offset + y * ((b->width * 4 + 7) / 8);
    for (x = 0; x < b->width; ++x) {
      int level = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
      putchar(level == 15 ? '#' : level == 0 ? '.' : '+');
    }
    putchar('\n');
  }
  printf("B %dx%d at %d,%d advance %d\n", b->width, b->height, b->x_offset, b->y_offset, b->advance);
  printf("C %dx%d at %d,%d advance %d\n", c->width, c->height, c->x_offset, c->y_offset, c->advance);
  printf("kern %d: %c%c %d\n", shapes_kerning_count, (char)shapes_kerning[0].left, (char)shapes_kerning[0].right,
         shapes_kerning[0].adjust);
  printf("A at 1 bit: %dx%d, rows %02X %02X\n", a->width, a->height, bits_bitmaps[a->offset],
         bits_bitmaps[a->offset + a->height - 1]);
  return 0;
}
)";

TEST(FontHeader, CompilesAsC99AndDrawsAGlyphFoundByItsCodePoint) {
  TempDir dir;
  const std::string font = std::string(FONT_TESTS) + "/shapes.ttf";
  ASSERT_EQ(rgb565({"font", "--px", "32", "--kerning", font, dir.file("shapes.h")}).code, 0);
  ASSERT_EQ(rgb565({"font", "--px", "32", "--bpp", "1", "--c-array", "bits", font, dir.file("bits.h")}).code, 0);
  write_file(dir.file("draw.c"), Bytes(std::begin(program), std::end(program) - 1));
  const std::string compile = std::string(TOOL_HOST_CC) + " -x c -std=c99 -pedantic -Wall -Wextra -Werror -o " +
                              dir.file("draw") + " " + dir.file("draw.c") + " && " + dir.file("draw") + " > " +
                              dir.file("drawn.txt");
  ASSERT_EQ(std::system(compile.c_str()), 0) << compile;
  const Bytes drawn = *read_file(dir.file("drawn.txt"));
  EXPECT_EQ(std::string(drawn.begin(), drawn.end()),
            "line 32 baseline 24\n"
            "+.......\n"
            "#+......\n"
            "##+.....\n"
            "###+....\n"
            "####+...\n"
            "#####+..\n"
            "######+.\n"
            "#######+\n"
            "B 8x8 at 0,16 advance 9\n"
            "C 5x10 at 11,14 advance 17\n"
            "kern 1: AB -2\n"
            "A at 1 bit: 5x10, rows F8 F8\n");
}

}  // namespace
