// Vaskel's verdict on every picture of BMP Suite 2.8 (testing/bmp-suite), and rgb565 pack against
// Kestrin's own job on each, in both builds (what Kestrin makes of each file is in
// export-loader/bmp_suite_test.cpp). Vaskel reads five header fields without looking at the
// signature and walks rows 120 bytes apart, so it converts whatever says 24 bits, uncompressed, and
// keeps its walk inside the file; each file's row says what it must make of it. A refusal leaves no
// output file, and no input is ever changed. Under the sanitizers a read outside a file fails the
// run.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "jobs/pack.h"
#include "jobs/pack_fixed_stride.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

enum class Outcome {
  // Converted, to the same bytes as the job makes of g/rgb24.bmp.
  same_as_rgb24,
  unsupported,
  cannot_open,
};

struct SuiteFile {
  const char* path;  // inside testing/bmp-suite
  Outcome vaskel;
};

void PrintTo(const SuiteFile& file, std::ostream* out) { *out << file.path; }

constexpr Outcome rgb24 = Outcome::same_as_rgb24;
constexpr Outcome unsupported = Outcome::unsupported;
constexpr Outcome cannot_open = Outcome::cannot_open;

// Vaskel takes the bytes at offset 28 for the bit count whatever the header's size; in the 12-byte
// core header files they are the first palette entry's last byte and the next one's first, zero
// here, so it refuses those as well. The 16- and 64-byte headers are OS/2 2.x BMPs: well formed,
// never converted.
const SuiteFile suite_files[] = {
    {"g/pal1.bmp", unsupported},
    {"g/pal1bg.bmp", unsupported},
    {"g/pal1wb.bmp", unsupported},
    {"g/pal4.bmp", unsupported},
    {"g/pal4gs.bmp", unsupported},
    {"g/pal4rle.bmp", unsupported},
    {"g/pal8-0.bmp", unsupported},
    {"g/pal8.bmp", unsupported},
    {"g/pal8gs.bmp", unsupported},
    {"g/pal8nonsquare.bmp", unsupported},
    {"g/pal8os2.bmp", unsupported},
    {"g/pal8rle.bmp", unsupported},
    {"g/pal8topdown.bmp", unsupported},
    {"g/pal8v4.bmp", unsupported},
    {"g/pal8v5.bmp", unsupported},
    {"g/pal8w124.bmp", unsupported},
    {"g/pal8w125.bmp", unsupported},
    {"g/pal8w126.bmp", unsupported},
    {"g/rgb16-565.bmp", unsupported},
    {"g/rgb16-565pal.bmp", unsupported},
    {"g/rgb16.bmp", unsupported},
    {"g/rgb16bfdef.bmp", unsupported},
    {"g/rgb24.bmp", rgb24},
    // A palette nobody needs between the headers and the pixels, which start where the file
    // header says.
    {"g/rgb24pal.bmp", rgb24},
    {"g/rgb32.bmp", unsupported},
    {"g/rgb32bf.bmp", unsupported},
    {"g/rgb32bfdef.bmp", unsupported},

    {"q/pal1huffmsb.bmp", unsupported},
    {"q/pal1p1.bmp", unsupported},
    {"q/pal2.bmp", unsupported},
    {"q/pal2color.bmp", unsupported},
    {"q/pal4rlecut.bmp", unsupported},
    {"q/pal4rletrns.bmp", unsupported},
    {"q/pal8offs.bmp", unsupported},
    {"q/pal8os2-hs.bmp", unsupported},
    {"q/pal8os2-sz.bmp", unsupported},
    {"q/pal8os2sp.bmp", unsupported},
    {"q/pal8os2v2-16.bmp", unsupported},
    {"q/pal8os2v2-40sz.bmp", unsupported},
    {"q/pal8os2v2-sz.bmp", unsupported},
    {"q/pal8os2v2.bmp", unsupported},
    {"q/pal8oversizepal.bmp", unsupported},
    {"q/pal8rlecut.bmp", unsupported},
    {"q/pal8rletrns.bmp", unsupported},
    {"q/rgb16-231.bmp", unsupported},
    {"q/rgb16-3103.bmp", unsupported},
    {"q/rgb16faketrns.bmp", unsupported},
    // Bit count 0: the pixels are an embedded JPEG or PNG stream.
    {"q/rgb24jpeg.bmp", unsupported},
    {"q/rgb24largepal.bmp", rgb24},
    // A 124-byte header naming a colour profile stored after the pixels.
    {"q/rgb24lprof.bmp", rgb24},
    {"q/rgb24png.bmp", unsupported},
    // 24 bits, but run-length coded (OS/2 2.x compression 4).
    {"q/rgb24rle24.bmp", unsupported},
    {"q/rgb32-111110.bmp", unsupported},
    {"q/rgb32-7187.bmp", unsupported},
    {"q/rgb32-xbgr.bmp", unsupported},
    {"q/rgb32fakealpha.bmp", unsupported},
    {"q/rgb32h52.bmp", unsupported},
    {"q/rgba16-1924.bmp", unsupported},
    {"q/rgba16-4444.bmp", unsupported},
    {"q/rgba16-5551.bmp", unsupported},
    {"q/rgba32-1.bmp", unsupported},
    {"q/rgba32-1010102.bmp", unsupported},
    {"q/rgba32-2.bmp", unsupported},
    {"q/rgba32-61754.bmp", unsupported},
    {"q/rgba32-81284.bmp", unsupported},
    {"q/rgba32abf.bmp", unsupported},
    {"q/rgba32h56.bmp", unsupported},
    {"q/rgba64.bmp", unsupported},

    // Every bad file says other than 24 bits uncompressed, or has a walk that would leave it.
    {"b/badbitcount.bmp", unsupported},
    {"b/badbitssize.bmp", unsupported},
    {"b/baddens1.bmp", unsupported},
    {"b/baddens2.bmp", unsupported},
    {"b/badfilesize.bmp", unsupported},
    {"b/badheadersize.bmp", unsupported},
    {"b/badpalettesize.bmp", unsupported},
    {"b/badplanes.bmp", unsupported},
    {"b/badrle.bmp", unsupported},
    {"b/badrle4.bmp", unsupported},
    {"b/badrle4bis.bmp", unsupported},
    {"b/badrle4ter.bmp", unsupported},
    {"b/badrlebis.bmp", unsupported},
    {"b/badrleter.bmp", unsupported},
    {"b/badwidth.bmp", unsupported},
    {"b/pal8badindex.bmp", unsupported},
    // 24 bits and 3,000,000 x 2,000,000 pixels in a file of 24,630 bytes: its raw image would not
    // fit a 32-bit count, which refuses it before its missing pixels are looked for.
    {"b/reallybig.bmp", unsupported},
    {"b/rgb16-880.bmp", unsupported},
    {"b/rletopdown.bmp", unsupported},
    {"b/shortfile.bmp", unsupported},
};

