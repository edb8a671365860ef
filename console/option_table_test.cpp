// The option table as the parser and --help read it: each option is taken by its own verbs and
// refused by the others, a bad choice names the good ones, and help after a verb shows that verb's
// options alone. The layout of the help and the manual is tested on rows of its own
// (option_help_test.cpp, option_manual_test.cpp).
#include "console/option_table.h"

#include <gtest/gtest.h>

#include <fstream>

#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "console/option_values.h"

namespace {

std::variant<Invocation, UsageError> parse(const std::vector<std::string>& arguments) {
  const std::vector<std::string_view> views(arguments.begin(), arguments.end());
  return parse_arguments(views);
}

TEST(OptionTable, EveryOptionIsTakenByItsOwnVerbsAndRefusedByTheOthers) {
  // A good value for each kind of value the help writes.
  const std::map<std::string_view, std::string> samples = {
      {"COLOUR", "1E90FF"}, {"WxH", "2x2"},  {"WxH|auto", "2x2"},    {"NAME", "logo"},    {"DIR", "out"},
      {"N", "2"},           {"OUT", "diff"}, {"WxH+X+Y", "1x1+0+0"}, {"TEXT", "PROGMEM"}, {"PALETTE", "bw"},
      {"all|N", "2"},       {"PX", "16"},    {"A-B", "65-70"}};
  for (const OptionRow& row : option_table()) {
    for (std::string_view name : {row.long_name, row.short_name, row.former_name}) {
      if (name.empty()) continue;
      for (const Verb verb : {Verb::pack, Verb::unpack, Verb::subtract, Verb::probe, Verb::font}) {
        // A name that another row gives this verb is that row's to test.
        if (!row.for_verb(verb) && find_option(name, verb)->for_verb(verb)) continue;
        std::vector<std::string> arguments = {std::string(verb_name(verb)), std::string(name)};
        if (!row.choices.empty()) {
          arguments.emplace_back(row.choices.back());
        } else if (row.takes_value()) {
          ASSERT_TRUE(samples.contains(row.value)) << row.value;
          arguments.push_back(samples.at(row.value));
        }
        // -j goes with a batch; every other option with one input and its output.
        if (name == "-j") arguments.insert(arguments.end(), {"-d", "out"});
        if (name == "--fit" || name == "--filter") arguments.insert(arguments.end(), {"--resize", "2x2"});
        if (name == "--c-type" || name == "--c-attribute") arguments.insert(arguments.end(), {"--c-array", "logo"});
        if (name == "--compress") arguments.push_back("--lvgl");
        if (verb == Verb::font && row.long_name != "--px") arguments.insert(arguments.end(), {"--px", "16"});
        // An option of some formats only, after the first format that takes it.
        for (const FormatInfo& info : pixel_formats()) {
          if (row.format_option == 0 || (info.options & row.format_option) == 0) continue;
          arguments.insert(arguments.end(), {"--format", std::string(info.name)});
          break;
        }
        arguments.insert(arguments.end(), {"a", "b"});
        const auto parsed = parse(arguments);
        SCOPED_TRACE(testing::PrintToString(arguments));
        if (row.for_verb(verb)) {
          EXPECT_TRUE(std::holds_alternative<Invocation>(parsed)) << std::get<UsageError>(parsed).message;
        } else {
          ASSERT_TRUE(std::holds_alternative<UsageError>(parsed));
          EXPECT_EQ(std::get<UsageError>(parsed).message,
                    "unknown option '" + std::string(name) + "' for " + std::string(verb_name(verb)));
        }
      }
    }
  }
}

struct RefusalCase {
  std::vector<std::string> arguments;
  const char* message;
};
void PrintTo(const RefusalCase& c, std::ostream* out) { *out << testing::PrintToString(c.arguments); }

class OptionRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(OptionRefusal, SaysWhatIsWrong) {
  const auto parsed = parse(GetParam().arguments);
  ASSERT_TRUE(std::holds_alternative<UsageError>(parsed));
  EXPECT_EQ(std::get<UsageError>(parsed).message, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionRefusal,
    testing::Values(
        RefusalCase{{"pack", "--expand", "zero", "a", "b"}, "unknown option '--expand' for pack"},
        RefusalCase{{"pack", "--size", "2x2", "a", "b"}, "unknown option '--size' for pack"},
        RefusalCase{{"pack", "-o", "c", "a", "b"}, "unknown option '-o' for pack"},
        RefusalCase{{"unpack", "--round", "nearest", "a", "b"}, "unknown option '--round' for unpack"},
        RefusalCase{{"unpack", "--c-array=logo", "a", "b"}, "unknown option '--c-array' for unpack"},
        RefusalCase{{"subtract", "-dout", "a", "b"}, "unknown option '-d' for subtract"},
        RefusalCase{{"subtract", "--rows", "stored", "a", "b"}, "unknown option '--rows' for subtract"},
        RefusalCase{{"--rows", "stored"}, "unknown option '--rows'"},
        RefusalCase{{"pack", "--frobnicate", "a", "b"}, "unknown option '--frobnicate'"},
        RefusalCase{{"pack", "--help=yes"}, "unknown option '--help'"},
        RefusalCase{{"pack", "-hx"}, "unknown option '-h'"}, RefusalCase{{"unpack", "--size"}, "--size needs a value"},
        RefusalCase{{"pack", "--rows", "sideways", "a", "b"},
                    "bad value 'sideways' for --rows (top-down, bottom-up, stored)"},
        RefusalCase{{"pack", "--format", "rgb556", "a", "b"},
                    "bad value 'rgb556' for --format (rgb565, rgb565a8, argb8565, rgb666, rgb888, "
                    "xrgb8888, argb8888, rgb332, rgb444, argb1555, argb4444, argb2222, gray8, al88, gray4, "
                    "gray2, mono1, a8, a4, "
                    "a2, a1, i1, i2, i4, i8)"},
        RefusalCase{{"probe", "--format", "auto", "a"}, "--format auto goes with unpack"},
        RefusalCase{{"pack", "--dither=random", "a", "b"},
                    "bad value 'random' for --dither (none, ordered, diffusion)"},
        RefusalCase{{"unpack", "--expand", "", "a", "b"}, "bad value '' for --expand (zero, replicate)"},
        RefusalCase{{"pack", "--background", "1E90F", "a", "b"},
                    "bad value '1E90F' for --background (RRGGBB, #RRGGBB or #RGB in hexadecimal, or a CSS "
                    "colour name (black, white, magenta, cornflowerblue, ...))"},
        RefusalCase{{"pack", "--filter", "bilinear", "--resize", "2x2", "a", "b"},
                    "bad value 'bilinear' for --filter (mitchell, nearest)"},
        RefusalCase{{"pack", "--filter", "nearest", "a", "b"}, "--filter goes with --resize"},
        RefusalCase{{"pack", "--orientation", "upright", "a", "b"},
                    "bad value 'upright' for --orientation (exif, ignore)"},
        // A former name is refused where its option is, and a refusal lists no former choice.
        RefusalCase{{"unpack", "--frame", "2", "a", "b"}, "unknown option '--frame' for unpack"},
        RefusalCase{{"unpack", "--orientation", "auto", "a", "b"}, "unknown option '--orientation' for unpack"},
        RefusalCase{{"pack", "--frames", "0", "a", "b"}, "bad value '0' for --frames (all, or 1 to 99999)"},
        RefusalCase{{"unpack", "--frames", "all", "a", "b"}, "bad value 'all' for --frames (1 to 99999)"},
        RefusalCase{{"font", "--size", "0", "f.ttf", "f.h"}, "bad value '0' for --size (1 to 1024, for example 16)"},
        RefusalCase{{"pack", "--tiles", "2x2", "--frames", "all", "a", "b"},
                    "--tiles cuts one picture into tiles: give it without --frame"},
        RefusalCase{{"pack", "--lvgl", "--frames", "all", "a", "b"},
                    "--lvgl holds one picture, not --frame all: pack each frame with --frame N"},
        RefusalCase{{"unpack", "-j0", "-d", "out", "a"}, "bad value '0' for -j (1 to 256)"},
        RefusalCase{{"pack", "--c-array", "my-logo", "a", "b"},
                    "--c-array needs a C identifier that is not a keyword, not 'my-logo'"},
        RefusalCase{{"subtract", "-o", "", "a", "b"}, "-o needs a file"},
        RefusalCase{{"pack", "--crop", "0x2+0+0", "a", "b"},
                    "bad value '0x2+0+0' for --crop (WxH+X+Y, for example 320x240+40+0)"},
        RefusalCase{{"pack", "--crop", "2x2+1", "a", "b"},
                    "bad value '2x2+1' for --crop (WxH+X+Y, for example 320x240+40+0)"},
        RefusalCase{{"pack", "--crop", "2x2-1-1", "a", "b"},
                    "bad value '2x2-1-1' for --crop (WxH+X+Y, for example 320x240+40+0)"},
        RefusalCase{{"pack", "--resize", "x", "a", "b"},
                    "bad value 'x' for --resize (WxH, Wx or xH, for example 320x240)"},
        RefusalCase{{"pack", "--resize", "65536x1", "a", "b"},
                    "bad value '65536x1' for --resize (WxH, Wx or xH, for example 320x240)"},
        RefusalCase{{"pack", "--rotate", "45", "a", "b"}, "bad value '45' for --rotate (90, 180, 270)"},
        RefusalCase{{"pack", "--fit", "cover", "a", "b"}, "--fit goes with --resize"},
        RefusalCase{{"font", "f.ttf", "f.h"}, "font needs --px PX, the em size in pixels"},
        RefusalCase{{"font", "--px", "0", "f.ttf", "f.h"}, "bad value '0' for --px (1 to 1024, for example 16)"},
        RefusalCase{{"font", "--px", "2x2", "f.ttf", "f.h"}, "bad value '2x2' for --px (1 to 1024, for example 16)"},
        RefusalCase{{"unpack", "--size", "16", "a", "b"},
                    "bad value '16' for --size (WxH, for example 568x130, or auto)"},
        RefusalCase{{"font", "--px", "16", "f.ttf"}, "font takes FONT and OUT"},
        RefusalCase{{"font", "--px", "16", "-", "f.h"}, "font reads FONT from a file, not '-' (standard input)"},
        RefusalCase{{"font", "--px", "16", "--range", "0x7E-0x20", "f.ttf", "f.h"},
                    "bad value '0x7E-0x20' for --range (A-B or A, for example 0x20-0x7E, U+00B0 or 48-57)"},
        RefusalCase{{"font", "--px", "16", "--range", "U+110000", "f.ttf", "f.h"},
                    "bad value 'U+110000' for --range (A-B or A, for example 0x20-0x7E, U+00B0 or 48-57)"},
        RefusalCase{{"font", "--px", "16", "--range", "0xG1", "f.ttf", "f.h"},
                    "bad value '0xG1' for --range (A-B or A, for example 0x20-0x7E, U+00B0 or 48-57)"},
        RefusalCase{{"font", "--px", "16", "--chars", "\xC3\x28", "f.ttf", "f.h"},
                    "--chars takes UTF-8 text, and this is not valid UTF-8"},
        RefusalCase{{"font", "--px", "16", "--chars", "\xC0\xAF", "f.ttf", "f.h"},
                    "--chars takes UTF-8 text, and this is not valid UTF-8"},
        RefusalCase{{"font", "--px", "16", "--chars", "\xED\xA0\x80", "f.ttf", "f.h"},
                    "--chars takes UTF-8 text, and this is not valid UTF-8"},
        RefusalCase{{"font", "--px", "16", "--bpp", "3", "f.ttf", "f.h"}, "bad value '3' for --bpp (1, 2, 4, 8)"},
        RefusalCase{{"font", "--px", "16", "--lvgl", "f.ttf", "f.png"},
                    "--lvgl writes C source; OUT ending in .png is the proof sheet"},
        RefusalCase{{"font", "--px", "16", "--c-array", "f", "f.ttf", "f.PNG"},
                    "--c-array and --c-attribute name C symbols; OUT ending in .png is the proof sheet"},
        RefusalCase{{"font", "--px", "16", "--kerning", "f.ttf", "f.png"},
                    "--kerning goes with a C header or --lvgl; the proof sheet shows no pairs"},
        RefusalCase{{"font", "--px", "16", "f.ttf", "-"}, "font to '-' (standard output) needs --c-array NAME"},
        RefusalCase{{"font", "--px", "16", "--c-array", "int", "f.ttf", "f.h"},
                    "--c-array needs a C identifier that is not a keyword, not 'int'"},
        RefusalCase{{"font", "--px", "16", "--dither", "ordered", "f.ttf", "f.h"},
                    "unknown option '--dither' for font"}));

// --background's colours as people write them; and what is refused.
TEST(BackgroundColour, ReadsAsWrittenAndRefusesTheRest) {
  const std::pair<const char*, std::uint32_t> read[] = {
      {"1E90FF", 0x1E90FF}, {"#1e90ff", 0x1E90FF}, {"#F80", 0xFF8800}, {"AQUA", 0x00FFFF}, {"Magenta", 0xFF00FF}};
  for (const auto& [text, rgb] : read) {
    BgrTriple colour{};
    ASSERT_TRUE(parse_colour(text, colour)) << text;
    EXPECT_EQ((std::uint32_t{colour.red} << 16 | colour.green << 8 | colour.blue), rgb) << text;
  }
  for (const char* text : {"F80", "#F8", "#1E90FF0", "##1E90FF", "#", "", "gray50", "darkgrey2", "0x1E90", "-1E90F",
                           "#+F80", "red ", "transparent", "currentcolor"}) {
    BgrTriple colour{};
    EXPECT_FALSE(parse_colour(text, colour)) << "'" << text << "'";
  }
}

// Every CSS colour name, against the value Pillow gives it (css-colours.txt); and no other name.
TEST(BackgroundColour, ReadsEveryCssNameAsPillowDoes) {
  std::ifstream table(CSS_COLOURS);
  ASSERT_TRUE(table) << CSS_COLOURS;
  std::string line;
  int names = 0;
  while (std::getline(table, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::string name = line.substr(0, line.find(' '));
    const std::uint32_t rgb = static_cast<std::uint32_t>(std::stoul(line.substr(line.find(' ') + 1), nullptr, 16));
    BgrTriple colour{};
    ASSERT_TRUE(parse_colour(name, colour)) << name;
    EXPECT_EQ((std::uint32_t{colour.red} << 16 | colour.green << 8 | colour.blue), rgb) << name;
    ++names;
  }
  EXPECT_EQ(names, 148);
}

// Options that mean nothing for the pixel format chosen, and containers that cannot hold it.
class FormatOptionRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(FormatOptionRefusal, SaysWhichOptionAndFormat) {
  const auto parsed = parse(GetParam().arguments);
  ASSERT_TRUE(std::holds_alternative<UsageError>(parsed));
  EXPECT_EQ(std::get<UsageError>(parsed).message, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatOptionRefusal,
    testing::Values(RefusalCase{{"pack", "--bytes", "le", "--format", "gray8", "a", "b"},
                                "--bytes does not apply to --format gray8"},
                    RefusalCase{{"pack", "--format", "rgb332", "--bytes", "be", "a", "b"},
                                "--bytes does not apply to --format rgb332"},
                    RefusalCase{{"unpack", "--format", "rgb666", "--bytes", "be", "a", "b"},
                                "--bytes does not apply to --format rgb666"},
                    RefusalCase{{"pack", "--format", "mono1", "--channels", "bgr", "a", "b"},
                                "--channels does not apply to --format mono1"},
                    RefusalCase{{"pack", "--format", "rgb888", "--round", "nearest", "a", "b"},
                                "--round does not apply to --format rgb888"},
                    RefusalCase{{"unpack", "--format", "argb8888", "--expand", "replicate", "a", "b"},
                                "--expand does not apply to --format argb8888"},
                    RefusalCase{{"pack", "--threshold", "9", "a", "b"},
                                "--threshold does not apply to --format rgb565"},
                    RefusalCase{{"unpack", "--format", "gray4", "--scan", "pages", "a", "b"},
                                "--scan does not apply to --format gray4"},
                    RefusalCase{{"pack", "--format", "rgb888", "--premultiply", "a", "b"},
                                "--premultiply does not apply to --format rgb888"},
                    RefusalCase{{"pack", "--palette", "bw", "a", "b"}, "--palette does not apply to --format rgb565"},
                    RefusalCase{{"pack", "--format", "i1", "--palette", "bwr", "a", "b"},
                                "--palette has 3 colours; --format i1 holds 2"},
                    RefusalCase{{"pack", "--format", "i2", "--palette", "bw", "--premultiply", "a", "b"},
                                "--premultiply has no alpha to scale with --palette, whose colours are opaque"},
                    RefusalCase{{"pack", "--format", "gray8", "--dither", "ordered", "a", "b"},
                                "--dither does not apply to --format gray8"},
                    RefusalCase{{"pack", "--format", "xrgb8888", "--dither", "diffusion", "a", "b"},
                                "--dither does not apply to --format xrgb8888"},
                    RefusalCase{{"pack", "--format", "mono1", "--threshold", "100", "--dither", "ordered", "a", "b"},
                                "--dither and --threshold both choose which pixels light; give one of them"},
                    RefusalCase{{"pack", "--resize", "320x", "--fit", "cover", "a", "b"},
                                "--fit needs both sides of --resize; Wx or xH keeps the picture's proportions"},
                    RefusalCase{{"pack", "--c-type", "bytes", "a", "b"}, "--c-type goes with --c-array"},
                    RefusalCase{{"pack", "--c-attribute", "PROGMEM", "a", "b"}, "--c-attribute goes with --c-array"},
                    RefusalCase{{"pack", "--format", "rgb888", "--c-array", "x", "--c-type", "words", "a", "b"},
                                "--c-type words is for rgb565; --format rgb888 is written as bytes"},
                    RefusalCase{{"pack", "--format", "i8", "--bit-order", "lsb", "a", "b"},
                                "--bit-order does not apply to --format i8"},
                    RefusalCase{{"pack", "--lvgl", "--format", "mono1", "a", "b"},
                                "--lvgl does not take --format mono1: LVGL has no colour format for it"},
                    RefusalCase{{"pack", "--lvgl", "--format", "rgb888", "--bytes", "be", "a", "b"},
                                "--lvgl does not take --format rgb888 with --bytes be: LVGL stores it low byte first"},
                    // LVGL has rgb444 in neither byte order: the refusal names no --bytes that was not given.
                    RefusalCase{{"pack", "--lvgl", "--format", "rgb444", "a", "b"},
                                "--lvgl does not take --format rgb444: LVGL has no colour format for it"},
                    RefusalCase{{"pack", "--lvgl", "--format", "gray2", "a", "b"},
                                "--lvgl does not take --format gray2: LVGL has no colour format for it"},
                    RefusalCase{{"pack", "--format", "a8", "--dither", "ordered", "a", "b"},
                                "--dither does not apply to --format a8"},
                    RefusalCase{{"pack", "--format", "a1", "--round", "nearest", "a", "b"},
                                "--round does not apply to --format a1"},
                    RefusalCase{{"pack", "--lvgl", "--channels", "bgr", "a", "b"},
                                "--lvgl takes red in the high bits, not --channels bgr"},
                    RefusalCase{{"pack", "--lvgl", "--rows", "stored", "a", "b"},
                                "--lvgl writes the top row first, not --rows bottom-up or stored"},
                    RefusalCase{{"pack", "--rows", "stored", "--lvgl", "a", "b"},
                                "--lvgl writes the top row first, not --rows bottom-up or stored"},
                    RefusalCase{{"pack", "--compress", "rle", "a", "b"}, "--compress goes with --lvgl"},
                    RefusalCase{{"unpack", "--size", "auto", "--align", "4", "a", "b"},
                                "--size auto and --format auto guess rows without padding; give --size with --align"},
                    RefusalCase{{"pack", "--align", "3", "a", "b"},
                                "bad value '3' for --align (a power of two up to 1024, for example 4)"},
                    RefusalCase{{"unpack", "--align", "2048", "a", "b"},
                                "bad value '2048' for --align (a power of two up to 1024, for example 4)"},
                    RefusalCase{{"pack", "--align", "0", "a", "b"},
                                "bad value '0' for --align (a power of two up to 1024, for example 4)"}));

// Help after a verb holds that verb's usage, options and examples, and nothing of the others.
TEST(OptionTable, HelpAfterAVerbIsThatVerbsOwn) {
  const struct {
    std::vector<std::string> arguments;
    std::vector<const char*> shown;
    std::vector<const char*> left_out;
  } cases[] = {
      {{"pack", "--help"},
       {"usage: rgb565 pack IN OUT.bin [options]\n", "  --dither none|ordered|diffusion\n", "  -d DIR ",
        "One word, bit 15 first: RRRRRGGG GGGBBBBB (RGB565)\n", "  rgb565 pack logo.bmp logo.bin\n"},
       {"rgb565 unpack", "--expand", "--size", "-o OUT", "--longer-sub", "pack:"}},
      {{"pack", "--format", "argb8888", "--help"},
       {"Each pixel in argb8888: 32-bit word A R G B (bytes B G R A)\n"},
       {"One word, bit 15 first"}},
      {{"unpack", "--bytes", "be", "-h"},
       {"usage: rgb565 unpack IN.bin OUT.bmp [options]\n", "  --expand zero|replicate ", "  --size WxH|auto ",
        "In the file: byte 0 = RRRRRGGG, byte 1 = GGGBBBBB (high byte first)\n", "rgb565 unpack --size 320x240 -d"},
       {"rgb565 pack", "--dither", "--background", "-o OUT", "unpack:"}},
      {{"subtract", "--help"},
       {"usage: rgb565 subtract IMAGE SUB [-o OUT] [options]\n", "  -o OUT ", "  --longer-sub ", "  --version "},
       {"rgb565 pack", "rgb565 unpack", "--rows", "-d DIR", "One word"}},
      {{"--help"},
       {"usage: rgb565 pack IN OUT.bin", "       rgb565 subtract IMAGE SUB", "  --expand ", "  -o OUT "},
       {}},
  };
  for (const auto& c : cases) {
    const std::variant<Invocation, UsageError> parsed = parse(c.arguments);
    ASSERT_TRUE(std::holds_alternative<Invocation>(parsed)) << testing::PrintToString(c.arguments);
    const std::string help = help_text(std::get<Invocation>(parsed));
    for (const char* text : c.shown) EXPECT_NE(help.find(text), std::string::npos) << text << "\nnot in\n" << help;
    for (const char* text : c.left_out) EXPECT_EQ(help.find(text), std::string::npos) << text << "\nin\n" << help;
  }
}

// The former spellings of renamed options and choices parse as their new spellings do: the
// fields the option sets, written out, and the options recorded as given.
struct FormerSpelling {
  const char* name;
  std::vector<std::string> former;
  std::vector<std::string> current;
  std::string (*fields)(const Invocation&);
  const char* expected;
};
void PrintTo(const FormerSpelling& c, std::ostream* out) { *out << c.name; }

std::string font_px(const Invocation& invocation) { return "px " + std::to_string(invocation.font.size_px); }
std::string pack_frame(const Invocation& invocation) {
  return "frame " + std::to_string(invocation.pack.frame) + (invocation.pack.all_frames ? " all" : "");
}
std::string orientation(const Invocation& invocation) { return invocation.pack.upright ? "exif" : "ignore"; }

class FormerSpellings : public testing::TestWithParam<FormerSpelling> {};

TEST_P(FormerSpellings, ParseAsTheNewSpelling) {
  const auto former = parse(GetParam().former);
  const auto current = parse(GetParam().current);
  ASSERT_TRUE(std::holds_alternative<Invocation>(former)) << std::get<UsageError>(former).message;
  ASSERT_TRUE(std::holds_alternative<Invocation>(current)) << std::get<UsageError>(current).message;
  EXPECT_EQ(GetParam().fields(std::get<Invocation>(former)), GetParam().expected);
  EXPECT_EQ(GetParam().fields(std::get<Invocation>(current)), GetParam().expected);
  EXPECT_EQ(std::get<Invocation>(former).given, std::get<Invocation>(current).given);
}

INSTANTIATE_TEST_SUITE_P(
    Aliases, FormerSpellings,
    testing::Values(FormerSpelling{"FontSize",
                                   {"font", "--size", "16", "f.ttf", "f.h"},
                                   {"font", "--px", "16", "f.ttf", "f.h"},
                                   font_px,
                                   "px 16"},
                    FormerSpelling{"FontSizeInline",
                                   {"font", "--size=24", "f.ttf", "f.h"},
                                   {"font", "--px=24", "f.ttf", "f.h"},
                                   font_px,
                                   "px 24"},
                    FormerSpelling{"PackFrames",
                                   {"pack", "--frames", "3", "a", "b"},
                                   {"pack", "--frame", "3", "a", "b"},
                                   pack_frame,
                                   "frame 3"},
                    FormerSpelling{"PackFramesAll",
                                   {"pack", "--frames=all", "a", "b"},
                                   {"pack", "--frame=all", "a", "b"},
                                   pack_frame,
                                   "frame 1 all"},
                    FormerSpelling{"PackFramesBeforeTheVerb",
                                   {"--frames", "2", "pack", "a", "b"},
                                   {"--frame", "2", "pack", "a", "b"},
                                   pack_frame,
                                   "frame 2"},
                    FormerSpelling{"OrientationStored",
                                   {"pack", "--orientation", "stored", "a", "b"},
                                   {"pack", "--orientation", "ignore", "a", "b"},
                                   orientation,
                                   "ignore"},
                    // After ignore, so that auto is seen to set what exif sets rather than leave the default.
                    FormerSpelling{"OrientationAuto",
                                   {"pack", "--orientation", "ignore", "--orientation", "auto", "a", "b"},
                                   {"pack", "--orientation", "ignore", "--orientation", "exif", "a", "b"},
                                   orientation,
                                   "exif"}),
    [](const testing::TestParamInfo<FormerSpelling>& row) { return std::string(row.param.name); });

// --help lists the new spellings, and names each former one once, beside its option.
TEST(OptionTable, HelpNamesTheNewSpellingsAndEachFormerOneOnce) {
  const struct {
    std::vector<std::string> arguments;
    std::vector<const char*> shown;
    std::vector<const char*> left_out;
    int formerly;
  } cases[] = {
      {{"--help"},
       {"  --px PX ", "  --frame all|N ", "  --orientation exif|ignore\n", "  --frames N ",
        "rgb565 font FONT OUT --px PX ", "formerly --size, accepted until 3.0", "formerly --frames, accepted until 3.0",
        "formerly auto for exif and stored for ignore, accepted until 3.0"},
       {"--size PX", "--frames all", "auto|stored", "exif|ignore|"},
       3},
      {{"font", "--help"},
       {"usage: rgb565 font FONT OUT --px PX [options]\n", "  --px PX ", "  rgb565 font --px 16 "},
       {"--size PX", "--size 16"},
       1},
      {{"pack", "--help"}, {"  --frame all|N ", "  --orientation exif|ignore\n"}, {"--frames N", "--size"}, 2},
      {{"unpack", "--help"}, {"  --frames N "}, {"--frame all", "--orientation"}, 0},
  };
  for (const auto& c : cases) {
    const std::variant<Invocation, UsageError> parsed = parse(c.arguments);
    ASSERT_TRUE(std::holds_alternative<Invocation>(parsed)) << testing::PrintToString(c.arguments);
    const std::string help = help_text(std::get<Invocation>(parsed));
    for (const char* text : c.shown) EXPECT_NE(help.find(text), std::string::npos) << text << "\nnot in\n" << help;
    for (const char* text : c.left_out) EXPECT_EQ(help.find(text), std::string::npos) << text << "\nin\n" << help;
    int formerly = 0;
    for (std::size_t at = help.find("formerly"); at != std::string::npos; at = help.find("formerly", at + 1))
      ++formerly;
    EXPECT_EQ(formerly, c.formerly) << testing::PrintToString(c.arguments);
  }
}

}  // namespace
