// The manual page's and the user guide's entries, on rows made here rather than the tables' own:
// the roff markup of names, choices, verbs and sentences, and the guide's tag, indentation and
// wrapping.
#include "console/option_manual.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr std::string_view shades[] = {"dark", "semi-light"};
constexpr VerbSet converting = verb_bit(Verb::pack) | verb_bit(Verb::unpack);
constexpr VerbSet every_verb = converting | verb_bit(Verb::subtract) | verb_bit(Verb::probe) | verb_bit(Verb::font);

constexpr OptionRow shade = {.long_name = "--shade",
                             .verbs = converting,
                             .choices = shades,
                             .help = "the shade of a pixel",
                             .more = "Semi-light is lighter. See --tone."};
constexpr OptionRow count = {.short_name = "-n", .verbs = verb_bit(Verb::pack), .value = "N", .help = "n times"};
constexpr OptionRow quiet = {.long_name = "--quiet", .short_name = "-q", .verbs = every_verb, .help = "say less"};

TEST(OptionManual, TagsAnOptionsNamesChoicesAndVerbsOneSentenceALine) {
  EXPECT_EQ(option_manual_entry(shade),
            ".TP\n.BR \\-\\-shade \" \" dark |\\: semi\\-light\n.RB ( pack \", \" unpack )\n"
            "The shade of a pixel.\nSemi-light is lighter.\nSee \\-\\-tone.\n");
  EXPECT_EQ(option_manual_entry(count), ".TP\n.BI \\-n \" N\"\n.RB ( pack )\nN times.\n");
  EXPECT_EQ(option_manual_entry(quiet), ".TP\n.BR \\-q \", \" \\-\\-quiet\nSay less.\n");
}

// A renamed option's former name and its choices' former names close its entry, once.
constexpr FormerName pale[] = {{"pale", "semi-light"}};
constexpr OptionRow tint = {.long_name = "--tint",
                            .verbs = converting,
                            .choices = shades,
                            .former_name = "--shade",
                            .former_choices = pale,
                            .help = "the tint"};

TEST(OptionManual, EndsWithTheFormerNames) {
  EXPECT_EQ(option_manual_entry(tint),
            ".TP\n.BR \\-\\-tint \" \" dark |\\: semi\\-light\n.RB ( pack \", \" unpack )\n"
            "The tint.\nFormerly \\-\\-shade and pale for semi-light, accepted until 3.0.\n");
  EXPECT_EQ(option_guide_entry(tint),
            "  --tint dark|semi-light\n"
            "      (pack, unpack) The tint. Formerly --shade and pale for semi-light, accepted until 3.0.\n");
}

TEST(OptionGuide, IndentsTheSentencesUnderTheTagAndNamesTheVerbs) {
  EXPECT_EQ(option_guide_entry(shade),
            "  --shade dark|semi-light\n"
            "      (pack, unpack) The shade of a pixel. Semi-light is lighter. See --tone.\n");
  EXPECT_EQ(option_guide_entry(quiet), "  -q, --quiet\n      Say less.\n");
}

TEST(OptionGuide, WrapsALongListOfChoicesAfterABarAndTheSentencesBeforeColumn96) {
  constexpr std::string_view tens[] = {"choice-001", "choice-002", "choice-003", "choice-004", "choice-005",
                                       "choice-006", "choice-007", "choice-008", "choice-009"};
  // "Z. ", 42 characters, a space and 43 fill a line from column 6 to column 95.
  const std::string a42(42, 'a'), b43(43, 'b');
  const std::string more = a42 + " " + b43 + " c";
  const OptionRow pick = {.long_name = "--pick", .verbs = every_verb, .choices = tens, .help = "z", .more = more};
  EXPECT_EQ(option_guide_entry(pick),
            "  --pick choice-001|choice-002|choice-003|choice-004|choice-005|choice-006|choice-007|\n"
            "         choice-008|choice-009\n"
            "      Z. " +
                a42 + " " + b43 + "\n      c\n");
}

TEST(FormatReference, GivesTheBitsTheLayoutAndTheOptionsTaken) {
  const OptionRow options[] = {{.long_name = "--tint", .format_option = 1u << 0},
                               {.long_name = "--all"},
                               {.long_name = "--fade-out", .format_option = 1u << 1}};
  const FormatInfo one_bit = {PixelFormat::mono1, "dots1", 1, {1, 1, 1}, 0, 0, 0, "dots-wide bits"};
  const FormatInfo with_alpha = {PixelFormat::argb8888, "tinted", 16, {4, 4, 4}, 4, 0, 3, "word ARGB"};
  const FormatInfo indexed = {PixelFormat::i2, "four", 2, {0, 0, 0}, 8, 2, 2, "indices"};
  EXPECT_EQ(format_manual_entry(one_bit, options),
            ".TP\n.B dots1\n1 bit a pixel: dots-wide bits.\nIt takes none of the options that depend on the format.\n");
  EXPECT_EQ(format_manual_entry(with_alpha, options),
            ".TP\n.B tinted\n16 bits a pixel, with alpha: word ARGB.\nIt takes \\-\\-tint, \\-\\-fade\\-out.\n");
  EXPECT_EQ(format_guide_entry(indexed, options), "  four\n      2 bits a pixel: indices. It takes --fade-out.\n");
}

// docs/formats.md's table: a row a format, options in code spans, and a bar in the layout escaped so
// that it does not end the cell.
TEST(FormatReference, MakesAMarkdownRowWithItsBarsEscaped) {
  const OptionRow options[] = {{.long_name = "--tint", .format_option = 1u << 0},
                               {.long_name = "--fade-out", .format_option = 1u << 1}};
  const FormatInfo one_bit = {PixelFormat::mono1, "dots1", 1, {1, 1, 1}, 0, 0, 0, "bits | pages"};
  const FormatInfo with_alpha = {PixelFormat::argb8888, "tinted", 16, {4, 4, 4}, 4, 0, 3, "word ARGB"};
  const FormatInfo indexed = {PixelFormat::i2, "four", 2, {0, 0, 0}, 8, 2, 2, "indices"};
  EXPECT_EQ(format_markdown_row(one_bit, options), "| `dots1` | 1 | bits \\| pages | none |\n");
  EXPECT_EQ(format_markdown_row(with_alpha, options),
            "| `tinted` | 16 | word ARGB, with alpha | `--tint`, `--fade-out` |\n");
  EXPECT_EQ(format_markdown_row(indexed, options), "| `four` | 2 | indices | `--fade-out` |\n");
}

}  // namespace
