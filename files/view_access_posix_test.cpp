// A view whose file another program cuts short: the access stops with the address it faulted at,
// and the signal handling from before is back afterwards.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "files/file_view.h"
#include "files/view_access.h"
#include "testing/open_view.h"
#include "testing/test_files.h"

namespace {

void count_signal(int) {}

TEST(ViewAccessPosix, AFileCutShortUnderTheViewEndsTheAccessNotTheProgram) {
  TempDir dir;
  const std::string path = dir.file("data");
  write_file(path, Bytes(3 * 4096, 7));
  struct sigaction mine {};
  mine.sa_handler = &count_signal;
  sigemptyset(&mine.sa_mask);
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGBUS, &mine, &before), 0);

  const std::optional<FileView> view = open_view(path, ViewKind::read_only);
  ASSERT_TRUE(view.has_value());
  const std::span<const std::uint8_t> bytes = view->bytes();
  unsigned sum = 0;
  EXPECT_EQ(access_views([&] {
              for (std::uint8_t byte : bytes) sum += byte;
            }),
            nullptr);
  EXPECT_EQ(sum, 7u * 3 * 4096);

  ASSERT_EQ(truncate(path.c_str(), 4096), 0);
  // Both on this thread and on another: each access answers for its own thread.
  for (int round = 0; round < 2; ++round) {
    const void* fault = nullptr;
    const auto walk = [&] {
      fault = access_views([&] {
        for (std::uint8_t byte : bytes) sum += byte;
      });
    };
    if (round == 0) {
      walk();
    } else {
      std::thread(walk).join();
    }
    EXPECT_EQ(fault, bytes.data() + 4096) << round;
  }

  struct sigaction after {};
  ASSERT_EQ(sigaction(SIGBUS, &before, &after), 0);
  EXPECT_EQ(after.sa_handler, &count_signal);
}

}  // namespace
