// The sheet that probe --sheet draws, read back with the platform's PNG decoder: its size, the
// readings' pixels where they fall, the ground between them and a pixel of a caption.
#include "jobs/probe_sheet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "codecs/image_codecs.h"
#include "testing/test_files.h"

namespace {

const ProbeFormat& probe_format(std::string_view name) {
  const std::span<const ProbeFormat> formats = probe_formats();
  return *std::find_if(formats.begin(), formats.end(), [&](const ProbeFormat& f) { return f.name == name; });
}

struct SheetPixel {
  std::uint32_t x, y;
  std::uint8_t red, green, blue;
};

// stripes_60x40.rgb565le: ffmpeg's rgb565le of 20 columns each of red, lime and blue, 40 rows. Read
// right (60 x 40, at 160 rows: 240 columns) and as gray8 at 120 x 40 (480 columns), whose pixels are
// the words' bytes: a red word F800 is the bytes 00 F8. The first reading fills columns 0 to 239,
// the gap 240 to 247, the second starts at column 248; each scaled column x shows source column
// x * width / columns.
TEST(ProbeSheet, DrawsEachReadingAtTheCommonHeightWithItsCaption) {
  TempDir dir;
  const std::vector<ProbeGuess> guesses = {
      {&probe_format("rgb565"), ByteOrder::low_first, true, 60, 40, 0.1, 90},
      {&probe_format("gray8"), ByteOrder::low_first, false, 120, 40, 0.2, 10},
  };
  const Outcome drawn =
      draw_probe_sheet(std::string(PROBE_DUMPS) + "/stripes_60x40.rgb565le", guesses, dir.file("sheet.png"));
  ASSERT_TRUE(drawn.done()) << drawn.reason;
  const std::optional<Bytes> file = read_file(dir.file("sheet.png"));
  ASSERT_TRUE(file.has_value());
  const auto decoded = decode_with_codecs(*file, 1 << 20);
  ASSERT_TRUE(std::holds_alternative<CodecPicture>(decoded));
  const CodecPicture& sheet = std::get<CodecPicture>(decoded);
  EXPECT_EQ(sheet.width, 728u);
  EXPECT_EQ(sheet.height, 172u);
  const SheetPixel expected[] = {
      {10, 10, 255, 0, 0},          // source column 2 of the right reading: red
      {120, 80, 0, 255, 0},         // column 30: lime
      {230, 159, 0, 0, 255},        // column 57 of the last row: blue
      {244, 10, 0x40, 0x40, 0x40},  // the gap between the readings
      {248, 10, 0, 0, 0},           // gray8 column 0: the low byte of red, 00
      {252, 10, 248, 248, 248},     // gray8 column 1: its high byte, F8
      {3, 162, 255, 255, 255},      // the top of the caption's "1" (its third pixel of five)
      {1, 162, 0x40, 0x40, 0x40},   // beside it, the ground
  };
  for (const SheetPixel& p : expected) {
    const std::uint8_t* quad = sheet.quads.get() + (std::size_t{p.y} * sheet.width + p.x) * 4;
    EXPECT_EQ(quad[2], p.red) << p.x << "," << p.y;
    EXPECT_EQ(quad[1], p.green) << p.x << "," << p.y;
    EXPECT_EQ(quad[0], p.blue) << p.x << "," << p.y;
  }
}

}  // namespace
