// What only the Windows build of rgb565 must do.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/console_run.h"
#include "testing/test_files.h"

namespace {

// Windows names ignore case: two inputs whose outputs differ only in case would write one file, so
// the second is refused as it is on Linux for two equal names.
TEST(Rgb565Win32, OutputsDifferingOnlyInCaseAreOneFile) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "a");
  std::filesystem::create_directory(dir.path() / "b");
  std::filesystem::create_directory(dir.path() / "out");
  write_file(dir.file("a/logo.bmp"), make_bmp({.width = 2, .height = -2}, pattern_pixel));
  write_file(dir.file("b/LOGO.bmp"), make_bmp({.width = 3, .height = 2}, pattern_pixel));
  const Rgb565Run run = rgb565({"pack", "-d", dir.file("out"), dir.file("a/logo.bmp"), dir.file("b/LOGO.bmp")});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("skipped"), std::string::npos) << run.err;
  EXPECT_EQ(read_file(dir.file("out/logo.bin")), expected_raw({.width = 2, .height = -2}, pattern_pixel));
}

}  // namespace
