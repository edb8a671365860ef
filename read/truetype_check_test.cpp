#include "read/truetype_check.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <variant>

#include "testing/test_files.h"

namespace {

std::string font_test(const char* name) { return std::string(FONT_TESTS) + "/" + name; }

// The reason a font is refused for " ABC" with kerning; or the characters whose glyphs are left out,
// by their place in " ABC", with why; empty when it passes whole.
std::string refusal_of(std::span<const std::uint8_t> font) {
  constexpr char32_t characters[] = {U' ', U'A', U'B', U'C'};
  const std::variant<CheckedFont, Failure> checked = check_truetype(font, characters, true);
  if (const Failure* failure = std::get_if<Failure>(&checked)) return failure->reason;
  std::string left_out;
  for (const CheckedFont::Undrawable& glyph : std::get<CheckedFont>(checked).undrawable)
    left_out += "left out " + std::to_string(glyph.index) + ": " + glyph.reason + "; ";
  return left_out;
}

// OpenType with PostScript outlines: its signature alone.
constexpr std::array<std::uint8_t, 12> cff_font = {'O', 'T', 'T', 'O', 0, 0, 0, 0, 0, 0, 0, 0};
static_assert(cff_font.size() == 12);
// A TrueType offset table that declares three tables and holds none of their records.
constexpr std::array<std::uint8_t, 20> directory_cut_short = {0, 1, 0,   0,   0,   3,   0, 0, 0, 0,
                                                              0, 0, 'c', 'm', 'a', 'p', 0, 0, 0, 0};
static_assert(directory_cut_short.size() == 20);
// One table record, cmap, whose 16 bytes start at 4096 in a file of 28.
constexpr std::array<std::uint8_t, 28> table_past_end = {0,   1,   0, 0, 0, 1, 0, 0, 0,    0, 0, 0, 'c', 'm',
                                                         'a', 'p', 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0,   16};
static_assert(table_past_end.size() == 28);
// A CFF table in a TrueType directory.
constexpr std::array<std::uint8_t, 28> cff_table = {0,   1,   0, 0, 0, 1, 0, 0, 0, 0,  0, 0, 'C', 'F',
                                                    'F', ' ', 0, 0, 0, 0, 0, 0, 0, 28, 0, 0, 0,   0};
static_assert(cff_table.size() == 28);

struct HostileCase {
  const char* name;
  std::span<const std::uint8_t> inline_bytes;
  const char* file;  // read from the test fonts instead, when not null
  const char* reason;
};

TEST(TrueTypeCheck, RefusesHostileFontsOrLeavesOutTheirGlyphs) {
  const HostileCase cases[] = {
      {"postscript outlines", cff_font, nullptr,
       "OpenType with PostScript outlines (CFF) is not read; TrueType outlines are"},
      {"CFF table", cff_table, nullptr, "OpenType with PostScript outlines (CFF) is not read; TrueType outlines are"},
      {"directory cut short", directory_cut_short, nullptr, "the table directory runs past the end of the file"},
      {"table past the end", table_past_end, nullptr, "the cmap table runs past the end of the file"},
      // A glyph's own fault leaves out the characters drawn with it, and the rest are drawn. loca's
      // fourth offset moved past glyf ends glyph 2 and starts glyph 3 outside the table.
      {"loca out of glyf",
       {},
       "loca_out_of_glyf.ttf",
       "left out 1: glyph 2's outline lies outside the glyf table; left out 2: glyph 3's outline lies outside the "
       "glyf table; left out 3: glyph 2's outline lies outside the glyf table; "},
      {"composite loop",
       {},
       "composite_loop.ttf",
       "left out 3: glyph 4 nests composite glyphs too deeply (or in a loop); "},
      {"points past the outline",
       {},
       "contours_past_outline.ttf",
       "left out 2: glyph 3's coordinates run past its outline; "},
  };
  for (const HostileCase& hostile : cases) {
    const Bytes bytes = hostile.file ? *read_file(font_test(hostile.file)) : Bytes{};
    EXPECT_EQ(refusal_of(hostile.file ? std::span<const std::uint8_t>(bytes) : hostile.inline_bytes), hostile.reason)
        << hostile.name;
  }
}

// Every cut of a sound font into its tables is refused. The last table, maxp, holds 6 bytes padded
// to 8: the two bytes of padding are not read.
TEST(TrueTypeCheck, RefusesEveryTruncationOfASoundFont) {
  const Bytes font = *read_file(font_test("shapes.ttf"));
  EXPECT_EQ(refusal_of(font), "");
  for (std::size_t length = 0; length + 2 < font.size(); ++length)
    EXPECT_NE(refusal_of(std::span(font).first(length)), "") << length;
}

TEST(TrueTypeCheck, MapsCharactersAndReadsKerning) {
  const Bytes font = *read_file(font_test("shapes.ttf"));
  constexpr char32_t characters[] = {U' ', U'A', U'B', U'C', U'Z', U'\U0001F600'};
  const std::variant<CheckedFont, Failure> checked = check_truetype(font, characters, true);
  ASSERT_TRUE(std::holds_alternative<CheckedFont>(checked));
  const CheckedFont& result = std::get<CheckedFont>(checked);
  EXPECT_EQ(result.glyphs, (std::vector<std::uint16_t>{1, 2, 3, 4, 0, 0}));
  EXPECT_EQ(result.units_per_em, 64);
  ASSERT_EQ(result.kerning.size(), 1u);
  EXPECT_EQ(result.kerning[0].left, 1u);
  EXPECT_EQ(result.kerning[0].right, 2u);
  EXPECT_EQ(result.kerning[0].adjust, -4);
}

}  // namespace
