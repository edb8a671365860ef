// Kestrin's job where the native build differs: a failed write made real with a file size limit,
// and the 52- and 56-byte information headers, which the native loader reads and the Win32 system
// loader refuses.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <csignal>
#include <string>
#include <vector>

#include "frame/programs.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

using Statuses = std::vector<std::string>;

// Writes past the limit fail with EFBIG, as they would on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limited = previous_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previous_handler_);
  }

 private:
  rlimit previous_{};
  void (*previous_handler_)(int) = nullptr;
};

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

class KestrinPosixInfoHeaders : public testing::TestWithParam<std::uint32_t> {};

TEST_P(KestrinPosixInfoHeaders, Convert) {
  TempDir dir;
  const std::string input = dir.file("in.bmp");
  const std::string output = dir.file("out.bin");
  const BmpLayout layout{.width = 3, .height = -4, .info_size = GetParam()};
  write_file(input, make_bmp(layout, pattern_pixel));
  ScriptedFrame frame(input, output);

  export_through_loader(frame);

  EXPECT_EQ(frame.statuses(), (Statuses{"Saving", "Done"}));
  EXPECT_EQ(read_file(output), expected_raw(layout, pattern_pixel));
}

INSTANTIATE_TEST_SUITE_P(Sizes, KestrinPosixInfoHeaders, testing::Values(52u, 56u));

}  // namespace
