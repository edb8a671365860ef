// A BMP read in bands through windows of its file: run-length codes that cross windows, bands walked
// from the file's end, windows holding a single code, and the refusals the first walk finds before
// any band is read. Expectations are worked out by hand from the codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "read/bmp_bands.h"
#include "testing/test_files.h"

namespace {

// The colour table of every file here: three colours, each the matching entry of `colours`.
const Bytes table = {0x10, 0x20, 0x30, 0, 0xA0, 0xB0, 0xC0, 0, 0x41, 0x42, 0x43, 0};
const Bytes colours[] = {{0x10, 0x20, 0x30}, {0xA0, 0xB0, 0xC0}, {0x41, 0x42, 0x43}};

void add(Bytes& to, std::size_t count, std::uint8_t colour) {
  for (std::size_t k = 0; k < count; ++k) to.insert(to.end(), colours[colour].begin(), colours[colour].end());
}

// RLE8, 255 x 4, 472 bytes of codes: stored row 0 an absolute run of 255 pixels 0 1 2 0 1 2 ...
// (258 bytes with its pad byte), an end of line; row 1 a run of 100 pixels of 1, an end of line;
// a delta of 10 right and 1 up, over row 2 to (10, 3); an absolute run of 200 pixels 2 1 2 1 ...;
// the end of the picture.
Bytes long_codes() {
  Bytes codes = {0, 255};
  for (std::uint32_t k = 0; k < 255; ++k) codes.push_back(static_cast<std::uint8_t>(k % 3));
  codes.push_back(0);
  codes.insert(codes.end(), {0, 0, 100, 1, 0, 0, 0, 2, 10, 1, 0, 200});
  for (std::uint32_t k = 0; k < 200; ++k) codes.push_back(k % 2 == 0 ? 2 : 1);
  codes.insert(codes.end(), {0, 1});
  return codes;
}

Bytes long_pixels() {
  Bytes pixels;
  for (std::uint8_t k = 0; k < 255; ++k) add(pixels, 1, k % 3);
  add(pixels, 100, 1);
  add(pixels, 155 + 255 + 10, 0);
  for (std::uint32_t k = 0; k < 200; ++k) add(pixels, 1, k % 2 == 0 ? 2 : 1);
  add(pixels, 45, 0);
  return pixels;
}

Bytes cut(Bytes file, std::size_t length) {
  file.resize(length);
  return file;
}

struct BandCase {
  const char* name;
  Bytes file;
  std::uint32_t band_rows;
  bool reverse;
  std::uint64_t window;
  Bytes pixels;         // stored rows in stored order, when the picture converts
  std::string refusal;  // else the survey's reason
  std::uint64_t pixel_limit = default_pixel_limit;
};

void PrintTo(const BandCase& c, std::ostream* out) { *out << c.name; }

class BmpBandsRead : public testing::TestWithParam<BandCase> {};

TEST_P(BmpBandsRead, GivesTheHandWorkedRowsOrRefusal) {
  const BandCase& c = GetParam();
  TempDir dir;
  write_file(dir.file("in.bmp"), c.file);
  std::variant<FileView, SystemError> opened = FileView::open(dir.file("in.bmp").c_str(), ViewKind::read_only, 1024);
  ASSERT_TRUE(std::holds_alternative<FileView>(opened));
  auto found = BmpBands::find(std::get<FileView>(opened), c.window);
  ASSERT_TRUE(std::holds_alternative<BmpBands>(found));
  BmpBands* bands = &std::get<BmpBands>(found);
  const std::optional<Failure> failed = bands->survey(c.pixel_limit, c.band_rows, c.reverse);
  if (!c.refusal.empty()) {
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->reason, c.refusal);
    return;
  }
  ASSERT_FALSE(failed.has_value()) << failed->reason;
  const std::uint32_t height = bands->height();
  const std::size_t row = std::size_t{bands->width()} * 3;
  Bytes pixels(row * height, 0xEE);
  // Twice, as a format that counts the colours first walks the picture.
  for (int pass = 0; pass < 2; ++pass) {
    for (std::uint32_t done = 0; done < height;) {
      const std::uint32_t count = std::min(c.band_rows, height - done);
      const std::uint32_t first = c.reverse ? height - done - count : done;
      auto got = bands->rows(first, count);
      ASSERT_TRUE(std::holds_alternative<std::span<const std::uint8_t>>(got));
      const std::span<const std::uint8_t> band = std::get<0>(got);
      ASSERT_EQ(band.size(), row * count);
      std::copy(band.begin(), band.end(), pixels.begin() + static_cast<std::ptrdiff_t>(row * first));
      done += count;
    }
    EXPECT_EQ(pixels, c.pixels) << "pass " << pass;
  }
}