std::string suite_path(const std::string& name) { return (std::filesystem::path(BMP_SUITE) / name).string(); }

struct JobRun {
  std::vector<std::string> statuses;
  std::optional<Bytes> output;
};

JobRun run(DialogJob job, const std::string& name) {
  TempDir dir;
  const std::string input = suite_path(name);
  const std::optional<Bytes> before = read_file(input);
  EXPECT_TRUE(before.has_value()) << input;
  ScriptedFrame frame(input, dir.file("out.bin"));
  frame.run(job);
  EXPECT_EQ(read_file(input), before);
  return {frame.statuses(), read_file(dir.file("out.bin"))};
}

// Pixels of g/rgb24.bmp read off its bytes by hand (127 x 64, bottom-up, 384-byte stored rows from
// offset 54) and packed by hand, as little-endian words at their place in the raw image: stored
// row y, column x at byte 2 * (127 * y + x).
struct Pixel {
  std::size_t offset;
  std::uint8_t low;
  std::uint8_t high;
};

// The first stored row (the bottom row): both jobs read it from the same place.
constexpr Pixel first_row[] = {
    {0, 0x00, 0x00},  // x 0: blue 0x00, green 0x00, red 0x00: black
    {2, 0x41, 0x00},  // x 1: blue 0x08, green 0x08, red 0x00: 0 << 11 | 2 << 5 | 1
};
// The last stored row (the top row), where only Kestrin's rows are the file's rows.
constexpr Pixel top_row[] = {
    {16002, 0x00, 0xF8},  // x 0: blue 0x00, green 0x00, red 0xFF: 31 << 11
    {16004, 0x41, 0xF8},  // x 1: blue 0x08, green 0x08, red 0xFF: 31 << 11 | 2 << 5 | 1
    {16254, 0xF7, 0x9C},  // x 126: blue 0xBD, green 0x9F, red 0x9F: 19 << 11 | 39 << 5 | 23
};

