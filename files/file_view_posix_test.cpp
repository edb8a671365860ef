// What only Linux lets a test see: the process's open descriptors, and the views of another
// process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "files/file_view.h"
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

}  // namespace
