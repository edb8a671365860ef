// LVGL 9 image headers written out by hand from LVGL's published layout, and which files unpack
// takes for an LVGL image.
#include "containers/lvgl_image.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

FormatSettings settings_of(PixelFormat format, ByteOrder bytes = ByteOrder::low_first, bool premultiply = false) {
  FormatSettings settings;
  settings.format = format;
  settings.word.bytes = bytes;
  settings.premultiply = premultiply;
  return settings;
}

struct HeaderCase {
  const char* name;
  FormatSettings settings;
  std::uint32_t width, height;
  std::optional<LvglHeader> expected;
};

const HeaderCase header_cases[] = {
    // RGB565_SWAPPED, 300 x 2: stride 600 = 0x0258.
    {"Rgb565Swapped", settings_of(PixelFormat::rgb565, ByteOrder::high_first), 300, 2,
     LvglHeader{0x19, 0x1B, 0x00, 0x00, 0x2C, 0x01, 0x02, 0x00, 0x58, 0x02, 0x00, 0x00}},
    // I4, premultiplied palette, 5 x 3: three bytes of indices a row.
    {"I4Premultiplied", settings_of(PixelFormat::i4, ByteOrder::low_first, true), 5, 3,
     LvglHeader{0x19, 0x09, 0x01, 0x00, 0x05, 0x00, 0x03, 0x00, 0x03, 0x00, 0x00, 0x00}},
    {"Rgb565a8StrideOfTheWords", settings_of(PixelFormat::rgb565a8), 7, 1,
     LvglHeader{0x19, 0x14, 0x00, 0x00, 0x07, 0x00, 0x01, 0x00, 0x0E, 0x00, 0x00, 0x00}},
    // A1, 9 x 2: two bytes a row.
    {"A1", settings_of(PixelFormat::a1), 9, 2,
     LvglHeader{0x19, 0x0B, 0x00, 0x00, 0x09, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0x00}},
    {"A2", settings_of(PixelFormat::a2), 5, 1,
     LvglHeader{0x19, 0x0C, 0x00, 0x00, 0x05, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00}},
    {"A4", settings_of(PixelFormat::a4), 3, 1,
     LvglHeader{0x19, 0x0D, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00}},
    {"A8", settings_of(PixelFormat::a8), 3, 1,
     LvglHeader{0x19, 0x0E, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00}},
    {"Al88Premultiplied", settings_of(PixelFormat::al88, ByteOrder::low_first, true), 3, 1,
     LvglHeader{0x19, 0x15, 0x01, 0x00, 0x03, 0x00, 0x01, 0x00, 0x06, 0x00, 0x00, 0x00}},
    {"Argb1555", settings_of(PixelFormat::argb1555), 3, 1,
     LvglHeader{0x19, 0x16, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x06, 0x00, 0x00, 0x00}},
    {"Argb4444", settings_of(PixelFormat::argb4444), 3, 1,
     LvglHeader{0x19, 0x17, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x06, 0x00, 0x00, 0x00}},
    {"NoSwappedArgb4444", settings_of(PixelFormat::argb4444, ByteOrder::high_first), 1, 1, std::nullopt},
    {"NoCodeForGray2", settings_of(PixelFormat::gray2), 1, 1, std::nullopt},
    {"NoCodeForRgb666", settings_of(PixelFormat::rgb666), 1, 1, std::nullopt},
    {"NoSwappedArgb8888", settings_of(PixelFormat::argb8888, ByteOrder::high_first), 1, 1, std::nullopt},
    {"WiderThanSixteenBits", settings_of(PixelFormat::gray8), 65536, 1, std::nullopt},
};

class LvglHeaders : public testing::TestWithParam<HeaderCase> {};

TEST_P(LvglHeaders, AreTheHandWrittenBytes) {
  const HeaderCase& c = GetParam();
  EXPECT_EQ(lvgl_header(c.settings, c.width, c.height), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LvglHeaders, testing::ValuesIn(header_cases),
                         [](const testing::TestParamInfo<HeaderCase>& param) { return std::string(param.param.name); });

// A 2 x 1 RGB565 image: its header, then two words.
std::vector<std::uint8_t> rgb565_image() {
  return {0x19, 0x12, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0xF8};
}

TEST(LvglHeaderRead, TakesAHeaderThatFitsTheFileAndNothingElse) {
  const std::vector<std::uint8_t> image = rgb565_image();
  const std::optional<LvglImage> read = read_lvgl_header(image, image.size());
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->settings.format, PixelFormat::rgb565);
  EXPECT_EQ(read->width, 2u);
  EXPECT_EQ(read->height, 1u);

  const struct {
    const char* what;
    std::size_t at;
    std::uint8_t value;
  } spoiled[] = {
      {"another magic", 0, 0x18}, {"an unknown format", 1, 0x7F}, {"another stride", 8, 0x06}, {"no rows", 6, 0x00}};
  for (const auto& s : spoiled) {
    std::vector<std::uint8_t> bytes = image;
    bytes[s.at] = s.value;
    EXPECT_FALSE(read_lvgl_header(bytes, bytes.size()).has_value()) << s.what;
  }
  EXPECT_FALSE(read_lvgl_header(image, image.size() + 1).has_value()) << "a longer file";
  EXPECT_FALSE(read_lvgl_header(image, image.size() - 1).has_value()) << "a shorter file";
}

}  // namespace
