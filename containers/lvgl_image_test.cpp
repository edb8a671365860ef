// LVGL 9 image headers written out by hand from LVGL's published layout, and which files unpack
// takes for an LVGL image.
#include "containers/lvgl_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "containers/row_stride.h"
#include "testing/test_files.h"

namespace {

FormatSettings settings_of(PixelFormat format, ByteOrder bytes = ByteOrder::low_first, bool premultiply = false) {
  FormatSettings settings;
  settings.format = format;
  settings.word.bytes = bytes;
  settings.premultiply = premultiply;
  return settings;
}

struct HeaderCase {
  const char* name;
  FormatSettings settings;
  std::uint32_t width, height;
  std::optional<LvglHeader> expected;
  std::uint32_t align = 1;
  LvglCompression compression = LvglCompression::none;
};

const HeaderCase header_cases[] = {
    // RGB565_SWAPPED, 300 x 2: stride 600 = 0x0258.
    {"Rgb565Swapped", settings_of(PixelFormat::rgb565, ByteOrder::high_first), 300, 2,
     LvglHeader{0x19, 0x1B, 0x00, 0x00, 0x2C, 0x01, 0x02, 0x00, 0x58, 0x02, 0x00, 0x00}},
    // I4, premultiplied palette, 5 x 3: three bytes of indices a row.
    {"I4Premultiplied", settings_of(PixelFormat::i4, ByteOrder::low_first, true), 5, 3,
     LvglHeader{0x19, 0x09, 0x01, 0x00, 0x05, 0x00, 0x03, 0x00, 0x03, 0x00, 0x00, 0x00}},
    {"Rgb565a8StrideOfTheWords", settings_of(PixelFormat::rgb565a8), 7, 1,
     LvglHeader{0x19, 0x14, 0x00, 0x00, 0x07, 0x00, 0x01, 0x00, 0x0E, 0x00, 0x00, 0x00}},
    // A1, 9 x 2: two bytes a row.
    {"A1", settings_of(PixelFormat::a1), 9, 2,
     LvglHeader{0x19, 0x0B, 0x00, 0x00, 0x09, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0x00}},
    {"A2", settings_of(PixelFormat::a2), 5, 1,
     LvglHeader{0x19, 0x0C, 0x00, 0x00, 0x05, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00}},
    {"A4", settings_of(PixelFormat::a4), 3, 1,
     LvglHeader{0x19, 0x0D, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00}},
    {"A8", settings_of(PixelFormat::a8), 3, 1,
     LvglHeader{0x19, 0x0E, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00}},
    {"Al88Premultiplied", settings_of(PixelFormat::al88, ByteOrder::low_first, true), 3, 1,
     LvglHeader{0x19, 0x15, 0x01, 0x00, 0x03, 0x00, 0x01, 0x00, 0x06, 0x00, 0x00, 0x00}},
    {"Argb1555", settings_of(PixelFormat::argb1555), 3, 1,
     LvglHeader{0x19, 0x16, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x06, 0x00, 0x00, 0x00}},
    {"Argb4444", settings_of(PixelFormat::argb4444), 3, 1,
     LvglHeader{0x19, 0x17, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x06, 0x00, 0x00, 0x00}},
    {"Argb2222", settings_of(PixelFormat::argb2222), 3, 1,
     LvglHeader{0x19, 0x18, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00}},
    {"NoSwappedArgb4444", settings_of(PixelFormat::argb4444, ByteOrder::high_first), 1, 1, std::nullopt},
    {"NoCodeForGray2", settings_of(PixelFormat::gray2), 1, 1, std::nullopt},
    {"NoCodeForRgb666", settings_of(PixelFormat::rgb666), 1, 1, std::nullopt},
    {"NoSwappedArgb8888", settings_of(PixelFormat::argb8888, ByteOrder::high_first), 1, 1, std::nullopt},
    {"WiderThanSixteenBits", settings_of(PixelFormat::gray8), 65536, 1, std::nullopt},
    // RGB888, 5 x 1: 15 bytes a row, 16 apart; RLE sets flag 0x0008.
    {"AlignedCompressed", settings_of(PixelFormat::rgb888), 5, 1,
     LvglHeader{0x19, 0x0F, 0x08, 0x00, 0x05, 0x00, 0x01, 0x00, 0x10, 0x00, 0x00, 0x00}, 16, LvglCompression::rle},
    {"PremultipliedLz4", settings_of(PixelFormat::argb8888, ByteOrder::low_first, true), 1, 1,
     LvglHeader{0x19, 0x10, 0x09, 0x00, 0x01, 0x00, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00}, 1, LvglCompression::lz4},
    // 32768 pixels of RGB565 take 65536 bytes, one more than the stride holds.
    {"StrideOverSixteenBits", settings_of(PixelFormat::rgb565), 32767, 1, std::nullopt, 4},
};

class LvglHeaders : public testing::TestWithParam<HeaderCase> {};

TEST_P(LvglHeaders, AreTheHandWrittenBytes) {
  const HeaderCase& c = GetParam();
  EXPECT_EQ(lvgl_header(c.settings, c.width, c.height, c.align, c.compression), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LvglHeaders, testing::ValuesIn(header_cases),
                         [](const testing::TestParamInfo<HeaderCase>& param) { return std::string(param.param.name); });

// A 2 x 1 RGB565 image: its header, then two words.
std::vector<std::uint8_t> rgb565_image() {
  return {0x19, 0x12, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0xF8};
}

TEST(LvglHeaderRead, TakesAHeaderThatFitsTheFileAndNothingElse) {
  const std::vector<std::uint8_t> image = rgb565_image();
  const std::optional<LvglImage> read = read_lvgl_header(image, image.size());
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->settings.format, PixelFormat::rgb565);
  EXPECT_EQ(read->width, 2u);
  EXPECT_EQ(read->height, 1u);

  const struct {
    const char* what;
    std::size_t at;
    std::uint8_t value;
  } spoiled[] = {{"another magic", 0, 0x18},
                 {"an unknown format", 1, 0x7F},
                 {"rows that overlap", 8, 0x03},
                 {"a longer stride than the file holds", 8, 0x06},
                 {"no rows", 6, 0x00}};
  for (const auto& s : spoiled) {
    std::vector<std::uint8_t> bytes = image;
    bytes[s.at] = s.value;
    EXPECT_FALSE(read_lvgl_header(bytes, bytes.size()).has_value()) << s.what;
  }
  EXPECT_FALSE(read_lvgl_header(image, image.size() + 1).has_value()) << "a longer file";
  EXPECT_FALSE(read_lvgl_header(image, image.size() - 1).has_value()) << "a shorter file";
}

// Rows padded to a stride, fed in pieces that end anywhere: RGB565A8 3 x 2 aligned to 8 has RGB565
// rows of 6 bytes 8 apart, then alpha rows of 3 bytes 4 apart; mono1 2 x 9 in pages has two pages
// of 2 bytes, 4 apart; the palette of i1 is not padded.
TEST(RowPadder, PadsEachRowOfEachPlaneAndNothingElse) {
  const struct {
    const char* name;
    FormatSettings settings;
    std::uint32_t width, height, align;
    std::vector<std::uint8_t> padded;  // of the bytes 1, 2, 3, ... of the format's own layout
  } cases[] = {
      {"Rgb565a8", settings_of(PixelFormat::rgb565a8), 3, 2, 8, {1,  2,  3, 4, 5,  6,  0,  0, 7,  8,  9,  10,
                                                                 11, 12, 0, 0, 13, 14, 15, 0, 16, 17, 18, 0}},
      {"Mono1Pages",
       [] {
         FormatSettings settings = settings_of(PixelFormat::mono1);
         settings.pages = true;
         return settings;
       }(),
       2,
       9,
       4,
       {1, 2, 0, 0, 3, 4, 0, 0}},
      {"I1PaletteUnpadded", settings_of(PixelFormat::i1), 3, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 10, 0}},
  };
  for (const auto& c : cases) {
    const StridedLayout layout = aligned_layout(c.settings, c.width, c.height, c.align);
    EXPECT_EQ(layout.total, c.padded.size()) << c.name;
    std::vector<std::uint8_t> packed(layout.packed.total);
    for (std::size_t k = 0; k < packed.size(); ++k) packed[k] = static_cast<std::uint8_t>(k + 1);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, packed.size()}) {
      RowPadder padder(layout);
      std::vector<std::uint8_t> out, all;
      for (std::size_t at = 0; at < packed.size(); at += piece) {
        const std::span<const std::uint8_t> made =
            padder.pad(std::span<const std::uint8_t>(packed).subspan(at, std::min(piece, packed.size() - at)), out);
        all.insert(all.end(), made.begin(), made.end());
      }
      EXPECT_EQ(all, c.padded) << c.name << " in pieces of " << piece;
    }
  }
}

