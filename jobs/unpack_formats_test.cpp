// unpack from the other formats into a BMP, against rows worked out by hand: an LVGL image read by
// its header alone, a palette, a short input, and colours divided by their alpha again.
#include <gtest/gtest.h>

#include <string>

#include "containers/lvgl_image.h"
#include "jobs/unpack.h"
#include "testing/test_files.h"

namespace {

// The 58-byte header of a width x height BMP of 24 bits, bottom-up, field by field.
Bytes bmp_header(std::uint32_t width, std::uint32_t height) {
  const std::uint32_t row = (width * 3 + 3) / 4 * 4;
  const auto le32 = [](std::uint32_t v) {
    return Bytes{std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
  };
  Bytes header = {'B', 'M'};
  for (const Bytes& field : {le32(58 + row * height), le32(0), le32(58), le32(40), le32(width), le32(height)})
    header.insert(header.end(), field.begin(), field.end());
  header.insert(header.end(), {1, 0, 24, 0, 0, 0, 0, 0});
  const Bytes size = le32(row * height);
  header.insert(header.end(), size.begin(), size.end());
  header.resize(58, 0);
  return header;
}

struct UnpackCase {
  const char* name;
  Bytes input;
  UnpackOptions options;
  std::uint32_t width, height;
  Bytes rows;  // the BMP's stored rows
  bool warns = false;
};

UnpackOptions format_options(PixelFormat format, std::uint32_t width, std::uint32_t height) {
  UnpackOptions options;
  options.pixel_format = format;
  options.width = width;
  options.height = height;
  return options;
}

UnpackOptions reading_lvgl(Expansion expansion = Expansion::zero) {
  UnpackOptions options;
  options.lvgl_header = true;
  options.format.expansion = expansion;
  return options;
}

const UnpackCase unpack_cases[] = {
    {"LvglRgb565ByItsHeader",
     {0x19, 0x12, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0xF8},
     reading_lvgl(),
     2,
     1,
     {0xF8, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x00, 0x00}},
    // The header decides the format, but the channels widen as asked: full scale is 255.
    {"LvglRgb565Replicated",
     {0x19, 0x12, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0xF8},
     reading_lvgl(Expansion::replicate),
     2,
     1,
     {0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00}},
    // Premultiplied blue 0x40 at alpha 0x80 is 0x80 again.
    {"LvglArgb8888Premultiplied",
     {0x19, 0x10, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x80},
     reading_lvgl(),
     1,
     1,
     {0x80, 0x00, 0x00, 0x00}},
    // LVGL's later colour format for premultiplied ARGB8888 says so without the flag.
    {"LvglArgb8888PremultipliedByItsCode",
     {0x19, 0x1A, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x80},
     reading_lvgl(),
     1,
     1,
     {0x80, 0x00, 0x00, 0x00}},
    {"I1ThroughItsPalette",
     {0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xA0},
     format_options(PixelFormat::i1, 3, 1),
     3,
     1,
     {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00}},
    // Two rows of 2 x 2 bits, the raw image's first row the picture's top row, stored last.
    {"Mono1TopRowFirst",
     {0x80, 0x40},
     [] {
       UnpackOptions options = format_options(PixelFormat::mono1, 2, 2);
       options.top_down = true;
       return options;
     }(),
     2,
     2,
     {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00}},
    // A dump's 4-byte header, then rows 6 bytes apart: red, blue | green, white, each row ending in
    // two bytes that are no pixel. The top row first, so stored last.
    {"Rgb565PastAHeaderInPaddedRows",
     {'H', 'D', 'R', '!', 0x00, 0xF8, 0x1F, 0x00, 'Z', 'Z', 0xE0, 0x07, 0xFF, 0xFF, 'Z', 'Z'},
     [] {
       UnpackOptions options = format_options(PixelFormat::rgb565, 2, 2);
       options.top_down = true;
       options.offset = 4;
       options.stride = 6;
       return options;
     }(),
     2,
     2,
     {0x00, 0xFC, 0x00, 0xF8, 0xFC, 0xF8, 0x00, 0x00, 0x00, 0x00, 0xF8, 0xF8, 0x00, 0x00, 0x00, 0x00}},
    // u8g2's and XBM's order: the leftmost pixel in bit 0, so 0x01 lights pixel 0 of 3 alone.
    {"Mono1LowBitsFirst",
     {0x01},
     [] {
       UnpackOptions options = format_options(PixelFormat::mono1, 3, 1);
       options.bit_order = BitOrder::low_first;
       return options;
     }(),
     3,
     1,
     {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    // Pages of a 1 x 9 raw image, top row first: raw rows 0, 7 and 8 lit. Bands of one row become
    // bands of a page, walked from the last so that the stored rows go up.
    {"Mono1PagesTopRowFirst",
     {0x81, 0x01},
     [] {
       UnpackOptions options = format_options(PixelFormat::mono1, 1, 9);
       options.top_down = true;
       options.pages = true;
       return options;
     }(),
     1,
     9,
     {0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0, 0, 0, 0, 0,    0,    0,    0,
      0,    0,    0,    0,    0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x00}},
    // A mask has no colour but its alpha, which a BMP cannot hold: black laid over white, so that
    // half alpha is (255 * 127) / 255 = 127 and clear is white.
    {"A8MaskOverWhite",
     {0x80, 0x00},
     format_options(PixelFormat::a8, 2, 1),
     2,
     1,
     {0x7F, 0x7F, 0x7F, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
    {"A4MaskOverWhite",
     {0xF0},
     format_options(PixelFormat::a4, 2, 1),
     2,
     1,
     {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
    // Rows 8 bytes apart: the padding, here not zeros, is left out.
    {"Rgb888RowsAligned",
     {1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 7, 8, 9, 10, 11, 12, 0xEE, 0xEE},
     [] {
       UnpackOptions options = format_options(PixelFormat::rgb888, 2, 2);
       options.align = 8;
       return options;
     }(),
     2,
     2,
     {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}},
    // LVGL RGB565A8, 2 x 2, premultiplied, stride 8: RGB565 rows 8 bytes apart, alpha rows 4. Blue
    // at alpha 0x80 comes back full; the padding's 0xEE, read as alpha, would change the others.
    {"LvglRgb565a8PaddedPlanes",
     {0x19, 0x14, 0x01, 0x00, 0x02, 0x00, 0x02, 0x00, 0x08, 0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0xF8, 0xEE, 0xEE,
      0xEE, 0xEE, 0xE0, 0x07, 0x1F, 0x00, 0xEE, 0xEE, 0xEE, 0xEE, 0x80, 0xFF, 0xEE, 0xEE, 0xFF, 0x80, 0xEE, 0xEE},
     reading_lvgl(),
     2,
     2,
     {0x00, 0xFC, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x00, 0x00}},
    {"Rgb565a8CutShort",
     {0x1F, 0x00},
     format_options(PixelFormat::rgb565a8, 2, 1),
     2,
     1,
     {0xF8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
     true},
};

class UnpackFormats : public testing::TestWithParam<UnpackCase> {};

// Whole, and band by band in bands of one row (a page for mono1 in pages).
TEST_P(UnpackFormats, WriteTheHandWorkedRowsWholeOrStreamed) {
  const UnpackCase& c = GetParam();
  TempDir dir;
  write_file(dir.file("in.bin"), c.input);
  Bytes expected = bmp_header(c.width, c.height);
  expected.insert(expected.end(), c.rows.begin(), c.rows.end());
  for (const bool stream : {false, true}) {
    UnpackOptions options = c.options;
    options.switches.stream = stream;
    options.switches.band_rows = 1;
    JobProgress quiet;
    const Outcome outcome = unpack({dir.file("in.bin"), dir.file("out.bmp")}, options, quiet);
    ASSERT_TRUE(outcome.done()) << outcome.reason;
    EXPECT_EQ(outcome.warnings.size(), c.warns ? 1u : 0u);
    EXPECT_EQ(read_file(dir.file("out.bmp")), expected) << (stream ? "streamed" : "whole");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, UnpackFormats, testing::ValuesIn(unpack_cases),
                         [](const testing::TestParamInfo<UnpackCase>& param) { return std::string(param.param.name); });

// A compressed LVGL image unpacks to the BMP of the same image uncompressed, whose bytes are read
// from the file as they lie: RGB888 of 1024 x 1100 (3.4 MB of data, read past the decoder's marks
// every 2 MiB), read a band at a time from the last band up.
TEST(UnpackCompressedLvgl, GivesTheBmpOfTheSameImageUncompressed) {
  constexpr std::uint32_t width = 1024, height = 1100;
  FormatSettings settings;
  settings.format = PixelFormat::rgb888;
  // 1000 bytes of noise over and over: past its first 1000 bytes, LZ4 makes the image by one match
  // that reaches 1000 bytes back, so a band decoded after a mark needs what the mark kept.
  Bytes data(std::size_t{width} * height * 3);
  std::uint32_t noise = 1;
  for (std::size_t k = 0; k < data.size(); ++k) {
    noise = noise * 1103515245 + 12345;
    data[k] = k < 1000 ? static_cast<std::uint8_t>(noise >> 16) : data[k - 1000];
  }
  const auto image = [&](LvglCompression method) {
    const std::optional<LvglHeader> header = lvgl_header(settings, width, height, 1, method);
    EXPECT_TRUE(header.has_value());
    Bytes file(header->begin(), header->end());
    const Bytes body = method == LvglCompression::rle   ? rle_compress(data, lvgl_rle_block(settings))
                       : method == LvglCompression::lz4 ? lz4_compress(data)
                                                        : data;
    if (method != LvglCompression::none) {
      const LvglCompressionHead head = lvgl_compression_head(method, static_cast<std::uint32_t>(body.size()),
                                                             static_cast<std::uint32_t>(data.size()));
      file.insert(file.end(), head.begin(), head.end());
    }
    file.insert(file.end(), body.begin(), body.end());
    return file;
  };
  TempDir dir;
  const auto unpacked = [&](LvglCompression method) {
    write_file(dir.file("in.bin"), image(method));
    UnpackOptions options;
    options.lvgl_header = true;
    options.switches.stream = true;
    JobProgress quiet;
    const Outcome outcome = unpack({dir.file("in.bin"), dir.file("out.bmp")}, options, quiet);
    EXPECT_TRUE(outcome.done()) << outcome.reason;
    return read_file(dir.file("out.bmp")).value_or(Bytes{});
  };
  const Bytes expected = unpacked(LvglCompression::none);
  ASSERT_GT(expected.size(), std::size_t{width} * height * 3);
  EXPECT_EQ(unpacked(LvglCompression::rle), expected);
  EXPECT_EQ(unpacked(LvglCompression::lz4), expected);
}

}  // namespace
