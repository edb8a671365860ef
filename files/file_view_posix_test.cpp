// What only Linux lets a test see: the process's open descriptors, and the views of another
// process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "files/file_view.h"
#include "files/view_access.h"
#include "testing/open_view.h"
#include "testing/test_files.h"

namespace {

std::size_t open_descriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

TEST(FileViewPosix, FailedOpensLeaveNoDescriptorOpen) {
  TempDir dir;
  write_file(dir.file("empty"), {});
  write_file(dir.file("held"), {1});
  std::filesystem::create_directory(dir.file("folder"));
  const std::optional<FileView> held = open_view(dir.file("held"), ViewKind::writable);
  ASSERT_TRUE(held.has_value());
  const std::size_t before = open_descriptors();
  for (const char* name : {"empty", "folder", "held", "missing"}) {
    for (ViewKind kind : {ViewKind::read_only, ViewKind::writable}) {
      EXPECT_FALSE(open_view(dir.file(name), kind).has_value()) << name;
      EXPECT_EQ(open_descriptors(), before) << name;
    }
  }
}

TEST(FileViewPosix, AFifoIsRefusedWithoutWaitingForAWriter) {
  TempDir dir;
  const std::string path = dir.file("fifo");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  EXPECT_FALSE(open_view(path, ViewKind::read_only).has_value());
}

// Runs `body` in a child process and returns its exit code.
template <typename Body>
int in_child(Body body) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FileViewPosix, AnotherProcessCannotViewAFileHeldHere) {
  TempDir dir;
  const std::string path = dir.file("held");
  write_file(path, {1, 2});
  auto child_can_view = [&] { return open_view(path, ViewKind::read_only).has_value() ? 1 : 0; };
  {
    const std::optional<FileView> held = open_view(path, ViewKind::writable);
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(in_child(child_can_view), 0);
  }
  EXPECT_EQ(in_child(child_can_view), 1);
}

// A file cut short by another program after a window was read: the next window's bytes are the
// file's where it still has them, and an access past them meets the missing pages as it would in
// any mapped window, so that the job says the file was cut short rather than read stale bytes.
TEST(FileViewPosix, AWindowOfAFileCutShortMeetsItsEnd) {
  TempDir dir;
  const std::string path = dir.file("data");
  write_file(path, Bytes(4 * 4096, 7));
  std::variant<FileView, SystemError> opened = FileView::open(path.c_str(), ViewKind::read_only, 16);
  ASSERT_TRUE(std::holds_alternative<FileView>(opened));
  FileView& view = std::get<FileView>(opened);
  ASSERT_FALSE(view.map_window(4096, 4096).has_value());
  EXPECT_EQ(view.bytes().size(), 4096u);
  ASSERT_EQ(truncate(path.c_str(), 2 * 4096), 0);
  ASSERT_FALSE(view.map_window(4096, 2 * 4096).has_value());
  const std::span<const std::uint8_t> bytes = view.bytes();
  unsigned sum = 0;
  EXPECT_EQ(access_views([&] {
              for (std::uint8_t byte : bytes) sum += byte;
            }),
            bytes.data() + 4096);
  EXPECT_EQ(sum, 7u * 4096);
}

}  // namespace
