// Kestrin and Vaskel on every picture of BMP Suite 2.8 (testing/bmp-suite), in both builds, against
// one table: testing/bmp-suite/expected.tsv and the raw images in expected/ beside it. A converted
// file must give its raw image to the byte, and a failure names the first pixel that moved; a
// refusal shows its status and leaves no output file; no input is ever changed. Under the
// sanitizers a read outside a file fails the run.
//
// Kestrin's raw images were recorded from its job when the Win32 build (the system loader's section)
// and the native build (our own reader) agreed on every file; scripts/bmp-suite-expected.py checks
// them against Pillow's decoding of the good files and Vaskel's against a model of its 120-byte walk.
#include <gtest/gtest.h>

#include <set>
#include <span>
#include <string>
#include <vector>

#include "jobs/pack.h"
#include "jobs/pack_fixed_stride.h"
#include "testing/bmp_suite_table.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

void expect_verdict(DialogJob job, const SuiteRow& row, const SuiteVerdict& verdict) {
  TempDir dir;
  const std::string input = std::string(BMP_SUITE) + "/" + row.path;
  const std::optional<Bytes> before = read_file(input);
  ASSERT_TRUE(before.has_value()) << input;
  ScriptedFrame frame(input, dir.file("out.bin"));
  frame.run(job);
  EXPECT_EQ(read_file(input), before) << "the input changed";
  const std::optional<Bytes> output = read_file(dir.file("out.bin"));
  if (!verdict.raw) {
    EXPECT_EQ(frame.statuses(), std::vector<std::string>{verdict.status});
    EXPECT_FALSE(output.has_value()) << "a refusal left an output file";
    return;
  }
  EXPECT_EQ(frame.statuses(), (std::vector<std::string>{"Saving", "Done"}));
  ASSERT_TRUE(output.has_value());
  EXPECT_EQ(raw_image_difference(*output, *verdict.raw, row.width), "");
}

const std::vector<SuiteRow>& table() {
  static const std::vector<SuiteRow> rows = read_bmp_suite_table(BMP_SUITE);
  return rows;
}

class BmpSuite : public testing::TestWithParam<SuiteRow> {};

TEST_P(BmpSuite, KestrinGivesTheTablesVerdict) { expect_verdict(dialog_job<pack>, GetParam(), GetParam().kestrin); }

TEST_P(BmpSuite, VaskelGivesTheTablesVerdict) {
  expect_verdict(dialog_job<pack_fixed_stride>, GetParam(), GetParam().vaskel);
}

INSTANTIATE_TEST_SUITE_P(Files, BmpSuite, testing::ValuesIn(table()),
                         [](const auto& param_info) { return suite_test_name(param_info.param.path); });

// A file added to the suite folder without a row would go untested.
TEST(BmpSuiteTable, HasARowForEveryFile) {
  std::vector<std::string> listed;
  for (const SuiteRow& row : table()) listed.push_back(row.path);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, bmp_suite_files(BMP_SUITE));
}

// The command line's band walk against the whole-picture conversion, which decodes through the
// image loader: every suite file in bands of one and of three rows, through each path a band can
// take (RGB565 stored and top row first, with ordered dithering, other formats, an indexed format
// that walks the picture twice, a format with alpha), gives the same bytes or the same refusal.
struct StreamedWay {
  const char* name;
  PackOptions options;
};

PackOptions way(PixelFormat format, bool top_down, Dither dither = Dither::none) {
  PackOptions options;
  options.pixel_format = format;
  options.rows = top_down ? RowOrder::top_down : RowOrder::stored;
  options.dither = dither;
  return options;
}

const StreamedWay streamed_ways[] = {
    {"rgb565 stored", way(PixelFormat::rgb565, false)},
    {"rgb565 top-down", way(PixelFormat::rgb565, true)},
    {"rgb565 top-down ordered", way(PixelFormat::rgb565, true, Dither::ordered)},
    {"rgb888 top-down", way(PixelFormat::rgb888, true)},
    {"i4 stored", way(PixelFormat::i4, false)},
    {"argb8888 top-down", way(PixelFormat::argb8888, true)},
};

TEST_P(BmpSuite, StreamsInBandsAsItConvertsWhole) {
  const std::string input = std::string(BMP_SUITE) + "/" + GetParam().path;
  for (const StreamedWay& streamed : streamed_ways) {
    TempDir dir;
    JobProgress quiet;
    const Outcome whole = pack({input, dir.file("whole.bin")}, streamed.options, quiet);
    const std::optional<Bytes> expected = read_file(dir.file("whole.bin"));
    for (const std::uint32_t band_rows : {1u, 3u}) {
      SCOPED_TRACE(std::string(streamed.name) + ", bands of " + std::to_string(band_rows));
      PackOptions options = streamed.options;
      options.switches.stream = true;
      options.switches.band_rows = band_rows;
      const std::string output = dir.file("band" + std::to_string(band_rows) + ".bin");
      const Outcome banded = pack({input, output}, options, quiet);
      EXPECT_EQ(banded.ending, whole.ending);
      EXPECT_EQ(banded.reason, whole.reason);
      EXPECT_EQ(read_file(output), expected);
    }
  }
}

// Pixels of g/rgb24.bmp read off its bytes by hand (127 x 64, bottom-up, 384-byte stored rows from
// offset 54) and packed by hand, as little-endian words at their place in the raw image: stored row
// y, column x at byte 2 * (127 * y + x). They tie the recorded raw images to the file itself.
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

void expect_pixels(const std::optional<Bytes>& raw, std::span<const Pixel> pixels) {
  ASSERT_TRUE(raw.has_value());
  ASSERT_EQ(raw->size(), 127u * 64 * 2);
  for (const Pixel& pixel : pixels) {
    EXPECT_EQ((*raw)[pixel.offset], pixel.low) << "byte " << pixel.offset;
    EXPECT_EQ((*raw)[pixel.offset + 1], pixel.high) << "byte " << pixel.offset + 1;
  }
}

TEST(BmpSuiteTable, HoldsThePixelsOfRgb24ReadOffByHand) {
  const auto rgb24 =
      std::find_if(table().begin(), table().end(), [](const auto& row) { return row.path == "g/rgb24.bmp"; });
  ASSERT_NE(rgb24, table().end());
  expect_pixels(rgb24->kestrin.raw, first_row);
  expect_pixels(rgb24->kestrin.raw, top_row);
  expect_pixels(rgb24->vaskel.raw, first_row);
}

}  // namespace
