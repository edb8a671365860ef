// What a transformed pack holds in memory, measured by the system rather than by the code: the job
// runs in a child process whose address space may grow by only 192 MiB, so a whole-file map of a
// large BMP, or a resampler that holds the source's height in rows of the result, fails there.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "jobs/pack.h"
#include "testing/test_files.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool address_sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool address_sanitized = true;
#else
constexpr bool address_sanitized = false;
#endif
#else
constexpr bool address_sanitized = false;
#endif

constexpr std::uint64_t headroom = std::uint64_t{192} << 20;

// The bytes of the process's address space now.
std::uint64_t address_space() {
  unsigned long long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// The outcome of packing `in` into `out`, as "ending: reason", packed in a child process whose
// address space is limited to what it has plus the headroom; "crashed" when the child did not
// return.
std::string pack_within_headroom(const std::string& in, const std::string& out, const Transforms& transforms,
                                 bool all_frames = false) {
  int ends[2];
  if (pipe(ends) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = address_space() + headroom;
    setrlimit(RLIMIT_AS, &limit);
    PackOptions options;
    options.switches.stream = true;
    options.transforms = transforms;
    options.switches.codecs = true;
    options.all_frames = all_frames;
    JobProgress progress;
    const Outcome outcome = pack({in, out}, options, progress);
    const std::string told = std::string(ending_text(outcome.ending)) + ": " + outcome.reason;
    if (write(ends[1], told.data(), told.size()) < 0) _exit(2);
    _exit(0);
  }
  close(ends[1]);
  std::string told;
  char buffer[256];
  for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;)
    told.append(buffer, static_cast<std::size_t>(got));
  close(ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "crashed";
  return told;
}

constexpr BgrTriple red{0, 0, 255}, green{0, 255, 0}, blue{255, 0, 0}, white{255, 255, 255};

// A 24-bit bottom-up BMP of width x height pixels, black but for `pixels` (top row first), written
// sparse: the file has the picture's length, but only the headers and those pixels are stored.
struct Planted {
  std::uint32_t x, y;
  BgrTriple colour;
};
void write_sparse_bmp(const std::string& path, std::uint32_t width, std::uint32_t height,
                      const std::vector<Planted>& pixels) {
  const std::uint64_t row = (std::uint64_t{width} * 3 + 3) / 4 * 4;
  const std::uint64_t size = 54 + row * height;
  std::uint8_t header[54] = {'B', 'M'};
  const auto put = [&](std::size_t at, std::uint64_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) header[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
  };
  put(2, size, 4);  // the file's size, which a reader does not need (it wraps past 4 GiB)
  put(10, 54, 4);   // pixel data offset
  put(14, 40, 4);   // information header size
  put(18, width, 4);
  put(22, height, 4);
  put(26, 1, 2);   // planes
  put(28, 24, 2);  // bits per pixel
  const int file = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  ASSERT_GE(file, 0);
  ASSERT_EQ(pwrite(file, header, sizeof header, 0), 54);
  ASSERT_EQ(ftruncate(file, static_cast<off_t>(size)), 0);
  for (const Planted& p : pixels) {
    const std::uint8_t bytes[3] = {p.colour.blue, p.colour.green, p.colour.red};
    const std::uint64_t at = 54 + (height - 1 - std::uint64_t{p.y}) * row + std::uint64_t{p.x} * 3;
    ASSERT_EQ(pwrite(file, bytes, 3, static_cast<off_t>(at)), 3);
  }
  close(file);
}

// Little-endian RGB565 words: red F800, green 07E0, blue 001F, white FFFF, and the flat colour of
// the tall pictures below (blue 0x10, green 0x80, red 0xF0: 30 << 11 | 32 << 5 | 2 = F402).
Bytes flat_words(std::size_t count) {
  Bytes all;
  for (std::size_t k = 0; k < count; ++k) all.insert(all.end(), {0x02, 0xF4});
  return all;
}

struct MemoryCase {
  const char* name;
  ResizeTo size;
  // Sparse, with these pixels planted; or when none, flat, written whole.
  std::optional<std::vector<Planted>> sparse;
  Transforms transforms;
  const char* told;
  std::optional<Bytes> expected;  // none for a refusal
};
void PrintTo(const MemoryCase& c, std::ostream* out) { *out << c.name; }

class PackMemory : public testing::TestWithParam<MemoryCase> {};

TEST_P(PackMemory, KeepsWithinAFewMegabytesOrSaysWhatItNeeds) {
  if (address_sanitized) GTEST_SKIP() << "the address sanitizer's shadow memory leaves no address space to limit";
  const MemoryCase& c = GetParam();
  TempDir dir;
  if (c.sparse) {
    write_sparse_bmp(dir.file("in.bmp"), c.size.width, c.size.height, *c.sparse);
  } else {
    const BmpLayout layout{static_cast<std::int32_t>(c.size.width), static_cast<std::int32_t>(c.size.height)};
    write_file(dir.file("in.bmp"), make_bmp(layout, [](std::int32_t, std::int32_t) {
                 return BgrTriple{0x10, 0x80, 0xF0};
               }));
  }
  EXPECT_EQ(pack_within_headroom(dir.file("in.bmp"), dir.file("out.bin"), c.transforms), c.told);
  EXPECT_EQ(read_file(dir.file("out.bin")), c.expected);
}

constexpr Fit stretch = Fit::stretch;
const std::vector<Planted> black;
const std::vector<Planted> corner{
    {29990, 29990, red}, {29991, 29990, green}, {29990, 29991, blue}, {29991, 29991, white}};

INSTANTIATE_TEST_SUITE_P(
    Transforms, PackMemory,
    testing::Values(
        // Reduced 30000 times down and enlarged 4000 times across: once 3.76 GB of rows.
        MemoryCase{"TallToAWideRow",
                   {1, 30000},
                   {},
                   {.resize = ResizeTo{4000, 1}, .fit = stretch},
                   "Done: ",
                   flat_words(4000)},
        // A 2.7 GB file of which only the kept rows are read.
        MemoryCase{"HugeCornerTurned",
                   {30000, 30000},
                   corner,
                   {.crop = Rect{29990, 29990, 2, 2}, .rotation = Rotation::quarter},
                   "Done: ",
                   Bytes{0x1F, 0x00, 0x00, 0xF8, 0xFF, 0xFF, 0xE0, 0x07}},
        MemoryCase{"HugeTopFlipped",
                   {30000, 30000},
                   std::vector<Planted>{{7, 0, red}, {7, 1, blue}},
                   {.crop = Rect{7, 0, 1, 2}, .flip = Flip::vertical},
                   "Done: ",
                   Bytes{0x1F, 0x00, 0x00, 0xF8}},
        MemoryCase{"HugeRowReduced",
                   {30000, 30000},
                   black,
                   {.crop = Rect{0, 15000, 30000, 1}, .resize = ResizeTo{3, 1}, .fit = stretch},
                   "Done: ",
                   Bytes(6, 0)},
        // A quarter turn holds what it turns: past the default --max-pixels, or past the memory
        // there is (12000 x 12000 quads, 576 000 000 bytes).
        MemoryCase{
            "QuarterTurnPastTheLimit",
            {30000, 30000},
            black,
            {.rotation = Rotation::quarter},
            "Unsupported picture: a quarter turn holds the picture it turns in memory, and this one has 30000 x 30000 "
            "pixels, more than the 178956970 allowed (--max-pixels raises the limit; --crop first turns less)",
            std::nullopt},
        MemoryCase{"QuarterTurnPastTheMemory",
                   {12000, 12000},
                   black,
                   {.rotation = Rotation::three_quarters},
                   "Out of memory: the transforms need a buffer of 576000000 bytes",
                   std::nullopt}),
    [](const testing::TestParamInfo<MemoryCase>& param) { return std::string(param.param.name); });

// A run-length coded TGA of 16000 x 11000 pixels (5.5 MB), bottom row first, flat but for the
// top-left corner: red and green above, blue below. Decoded whole it would take 704 MB; its rows are
// read on their own, so a crop of its last stored rows, mirrored, needs a few of them.
TEST(PackMemoryTga, ReadsTheRowsItNeedsOfARunLengthCodedPicture) {
  if (address_sanitized) GTEST_SKIP() << "the address sanitizer's shadow memory leaves no address space to limit";
  constexpr std::uint32_t width = 16000, height = 11000;
  Bytes tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, width & 0xFF, width >> 8, height & 0xFF, height >> 8, 24, 0};
  const auto row = [&](std::initializer_list<std::uint8_t> first_two) {
    tga.push_back(0x01);  // a raw packet of two pixels
    tga.insert(tga.end(), first_two);
    for (std::uint32_t left = width - 2; left > 0; left -= std::min<std::uint32_t>(left, 128))
      tga.insert(tga.end(),
                 {static_cast<std::uint8_t>(0x80 | (std::min<std::uint32_t>(left, 128) - 1)), 0x10, 0x80, 0xF0});
  };
  for (std::uint32_t y = 0; y < height - 2; ++y) row({0x10, 0x80, 0xF0, 0x10, 0x80, 0xF0});
  row({255, 0, 0, 0x10, 0x80, 0xF0});  // the second row from the top: blue, flat
  row({0, 0, 255, 0, 255, 0});         // the top row: red, green
  TempDir dir;
  write_file(dir.file("in.tga"), tga);
  EXPECT_EQ(
      pack_within_headroom(dir.file("in.tga"), dir.file("out.bin"), {.crop = Rect{0, 0, 2, 2}, .flip = Flip::vertical}),
      "Done: ");
  EXPECT_EQ(read_file(dir.file("out.bin")), (Bytes{0x1F, 0x00, 0x02, 0xF4, 0x00, 0xF8, 0xE0, 0x07}));
}

