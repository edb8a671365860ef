// rgb565 with the platform's image codecs: PNG, JPEG and GIF pictures made by the tests with known
// pixels, packed against words worked out by hand, and unpack's PNG read back by pack.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/pack.h"
#include "testing/console_run.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"
#include "testing/test_pictures.h"

namespace {

// Words as they lie in a raw image, low byte first.
Bytes words(std::initializer_list<std::uint16_t> values) {
  Bytes bytes;
  for (const std::uint16_t v : values)
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
  return bytes;
}

// Top row: red, green, blue; bottom row: (0x10, 0x20, 0x30), white, black.
const std::vector<TestPixel> six = {{255, 0, 0},        {0, 255, 0},     {0, 0, 255},
                                    {0x10, 0x20, 0x30}, {255, 255, 255}, {0, 0, 0}};
const Bytes six_words = words({0xF800, 0x07E0, 0x001F, 0x1106, 0xFFFF, 0x0000});
const std::vector<BgrTriple> six_palette = {{0, 0, 255},        {0, 255, 0},     {255, 0, 0},
                                            {0x30, 0x20, 0x10}, {255, 255, 255}, {0, 0, 0}};

// White at half alpha, red at none, and an opaque (0x10, 0x20, 0x30).
const std::vector<TestPixel> translucent = {{255, 255, 255, 128}, {255, 0, 0, 0}, {0x10, 0x20, 0x30, 255}};

struct CodecCase {
  const char* name;
  Bytes picture;
  std::vector<std::string> options;
  Bytes raw;
};
void PrintTo(const CodecCase& c, std::ostream* out) { *out << c.name; }

class PackReadsCodecPictures : public testing::TestWithParam<CodecCase> {};

TEST_P(PackReadsCodecPictures, Exactly) {
  const CodecCase& c = GetParam();
  ASSERT_FALSE(c.picture.empty()) << "the platform's encoder made no picture";
  TempDir dir;
  write_file(dir.file("in"), c.picture);
  std::vector<std::string> arguments = {"pack", dir.file("in"), dir.file("out.bin")};
  arguments.insert(arguments.begin() + 1, c.options.begin(), c.options.end());
  EXPECT_EQ(rgb565(arguments).code, 0);
  EXPECT_EQ(read_file(dir.file("out.bin")), c.raw);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PackReadsCodecPictures,
    testing::Values(
        CodecCase{"Png", encode_test_picture(TestEncoding::png, 3, 2, six), {}, six_words},
        // A codec's stored order is already top row first.
        CodecCase{"PngTopDown", encode_test_picture(TestEncoding::png, 3, 2, six), {"--rows", "top-down"}, six_words},
        CodecCase{"Gif", make_gif(3, 2, six_palette, {0, 1, 2, 3, 4, 5}), {}, six_words},
        // Over black: white at 128 is (255 * 128 + 127) / 255 = 128 in each channel.
        CodecCase{"PngAlphaOverBlack",
                  encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent),
                  {},
                  words({0x8410, 0x0000, 0x1106})},
        // Over 4080C0: red (255 * 128 + 64 * 127 + 127) / 255 = 160, green 192, blue 224.
        CodecCase{"PngAlphaOverBackground",
                  encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent),
                  {"--background", "4080C0"},
                  words({0xA61C, 0x4418, 0x1106})},
        // Formats with alpha keep it straight, or premultiplied; others lay the picture over the
        // background. Red at alpha 0 keeps its colour; white at 128 premultiplied is 128.
        CodecCase{"PngAlphaKeptByArgb8888",
                  encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent),
                  {"--format", "argb8888"},
                  {0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0xFF, 0x00, 0x30, 0x20, 0x10, 0xFF}},
        CodecCase{"PngAlphaPremultipliedArgb8888",
                  encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent),
                  {"--format", "argb8888", "--premultiply"},
                  {0x80, 0x80, 0x80, 0x80, 0x00, 0x00, 0x00, 0x00, 0x30, 0x20, 0x10, 0xFF}},
        CodecCase{"PngAlphaPlaneOfRgb565a8",
                  encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent),
                  {"--format", "rgb565a8"},
                  {0xFF, 0xFF, 0x00, 0xF8, 0x06, 0x11, 0x80, 0x00, 0xFF}},
        // Luma of grey 128 is 128; of (0x10, 0x20, 0x30) (4784 + 18784 + 5472 + 500) / 1000 = 29.
        CodecCase{"PngAlphaGray8OverBlack",
                  encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent),
                  {"--format", "gray8"},
                  {0x80, 0x00, 0x1D}},
        CodecCase{"GifTransparentIsTransparentBlack",
                  make_gif(2, 1, six_palette, {3, 0}, 0),
                  {"--format", "argb8888"},
                  {0x30, 0x20, 0x10, 0xFF, 0x00, 0x00, 0x00, 0x00}},
        CodecCase{"GifTransparentOverBackground",
                  make_gif(2, 1, six_palette, {3, 0}, 0),
                  {"--background=4080c0"},
                  words({0x1106, 0x4418})},
        // 2047 / 257 = 7.97 rounds to 8 (level 1) where dropping the low byte gives 7; likewise
        // 1023 for green (4); 1920 / 257 = 7.47 stays 7; 0x8080 is 128 exactly.
        CodecCase{"Png16Rounds",
                  make_png16(2, 1, {{2047, 1023, 1920, 65535}, {65535, 0, 0x8080, 65535}}),
                  {},
                  words({0x0820, 0xF810})}),
    [](const testing::TestParamInfo<CodecCase>& c) { return std::string(c.param.name); });

