// unpack into a PNG, in bands of any height and whole: read back by the platform's own PNG decoder,
// its colours are the BMP's that the same options make (the BMP's rows are checked against
// hand-worked words elsewhere), upright, and its alpha the raw image's own bytes.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "codecs/image_codecs.h"
#include "jobs/pack.h"
#include "jobs/unpack.h"
#include "testing/test_files.h"

namespace {

// Bytes that all differ from their neighbours, so that a shifted or reordered pixel shows.
Bytes varied(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 73 + i / 5 + 11);
  return bytes;
}

// An i4 image: 16 opaque palette entries, then 3 bytes of indices a row of 5 pixels.
Bytes i4_image(std::uint32_t rows) {
  Bytes bytes;
  for (std::uint8_t k = 0; k < 16; ++k)
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(k * 16), static_cast<std::uint8_t>(255 - k * 16),
                               static_cast<std::uint8_t>(k * 7), 255});
  const Bytes indices = varied(std::size_t{rows} * 3);
  bytes.insert(bytes.end(), indices.begin(), indices.end());
  return bytes;
}

// An LVGL 9 ARGB8888 image of 2 x 3: its header, then six pixels of B G R A.
Bytes lvgl_argb8888() {
  Bytes bytes = {0x19, 0x10, 0, 0, 2, 0, 3, 0, 8, 0, 0, 0};
  const Bytes pixels = varied(24);
  bytes.insert(bytes.end(), pixels.begin(), pixels.end());
  return bytes;
}

struct PngCase {
  const char* name;
  Bytes input;
  std::vector<std::string> options;  // unpack's, as the command line gives them
  std::uint32_t width, height;
  std::uint32_t band_rows;
  // The alpha of pixel k, top row first, is input[alpha_at + alpha_step * k]; 255 where step is 0.
  std::size_t alpha_at = 0, alpha_step = 0;
};

UnpackOptions options_of(const PngCase& c) {
  UnpackOptions options;
  options.switches.codecs = true;
  options.lvgl_header = true;
  options.switches.band_rows = c.band_rows;
  for (std::size_t k = 0; k < c.options.size(); ++k) {
    const std::string& option = c.options[k];
    if (option == "top-down") options.top_down = true;
    if (option == "pages") options.pages = true;
    if (option == "premultiply") options.premultiplied = true;
    if (option == "size") options.width = c.width, options.height = c.height;
    if (option == "format") options.pixel_format = find_pixel_format(c.options[++k])->format;
  }
  return options;
}

const PngCase png_cases[] = {
    {"Rgb565OneRowBands", varied(70), {"size"}, 5, 7, 1},
    {"Rgb565TopDownBandsOfThree", varied(70), {"size", "top-down"}, 5, 7, 3},
    // 18 words and half a word: the rows past them are black, whichever end the bands start from.
    {"Rgb565ShortInputBandsOfTwo", varied(37), {"size"}, 5, 7, 2},
    {"Rgb565FixedFrameOwnBands", varied(568 * 130 * 2), {}, 568, 130, 0},
    {"Argb8888TopDownBandsOfTwo", varied(60), {"size", "top-down", "format", "argb8888"}, 3, 5, 2, 3, 4},
    {"Argb8888PremultipliedOneRowBands",
     varied(60),
     {"size", "top-down", "format", "argb8888", "premultiply"},
     3,
     5,
     1,
     3,
     4},
    // The alpha plane follows the 3 x 4 words.
    {"Rgb565a8PlanesBandsOfThree", varied(36), {"size", "top-down", "format", "rgb565a8"}, 3, 4, 3, 24, 1},
    {"I4PaletteBandsOfTwo", i4_image(3), {"size", "format", "i4"}, 5, 3, 2},
    // 11 rows in two 8-row pages, the second page partly past the picture.
    {"Mono1PagesBottomUp", varied(6), {"size", "format", "mono1", "pages"}, 3, 11, 1},
    {"LvglArgb8888ByItsHeader", lvgl_argb8888(), {}, 2, 3, 1, 12 + 3, 4},
};

