#include "files/output_file.h"

#include <gtest/gtest.h>

#include <array>

#include "testing/test_files.h"

namespace {

TEST(OutputFile, ReplacesALongerFileCompletely) {
  TempDir dir;
  const std::string path = dir.file("out.bin");
  write_file(path, Bytes(1000, 0x55));
  const std::array<std::uint8_t, 3> head{1, 2, 3};
  const std::array<std::uint8_t, 2> tail{4, 5};
  ASSERT_TRUE(save_output_file(path.c_str(), {head, tail}));
  EXPECT_EQ(read_file(path), (Bytes{1, 2, 3, 4, 5}));
}

TEST(OutputFile, CannotBeCreatedInAFolderThatDoesNotExist) {
  TempDir dir;
  const std::string path = dir.file("missing/out.bin");
  EXPECT_FALSE(OutputFile::create(path.c_str()).has_value());
  const std::array<std::uint8_t, 1> byte{7};
  EXPECT_FALSE(save_output_file(path.c_str(), {byte}));
  EXPECT_FALSE(file_exists(path));
}

TEST(OutputFile, AnEmptyOutputIsAnEmptyFile) {
  TempDir dir;
  const std::string path = dir.file("empty.bin");
  write_file(path, Bytes(10, 1));
  ASSERT_TRUE(save_output_file(path.c_str(), {}));
  EXPECT_EQ(read_file(path), Bytes{});
}

TEST(OutputFile, AWriteAfterCloseIsReportedAsFailed) {
  TempDir dir;
  const std::string path = dir.file("closed.bin");
  std::optional<OutputFile> file = OutputFile::create(path.c_str());
  ASSERT_TRUE(file.has_value());
  EXPECT_TRUE(file->close());
  const std::array<std::uint8_t, 1> byte{7};
  EXPECT_FALSE(file->write(byte));
}

}  // namespace