// JPEG is lossy: each 16 x 16 quadrant of one colour is a block the encoder keeps flat, and at
// quality 100 comes back within a few units, so every channel must be within one level of the
// colour's own (each colour sits mid-level, 8 * level + 4 or 4 * level + 2). Only the pixel on
// each side of a quadrant's edge is spared: decoders smooth the halved colour planes across it.
TEST(PackReadsCodecPictures, JpegWithinOneLevel) {
  const TestPixel quadrants[4] = {{0xC4, 0x22, 0x24}, {0x24, 0xC6, 0x24}, {0x24, 0x22, 0xC4}, {0xA4, 0xA6, 0x64}};
  std::vector<TestPixel> pixels;
  for (std::uint32_t y = 0; y < 32; ++y)
    for (std::uint32_t x = 0; x < 32; ++x) pixels.push_back(quadrants[(y / 16) * 2 + x / 16]);
  TempDir dir;
  write_file(dir.file("in.jpg"), encode_test_picture(TestEncoding::jpeg, 32, 32, pixels));
  ASSERT_EQ(rgb565({"pack", dir.file("in.jpg"), dir.file("out.bin")}).code, 0);
  const Bytes raw = *read_file(dir.file("out.bin"));
  ASSERT_EQ(raw.size(), 32u * 32 * 2);
  for (std::size_t k = 0; k < 32 * 32; ++k) {
    if (k % 32 == 15 || k % 32 == 16 || k / 32 == 15 || k / 32 == 16) continue;
    const unsigned word = raw[2 * k] | raw[2 * k + 1] << 8;
    const TestPixel& p = pixels[k];
    const int levels[3][2] = {{static_cast<int>(word >> 11), p.red >> 3},
                              {static_cast<int>(word >> 5 & 0x3F), p.green >> 2},
                              {static_cast<int>(word & 0x1F), p.blue >> 3}};
    for (const auto& [got, want] : levels) ASSERT_LE(std::abs(got - want), 1) << "pixel " << k % 32 << ", " << k / 32;
  }
}