class UnpackToPng : public testing::TestWithParam<PngCase> {};

TEST_P(UnpackToPng, DecodesToTheBmpsColoursUprightAndTheRawAlpha) {
  const PngCase& c = GetParam();
  TempDir dir;
  write_file(dir.file("in"), c.input);
  const auto run = [&](const std::string& out, bool stream) {
    UnpackOptions options = options_of(c);
    options.switches.stream = stream;
    JobProgress progress;
    const Outcome outcome = unpack({dir.file("in"), dir.file(out)}, options, progress);
    EXPECT_TRUE(outcome.done()) << out << ": " << outcome.reason << outcome.cause;
    return read_file(dir.file(out)).value_or(Bytes{});
  };
  const Bytes bmp = run("out.bmp", true);
  const Bytes streamed = run("streamed.png", true);
  const Bytes whole = run("whole.png", false);
  ASSERT_EQ(bmp.size(), 58 + std::size_t{(c.width * 3 + 3) / 4 * 4} * c.height);
  // Both feed the writer the same rows, so they are the same file.
  EXPECT_TRUE(streamed == whole);

  std::variant<CodecPicture, Failure> decoded = decode_with_codecs(streamed, std::uint64_t{1} << 32);
  const CodecPicture* picture = std::get_if<CodecPicture>(&decoded);
  ASSERT_NE(picture, nullptr) << std::get<Failure>(decoded).reason;
  ASSERT_EQ(picture->width, c.width);
  ASSERT_EQ(picture->height, c.height);
  const std::size_t row_length = (c.width * 3 + 3) / 4 * 4;
  std::size_t wrong = 0;
  for (std::uint32_t y = 0; y < c.height; ++y) {
    for (std::uint32_t x = 0; x < c.width; ++x) {
      const std::size_t k = std::size_t{y} * c.width + x;
      const std::uint8_t* quad = picture->quads.get() + 4 * k;
      const std::uint8_t* triple = bmp.data() + 58 + (c.height - 1 - y) * row_length + 3 * x;
      const std::uint8_t alpha = c.alpha_step == 0 ? 255 : c.input[c.alpha_at + c.alpha_step * k];
      if (quad[0] != triple[0] || quad[1] != triple[1] || quad[2] != triple[2] || quad[3] != alpha) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0u) << "pixels differ";
}

INSTANTIATE_TEST_SUITE_P(Cases, UnpackToPng, testing::ValuesIn(png_cases),
                         [](const testing::TestParamInfo<PngCase>& param) { return std::string(param.param.name); });

// unpack's PNG shows the picture upright: pack reads it back (top row first) as the raw image that
// unpack took top row first, and its header gives the frame's size.
TEST(UnpackToPng, ThatPackReadsBackWordForWord) {
  TempDir dir;
  Bytes raw;
  for (std::size_t i = 0; i < 5 * 3; ++i)
    raw.insert(raw.end(), {static_cast<std::uint8_t>(i * 53), static_cast<std::uint8_t>(i * 29 + 7)});
  write_file(dir.file("in.bin"), raw);
  UnpackOptions unpack_options;
  unpack_options.switches.codecs = true;
  unpack_options.top_down = true;
  unpack_options.width = 5;
  unpack_options.height = 3;
  JobProgress quiet;
  const Outcome unpacked = unpack({dir.file("in.bin"), dir.file("out.PNG")}, unpack_options, quiet);
  ASSERT_TRUE(unpacked.done()) << unpacked.reason << unpacked.cause;
  const Bytes png = read_file(dir.file("out.PNG")).value_or(Bytes{});
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(Bytes(png.begin(), png.begin() + 24), (Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                                         'I',  'H', 'D', 'R', 0,    0,    0,    5,    0, 0, 0, 3}));
  PackOptions pack_options;
  pack_options.switches.codecs = true;
  const Outcome packed = pack({dir.file("out.PNG"), dir.file("back.bin")}, pack_options, quiet);
  ASSERT_TRUE(packed.done()) << packed.reason << packed.cause;
  EXPECT_EQ(read_file(dir.file("back.bin")), raw);
}

}  // namespace
