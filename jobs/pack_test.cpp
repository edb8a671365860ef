// Kestrin's job through a scripted frame, on real files, in both builds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "jobs/pack.h"
#include "pixels/little_endian.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

using Statuses = std::vector<std::string>;
const Statuses converted = {"Saving", "Done"};

// The 12-byte core header in front of make_bmp's rows: 16-bit width and height, bottom-up only.
Bytes core_bmp(const BmpLayout& layout) {
  const Bytes info = make_bmp(layout, pattern_pixel);
  Bytes file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0};
  file.resize(26);
  store_le16(file.data() + 18, static_cast<std::uint16_t>(layout.width));
  store_le16(file.data() + 20, static_cast<std::uint16_t>(layout.height));
  store_le16(file.data() + 22, 1);
  store_le16(file.data() + 24, 24);
  file.insert(file.end(), info.begin() + 54, info.end());
  return file;
}

struct Picture {
  const char* name;
  BmpLayout layout;
  bool core_header = false;
};

void PrintTo(const Picture& picture, std::ostream* out) { *out << picture.name; }

class KestrinConverts : public testing::TestWithParam<Picture> {};

TEST_P(KestrinConverts, EveryPixelInStoredOrderWithoutRowPadding) {
  const BmpLayout& layout = GetParam().layout;
  TempDir dir;
  const std::string input = dir.file("in.bmp");
  const std::string output = dir.file("out.bin");
  write_file(input, GetParam().core_header ? core_bmp(layout) : make_bmp(layout, pattern_pixel));
  ScriptedFrame frame(input, output);

  frame.run(dialog_job<pack>);

  EXPECT_EQ(frame.statuses(), converted);
  const std::optional<Bytes> raw = read_file(output);
  ASSERT_TRUE(raw.has_value());
  EXPECT_EQ(raw->size(), std::size_t{2} * static_cast<std::size_t>(layout.width * std::abs(layout.height)));
  EXPECT_EQ(*raw, expected_raw(layout, pattern_pixel));
}

INSTANTIATE_TEST_SUITE_P(Pictures, KestrinConverts,
                         testing::Values(Picture{"OnePixel", {.width = 1, .height = 1}},
                                         Picture{"RowsWithoutPadding", {.width = 4, .height = 3}},
                                         Picture{"ThreeWideRowsSkipTheirPadding", {.width = 3, .height = 3}},
                                         Picture{"EveryPaddingLength", {.width = 7, .height = 5}},
                                         Picture{"FrameSize", {.width = 568, .height = 130}},
                                         Picture{"TopDown", {.width = 5, .height = -4}},
                                         Picture{"TopDownOneRow", {.width = 6, .height = -1}},
                                         Picture{"InfoHeader108", {.width = 3, .height = 2, .info_size = 108}},
                                         Picture{"InfoHeader52", {.width = 3, .height = 2, .info_size = 52}},
                                         Picture{"InfoHeader56", {.width = 3, .height = -4, .info_size = 56}},
                                         Picture{"InfoHeader124", {.width = 3, .height = -2, .info_size = 124}},
                                         Picture{"GapBeforeThePixels", {.width = 2, .height = 2, .gap = 1024}},
                                         Picture{"CoreHeader", {.width = 5, .height = 3}, true}),
                         [](const testing::TestParamInfo<Picture>& param_info) {
                           return std::string(param_info.param.name);
                         });

// Spelled out rather than computed: the first stored row (red) comes first whichever way up the
// file is, so a bottom-up file gives its bottom row first and a top-down one its top row.
class KestrinRowOrder : public testing::TestWithParam<std::int32_t> {};

TEST_P(KestrinRowOrder, FirstStoredRowFirst) {
  TempDir dir;
  const std::string input = dir.file("in.bmp");
  const std::string output = dir.file("out.bin");
  write_file(input, make_bmp({.width = 2, .height = GetParam()}, [](std::int32_t, std::int32_t y) {
               return y == 0 ? BgrTriple{0x00, 0x00, 0xFF} : BgrTriple{0xFF, 0x00, 0x00};
             }));
  ScriptedFrame frame(input, output);

  frame.run(dialog_job<pack>);

  EXPECT_EQ(read_file(output), (Bytes{0x00, 0xF8, 0x00, 0xF8, 0x1F, 0x00, 0x1F, 0x00}));
}