// A file that starts as a PNG, JPEG or GIF but does not decode is refused as that format, in the
// same words on both builds, however early it goes wrong.
TEST(PackReadsCodecPictures, NamesTheFormatOfAPictureThatDoesNotDecode) {
  const Bytes png = encode_test_picture(TestEncoding::png, 3, 2, six);
  ASSERT_GT(png.size(), 60u);
  const struct {
    const char* name;
    Bytes file;
    const char* reason;
  } cases[] = {
      {"PngSignatureThenGarbage",
       {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 'x', 'x', 'x', 'x', 'x', 'x'},
       "the PNG is cut short"},
      {"PngCutShort", Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2)),
       "the PNG is cut short"},
      {"JpegSignatureThenGarbage",
       {0xFF, 0xD8, 0xFF, 0xE0, 'x', 'x', 'x', 'x', 'x', 'x'},
       "the JPEG is damaged or cut short: it cannot be decoded"},
      {"GifSignatureThenGarbage", {'G', 'I', 'F', '8', '9', 'a', 'x', 'x', 'x', 'x'}, "the GIF is cut short"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir.file("in"), c.file);
    const Rgb565Run run = rgb565({"pack", dir.file("in"), dir.file("out.bin")});
    EXPECT_EQ(run.code, 1) << c.name;
    EXPECT_EQ(run.err, "rgb565: " + dir.file("in") + ": Cannot open input: " + c.reason + "\n") << c.name;
    EXPECT_FALSE(file_exists(dir.file("out.bin"))) << c.name;
  }
}

// Pictures that ImageMagick wrote (read/reader-tests/make.sh), each packed as the PNG of the same
// picture packs: TIFF through the platform's codecs, TGA and PNM by their readers, from a file and
// from standard input alike.
TEST(PackReadsOtherPictures, AsTheirPng) {
  const std::string folder = std::string(READER_TESTS) + "/";
  TempDir dir;
  ASSERT_EQ(rgb565({"pack", folder + "colour.png", dir.file("png.bin")}).code, 0);
  const std::optional<Bytes> expected = read_file(dir.file("png.bin"));
  ASSERT_TRUE(expected.has_value());
  for (const char* name :
       {"colour.tiff", "colour-lzw.tiff", "tga24-top.tga", "tga24-rle-top.tga", "pnm-p6.ppm", "pnm-p3.ppm"}) {
    const Rgb565Run run = rgb565({"pack", folder + name, dir.file("out.bin")});
    EXPECT_EQ(run.code, 0) << name << ": " << run.err;
    EXPECT_EQ(read_file(dir.file("out.bin")), expected) << name;
    const Rgb565Run streamed = rgb565({"pack", "-", "-"}, read_file(folder + name).value_or(Bytes{}));
    EXPECT_EQ(streamed.code, 0) << name << ": " << streamed.err;
    EXPECT_EQ(Bytes(streamed.out.begin(), streamed.out.end()), expected) << name;
  }
}