// A PBM of 16000 x 11000 pixels (22 MB), white but for its top-left pixel. Decoded whole it would
// take 704 MB; a crop of its first rows, mirrored, reads those rows alone, and a quarter turn reads
// its columns from the file (the one black pixel is lost in the resize).
TEST(PackMemoryPnm, ReadsTheRowsItNeedsOfABitmap) {
  if (address_sanitized) GTEST_SKIP() << "the address sanitizer's shadow memory leaves no address space to limit";
  const std::string header = "P4\n16000 11000\n";
  Bytes pbm(header.begin(), header.end());
  pbm.resize(header.size() + std::size_t{2000} * 11000, 0);
  pbm[header.size()] = 0x80;  // the top-left pixel black
  TempDir dir;
  write_file(dir.file("in.pbm"), pbm);
  EXPECT_EQ(
      pack_within_headroom(dir.file("in.pbm"), dir.file("out.bin"), {.crop = Rect{0, 0, 2, 2}, .flip = Flip::vertical}),
      "Done: ");
  EXPECT_EQ(read_file(dir.file("out.bin")), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF}));
  EXPECT_EQ(pack_within_headroom(dir.file("in.pbm"), dir.file("out.bin"),
                                 {.rotation = Rotation::quarter, .resize = ResizeTo{2, 2}, .fit = Fit::stretch}),
            "Done: ");
  EXPECT_EQ(read_file(dir.file("out.bin")), Bytes(8, 0xFF));
}

