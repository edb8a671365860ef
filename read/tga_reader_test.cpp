#include "read/tga_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "testing/reader_twins.h"

namespace {

// The TGA's quads, or its refusal's reason.
std::variant<Bytes, std::string> tga_quads(const Bytes& tga) { return reader_quads<TgaReader>(tga, "not a TGA"); }

struct Twin {
  const char* tga;
  const char* png;
};

void PrintTo(const Twin& twin, std::ostream* out) { *out << twin.tga; }

// TGAs written by ImageMagick (ffmpeg for 16 bits; the right-to-left one is a top-first file with
// bit 4 set by hand), each beside the PNG that ImageMagick made of it, upright (-auto-orient); the
// 16-bit one's PNG has 16-bit channels, so that its five-bit levels are not cut to 8 bits by truncation.
class TgaPictures : public testing::TestWithParam<Twin> {};

TEST_P(TgaPictures, GiveTheSamePixelsAsTheirPng) {
  const std::variant<Bytes, std::string> got = tga_quads(reader_test_file(GetParam().tga));
  ASSERT_TRUE(std::holds_alternative<Bytes>(got)) << std::get<std::string>(got);
  const Bytes expected = png_twin_quads(GetParam().png);
  ASSERT_EQ(expected.size(), std::size_t{7 * 5 * 4});
  EXPECT_EQ(std::get<Bytes>(got), expected);
}

// Each row on its own, from the bottom up, as a band read upward asks for them.
TEST_P(TgaPictures, ReadRowByRowFromTheBottomUp) {
  const Bytes rows = rows_read_alone<TgaReader>(reader_test_file(GetParam().tga));
  ASSERT_EQ(rows.size(), std::size_t{7 * 5 * 4});
  EXPECT_EQ(rows, png_twin_quads(GetParam().png));
}

INSTANTIATE_TEST_SUITE_P(Kinds, TgaPictures,
                         testing::Values(Twin{"tga24.tga", "tga24.png"}, Twin{"tga24-top.tga", "tga24-top.png"},
                                         Twin{"tga24-rle.tga", "tga24-rle.png"},
                                         Twin{"tga24-top-right-to-left.tga", "tga24-top-right-to-left.png"},
                                         Twin{"tga32.tga", "tga32.png"}, Twin{"tga32-rle-top.tga", "tga32-rle-top.png"},
                                         Twin{"tga8-mapped.tga", "tga8-mapped.png"},
                                         Twin{"tga8-mapped-rle.tga", "tga8-mapped-rle.png"},
                                         Twin{"tga8-grey.tga", "tga8-grey.png"}, Twin{"tga16.tga", "tga16.png"}));

// A 2 x 1 true-colour header, bottom row first, and its pixels.
Bytes header(std::uint8_t type, std::uint8_t depth, std::uint8_t descriptor, std::uint8_t map_type = 0,
             std::uint16_t map_length = 0) {
  return Bytes{0,     map_type,
               type,  0,
               0,     static_cast<std::uint8_t>(map_length),
               0,     map_type != 0 ? std::uint8_t{24} : std::uint8_t{0},
               0,     0,
               0,     0,
               2,     0,
               1,     0,
               depth, descriptor};
}

Bytes joined(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// 16-bit pixels: the attribute bit is alpha only when the descriptor names one alpha bit; five-bit
// channels round (1 -> 8, 4 -> 33, 31 -> 255).
struct Sixteen {
  const char* name;
  std::uint8_t descriptor;
  Bytes expected;
};

void PrintTo(const Sixteen& c, std::ostream* out) { *out << c.name; }

class TgaSixteen : public testing::TestWithParam<Sixteen> {};

TEST_P(TgaSixteen, WidenChannelsAndKeepAlphaAsTheDescriptorSays) {
  // Blue 1, green 4, red 31 with the attribute clear; then white with it set.
  const Bytes pixels{0x81, 0x7C, 0xFF, 0xFF};
  const std::variant<Bytes, std::string> got = tga_quads(joined(header(2, 16, GetParam().descriptor), pixels));
  ASSERT_TRUE(std::holds_alternative<Bytes>(got)) << std::get<std::string>(got);
  EXPECT_EQ(std::get<Bytes>(got), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Alpha, TgaSixteen,
                         testing::Values(Sixteen{"NoAlphaBits", 0x00, {8, 33, 255, 255, 255, 255, 255, 255}},
                                         Sixteen{"OneAlphaBit", 0x01, {8, 33, 255, 0, 255, 255, 255, 255}}));

// A 3 x 2 picture, bottom row first, coded as a run of 4 blue pixels and a raw packet of red and
// green: both rows start inside a packet, the top one 3 pixels into the run.
TEST(TgaRows, StartInsidePacketsThatRunOnAcrossRows) {
  Bytes tga = joined(header(10, 24, 0), {0x83, 255, 0, 0, 0x01, 0, 0, 255, 0, 255, 0});
  tga[12] = 3;
  tga[14] = 2;
  // The top row, blue then red and green; the bottom row, blue.
  EXPECT_EQ(rows_read_alone<TgaReader>(tga),
            (Bytes{255, 0, 0, 255, 0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255}));
}

struct Damaged {
  const char* name;
  Bytes file;
  const char* reason;
};

void PrintTo(const Damaged& c, std::ostream* out) { *out << c.name; }

class DamagedTgas : public testing::TestWithParam<Damaged> {};

TEST_P(DamagedTgas, AreRefusedWithTheReason) {
  const std::variant<Bytes, std::string> got = tga_quads(GetParam().file);
  ASSERT_TRUE(std::holds_alternative<std::string>(got));
  EXPECT_EQ(std::get<std::string>(got), GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, DamagedTgas,
    testing::Values(
        Damaged{"UncompressedCutShort", joined(header(2, 24, 0), {1, 2, 3, 4}),
                "the TGA is cut short: its 2 x 1 pixels need 6 bytes and 4 follow its header"},
        Damaged{"RunCutShort", joined(header(10, 24, 0), {0x81, 1, 2}),
                "the TGA is cut short: its run-length coded pixels end after 3 bytes"},
        Damaged{"RawPacketCutShort", joined(header(10, 24, 0), {0x00, 1, 2, 3}),
                "the TGA is cut short: its run-length coded pixels end after 4 bytes"},
        Damaged{"IndexPastTheMap", joined(header(1, 8, 0, 1, 1), {10, 20, 30, 0, 1}),
                "the TGA's pixel index 1 lies outside its colour map of 1 entries from 0"},
        Damaged{"OverTheLimit", Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 1, 1, 24, 0},
                "4096 x 257 pixels, more than the 1048576 a compressed picture may have (--max-pixels raises the "
                "limit)"},
        // Not plausible as a header: each is no TGA at all.
        Damaged{"UnknownType", joined(header(4, 24, 0), {1, 2, 3, 4, 5, 6}), "not a TGA"},
        Damaged{"GreyOfSixteenBits", joined(header(3, 16, 0), {1, 2, 3, 4}), "not a TGA"},
        Damaged{"MappedWithoutMap", joined(header(1, 8, 0), {0, 0}), "not a TGA"},
        Damaged{"InterleavingBits", joined(header(2, 24, 0x40), {1, 2, 3, 4, 5, 6}), "not a TGA"},
        Damaged{"Text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', ',', ' ', 'a', 'g', 'a', 'i', 'n'},
                "not a TGA"}));

}  // namespace
