// The PNG writer against bytes written out by hand and against the platform's own PNG decoder
// (Qt's reader natively, the Windows Imaging Component under Wine), which shares no code with it.
#include "containers/png_output.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "codecs/image_codecs.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Every row of `pixels` (width * channels bytes each, BGR or BGRA) through the writer, its pending
// bytes taken after each row as a streaming caller takes them.
Bytes write_png(std::uint32_t width, std::uint32_t height, PngColour colour, const Bytes& pixels,
                std::size_t segment_bytes = std::size_t{1} << 20) {
  std::optional<PngOutput> png = PngOutput::begin(width, height, colour, segment_bytes);
  if (!png) return {};
  const std::size_t row = std::size_t{width} * (colour == PngColour::rgba ? 4 : 3);
  Bytes file;
  for (std::uint32_t y = 0; y < height; ++y) {
    if (!png->add_row(pixels.data() + y * row)) return {};
    file.insert(file.end(), png->pending().begin(), png->pending().end());
    png->clear_pending();
  }
  if (!png->finish()) return {};
  file.insert(file.end(), png->pending().begin(), png->pending().end());
  return file;
}

// The signature, IHDR and IEND of a one-pixel picture; the CRCs worked out with Python's
// zlib.crc32 over each chunk's type and data.
struct OnePixelCase {
  const char* name;
  PngColour colour;
  Bytes pixel;
  Bytes head;  // signature and IHDR
};

const Bytes iend = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

const OnePixelCase one_pixel_cases[] = {
    {"Rgb", PngColour::rgb, {0x10, 0x20, 0x30}, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,    0,    0,
                                                 13,   'I', 'H', 'D', 'R',  0,    0,    0,    1,    0,    0,
                                                 0,    1,   8,   2,   0,    0,    0,    0x90, 0x77, 0x53, 0xDE}},
    {"Rgba", PngColour::rgba, {0x10, 0x20, 0x30, 0x40}, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,   0, 0, 13,
                                                         'I',  'H', 'D', 'R', 0,    0,    0,    1,    0,   0, 0, 1,
                                                         8,    6,   0,   0,   0,    0x1F, 0x15, 0xC4, 0x89}},
};

class PngOnePixel : public testing::TestWithParam<OnePixelCase> {};

TEST_P(PngOnePixel, StartsWithItsHeaderAndEndsWithIend) {
  const OnePixelCase& c = GetParam();
  const Bytes file = write_png(1, 1, c.colour, c.pixel);
  ASSERT_GT(file.size(), c.head.size() + iend.size());
  EXPECT_EQ(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(c.head.size())), c.head);
  EXPECT_EQ(Bytes(file.end() - static_cast<std::ptrdiff_t>(iend.size()), file.end()), iend);
}

INSTANTIATE_TEST_SUITE_P(Cases, PngOnePixel, testing::ValuesIn(one_pixel_cases),
                         [](const testing::TestParamInfo<OnePixelCase>& param) {
                           return std::string(param.param.name);
                         });

enum class Pattern {
  gradient,  // every sample differs from its neighbours, so that each filter term matters
  noise,     // incompressible: the compressed rows fill several 64 KiB IDAT chunks
  flat,      // one colour: a few bytes of deflate for many rows
};

std::uint8_t sample(Pattern pattern, std::uint32_t x, std::uint32_t y, std::uint32_t c, std::uint32_t& noise) {
  switch (pattern) {
    case Pattern::gradient:
      return static_cast<std::uint8_t>(x * 37 + y * 101 + c * 59 + (x * y) % 13);
    case Pattern::noise:
      noise = noise * 1103515245u + 12345u;
      return static_cast<std::uint8_t>(noise >> 16);
    case Pattern::flat:
      return static_cast<std::uint8_t>(0x5A + c);
  }
  return 0;
}

struct PictureCase {
  const char* name;
  std::uint32_t width, height;
  PngColour colour;
  Pattern pattern;
  // The CRC-32 of the whole file, the same on both builds since they link the same zlib; 0 where
  // the bytes are not pinned.
  std::uint32_t file_crc;
  // Where the stream is cut into segments compressed apart; 0 for the writer's own size.
  std::size_t segment_bytes = 0;
};

// The IDAT chunks' data joined: the zlib stream, whose end zlib's own reader checks against the
// stream's Adler-32. The rows it holds, each after its filter's type byte, or nothing.
Bytes inflated_rows(const Bytes& file, std::size_t size) {
  Bytes stream;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    const std::size_t length =
        std::size_t{file[at]} << 24 | std::size_t{file[at + 1]} << 16 | std::size_t{file[at + 2]} << 8 | file[at + 3];
    if (std::string(file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                    file.begin() + static_cast<std::ptrdiff_t>(at + 8)) == "IDAT")
      stream.insert(stream.end(), file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                    file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    at += 12 + length;
  }
  Bytes rows(size + 1);
  uLongf made = static_cast<uLongf>(rows.size());
  if (uncompress(rows.data(), &made, stream.data(), static_cast<uLong>(stream.size())) != Z_OK || made != size)
    return {};
  rows.resize(made);
  return rows;
}

