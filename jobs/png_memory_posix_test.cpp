// A PNG of any size packs in a few megabytes: a flat 16384 x 10922 picture, a few hundred KB of
// file, packed, cropped, resized, mirrored and half turned by the real job in a child process whose address space
// is limited to what it had plus 96 MiB. Read whole, its quads alone would take 716 MB.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <fstream>
#include <string>

#include "jobs/pack.h"
#include "testing/png_file.h"
#include "testing/test_files.h"

namespace {

constexpr std::uint32_t large_width = 16384;
constexpr std::uint32_t large_height = 10922;

// Every pixel grey level 200: each row unfiltered, deflated a row at a time.
Bytes flat_png(std::uint32_t width, std::uint32_t height) {
  z_stream stream{};
  EXPECT_EQ(deflateInit(&stream, 9), Z_OK);
  Bytes row(width + 1, 200);
  row[0] = 0;
  Bytes deflated(std::size_t{1} << 20);
  stream.next_out = deflated.data();
  stream.avail_out = static_cast<uInt>(deflated.size());
  for (std::uint32_t y = 0; y < height; ++y) {
    stream.next_in = row.data();
    stream.avail_in = static_cast<uInt>(row.size());
    EXPECT_EQ(deflate(&stream, y + 1 == height ? Z_FINISH : Z_NO_FLUSH), y + 1 == height ? Z_STREAM_END : Z_OK);
    EXPECT_EQ(stream.avail_in, 0u);
  }
  deflated.resize(stream.total_out);
  deflateEnd(&stream);
  return png_of({png_ihdr(width, height, 8, 0), png_chunk("IDAT", deflated), png_chunk("IEND", {})});
}

// The address space the process has mapped now, in bytes.
std::uint64_t mapped_now() {
  std::ifstream status("/proc/self/status");
  std::string field;
  while (status >> field) {
    std::uint64_t kib = 0;
    if (field == "VmSize:" && status >> kib) return kib << 10;
  }
  return 0;
}

// The outcome of packing `png` in a child whose address space may grow by `headroom` bytes: 0 done,
// 1 out of memory, 2 refused, 3 no limit set.
int pack_within(const TempDir& dir, const Bytes& png, std::uint64_t headroom, const Transforms& transforms = {}) {
  write_file(dir.file("in.png"), png);
  const pid_t child = fork();
  if (child == 0) {
    const std::uint64_t mapped = mapped_now();
    const rlimit limit{mapped + headroom, mapped + headroom};
    if (mapped == 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
    PackOptions options;
    options.switches.codecs = options.switches.stream = true;
    options.pixel_format = PixelFormat::mono1;
    options.transforms = transforms;
    JobProgress quiet;
    const Outcome outcome = pack({dir.file("in.png"), dir.file("out.bin")}, options, quiet);
    _exit(outcome.done() ? 0 : outcome.ending == Ending::out_of_memory ? 1 : 2);
  }
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Read a band of rows at a time, untransformed or through a chain that reads it downward or upward.
TEST(PackPngPosix, AFlatPictureOfAnySizePacksInAFewMegabytes) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space";
#endif
  TempDir dir;
  const Bytes png = flat_png(large_width, large_height);
  ASSERT_LT(png.size(), 1u << 20);
  const struct {
    const char* name;
    Transforms transforms;
    std::size_t width, height;
  } cases[] = {
      {"Untransformed", {}, large_width, large_height},
      {"Resized", {.resize = ResizeTo{320, 240}, .fit = Fit::stretch}, 320, 240},
      {"Cropped", {.crop = Rect{8, 5000, 4000, 3000}}, 4000, 3000},
      {"Mirrored", {.flip = Flip::horizontal}, large_width, large_height},
      {"MirroredTopToBottom", {.flip = Flip::vertical}, large_width, large_height},
      {"HalfTurned", {.rotation = Rotation::half}, large_width, large_height},
      {"CroppedAndResizedNearest",
       {.crop = Rect{0, 7000, 16384, 80},
        .resize = ResizeTo{64, 8},
        .fit = Fit::stretch,
        .filter = ResizeFilter::nearest},
       64,
       8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(pack_within(dir, png, std::uint64_t{96} << 20, c.transforms), 0)
        << "1: out of memory, 2: refused, 3: no limit set";
    // Grey 200 is over mono1's threshold: every pixel lit, 8 to a byte.
    const std::optional<Bytes> packed = read_file(dir.file("out.bin"));
    ASSERT_TRUE(packed.has_value());
    EXPECT_EQ(packed->size(), c.width * c.height / 8);
    EXPECT_EQ(packed->front(), 0xFF);
    EXPECT_EQ(packed->back(), 0xFF);
  }
}

// A quarter turn of a picture decoded whole reads it where it lies: 6000 x 4000 quads are 96 MB,
// which a copy to turn would double.
TEST(PackPngPosix, ATurnedPictureIsHeldOnce) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space";
#endif
  TempDir dir;
  const Transforms turned{.rotation = Rotation::quarter};
  ASSERT_EQ(pack_within(dir, flat_png(6000, 4000), std::uint64_t{150} << 20, turned), 0)
      << "1: out of memory, 2: refused, 3: no limit set";
  const std::optional<Bytes> packed = read_file(dir.file("out.bin"));
  ASSERT_TRUE(packed.has_value());
  EXPECT_EQ(packed->size(), std::size_t{4000} / 8 * 6000);
  EXPECT_EQ(packed->front(), 0xFF);
  EXPECT_EQ(packed->back(), 0xFF);
}

}  // namespace
