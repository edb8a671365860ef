// Kestrin's job on Linux: a failed write made real with a file size limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export-loader/export_through_loader.h"
#include "testing/file_size_limit.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

using Statuses = std::vector<std::string>;

TEST(KestrinPosix, AFailedWriteLeavesSavingAndNoFile) {
  TempDir dir;
  const std::string input = dir.file("in.bmp");
  const std::string output = dir.file("out.bin");
  write_file(input, make_bmp({.width = 40, .height = 40}, pattern_pixel));
  ScriptedFrame frame(input, output);
  {
    FileSizeLimit limit(1000);
    export_through_loader(frame);
  }
  EXPECT_EQ(frame.statuses(), Statuses{"Saving"});
  EXPECT_FALSE(file_exists(output));
}

}  // namespace