// What it does not read is refused as such, from a file and from standard input: SVG and WebP by
// name, with a way to make a PNG, anything else with the list of what is read. A file that starts
// as a BMP keeps the BMP's own reason.
TEST(PackRefusesWhatItDoesNotRead, NamingSvgAndWebp) {
  using namespace std::string_view_literals;
  const std::string others = "not a picture it reads (BMP, PNG, JPEG, GIF, TGA, PNM or TIFF)";
  const std::string svg =
      "an SVG picture, which is not read: convert it to PNG first (e.g. rsvg-convert -o picture.png picture.svg)";
  const std::string webp =
      "a WebP picture, which is not read: convert it to PNG first (e.g. dwebp picture.webp -o picture.png)";
  const auto text = [](std::string_view s) { return Bytes(s.begin(), s.end()); };
  const struct {
    const char* name;
    Bytes file;
    std::string reason;         // from a file
    std::string stream_reason;  // from standard input
  } cases[] = {
      {"Text", text("hello, world\n"), others, others + ": standard input does not start as one"},
      {"Empty", {}, "The file is empty", others + ": standard input does not start as one"},
      {"Svg", text("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>"), svg, svg},
      {"Webp", text("RIFF\x1a\0\0\0WEBPVP8L\x0d\0\0\0\x2f\0\0\0\x10\x07\x10\x11\x11\x88\x88\xfe\x07\0"sv), webp, webp},
      {"BmpOfUnknownHeader", text("BMxxxxxxxxxxxxxxxxxxxxxx"), "an information header of unknown size",
       "an information header of unknown size"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir.file("in"), c.file);
    const Rgb565Run run = rgb565({"pack", dir.file("in"), dir.file("out.bin")});
    EXPECT_EQ(run.code, 1) << c.name;
    EXPECT_EQ(run.err, "rgb565: " + dir.file("in") + ": Cannot open input: " + c.reason + "\n") << c.name;
    const Rgb565Run streamed = rgb565({"pack", "-", "-"}, c.file);
    EXPECT_EQ(streamed.code, 1) << c.name;
    EXPECT_EQ(streamed.err, "rgb565: -: Cannot open input: " + c.stream_reason + "\n") << c.name;
  }
}

TEST(PackReadsCodecPictures, NotInTheDialogWhichConvertsBmpsOnly) {
  TempDir dir;
  write_file(dir.file("in.png"), encode_test_picture(TestEncoding::png, 3, 2, six));
  ScriptedFrame frame(dir.file("in.png"), dir.file("out.bin"));
  frame.run(dialog_job<pack>);
  EXPECT_EQ(frame.status(), "Cannot open input");
  EXPECT_FALSE(file_exists(dir.file("out.bin")));
}

// unpack's PNG shows the picture upright: pack reads it back (top row first) as the raw image that
// unpack took top row first, and its header gives the frame's size.
TEST(UnpackWritesPng, ThatPackReadsBackWordForWord) {
  TempDir dir;
  Bytes raw;
  for (std::size_t i = 0; i < 5 * 3; ++i)
    raw.insert(raw.end(), {static_cast<std::uint8_t>(i * 53), static_cast<std::uint8_t>(i * 29 + 7)});
  write_file(dir.file("in.bin"), raw);
  ASSERT_EQ(rgb565({"unpack", "--rows", "top-down", "--size", "5x3", dir.file("in.bin"), dir.file("out.PNG")}).code, 0);
  const Bytes png = *read_file(dir.file("out.PNG"));
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(Bytes(png.begin(), png.begin() + 24), (Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                                         'I',  'H', 'D', 'R', 0,    0,    0,    5,    0, 0, 0, 3}));
  ASSERT_EQ(rgb565({"pack", dir.file("out.PNG"), dir.file("back.bin")}).code, 0);
  EXPECT_EQ(read_file(dir.file("back.bin")), raw);
}

// A run-length coded BMP of `width` x `height` 8-bit pixels whose only code ends the picture: a few
// bytes that declare any number of pixels.
Bytes rle8_declaring(std::int32_t width, std::int32_t height) {
  Bytes file(64, 0);
  file[0] = 'B';
  file[1] = 'M';
  file[10] = 62;  // pixel data offset
  file[14] = 40;  // header size
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  file[26] = 1;  // planes
  file[28] = 8;  // bits per pixel
  file[30] = 1;  // RLE8
  put32(46, 2);  // colours: black, then white
  file[58] = file[59] = file[60] = 0xFF;
  file[63] = 1;  // the code 0, 1: end of picture
  put32(2, static_cast<std::uint32_t>(file.size()));
  return file;
}