// A 1024 x 1024 GIF of two colours (black, red): a first frame all red, then 63 frames of one black
// pixel at (k, 0), each put back to red after it is shown (disposal 3). Its 64 frames composed
// would take 256 MiB; the reader holds the canvas and the canvas before each frame.
Bytes many_frames_gif() {
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0, 4, 0, 4, 0x80, 0, 0, 0, 0, 0, 0xFF, 0, 0};
  gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 0, 4, 0, 4, 0, 2});
  // Red pixels two at a time, codes clear (4), 1, 1 at 3 bits, the low bits first, so that the
  // table never grows past 3-bit codes; then the end code (5).
  Bytes codes;
  std::uint32_t bits = 0, held = 0;
  const auto put = [&](std::uint32_t code) {
    bits |= code << held;
    held += 3;
    for (; held >= 8; held -= 8, bits >>= 8) codes.push_back(static_cast<std::uint8_t>(bits));
  };
  for (std::uint32_t pair = 0; pair < 1024 * 1024 / 2; ++pair) put(4), put(1), put(1);
  put(5);
  if (held > 0) codes.push_back(static_cast<std::uint8_t>(bits));
  for (std::size_t at = 0; at < codes.size(); at += 255) {
    const std::size_t length = std::min<std::size_t>(255, codes.size() - at);
    gif.push_back(static_cast<std::uint8_t>(length));
    gif.insert(gif.end(), codes.begin() + static_cast<std::ptrdiff_t>(at),
               codes.begin() + static_cast<std::ptrdiff_t>(at + length));
  }
  gif.push_back(0);
  for (std::uint8_t k = 1; k < 64; ++k) {
    // Disposal 3; then a 1 x 1 frame at (k, 0) of the codes clear, 0, end.
    gif.insert(gif.end(), {0x21, 0xF9, 4, 0x0C, 0, 0, 0, 0});
    gif.insert(gif.end(), {0x2C, k, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0});
  }
  gif.push_back(0x3B);
  return gif;
}

