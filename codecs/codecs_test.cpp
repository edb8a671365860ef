// The platform's image codecs as the readers use them: pictures made by the tests with known pixels
// decoded to the quads worked out by hand, the same words for a broken file on both builds, and the
// pixel limit checked before anything is decoded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "codecs/image_codecs.h"
#include "testing/test_files.h"
#include "testing/test_pictures.h"

namespace {

constexpr std::uint64_t no_limit = std::uint64_t{1} << 32;

// The decoded picture's size and its quads (B G R A a pixel), or the failure's reason.
struct Decoded {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  Bytes quads;
};

Decoded decoded(const Bytes& file) {
  std::variant<CodecPicture, Failure> result = decode_with_codecs(file, no_limit);
  if (const Failure* failure = std::get_if<Failure>(&result)) {
    ADD_FAILURE() << failure->reason;
    return {};
  }
  const CodecPicture& picture = std::get<CodecPicture>(result);
  const std::uint8_t* quads = picture.quads.get();
  return {picture.width, picture.height, Bytes(quads, quads + std::size_t{picture.width} * picture.height * 4)};
}

// The six pixels' quads: blue, green, red, alpha.
const Bytes six_quads = {0,    0,    255,  255, 0,   255, 0,   255, 255, 0, 0, 255,
                         0x30, 0x20, 0x10, 255, 255, 255, 255, 255, 0,   0, 0, 255};

struct Picture {
  const char* name;
  Bytes file;
  std::uint32_t width, height;
  Bytes quads;
};
void PrintTo(const Picture& c, std::ostream* out) { *out << c.name; }

class DecodeWithCodecs : public testing::TestWithParam<Picture> {};

TEST_P(DecodeWithCodecs, GivesTheFilesPixelsTopRowFirst) {
  const Picture& c = GetParam();
  ASSERT_FALSE(c.file.empty()) << "the platform's encoder made no picture";
  const Decoded got = decoded(c.file);
  EXPECT_EQ(got.width, c.width);
  EXPECT_EQ(got.height, c.height);
  EXPECT_EQ(got.quads, c.quads);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, DecodeWithCodecs,
    testing::Values(Picture{"Png", encode_test_picture(TestEncoding::png, 3, 2, six_pixels), 3, 2, six_quads},
                    Picture{"Gif", make_gif(3, 2, six_palette, {0, 1, 2, 3, 4, 5}), 3, 2, six_quads},
                    // Straight alpha: the colour of a pixel stays whatever its alpha.
                    Picture{"PngAlphaStraight",
                            encode_test_picture(TestEncoding::png_alpha, 3, 1, translucent_pixels),
                            3,
                            1,
                            {255, 255, 255, 128, 0, 0, 255, 0, 0x30, 0x20, 0x10, 255}},
                    // A GIF's transparent index has no colour of its own: it is transparent black.
                    Picture{"GifTransparentIsTransparentBlack",
                            make_gif(2, 1, six_palette, {3, 0}, 0),
                            2,
                            1,
                            {0x30, 0x20, 0x10, 255, 0, 0, 0, 0}},
                    // (v * 255 + 32767) / 65535: 2047 gives 554752 / 65535 = 8 where dropping the low byte
                    // gives 7; 1023 gives 4; 1920 gives 7.97, still 7; 0x8080 is 128 exactly.
                    Picture{"Png16RoundsToEightBits",
                            make_png16(2, 1, {{2047, 1023, 1920, 65535}, {65535, 0, 0x8080, 65535}}),
                            2,
                            1,
                            {7, 4, 8, 255, 128, 0, 255, 255}}),
    [](const testing::TestParamInfo<Picture>& c) { return std::string(c.param.name); });

// JPEG is lossy: each 16 x 16 quadrant of one colour is a block the encoder keeps flat, and at
// quality 100 comes back within a few units, so every channel must be within one RGB565 level of the
// colour's own (each colour sits mid-level, 8 * level + 4 or 4 * level + 2). Only the pixel on each
// side of a quadrant's edge is spared: decoders smooth the halved colour planes across it.
TEST(DecodeWithCodecs, JpegWithinOneLevel) {
  const TestPixel quadrants[4] = {{0xC4, 0x22, 0x24}, {0x24, 0xC6, 0x24}, {0x24, 0x22, 0xC4}, {0xA4, 0xA6, 0x64}};
  std::vector<TestPixel> pixels;
  for (std::uint32_t y = 0; y < 32; ++y)
    for (std::uint32_t x = 0; x < 32; ++x) pixels.push_back(quadrants[(y / 16) * 2 + x / 16]);
  const Decoded got = decoded(encode_test_picture(TestEncoding::jpeg, 32, 32, pixels));
  ASSERT_EQ(got.width, 32u);
  ASSERT_EQ(got.height, 32u);
  for (std::size_t k = 0; k < 32 * 32; ++k) {
    if (k % 32 == 15 || k % 32 == 16 || k / 32 == 15 || k / 32 == 16) continue;
    const std::uint8_t* quad = &got.quads[4 * k];
    const TestPixel& p = pixels[k];
    const int levels[4][2] = {{quad[2] >> 3, p.red >> 3}, {quad[1] >> 2, p.green >> 2}, {quad[0] >> 3, p.blue >> 3}};
    for (const auto& [have, want] : levels) ASSERT_LE(std::abs(have - want), 1) << "pixel " << k % 32 << ", " << k / 32;
    ASSERT_EQ(quad[3], 255);
  }
}

// TIFFs that ImageMagick wrote (read/reader-tests/make.sh), plain and LZW-compressed, decode to the
// pixels of the PNG it wrote of the same picture.
TEST(DecodeWithCodecs, TiffAsItsPng) {
  const std::string folder = std::string(READER_TESTS) + "/";
  const Decoded png = decoded(read_file(folder + "colour.png").value_or(Bytes{}));
  ASSERT_FALSE(png.quads.empty());
  for (const char* name : {"colour.tiff", "colour-lzw.tiff"}) {
    const Decoded tiff = decoded(read_file(folder + name).value_or(Bytes{}));
    EXPECT_EQ(tiff.width, png.width) << name;
    EXPECT_EQ(tiff.height, png.height) << name;
    EXPECT_EQ(tiff.quads, png.quads) << name;
  }
}

// A file that starts as one of the codecs' formats but does not decode is that format's to refuse
// as broken, however early it goes wrong, whatever the platform's codec made of it; anything else
// is left to the other readers; a picture over the limit is refused before it is decoded.
TEST(DecodeWithCodecs, RefusesByTheFormatItStartsAs) {
  const Bytes png = encode_test_picture(TestEncoding::png, 3, 2, six_pixels);
  ASSERT_GT(png.size(), 60u);
  const std::string too_large =
      "3 x 2 pixels, more than the 5 a compressed picture may have (--max-pixels raises the limit)";
  const struct {
    const char* name;
    Bytes file;
    std::uint64_t limit;
    Fault fault;
    const char* reason_starts;  // the reason's first words
  } cases[] = {
      {"PngSignatureThenGarbage",
       {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 'x', 'x', 'x', 'x', 'x', 'x'},
       no_limit,
       Fault::cannot_open,
       "the PNG "},
      {"PngCutShort", Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2)), no_limit,
       Fault::cannot_open, "the PNG "},
      {"JpegSignatureThenGarbage",
       {0xFF, 0xD8, 0xFF, 0xE0, 'x', 'x', 'x', 'x', 'x', 'x'},
       no_limit,
       Fault::cannot_open,
       "the JPEG is cut short: it ends inside the segment of marker 0xFFE0"},
      {"GifSignatureThenGarbage",
       {'G', 'I', 'F', '8', '9', 'a', 'x', 'x', 'x', 'x'},
       no_limit,
       Fault::cannot_open,
       "the GIF "},
      {"TiffSignatureThenGarbage",
       {'I', 'I', 42, 0, 'x', 'x', 'x', 'x', 'x', 'x'},
       no_limit,
       Fault::cannot_open,
       "the TIFF "},
      {"Text", {'h', 'e', 'l', 'l', 'o', '\n'}, no_limit, Fault::not_recognised, ""},
      {"OverTheLimit", png, 5, Fault::unsupported, too_large.c_str()},
      {"GifOverTheLimit", make_gif(3, 2, six_palette, {0, 1, 2, 3, 4, 5}), 5, Fault::unsupported, too_large.c_str()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::variant<CodecPicture, Failure> result = decode_with_codecs(c.file, c.limit);
    ASSERT_TRUE(std::holds_alternative<Failure>(result));
    const Failure& failure = std::get<Failure>(result);
    EXPECT_EQ(failure.fault, c.fault);
    EXPECT_EQ(failure.reason.rfind(c.reason_starts, 0), 0u) << failure.reason;
  }
  // At the limit exactly, the picture decodes.
  EXPECT_TRUE(std::holds_alternative<CodecPicture>(decode_with_codecs(png, 6)));
}

