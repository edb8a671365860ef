// pack with the command line's readers: PNG, GIF, TIFF, TGA and PNM pictures made by the tests or by
// ImageMagick, packed against words worked out by hand; what it refuses and why; and the dialogs,
// which keep to BMPs.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "jobs/pack.h"
#include "testing/outcome_text.h"
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

const Bytes six_words = words({0xF800, 0x07E0, 0x001F, 0x1106, 0xFFFF, 0x0000});

// The command line's pack: every reader, writing as it goes.
PackOptions command_line(PackOptions options = {}) {
  options.switches.codecs = true;
  options.switches.stream = true;
  return options;
}

PackOptions in_format(PixelFormat format, bool premultiply = false) {
  PackOptions options;
  options.pixel_format = format;
  options.premultiply = premultiply;
  return options;
}

PackOptions over(BgrTriple background) {
  PackOptions options;
  options.background = background;
  return options;
}

PackOptions top_down() {
  PackOptions options;
  options.rows = RowOrder::top_down;
  return options;
}

PackOptions limited_to(std::uint64_t pixels) {
  PackOptions options;
  options.pixel_limit = pixels;
  return options;
}

struct Packed {
  Outcome outcome;
  std::optional<Bytes> output;
};

Packed pack_picture(const Bytes& picture, const PackOptions& options) {
  TempDir dir;
  write_file(dir.file("in"), picture);
  JobProgress quiet;
  Outcome outcome = pack({dir.file("in"), dir.file("out.bin")}, options, quiet);
  return {std::move(outcome), read_file(dir.file("out.bin"))};
}

// 4080C0 as a background: red 0x40, green 0x80, blue 0xC0.
constexpr BgrTriple steel{0xC0, 0x80, 0x40};

struct PictureCase {
  const char* name;
  Bytes picture;
  PackOptions options;
  Bytes raw;
};
void PrintTo(const PictureCase& c, std::ostream* out) { *out << c.name; }

class PackReadsPictures : public testing::TestWithParam<PictureCase> {};

TEST_P(PackReadsPictures, Exactly) {
  const PictureCase& c = GetParam();
  ASSERT_FALSE(c.picture.empty()) << "the platform's encoder made no picture";
  const Packed packed = pack_picture(c.picture, command_line(c.options));
  EXPECT_TRUE(packed.outcome.done()) << outcome_text(packed.outcome);
  EXPECT_EQ(packed.output, c.raw);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PackReadsPictures,
    testing::Values(
        PictureCase{"Png", encode_test_picture(TestEncoding::png, 3, 2, six_pixels), {}, six_words},
        // A PNG's stored order is already top row first.
        PictureCase{"PngTopDown", encode_test_picture(TestEncoding::png, 3, 2, six_pixels), top_down(), six_words},
        PictureCase{"Gif", make_gif(3, 2, six_palette, {0, 1, 2, 3, 4, 5}), {}, six_words},
        // Over black: white at 128 is (255 * 128 + 127) / 255 = 128 in each channel.
        PictureCase{"PngAlphaOverBlack",
                    encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent_pixels),
                    {},
                    words({0x8410, 0x0000, 0x1106})},
        // Over 4080C0: red (255 * 128 + 64 * 127 + 127) / 255 = 160, green 192, blue 224.
        PictureCase{"PngAlphaOverBackground", encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent_pixels),
                    over(steel), words({0xA61C, 0x4418, 0x1106})},
        // Formats with alpha keep it straight, or premultiplied; others lay the picture over the
        // background. Red at alpha 0 keeps its colour; white at 128 premultiplied is 128.
        PictureCase{"PngAlphaKeptByArgb8888",
                    encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent_pixels),
                    in_format(PixelFormat::argb8888),
                    {0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0xFF, 0x00, 0x30, 0x20, 0x10, 0xFF}},
        PictureCase{"PngAlphaPremultipliedArgb8888",
                    encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent_pixels),
                    in_format(PixelFormat::argb8888, true),
                    {0x80, 0x80, 0x80, 0x80, 0x00, 0x00, 0x00, 0x00, 0x30, 0x20, 0x10, 0xFF}},
        PictureCase{"PngAlphaPlaneOfRgb565a8",
                    encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent_pixels),
                    in_format(PixelFormat::rgb565a8),
                    {0xFF, 0xFF, 0x00, 0xF8, 0x06, 0x11, 0x80, 0x00, 0xFF}},
        // Luma of grey 128 is 128; of (0x10, 0x20, 0x30) (4784 + 18784 + 5472 + 500) / 1000 = 29.
        PictureCase{"PngAlphaGray8OverBlack",
                    encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent_pixels),
                    in_format(PixelFormat::gray8),
                    {0x80, 0x00, 0x1D}},
        PictureCase{"GifTransparentIsTransparentBlack",
                    make_gif(2, 1, six_palette, {3, 0}, 0),
                    in_format(PixelFormat::argb8888),
                    {0x30, 0x20, 0x10, 0xFF, 0x00, 0x00, 0x00, 0x00}},
        PictureCase{"GifTransparentOverBackground", make_gif(2, 1, six_palette, {3, 0}, 0), over(steel),
                    words({0x1106, 0x4418})},
        // 2047 / 257 = 7.97 rounds to 8 (level 1) where dropping the low byte gives 7; likewise
        // 1023 for green (4); 1920 / 257 = 7.47 stays 7; 0x8080 is 128 exactly.
        PictureCase{"Png16Rounds",
                    make_png16(2, 1, {{2047, 1023, 1920, 65535}, {65535, 0, 0x8080, 65535}}),
                    {},
                    words({0x0820, 0xF810})}),
    [](const testing::TestParamInfo<PictureCase>& c) { return std::string(c.param.name); });

