// Every row of the clash table is met by some command line and refused in its own words, whatever
// order the two sides come in; either side alone is taken.
#include "console/option_clashes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::variant<Invocation, UsageError> parse(const std::vector<std::string>& arguments) {
  std::vector<std::string_view> views(arguments.begin(), arguments.end());
  return parse_arguments(views);
}

struct ClashCase {
  std::vector<std::string> arguments;
  const char* message;
};

const ClashCase clash_cases[] = {
    {{"pack", "--dither", "ordered", "--format", "mono1", "--threshold", "9", "a", "b"},
     "--dither and --threshold both choose which pixels light; give one of them"},
    {{"pack", "--round", "nearest", "--dither", "diffusion", "a", "b"},
     "--dither and --round nearest both choose the levels; give one of them"},
    {{"pack", "--format", "i4", "--palette", "bw", "--premultiply", "a", "b"},
     "--premultiply has no alpha to scale with --palette, whose colours are opaque"},
    {{"pack", "--c-type", "bytes", "a", "b"}, "--c-type goes with --c-array"},
    {{"pack", "--c-attribute", "PROGMEM", "a", "b"}, "--c-attribute goes with --c-array"},
    {{"pack", "--compress", "rle", "a", "b"}, "--compress goes with --lvgl"},
    {{"pack", "--tiles", "8x8", "--lvgl", "a", "b"},
     "--lvgl writes one picture: --tiles goes with raw data or --c-array"},
    {{"pack", "--frame", "2", "--tiles", "8x8", "a", "b"},
     "--tiles cuts one picture into tiles: give it without --frame"},
    {{"pack", "--rows", "stored", "--lvgl", "a", "b"},
     "--lvgl writes the top row first, not --rows bottom-up or stored"},
    {{"pack", "--key", "magenta", "--background", "white", "a", "b"},
     "--key is the colour of transparent pixels: give it or --background"},
    {{"pack", "--format", "a8", "--alpha-threshold", "9", "a", "b"},
     "--key and --alpha-threshold are for a format without alpha (or with --palette): this one keeps the pixels' "
     "alpha"},
    {{"pack", "--tiles", "8x8", "--rows", "bottom-up", "a", "b"},
     "--tiles writes each tile top row first, not --rows bottom-up"},
    {{"pack", "--c-type", "words", "--lvgl", "--c-array", "img", "a", "b"},
     "--lvgl's C source holds bytes, not --c-type words"},
    {{"pack", "--frame", "all", "--lvgl", "a", "b"},
     "--lvgl holds one picture, not --frame all: pack each frame with --frame N"},
    {{"pack", "--fit", "cover", "a", "b"}, "--fit goes with --resize"},
    {{"pack", "--filter", "nearest", "a", "b"}, "--filter goes with --resize"},
    {{"pack", "--fit", "cover", "--resize", "320x", "a", "b"},
     "--fit needs both sides of --resize; Wx or xH keeps the picture's proportions"},
    {{"unpack", "--align", "4", "--size", "auto", "a", "b"},
     "--size auto and --format auto guess rows without padding; give --size with --align"},
    {{"unpack", "--format", "auto", "--frames", "3", "a", "b"},
     "--frames needs the frame's --size and --format; auto guesses one picture"},
    {{"unpack", "--frames", "3", "--size", "4x4", "a", "-"},
     "unpack --frames writes a picture for each frame, named after OUT, not to '-'"},
    {{"unpack", "-j", "2", "--size", "4x4", "a", "b"}, "-j goes with -d: one file converts on its own"},
    {{"pack", "-d", "out", "a", "-"}, "-d takes files; '-' (standard input) goes without -d"},
    {{"font", "--lvgl", "--px", "16", "f.ttf", "sheet.png"},
     "--lvgl writes C source; OUT ending in .png is the proof sheet"},
    {{"font", "--px", "16", "--c-attribute", "PROGMEM", "f.ttf", "sheet.PNG"},
     "--c-array and --c-attribute name C symbols; OUT ending in .png is the proof sheet"},
    {{"font", "--kerning", "--px", "16", "f.ttf", "sheet.png"},
     "--kerning goes with a C header or --lvgl; the proof sheet shows no pairs"},
    {{"font", "--px", "16", "f.ttf", "-"}, "font to '-' (standard output) needs --c-array NAME"},
    {{"unpack", "--size", "auto", "--offset", "128", "a", "b"},
     "--size auto and --format auto guess rows that start at the input's first byte, unpadded; give --size with "
     "--offset or --stride"},
    {{"unpack", "--size", "4x4", "--stride", "64", "--align", "4", "a", "b"},
     "--stride and --align both say where each row starts; give one of them"},
    {{"pack", "--lvgl", "--format", "i2", "--bit-order", "lsb", "a", "b"},
     "--lvgl stores each byte's first pixel in its high bits, not --bit-order lsb"},
    {{"unpack", "--format", "i4", "--size", "auto", "--bit-order", "msb", "a", "b"},
     "--size auto and --format auto guess with each format's own bit order; give --size with --bit-order"},
};

TEST(OptionClashes, EachRowIsRefusedInItsOwnWords) {
  std::set<std::string> met;
  for (const ClashCase& c : clash_cases) {
    const auto parsed = parse(c.arguments);
    ASSERT_TRUE(std::holds_alternative<UsageError>(parsed)) << c.message;
    EXPECT_EQ(std::get<UsageError>(parsed).message, c.message);
    met.insert(c.message);
  }
  // A row that no command line meets is a rule that never runs.
  EXPECT_EQ(met.size(), option_clashes().size());
}

TEST(OptionClashes, EitherSideAloneIsTaken) {
  const std::vector<std::vector<std::string>> alone = {
      {"pack", "--dither", "ordered", "--format", "mono1", "a", "b"},
      {"pack", "--format", "mono1", "--threshold", "9", "a", "b"},
      {"pack", "--fit", "cover", "--resize", "320x240", "a", "b"},
      {"pack", "--lvgl", "--rows", "top-down", "a", "b"},
      {"pack", "--lvgl", "--c-array", "img", "--c-type", "bytes", "a", "b"},
      {"pack", "--tiles", "8x8", "--c-array", "tiles", "a", "b"},
      {"unpack", "--frames", "3", "--size", "4x4", "a", "b"},
      {"pack", "--lvgl", "--format", "i2", "--bit-order", "msb", "a", "b"},
      {"unpack", "--format", "i4", "--size", "4x4", "--bit-order", "lsb", "a", "b"},
      {"unpack", "--size", "4x4", "--offset", "128", "--stride", "64", "a", "b"},
      {"font", "--px", "16", "f.ttf", "sheet.png"},
      {"font", "--px", "16", "--c-array", "f", "f.ttf", "-"},
  };
  for (const auto& arguments : alone) {
    const auto parsed = parse(arguments);
    EXPECT_TRUE(std::holds_alternative<Invocation>(parsed))
        << arguments[1] << " ...: " << std::get<UsageError>(parsed).message;
  }
}

TEST(OptionClashes, HelpListsEachVerbsOwn) {
  const std::string font = clashes_help(Verb::font);
  EXPECT_EQ(font.rfind("Refused together (a usage error):\n", 0), 0u);
  EXPECT_NE(font.find("  font to '-' (standard output) needs --c-array NAME\n"), std::string::npos);
  EXPECT_EQ(font.find("--dither"), std::string::npos);
  EXPECT_EQ(clashes_help(Verb::subtract), "");
}

}  // namespace
