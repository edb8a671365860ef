// pack reads a PNG stored row after row a band at a time when it streams, and whole otherwise:
// both give the same output, for a format that walks the picture twice (an indexed one counts the
// colours first), one that keeps alpha and one that lays the picture over the background, and for
// an interlaced PNG, which is read whole either way.
#include <gtest/gtest.h>

#include <string>

#include "jobs/pack.h"
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

}  // namespace