// Pictures that ImageMagick wrote (read/reader-tests/make.sh), each packed as the PNG of the same
// picture packs: TIFF through the platform's codecs, TGA and PNM by their readers; as they are, and
// through transforms that read them upward, by columns, or a part of their rows. A TGA stored bottom
// row first or right to left has a PNG of its own, the picture as ImageMagick reads it.
TEST(PackReadsPictures, OtherFormatsAsTheirPng) {
  const std::string folder = std::string(READER_TESTS) + "/";
  const Transforms transforms[] = {{},
                                   {.flip = Flip::vertical},
                                   {.rotation = Rotation::half},
                                   {.rotation = Rotation::quarter},
                                   {.crop = Rect{1, 2, 5, 2}, .flip = Flip::horizontal},
                                   {.crop = Rect{1, 1, 4, 3}, .rotation = Rotation::three_quarters}};
  const struct {
    const char* picture;
    const char* png;
  } twins[] = {{"colour.tiff", "colour.png"},
               {"colour-lzw.tiff", "colour.png"},
               {"tga24.tga", "tga24.png"},
               {"tga24-top.tga", "colour.png"},
               {"tga24-top-right-to-left.tga", "tga24-top-right-to-left.png"},
               {"tga24-rle.tga", "tga24-rle.png"},
               {"tga24-rle-top.tga", "colour.png"},
               {"pnm-p1.pbm", "mono.png"},
               {"pnm-p4.pbm", "mono.png"},
               {"pnm-p5.pgm", "grey.png"},
               {"pnm-p6.ppm", "colour.png"},
               {"pnm-p3.ppm", "colour.png"},
               {"pnm-p7-rgba.pam", "alpha.png"}};
  for (const Transforms& transform : transforms) {
    PackOptions options;
    options.transforms = transform;
    for (const auto& twin : twins) {
      const Packed png = pack_picture(read_file(folder + twin.png).value_or(Bytes{}), command_line(options));
      ASSERT_TRUE(png.outcome.done()) << outcome_text(png.outcome);
      ASSERT_TRUE(png.output.has_value());
      const Packed packed = pack_picture(read_file(folder + twin.picture).value_or(Bytes{}), command_line(options));
      EXPECT_TRUE(packed.outcome.done()) << twin.picture << ": " << outcome_text(packed.outcome);
      EXPECT_EQ(packed.output, png.output) << twin.picture << " transformed " << (&transform - transforms);
    }
  }
}

// TIFFs with alpha, packed with their alpha as the PNG that ImageMagick made of each packs: read
// alike on both builds, not by the platform's codecs.
TEST(PackReadsPictures, AlphaTiffsAsImageMagickReadsThem) {
  const std::string folder = std::string(READER_TESTS) + "/";
  for (const char* name : {"tiff-grey-alpha-packbits", "tiff-rgba-associated-lzw", "tiff-rgba16-zip"}) {
    const Packed png = pack_picture(read_file(folder + name + "-expected.png").value_or(Bytes{}),
                                    command_line(in_format(PixelFormat::argb8888)));
    ASSERT_TRUE(png.outcome.done()) << outcome_text(png.outcome);
    const Packed tiff = pack_picture(read_file(folder + name + ".tiff").value_or(Bytes{}),
                                     command_line(in_format(PixelFormat::argb8888)));
    EXPECT_TRUE(tiff.outcome.done()) << name << ": " << outcome_text(tiff.outcome);
    EXPECT_EQ(tiff.output, png.output) << name;
  }
}

