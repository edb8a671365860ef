// --frame and --frames: pack's frames of an animated GIF against the frames ImageMagick composes of it, the C
// header's count and delays, the refusals, and unpack's picture a frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "testing/console_run.h"
#include "testing/test_files.h"

namespace {

const std::string animation = std::string(GIF_TESTS) + "/disposals.gif";
constexpr std::size_t frame_bytes = 12 * 10 * 4;

// ImageMagick's composed frames `first` (from 0) on, `count` of them, as argb8888's bytes (B G R A);
// transparent pixels are transparent black, as pack writes them.
Bytes composed_frames(std::size_t first, std::size_t count) {
  const Bytes rgba = read_file(std::string(GIF_TESTS) + "/disposals.rgba").value_or(Bytes{});
  Bytes quads;
  for (std::size_t k = first * frame_bytes; k < (first + count) * frame_bytes && k + 3 < rgba.size(); k += 4) {
    if (rgba[k + 3] == 0) {
      quads.insert(quads.end(), {0, 0, 0, 0});
    } else {
      quads.insert(quads.end(), {rgba[k + 2], rgba[k + 1], rgba[k], rgba[k + 3]});
    }
  }
  return quads;
}

struct FramesCase {
  const char* name;
  std::vector<std::string> options;
  std::size_t first, count;
};

class PackFrames : public testing::TestWithParam<FramesCase> {};

TEST_P(PackFrames, AreTheFramesImageMagickComposes) {
  const FramesCase& c = GetParam();
  TempDir dir;
  std::vector<std::string> arguments = {"pack", "--format", "argb8888"};
  arguments.insert(arguments.end(), c.options.begin(), c.options.end());
  arguments.insert(arguments.end(), {animation, dir.file("out.bin")});
  const Rgb565Run run = rgb565(arguments);
  ASSERT_EQ(run.code, 0) << run.err;
  // Scripts read standard error: the former name --frames is taken without a word.
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(read_file(dir.file("out.bin")), composed_frames(c.first, c.count));
}

INSTANTIATE_TEST_SUITE_P(Disposals, PackFrames,
                         testing::Values(FramesCase{"FirstByDefault", {}, 0, 1},
                                         FramesCase{"Second", {"--frame", "2"}, 1, 1},
                                         FramesCase{"ThirdAfterADisposalToBackground", {"--frame", "3"}, 2, 1},
                                         FramesCase{"FourthAfterADisposalToPrevious", {"--frame", "4"}, 3, 1},
                                         FramesCase{"All", {"--frame", "all"}, 0, 4},
                                         FramesCase{"SecondByTheFormerName", {"--frames", "2"}, 1, 1},
                                         FramesCase{"AllByTheFormerName", {"--frames=all"}, 0, 4}),
                         [](const testing::TestParamInfo<FramesCase>& param) { return std::string(param.param.name); });

TEST(PackFramesHeader, DeclaresTheCountAndEachDelay) {
  TempDir dir;
  const Rgb565Run run = rgb565({"pack", "--frame", "all", "--c-array", "anim", animation, dir.file("anim.h")});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::optional<Bytes> header = read_file(dir.file("anim.h"));
  ASSERT_TRUE(header);
  const std::string text(header->begin(), header->end());
  EXPECT_NE(text.find("#define anim_width 12\n#define anim_height 10\n#define anim_frames 4\n\n"
                      "static const uint32_t anim_delays_ms[4] = {\n    100, 200, 300, 400\n};\n\n"
                      "static const uint16_t anim[480] = {"),
            std::string::npos)
      << text;
}

struct Refused {
  const char* name;
  std::vector<std::string> arguments;  // IN is the animation
  int code;
  const char* message;
};

class FramesRefused : public testing::TestWithParam<Refused> {};

TEST_P(FramesRefused, SayWhy) {
  const Refused& c = GetParam();
  TempDir dir;
  std::vector<std::string> arguments = c.arguments;
  for (std::string& argument : arguments) {
    if (argument == "IN") argument = animation;
    if (argument == "OUT") argument = dir.file("out.bin");
  }
  const Rgb565Run run = rgb565(arguments);
  EXPECT_EQ(run.code, c.code);
  EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  EXPECT_FALSE(read_file(dir.file("out.bin")));
}

INSTANTIATE_TEST_SUITE_P(Frames, FramesRefused,
                         testing::Values(Refused{"PastTheLast",
                                                 {"pack", "--frame", "5", "IN", "OUT"},
                                                 1,
                                                 "Unsupported picture: it has 4 frames; --frame 5 asks for frame 5"},
                                         Refused{"Zero", {"pack", "--frame", "0", "IN", "OUT"}, 2, "--frame"},
                                         Refused{"LvglOfAll",
                                                 {"pack", "--lvgl", "--frame", "all", "IN", "OUT"},
                                                 2,
                                                 "--lvgl holds one picture, not --frame all"},
                                         Refused{"UnpackToStandardOutput",
                                                 {"unpack", "--frames", "2", "IN", "-"},
                                                 2,
                                                 "unpack --frames writes a picture for each frame"},
                                         Refused{
                                             "UnpackOfAll", {"unpack", "--frames", "all", "IN", "OUT"}, 2, "--frames"}),
                         [](const testing::TestParamInfo<Refused>& param) { return std::string(param.param.name); });

TEST(UnpackFrames, WritesAPictureForEachFrame) {
  TempDir dir;
  // Three frames of 2 x 1 RGB565 words, low byte first: red and green, blue and white, black and red.
  write_file(dir.file("frames.bin"), {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xF8});
  const Rgb565Run run = rgb565({"unpack", "--size", "2x1", "--frames", "3", dir.file("frames.bin"), dir.file("f.bmp")});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // Each BMP's one row: two triples, blue first, the low bits zero, and two bytes padding the row.
  const Bytes rows[] = {{0x00, 0x00, 0xF8, 0x00, 0xFC, 0x00, 0, 0},
                        {0xF8, 0x00, 0x00, 0xF8, 0xFC, 0xF8, 0, 0},
                        {0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0, 0}};
  const char* names[] = {"f-000.bmp", "f-001.bmp", "f-002.bmp"};
  for (int k = 0; k < 3; ++k) {
    const std::optional<Bytes> bmp = read_file(dir.file(names[k]));
    ASSERT_TRUE(bmp) << names[k];
    ASSERT_EQ(bmp->size(), 58u + 8u) << names[k];
    EXPECT_EQ(Bytes(bmp->end() - 8, bmp->end()), rows[k]) << names[k];
  }
  EXPECT_FALSE(read_file(dir.file("f.bmp")));
}

}  // namespace
