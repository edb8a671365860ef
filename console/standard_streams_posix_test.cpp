// rgb565 started as a process with pipes for standard input and output: a stream that is no
// picture is refused before it is read any further, a large BMP is converted band by band in
// bounded memory, and a reader that goes away midway ends the run with exit 1 and a message.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "testing/console_run.h"
#include "testing/test_files.h"

namespace {

struct Finished {
  int code = -1;  // the exit status; -1 when a signal ended the process
  std::string err;
  double seconds = 0;
  bool left_temporary_files = false;  // in the temporary folder it was given
};

// Writes into the program's standard input until it returns or the program stops reading.
using Feed = std::function<void(int fd)>;
// Takes the program's standard output piece by piece; false closes it there.
using Take = std::function<bool(const std::uint8_t* bytes, std::size_t count)>;

// Runs the program with `arguments`, its standard input fed by `feed` from another thread, its
// standard output given to `take`, and its address space limited to `address_space` bytes if asked;
// its temporary folder is one of the test's own.
Finished run_program(const std::vector<std::string>& arguments, const Feed& feed, const Take& take,
                     std::optional<rlim_t> address_space = std::nullopt) {
  TempDir dir;
  const std::string err_path = dir.file("err");
  const std::string temporary = dir.file("temporary");
  std::filesystem::create_directory(temporary);
  std::array<int, 2> in{}, out{};
  EXPECT_EQ(::pipe(in.data()), 0);
  EXPECT_EQ(::pipe(out.data()), 0);
  std::vector<std::string> argv_strings = {RGB565_PROGRAM};
  argv_strings.insert(argv_strings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argv_strings) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("TMPDIR", temporary.c_str(), 1);
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(err, STDERR_FILENO);
    for (const int fd : {in[0], in[1], out[0], out[1], err}) ::close(fd);
    if (address_space) {
      const rlimit limit{*address_space, *address_space};
      ::setrlimit(RLIMIT_AS, &limit);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  // The test's own writes to a program that stopped reading fail with EPIPE, not a signal.
  ::signal(SIGPIPE, SIG_IGN);
  std::thread feeder([&] {
    feed(in[1]);
    ::close(in[1]);
  });
  // A program that reads for ever is ended after 20 seconds, so that the test fails rather than hangs.
  std::atomic<bool> ended{false};
  std::thread watchdog([&] {
    for (int tenth = 0; tenth < 200 && !ended; ++tenth) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!ended) ::kill(child, SIGKILL);
  });
  std::vector<std::uint8_t> buffer(1 << 16);
  while (true) {
    const ssize_t count = ::read(out[0], buffer.data(), buffer.size());
    if (count <= 0 || !take(buffer.data(), static_cast<std::size_t>(count))) break;
  }
  ::close(out[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ended = true;
  watchdog.join();
  feeder.join();
  Finished finished;
  finished.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  finished.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const std::optional<Bytes> err = read_file(err_path);
  if (err) finished.err.assign(err->begin(), err->end());
  finished.left_temporary_files = !std::filesystem::is_empty(temporary);
  return finished;
}

// Writes all of `bytes`; false once the reader is gone.
bool write_all(int fd, const std::uint8_t* bytes, std::size_t count) {
  while (count != 0) {
    const ssize_t written = ::write(fd, bytes, count);
    if (written <= 0) return false;
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

// `start`, then zeros for as long as the program reads them.
Feed endless(Bytes start) {
  return [start](int fd) {
    if (!write_all(fd, start.data(), start.size())) return;
    const std::vector<std::uint8_t> zeros(1 << 16);
    while (write_all(fd, zeros.data(), zeros.size())) {
    }
  };
}

const Take discard = [](const std::uint8_t*, std::size_t) { return true; };

// A stream with no end, or none in sight, is refused as soon as its start, or as much as the job can
// use, has been read: long before the 10 seconds that reading or copying it for ever would take at
// the least. Nothing stays in the temporary folder.
TEST(Rgb565Streams, RefusesAStreamOfNoPictureOrTooLongAtOnce) {
  TempDir outputs;
  const Bytes png_signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const struct {
    std::vector<std::string> arguments;
    Bytes start;
    const char* says;
  } cases[] = {
      {{"pack", "-", "out.bin"},
       {},
       "rgb565: -: Cannot open input: not a picture it reads (BMP, PNG, JPEG, GIF, TGA, PNM or TIFF)"},
      {{"pack", "-", "-"}, {'h', 'e', 'l', 'l', 'o'}, "not a picture it reads (BMP, PNG, JPEG, GIF, TGA, PNM or TIFF)"},
      // 9 bytes a pixel and 1 MiB: 1,048,576 + 9,000.
      {{"pack", "--max-pixels", "1000", "-", "out.bin"},
       png_signature,
       "rgb565: -: Unsupported picture: standard input holds more than the 1057576 bytes that a picture of "
       "--max-pixels 1000 may take"},
      // 4 x 4 pixels of 2 bytes.
      {{"unpack", "--size", "4x4", "-", "out.bmp"}, {}, "standard input holds more than the 32 bytes a 4 x 4"},
      {{"unpack", "--size", "auto", "-", "out.bmp"}, {}, "a guess of the size or format reads the whole dump"},
      {{"unpack", "-", "out.bmp"}, {}, "which standard input cannot give: give --size"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    std::vector<std::string> arguments = c.arguments;
    for (std::string& argument : arguments) {
      if (argument.starts_with("out.")) argument = outputs.file(argument);
    }
    const Finished run = run_program(arguments, endless(c.start), discard);
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_LT(run.seconds, 10.0);
    EXPECT_FALSE(run.left_temporary_files);
  }
  EXPECT_TRUE(std::filesystem::is_empty(outputs.path()));
}

// A 151 MB BMP stored top row first piped through `pack - -` gives the raw words worked out by hand,
// as they come (a bottom-up one's top row comes last, and is staged in a file), in an address space
// of 160 MB, about half of it the program's libraries: its 100 MB output, or its input, held whole (in
// memory, or mapped from a copy) would not fit.
TEST(Rgb565Streams, PacksALargeBmpFromAPipeToAPipeInBoundedMemory) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit leaves";
#endif
  const BmpLayout layout{.width = 8192, .height = -6144};
  const Bytes bmp = make_bmp(layout, pattern_pixel);
  const Bytes expected = expected_raw(layout, pattern_pixel);
  std::size_t compared = 0;
  bool same = true;
  const Finished run = run_program(
      {"pack", "-", "-"}, [&](int fd) { write_all(fd, bmp.data(), bmp.size()); },
      [&](const std::uint8_t* bytes, std::size_t count) {
        same = same && compared + count <= expected.size() &&
               std::equal(bytes, bytes + count, expected.begin() + static_cast<std::ptrdiff_t>(compared));
        compared += count;
        return true;
      },
      rlim_t{160} << 20);
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(compared, expected.size());
  EXPECT_TRUE(same);
}

// A reader that takes a first piece and goes away (`| head -c 10`): the program is not killed by
// the signal, but says that standard output failed, after how many bytes and why, and exits with 1.
TEST(Rgb565Streams, AReaderThatGoesAwayMidwayEndsTheRunWithExit1AndAMessage) {
  const Bytes bmp = make_bmp({.width = 2048, .height = 2048}, pattern_pixel);
  const Finished run = run_program(
      {"pack", "-", "-"}, [&](int fd) { write_all(fd, bmp.data(), bmp.size()); },
      [](const std::uint8_t*, std::size_t) { return false; });
  EXPECT_EQ(run.code, 1) << run.err;
  EXPECT_TRUE(run.err.starts_with("rgb565: -: Saving failed: standard output failed after ")) << run.err;
  EXPECT_TRUE(run.err.ends_with(" bytes: Broken pipe\n")) << run.err;
}

}  // namespace
