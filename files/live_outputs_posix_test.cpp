// An interrupted process takes the new files of its live outputs with it, whichever thread made
// them, and ends as the signal ends it. Each case runs in a child process, which the signal ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "files/live_outputs.h"
#include "files/output_file.h"
#include "testing/test_files.h"

namespace {

// In the child: three outputs begun at once from three threads, one over an old file, then a word
// to the parent, and a wait for the signal.
[[noreturn]] void write_three_outputs_and_wait(const TempDir& dir, int ready) {
  remove_outputs_on_interruption();
  std::optional<OutputFile> outputs[3];
  std::thread threads[3];
  for (int i = 0; i < 3; ++i) {
    threads[i] = std::thread([&dir, &outputs, i] {
      std::variant<OutputFile, SystemError> created =
          OutputFile::create(dir.file(i == 0 ? "old.bin" : "new" + std::to_string(i) + ".bin").c_str());
      if (OutputFile* file = std::get_if<OutputFile>(&created)) {
        const std::array<std::uint8_t, 3> bytes{1, 2, 3};
        if (!file->write(bytes)) outputs[i].emplace(std::move(*file));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const char word = outputs[0] && outputs[1] && outputs[2] ? 'y' : 'n';
  if (write(ready, &word, 1) != 1) _exit(3);
  for (;;) pause();
}

class InterruptedOutputs : public testing::TestWithParam<int> {};

TEST_P(InterruptedOutputs, LeaveNoNewFileAndEndTheProcessWithTheSignal) {
  TempDir dir;
  write_file(dir.file("old.bin"), {9});
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) write_three_outputs_and_wait(dir, ready[1]);
  char word = 0;
  ASSERT_EQ(read(ready[0], &word, 1), 1);
  EXPECT_EQ(word, 'y');
  EXPECT_EQ(names_in(dir.path().string()).size(), 4u) << "three new files beside old.bin";
  ASSERT_EQ(kill(child, GetParam()), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), GetParam());
  EXPECT_EQ(names_in(dir.path().string()), std::vector<std::string>{"old.bin"});
  EXPECT_EQ(read_file(dir.file("old.bin")), Bytes{9});
  close(ready[0]);
  close(ready[1]);
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedOutputs, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& param_info) { return std::string(sigabbrev_np(param_info.param)); });

}  // namespace
