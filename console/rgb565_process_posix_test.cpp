// rgb565 as a separate process: under a file size limit that it has not been told to ignore, and
// interrupted by a signal in the middle of a batch.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "testing/program_run_posix.h"
#include "testing/test_files.h"

namespace {

struct LimitedSave {
  const char* name;
  std::optional<Bytes> before;  // at the output's path; nullopt for no file
};

void PrintTo(const LimitedSave& save, std::ostream* out) { *out << save.name; }

const LimitedSave limited_saves[] = {
    {"WhereThereWasNone", std::nullopt},
    {"OverAnOldFile", Bytes(10, 0x77)},
};

class FileSizeLimited : public testing::TestWithParam<LimitedSave> {};

// A write past the limit fails like a full disk's, with a message and exit status 1; the signal
// that the system sends with it does not end the program midway with its new file left behind.
TEST_P(FileSizeLimited, FailsTheSaveWithAMessageAndLeavesNoFile) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 64, .height = 64}, pattern_pixel));
  if (GetParam().before) write_file(dir.file("out.bin"), *GetParam().before);
  StartedProgram run(RGB565_PROGRAM, {"pack", dir.file("in.bmp"), dir.file("out.bin")}, 4096);
  const int status = run.wait();
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(run.err, "rgb565: " + dir.file("out.bin") + ": Saving failed: File too large\n");
  EXPECT_EQ(read_file(dir.file("out.bin")), GetParam().before);
  EXPECT_EQ(names_in(dir.path().string()).size(), GetParam().before ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Targets, FileSizeLimited, testing::ValuesIn(limited_saves),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

bool holds_a_new_file(const std::filesystem::path& folder) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    if (entry.path().filename().string().front() == '.') return true;
  }
  return false;
}

class InterruptedBatch : public testing::TestWithParam<int> {};

// The signal comes while an output of a batch of two jobs is being written: the process ends with
// it, and no new file is left in the output folder.
TEST_P(InterruptedBatch, EndsWithTheSignalAndLeavesNoNewFile) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "out");
  write_file(dir.file("0.bmp"), make_bmp({.width = 1200, .height = 1200}, pattern_pixel));
  std::vector<std::string> arguments = {"pack", "-j", "2", "-d", dir.file("out")};
  for (int i = 0; i < 60; ++i) {
    const std::string input = dir.file(std::to_string(i) + ".bmp");
    if (i > 0) std::filesystem::create_hard_link(dir.file("0.bmp"), input);
    arguments.push_back(input);
  }
  StartedProgram run(RGB565_PROGRAM, arguments);
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!holds_a_new_file(dir.path() / "out") && std::chrono::steady_clock::now() < give_up)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  ASSERT_TRUE(holds_a_new_file(dir.path() / "out")) << "no output was begun";
  ASSERT_EQ(kill(run.pid(), GetParam()), 0);
  const int status = run.wait();
  ASSERT_TRUE(WIFSIGNALED(status)) << "exited with " << WEXITSTATUS(status) << ": " << run.err;
  EXPECT_EQ(WTERMSIG(status), GetParam());
  EXPECT_FALSE(holds_a_new_file(dir.path() / "out"));
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedBatch, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& param_info) { return std::string(sigabbrev_np(param_info.param)); });

class InterruptedStandardInput : public testing::TestWithParam<int> {};

// The signal comes while standard input is copied into the temporary folder (a PNG's start, the
// pipe still open): the copy and its folder go with the process, and the old output stays.
TEST_P(InterruptedStandardInput, LeavesNothingInTheTemporaryFolder) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "tmp");
  write_file(dir.file("out.bin"), Bytes{'o', 'l', 'd'});
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("TMPDIR", dir.file("tmp").c_str(), 1);
  StartedProgram run(RGB565_PROGRAM, {"pack", "-", dir.file("out.bin")}, RLIM_INFINITY, true);
  if (old != nullptr) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  png.resize(100000, 0);
  for (std::size_t at = 0; at < png.size();) {
    const ssize_t wrote = ::write(run.input(), png.data() + at, png.size() - at);
    ASSERT_GT(wrote, 0);
    at += static_cast<std::size_t>(wrote);
  }
  const auto copying = [&] {
    for (const auto& folder : std::filesystem::directory_iterator(dir.path() / "tmp")) {
      std::error_code error;
      if (std::filesystem::file_size(folder.path() / "standard-input", error) > 0 && !error) return true;
    }
    return false;
  };
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!copying() && std::chrono::steady_clock::now() < give_up)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  ASSERT_TRUE(copying()) << "standard input was not being copied";
  ASSERT_EQ(kill(run.pid(), GetParam()), 0);
  const int status = run.wait();
  ASSERT_TRUE(WIFSIGNALED(status)) << "exited with " << WEXITSTATUS(status) << ": " << run.err;
  EXPECT_EQ(WTERMSIG(status), GetParam());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "tmp"));
  EXPECT_EQ(read_file(dir.file("out.bin")), (Bytes{'o', 'l', 'd'}));
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedStandardInput, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& param_info) { return std::string(sigabbrev_np(param_info.param)); });

}  // namespace

#ifdef VALGRIND_PROGRAM
// Every kind of input the platform's readers are asked about, under valgrind: a reader's plugin,
// loaded by a worker thread, must not be destroyed at exit after that thread's data (the sanitizer
// build has its own checks instead).
TEST(Rgb565UnderValgrind, ReadsEveryKindWithoutAMemoryError) {
  TempDir dir;
  write_file(dir.file("text.txt"), Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
  const struct {
    std::string input;
    int status;
  } cases[] = {
      {std::string(JPEG_TESTS) + "/progressive.jpg", 0},
      {std::string(READER_TESTS) + "/colour.tiff", 0},
      {std::string(READER_TESTS) + "/tga24.tga", 0},
      {std::string(READER_TESTS) + "/colour.png", 0},
      {dir.file("text.txt"), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    StartedProgram run(VALGRIND_PROGRAM,
                       {"-q", "--error-exitcode=99", RGB565_PROGRAM, "pack", c.input, dir.file("out.bin")});
    const int status = run.wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.status) << run.err;
    EXPECT_EQ(run.err.find("=="), std::string::npos) << run.err;
  }
}
#endif
