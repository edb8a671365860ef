// pack reads a PNG stored row after row a band at a time when it streams, and whole otherwise:
// both give the same output, for a format that walks the picture twice (an indexed one counts the
// colours first), one that keeps alpha and one that lays the picture over the background, and for
// an interlaced PNG, which is read whole either way.
#include <gtest/gtest.h>

#include <string>

#include "jobs/pack.h"
#include "testing/png_file.h"
#include "testing/test_files.h"

namespace {

struct Banded {
  const char* name;
  const char* picture;
  PixelFormat format;
};

void PrintTo(const Banded& banded, std::ostream* out) { *out << banded.name; }

class PackPng : public testing::TestWithParam<Banded> {};

TEST_P(PackPng, InBandsAsWhole) {
  const Banded& c = GetParam();
  TempDir dir;
  const std::string input = std::string(PNG_TESTS) + "/" + c.picture + ".png";
  Bytes outputs[2];
  for (int stream = 0; stream < 2; ++stream) {
    PackOptions options;
    options.switches.codecs = true;
    options.switches.stream = stream == 1;
    options.switches.band_rows = 2;
    options.pixel_format = c.format;
    options.background = {10, 20, 30};
    JobProgress quiet;
    const std::string output = dir.file("out" + std::to_string(stream));
    const Outcome outcome = pack({input, output}, options, quiet);
    ASSERT_TRUE(outcome.done()) << outcome.reason;
    outputs[stream] = read_file(output).value_or(Bytes{});
  }
  EXPECT_FALSE(outputs[0].empty());
  EXPECT_EQ(outputs[1], outputs[0]);
}

INSTANTIATE_TEST_SUITE_P(Formats, PackPng,
                         testing::Values(Banded{"IndexedWalksTwice", "palette4-trns", PixelFormat::i4},
                                         Banded{"AlphaKept", "rgba16", PixelFormat::argb8888},
                                         Banded{"OverTheBackground", "grey-alpha8", PixelFormat::rgb565},
                                         Banded{"Interlaced", "adam7-rgba8", PixelFormat::rgb565}),
                         [](const testing::TestParamInfo<Banded>& param_info) {
                           return std::string(param_info.param.name);
                         });

// A PNG read upward, a block of rows at a time from the marks made on the way down: 1024 x 2500 grey
// pixels, each row's value its number's low byte, so that a row out of place shows. Mirrored top to
// bottom, or turned half round (its rows the same left to right), gray8 holds row 2499 first.
TEST(PackPngUpward, GivesEveryRowInItsPlace) {
  constexpr std::uint32_t width = 1024, height = 2500;
  Bytes raw;
  for (std::uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), width, static_cast<std::uint8_t>(y));
  }
  TempDir dir;
  write_file(dir.file("in.png"),
             png_of({png_ihdr(width, height, 8, 0), png_chunk("IDAT", png_deflated(raw)), png_chunk("IEND", {})}));
  for (const Transforms& transforms : {Transforms{.flip = Flip::vertical}, Transforms{.rotation = Rotation::half}}) {
    PackOptions options;
    options.switches.codecs = options.switches.stream = true;
    options.pixel_format = PixelFormat::gray8;
    options.transforms = transforms;
    JobProgress quiet;
    const Outcome outcome = pack({dir.file("in.png"), dir.file("out.bin")}, options, quiet);
    ASSERT_TRUE(outcome.done()) << outcome.reason;
    const Bytes packed = read_file(dir.file("out.bin")).value_or(Bytes{});
    ASSERT_EQ(packed.size(), std::size_t{width} * height);
    std::uint32_t wrong = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
      const auto stored = static_cast<std::uint8_t>(height - 1 - y);
      for (std::uint32_t x = 0; x < width; ++x) wrong += packed[std::size_t{y} * width + x] != stored;
    }
    EXPECT_EQ(wrong, 0u);
  }
}

}  // namespace
