#include "files/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ShellWordCase {
  const char* name;
  bool as_is;
};

class ShellWord : public ::testing::TestWithParam<ShellWordCase> {};

TEST_P(ShellWord, IsShownOnlyWhenTheShellTakesItAsItStands) {
  EXPECT_EQ(shell_takes_as_is(GetParam().name), GetParam().as_is) << '"' << GetParam().name << '"';
}

INSTANTIATE_TEST_SUITE_P(EitherShell, ShellWord,
                         ::testing::Values(ShellWordCase{"out.png", true}, ShellWordCase{"/tmp/dump-2_a+b.bin", true},
                                           ShellWordCase{"Z:/dumps/a.bin", true}, ShellWordCase{"", false},
                                           ShellWordCase{"two words.bin", false}, ShellWordCase{"$HOME/a.bin", false},
                                           ShellWordCase{"%TEMP%.bin", false}, ShellWordCase{"a*.bin", false},
                                           ShellWordCase{"a&b.bin", false}, ShellWordCase{"\"a\".bin", false},
                                           ShellWordCase{"caf\xC3\xA9.bin", false}));

// A backslash separates folders in the Command Prompt but escapes the next character in a POSIX
// shell, where `a\b` would name `ab`.
TEST(ShellWord, TakesBackslashesOnlyWhereTheySeparateFolders) {
  EXPECT_EQ(shell_takes_as_is("C:\\users\\dump.bin"), TOOL_SHELL_TAKES_BACKSLASH != 0);
}

}  // namespace