TEST(PackMemoryOfFrames, AnAnimationHoldsAFrameOrTwoWhateverItsLength) {
  if (address_sanitized) GTEST_SKIP() << "the address sanitizer's shadow memory leaves no address space to limit";
  TempDir dir;
  write_file(dir.file("in.gif"), many_frames_gif());
  EXPECT_EQ(pack_within_headroom(dir.file("in.gif"), dir.file("out.bin"), {}, true), "Done: ");
  const std::optional<Bytes> out = read_file(dir.file("out.bin"));
  constexpr std::size_t frame = std::size_t{1024} * 1024 * 2;
  ASSERT_TRUE(out);
  ASSERT_EQ(out->size(), 64 * frame);
  // Red F800 but for frame k's black pixel at (k, 0); the one before it was put back.
  for (std::size_t k : {std::size_t{1}, std::size_t{40}, std::size_t{63}}) {
    const std::uint8_t* row = out->data() + k * frame;
    EXPECT_EQ(Bytes(row + 2 * (k - 1), row + 2 * (k + 2)), (Bytes{0x00, 0xF8, 0x00, 0x00, 0x00, 0xF8})) << k;
  }
  EXPECT_EQ(Bytes(out->begin(), out->begin() + 4), (Bytes{0x00, 0xF8, 0x00, 0xF8}));
}

// A 6000 x 6000 screen (144 MB of quads) with two 1 x 1 frames of white, the first put back
// (disposal 3): what it covered is kept for the putting back, not a second canvas.
TEST(PackMemoryOfFrames, PuttingBackAFrameKeepsOnlyWhatItCovers) {
  if (address_sanitized) GTEST_SKIP() << "the address sanitizer's shadow memory leaves no address space to limit";
  TempDir dir;
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0x70, 0x17, 0x70, 0x17, 0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF};
  for (const std::uint8_t disposal : {0x0C, 0x00}) {
    const std::uint8_t x = disposal == 0 ? 1 : 0;
    // Graphic control; a 1 x 1 frame at (x, 0) of the codes clear, 1, end at 3 bits.
    gif.insert(gif.end(), {0x21, 0xF9, 4, disposal, 0, 0, 0, 0});
    gif.insert(gif.end(), {0x2C, x, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0});
  }
  gif.push_back(0x3B);
  write_file(dir.file("in.gif"), gif);
  EXPECT_EQ(pack_within_headroom(dir.file("in.gif"), dir.file("out.bin"), {}, true), "Done: ");
  // Each frame 6000 x 6000 RGB565 words, transparent laid over black; the first frame's white pixel
  // is put back to transparent before the second is drawn beside it.
  constexpr std::size_t frame = std::size_t{6000} * 6000 * 2;
  EXPECT_EQ(std::filesystem::file_size(dir.file("out.bin")), 2 * frame);
  const auto words_at = [&](std::size_t at) {
    Bytes bytes(4);
    std::ifstream file(dir.file("out.bin"), std::ios::binary);
    file.seekg(static_cast<std::streamoff>(at));
    file.read(reinterpret_cast<char*>(bytes.data()), 4);
    return bytes;
  };
  EXPECT_EQ(words_at(0), (Bytes{0xFF, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(words_at(frame), (Bytes{0x00, 0x00, 0xFF, 0xFF}));
}

}  // namespace
