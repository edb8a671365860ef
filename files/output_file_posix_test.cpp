// Failed writes, made real with a file size limit: writes past it fail with EFBIG, as they would on
// a full disk, after a partial write that the output file must carry on from.
#include <gtest/gtest.h>

#include "files/output_file.h"
#include "testing/file_size_limit.h"
#include "testing/test_files.h"

namespace {

TEST(OutputFilePosix, AFailedWriteIsReportedAndThePartialFileRemoved) {
  TempDir dir;
  const std::string path = dir.file("full.bin");
  const Bytes header(100, 0xAA);
  const Bytes pixels(10000, 0xBB);
  bool saved = true;
  {
    FileSizeLimit limit(4096);
    saved = save_output_file(path.c_str(), {header, pixels});
  }
  EXPECT_FALSE(saved);
  EXPECT_FALSE(file_exists(path));
}

TEST(OutputFilePosix, WritesCarryOnAfterAPartialWrite) {
  TempDir dir;
  const std::string path = dir.file("partial.bin");
  std::optional<OutputFile> file = OutputFile::create(path.c_str());
  ASSERT_TRUE(file.has_value());
  const Bytes bytes(8192, 0xCC);
  bool written = true;
  {
    FileSizeLimit limit(5000);
    written = file->write(bytes);
  }
  EXPECT_FALSE(written);
  file->close();
  // The limit cut the first write short; the rest was tried and refused, not silently dropped.
  EXPECT_EQ(read_file(path)->size(), 5000u);
}

}  // namespace
