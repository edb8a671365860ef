#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "jobs/pack_fixed_stride.h"
#include "pixels/little_endian.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"
#include "testing/unopenable_input.h"

namespace {

struct ConvertCase {
  const char* name;
  BmpLayout layout;
};

class ExportFromMappedFile : public testing::TestWithParam<ConvertCase> {};

TEST_P(ExportFromMappedFile, GivesTheStoredRowsInStoredOrder) {
  TempDir dir;
  const BmpLayout& layout = GetParam().layout;
  const Bytes bmp = make_bmp(layout, pattern_pixel);
  write_file(dir.file("in.bmp"), bmp);
  ScriptedFrame frame(dir.file("in.bmp"), dir.file("out.bin"));
  frame.run(dialog_job<pack_fixed_stride>);
  EXPECT_EQ(frame.statuses(), (std::vector<std::string>{"Saving", "Done"}));
  const std::optional<Bytes> raw = read_file(dir.file("out.bin"));
  ASSERT_TRUE(raw.has_value());
  EXPECT_EQ(raw->size(),
            static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(std::abs(layout.height)) * 2);
  EXPECT_TRUE(*raw == expected_raw(layout, pattern_pixel));
  EXPECT_EQ(read_file(dir.file("in.bmp")), bmp);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, ExportFromMappedFile,
    testing::Values(ConvertCase{"Width40BottomUp", {.width = 40, .height = 7}},
                    ConvertCase{"Width39BottomUp", {.width = 39, .height = 7}},
                    ConvertCase{"Width40TopDown", {.width = 40, .height = -6}},
                    ConvertCase{"Width39TopDown", {.width = 39, .height = -6}},
                    ConvertCase{"OneRow", {.width = 40, .height = 1}},
                    // Pixels behind a 58-byte header, as Talvose writes them, are read from 58, not 54.
                    ConvertCase{"PixelDataAt58", {.width = 40, .height = 3, .gap = 4}},
                    ConvertCase{"LongerInformationHeader", {.width = 39, .height = 3, .info_size = 124}},
                    // A single row never steps 120 bytes, so a narrow one stays inside the file.
                    ConvertCase{"NarrowSingleRow", {.width = 3, .height = 1}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(ExportFromMappedFile, WalksWiderPicturesAt120BytesPerRow) {
  TempDir dir;
  const BmpLayout layout{.width = 60, .height = 5};
  const Bytes bmp = make_bmp(layout, pattern_pixel);
  write_file(dir.file("wide.bmp"), bmp);
  ScriptedFrame frame(dir.file("wide.bmp"), dir.file("wide.bin"));
  frame.run(dialog_job<pack_fixed_stride>);
  EXPECT_EQ(frame.status(), "Done");
  // Output row r holds the 60 triples that start 120 * r bytes into the pixel data: from the second
  // row on they drift away from the 180-byte stored rows.
  Bytes expected;
  for (std::size_t r = 0; r < 5; ++r) {
    for (std::size_t x = 0; x < 60; ++x) {
      const std::uint8_t* triple = bmp.data() + 54 + 120 * r + 3 * x;
      const std::uint16_t word = word_by_hand({triple[0], triple[1], triple[2]});
      expected.push_back(static_cast<std::uint8_t>(word));
      expected.push_back(static_cast<std::uint8_t>(word >> 8));
    }
  }
  ASSERT_EQ(expected.size(), 60u * 5 * 2);
  EXPECT_TRUE(read_file(dir.file("wide.bin")) == expected);
}

TEST(ExportFromMappedFile, SamePathInBothFieldsReplacesTheBmp) {
  TempDir dir;
  const BmpLayout layout{.width = 39, .height = 4};
  write_file(dir.file("both"), make_bmp(layout, pattern_pixel));
  ScriptedFrame frame(dir.file("both"), dir.file("both"));
  frame.run(dialog_job<pack_fixed_stride>);
  EXPECT_EQ(frame.status(), "Done");
  EXPECT_TRUE(read_file(dir.file("both")) == expected_raw(layout, pattern_pixel));
}

// 33 bytes: a file header and the start of an information header that ends inside the compression
// field, the last of the fields the job reads.
constexpr std::array<std::uint8_t, 33> cut_in_compression{
    'B', 'M', 87, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
    40,  0,   0,  0, 1, 0, 0, 0, 1, 0, 0,  0, 1, 0, 24, 0, 0, 0, 0};
static_assert(cut_in_compression.size() == 33);

Bytes good_bmp() { return make_bmp({.width = 40, .height = 5}, pattern_pixel); }

Bytes with_u16(std::size_t offset, std::uint16_t value) {
  Bytes bmp = good_bmp();
  store_le16(bmp.data() + offset, value);
  return bmp;
}

Bytes with_u32(std::size_t offset, std::uint32_t value) {
  Bytes bmp = good_bmp();
  store_le32(bmp.data() + offset, value);
  return bmp;
}

struct RefusalCase {
  const char* name;
  Bytes input;
};

class ExportFromMappedFileRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(ExportFromMappedFileRefusal, IsAnUnsupportedPictureAndTouchesNoFile) {
  TempDir dir;
  const Bytes old_output{1, 2, 3};
  write_file(dir.file("in.bmp"), GetParam().input);
  write_file(dir.file("out.bin"), old_output);
  ScriptedFrame frame(dir.file("in.bmp"), dir.file("out.bin"));
  frame.run(dialog_job<pack_fixed_stride>);
  EXPECT_EQ(frame.statuses(), std::vector<std::string>{"Unsupported picture"});
  EXPECT_EQ(read_file(dir.file("in.bmp")), GetParam().input);
  EXPECT_EQ(read_file(dir.file("out.bin")), old_output);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, ExportFromMappedFileRefusal,
    testing::Values(
        RefusalCase{"ShorterThanTheHeaderFields", Bytes(cut_in_compression.begin(), cut_in_compression.end())},
        RefusalCase{"ThirtyTwoBitsPerPixel", with_u16(28, 32)}, RefusalCase{"EightBitsPerPixel", with_u16(28, 8)},
        RefusalCase{"RunLengthCompressed", with_u32(30, 1)}, RefusalCase{"BitFields", with_u32(30, 3)},
        RefusalCase{"WidthZero", with_u32(18, 0)}, RefusalCase{"HeightZero", with_u32(22, 0)},
        RefusalCase{"NegativeWidth", with_u32(18, 0xFFFFFFD8)},
        // 65,536 x 32,769 pixels make 2^32 + 2^17 output bytes, yet the walk stays inside this
        // 4 MB file: only the count itself can refuse it.
        RefusalCase{"OutputCountOver32Bits",
                    [] {
                      Bytes bmp = with_u32(18, 0x10000);
                      store_le32(bmp.data() + 22, 0x8001);
                      bmp.resize(54 + 120 * 0x8000 + 3 * 0x10000);
                      return bmp;
                    }()},
        RefusalCase{"MostNegativeHeight", with_u32(22, 0x80000000)}, RefusalCase{"TallerThanTheFile", with_u32(22, 6)},
        RefusalCase{"LastByteMissing",
                    [] {
                      Bytes bmp = good_bmp();
                      bmp.pop_back();
                      return bmp;
                    }()},
        RefusalCase{"PixelDataOffsetPastTheEnd", with_u32(10, 54 + 600)},
        // Offset + extent wraps to a small number in 32 bits.
        RefusalCase{"PixelDataOffsetWrapping", with_u32(10, 0xFFFFFF00)},
        // Stored rows of 12 bytes: the 120-byte steps run past the end from the second row on.
        RefusalCase{"NarrowRowsWalkedPastTheEnd", make_bmp({.width = 3, .height = 5}, pattern_pixel)}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(ExportFromMappedFile, AnInputItCannotOpenTouchesNoFile) {
  expect_unopenable_inputs_touch_no_file(dialog_job<pack_fixed_stride>, good_bmp());
}

}  // namespace