const PictureCase picture_cases[] = {
    {"OnePixelRgb", 1, 1, PngColour::rgb, Pattern::gradient, 0},
    {"OnePixelRgba", 1, 1, PngColour::rgba, Pattern::gradient, 0},
    {"OddSizeRgb", 7, 5, PngColour::rgb, Pattern::gradient, 0x045A9F5E},
    {"OddSizeRgba", 5, 7, PngColour::rgba, Pattern::gradient, 0x57BA6A77},
    {"OneColumn", 1, 9, PngColour::rgb, Pattern::gradient, 0},
    {"NoiseOverSeveralChunks", 300, 97, PngColour::rgba, Pattern::noise, 0x54E9549C},
    {"FlatManyRows", 640, 480, PngColour::rgb, Pattern::flat, 0},
    // Segments of a few rows each, and of less than deflate's window: the priming and the
    // checksums combined, over many cuts.
    {"ManySegmentsRgba", 300, 97, PngColour::rgba, Pattern::gradient, 0x3ECDCA75, 3000},
    {"ManySegmentsNoise", 300, 97, PngColour::rgb, Pattern::noise, 0, 50000},
};

class PngPictures : public testing::TestWithParam<PictureCase> {};

TEST_P(PngPictures, DecodeToTheirPixelsWithThePlatformsReader) {
  const PictureCase& c = GetParam();
  const std::uint32_t channels = c.colour == PngColour::rgba ? 4 : 3;
  Bytes pixels;
  std::uint32_t noise = 1;
  for (std::uint32_t y = 0; y < c.height; ++y)
    for (std::uint32_t x = 0; x < c.width; ++x)
      for (std::uint32_t k = 0; k < channels; ++k) pixels.push_back(sample(c.pattern, x, y, k, noise));
  const Bytes file = c.segment_bytes != 0 ? write_png(c.width, c.height, c.colour, pixels, c.segment_bytes)
                                          : write_png(c.width, c.height, c.colour, pixels);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(inflated_rows(file, c.height * (1 + std::size_t{c.width} * channels)).size(),
            c.height * (1 + std::size_t{c.width} * channels))
      << "zlib does not read the stream to its checksum";
  if (c.file_crc != 0) {
    EXPECT_EQ(crc32(0, file.data(), static_cast<uInt>(file.size())), c.file_crc) << "the bytes changed";
  }

  std::variant<CodecPicture, Failure> decoded = decode_with_codecs(file, std::uint64_t{1} << 32);
  const CodecPicture* picture = std::get_if<CodecPicture>(&decoded);
  ASSERT_NE(picture, nullptr) << std::get<Failure>(decoded).reason;
  ASSERT_EQ(picture->width, c.width);
  ASSERT_EQ(picture->height, c.height);
  std::size_t wrong = 0;
  for (std::size_t k = 0; k < std::size_t{c.width} * c.height; ++k) {
    const std::uint8_t* quad = picture->quads.get() + 4 * k;
    const std::uint8_t* given = pixels.data() + channels * k;
    const std::uint8_t alpha = channels == 4 ? given[3] : 255;
    if (quad[0] != given[0] || quad[1] != given[1] || quad[2] != given[2] || quad[3] != alpha) ++wrong;
  }
  EXPECT_EQ(wrong, 0u) << "pixels differ";
}

INSTANTIATE_TEST_SUITE_P(Cases, PngPictures, testing::ValuesIn(picture_cases),
                         [](const testing::TestParamInfo<PictureCase>& param) {
                           return std::string(param.param.name);
                         });

// Each row takes the filter whose bytes are nearest zero: on one colour the first row is Sub (its
// first pixel, then zeros), the rows under it Up (all zeros).
TEST(PngOutputFilters, EachRowTakesTheFilterNearestZero) {
  const Bytes pixels(4 * 3 * 3, 0x5A);
  const Bytes rows = inflated_rows(write_png(4, 3, PngColour::rgb, pixels), 3 * 13);
  ASSERT_EQ(rows.size(), 3u * 13);
  EXPECT_EQ((Bytes{rows[0], rows[13], rows[26]}), (Bytes{1, 2, 2}));
}

TEST(PngOutputBegin, RefusesAnEmptyPictureOrASideOverTheFormatsLimit) {
  EXPECT_FALSE(PngOutput::begin(0, 1, PngColour::rgb).has_value());
  EXPECT_FALSE(PngOutput::begin(1, 0, PngColour::rgb).has_value());
  EXPECT_FALSE(PngOutput::begin(0x80000000u, 1, PngColour::rgba).has_value());
  EXPECT_FALSE(PngOutput::begin(1, 0x80000000u, PngColour::rgba).has_value());
  EXPECT_TRUE(PngOutput::begin(1, 0x7FFFFFFFu, PngColour::rgb).has_value());
}

}  // namespace
