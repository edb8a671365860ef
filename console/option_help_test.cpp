// --help's layout of an option, on rows made here rather than the table's own: the names and value
// from column 2, the help from column 28 or on a line of its own, wrapped before column 96.
#include "console/option_help.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr std::string_view shades[] = {"dark", "light"};

struct HelpCase {
  const char* name;
  OptionRow row;
  std::string prefix;
  std::string expected;
};
void PrintTo(const HelpCase& c, std::ostream* out) { *out << c.name; }

class OptionHelpLayout : public testing::TestWithParam<HelpCase> {};

TEST_P(OptionHelpLayout, PlacesNamesAndWrapsTheHelp) {
  EXPECT_EQ(option_help(GetParam().row, GetParam().prefix), GetParam().expected);
}

const std::string a33(33, 'a'), b33(33, 'b'), b34(34, 'b');

INSTANTIATE_TEST_SUITE_P(
    Rows, OptionHelpLayout,
    testing::Values(HelpCase{"ChoicesAndPrefix",
                             {.long_name = "--shade", .choices = shades, .help = "the shade"},
                             "pack:",
                             "  --shade dark|light        pack: the shade\n"},
                    // A former name is said once, after the help, and never among the names.
                    HelpCase{"FormerName",
                             {.long_name = "--tint", .choices = shades, .former_name = "--shade", .help = "the tint"},
                             "",
                             "  --tint dark|light         the tint; formerly --shade, accepted until 3.0\n"},
                    HelpCase{"ShortAndLongName",
                             {.long_name = "--quiet", .short_name = "-q", .help = "say less"},
                             "",
                             "  -q, --quiet               say less\n"},
                    // 26 characters of label leave the two spaces before the help; 27 do not.
                    HelpCase{"LabelJustShortOfTheHelp",
                             {.long_name = "--name-twenty-four-chars", .help = "x"},
                             "",
                             "  --name-twenty-four-chars  x\n"},
                    HelpCase{"LabelReachingTheHelp",
                             {.long_name = "--names-twenty-five-chars", .help = "x"},
                             "",
                             "  --names-twenty-five-chars\n                            x\n"},
                    // From column 28, 67 characters fill the line to column 95; one more starts the next.
                    HelpCase{"LineFilledToColumn95",
                             {.long_name = "--x", .value = "N", .help = "c"},
                             a33 + " " + b33,
                             "  --x N                     " + a33 + " " + b33 + "\n                            c\n"},
                    HelpCase{"WordPastColumn95",
                             {.long_name = "--x", .value = "N", .help = "c"},
                             a33 + " " + b34,
                             "  --x N                     " + a33 + "\n                            " + b34 + " c\n"}),
    [](const testing::TestParamInfo<HelpCase>& row) { return std::string(row.param.name); });

}  // namespace
