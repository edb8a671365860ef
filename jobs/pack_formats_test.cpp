// pack into the other formats, streamed band by band from a 24-bit BMP and converted whole, against
// bytes worked out by hand: band edges inside a mono1 page, planes walked twice, a palette before
// the indices, C source of bytes, LVGL's header in front, and dithering across bands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/pack.h"
#include "jobs/pack_formats.h"
#include "testing/test_files.h"

namespace {

constexpr BgrTriple red{0, 0, 255}, green{0, 255, 0}, blue{255, 0, 0}, white{255, 255, 255}, black{0, 0, 0};

struct FormatBands {
  const char* name;
  BmpLayout layout;
  BgrTriple (*pixel)(std::int32_t x, std::int32_t y);  // at stored row y
  PackOptions options;
  Bytes expected;
};

PackOptions format_options(PixelFormat format, std::uint32_t band_rows, bool top_down = false) {
  PackOptions options;
  options.pixel_format = format;
  options.switches.band_rows = band_rows;
  options.rows = top_down ? RowOrder::top_down : RowOrder::stored;
  return options;
}

PackOptions paged(PackOptions options) {
  options.pages = true;
  return options;
}

PackOptions dithered(PackOptions options, Dither dither) {
  options.dither = dither;
  return options;
}

PackOptions with_palette(PackOptions options, std::vector<BgraQuad> palette) {
  options.palette = std::move(palette);
  return options;
}

PackOptions with_container(PackOptions options, ContainerKind container) {
  options.container = container;
  options.c_array = "logo";
  return options;
}

// A 2 x 9 bottom-up picture whose top row is stored last: column 0 white on picture rows 0, 3 and
// 8, column 1 on row 7.
BgrTriple nine_rows(std::int32_t x, std::int32_t y) {
  const std::int32_t row = 8 - y;
  const bool lit = x == 0 ? (row == 0 || row == 3 || row == 8) : row == 7;
  return lit ? white : black;
}

// Stored row 0: red, green, blue; stored row 1: white, black, R 12 G 34 B 56.
BgrTriple six(std::int32_t x, std::int32_t y) {
  const BgrTriple rows[2][3] = {{red, green, blue}, {white, black, {0x56, 0x34, 0x12}}};
  return rows[y][x];
}

BgrTriple red_blue_red(std::int32_t x, std::int32_t) { return x == 1 ? blue : red; }
BgrTriple all_red(std::int32_t, std::int32_t) { return red; }

// What an LVGL image's C source for "logo" says between its comment and its array: lvgl.h included
// as LVGL's own sources include it, and a build for an older LVGL stopped with a reason.
const std::string lvgl_opening =
    "#if defined(LV_LVGL_H_INCLUDE_SIMPLE) || !defined(__has_include)\n#include \"lvgl.h\"\n"
    "#elif __has_include(\"lvgl.h\")\n#include \"lvgl.h\"\n#else\n#include \"lvgl/lvgl.h\"\n#endif\n\n"
    "#if !defined(LVGL_VERSION_MAJOR) || LVGL_VERSION_MAJOR < 9\n#error \"logo is an image for LVGL 9 or later\"\n"
    "#endif\n\n";

// Grey 188 has half of white's light (32957 of 65535). Diffused in light toward black and white over
// 4 x 2 pixels it lights 1 0 1 0 on the first stored row (values 32957, 18705, 41140, 22285) and
// 0 1 0 1 on the second (26284, 43689, 21125, 47637); ordered, t = 0.503 of the way from black
// takes white where the Bayer threshold is 31 or less: 10101010, then 01010101.
BgrTriple grey_188(std::int32_t, std::int32_t) { return {188, 188, 188}; }
constexpr BgraQuad opaque_black{0, 0, 0, 255}, opaque_white{255, 255, 255, 255};

// Grey 8 is 120/255 of a 4-bit level: diffused over 4 x 2 pixels it gives levels 0 1 0 1 on the
// first stored row and 1 0 1 0 on the second (errors 1920, then -1320, 1343, ... in 4080ths).
BgrTriple grey_8(std::int32_t, std::int32_t) { return {8, 8, 8}; }
// Grey 100 is 100/255 of the way to a lit pixel: diffused over 2 x 9 pixels, the stored rows light
// columns 01, 00, 10 over and over.
BgrTriple grey_100(std::int32_t, std::int32_t) { return {100, 100, 100}; }
// Blue 4 and green 2 lie under half a level: ordered, they take level 1 in column 0 of stored rows
// 0 and 2 only (B 0, 48, 12, 60), the word 0x0021.
BgrTriple blue_4_green_2(std::int32_t, std::int32_t) { return {4, 2, 0}; }

Bytes text(const std::string& source) { return Bytes(source.begin(), source.end()); }

const FormatBands format_bands[] = {
    // Bands of one row become bands of a page; read from the file's end, the last band is row 8.
    {"Mono1PagesTopRowFirst",
     {.width = 2, .height = 9},
     nine_rows,
     paged(format_options(PixelFormat::mono1, 1, true)),
     {0x09, 0x80, 0x01, 0x00}},
    {"Rgb565a8WordsThenAlpha",
     {.width = 3, .height = 2},
     six,
     format_options(PixelFormat::rgb565a8, 1),
     {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xAA, 0x11, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    // Blue sorts before red (its B, G, R, A as a little-endian number is the smaller).
    {"I1PaletteThenIndices",
     {.width = 3, .height = 1},
     red_blue_red,
     format_options(PixelFormat::i1, 1),
     {0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xA0}},
    // The palette as given, not sorted, padded with zero entries: red is entry 1, blue entry 2.
    {"I2GivenPaletteInOrderPadded",
     {.width = 3, .height = 1},
     red_blue_red,
     with_palette(format_options(PixelFormat::i2, 1), {{255, 255, 255, 255}, {0, 0, 255, 255}, {255, 0, 0, 255}}),
     {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x64}},
    // The same indices 1, 2, 1 with each byte's first pixel in its low bits: 00 01 10 01; the palette
    // is not touched.
    {"I2GivenPaletteLowBitsFirst",
     {.width = 3, .height = 1},
     red_blue_red,
     [] {
       PackOptions options = with_palette(format_options(PixelFormat::i2, 1),
                                          {{255, 255, 255, 255}, {0, 0, 255, 255}, {255, 0, 0, 255}});
       options.bit_order = BitOrder::low_first;
       return options;
     }(),
     {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x19}},
    {"I1GivenPaletteDiffusionAcrossBands",
     {.width = 4, .height = 2},
     grey_188,
     dithered(with_palette(format_options(PixelFormat::i1, 1), {opaque_black, opaque_white}), Dither::diffusion),
     {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA0, 0x50}},
    {"I1GivenPaletteDiffusionTopRowFirst",
     {.width = 4, .height = 2},
     grey_188,
     dithered(with_palette(format_options(PixelFormat::i1, 1, true), {opaque_black, opaque_white}), Dither::diffusion),
     {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x50, 0xA0}},
    {"I1GivenPaletteOrdered",
     {.width = 8, .height = 2},
     grey_188,
     dithered(with_palette(format_options(PixelFormat::i1, 1), {opaque_black, opaque_white}), Dither::ordered),
     {0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xAA, 0x55}},
    {"LvglBinArgb8888",
     {.width = 3, .height = 1},
     red_blue_red,
     with_container(format_options(PixelFormat::argb8888, 1, true), ContainerKind::lvgl_bin),
     {0x19, 0x10, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x0C, 0x00, 0x00, 0x00,
      0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF}},
    {"LvglCSourceGray8",
     {.width = 3, .height = 1},
     red_blue_red,
     with_container(format_options(PixelFormat::gray8, 1, true), ContainerKind::lvgl_c),
     text("/* IN: 3 x 1 pixels, top row first, gray8 (byte of luma).\n"
          "   An LVGL 9 image: logo describes the pixels in logo_map. */\n\n" + lvgl_opening +
          "static LV_ATTRIBUTE_MEM_ALIGN LV_ATTRIBUTE_LARGE_CONST const uint8_t logo_map[3] = {\n    0x4C, 0x1D, 0x4C\n};\n\n"
          "const lv_image_dsc_t logo = {\n    .header.magic = LV_IMAGE_HEADER_MAGIC,\n"
          "    .header.cf = LV_COLOR_FORMAT_L8,\n    .header.flags = 0,\n    .header.w = 3,\n    .header.h = 1,\n"
          "    .header.stride = 3,\n    .data_size = sizeof(logo_map),\n    .data = logo_map,\n};\n")},
    // Diffusion carries its errors from band to band down the stored rows.
    {"Gray4DiffusionAcrossBands",
     {.width = 4, .height = 2},
     grey_8,
     dithered(format_options(PixelFormat::gray4, 1), Dither::diffusion),
     {0x01, 0x01, 0x10, 0x10}},
    // Top row first, the errors still run down the stored rows: the second stored row comes first.
    {"Gray4DiffusionTopRowFirst",
     {.width = 4, .height = 2},
     grey_8,
     dithered(format_options(PixelFormat::gray4, 1, true), Dither::diffusion),
     {0x10, 0x10, 0x01, 0x01}},
    // Picture row r is stored row 8 - r: page 0's column 0 is lit on rows 0, 3 and 6, column 1 on 2
    // and 5; page 1 holds row 8, stored row 0.
    {"Mono1PagesDiffusionTopRowFirst",
     {.width = 2, .height = 9},
     grey_100,
     dithered(paged(format_options(PixelFormat::mono1, 1, true)), Dither::diffusion),
     {0x49, 0x24, 0x00, 0x01}},
    // Bands from the file's end keep the pattern on the stored rows.
    {"LvglRgb565Ordered",
     {.width = 1, .height = 4},
     blue_4_green_2,
     dithered(with_container(format_options(PixelFormat::rgb565, 3, true), ContainerKind::lvgl_bin), Dither::ordered),
     {0x19, 0x12, 0x00, 0x00, 0x01, 0x00, 0x04, 0x00, 0x02, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x21, 0x00, 0x00, 0x00, 0x21, 0x00}},
    // A transformed picture is a new one, top row first, dithered as it is made.
    {"FlippedGray4Diffusion",
     {.width = 4, .height = 2},
     grey_8,
     [] {
       PackOptions options = dithered(format_options(PixelFormat::gray4, 1), Dither::diffusion);
       options.transforms.flip = Flip::vertical;
       return options;
     }(),
     {0x01, 0x01, 0x10, 0x10}},
    // The dialogs' RGB565 as an array of bytes with an attribute, streamed in bands of one row.
    {"CBytesWithAttribute",
     {.width = 3, .height = 1},
     red_blue_red,
     [] {
       PackOptions options = with_container(format_options(PixelFormat::rgb565, 1), ContainerKind::c_bytes);
       options.c_attribute = "PROGMEM";
       return options;
     }(),
     text("/* IN: 3 x 1 pixels, bottom row first, RGB565, low byte first.\n"
          "   Each element is one byte of the output, in order. */\n"
          "#ifndef RGB565_logo_H\n#define RGB565_logo_H\n\n#include <stdint.h>\n\n"
          "#define logo_width 3\n#define logo_height 1\n\n"
          "static const uint8_t logo[6] PROGMEM = {\n    0x00, 0xF8, 0x1F, 0x00, 0x00, 0xF8\n};\n\n#endif\n")},
    // The header names the scan that mono1 is written in, not both; red and blue are dark, unlit.
    {"Mono1PagesCBytesNameTheirScan",
     {.width = 3, .height = 1},
     red_blue_red,
     with_container(paged(format_options(PixelFormat::mono1, 1, true)), ContainerKind::c_bytes),
     text("/* IN: 3 x 1 pixels, top row first, mono1 (8-row pages, a byte a column, the top row in bit 0).\n"
          "   Each element is one byte of the output, in order. */\n"
          "#ifndef RGB565_logo_H\n#define RGB565_logo_H\n\n#include <stdint.h>\n\n"
          "#define logo_width 3\n#define logo_height 1\n\n"
          "static const uint8_t logo[3] = {\n    0x00, 0x00, 0x00\n};\n\n#endif\n")},
    // Both flags by name. Run-length coded in blocks of a pixel: one run of three opaque red pixels
    // (blue 00, green 00, red FF, alpha FF), after the head: method 1, 5 bytes from 12.
    {"LvglCSourceFlagsByName",
     {.width = 3, .height = 1},
     all_red,
     [] {
       PackOptions options = with_container(format_options(PixelFormat::argb8888, 1, true), ContainerKind::lvgl_c);
       options.premultiply = true;
       options.compression = LvglCompression::rle;
       return options;
     }(),
     text("/* IN: 3 x 1 pixels, top row first, argb8888 (32-bit word A R G B (bytes B G R A)), low byte first.\n"
          "   An LVGL 9 image: logo describes the pixels in logo_map. */\n\n" + lvgl_opening +
          "static LV_ATTRIBUTE_MEM_ALIGN LV_ATTRIBUTE_LARGE_CONST const uint8_t logo_map[17] = {\n"
          "    0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0xFF,\n"
          "    0xFF\n};\n\n"
          "const lv_image_dsc_t logo = {\n    .header.magic = LV_IMAGE_HEADER_MAGIC,\n"
          "    .header.cf = LV_COLOR_FORMAT_ARGB8888,\n"
          "    .header.flags = LV_IMAGE_FLAGS_PREMULTIPLIED | LV_IMAGE_FLAGS_COMPRESSED,\n    .header.w = 3,\n"
          "    .header.h = 1,\n    .header.stride = 12,\n    .data_size = sizeof(logo_map),\n    .data = "
          "logo_map,\n};\n")},
    // RGB565's words as the bytes of LVGL's map, not as 16-bit elements.
    {"LvglCSourceRgb565",
     {.width = 3, .height = 1},
     red_blue_red,
     with_container(format_options(PixelFormat::rgb565, 1, true), ContainerKind::lvgl_c),
     text("/* IN: 3 x 1 pixels, top row first, RGB565, low byte first.\n"
          "   An LVGL 9 image: logo describes the pixels in logo_map. */\n\n" + lvgl_opening +
          "static LV_ATTRIBUTE_MEM_ALIGN LV_ATTRIBUTE_LARGE_CONST const uint8_t logo_map[6] = {\n    0x00, 0xF8, 0x1F, 0x00, 0x00, 0xF8\n};\n\n"
          "const lv_image_dsc_t logo = {\n    .header.magic = LV_IMAGE_HEADER_MAGIC,\n"
          "    .header.cf = LV_COLOR_FORMAT_RGB565,\n    .header.flags = 0,\n    .header.w = 3,\n"
          "    .header.h = 1,\n    .header.stride = 6,\n    .data_size = sizeof(logo_map),\n    .data = "
          "logo_map,\n};\n")},
};

class PackFormats : public testing::TestWithParam<FormatBands> {};

TEST_P(PackFormats, GiveTheHandWorkedBytesStreamedOrWhole) {
  const FormatBands& c = GetParam();
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp(c.layout, c.pixel));
  for (const bool stream : {true, false}) {
    PackOptions options = c.options;
    options.switches.stream = stream;
    JobProgress quiet;
    const Outcome outcome = pack({dir.file("in.bmp"), dir.file("out")}, options, quiet);
    ASSERT_TRUE(outcome.done()) << outcome.reason;
    std::optional<Bytes> out = read_file(dir.file("out"));
    ASSERT_TRUE(out.has_value());
    // The C source names its input by its path, which the test does not know beforehand.
    std::string written(out->begin(), out->end());
    if (const std::size_t at = written.find(dir.file("in.bmp")); at != std::string::npos)
      written.replace(at, dir.file("in.bmp").size(), "IN");
    EXPECT_EQ(Bytes(written.begin(), written.end()), c.expected) << (stream ? "streamed" : "whole");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PackFormats, testing::ValuesIn(format_bands),
                         [](const testing::TestParamInfo<FormatBands>& param) {
                           return std::string(param.param.name);
                         });

// A 2 x 1 BMP of 32 bits with bit fields and a 56-byte header, whose alpha mask is FF000000: red at
// alpha 0x80 (or `first_alpha`), then blue at alpha 0.
Bytes bmp32_with_alpha(std::uint8_t first_alpha) {
  constexpr std::uint8_t file[] = {
      'B',  'M',  78,   0,    0,    0,    0, 0, 0,    0, 70, 0, 0, 0,        // 78 bytes, pixels at 70
      56,   0,    0,    0,    2,    0,    0, 0, 1,    0, 0,  0,              // 56-byte header, 2 x 1
      1,    0,    32,   0,    3,    0,    0, 0, 8,    0, 0,  0,              // 32 bits, bit fields, 8 bytes
      0,    0,    0,    0,    0,    0,    0, 0, 0,    0, 0,  0, 0, 0, 0, 0,  // resolutions, colours
      0,    0,    0xFF, 0,    0,    0xFF, 0, 0, 0xFF, 0, 0,  0,              // red, green, blue masks
      0,    0,    0,    0xFF,                                                // alpha mask
      0x00, 0x00, 0xFF, 0x80, 0xFF, 0x00, 0, 0};                             // red at 0x80, blue at 0
  static_assert(sizeof file == 78);
  Bytes bytes(std::begin(file), std::end(file));
  bytes[73] = first_alpha;
  return bytes;
}

struct BmpAlphaCase {
  const char* name;
  std::uint8_t first_alpha;
  PixelFormat format;
  Bytes expected;
  // Pixels of alpha below it become magenta, the others opaque.
  std::uint8_t threshold = 0;
};

// A format with alpha keeps a 32-bit BMP's alpha; others ignore it as the dialogs always did, but
// for a threshold, which makes pixels of less alpha the background; alpha that is 0 everywhere is
// unused, and the picture opaque.
const BmpAlphaCase bmp_alpha_cases[] = {
    {"KeptByArgb8888", 0x80, PixelFormat::argb8888, {0x00, 0x00, 0xFF, 0x80, 0xFF, 0x00, 0x00, 0x00}},
    {"IgnoredByRgb565", 0x80, PixelFormat::rgb565, {0x00, 0xF8, 0x1F, 0x00}},
    {"IgnoredByRgb888", 0x80, PixelFormat::rgb888, {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00}},
    {"AllZeroIsOpaque", 0x00, PixelFormat::argb8888, {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF}},
    {"BelowTheThreshold", 0x80, PixelFormat::rgb565, {0x1F, 0xF8, 0x1F, 0xF8}, 0x81},
    {"AtTheThreshold", 0x80, PixelFormat::rgb565, {0x00, 0xF8, 0x1F, 0xF8}, 0x80},
    {"ThresholdForRgb888", 0x80, PixelFormat::rgb888, {0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFF}, 0x80},
};

class PackBmpAlpha : public testing::TestWithParam<BmpAlphaCase> {};

TEST_P(PackBmpAlpha, GivesTheHandWorkedBytes) {
  const BmpAlphaCase& c = GetParam();
  TempDir dir;
  write_file(dir.file("in.bmp"), bmp32_with_alpha(c.first_alpha));
  PackOptions options;
  options.pixel_format = c.format;
  options.alpha_threshold = c.threshold;
  options.background = {0xFF, 0x00, 0xFF};
  JobProgress quiet;
  const Outcome outcome = pack({dir.file("in.bmp"), dir.file("out")}, options, quiet);
  ASSERT_TRUE(outcome.done()) << outcome.reason;
  EXPECT_EQ(read_file(dir.file("out")), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PackBmpAlpha, testing::ValuesIn(bmp_alpha_cases),
                         [](const testing::TestParamInfo<BmpAlphaCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace

namespace {

// LVGL's header keeps width, height and stride in 16 bits each: a picture 20000 pixels wide fits
// the first two, but its argb8888 rows of 80000 bytes do not fit the stride, and the refusal says
// which field is the limit; nothing is written.
TEST(PackLvgl, RefusesARowLongerThanTheStrideHolds) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 20000, .height = 1}, [](std::int32_t, std::int32_t) {
               return BgrTriple{1, 2, 3};
             }));
  PackOptions options = format_options(PixelFormat::argb8888, 1, true);
  options.container = ContainerKind::lvgl_bin;
  JobProgress quiet;
  const Outcome outcome = pack({dir.file("in.bmp"), dir.file("out.bin")}, options, quiet);
  EXPECT_EQ(outcome.ending, Ending::unsupported_picture);
  EXPECT_EQ(outcome.reason, "20000 pixels a row take 80000 bytes: an LVGL image's stride holds at most 65535");
  EXPECT_FALSE(read_file(dir.file("out.bin")).has_value());
}

}  // namespace

namespace {

// The stored rows an indexed format's two walks ask for, over 8 stored rows just over a million
// pixels (cells counted on rows 0 and 4), in bands of two: once the colours outnumber the palette,
// the first walk asks for the sampled rows alone where the source allows it; a colour on an
// unsampled row still reaches an exact palette (black, then white, first in the output).
using Asked = std::vector<std::pair<std::uint32_t, std::uint32_t>>;  // (first, count), in order
struct SampledRowsCase {
  const char* name;
  std::uint32_t width;
  bool many_colours, reverse, any_rows;  // few colours: black, one white pixel on stored row 3
  Asked asked;
};

const SampledRowsCase sampled_rows_cases[] = {
    {"ManyColours", 131073, true, false, true, {{0, 2}, {4, 1}, {0, 2}, {2, 2}, {4, 2}, {6, 2}}},
    {"ManyColoursReversed", 131073, true, true, true, {{6, 2}, {4, 1}, {0, 1}, {6, 2}, {4, 2}, {2, 2}, {0, 2}}},
    {"SourceOfBandsOnly", 131073, true, false, false, {{0, 2}, {2, 2}, {4, 2}, {6, 2}, {0, 2}, {2, 2}, {4, 2}, {6, 2}}},
    {"FewColours", 131073, false, false, true, {{0, 2}, {2, 2}, {4, 2}, {6, 2}, {0, 2}, {2, 2}, {4, 2}, {6, 2}}},
};

class PackSampledRows : public testing::TestWithParam<SampledRowsCase> {};

TEST_P(PackSampledRows, AsksOnlyForTheRowsItCounts) {
  const SampledRowsCase& c = GetParam();
  const std::uint32_t stride = c.width * 3;
  Bytes stored(std::size_t{stride} * 8, 0);
  for (std::uint32_t x = 0; c.many_colours && x < c.width * 8; ++x) stored[std::size_t{x} * 3 + 1] = x % 4 * 60;
  if (!c.many_colours) std::fill_n(stored.begin() + std::size_t{stride} * 3 + 15, 3, 255);
  StoredRows rows{c.width, 8, stride, c.reverse};
  rows.any_rows = c.any_rows;
  Asked asked;
  Bytes out;
  ASSERT_FALSE(pack_format(
                   rows, format_options(PixelFormat::i1, 2), 2,
                   [&](std::uint32_t first, std::uint32_t count) {
                     asked.emplace_back(first, count);
                     return std::variant<std::span<const std::uint8_t>, Outcome>(
                         std::span<const std::uint8_t>(stored).subspan(std::size_t{first} * stride,
                                                                       std::size_t{count} * stride));
                   },
                   [&](std::span<const std::uint8_t> bytes) -> std::optional<Outcome> {
                     out.insert(out.end(), bytes.begin(), bytes.end());
                     return std::nullopt;
                   })
                   .has_value());
  EXPECT_EQ(asked, c.asked);
  const Bytes black_white{0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_TRUE(c.many_colours || Bytes(out.begin(), out.begin() + 8) == black_white);
}

INSTANTIATE_TEST_SUITE_P(Cases, PackSampledRows, testing::ValuesIn(sampled_rows_cases),
                         [](const testing::TestParamInfo<SampledRowsCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
