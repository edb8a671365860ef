#include "read/tiff_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "testing/reader_twins.h"

namespace {

// The TIFF's quads, or its refusal's reason.
std::variant<Bytes, std::string> tiff_quads(const Bytes& tiff) { return reader_quads<TiffReader>(tiff, "not taken"); }

// TIFFs with alpha that ImageMagick and Pillow wrote (reader-tests/make.sh), each beside the PNG
// that ImageMagick made of it: the same pixels, associated colours divided by their alpha.
class TiffPictures : public testing::TestWithParam<const char*> {};

TEST_P(TiffPictures, GiveThePixelsImageMagickReads) {
  const std::string name = GetParam();
  const std::variant<Bytes, std::string> got = tiff_quads(reader_test_file((name + ".tiff").c_str()));
  ASSERT_TRUE(std::holds_alternative<Bytes>(got)) << std::get<std::string>(got);
  const Bytes expected = png_twin_quads((name + "-expected.png").c_str());
  ASSERT_EQ(expected.size(), std::size_t{7 * 5 * 4});
  EXPECT_EQ(std::get<Bytes>(got), expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, TiffPictures,
                         testing::Values("tiff-rgba", "tiff-rgba-associated-lzw",
                                         "tiff-rgba-associated-lzw-predictor-msb", "tiff-rgba16-zip",
                                         "tiff-rgba16-associated-zip-predictor-msb", "tiff-grey-alpha-packbits",
                                         "tiff-grey-alpha16", "tiff-pillow-rgba", "tiff-pillow-la-deflate"));

// A TIFF without alpha is the codecs' to read; one with alpha whose strips are damaged is refused.
TEST(TiffReader, LeavesOtherTiffsToTheCodecsAndRefusesDamagedStrips) {
  EXPECT_EQ(tiff_quads(reader_test_file("colour.tiff")), (std::variant<Bytes, std::string>("not taken")));
  EXPECT_EQ(tiff_quads(reader_test_file("colour.png")), (std::variant<Bytes, std::string>("not taken")));

  const Bytes whole = reader_test_file("tiff-rgba-associated-lzw.tiff");
  // Where the value of a tag's directory entry lies (its one strip's offset, 273, or length, 279).
  const auto value_at = [](const Bytes& tiff, int tag) {
    const std::size_t directory = tiff[4] | tiff[5] << 8 | tiff[6] << 16 | std::size_t{tiff[7]} << 24;
    for (std::size_t k = 0; k < std::size_t(tiff[directory] | tiff[directory + 1] << 8); ++k) {
      const std::size_t entry = directory + 2 + 12 * k;
      if ((tiff[entry] | tiff[entry + 1] << 8) == tag) return entry + 8;
    }
    return std::size_t{0};
  };
  const std::size_t at = whole[value_at(whole, 273)] | whole[value_at(whole, 273) + 1] << 8;
  ASSERT_GT(at, 0u);
  Bytes cut = whole;
  cut[value_at(whole, 279)] = 0xFF;
  cut[value_at(whole, 279) + 1] = 0xFF;
  EXPECT_EQ(tiff_quads(cut),
            (std::variant<Bytes, std::string>("the TIFF is cut short: its strip 1 lies past its end")));
  Bytes garbled = whole;
  // The codes are 9 bits wide at first, high bit first: a clear, a byte's code, then one of 511 in
  // bits 18 to 26, where the next code the table makes is 258.
  garbled[at + 2] |= 0x3F;
  garbled[at + 3] |= 0xE0;
  EXPECT_EQ(
      tiff_quads(garbled),
      (std::variant<Bytes, std::string>("the TIFF is damaged: its strip 1 holds LZW code 511 before it is made")));
}

}  // namespace
