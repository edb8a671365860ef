// An image that cannot be opened for writing even by root.
#include <gtest/gtest.h>

#include "jobs/subtract.h"
#include "testing/immutable.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

TEST(SubtractInPlacePosix, AnImageThatCannotBeWrittenIsRefused) {
  TempDir dir;
  const Bytes image{10, 20, 30, 40};
  const Bytes sub{1, 2, 3, 4};
  write_file(dir.file("image"), image);
  write_file(dir.file("sub"), sub);
  const Immutable locked(dir.file("image"));
  if (!locked.is_set()) GTEST_SKIP() << "the immutable flag cannot be set here";
  ScriptedFrame frame(dir.file("image"), dir.file("sub"));
  frame.run(subtract_dialog_job);
  EXPECT_EQ(frame.status(), "Cannot open image");
  EXPECT_EQ(read_file(dir.file("image")), image);
  EXPECT_EQ(read_file(dir.file("sub")), sub);
}

}  // namespace