// Every refusal of an input that is not read: no output, and the reason in words the same on both
// builds. A file that starts as a PNG, JPEG or GIF but does not decode is refused as that format,
// however early it goes wrong; SVG and WebP by name, with a way to make a PNG; anything else with
// the list of what is read. A file that starts as a BMP keeps the BMP's own reason.
TEST(PackRefusesWhatItDoesNotRead, SayingWhy) {
  using namespace std::string_view_literals;
  const Bytes png = encode_test_picture(TestEncoding::png, 3, 2, six_pixels);
  ASSERT_GT(png.size(), 60u);
  const auto text = [](std::string_view s) { return Bytes(s.begin(), s.end()); };
  const std::string others = "not a picture it reads (BMP, PNG, JPEG, GIF, TGA, PNM or TIFF)";
  const struct {
    const char* name;
    Bytes file;
    std::string told;
  } cases[] = {
      {"PngSignatureThenGarbage",
       {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 'x', 'x', 'x', 'x', 'x', 'x'},
       "Cannot open input: the PNG is cut short"},
      {"PngCutShort", Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2)),
       "Cannot open input: the PNG is cut short"},
      {"JpegSignatureThenGarbage",
       {0xFF, 0xD8, 0xFF, 0xE0, 'x', 'x', 'x', 'x', 'x', 'x'},
       "Cannot open input: the JPEG is cut short: it ends inside the segment of marker 0xFFE0"},
      {"GifSignatureThenGarbage",
       {'G', 'I', 'F', '8', '9', 'a', 'x', 'x', 'x', 'x'},
       "Cannot open input: the GIF is cut short"},
      {"Text", text("hello, world\n"), "Cannot open input: " + others},
      {"Empty", {}, "Cannot open input: The file is empty"},
      {"Svg", text("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>"),
       "Cannot open input: an SVG picture, which is not read: convert it to PNG first (e.g. rsvg-convert -o "
       "picture.png picture.svg)"},
      {"Webp", text("RIFF\x1a\0\0\0WEBPVP8L\x0d\0\0\0\x2f\0\0\0\x10\x07\x10\x11\x11\x88\x88\xfe\x07\0"sv),
       "Cannot open input: a WebP picture, which is not read: convert it to PNG first (e.g. dwebp picture.webp -o "
       "picture.png)"},
      {"BmpOfUnknownHeader", text("BMxxxxxxxxxxxxxxxxxxxxxx"),
       "Cannot open input: an information header of unknown size"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Packed packed = pack_picture(c.file, command_line());
    EXPECT_EQ(packed.outcome.ending, Ending::cannot_open_input);
    EXPECT_EQ(outcome_text(packed.outcome), c.told);
    EXPECT_FALSE(packed.output.has_value());
  }
}

TEST(PackReadsPictures, NotInTheDialogWhichConvertsBmpsOnly) {
  TempDir dir;
  write_file(dir.file("in.png"), encode_test_picture(TestEncoding::png, 3, 2, six_pixels));
  ScriptedFrame frame(dir.file("in.png"), dir.file("out.bin"));
  frame.run(dialog_job<pack>);
  EXPECT_EQ(frame.status(), "Cannot open input");
  EXPECT_FALSE(file_exists(dir.file("out.bin")));
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
// same words on both builds; a higher limit lets them through.
TEST(PackLimitsCompressedPictures, RefusesMorePixelsThanTheLimitUnlessRaised) {
  const struct {
    const char* name;
    Bytes picture;
    const char* refusal;  // with the default limit; null when it converts
    std::uint64_t limit;  // a limit that refuses it (one below its pixels)
  } cases[] = {
      {"RLE8 bomb", rle8_declaring(40000, 40000),
       "Unsupported picture: 40000 x 40000 pixels, more than the 178956970 a compressed picture may have "
       "(--max-pixels raises the limit)",
       0},
      {"RLE8", rle8_declaring(100, 100), nullptr, 9999},
      {"PNG", encode_test_picture(TestEncoding::png, 3, 2, six_pixels), nullptr, 5},
      {"GIF", make_gif(3, 2, six_palette, {0, 1, 2, 3, 4, 5}), nullptr, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.refusal != nullptr) {
      const Packed refused = pack_picture(c.picture, command_line());
      EXPECT_EQ(outcome_text(refused.outcome), c.refusal);
      EXPECT_FALSE(refused.output.has_value());
      continue;
    }
    const Packed over = pack_picture(c.picture, command_line(limited_to(c.limit)));
    EXPECT_EQ(over.outcome.ending, Ending::unsupported_picture);
    EXPECT_NE(over.outcome.reason.find("more than the " + std::to_string(c.limit) + " a compressed picture may have"),
              std::string::npos)
        << over.outcome.reason;
    EXPECT_FALSE(over.output.has_value());
    const Packed enough = pack_picture(c.picture, command_line(limited_to(c.limit + 1)));
    EXPECT_TRUE(enough.outcome.done()) << outcome_text(enough.outcome);
  }
}

}  // namespace
