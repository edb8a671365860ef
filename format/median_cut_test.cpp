// The palette chosen from a picture, against palettes worked out by hand from the rules at the top
// of median_cut.h.
#include "format/median_cut.h"

#include <gtest/gtest.h>

#include <vector>

#include "format/palette_cells.h"
#include "pixels/kernel_path.h"

namespace {

constexpr BgraQuad black{0, 0, 0, 255}, white{255, 255, 255, 255}, grey{0x80, 0x80, 0x80, 255};
constexpr BgraQuad red{0, 0, 255, 255}, blue{255, 0, 0, 255};

struct PaletteCase {
  const char* name;
  std::vector<BgraQuad> picture;
  unsigned entries;
  std::vector<BgraQuad> expected;
};

const PaletteCase palette_cases[] = {
    // Few enough colours: exactly them, ordered by B, G, R, A as a little-endian number.
    {"exact_colours_in_order", {red, blue, red}, 2, {blue, red}},
    {"exact_with_room_to_spare", {white, black}, 16, {black, white}},
    // Black twice, grey (cell level 16, widened to 0x84) and white once: red's range is widest,
    // the count reaches half after black, and grey and white average to (0x84 + 0xFF) / 2 = 0xC2.
    {"median_cut_of_three_into_two", {black, black, grey, white}, 2, {black, {0xC2, 0xC2, 0xC2, 255}}},
};

class ChoosePalette : public testing::TestWithParam<PaletteCase> {};

TEST_P(ChoosePalette, GivesTheHandWorkedEntries) {
  const PaletteCase& c = GetParam();
  ColourCount count(c.entries);
  count.add(c.picture);
  EXPECT_EQ(count.palette(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Pictures, ChoosePalette, testing::ValuesIn(palette_cases),
                         [](const testing::TestParamInfo<PaletteCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(PaletteIndex, FindsExactColoursAndOtherwiseTheNearestEntryToTheCell) {
  // Two colours of one cell (0x80 and 0x81 are both level 16): only an exact palette tells them apart.
  const std::vector<BgraQuad> palette = {{0x81, 0x81, 0x81, 255}, grey};
  EXPECT_EQ(PaletteIndex(palette, true).index_of(grey), 1);
  EXPECT_EQ(PaletteIndex(palette, true).index_of({0x81, 0x81, 0x81, 255}), 0);
  // Otherwise the entry nearest the cell's 0x84, the first on a tie.
  const PaletteIndex cells(std::vector<BgraQuad>{black, {0xC2, 0xC2, 0xC2, 255}}, false);
  EXPECT_EQ(cells.index_of(white), 1);
  EXPECT_EQ(cells.index_of({0x50, 0x50, 0x50, 255}), 0);
  EXPECT_EQ(cells.index_of(grey), 1);
}

// Rows of opaque BGR triples, as a 24-bit picture holds them, and the indices each must get.
struct TripleRowCase {
  const char* name;
  std::vector<BgraQuad> palette;
  bool exact;
  std::vector<std::uint8_t> triples;
  std::vector<std::uint8_t> indices;
};

const TripleRowCase triple_row_cases[] = {
    // 0x80 and 0x81 share a cell (level 16): each finds its own entry, the last pixel of the row
    // too. 0x82, of that cell but not of the palette, takes the entry nearest the cell's 0x84
    // (0x81, 3 levels a channel off); white, of a cell holding none, the entry nearest 0xFF (0x81).
    {"exact_colours_sharing_a_cell",
     {{0x81, 0x81, 0x81, 255}, grey, black},
     true,
     {0x81, 0x81, 0x81, 0x80, 0x80, 0x80, 0, 0, 0, 0x82, 0x82, 0x82, 0xFF, 0xFF, 0xFF, 0x80, 0x80, 0x80},
     {0, 1, 2, 0, 0, 1}},
    // The same six pixels three times and two more: the first sixteen go through the vector kernel.
    {"exact_colours_past_sixteen",
     {{0x81, 0x81, 0x81, 255}, grey, black},
     true,
     {0x81, 0x81, 0x81, 0x80, 0x80, 0x80, 0,    0,    0,    0x82, 0x82, 0x82, 0xFF, 0xFF, 0xFF,
      0x80, 0x80, 0x80, 0x81, 0x81, 0x81, 0x80, 0x80, 0x80, 0,    0,    0,    0x82, 0x82, 0x82,
      0xFF, 0xFF, 0xFF, 0x80, 0x80, 0x80, 0x81, 0x81, 0x81, 0x80, 0x80, 0x80, 0,    0,    0,
      0x82, 0x82, 0x82, 0xFF, 0xFF, 0xFF, 0x80, 0x80, 0x80, 0x81, 0x81, 0x81, 0x80, 0x80, 0x80},
     {0, 1, 2, 0, 0, 1, 0, 1, 2, 0, 0, 1, 0, 1, 2, 0, 0, 1, 0, 1}},
    // Twenty pixels of black and white, each taking the nearest of two entries by its cell alone.
    {"cells_past_sixteen",
     {{0x10, 0x10, 0x10, 255}, {0xE0, 0xE0, 0xE0, 255}},
     false,
     {0,    0,    0,    0xFF, 0xFF, 0xFF, 0,    0,    0, 0, 0, 0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0,
      0,    0xFF, 0xFF, 0xFF, 0,    0,    0,    0,    0, 0, 0, 0,    0,    0xFF, 0xFF, 0xFF, 0,    0,    0, 0xFF,
      0xFF, 0xFF, 0,    0,    0,    0xFF, 0xFF, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0, 0},
     {0, 1, 0, 0, 1, 1, 0, 1, 0, 0, 0, 1, 0, 1, 0, 1, 0, 1, 1, 0}},
    // 0x88 and 0x80 are each 4 levels a channel from grey's cell centre 0x84: the first wins.
    {"first_on_a_tie", {{0x88, 0x88, 0x88, 255}, grey}, false, {0x80, 0x80, 0x80}, {0}},
    // Nine entries, so that the search runs past its first eight: blue, the last, is the nearest.
    {"past_the_first_eight",
     {black, black, black, black, black, black, black, black, blue},
     false,
     {0xF8, 0x10, 0x08},
     {8}},
};

class IndexTriples : public testing::TestWithParam<TripleRowCase> {};

TEST_P(IndexTriples, GivesTheHandWorkedIndices) {
  const TripleRowCase& c = GetParam();
  const auto width = static_cast<std::uint32_t>(c.triples.size() / 3);
  const KernelPath chosen = dispatched_kernel_path();
  for (const KernelPath path : available_kernel_paths()) {
    force_kernel_path(path);
    const PaletteIndex index(c.palette, c.exact);
    std::vector<std::uint8_t> indices(width, 0xEE);
    index.index_triples(c.triples.data(), width, indices.data());
    EXPECT_EQ(indices, c.indices) << "on the " << kernel_path_name(path) << " path";
  }
  force_kernel_path(chosen);
}

TEST(OpaqueCells, SplitEachChannelIntoItsTopAndLowBitsOnEveryKernelPath) {
  // Seventeen pixels, sixteen for a vector and one past it: pixel k has blue 8 k + k % 8 (top bits
  // k, low bits k % 8), green 0xFD - 8 k (top bits 31 - k, low bits 5) and red 0x83 (16 and 3), so
  // that its cell is 16 << 10 | (31 - k) << 5 | k = 17376 - 31 k and its low bits 0xE8 + k % 8.
  std::vector<std::uint8_t> triples;
  for (unsigned k = 0; k < 17; ++k)
    triples.insert(triples.end(),
                   {static_cast<std::uint8_t>(8 * k + k % 8), static_cast<std::uint8_t>(0xFD - 8 * k), 0x83});
  const std::vector<std::uint16_t> cells = {17376, 17345, 17314, 17283, 17252, 17221, 17190, 17159, 17128,
                                            17097, 17066, 17035, 17004, 16973, 16942, 16911, 16880};
  const std::vector<std::uint16_t> lows = {232, 233, 234, 235, 236, 237, 238, 239, 232,
                                           233, 234, 235, 236, 237, 238, 239, 232};
  const KernelPath chosen = dispatched_kernel_path();
  for (const KernelPath path : available_kernel_paths()) {
    force_kernel_path(path);
    std::vector<std::uint16_t> got_cells(17), got_lows(17);
    opaque_cells_kernel()(triples.data(), 17, got_cells.data(), got_lows.data());
    EXPECT_EQ(got_cells, cells) << "on the " << kernel_path_name(path) << " path";
    EXPECT_EQ(got_lows, lows) << "on the " << kernel_path_name(path) << " path";
  }
  force_kernel_path(chosen);
}

INSTANTIATE_TEST_SUITE_P(Rows, IndexTriples, testing::ValuesIn(triple_row_cases),
                         [](const testing::TestParamInfo<TripleRowCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(ColourCount, CountsTriplesAsItCountsQuads) {
  // The median cut of black twice, grey and white, as worked out for quads above.
  const std::uint8_t triples[] = {0, 0, 0, 0, 0, 0, 0x80, 0x80, 0x80, 0xFF, 0xFF, 0xFF};
  ColourCount count(2);
  count.add_triples(triples, 4);
  EXPECT_FALSE(count.exact());
  EXPECT_EQ(count.palette(), (std::vector<BgraQuad>{black, {0xC2, 0xC2, 0xC2, 255}}));
}

}  // namespace
