// Failed writes, made real with a file size limit: writes past it fail with EFBIG, as they would on
// a full disk, after a partial write that the output file must carry on from.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <optional>
#include <variant>

#include "files/file_view.h"
#include "files/output_file.h"
#include "testing/file_size_limit.h"
#include "testing/open_view.h"
#include "testing/test_files.h"

namespace {

TEST(OutputFilePosix, AFailedWriteIsReportedAndThePartialFileRemoved) {
  TempDir dir;
  const std::string path = dir.file("full.bin");
  const Bytes header(100, 0xAA);
  const Bytes pixels(10000, 0xBB);
  std::optional<SystemError> saved;
  {
    FileSizeLimit limit(4096);
    saved = save_output_file(path.c_str(), {header, pixels});
  }
  // The limit stands in for a full disk, but the system names it for what it is.
  EXPECT_EQ(saved, (SystemError{FileFault::too_large, EFBIG}));
  EXPECT_FALSE(file_exists(path));
}

TEST(OutputFilePosix, WritesCarryOnAfterAPartialWrite) {
  TempDir dir;
  const std::string path = dir.file("partial.bin");
  std::variant<OutputFile, SystemError> created = OutputFile::create(path.c_str());
  OutputFile* file = std::get_if<OutputFile>(&created);
  ASSERT_NE(file, nullptr);
  const Bytes bytes(8192, 0xCC);
  std::optional<SystemError> written;
  {
    FileSizeLimit limit(5000);
    written = file->write(bytes);
  }
  EXPECT_EQ(written, (SystemError{FileFault::too_large, EFBIG}));
  file->close();
  // The limit cut the first write short; the rest was tried and refused, not silently dropped.
  EXPECT_EQ(read_file(path)->size(), 5000u);
}

// Emptying a file that a view maps would kill the program holding it on its next touch of a lost
// page: a held file is a creation failure, and stays as it was.
TEST(OutputFilePosix, AFileThatAViewHoldsIsNeitherEmptiedNorReplaced) {
  TempDir dir;
  const std::string path = dir.file("held.bin");
  const Bytes held(100, 0x5A);
  write_file(path, held);
  const std::array<std::uint8_t, 1> byte{7};
  {
    const std::optional<FileView> view = open_view(path, ViewKind::read_only);
    ASSERT_TRUE(view.has_value());
    EXPECT_TRUE(std::holds_alternative<SystemError>(OutputFile::create(path.c_str())));
    EXPECT_NE(save_output_file(path.c_str(), {byte}), std::nullopt);
    EXPECT_EQ(read_file(path), held);
  }

  // The same with the view held by another process, which says when it holds it and waits.
  int held_pipe[2], release_pipe[2];
  ASSERT_EQ(pipe(held_pipe), 0);
  ASSERT_EQ(pipe(release_pipe), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const std::optional<FileView> view = open_view(path, ViewKind::writable);
    char answer = view ? 'y' : 'n';
    if (write(held_pipe[1], &answer, 1) != 1 || read(release_pipe[0], &answer, 1) != 1) _exit(1);
    _exit(0);
  }
  char answer = 0;
  ASSERT_EQ(read(held_pipe[0], &answer, 1), 1);
  EXPECT_EQ(answer, 'y');
  const std::optional<SystemError> refused = save_output_file(path.c_str(), {byte});
  ASSERT_NE(refused, std::nullopt);
  EXPECT_EQ(refused->kind, FileFault::held_by_another_program);
  EXPECT_EQ(read_file(path), held);
  EXPECT_EQ(write(release_pipe[1], "x", 1), 1);
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
  for (int fd : {held_pipe[0], held_pipe[1], release_pipe[0], release_pipe[1]}) close(fd);

  // Once let go, the file is replaced as usual.
  EXPECT_EQ(save_output_file(path.c_str(), {byte}), std::nullopt);
  EXPECT_EQ(read_file(path), Bytes{7});
}

}  // namespace
