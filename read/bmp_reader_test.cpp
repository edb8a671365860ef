#include "read/bmp_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "pixels/little_endian.h"
#include "testing/test_files.h"

namespace {

// A 2 x 2 bottom-up 24-bit picture with the 40-byte information header: 54 bytes of headers, then
// two stored rows of 8 bytes (6 bytes of triples and 2 of padding).
// clang-format off
constexpr std::uint8_t two_by_two[] = {
    'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                 // signature, size, reserved, pixel offset
    40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,               // header size, width, height, planes, bits
    0, 0, 0, 0, 16, 0, 0, 0,                                        // compression, image size
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                 // resolution, colours
    0xFF, 0, 0, 0, 0xFF, 0, 0xEE, 0xEE,                             // bottom row: blue, green, padding
    0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xEE, 0xEE,                       // top row: red, white, padding
};
static_assert(sizeof two_by_two == 70);

// A 1 x 2 picture with the 12-byte core header: 16-bit width and height, no compression field.
constexpr std::uint8_t core_one_by_two[] = {
    'B', 'M', 34, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0,                 // signature, size, reserved, pixel offset
    12, 0, 0, 0, 1, 0, 2, 0, 1, 0, 24, 0,                           // header size, width, height, planes, bits
    1, 2, 3, 0xEE,                                                  // bottom row
    4, 5, 6, 0xEE,                                                  // top row
};
static_assert(sizeof core_one_by_two == 34);
// clang-format on

template <std::size_t n>
std::span<const std::uint8_t> bytes_of(const std::uint8_t (&array)[n]) {
  return {array, n};
}

TEST(Bmp24Reader, ReadsABottomUpPictureWithThe40ByteHeader) {
  const BmpPicture bmp = read_bmp(two_by_two);
  ASSERT_EQ(bmp.verdict, BmpVerdict::picture);
  EXPECT_EQ(bmp.width, 2u);
  EXPECT_EQ(bmp.height, 2u);
  EXPECT_FALSE(bmp.top_down);
  EXPECT_EQ(bmp.bits_per_pixel, 24);
  EXPECT_EQ(bmp.compression, 0u);
  EXPECT_EQ(bmp.row_length, 8u);
  EXPECT_EQ(bmp.rows.data(), two_by_two + 54);
  EXPECT_EQ(bmp.rows.size(), 16u);
}

TEST(Bmp24Reader, ReadsTheCoreHeaderOfOldFiles) {
  const BmpPicture bmp = read_bmp(core_one_by_two);
  ASSERT_EQ(bmp.verdict, BmpVerdict::picture);
  EXPECT_EQ(bmp.width, 1u);
  EXPECT_EQ(bmp.height, 2u);
  EXPECT_FALSE(bmp.top_down);
  EXPECT_EQ(bmp.row_length, 4u);
  EXPECT_EQ(bmp.rows.data(), core_one_by_two + 26);
  EXPECT_EQ(bmp.rows.size(), 8u);
}

// Every cut of a valid file leaves a header or pixel data past its end.
TEST(Bmp24Reader, RejectsHeadersOrPixelDataPastEndOfFile) {
  for (const std::span<const std::uint8_t> file : {bytes_of(two_by_two), bytes_of(core_one_by_two)}) {
    for (std::size_t length = 0; length < file.size(); ++length) {
      const BmpPicture bmp = read_bmp(file.first(length));
      EXPECT_EQ(bmp.verdict, BmpVerdict::not_a_picture) << length << " of " << file.size() << " bytes";
      EXPECT_TRUE(bmp.rows.empty());
    }
  }
}

// The rows found from the headers alone and the file's length, for a job that maps them later: the
// headers given, then the whole file's length against the rows it must hold.
struct RowsCase {
  const char* name;
  std::span<const std::uint8_t> start;
  std::uint64_t length;
  std::optional<BmpRowsAt> rows;
};

TEST(Bmp24Reader, FindsTheRowsFromTheHeadersAndTheFilesLength) {
  const RowsCase cases[] = {
      {"HeadersOnly", bytes_of(two_by_two).first(54), 70, BmpRowsAt{2, 2, false, 8, 54}},
      {"LongerFile", bytes_of(two_by_two).first(54), 1000, BmpRowsAt{2, 2, false, 8, 54}},
      {"CoreHeader", bytes_of(core_one_by_two).first(26), 34, BmpRowsAt{1, 2, false, 4, 26}},
      {"LastRowsPaddingMissing", bytes_of(two_by_two).first(54), 69, std::nullopt},
      {"HeadersCutShort", bytes_of(two_by_two).first(53), 70, std::nullopt},
      {"PixelOffsetPastTheEnd", bytes_of(two_by_two).first(54), 53, std::nullopt},
  };
  for (const RowsCase& c : cases) {
    const std::optional<BmpRowsAt> rows = find_bmp24_rows(c.start, c.length);
    ASSERT_EQ(rows.has_value(), c.rows.has_value()) << c.name;
    if (!rows) continue;
    EXPECT_EQ(rows->width, c.rows->width) << c.name;
    EXPECT_EQ(rows->height, c.rows->height) << c.name;
    EXPECT_EQ(rows->top_down, c.rows->top_down) << c.name;
    EXPECT_EQ(rows->row_length, c.rows->row_length) << c.name;
    EXPECT_EQ(rows->pixel_offset, c.rows->pixel_offset) << c.name;
  }
}

// Every larger information header, with and without bytes (a colour table, say) between the
// headers and the pixel data: the rows start at the pixel offset.
struct InfoHeaderCase {
  std::uint32_t info_size;
  std::uint32_t gap;
};

class Bmp24ReaderInfoHeaders : public testing::TestWithParam<InfoHeaderCase> {};

TEST_P(Bmp24ReaderInfoHeaders, FindsTheRowsAtThePixelOffset) {
  const BmpLayout layout{.width = 3, .height = -5, .info_size = GetParam().info_size, .gap = GetParam().gap};
  const Bytes file = make_bmp(layout, pattern_pixel);
  const BmpPicture bmp = read_bmp(file);
  ASSERT_EQ(bmp.verdict, BmpVerdict::picture);
  EXPECT_EQ(bmp.width, 3u);
  EXPECT_EQ(bmp.height, 5u);
  EXPECT_TRUE(bmp.top_down);
  EXPECT_EQ(bmp.row_length, 12u);
  EXPECT_EQ(bmp.rows.data(), file.data() + 14 + layout.info_size + layout.gap);
  EXPECT_EQ(bmp.rows.size(), 60u);
}

INSTANTIATE_TEST_SUITE_P(AllSizes, Bmp24ReaderInfoHeaders,
                         testing::Values(InfoHeaderCase{40, 0}, InfoHeaderCase{52, 0}, InfoHeaderCase{56, 0},
                                         InfoHeaderCase{108, 0}, InfoHeaderCase{124, 0}, InfoHeaderCase{40, 1024},
                                         InfoHeaderCase{124, 6}));

// One or more header fields of two_by_two changed, and the verdict that must follow.
struct Field32 {
  std::size_t offset;
  std::uint32_t value;
};

struct HeaderCase {
  const char* name;
  std::vector<Field32> fields;
  BmpVerdict verdict;
};

void PrintTo(const HeaderCase& c, std::ostream* out) { *out << c.name; }

class Bmp24ReaderHeaders : public testing::TestWithParam<HeaderCase> {};

TEST_P(Bmp24ReaderHeaders, GivesTheVerdictAndNoRowsUnlessAPicture) {
  Bytes file(std::begin(two_by_two), std::end(two_by_two));
  for (const Field32& field : GetParam().fields) store_le32(file.data() + field.offset, field.value);
  const BmpPicture bmp = read_bmp(file);
  EXPECT_EQ(bmp.verdict, GetParam().verdict);
  if (bmp.verdict != BmpVerdict::picture) {
    EXPECT_TRUE(bmp.rows.empty());
  }
}

constexpr std::size_t pixel_offset = 10, info_size = 14, width = 18, height = 22, planes_and_bits = 26,
                      compression = 30;
constexpr std::uint32_t planes_1_bits(std::uint16_t bits) { return 1u | (std::uint32_t{bits} << 16); }
constexpr auto not_a_picture = BmpVerdict::not_a_picture;
constexpr auto unsupported = BmpVerdict::unsupported;

INSTANTIATE_TEST_SUITE_P(
    Fields, Bmp24ReaderHeaders,
    testing::Values(HeaderCase{"FileAndImageSizeFieldsIgnored", {{2, 1}, {34, 0xFFFFFFFF}}, BmpVerdict::picture},
                    HeaderCase{"NoSignature", {{0, 0x00464D58}}, not_a_picture},
                    HeaderCase{"PixelOffsetInsideTheHeaders", {{pixel_offset, 46}}, not_a_picture},
                    HeaderCase{"PixelOffsetZero", {{pixel_offset, 0}}, not_a_picture},
                    HeaderCase{"PixelOffsetAtEnd", {{pixel_offset, 70}}, not_a_picture},
                    HeaderCase{"PixelOffsetPastEnd", {{pixel_offset, 71}}, not_a_picture},
                    HeaderCase{"PixelOffsetHuge", {{pixel_offset, 0xFFFFFFFF}}, not_a_picture},
                    HeaderCase{"InfoSize20", {{info_size, 20}}, not_a_picture},
                    HeaderCase{"InfoSize66", {{info_size, 66}}, not_a_picture},
                    HeaderCase{"InfoSizeHuge", {{info_size, 0xFFFFFFFF}}, not_a_picture},
                    HeaderCase{"NoPlanes", {{planes_and_bits, 24u << 16}}, not_a_picture},
                    HeaderCase{"NegativeWidth", {{width, static_cast<std::uint32_t>(-2)}}, not_a_picture},
                    HeaderCase{"MinimumHeight", {{height, 0x80000000}}, not_a_picture},
                    HeaderCase{"MoreRowsThanStored", {{height, 3}}, not_a_picture},
                    HeaderCase{"MoreTopDownRowsThanStored", {{height, static_cast<std::uint32_t>(-3)}}, not_a_picture},
                    HeaderCase{"WiderThanStored", {{width, 3}}, not_a_picture},
                    HeaderCase{"MaximumHeight", {{height, 0x7FFFFFFF}}, unsupported},
                    HeaderCase{"TwoBits", {{planes_and_bits, planes_1_bits(2)}}, unsupported},
                    HeaderCase{"SixtyFourBits", {{planes_and_bits, planes_1_bits(64)}}, unsupported},
                    HeaderCase{"NoBits", {{planes_and_bits, planes_1_bits(0)}}, unsupported},
                    HeaderCase{"RunLengthCoded", {{compression, 1}}, unsupported},
                    HeaderCase{"BitFields", {{compression, 3}}, unsupported},
                    HeaderCase{"WidthZero", {{width, 0}}, unsupported},
                    HeaderCase{"HeightZero", {{height, 0}}, unsupported},
                    // 65535 x 32768 x 2 still fits 32 bits: then the missing pixel data is what is wrong.
                    HeaderCase{"RawImageJustFitsButDataMissing", {{width, 65535}, {height, 32768}}, not_a_picture},
                    HeaderCase{"RawImagePast32Bits", {{width, 65536}, {height, 32768}}, unsupported},
                    HeaderCase{"TopDownRawImagePast32Bits",
                               {{width, 65536}, {height, static_cast<std::uint32_t>(-32768)}},
                               unsupported},
                    // 0x7FFFFFFF x 1 x 2 fits 32 bits, but its stored row length does not.
                    HeaderCase{"RowLengthPast32Bits", {{width, 0x7FFFFFFF}, {height, 1}}, unsupported}),
    [](const testing::TestParamInfo<HeaderCase>& param_info) { return std::string(param_info.param.name); });

}  // namespace
