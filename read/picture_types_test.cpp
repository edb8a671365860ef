// A file is known by its first bytes alone, each kind by its own signature, and a TGA (which has
// none) only when no signature claims the file; the lists in messages name every kind.
#include "read/picture_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> bytes(std::string_view text) { return {text.begin(), text.end()}; }

// An 18-byte TGA header of an uncompressed true-colour 2 x 1 picture of 24 bits, top row first.
std::string tga_header() { return std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\1\0\x18\x20", 18); }

TEST(PictureTypes, KnownByTheirFirstBytes) {
  const struct {
    std::string start;
    const char* name;  // null for none
  } cases[] = {
      {"BM", "BMP"},
      {"BMxxxxxxxxxxxxxxxxxxxxxx", "BMP"},
      {"\x89PNG\r\n\x1A\n", "PNG"},
      {"\x89PNG\r\n\x1A", nullptr},  // the signature cut short
      {"\xFF\xD8\xFF\xE0", "JPEG"},
      {"\xFF\xD8\x00", nullptr},
      {"GIF87a", "GIF"},
      {"GIF89a", "GIF"},
      {"GIF88a", nullptr},
      {std::string("II*\0", 4), "TIFF"},
      {std::string("MM\0*", 4), "TIFF"},
      {std::string("II\0*", 4), nullptr},  // the mark's byte order and the number's disagree
      {"P6 1 1 255\n", "PNM"},
      {"P4\n8 1\n", "PNM"},
      {tga_header(), "TGA"},
      {"RIFF\0\0\0\0WEBP", nullptr},
      {"<svg xmlns=\"http://www.w3.org/2000/svg\"/>", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    const PictureTypeRow* type = picture_type_of(bytes(c.start));
    if (c.name == nullptr) {
      EXPECT_EQ(type, nullptr) << c.start << " is " << type->name;
    } else {
      ASSERT_NE(type, nullptr) << c.start;
      EXPECT_EQ(type->name, c.name) << c.start;
    }
  }
}

TEST(PictureTypes, ATgaHeaderMustFitTheFileWhenItsLengthIsKnown) {
  // Two pixels of three bytes after the header: 24 bytes in all.
  const std::vector<std::uint8_t> start = bytes(tga_header() + "abcdef");
  ASSERT_NE(picture_type_of(start, 24), nullptr);
  EXPECT_EQ(picture_type_of(start, 24)->name, "TGA");
  EXPECT_EQ(picture_type_of(start, 1000), nullptr);
}

TEST(PictureTypes, ListsNameEveryKindInTheTablesOrder) {
  EXPECT_EQ(picture_type_names(), "BMP, PNG, JPEG, GIF, TGA, PNM or TIFF");
  EXPECT_EQ(picture_type_names("and"), "BMP, PNG, JPEG, GIF, TGA, PNM and TIFF");
  EXPECT_EQ(picture_type_names([](const PictureTypeRow& row) { return row.exif; }), "PNG, JPEG or TIFF");
  EXPECT_EQ(picture_type_names([](const PictureTypeRow& row) { return row.frames; }), "GIF");
  EXPECT_EQ(not_a_picture_reason(bytes("hello")), "not a picture it reads (BMP, PNG, JPEG, GIF, TGA, PNM or TIFF)");
  EXPECT_EQ(not_a_picture_reason(bytes(std::string("RIFF\x10\0\0\0WEBPVP8 ", 16))).rfind("a WebP picture", 0), 0u);
}

}  // namespace
