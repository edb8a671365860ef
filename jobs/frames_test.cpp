// Frames: pack's frames of an animated GIF against the frames ImageMagick composes of it, the C
// header's count and delays, a frame past the last, and unpack's picture a frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "jobs/pack.h"
#include "jobs/unpack.h"
#include "testing/outcome_text.h"
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

// The command line's pack of frame `frame` (from 1), or of every frame.
PackOptions frames(std::uint32_t frame, bool all = false) {
  PackOptions options;
  options.switches.codecs = true;
  options.switches.stream = true;
  options.frame = frame;
  options.all_frames = all;
  return options;
}

struct Packed {
  Outcome outcome;
  std::optional<Bytes> output;
};

Packed pack_animation(const PackOptions& options) {
  TempDir dir;
  JobProgress quiet;
  Outcome outcome = pack({animation, dir.file("out")}, options, quiet);
  return {std::move(outcome), read_file(dir.file("out"))};
}

struct FramesCase {
  const char* name;
  PackOptions options;
  std::size_t first, count;
};

class PackFrames : public testing::TestWithParam<FramesCase> {};

TEST_P(PackFrames, AreTheFramesImageMagickComposes) {
  const FramesCase& c = GetParam();
  PackOptions options = c.options;
  options.pixel_format = PixelFormat::argb8888;
  const Packed packed = pack_animation(options);
  ASSERT_TRUE(packed.outcome.done()) << outcome_text(packed.outcome);
  EXPECT_EQ(packed.output, composed_frames(c.first, c.count));
}

INSTANTIATE_TEST_SUITE_P(Disposals, PackFrames,
                         testing::Values(FramesCase{"FirstByDefault", frames(1), 0, 1},
                                         FramesCase{"Second", frames(2), 1, 1},
                                         FramesCase{"ThirdAfterADisposalToBackground", frames(3), 2, 1},
                                         FramesCase{"FourthAfterADisposalToPrevious", frames(4), 3, 1},
                                         FramesCase{"All", frames(1, true), 0, 4}),
                         [](const testing::TestParamInfo<FramesCase>& param) { return std::string(param.param.name); });

TEST(PackFramesHeader, DeclaresTheCountAndEachDelay) {
  PackOptions options = frames(1, true);
  options.container = ContainerKind::c_words;
  options.c_array = "anim";
  const Packed packed = pack_animation(options);
  ASSERT_TRUE(packed.outcome.done()) << outcome_text(packed.outcome);
  ASSERT_TRUE(packed.output);
  const std::string text(packed.output->begin(), packed.output->end());
  EXPECT_NE(text.find("#define anim_width 12\n#define anim_height 10\n#define anim_frames 4\n\n"
                      "static const uint32_t anim_delays_ms[4] = {\n    100, 200, 300, 400\n};\n\n"
                      "static const uint16_t anim[480] = {"),
            std::string::npos)
      << text;
}

TEST(PackFrames, PastTheLastIsRefused) {
  const Packed packed = pack_animation(frames(5));
  EXPECT_EQ(outcome_text(packed.outcome), "Unsupported picture: it has 4 frames; --frame 5 asks for frame 5");
  EXPECT_FALSE(packed.output);
}

TEST(UnpackFrames, WritesAPictureForEachFrame) {
  TempDir dir;
  // Three frames of 2 x 1 RGB565 words, low byte first: red and green, blue and white, black and red.
  write_file(dir.file("frames.bin"), {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xF8});
  UnpackOptions options;
  options.switches.codecs = true;
  options.switches.stream = true;
  options.width = 2;
  options.height = 1;
  options.frames = 3;
  JobProgress quiet;
  const Outcome outcome = unpack({dir.file("frames.bin"), dir.file("f.bmp")}, options, quiet);
  ASSERT_TRUE(outcome.done()) << outcome_text(outcome);
  EXPECT_TRUE(outcome.warnings.empty());
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
