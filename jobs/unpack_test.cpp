#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "jobs/unpack.h"
#include "testing/bmp_output_header.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"
#include "testing/unopenable_input.h"

namespace {

constexpr std::size_t frame_words = 568 * 130;
constexpr std::size_t output_size = 58 + frame_words * 3;

struct InputCase {
  const char* name;
  std::size_t size;
};

class ImportFixedFrameInput : public testing::TestWithParam<InputCase> {};

TEST_P(ImportFixedFrameInput, FillsTheFrameFromTheWordsThatFit) {
  TempDir dir;
  const std::string in = dir.file("in.bin");
  const std::string out = dir.file("out.bmp");
  const Bytes raw = raw_words(GetParam().size);
  write_file(in, raw);
  ScriptedFrame frame(in, out);
  frame.run(dialog_job<unpack>);
  EXPECT_EQ(frame.statuses(), (std::vector<std::string>{"Saving", "Done"}));
  const std::optional<Bytes> bmp = read_file(out);
  ASSERT_TRUE(bmp.has_value());
  ASSERT_EQ(bmp->size(), output_size);
  EXPECT_TRUE(*bmp == expected_frame_bmp(raw));
  EXPECT_EQ(read_file(in), raw);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ImportFixedFrameInput,
                         testing::Values(InputCase{"WholeFrame", frame_words * 2}, InputCase{"OneByte", 1},
                                         InputCase{"OneWord", 2}, InputCase{"ShortAndOdd", 1001},
                                         InputCase{"OneByteLong", frame_words * 2 + 1},
                                         InputCase{"FarTooLong", frame_words * 2 + 5000}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// A frame written band by band, against the rows worked out pixel by pixel: the bands' edges fall
// inside the frame, after it, on a short input's last word or past it; the rows carry padding.
struct BandCase {
  const char* name;
  std::uint32_t width, height;
  std::size_t input_bytes;
  bool top_down;
  std::uint32_t band_rows;  // 0: the job's own choice
};

class UnpackInBands : public testing::TestWithParam<BandCase> {};

TEST_P(UnpackInBands, WritesTheRowsOfTheWholeFrame) {
  const BandCase& c = GetParam();
  TempDir dir;
  const Bytes raw = raw_words(c.input_bytes);
  write_file(dir.file("in"), raw);
  const std::size_t row_length = stored_row_length(static_cast<std::int32_t>(c.width));
  Bytes expected(row_length * c.height, 0);
  const std::size_t words = std::min<std::size_t>(raw.size() / 2, std::size_t{c.width} * c.height);
  for (std::size_t k = 0; k < words; ++k) {
    const std::size_t raw_row = k / c.width, x = k % c.width;
    const std::size_t stored_row = c.top_down ? c.height - 1 - raw_row : raw_row;
    const BgrTriple pixel = pixel_by_hand(static_cast<std::uint16_t>(raw[2 * k] | raw[2 * k + 1] << 8));
    std::uint8_t* at = expected.data() + stored_row * row_length + 3 * x;
    at[0] = pixel.blue;
    at[1] = pixel.green;
    at[2] = pixel.red;
  }
  // The whole-frame path and the bands agree with the rows worked out.
  for (const bool stream : {false, true}) {
    SCOPED_TRACE(stream ? "in bands" : "whole");
    UnpackOptions options;
    options.width = c.width;
    options.height = c.height;
    options.top_down = c.top_down;
    options.switches.stream = stream;
    options.switches.band_rows = c.band_rows;
    JobProgress progress;
    const Outcome outcome = unpack({dir.file("in"), dir.file("out")}, options, progress);
    ASSERT_TRUE(outcome.done()) << outcome.reason << outcome.cause;
    EXPECT_EQ(outcome.warnings.size(), c.input_bytes == std::size_t{c.width} * c.height * 2 ? 0u : 1u);
    const Bytes bmp = read_file(dir.file("out")).value_or(Bytes{});
    ASSERT_EQ(bmp.size(), 58 + expected.size());
    EXPECT_TRUE(Bytes(bmp.begin() + 58, bmp.end()) == expected);
    EXPECT_EQ(read_file(dir.file("in")), raw);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, UnpackInBands,
                         testing::Values(BandCase{"OneRowBands", 568, 130, 568 * 130 * 2, false, 1},
                                         BandCase{"SevenRowBandsTopDown", 568, 130, 568 * 130 * 2, true, 7},
                                         BandCase{"OwnBandsFixedFrame", 568, 130, 568 * 130 * 2, false, 0},
                                         BandCase{"OddWidthLastBandShorter", 5, 7, 70, false, 3},
                                         BandCase{"OddWidthLastBandShorterTopDown", 5, 7, 70, true, 2},
                                         // 18 words and half a word: the fourth raw row ends after three pixels.
                                         BandCase{"InputEndsInsideABand", 5, 7, 37, false, 2},
                                         BandCase{"InputEndsInsideABandTopDown", 5, 7, 37, true, 3},
                                         BandCase{"InputEndsOnABandEdge", 5, 7, 40, false, 2},
                                         BandCase{"InputLongerThanTheFrame", 3, 5, 39, true, 2},
                                         BandCase{"BandTallerThanTheFrame", 3, 5, 30, false, 100},
                                         BandCase{"OnePixelRowsTopDown", 1, 4, 8, true, 3}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(ImportFixedFrame, WritesTheHeaderAndARedBottomLeftPixel) {
  TempDir dir;
  Bytes raw(frame_words * 2, 0xFF);
  raw[0] = 0x00;
  raw[1] = 0xF8;
  write_file(dir.file("red.bin"), raw);
  ScriptedFrame frame(dir.file("red.bin"), dir.file("red.bmp"));
  frame.run(dialog_job<unpack>);
  const Bytes bmp = read_file(dir.file("red.bmp")).value_or(Bytes{});
  ASSERT_EQ(bmp.size(), output_size);
  EXPECT_TRUE(std::equal(fixed_frame_header_bytes.begin(), fixed_frame_header_bytes.end(), bmp.begin()));
  EXPECT_EQ(Bytes(bmp.begin() + 54, bmp.begin() + 61), (Bytes{0, 0, 0, 0, 0x00, 0x00, 0xF8}));
  EXPECT_EQ(Bytes(bmp.end() - 3, bmp.end()), (Bytes{0xF8, 0xFC, 0xF8}));
}

TEST(ImportFixedFrame, SamePathInBothFieldsReplacesTheRawImage) {
  TempDir dir;
  const std::string path = dir.file("both");
  const Bytes raw = raw_words(frame_words * 2);
  write_file(path, raw);
  ScriptedFrame frame(path, path);
  frame.run(dialog_job<unpack>);
  EXPECT_EQ(frame.status(), "Done");
  EXPECT_TRUE(read_file(path) == expected_frame_bmp(raw));
}

// Only the frame's bytes are mapped: a raw input of 5 GiB, past what a 32-bit build could map,
// converts, and the warning names its whole length. The file is sparse past its frame.
TEST(ImportFixedFrame, ConvertsAnInputOf5GiBAndNamesItsLength) {
  TempDir dir;
  const Bytes raw = raw_words(frame_words * 2);
  write_file(dir.file("in"), raw);
  std::error_code refused;
  std::filesystem::resize_file(dir.file("in"), std::uint64_t{5} << 30, refused);
  if (refused) GTEST_SKIP() << "this file system takes no file of 5 GiB";
  JobProgress progress;
  const Outcome outcome = unpack({dir.file("in"), dir.file("out")}, {}, progress);
  ASSERT_TRUE(outcome.done()) << outcome.reason << outcome.cause;
  EXPECT_EQ(outcome.warnings, std::vector<std::string>{"warning: 5368709120 bytes, not the 147680 bytes of a 568 x 130 "
                                                       "frame; the bytes past it are left out"});
  EXPECT_EQ(read_file(dir.file("out")), expected_frame_bmp(raw));
}

TEST(ImportFixedFrame, AnInputItCannotOpenTouchesNoFile) {
  expect_unopenable_inputs_touch_no_file(dialog_job<unpack>, raw_words(frame_words * 2));
}

}  // namespace
