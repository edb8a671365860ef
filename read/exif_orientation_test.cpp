// The EXIF orientation as read from TIFF structures written out byte by byte, in both byte orders,
// and from the JPEG and PNG files that Pillow wrote for the orientation tests (jobs/orientation-tests).
#include "read/exif_orientation.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/png_file.h"
#include "testing/test_files.h"

namespace {

// A little-endian TIFF header whose first directory follows it, holding one entry.
Bytes little_tiff(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
  return {'I',
          'I',
          42,
          0,
          8,
          0,
          0,
          0,  // header: the directory at 8
          1,
          0,  // one entry
          static_cast<std::uint8_t>(tag),
          static_cast<std::uint8_t>(tag >> 8),
          static_cast<std::uint8_t>(type),
          0,
          static_cast<std::uint8_t>(count),
          0,
          0,
          0,
          static_cast<std::uint8_t>(value),
          static_cast<std::uint8_t>(value >> 8),
          0,
          0,
          0,
          0,
          0,
          0};  // no next directory
}

// The same, big-endian; a SHORT value lies in the first two of the entry's four value bytes.
Bytes big_tiff(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value_bytes) {
  return {'M',
          'M',
          0,
          42,
          0,
          0,
          0,
          8,
          0,
          1,
          static_cast<std::uint8_t>(tag >> 8),
          static_cast<std::uint8_t>(tag),
          0,
          static_cast<std::uint8_t>(type),
          0,
          0,
          0,
          static_cast<std::uint8_t>(count),
          static_cast<std::uint8_t>(value_bytes >> 24),
          static_cast<std::uint8_t>(value_bytes >> 16),
          static_cast<std::uint8_t>(value_bytes >> 8),
          static_cast<std::uint8_t>(value_bytes),
          0,
          0,
          0,
          0};
}

Bytes first(const Bytes& bytes, std::size_t count) { return Bytes(bytes.begin(), bytes.begin() + count); }

struct Block {
  const char* name;
  Bytes tiff;
  std::uint8_t orientation;
};
void PrintTo(const Block& block, std::ostream* out) { *out << block.name; }

class ExifOrientation : public testing::TestWithParam<Block> {};

TEST_P(ExifOrientation, ReadsTheFirstDirectorysTag) {
  EXPECT_EQ(exif_orientation(GetParam().tiff), GetParam().orientation);
}

INSTANTIATE_TEST_SUITE_P(Blocks, ExifOrientation,
                         testing::Values(Block{"LittleEndian6", little_tiff(0x0112, 3, 1, 6), 6},
                                         Block{"BigEndian8", big_tiff(0x0112, 3, 1, 0x00080000), 8},
                                         Block{"BigEndianLong3", big_tiff(0x0112, 4, 1, 3), 3},
                                         Block{"AnotherTagOnly", little_tiff(0x0110, 3, 1, 6), 1},
                                         Block{"ValuePast8", little_tiff(0x0112, 3, 1, 9), 1},
                                         Block{"ValueZero", little_tiff(0x0112, 3, 1, 0), 1},
                                         Block{"TwoValues", little_tiff(0x0112, 3, 2, 6), 1},
                                         Block{"AsciiType", little_tiff(0x0112, 2, 1, 6), 1},
                                         Block{"NotTiff", Bytes{'I', 'M', 42, 0, 8, 0, 0, 0, 0, 0}, 1},
                                         Block{"Not42", Bytes{'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0}, 1},
                                         Block{"DirectoryPastEnd", Bytes{'I', 'I', 42, 0, 200, 0, 0, 0}, 1},
                                         Block{"EntryCutShort", first(little_tiff(0x0112, 3, 1, 6), 21), 1},
                                         Block{"Empty", {}, 1}),
                         [](const testing::TestParamInfo<Block>& param_info) {
                           return std::string(param_info.param.name);
                         });

// Cut anywhere, the block gives 1 (or, cut past the entry, its orientation), never a read past it.
TEST(ExifOrientation, EveryTruncationReadsInside) {
  const Bytes whole = little_tiff(0x0112, 3, 1, 5);
  for (std::size_t size = 0; size < whole.size(); ++size) {
    const Bytes cut = first(whole, size);
    EXPECT_EQ(exif_orientation(cut), size >= 22 ? 5 : 1) << size;
  }
}

TEST(PictureOrientation, ReadsTheJpegsAndPngsOfPillow) {
  for (int orientation = 1; orientation <= 8; ++orientation) {
    for (const char* extension : {".jpg", ".png"}) {
      const std::string path =
          std::string(ORIENTATION_TESTS) + "/orientation-" + std::to_string(orientation) + extension;
      const std::optional<Bytes> file = read_file(path);
      ASSERT_TRUE(file.has_value()) << path;
      PngSpanBytes bytes(*file);
      EXPECT_EQ(picture_orientation(bytes), orientation) << path;
    }
  }
}

TEST(PictureOrientation, FindsAPngsExifChunkAfterItsPixels) {
  const Bytes pixels = png_chunk("IDAT", png_deflated({0, 1}));
  const Bytes png =
      png_of({png_ihdr(1, 1, 8, 0), pixels, png_chunk("eXIf", little_tiff(0x0112, 3, 1, 7)), png_chunk("IEND", {})});
  PngSpanBytes bytes(png);
  EXPECT_EQ(picture_orientation(bytes), 7);
}

TEST(PictureOrientation, ReadsATiffFilesOwnDirectory) {
  const Bytes tiff = big_tiff(0x0112, 3, 1, 0x00030000);
  PngSpanBytes bytes(tiff);
  EXPECT_EQ(picture_orientation(bytes), 3);
}

}  // namespace
