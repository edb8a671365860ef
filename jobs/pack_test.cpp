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

// The command line's band walk: the same bytes as the whole picture, whatever the band's height
// against the picture's, the rows' padding and the order they are written in.
struct Streamed {
  const char* name;
  BmpLayout layout;
  std::uint32_t band_rows;
  bool core_header = false;
};

void PrintTo(const Streamed& streamed, std::ostream* out) { *out << streamed.name; }

PackOptions options_of(std::uint32_t band_rows, bool top_down, Dither dither = Dither::none) {
  PackOptions options;
  options.switches.band_rows = band_rows;
  options.rows = top_down ? RowOrder::top_down : RowOrder::stored;
  options.dither = dither;
  return options;
}

Outcome pack_streaming(const std::string& input, const std::string& output, PackOptions options) {
  options.switches.stream = true;
  JobProgress quiet;
  return pack({input, output}, options, quiet);
}

class KestrinStreams : public testing::TestWithParam<Streamed> {};

TEST_P(KestrinStreams, EveryPixelInStoredOrder) {
  const Streamed& c = GetParam();
  TempDir dir;
  write_file(dir.file("in.bmp"), c.core_header ? core_bmp(c.layout) : make_bmp(c.layout, pattern_pixel));
  const Outcome outcome = pack_streaming(dir.file("in.bmp"), dir.file("out.bin"), options_of(c.band_rows, false));
  EXPECT_TRUE(outcome.done()) << outcome.reason;
  EXPECT_EQ(read_file(dir.file("out.bin")), expected_raw(c.layout, pattern_pixel));
}

INSTANTIATE_TEST_SUITE_P(Bands, KestrinStreams,
                         testing::Values(Streamed{"BandsOfOneRowWithPadding", {.width = 3, .height = 3}, 1},
                                         Streamed{"HeightNotAMultipleOfTheBand", {.width = 7, .height = 5}, 2},
                                         Streamed{"BandTallerThanThePicture", {.width = 5, .height = 2}, 9},
                                         Streamed{"TopDown", {.width = 5, .height = -4}, 3},
                                         Streamed{"GapBeforeThePixels", {.width = 2, .height = 7, .gap = 1024}, 4},
                                         Streamed{"CoreHeader", {.width = 5, .height = 3}, 2, true},
                                         Streamed{"DefaultBand", {.width = 568, .height = 130}, 0}),
                         [](const testing::TestParamInfo<Streamed>& param_info) {
                           return std::string(param_info.param.name);
                         });

#ifndef _WIN32
// A batch's outputs refuse links: a link that appears in the folder after the batch looked is not
// written through, and the file it names stays as it was.
TEST(Kestrin, AnOutputThatRefusesLinksIsNotWrittenThroughOne) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 2, .height = 2}, pattern_pixel));
  write_file(dir.file("elsewhere"), Bytes{'k', 'e', 'p', 't'});
  std::filesystem::create_symlink(dir.file("elsewhere"), dir.file("out.bin"));
  PackOptions options;
  options.switches.stream = true;
  JobProgress quiet;
  const Outcome outcome =
      pack({dir.file("in.bmp"), dir.file("out.bin"), nullptr, nullptr, Links::refuse}, options, quiet);
  EXPECT_EQ(outcome.ending, Ending::not_saved);
  EXPECT_EQ(read_file(dir.file("elsewhere")), (Bytes{'k', 'e', 'p', 't'}));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("out.bin")));
}
#endif

// Worked out by hand: the rows written top row first from a bottom-up file, and dithering that
// must follow the stored rows across bands.
struct StreamedBytes {
  const char* name;
  std::int32_t width, height;
  BgrTriple (*pixel)(std::int32_t x, std::int32_t y);
  PackOptions options;
  Bytes expected;
};

void PrintTo(const StreamedBytes& streamed, std::ostream* out) { *out << streamed.name; }

class KestrinStreamsAsWorkedOut : public testing::TestWithParam<StreamedBytes> {};

TEST_P(KestrinStreamsAsWorkedOut, Bytes) {
  const StreamedBytes& c = GetParam();
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = c.width, .height = c.height}, c.pixel));
  const Outcome outcome = pack_streaming(dir.file("in.bmp"), dir.file("out.bin"), c.options);
  EXPECT_TRUE(outcome.done()) << outcome.reason;
  EXPECT_EQ(read_file(dir.file("out.bin")), c.expected);
}