INSTANTIATE_TEST_SUITE_P(BottomUpAndTopDown, KestrinRowOrder, testing::Values(2, -2));

// Inputs that the job refuses, with the status it must show. Nothing is touched: an existing
// output file keeps its bytes, the input stays as it was, and neither "Saving" nor "Done" shows.
enum class Input { file, missing, folder };

struct Refusal {
  const char* name;
  Input input;
  Bytes bytes;
  const char* status;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

Bytes valid_bmp() { return make_bmp({.width = 3, .height = 3}, pattern_pixel); }

Bytes cut(Bytes bytes, std::size_t length) {
  bytes.resize(length);
  return bytes;
}

Bytes with_size(Bytes bytes, std::uint32_t width, std::uint32_t height) {
  store_le32(bytes.data() + 18, width);
  store_le32(bytes.data() + 22, height);
  return bytes;
}

class KestrinRefuses : public testing::TestWithParam<Refusal> {};

TEST_P(KestrinRefuses, ShowsWhyAndTouchesNothing) {
  const Refusal& refusal = GetParam();
  TempDir dir;
  const std::string input = dir.file("in.bmp");
  const std::string output = dir.file("out.bin");
  if (refusal.input == Input::file) write_file(input, refusal.bytes);
  if (refusal.input == Input::folder) std::filesystem::create_directory(input);
  const Bytes earlier_output = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
  write_file(output, earlier_output);
  ScriptedFrame frame(input, output);

  frame.run(dialog_job<pack>);

  EXPECT_EQ(frame.statuses(), Statuses{refusal.status});
  EXPECT_EQ(read_file(output), earlier_output);
  if (refusal.input == Input::file) {
    EXPECT_EQ(read_file(input), refusal.bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, KestrinRefuses,
    testing::Values(
        Refusal{"Missing", Input::missing, {}, "Cannot open input"},
        Refusal{"Folder", Input::folder, {}, "Cannot open input"},
        Refusal{"Empty", Input::file, {}, "Cannot open input"},
        Refusal{"NotABmp",
                Input::file,
                {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                "Cannot open input"},
        Refusal{"HeaderPastEnd", Input::file, cut(valid_bmp(), 30), "Cannot open input"},
        Refusal{"PixelDataPastEnd", Input::file, cut(valid_bmp(), valid_bmp().size() - 1), "Cannot open input"},
        Refusal{"TwoBits", Input::file, make_bmp({.width = 4, .height = 4, .bits_per_pixel = 2}, pattern_pixel),
                "Unsupported picture"},
        Refusal{"Compressed", Input::file, make_bmp({.width = 4, .height = 4, .compression = 1}, pattern_pixel),
                "Unsupported picture"},
        Refusal{"WidthZero", Input::file, make_bmp({.width = 0, .height = 2}, pattern_pixel), "Unsupported picture"},
        Refusal{"HeightZero", Input::file, make_bmp({.width = 2, .height = 0}, pattern_pixel), "Unsupported picture"},
        Refusal{"RawImagePast32Bits", Input::file, with_size(valid_bmp(), 65536, 32768), "Unsupported picture"}),
    [](const testing::TestParamInfo<Refusal>& param_info) { return std::string(param_info.param.name); });

TEST(Kestrin, SamePathInBothFieldsReplacesThePictureByItsRawImage) {
  TempDir dir;
  const std::string path = dir.file("picture.bmp");
  const BmpLayout layout{.width = 5, .height = 3};
  write_file(path, make_bmp(layout, pattern_pixel));
  ScriptedFrame frame(path, path);

  frame.run(dialog_job<pack>);

  EXPECT_EQ(frame.statuses(), converted);
  EXPECT_EQ(read_file(path), expected_raw(layout, pattern_pixel));
}

}  // namespace