Bytes rle4_pixels() {
  Bytes pixels;
  for (const std::uint8_t colour : {1, 2, 1, 2, 1, 2, 1, 0, 0, 0}) add(pixels, 1, colour);
  return pixels;
}

Bytes palette_pixels() {
  Bytes pixels;
  for (const std::uint8_t colour : {2, 1, 0, 0, 0, 1}) add(pixels, 1, colour);
  return pixels;
}

const char* const past_table = "a pixel names a colour past the colour table";

INSTANTIATE_TEST_SUITE_P(
    Bands, BmpBandsRead,
    testing::Values(
        BandCase{"Rle8WindowsOfOneCodeBandsOfOneRow", table_bmp(255, 4, 8, 1, table, long_codes()), 1, false, 258,
                 long_pixels(), ""},
        // The third window ends inside the second absolute run.
        BandCase{"Rle8BandsFromTheEndAcrossWindows", table_bmp(255, 4, 8, 1, table, long_codes()), 1, true, 300,
                 long_pixels(), ""},
        // Bands of rows 1 to 3, then row 0: the delta's skipped row lies inside the first.
        BandCase{"Rle8BandsOfThreeFromTheEnd", table_bmp(255, 4, 8, 1, table, long_codes()), 3, true, 300,
                 long_pixels(), ""},
        // A run of 5 alternating 1 and 2, an end of line, an absolute run of 2 1 0 (two bytes), the end.
        BandCase{"Rle4BandsFromTheEnd", table_bmp(5, 2, 4, 2, table, {5, 0x12, 0, 0, 0, 3, 0x21, 0x00, 0, 1}), 1, true,
                 258, rle4_pixels(), ""},
        // Stored rows 2 1 0 and 0 0 1 in a 4-bit picture with a short table.
        BandCase{"PaletteBandsFromTheEnd", table_bmp(3, 2, 4, 0, table, {0x21, 0x00, 0, 0, 0x00, 0x10, 0, 0}), 1, true,
                 258, palette_pixels(), ""},
        // A window of 258 bytes holds 64 of the 4-byte rows: row 68 is checked in the second.
        BandCase{"PaletteColourPastTheTableInASecondWindow",
                 [] {
                   Bytes rows(70 * 4, 0);
                   rows[68 * 4] = 7;
                   return table_bmp(1, 70, 8, 0, table, rows);
                 }(),
                 1,
                 false,
                 258,
                 {},
                 past_table},
        BandCase{"Rle8ColourPastTheTableInALaterWindow",
                 [] {
                   Bytes codes = long_codes();
                   codes[codes.size() - 3] = 9;  // the last pixel of the second absolute run
                   return table_bmp(255, 4, 8, 1, table, codes);
                 }(),
                 1,
                 true,
                 258,
                 {},
                 past_table},
        BandCase{"Rle8CodesCutShortInALaterWindow",
                 cut(table_bmp(255, 4, 8, 1, table, long_codes()), 66 + 400),
                 1,
                 false,
                 258,
                 {},
                 "the run-length codes are cut short"},
        BandCase{"Rle8OverThePixelLimit",
                 table_bmp(255, 4, 8, 1, table, long_codes()),
                 1,
                 false,
                 258,
                 {},
                 "255 x 4 pixels, more than the 1019 a compressed picture may have (--max-pixels raises the limit)",
                 1019}),
    [](const testing::TestParamInfo<BandCase>& param_info) { return std::string(param_info.param.name); });

}  // namespace