void expect_pixels(const Bytes& raw, std::span<const Pixel> pixels) {
  for (const Pixel& pixel : pixels) {
    ASSERT_LT(pixel.offset + 1, raw.size());
    EXPECT_EQ(raw[pixel.offset], pixel.low) << "byte " << pixel.offset;
    EXPECT_EQ(raw[pixel.offset + 1], pixel.high) << "byte " << pixel.offset + 1;
  }
}

void expect_outcome(DialogJob job, const std::string& name, Outcome outcome) {
  const JobRun result = run(job, name);
  switch (outcome) {
    case Outcome::same_as_rgb24: {
      EXPECT_EQ(result.statuses, (std::vector<std::string>{"Saving", "Done"}));
      ASSERT_TRUE(result.output.has_value());
      ASSERT_EQ(result.output->size(), 127u * 64 * 2);
      expect_pixels(*result.output, first_row);
      const JobRun reference = run(job, "g/rgb24.bmp");
      EXPECT_TRUE(result.output == reference.output) << "not the bytes made of g/rgb24.bmp";
      break;
    }
    case Outcome::unsupported:
    case Outcome::cannot_open:
      EXPECT_EQ(result.statuses, std::vector<std::string>{outcome == Outcome::unsupported ? "Unsupported picture"
                                                                                          : "Cannot open input"});
      EXPECT_FALSE(result.output.has_value()) << "a refusal left an output file";
      break;
  }
}

class BmpSuite : public testing::TestWithParam<SuiteFile> {};

TEST_P(BmpSuite, VaskelGivesTheFilesVerdict) {
  expect_outcome(dialog_job<pack_fixed_stride>, GetParam().path, GetParam().vaskel);
}

// rgb565 pack is Kestrin's job from the command line: the same bytes, or the same refusal with
// exit code 1 and no file.
TEST_P(BmpSuite, Rgb565PackGivesKestrinsBytesOrRefusal) {
  const JobRun kestrin = run(dialog_job<pack>, GetParam().path);
  TempDir dir;
  std::ostringstream out, err;
  const std::vector<std::string> arguments = {"pack", suite_path(GetParam().path), dir.file("out.bin")};
  const std::vector<std::string_view> views(arguments.begin(), arguments.end());
  const int code = run_rgb565(views, {out, err, false});
  EXPECT_TRUE(read_file(dir.file("out.bin")) == kestrin.output);
  if (kestrin.statuses.back() == "Done") {
    EXPECT_EQ(code, 0) << err.str();
  } else {
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.str().find(": " + kestrin.statuses.back()), std::string::npos) << err.str();
  }
}

INSTANTIATE_TEST_SUITE_P(Files, BmpSuite, testing::ValuesIn(suite_files), [](const auto& param_info) {
  std::string name = param_info.param.path;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

TEST(BmpSuiteReference, KestrinGivesTheTopRowAsStored) {
  const JobRun result = run(dialog_job<pack>, "g/rgb24.bmp");
  ASSERT_TRUE(result.output.has_value());
  expect_pixels(*result.output, top_row);
}

// A file added to the suite folder without a row would go untested.
TEST(BmpSuiteReference, EveryFileHasARow) {
  std::set<std::string> listed;
  for (const SuiteFile& file : suite_files) listed.insert(file.path);
  std::set<std::string> found;
  for (const char* folder : {"g", "q", "b"})
    for (const auto& entry : std::filesystem::directory_iterator(suite_path(folder)))
      found.insert(std::string(folder) + "/" + entry.path().filename().string());
  EXPECT_EQ(found, listed);
}

}  // namespace