// A 3 x 1 RGB888 image, rows 12 bytes apart, compressed: its RLE data, a repeat of three red
// pixels and a literal run of the padding's three bytes, decompresses to the padded row.
std::vector<std::uint8_t> rle_image() {
  return {0x19, 0x0F, 0x08, 0x00, 0x03, 0x00, 0x01, 0x00, 0x0C, 0x00, 0x00, 0x00,  // header
          0x01, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00,  // RLE, 8 bytes, 12 bytes
          0x03, 0x00, 0x00, 0xFF, 0x81, 0x00, 0x00, 0x00};
}

TEST(LvglCompressedRead, TakesTheHeadAndDecompressesTheData) {
  const std::vector<std::uint8_t> file = rle_image();
  const LvglRead read = read_lvgl(file, file.size());
  const LvglImage* image = std::get_if<LvglImage>(&read);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->stride, 12u);
  EXPECT_EQ(image->compression, LvglCompression::rle);
  EXPECT_EQ(image->compressed_bytes, 8u);
  const auto data = lvgl_decompress(*image, std::span<const std::uint8_t>(file).subspan(24));
  ASSERT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(data));
  EXPECT_EQ(std::get<std::vector<std::uint8_t>>(data),
            (std::vector<std::uint8_t>{0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0}));

  const auto refused = [&](std::size_t at, std::uint8_t value) {
    std::vector<std::uint8_t> bytes = file;
    bytes[at] = value;
    const LvglRead spoiled = read_lvgl(bytes, bytes.size());
    const std::string* reason = std::get_if<std::string>(&spoiled);
    return reason != nullptr ? *reason : std::string("read");
  };
  EXPECT_EQ(refused(12, 3), "an LVGL image compressed by method 3, which unpack does not read (1 is RLE, 2 LZ4)");
  EXPECT_EQ(refused(16, 9),
            "an LVGL image cut short: its header declares 21 bytes of compressed data, and it holds 20");
  EXPECT_EQ(refused(20, 9),
            "a compressed LVGL image whose data decompresses to 9 bytes, where its header's 3 x 1 pixels take 12");
  EXPECT_EQ(refused(2, 0x04),
            "an LVGL image with flags 0x0004, which unpack does not honour (flags of LVGL's own "
            "runtime)");
  const std::vector<std::uint8_t> short_head(file.begin(), file.begin() + 20);
  EXPECT_EQ(std::get<std::string>(read_lvgl(short_head, short_head.size())),
            "a compressed LVGL image cut short in its compression head");

  std::vector<std::uint8_t> damaged = file;
  damaged[24] = 0x06;  // a repeat of six pixels, two past the image's end (LVGL takes one)
  EXPECT_EQ(std::get<std::string>(lvgl_decompress(*image, std::span<const std::uint8_t>(damaged).subspan(24))),
            "the compressed LVGL image is damaged: an RLE run of 6 blocks reaches past the image's 12 bytes");
}

