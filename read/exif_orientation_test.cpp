// The EXIF orientation read from TIFF structures written out byte by byte in both byte orders (the
// pack tests read the JPEGs and PNGs that Pillow wrote), and from a PNG whose eXIf chunk follows its
// pixels.
#include "read/exif_orientation.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/png_file.h"

namespace {

// A TIFF header, its first directory following it with one entry, then no next directory. Little-
// endian (II) or big (MM); `value` is the entry's four value bytes as the byte order reads them.
Bytes tiff(bool big, std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
  Bytes bytes = big ? Bytes{'M', 'M', 0, 42} : Bytes{'I', 'I', 42, 0};
  const auto put = [&](std::uint32_t v, int length) {
    for (int i = 0; i < length; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> 8 * (big ? length - 1 - i : i)));
  };
  for (const auto& [v, length] :
       {std::pair{8u, 4}, {1u, 2}, {std::uint32_t{tag}, 2}, {std::uint32_t{type}, 2}, {count, 4}, {value, 4}, {0u, 4}})
    put(v, length);
  return bytes;
}

Bytes cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

struct Block {
  const char* name;
  Bytes bytes;
  std::uint8_t orientation;
};
void PrintTo(const Block& block, std::ostream* out) { *out << block.name; }

class ExifOrientation : public testing::TestWithParam<Block> {};

TEST_P(ExifOrientation, ReadsTheFirstDirectorysTag) {
  EXPECT_EQ(exif_orientation(GetParam().bytes), GetParam().orientation);
}

INSTANTIATE_TEST_SUITE_P(Blocks, ExifOrientation,
                         testing::Values(Block{"LittleShort6", tiff(false, 0x0112, 3, 1, 6), 6},
                                         // A SHORT lies in the first two value bytes: big-endian, the high half.
                                         Block{"BigShort8", tiff(true, 0x0112, 3, 1, 0x00080000), 8},
                                         Block{"BigLong3", tiff(true, 0x0112, 4, 1, 3), 3},
                                         Block{"AnotherTagOnly", tiff(false, 0x0110, 3, 1, 6), 1},
                                         Block{"Value9", tiff(false, 0x0112, 3, 1, 9), 1},
                                         Block{"Value0", tiff(false, 0x0112, 3, 1, 0), 1},
                                         Block{"TwoValues", tiff(false, 0x0112, 3, 2, 6), 1},
                                         Block{"Not42", Bytes{'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0}, 1},
                                         Block{"DirectoryPastEnd", Bytes{'I', 'I', 42, 0, 200, 0, 0, 0}, 1},
                                         Block{"EntryCutShort", cut(tiff(false, 0x0112, 3, 1, 6), 21), 1}),
                         [](const testing::TestParamInfo<Block>& param_info) {
                           return std::string(param_info.param.name);
                         });

TEST(PictureOrientation, FindsAPngsExifChunkAfterItsPixels) {
  const Bytes png = png_of({png_ihdr(1, 1, 8, 0), png_chunk("IDAT", png_deflated({0, 1})),
                            png_chunk("eXIf", tiff(false, 0x0112, 3, 1, 7)), png_chunk("IEND", {})});
  SpanByteWindows bytes(png);
  EXPECT_EQ(picture_orientation(bytes), 7);
}

}  // namespace