// Compressed pictures declaring more pixels than the limit are refused before decoding, with the
// same words on both builds; --max-pixels lets them through.
TEST(PackLimitsCompressedPictures, RefusesMorePixelsThanTheLimitUnlessRaised) {
  const struct {
    const char* name;
    Bytes picture;
    const char* refusal;  // with the default limit; null when it converts
    const char* limit;    // a --max-pixels that refuses it (one below its pixels)
    const char* enough;   // and one that lets it through
  } cases[] = {
      {"RLE8 bomb", rle8_declaring(40000, 40000),
       "Unsupported picture: 40000 x 40000 pixels, more than the 178956970 a compressed picture may have "
       "(--max-pixels raises the limit)",
       nullptr, nullptr},
      {"RLE8", rle8_declaring(100, 100), nullptr, "9999", "10000"},
      {"PNG", encode_test_picture(TestEncoding::png, 3, 2, six), nullptr, "5", "6"},
      {"GIF", make_gif(3, 2, six_palette, {0, 1, 2, 3, 4, 5}), nullptr, "5", "6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    write_file(dir.file("in"), c.picture);
    if (c.refusal != nullptr) {
      const Rgb565Run refused = rgb565({"pack", dir.file("in"), dir.file("out.bin")});
      EXPECT_EQ(refused.code, 1);
      EXPECT_EQ(refused.err, "rgb565: " + dir.file("in") + ": " + c.refusal + "\n");
      EXPECT_FALSE(file_exists(dir.file("out.bin")));
      continue;
    }
    const Rgb565Run over = rgb565({"pack", "--max-pixels", c.limit, dir.file("in"), dir.file("out.bin")});
    EXPECT_EQ(over.code, 1);
    EXPECT_NE(over.err.find(std::string("more than the ") + c.limit + " a compressed picture may have"),
              std::string::npos)
        << over.err;
    const Rgb565Run enough = rgb565({"pack", "--max-pixels", c.enough, dir.file("in"), dir.file("out.bin")});
    EXPECT_EQ(enough.code, 0) << enough.err;
  }
}

// Options may come before the verb, as many users write them.
TEST(Rgb565Arguments, OptionsBeforeTheVerb) {
  TempDir dir;
  write_file(dir.file("in.png"), encode_test_picture(TestEncoding::png, 3, 2, six));
  EXPECT_EQ(rgb565({"--bytes", "be", "--rows=top-down", "pack", dir.file("in.png"), dir.file("out.bin")}).code, 0);
  EXPECT_EQ(read_file(dir.file("out.bin")),
            (Bytes{0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F, 0x11, 0x06, 0xFF, 0xFF, 0x00, 0x00}));
}

}  // namespace

namespace {

// A phone's JPEG from standard input (staged in a file first) is laid upright too, and a C header
// says so: Pillow stored the 32 x 24 picture as 24 x 32 with orientation 6. The former names of the
// choices, auto and stored, do what exif and ignore do, without a word on standard error.
TEST(PackOrientation, StandardInputComesOutUpright) {
  const std::optional<Bytes> jpeg = read_file(std::string(ORIENTATION_TESTS) + "/orientation-6.jpg");
  ASSERT_TRUE(jpeg.has_value());
  const struct {
    std::vector<std::string> options;
    const char* width;
  } cases[] = {{{}, "photo_width 32\n"},
               {{"--orientation", "exif"}, "photo_width 32\n"},
               {{"--orientation", "ignore"}, "photo_width 24\n"},
               {{"--orientation", "auto"}, "photo_width 32\n"},
               {{"--orientation", "stored"}, "photo_width 24\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.options));
    TempDir dir;
    std::vector<std::string> arguments = {"pack", "--c-array", "photo", "-", dir.file("photo.h")};
    arguments.insert(arguments.begin() + 1, c.options.begin(), c.options.end());
    const Rgb565Run run = rgb565(arguments, *jpeg);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::optional<Bytes> header = read_file(dir.file("photo.h"));
    ASSERT_TRUE(header.has_value());
    const std::string text(header->begin(), header->end());
    EXPECT_NE(text.find(c.width), std::string::npos) << text;
  }
}

}  // namespace