// Stored rows red, blue, green.
BgrTriple three_rows(std::int32_t, std::int32_t y) {
  return y == 0 ? BgrTriple{0, 0, 0xFF} : y == 1 ? BgrTriple{0xFF, 0, 0} : BgrTriple{0, 0xFF, 0};
}
// Blue 4 and green 2 everywhere, each just under half a level: the Bayer thresholds of column 0 (0,
// 48, 12, 60 for stored rows 0 to 3) lift both to level 1 on stored rows 0 and 2 only, giving the
// word 0x0021 there. Diffusion spreads blue 4 over a 4 x 2 picture into levels 0 1 0 1 then 1 0 1 0
// (see the dither tests).
BgrTriple blue_4_green_2(std::int32_t, std::int32_t) { return {4, 2, 0}; }
BgrTriple blue_4(std::int32_t, std::int32_t) { return {4, 0, 0}; }

INSTANTIATE_TEST_SUITE_P(
    Literals, KestrinStreamsAsWorkedOut,
    testing::Values(
        StreamedBytes{
            "TopRowFirstInBandsOfOne", 1, 3, three_rows, options_of(1, true), {0xE0, 0x07, 0x1F, 0x00, 0x00, 0xF8}},
        StreamedBytes{
            "TopRowFirstInBandsOfTwo", 1, 3, three_rows, options_of(2, true), {0xE0, 0x07, 0x1F, 0x00, 0x00, 0xF8}},
        StreamedBytes{"OrderedFollowsStoredRows",
                      1,
                      4,
                      blue_4_green_2,
                      options_of(3, false, Dither::ordered),
                      {0x21, 0x00, 0x00, 0x00, 0x21, 0x00, 0x00, 0x00}},
        StreamedBytes{"OrderedFollowsStoredRowsTopRowFirst",
                      1,
                      4,
                      blue_4_green_2,
                      options_of(3, true, Dither::ordered),
                      {0x00, 0x00, 0x21, 0x00, 0x00, 0x00, 0x21, 0x00}},
        StreamedBytes{"DiffusionCarriesItsErrorsAcrossBands",
                      4,
                      2,
                      blue_4,
                      options_of(1, false, Dither::diffusion),
                      {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}},
        StreamedBytes{
            "DiffusionTopRowFirst",
            4,
            2,
            blue_4,
            options_of(1, true, Dither::diffusion),
            {0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00}}),
    [](const testing::TestParamInfo<StreamedBytes>& param_info) { return std::string(param_info.param.name); });

// The C header written a band at a time: its elements run on across the bands, twelve to a line,
// with a comma after every one but the last.
TEST(KestrinStreamsCArray, ElementsRunOnAcrossBands) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 5, .height = 3}, three_rows));
  PackOptions options = options_of(1, false);
  options.container = ContainerKind::c_words;
  options.c_array = "logo";
  const Outcome outcome = pack_streaming(dir.file("in.bmp"), dir.file("logo.h"), options);
  EXPECT_TRUE(outcome.done()) << outcome.reason;
  const std::optional<Bytes> header = read_file(dir.file("logo.h"));
  ASSERT_TRUE(header.has_value());
  const std::string text(header->begin(), header->end());
  const std::size_t array = text.find("static const uint16_t logo[");
  ASSERT_NE(array, std::string::npos);
  EXPECT_EQ(text.substr(array),
            "static const uint16_t logo[15] = {\n"
            "    0xF800, 0xF800, 0xF800, 0xF800, 0xF800, 0x001F, 0x001F, 0x001F, 0x001F, 0x001F, 0x07E0, 0x07E0,\n"
            "    0x07E0, 0x07E0, 0x07E0\n};\n\n#endif\n");
}

}  // namespace

namespace {

// A transformed picture, written as it is made (the command line) or converted whole and saved once
// its input is released: the same words, top row first. Stored rows red then blue (bottom-up, so
// blue is the top row), turned a quarter clockwise: the bottom comes to the left, red then blue.
TEST(KestrinTransforms, WholeOrStreamedGiveTheWorkedOutWords) {
  for (const bool stream : {false, true}) {
    TempDir dir;
    write_file(dir.file("in.bmp"), make_bmp({.width = 1, .height = 2}, [](std::int32_t, std::int32_t y) {
                 return y == 0 ? BgrTriple{0, 0, 0xFF} : BgrTriple{0xFF, 0, 0};
               }));
    PackOptions options;
    options.switches.stream = stream;
    options.transforms.rotation = Rotation::quarter;
    options.container = ContainerKind::c_words;
    options.c_array = "turned";
    JobProgress quiet;
    const Outcome outcome = pack({dir.file("in.bmp"), dir.file("turned.h")}, options, quiet);
    EXPECT_TRUE(outcome.done()) << outcome.reason;
    const std::optional<Bytes> header = read_file(dir.file("turned.h"));
    ASSERT_TRUE(header.has_value());
    const std::string text(header->begin(), header->end());
    EXPECT_NE(text.find(": 2 x 1 pixels, top row first, RGB565"), std::string::npos) << text;
    EXPECT_NE(text.find("static const uint16_t turned[2] = {\n    0xF800, 0x001F\n};"), std::string::npos) << text;
  }
}

}  // namespace