// An image's C source as a firmware build compiles it, as C99 with warnings as errors, however the
// build reaches lvgl.h: by LV_LVGL_H_INCLUDE_SIMPLE, straight on the include path, or from the folder
// above LVGL's. A build for LVGL 8 stops at the source's own #error.
TEST(LvglCSource, CompilesHoweverTheBuildReachesLvglH) {
#ifndef LVGL_C_COMPILER
  GTEST_SKIP() << "skipped: no C compiler to run in this build";
#else
  TempDir dir;
  const std::filesystem::path straight = dir.path() / "straight", above = dir.path() / "above",
                              old = dir.path() / "old";
  std::filesystem::create_directories(above / "lvgl");
  std::filesystem::create_directories(straight);
  std::filesystem::create_directories(old);
  std::filesystem::copy_file(LVGL_STAND_IN, straight / "lvgl.h");
  std::filesystem::copy_file(LVGL_STAND_IN, above / "lvgl" / "lvgl.h");
  std::ofstream(old / "lvgl.h") << "#define LVGL_VERSION_MAJOR 8\n";
  const std::optional<LvglHeader> header =
      lvgl_header(settings_of(PixelFormat::argb8888, ByteOrder::low_first, true), 1, 1, 1, LvglCompression::none);
  ASSERT_TRUE(header.has_value());
  std::ofstream(dir.file("logo.c")) << lvgl_c_head("logo", "IN: 1 x 1 pixels", 4, "") << "\n    0x00, 0x00, 0xFF, 0xFF"
                                    << lvgl_c_tail("logo", *header);
  const auto compiles = [&](const std::string& options) {
    const std::string command = std::string("\"") + LVGL_C_COMPILER +
                                "\" -std=c99 -Wall -Wextra -Werror -fsyntax-only " + options + " \"" +
                                dir.file("logo.c") + "\" 2>" + dir.file("errors");
    return std::system(command.c_str()) == 0;
  };
  EXPECT_TRUE(compiles("-DLV_LVGL_H_INCLUDE_SIMPLE \"-I" + straight.string() + "\""));
  EXPECT_TRUE(compiles("\"-I" + straight.string() + "\""));
  EXPECT_TRUE(compiles("\"-I" + above.string() + "\""));
  EXPECT_FALSE(compiles("\"-I" + old.string() + "\""));
  const Bytes errors = read_file(dir.file("errors")).value_or(Bytes{});
  EXPECT_NE(std::string(errors.begin(), errors.end()).find("logo is an image for LVGL 9 or later"), std::string::npos);
#endif
}

}  // namespace
