// rgb565 on Linux: its C headers read by the host's C compiler, and a failed write made real.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "frame/console/console.h"
#include "testing/file_size_limit.h"
#include "testing/test_files.h"

namespace {

int rgb565(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  const std::vector<std::string_view> views(arguments.begin(), arguments.end());
  return run_rgb565(views, {out, err, false});
}

// The array a C99 compiler makes of the header holds, in memory, the raw image's bytes under the
// same options.
TEST(Rgb565Posix, CArrayCompilesToTheRawImagesBytes) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 5, .height = 3}, pattern_pixel));
  const std::vector<std::string> options = {"--rows", "top-down", "--bytes", "be", "--channels", "bgr"};
  std::vector<std::string> raw = {"pack", dir.file("in.bmp"), dir.file("raw.bin")};
  std::vector<std::string> header = {"pack", "--c-array", "logo", dir.file("in.bmp"), dir.file("logo.h")};
  raw.insert(raw.end(), options.begin(), options.end());
  header.insert(header.end(), options.begin(), options.end());
  ASSERT_EQ(rgb565(raw), 0);
  ASSERT_EQ(rgb565(header), 0);
  write_file(dir.file("dump.c"), [] {
    const std::string program =
        "#include <stdio.h>\n#include \"logo.h\"\n"
        "int main(void) {\n"
        "  if (logo_width != 5 || logo_height != 3 || sizeof logo != 30) return 1;\n"
        "  return fwrite(logo, 1, sizeof logo, stdout) == sizeof logo ? 0 : 1;\n}\n";
    return Bytes(program.begin(), program.end());
  }());
  const std::string compile = std::string(TOOL_HOST_CC) + " -x c -std=c99 -pedantic -Wall -Werror -o " +
                              dir.file("dump") + " " + dir.file("dump.c") + " && " + dir.file("dump") + " > " +
                              dir.file("dumped.bin");
  ASSERT_EQ(std::system(compile.c_str()), 0) << compile;
  EXPECT_EQ(read_file(dir.file("dumped.bin")), read_file(dir.file("raw.bin")));
  const Bytes header_bytes = *read_file(dir.file("logo.h"));
  const std::string text(header_bytes.begin(), header_bytes.end());
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "/* " + dir.file("in.bmp") + ": 5 x 3 pixels, top row first, BGR565, high byte first */");
}

TEST(Rgb565Posix, AFailedWriteExitsWith1AndLeavesNoFile) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 40, .height = 40}, pattern_pixel));
  int code = 0;
  {
    FileSizeLimit limit(1000);
    code = rgb565({"pack", dir.file("in.bmp"), dir.file("out.bin")});
  }
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(file_exists(dir.file("out.bin")));
}

}  // namespace