// The signatures that make a file a codec's to refuse: PNG's eight bytes, a JPEG's start of image and
// the next marker's first byte, either GIF version, and TIFF's byte-order mark with 42 in that order.
TEST(CodecFormatOf, GoesByTheSignatureAlone) {
  const struct {
    Bytes start;
    const char* format;  // null: none of the codecs'
  } cases[] = {
      {{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, "PNG"},
      {{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A}, nullptr},
      {{0x89, 'P', 'N', 'G', 0x0A, 0x0A, 0x1A, 0x0A}, nullptr},
      {{0xFF, 0xD8, 0xFF}, "JPEG"},
      {{0xFF, 0xD8, 0x00}, nullptr},
      {{'G', 'I', 'F', '8', '7', 'a'}, "GIF"},
      {{'G', 'I', 'F', '8', '9', 'a', 0}, "GIF"},
      {{'G', 'I', 'F', '8', '8', 'a'}, nullptr},
      {{'I', 'I', 42, 0}, "TIFF"},
      {{'M', 'M', 0, 42}, "TIFF"},
      {{'I', 'I', 0, 42}, nullptr},
      {{'M', 'M', 42, 0}, nullptr},
      {{'B', 'M', 0, 0, 0, 0}, nullptr},
      {{}, nullptr},
  };
  for (const auto& c : cases) {
    const char* format = codec_format_of(c.start);
    EXPECT_EQ(format == nullptr ? std::string("none") : std::string(format),
              c.format == nullptr ? std::string("none") : std::string(c.format))
        << testing::PrintToString(c.start);
  }
}

}  // namespace
