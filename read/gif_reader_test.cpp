#include "read/gif_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "testing/test_files.h"

namespace {

struct Composed {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint32_t> delays;
  std::vector<Bytes> frames;  // BGRA quads
  std::string refusal;
};

Composed compose(const Bytes& file, std::uint64_t limit = std::uint64_t{1} << 24) {
  Composed composed;
  SpanByteWindows bytes(file);
  std::variant<std::monostate, GifReader, Failure> opened = GifReader::open(bytes, limit);
  if (const Failure* failed = std::get_if<Failure>(&opened)) {
    composed.refusal = failed->reason;
    return composed;
  }
  if (!std::holds_alternative<GifReader>(opened)) {
    composed.refusal = "not a GIF";
    return composed;
  }
  GifReader& reader = std::get<GifReader>(opened);
  composed.width = reader.width();
  composed.height = reader.height();
  composed.delays.assign(reader.delays_ms().begin(), reader.delays_ms().end());
  for (std::uint32_t k = 0; k < reader.frames(); ++k) {
    if (std::optional<Failure> failed = reader.next_frame()) {
      composed.refusal = failed->reason;
      break;
    }
    composed.frames.emplace_back(reader.canvas().begin(), reader.canvas().end());
  }
  return composed;
}

// ImageMagick's composed frames (gif-tests/make.sh), one after another as RGBA. Where a pixel is
// transparent its colour is no part of the picture, so only its alpha is compared.
struct ToolPicture {
  const char* name;
  std::uint32_t width, height;
  std::vector<std::uint32_t> delays;
};

class GifPictures : public testing::TestWithParam<ToolPicture> {};

TEST_P(GifPictures, ComposeTheFramesImageMagickComposes) {
  const ToolPicture& c = GetParam();
  const std::optional<Bytes> file = read_file(std::string(GIF_TESTS) + "/" + c.name + ".gif");
  const std::optional<Bytes> rgba = read_file(std::string(GIF_TESTS) + "/" + c.name + ".rgba");
  ASSERT_TRUE(file && rgba);
  const Composed composed = compose(*file);
  EXPECT_EQ(composed.refusal, "");
  EXPECT_EQ(composed.width, c.width);
  EXPECT_EQ(composed.height, c.height);
  EXPECT_EQ(composed.delays, c.delays);
  const std::size_t frame_bytes = std::size_t{c.width} * c.height * 4;
  ASSERT_EQ(rgba->size(), frame_bytes * c.delays.size());
  ASSERT_EQ(composed.frames.size(), c.delays.size());
  for (std::size_t f = 0; f < composed.frames.size(); ++f) {
    for (std::size_t p = 0; p < frame_bytes; p += 4) {
      const std::uint8_t* want = rgba->data() + f * frame_bytes + p;
      const std::uint8_t* got = composed.frames[f].data() + p;
      const bool clear = want[3] == 0;
      ASSERT_EQ(got[3], want[3]) << "frame " << f << " pixel " << p / 4;
      if (clear) {
        EXPECT_EQ(got[0] | got[1] | got[2], 0) << "frame " << f << " pixel " << p / 4;
        continue;
      }
      ASSERT_TRUE(got[0] == want[2] && got[1] == want[1] && got[2] == want[0]) << "frame " << f << " pixel " << p / 4;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ImageMagick, GifPictures,
                         testing::Values(
                             // Disposal 1, 2 (cleared to transparent, as ImageMagick and browsers clear it) and 3, a
                             // transparent index, frames at offsets, and local colour tables.
                             ToolPicture{"disposals", 12, 10, {100, 200, 300, 400}},
                             // One interlaced frame of 11 rows, whose last pass is one row short.
                             ToolPicture{"interlaced", 7, 11, {0}}),
                         [](const testing::TestParamInfo<ToolPicture>& param) {
                           return std::string(param.param.name);
                         });

// A 2 x 1 screen of a two-entry global table (black, then red 0xFF0000): one frame whose LZW data
// is the codes clear (4), 1, 0, end (5) at 3 bits, low bits first.
const std::vector<std::uint8_t> two_pixels = {'G',  'I', 'F',  '8',  '9', 'a', 2,    0, 1, 0,
                                              0x80, 0,   0,    0,    0,   0,   0xFF, 0, 0,     // screen, table
                                              0x2C, 0,   0,    0,    0,   2,   0,    1, 0, 0,  // descriptor
                                              2,    2,   0x0C, 0x0A, 0,                        // LZW
                                              0x3B};

TEST(GifReader, DrawsAHandWorkedFrame) {
  const Composed composed = compose(two_pixels);
  ASSERT_EQ(composed.refusal, "");
  ASSERT_EQ(composed.frames.size(), 1u);
  EXPECT_EQ(composed.frames[0], (Bytes{0, 0, 0xFF, 255, 0, 0, 0, 255}));
}

// Each change to the hand-worked file, at a byte offset, and the reason it is refused for.
struct Damage {
  const char* what;
  std::size_t at;
  std::vector<std::uint8_t> bytes;  // written over the file from `at`
  const char* reason;
};

class GifRefusals : public testing::TestWithParam<Damage> {};

TEST_P(GifRefusals, SayWhatIsWrong) {
  Bytes file = two_pixels;
  const Damage& c = GetParam();
  std::copy(c.bytes.begin(), c.bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(c.at));
  EXPECT_EQ(compose(file).refusal, c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    HandWorked, GifRefusals,
    testing::Values(
        Damage{"no_pixels", 6, {0, 0}, "the GIF is damaged: its screen is 0 x 1 pixels"},
        Damage{"table_flag_cleared", 10, {0}, "the GIF is damaged: a block of unknown kind 0 at byte 13"},
        Damage{"code_size", 29, {9}, "the GIF is damaged: frame 1's LZW minimum code size is 9, not 2 to 8"},
        // Codes clear, 1, then 7 where the next entry made would be 6.
        Damage{"code_not_made",
               31,
               {0xCC, 0x01},
               "the GIF is damaged: frame 1's pixel data names LZW code 7 before it is made"},
        // Codes clear, 3 (past the two entries), end.
        Damage{"past_table", 31, {0x5C, 0x01}, "the GIF is damaged: frame 1 has a pixel past its colour table"},
        // Codes clear, 1, end: one pixel of two.
        Damage{"data_ends", 31, {0x4C, 0x01}, "the GIF is damaged: frame 1's pixel data ends after 1 of its 2 pixels"},
        Damage{"unknown_block", 34, {0x00}, "the GIF is damaged: a block of unknown kind 0 at byte 34"}),
    [](const testing::TestParamInfo<Damage>& param) { return std::string(param.param.what); });

TEST(GifReader, RefusesAFrameWithoutAColourTable) {
  // No global table, and the frame has none of its own.
  const Bytes file = {'G', 'I', 'F', '8', '7', 'a', 1, 0, 1, 0, 0,    0,    0, 0x2C, 0,
                      0,   0,   0,   1,   0,   1,   0, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
  EXPECT_EQ(compose(file).refusal, "the GIF is damaged: frame 1 has no colour table");
}

TEST(GifReader, RefusesEveryCutOfAnAnimation) {
  const std::optional<Bytes> file = read_file(std::string(GIF_TESTS) + "/disposals.gif");
  ASSERT_TRUE(file);
  for (std::size_t length = 6; length < file->size(); ++length) {
    const Bytes cut(file->begin(), file->begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_EQ(compose(cut).refusal, "the GIF is cut short") << length;
  }
}

TEST(GifReader, RefusesAScreenOverThePixelLimitBeforeDecoding) {
  EXPECT_EQ(compose(two_pixels, 1).refusal,
            "2 x 1 pixels, more than the 1 a compressed picture may have (--max-pixels raises the limit)");
}

TEST(GifReader, RefusesAScreenWhoseRawImageCannotBeHeld) {
  Bytes file = two_pixels;
  std::fill(file.begin() + 6, file.begin() + 10, 0xFF);
  EXPECT_EQ(compose(file, std::uint64_t{1} << 40).refusal, "65535 x 65535 pixels: the raw image would not fit 4 GiB");
}

TEST(GifReader, LeavesOtherFilesToOtherReaders) {
  EXPECT_EQ(compose(Bytes{'G', 'I', 'F', '8', '8', 'a', 0}).refusal, "not a GIF");
}

}  // namespace
