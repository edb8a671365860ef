#include "read/pnm_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <variant>

#include "testing/reader_twins.h"

namespace {

// The PNM's quads, or its refusal's reason.
std::variant<Bytes, std::string> pnm_quads(const Bytes& pnm) { return reader_quads<PnmReader>(pnm, "not a PNM"); }

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

// Rows of text samples read on their own, the lower one first: a comment, and a row split across
// lines, between them.
TEST(PnmRows, OfTextSamplesReadOnTheirOwn) {
  const Bytes pgm = text("P2 3 2 255\n1 2 3 # a comment\n4 5\n6\n");
  EXPECT_EQ(rows_read_alone<PnmReader>(pgm),
            (Bytes{1, 1, 1, 255, 2, 2, 2, 255, 3, 3, 3, 255, 4, 4, 4, 255, 5, 5, 5, 255, 6, 6, 6, 255}));
}

struct Twin {
  const char* pnm;
  const char* png;
};

void PrintTo(const Twin& twin, std::ostream* out) { *out << twin.pnm; }

// Files written by ImageMagick from the PNG beside them (the 16-bit PPM's PNG is ImageMagick's
// copy of it, 16 bits too; the grey PAM holds the binary PGM's samples under a PAM header).
class PnmPictures : public testing::TestWithParam<Twin> {};

TEST_P(PnmPictures, GiveTheSamePixelsAsTheirPng) {
  const std::variant<Bytes, std::string> got = pnm_quads(reader_test_file(GetParam().pnm));
  ASSERT_TRUE(std::holds_alternative<Bytes>(got)) << std::get<std::string>(got);
  const Bytes expected = png_twin_quads(GetParam().png);
  ASSERT_EQ(expected.size(), std::size_t{7 * 5 * 4});
  EXPECT_EQ(std::get<Bytes>(got), expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PnmPictures,
                         testing::Values(Twin{"pnm-p1.pbm", "mono.png"}, Twin{"pnm-p4.pbm", "mono.png"},
                                         Twin{"pnm-p2.pgm", "grey.png"}, Twin{"pnm-p5.pgm", "grey.png"},
                                         Twin{"pnm-p2-16.pgm", "grey.png"}, Twin{"pnm-p3.ppm", "colour.png"},
                                         Twin{"pnm-p6.ppm", "colour.png"}, Twin{"pnm-p6-16.ppm", "pnm-p6-16.png"},
                                         Twin{"pnm-p7-rgba.pam", "alpha.png"}, Twin{"pnm-p7-grey.pam", "grey.png"}));

using namespace std::string_view_literals;

struct Made {
  const char* name;
  std::string_view file;
  Bytes expected;
};

void PrintTo(const Made& c, std::ostream* out) { *out << c.name; }

// Small files written by hand, for what the tools do not write: comments, odd maximum values,
// bits run together, PAM's black and white.
class PnmByHand : public testing::TestWithParam<Made> {};

TEST_P(PnmByHand, GiveTheirPixels) {
  const std::variant<Bytes, std::string> got = pnm_quads(text(GetParam().file));
  ASSERT_TRUE(std::holds_alternative<Bytes>(got)) << std::get<std::string>(got);
  EXPECT_EQ(std::get<Bytes>(got), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, PnmByHand,
    testing::Values(
        Made{"CommentsAndBitsRunTogether", "P1 # a comment\n2 # another\n1\n10", {0, 0, 0, 255, 255, 255, 255, 255}},
        Made{"MaxvalSevenRounds", "P2 2 1 7 3 4", {109, 109, 109, 255, 146, 146, 146, 255}},
        // A comment right after the last number ends the header with its line, as ImageMagick
        // reads these bytes: ff0000 0080ff; grey 10 20; bits a5 as black, white, black, white...
        Made{"CommentEndsTheBinaryHeader",
             "P6 2 1 255# GIMP\n\xff\x00\x00\x00\x80\xff"sv,
             {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0xFF}},
        Made{"CommentsEverywhereCarriageReturnLast",
             "P5\n# a\n2 # b\n1\n# c\n255# d\r\x10\x20"sv,
             {0x10, 0x10, 0x10, 0xFF, 0x20, 0x20, 0x20, 0xFF}},
        Made{"CommentAfterABitmapsHeight", "P4 8 1# x\n\xa5"sv, {0,   0,   0,   255, 255, 255, 255, 255, 0,   0,  0,
                                                                 255, 255, 255, 255, 255, 255, 255, 255, 255, 0,  0,
                                                                 0,   255, 255, 255, 255, 255, 0,   0,   0,   255}},
        Made{"PamBlackAndWhiteOneIsWhite",
             "P7\nWIDTH 2\nHEIGHT 1\nDEPTH 1\nMAXVAL 1\nTUPLTYPE BLACKANDWHITE\nENDHDR\n\x01\x00"sv,
             {255, 255, 255, 255, 0, 0, 0, 255}},
        Made{"PamGreyAlpha",
             "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 2\nMAXVAL 255\nTUPLTYPE GRAYSCALE_ALPHA\nENDHDR\n\x50\x80",
             {0x50, 0x50, 0x50, 0x80}}));

struct Damaged {
  const char* name;
  std::string_view file;
  const char* reason;
};

void PrintTo(const Damaged& c, std::ostream* out) { *out << c.name; }

class DamagedPnms : public testing::TestWithParam<Damaged> {};

TEST_P(DamagedPnms, AreRefusedWithTheReason) {
  const std::variant<Bytes, std::string> got = pnm_quads(text(GetParam().file));
  ASSERT_TRUE(std::holds_alternative<std::string>(got));
  EXPECT_EQ(std::get<std::string>(got), GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, DamagedPnms,
    testing::Values(
        Damaged{"NoHeight", "P6 4", "the PPM header has no width and height"},
        Damaged{"MaxvalZero", "P5 1 1 0 ", "the PGM header's maximum value is missing or not from 1 to 65535"},
        Damaged{"MaxvalTooLarge", "P5 1 1 65536 ", "the PGM header's maximum value is missing or not from 1 to 65535"},
        Damaged{"BinaryCutShort", "P6 2 1 255 abcde",
                "the PPM is cut short: its 2 x 1 pixels need 6 bytes and 5 follow its header"},
        Damaged{"SixteenBitCutShort", "P5 2 1 1000 abc",
                "the PGM is cut short: its 2 x 1 pixels need 4 bytes and 3 follow its header"},
        Damaged{"TextCutShort", "P3 1 1 255 1 2", "the PPM is cut short or holds something other than a sample"},
        Damaged{"TextNotASample", "P1 2 1 1 x", "the PBM is cut short or holds something other than a sample"},
        Damaged{"SampleAboveMaxval", "P2 1 1 100 101", "the PGM has a sample of 101 above its maximum value of 100"},
        Damaged{"BinarySampleAboveMaxval", "P5 1 1 100 \x7F",
                "the PGM has a sample of 127 above its maximum value of 100"},
        Damaged{"NoPixels", "P4 0 3 ", "the picture has no pixels"},
        Damaged{"PamNoEnd", "P7\nWIDTH 1\nHEIGHT 1\n", "the PAM header ends before ENDHDR"},
        Damaged{"PamUnknownLine", "P7\nCOLOUR 1\nENDHDR\n", "the PAM header has a line it does not know: COLOUR"},
        Damaged{"PamMissingField", "P7\nWIDTH 1\nHEIGHT 1\nMAXVAL 255\nENDHDR\n",
                "the PAM header lacks one of WIDTH, HEIGHT, DEPTH and MAXVAL"},
        Damaged{"PamDepthAgainstType", "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nTUPLTYPE GRAYSCALE\nENDHDR\nabc",
                "the PAM header's DEPTH 3 does not fit its tuple type GRAYSCALE"},
        Damaged{"PamUnknownType", "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE CMYK\nENDHDR\nabcd",
                "the PAM's tuple type CMYK is none of BLACKANDWHITE, GRAYSCALE and RGB, with or without _ALPHA"},
        Damaged{"OverTheLimit", "P5 2000 1000 255 ",
                "2000 x 1000 pixels, more than the 1048576 a compressed picture may have (--max-pixels raises the "
                "limit)"},
        Damaged{"NotAPnm", "P8 1 1 255 a", "not a PNM"}));

}  // namespace
