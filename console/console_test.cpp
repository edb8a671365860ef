// rgb565 run in-process as a user runs it, on real files, in both builds: the same bytes and
// refusals as the dialogs' jobs, the options against hand-worked values, batches and usage errors.
#include "console/console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "console/printable.h"
#include "pixels/little_endian.h"
#include "testing/console_run.h"
#include "testing/project_version.h"
#include "testing/scene_pictures.h"
#include "testing/test_files.h"
#include "testing/test_pictures.h"

namespace {

std::vector<std::string> files_in(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Each verb with the dialogs' row order (and unpack with their frame) does what its dialog's job
// does, against bytes worked out here: the output (for subtract, the image changed in place), or the
// refusal's status with no file written.
struct VerbCase {
  const char* name;
  const char* verb;
  Bytes input;
  Bytes second;                 // subtract: the sub image
  std::optional<Bytes> result;  // the output, or for subtract the image afterwards; none for a refusal
  const char* refusal = "";
};
void PrintTo(const VerbCase& c, std::ostream* out) { *out << c.name; }

class VerbsAsTheDialogs : public testing::TestWithParam<VerbCase> {};

TEST_P(VerbsAsTheDialogs, GiveTheDialogsBytesOrRefusal) {
  const VerbCase& c = GetParam();
  const bool subtracting = std::string(c.verb) == "subtract";
  TempDir dir;
  write_file(dir.file("in"), c.input);
  if (subtracting) write_file(dir.file("sub"), c.second);
  std::vector<std::string> arguments{c.verb};
  if (!subtracting) arguments.insert(arguments.end(), {"--rows", "stored"});
  if (std::string(c.verb) == "unpack") arguments.insert(arguments.end(), {"--size", "568x130"});
  arguments.insert(arguments.end(), {dir.file("in"), dir.file(subtracting ? "sub" : "out")});
  const Rgb565Run run = rgb565(arguments);

  const std::optional<Bytes> result = read_file(dir.file(subtracting ? "in" : "out"));
  if (c.result) {
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(run.err.empty() || run.err.find(": warning: ") != std::string::npos) << run.err;
    EXPECT_TRUE(result == c.result);
  } else {
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find(std::string(": ") + c.refusal), std::string::npos) << run.err;
    EXPECT_TRUE(result == (subtracting ? std::optional<Bytes>(c.input) : std::nullopt));
  }
  const std::vector<std::string> files =
      subtracting ? std::vector<std::string>{"in", "sub"}
                  : (c.result ? std::vector<std::string>{"in", "out"} : std::vector<std::string>{"in"});
  EXPECT_EQ(files_in(dir), files);
}

// The image less the sub image, each 32-bit little-endian word modulo 2^32, worked out byte by byte
// with a borrow; bytes past the last whole word stay.
Bytes difference(Bytes image, const Bytes& sub) {
  for (std::size_t at = 0; at + 4 <= image.size(); at += 4) {
    int borrow = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      const int byte = image[at + i] - sub[at + i] - borrow;
      borrow = byte < 0 ? 1 : 0;
      image[at + i] = static_cast<std::uint8_t>(byte + 256 * borrow);
    }
  }
  return image;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VerbsAsTheDialogs,
    testing::Values(
        VerbCase{"Pack3x2",
                 "pack",
                 make_bmp({.width = 3, .height = 2}, pattern_pixel),
                 {},
                 expected_raw({.width = 3, .height = 2}, pattern_pixel)},
        VerbCase{"Pack39TopDown",
                 "pack",
                 make_bmp({.width = 39, .height = -5}, pattern_pixel),
                 {},
                 expected_raw({.width = 39, .height = -5}, pattern_pixel)},
        VerbCase{"Pack40Info124",
                 "pack",
                 make_bmp({.width = 40, .height = 3, .info_size = 124, .gap = 6}, pattern_pixel),
                 {},
                 expected_raw({.width = 40, .height = 3}, pattern_pixel)},
        VerbCase{"PackRefusesTwoBits",
                 "pack",
                 make_bmp({.width = 4, .height = 4, .bits_per_pixel = 2}, pattern_pixel),
                 {},
                 std::nullopt,
                 "Unsupported picture"},
        VerbCase{"PackRefusesNonsense", "pack", Bytes{'B', 'M', 1, 2, 3}, {}, std::nullopt, "Cannot open input"},
        VerbCase{"UnpackWholeFrame", "unpack", raw_words(147680), {}, expected_frame_bmp(raw_words(147680))},
        VerbCase{"UnpackShortInput", "unpack", raw_words(1001), {}, expected_frame_bmp(raw_words(1001))},
        VerbCase{"Subtract", "subtract", raw_words(66), Bytes(66, 0x01), difference(raw_words(66), Bytes(66, 0x01))},
        VerbCase{"SubtractRefusesShortSub", "subtract", raw_words(64), raw_words(60), std::nullopt,
                 "Sub image too short"}),
    [](const testing::TestParamInfo<VerbCase>& c) { return std::string(c.param.name); });

// Every refusal names the file and the system's cause, in the same words on both builds.
TEST(Rgb565, NamesTheCauseOfAFileItCannotUse) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "folder");
  write_file(dir.file("empty"), Bytes{});
  write_file(dir.file("words.bin"), Bytes(8, 0x11));
  const struct {
    std::vector<std::string> arguments;
    std::string message;
  } cases[] = {
      {{"pack", dir.file("missing.bmp"), dir.file("out.bin")},
       dir.file("missing.bmp") + ": Cannot open input: No such file"},
      {{"pack", dir.file("folder"), dir.file("out.bin")}, dir.file("folder") + ": Cannot open input: Is a folder"},
      {{"pack", dir.file("empty"), dir.file("out.bin")}, dir.file("empty") + ": Cannot open input: The file is empty"},
      {{"unpack", dir.file("empty"), dir.file("out.bmp")},
       dir.file("empty") + ": Cannot open input: The file is empty"},
      {{"unpack", "--size", "2x2", dir.file("words.bin"), dir.file("no/out.bmp")},
       dir.file("no/out.bmp") + ": Saving failed: The folder does not exist"},
      {{"subtract", dir.file("words.bin"), dir.file("missing.bin")},
       dir.file("missing.bin") + ": Cannot open sub image: No such file"},
  };
  for (const auto& c : cases) {
    const Rgb565Run run = rgb565(c.arguments);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "rgb565: " + c.message + "\n");
  }
}

// The warning names the sizes the input would fill, which the frame_sizes table works out by hand.
TEST(Rgb565, WarnsOfAnInputThatIsNotTheFramesSizeAndConvertsIt) {
  const struct {
    std::size_t bytes;
    const char* warning;
  } cases[] = {
      {1000,
       "1000 bytes, not the 147680 bytes of a 568 x 130 frame; the pixels no word reaches are black; it fits "
       "25x20, 20x25 exactly"},
      {153'600,
       "153600 bytes, not the 147680 bytes of a 568 x 130 frame; the bytes past it are left out; it fits "
       "320x240, 240x320, 256x300, 384x200, 200x384, 400x192 exactly"},
      {2018, "2018 bytes, not the 147680 bytes of a 568 x 130 frame; the pixels no word reaches are black"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir.file("in.bin"), Bytes(c.bytes, 0));
    const Rgb565Run run = rgb565({"unpack", "--size", "568x130", dir.file("in.bin"), dir.file("out.bmp")});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "rgb565: " + dir.file("in.bin") + ": warning: " + c.warning + "\n");
    EXPECT_EQ(read_file(dir.file("out.bmp"))->size(), 221578u);
  }
}

// Three flat stripes in ffmpeg's rgb565le, whose byte order no content tells: unpack --format auto
// writes nothing and names the command of each candidate, the user's paths in it; probe --sheet
// draws the candidates into one PNG, and takes one dump only.
TEST(Rgb565, RefusesAnUnsureGuessWithTheCommandOfEachCandidate) {
  TempDir dir;
  write_file(dir.file("stripes.bin"), *read_file(std::string(PROBE_DUMPS) + "/stripes_60x40.rgb565le"));
  const Rgb565Run refused =
      rgb565({"unpack", "--size", "auto", "--format", "auto", dir.file("stripes.bin"), dir.file("out.png")});
  EXPECT_EQ(refused.code, 1);
  const std::string in_out = dir.file("stripes.bin") + " " + dir.file("out.png");
  for (const std::string& part :
       {std::string(
            ": Cannot open input: no confident guess of its layout (the first guesses read almost equally well); look "
            "at each (rgb565 probe --sheet draws them): "),
        "rgb565 unpack --size 60x40 " + in_out + " (", "; rgb565 unpack --size 60x40 --bytes be " + in_out + " ("})
    EXPECT_NE(refused.err.find(part), std::string::npos) << part << "\nnot in\n" << refused.err;
  EXPECT_FALSE(read_file(dir.file("out.png")));

  const Rgb565Run sheet = rgb565({"probe", "--sheet", dir.file("sheet.png"), dir.file("stripes.bin")});
  EXPECT_EQ(sheet.code, 0);
  const std::optional<Bytes> png = read_file(dir.file("sheet.png"));
  ASSERT_TRUE(png);
  EXPECT_EQ(Bytes(png->begin(), png->begin() + 4), (Bytes{0x89, 'P', 'N', 'G'}));
  EXPECT_EQ(rgb565({"probe", "--sheet", dir.file("two.png"), dir.file("stripes.bin"), dir.file("stripes.bin")}).code,
            2);
  EXPECT_FALSE(read_file(dir.file("two.png")));

  // A guess far ahead in its percentages that is still not taken says why, not that the guesses
  // read alike: this mandelbrot reads almost as well as two of its rows side by side.
  write_file(dir.file("fb.raw"), *read_file(std::string(PROBE_DUMPS) + "/mandel_96x64.bgr0"));
  const Rgb565Run doubt = rgb565({"probe", dir.file("fb.raw")});
  EXPECT_EQ(doubt.code, 0);
  EXPECT_NE(doubt.out.find(": not sure: a multiple or a fraction of the first guess's width reads almost as well, "
                           "as rows side by side; look at each\n  1. xrgb8888 96 x 64, low byte first: 100 %\n"),
            std::string::npos)
      << doubt.out;
}

// Without --size, unpack guesses it rather than assume a frame: ffmpeg's 80 x 60 RGB565 dump, high
// byte first, becomes a BMP of 80 x 60 (its header's width and height at bytes 18 and 22), and the
// guess is said; noise, options that place rows, and standard input are refused and write nothing.
TEST(Rgb565, UnpackWithoutASizeGuessesItOrRefuses) {
  TempDir dir;
  write_file(dir.file("rose.bin"), *read_file(std::string(PROBE_DUMPS) + "/rose_80x60.rgb565be"));
  write_file(dir.file("noise.bin"), *read_file(std::string(PROBE_DUMPS) + "/noise_9600.bin"));
  const Rgb565Run run = rgb565({"unpack", dir.file("rose.bin"), dir.file("rose.bmp")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "rgb565: " + dir.file("rose.bin") + ": size auto: 80 x 60, high byte first (100 % sure)\n");
  const std::optional<Bytes> bmp = read_file(dir.file("rose.bmp"));
  ASSERT_TRUE(bmp && bmp->size() > 26);
  EXPECT_EQ(Bytes(bmp->begin() + 18, bmp->begin() + 26), (Bytes{80, 0, 0, 0, 60, 0, 0, 0}));

  const struct {
    std::vector<std::string> arguments;
    int code;
    std::string says;
  } refusals[] = {
      {{"unpack", dir.file("noise.bin"), dir.file("out.bmp")}, 1, "no confident guess of its size"},
      {{"unpack", "--offset", "2", dir.file("rose.bin"), dir.file("out.bmp")}, 1, "--offset needs --size WxH"},
      {{"unpack", "--stride", "200", dir.file("rose.bin"), dir.file("out.bmp")}, 1, "--stride needs --size WxH"},
      {{"unpack", "--align", "8", dir.file("rose.bin"), dir.file("out.bmp")}, 1, "--align needs --size WxH"},
      {{"unpack", "--frames", "2", dir.file("rose.bin"), dir.file("out.bmp")}, 1, "a size given"},
      {{"unpack", "-", dir.file("out.bmp")}, 1, "standard input cannot give: give --size"},
  };
  for (const auto& c : refusals) {
    const Rgb565Run refused = rgb565(c.arguments, *read_file(dir.file("rose.bin")));
    EXPECT_EQ(refused.code, c.code) << testing::PrintToString(c.arguments);
    EXPECT_NE(refused.err.find(c.says), std::string::npos) << refused.err;
    EXPECT_FALSE(file_exists(dir.file("out.bmp"))) << testing::PrintToString(c.arguments);
  }
}

// A dump of unknown layout: probe lists the layout it was made in first with the command that shows
// it, unpack --size auto converts at that size and says so, and neither takes noise for a picture.
TEST(Rgb565, ProbesADumpAndUnpacksItAtTheGuessedSize) {
  TempDir dir;
  const std::vector<std::uint8_t> dump = raw_dump(make_scene(Scene::photograph, 160, 128, 1), "rgb565", true);
  write_file(dir.file("dump.bin"), Bytes(dump.begin(), dump.end()));
  Bytes noise(40960);
  std::mt19937 random(1);
  for (std::uint8_t& byte : noise) byte = static_cast<std::uint8_t>(random());
  write_file(dir.file("noise.bin"), noise);

  const Rgb565Run probed = rgb565({"probe", dir.file("dump.bin")});
  EXPECT_EQ(probed.code, 0);
  for (const char* line : {"clearly ahead\n  1. rgb565 160 x 128, high byte first: ",
                           "\n     rgb565 unpack --size 160x128 --bytes be ", "dump.bin dump.png\n"})
    EXPECT_NE(probed.out.find(line), std::string::npos) << line << "\nnot in\n" << probed.out;

  const Rgb565Run unpacked = rgb565({"unpack", "--size", "auto", dir.file("dump.bin"), dir.file("out.bmp")});
  EXPECT_EQ(unpacked.code, 0);
  EXPECT_TRUE(unpacked.err.starts_with("rgb565: " + dir.file("dump.bin") + ": size auto: 160 x 128, high byte first ("))
      << unpacked.err;
  EXPECT_EQ(read_file(dir.file("out.bmp"))->size(), 58u + 160 * 128 * 3);

  EXPECT_EQ(rgb565({"probe", dir.file("noise.bin")}).code, 1);
  const Rgb565Run refused = rgb565({"unpack", "--size", "auto", dir.file("noise.bin"), dir.file("noise.bmp")});
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.err, "rgb565: " + dir.file("noise.bin") +
                             ": Cannot open input: no confident guess of its size: it does not read as a picture in "
                             "any layout tried; give --size\n");
  EXPECT_FALSE(read_file(dir.file("noise.bmp")));

  // An LVGL image names its own layout: RGB565 (0x12), 2 x 2, 4 bytes a row, then its two rows.
  const Bytes lvgl = {0x19, 0x12, 0, 0, 2, 0, 2, 0, 4, 0, 0, 0, 0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF};
  write_file(dir.file("icon.bin"), lvgl);
  EXPECT_NE(rgb565({"probe", dir.file("icon.bin")}).out.find(": an LVGL image, whose header names it: rgb565 2 x 2\n"),
            std::string::npos);
  const Rgb565Run from_header = rgb565({"unpack", "--size", "auto", dir.file("icon.bin"), dir.file("icon.bmp")});
  EXPECT_EQ(from_header.err,
            "rgb565: " + dir.file("icon.bin") + ": an LVGL image: its header gives its size and format\n");
  EXPECT_EQ(read_file(dir.file("icon.bmp"))->size(), 58u + 2 * 8);
}

// A file that starts as an LVGL image is read by its header or refused with the reason, never
// unpacked as a raw frame of its bytes; --size that disagrees with the header is refused too. The
// image each case changes: RGB565 (0x12), 2 x 1, 4 bytes a row, then its one row.
TEST(Rgb565, UnpackReadsAnLvglImageByItsHeaderOrSaysWhyNot) {
  const Bytes image = {0x19, 0x12, 0, 0, 2, 0, 1, 0, 4, 0, 0, 0, 0x00, 0xF8, 0x1F, 0x00};
  const auto changed = [&](std::size_t at, std::uint8_t value) {
    Bytes bytes = image;
    bytes[at] = value;
    return bytes;
  };
  const struct {
    Bytes input;
    std::vector<std::string> options;
    std::string reason;
  } cases[] = {
      {changed(1, 0x42), {}, "an LVGL image of colour format 0x42, which unpack does not read"},
      {changed(2, 0x04),
       {},
       "an LVGL image with flags 0x0004, which unpack does not honour (flags of LVGL's own runtime)"},
      {changed(2, 0x08), {}, "a compressed LVGL image cut short in its compression head"},
      {changed(4, 0), {}, "an LVGL image of 0 x 1 pixels, none to read"},
      {changed(8, 2), {}, "an LVGL image whose rows are 2 bytes apart where its pixels take 4 a row"},
      {changed(8, 8), {}, "an LVGL image cut short: its header declares 8 bytes of pixels, and it holds 4"},
      {image,
       {"--align", "8"},
       "an LVGL image of rgb565 2 x 1 whose rows are 4 bytes apart: its header decides its stride; leave out "
       "--align"},
      // RLE of 2-byte blocks: a repeat of four pixels where the image has two (LVGL takes one past it).
      {{0x19, 0x12, 8, 0, 2, 0, 1, 0, 4, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0x04, 0x00, 0xF8},
       {},
       "the compressed LVGL image is damaged: an RLE run of 4 blocks reaches past the image's 4 bytes"},
      // LZ4 whose match refers back before the image's start.
      {{0x19, 0x12, 8, 0, 2, 0, 1, 0, 4, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0, 0x10, 0xAA, 0x09, 0x00},
       {},
       "the compressed LVGL image is damaged: an LZ4 match refers 9 bytes back from byte 1 of the image"},
      {Bytes(image.begin(), image.end() - 2),
       {},
       "an LVGL image cut short: its header declares 4 bytes of pixels, and it holds 2"},
      {image, {"--size", "4x1"}, "an LVGL image of rgb565 2 x 1: its header decides its size; leave out --size"},
      {image,
       {"--format", "gray8"},
       "an LVGL image of rgb565 2 x 1: its header decides its format; leave out --format"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir.file("in.bin"), c.input);
    std::vector<std::string> arguments = {"unpack"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.insert(arguments.end(), {dir.file("in.bin"), dir.file("out.bmp")});
    const Rgb565Run run = rgb565(arguments);
    EXPECT_EQ(run.code, 1) << c.reason;
    EXPECT_EQ(run.err, "rgb565: " + dir.file("in.bin") + ": Cannot open input: " + c.reason + "\n");
    EXPECT_FALSE(read_file(dir.file("out.bmp")).has_value()) << c.reason;
  }
  // The same size given as the header's is no disagreement: the header is read, not its bytes.
  TempDir dir;
  write_file(dir.file("in.bin"), image);
  EXPECT_EQ(rgb565({"unpack", "--size", "2x1", dir.file("in.bin"), dir.file("out.bmp")}).code, 0);
  EXPECT_EQ(read_file(dir.file("out.bmp"))->size(), 58u + 8);
  const Bytes unpacked = *read_file(dir.file("out.bmp"));

  // The same picture with its row padded to 8 bytes, and compressed by RLE (a literal run of the
  // row's four blocks) and by LZ4 (eight literals): each gives the same BMP, from a file or a stream.
  const Bytes padded = {0x19, 0x12, 0, 0, 2, 0, 1, 0, 8, 0, 0, 0, 0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0};
  const Bytes rle = {0x19, 0x12, 8, 0, 2, 0, 1, 0,    8,    0,    0,    0,    1, 0, 0, 0, 9,
                     0,    0,    0, 8, 0, 0, 0, 0x84, 0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0};
  const Bytes lz4 = {0x19, 0x12, 8, 0, 2, 0, 1, 0,    8,    0,    0,    0,    2, 0, 0, 0, 9,
                     0,    0,    0, 8, 0, 0, 0, 0x80, 0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0};
  for (const Bytes& input : {padded, rle, lz4}) {
    write_file(dir.file("other.bin"), input);
    const Rgb565Run from_file = rgb565({"unpack", dir.file("other.bin"), dir.file("other.bmp")});
    EXPECT_EQ(from_file.code, 0) << from_file.err;
    EXPECT_EQ(read_file(dir.file("other.bmp")), unpacked);
    const Rgb565Run from_stream = rgb565({"unpack", "-", "-"}, input);
    EXPECT_EQ(from_stream.code, 0) << from_stream.err;
    EXPECT_EQ(Bytes(from_stream.out.begin(), from_stream.out.end()), unpacked);
  }
}

// Swapped arguments: a picture handed to unpack is refused, and the file named as its output is
// left alone; raw words that merely begin like a BMP still convert.
TEST(Rgb565, UnpackRefusesAPictureForItsInput) {
  const Bytes bmp = make_bmp({.width = 2, .height = 2}, pattern_pixel);
  const struct {
    Bytes input;
    const char* kind;  // null: converts
  } cases[] = {
      {{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0}, "a PNG picture"},
      {{0xFF, 0xD8, 0xFF, 0xE0, 0, 0}, "a JPEG picture"},
      {{'G', 'I', 'F', '8', '9', 'a'}, "a GIF picture"},
      {bmp, "a BMP picture"},
      {{'B', 'M', 0x10, 0x27, 0, 0, 1, 2}, nullptr},
      {{'I', 'I', 42, 0, 8, 0, 0, 0}, "a TIFF picture"},
      {{'M', 'M', 0, 42, 0, 0, 0, 8}, "a TIFF picture"},
      {{'P', '6', '\n', '2', ' ', '1', '\n', '2', '5', '5', '\n', 1, 2, 3, 4, 5, 6}, "a PNM picture"},
      // An uncompressed 2 x 1 TGA of 24 bits whose pixels end the file; the same header before more
      // bytes than its pixels is taken for raw data.
      {{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0, 1, 2, 3, 4, 5, 6}, "a TGA picture"},
      {{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0, 1, 2, 3, 4, 5, 6, 7, 8}, nullptr},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir.file("in"), c.input);
    write_file(dir.file("out.bmp"), Bytes{1, 2, 3});
    const Rgb565Run run = rgb565({"unpack", "--size", "568x130", dir.file("in"), dir.file("out.bmp")});
    if (c.kind == nullptr) {
      EXPECT_EQ(run.code, 0) << run.err;
      continue;
    }
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "rgb565: " + dir.file("in") + ": Cannot open input: " + c.kind +
                           ", not a raw image: rgb565 pack converts pictures into raw images\n");
    EXPECT_EQ(read_file(dir.file("out.bmp")), (Bytes{1, 2, 3}));
  }
}

// A 3 x 1 picture of three pixels, worked out by hand under each option.
Bytes three_pixels(BgrTriple a, BgrTriple b, BgrTriple c) {
  const BgrTriple pixels[] = {a, b, c};
  return make_bmp({.width = 3, .height = 1}, [&](std::int32_t x, std::int32_t) { return pixels[x]; });
}

TEST(Rgb565, PacksEachWordLayoutAsWorkedOutByHand) {
  TempDir dir;
  // Pure red, then blue 0x04 / green 0x07 / red 0xFC, then white.
  write_file(dir.file("in.bmp"), three_pixels({0, 0, 0xFF}, {0x04, 0x07, 0xFC}, {0xFF, 0xFF, 0xFF}));
  const struct {
    std::vector<std::string> options;
    Bytes raw;
  } cases[] = {
      // The middle pixel truncated: red 31, green 1, blue 0.
      {{}, {0x00, 0xF8, 0x20, 0xF8, 0xFF, 0xFF}},
      {{"--bytes", "be"}, {0xF8, 0x00, 0xF8, 0x20, 0xFF, 0xFF}},
      {{"--channels", "bgr"}, {0x1F, 0x00, 0x3F, 0x00, 0xFF, 0xFF}},
      {{"--channels=bgr", "--bytes=be"}, {0x00, 0x1F, 0x00, 0x3F, 0xFF, 0xFF}},
      // Nearest: blue 0x04 -> 0, green 0x07 -> round(1.73) = 2, red 0xFC -> 31.
      {{"--round", "nearest"}, {0x00, 0xF8, 0x40, 0xF8, 0xFF, 0xFF}},
      // Bayer threshold 32 at (1, 0) lifts a channel more than (2 * 32 + 1) / 128 of the way to its
      // next level: blue 4 (124/255 of level 1) stays 0, green 7 (186/255 past level 1) becomes 2,
      // red 252 (162/255 past level 30) becomes 31.
      {{"--dither", "ordered"}, {0x00, 0xF8, 0x40, 0xF8, 0xFF, 0xFF}},
      {{"--dither", "ordered", "--channels", "bgr", "--bytes", "be"}, {0x00, 0x1F, 0x00, 0x5F, 0xFF, 0xFF}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"pack", dir.file("in.bmp"), dir.file("out.bin")};
    arguments.insert(arguments.begin() + 1, c.options.begin(), c.options.end());
    EXPECT_EQ(rgb565(arguments).code, 0);
    EXPECT_EQ(read_file(dir.file("out.bin")), c.raw) << arguments[1];
  }
  // Five bits to the nearest of 32 levels: 0x04 -> 0, 0x07 -> 1, 0xFC -> 31.
  write_file(dir.file("blues.bmp"), three_pixels({0x04, 0, 0}, {0x07, 0, 0}, {0xFC, 0, 0}));
  EXPECT_EQ(rgb565({"pack", "--round", "nearest", dir.file("blues.bmp"), dir.file("blues.bin")}).code, 0);
  EXPECT_EQ(read_file(dir.file("blues.bin")), (Bytes{0x00, 0x00, 0x01, 0x00, 0x1F, 0x00}));
}

// A bottom-up 2 x 2 picture, red and green over blue and white, cropped, turned, flipped and fitted,
// worked out by hand. A transformed picture is written top row first under either --rows.
TEST(Rgb565, FitsThePictureAsWorkedOutByHand) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 2, .height = 2}, [](std::int32_t x, std::int32_t y) {
               const BgrTriple bottom[] = {{0xFF, 0, 0}, {0xFF, 0xFF, 0xFF}}, top[] = {{0, 0, 0xFF}, {0, 0xFF, 0}};
               return y == 0 ? bottom[x] : top[x];
             }));
  const Bytes red = {0x00, 0xF8}, green = {0xE0, 0x07}, blue = {0x1F, 0x00}, white = {0xFF, 0xFF};
  const auto words = [](std::initializer_list<Bytes> pixels) {
    Bytes raw;
    for (const Bytes& pixel : pixels) raw.insert(raw.end(), pixel.begin(), pixel.end());
    return raw;
  };
  const struct {
    std::vector<std::string> options;
    Bytes raw;
  } cases[] = {
      {{"--rotate", "90"}, words({blue, red, white, green})},
      {{"--rotate", "270", "--flip", "horizontal"}, words({white, green, blue, red})},
      {{"--crop", "1x1+1+0"}, words({green})},
      {{"--crop", "1x2", "--rows", "stored"}, words({red, blue})},
      {{"--flip", "vertical"}, words({blue, white, red, green})},
      // 2x keeps the proportions, so nothing is resampled.
      {{"--resize", "2x"}, words({red, green, blue, white})},
      // Contain on a blue background: the picture in the middle two columns.
      {{"--resize", "4x2", "--background", "0000FF"}, words({blue, red, green, blue, blue, blue, white, blue})},
      // Each channel is full in two of the four pixels: half their light, grey 188, which packs as
      // 23, 47, 23 (0xBDF7).
      {{"--resize", "1x1"}, Bytes{0xF7, 0xBD}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"pack", dir.file("in.bmp"), dir.file("out.bin")};
    arguments.insert(arguments.begin() + 1, c.options.begin(), c.options.end());
    const Rgb565Run run = rgb565(arguments);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(read_file(dir.file("out.bin")), c.raw) << testing::PrintToString(c.options);
  }
  const Rgb565Run past = rgb565({"pack", "--crop", "3x1+0+0", dir.file("in.bmp"), dir.file("past.bin")});
  EXPECT_EQ(past.code, 1);
  EXPECT_EQ(past.err, "rgb565: " + dir.file("in.bmp") +
                          ": Unsupported picture: the crop 3x1+0+0 reaches past the picture's 2 x 2 pixels\n");
  EXPECT_FALSE(file_exists(dir.file("past.bin")));
}

TEST(Rgb565, ExpandsWithZeroOrReplicatedLowBits) {
  TempDir dir;
  // Red 0x1F, green 0x10, blue 0x10: one word, 0xFA10.
  write_file(dir.file("in.bin"), Bytes{0x10, 0xFA});
  for (const auto& [mode, blue, green, red] :
       {std::tuple{"zero", 0x80, 0x40, 0xF8}, std::tuple{"replicate", 132, 65, 255}}) {
    EXPECT_EQ(rgb565({"unpack", "--size", "1x1", "--expand", mode, dir.file("in.bin"), dir.file("out.bmp")}).code, 0);
    const Bytes bmp = *read_file(dir.file("out.bmp"));
    ASSERT_EQ(bmp.size(), 62u) << "58 header bytes and one row of 4";
    EXPECT_EQ(load_le32(bmp.data() + 18), 1u);
    EXPECT_EQ(load_le32(bmp.data() + 34), 4u);
    EXPECT_EQ(
        Bytes(bmp.begin() + 58, bmp.end()),
        (Bytes{static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green), static_cast<std::uint8_t>(red), 0}))
        << mode;
  }
}

// pack then unpack with the same options gives back the picture, each channel's low bits cleared,
// for every row order, byte order and channel order, on widths whose rows carry padding.
TEST(Rgb565, UnpackUndoesPackUnderTheSameOptions) {
  TempDir dir;
  for (const std::int32_t width : {5, 7}) {
    const BmpLayout layout{.width = width, .height = 3};
    write_file(dir.file("in.bmp"), make_bmp(layout, pattern_pixel));
    const Bytes masked = make_bmp(layout, [](std::int32_t x, std::int32_t y) {
      const BgrTriple p = pattern_pixel(x, y);
      return BgrTriple{static_cast<std::uint8_t>(p.blue & 0xF8), static_cast<std::uint8_t>(p.green & 0xFC),
                       static_cast<std::uint8_t>(p.red & 0xF8)};
    });
    for (const char* rows : {"stored", "top-down"}) {
      for (const char* bytes : {"le", "be"}) {
        for (const char* channels : {"rgb", "bgr"}) {
          const std::vector<std::string> options = {"--rows", rows, "--bytes", bytes, "--channels", channels};
          std::vector<std::string> pack = {"pack", dir.file("in.bmp"), dir.file("raw.bin")};
          std::vector<std::string> unpack = {"unpack", "--size", std::to_string(width) + "x3", dir.file("raw.bin"),
                                             dir.file("out.bmp")};
          pack.insert(pack.end(), options.begin(), options.end());
          unpack.insert(unpack.end(), options.begin(), options.end());
          ASSERT_EQ(rgb565(pack).code, 0);
          ASSERT_EQ(rgb565(unpack).code, 0);
          const Bytes out = *read_file(dir.file("out.bmp"));
          SCOPED_TRACE(testing::Message() << width << " " << rows << " " << bytes << " " << channels);
          ASSERT_EQ(out.size(), masked.size() + 4);
          // The rows, padding included: make_bmp pads with 0xEE, the unpacked BMP with zeros.
          const std::uint32_t row_length = stored_row_length(width);
          for (std::uint32_t y = 0; y < 3; ++y) {
            const auto row = [&](const Bytes& bmp, std::size_t offset) {
              return Bytes(bmp.begin() + static_cast<std::ptrdiff_t>(offset + y * row_length),
                           bmp.begin() + static_cast<std::ptrdiff_t>(offset + y * row_length + width * 3));
            };
            EXPECT_EQ(row(out, 58), row(masked, 54)) << "row " << y;
          }
        }
      }
    }
  }
}

// A sprite's key colour: a PNG of red (opaque), green (alpha 100), blue (alpha 200) and white
// (clear) packs with pixels of alpha below the threshold (128 unless given) as the key colour, the
// others their own, unblended; --alpha-threshold alone cuts to the background (black). In RGB565, low
// byte first: red 00 F8, green E0 07, blue 1F 00, magenta 1F F8, black 00 00.
TEST(Rgb565, KeyColourStandsForPixelsBelowTheAlphaThreshold) {
  TempDir dir;
  write_file(dir.file("sprite.png"),
             encode_test_picture(TestEncoding::png_alpha, 4, 1,
                                 {{255, 0, 0, 255}, {0, 255, 0, 100}, {0, 0, 255, 200}, {255, 255, 255, 0}}));
  const struct {
    std::vector<std::string> options;
    Bytes expected;
  } cases[] = {
      {{"--key", "magenta"}, {0x00, 0xF8, 0x1F, 0xF8, 0x1F, 0x00, 0x1F, 0xF8}},
      {{"--key", "#F0F", "--alpha-threshold", "90"}, {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x1F, 0xF8}},
      {{"--alpha-threshold", "90"}, {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x00, 0x00}},
      // Contained in 8 x 1 at its own size, between two columns of canvas on each side, which are the
      // key colour too.
      {{"--key", "FF00FF", "--resize", "8x1", "--filter", "nearest"},
       {0x1F, 0xF8, 0x1F, 0xF8, 0x00, 0xF8, 0x1F, 0xF8, 0x1F, 0x00, 0x1F, 0xF8, 0x1F, 0xF8, 0x1F, 0xF8}},
      {{"--key", "magenta", "--format", "i1", "--palette", "FF0000,FF00FF"}, {0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments{"pack"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.insert(arguments.end(), {dir.file("sprite.png"), dir.file("out.bin")});
    const Rgb565Run run = rgb565(arguments);
    EXPECT_EQ(run.code, 0) << run.err;
    if (c.options.back() == "FF0000,FF00FF") {
      // Red is entry 0, magenta entry 1: 0, 1, 1, 1 (blue is nearer magenta), first pixel in bit 7.
      const std::optional<Bytes> out = read_file(dir.file("out.bin"));
      ASSERT_TRUE(out && out->size() == 9);
      EXPECT_EQ(out->back(), 0x70) << testing::PrintToString(arguments);
      continue;
    }
    EXPECT_EQ(read_file(dir.file("out.bin")), c.expected) << testing::PrintToString(arguments);
  }
  const Rgb565Run header =
      rgb565({"pack", "--key", "magenta", "--c-array", "sprite", dir.file("sprite.png"), dir.file("sprite.h")});
  EXPECT_EQ(header.code, 0) << header.err;
  const std::optional<Bytes> text = read_file(dir.file("sprite.h"));
  ASSERT_TRUE(text);
  EXPECT_NE(std::string(text->begin(), text->end()).find("; pixels of alpha below 128 are FF00FF"), std::string::npos);

  for (const std::vector<std::string>& refused :
       std::vector<std::vector<std::string>>{{"--key", "magenta", "--background", "white"},
                                             {"--key", "magenta", "--format", "argb8888"},
                                             {"--alpha-threshold", "90", "--format", "i4"},
                                             {"--alpha-threshold", "0"},
                                             {"--alpha-threshold", "256"},
                                             {"--key", "nocolour"}}) {
    std::vector<std::string> arguments{"pack"};
    arguments.insert(arguments.end(), refused.begin(), refused.end());
    arguments.insert(arguments.end(), {dir.file("sprite.png"), dir.file("refused.bin")});
    EXPECT_EQ(rgb565(arguments).code, 2) << testing::PrintToString(arguments);
    EXPECT_FALSE(file_exists(dir.file("refused.bin")));
  }
}

// Each row order of a picture one pixel wide whose red row is its top (a top-down BMP, a GIF) or its
// bottom (a bottom-up BMP, whose red row is stored first), from a file, through the transform chain
// and from standard input: red first is 00 F8 00 00, black first 00 00 00 F8.
TEST(Rgb565, RowsComeTopRowFirstUnlessAskedOtherwise) {
  TempDir dir;
  const Bytes red_first{0x00, 0xF8, 0x00, 0x00};
  const Bytes black_first{0x00, 0x00, 0x00, 0xF8};
  const auto stored_first_red = [](std::int32_t, std::int32_t y) {
    return BgrTriple{0, 0, static_cast<std::uint8_t>(y == 0 ? 0xFF : 0)};
  };
  write_file(dir.file("down.bmp"), make_bmp({.width = 1, .height = -2}, stored_first_red));
  write_file(dir.file("up.bmp"), make_bmp({.width = 1, .height = 2}, stored_first_red));
  write_file(dir.file("top.gif"), make_gif(1, 2, {{0, 0, 0}, {0, 0, 0xFF}}, {1, 0}));
  const struct {
    std::vector<std::string> rows;
    const char* input;
    Bytes expected;
    // --rows stored of a transformed picture: a new picture, stored top row first.
    std::optional<Bytes> transformed = std::nullopt;
  } cases[] = {
      {{}, "down.bmp", red_first},
      {{}, "up.bmp", black_first},
      {{}, "top.gif", red_first},
      {{"--rows", "top-down"}, "up.bmp", black_first},
      {{"--rows", "bottom-up"}, "down.bmp", black_first},
      {{"--rows", "bottom-up"}, "up.bmp", red_first},
      {{"--rows", "bottom-up"}, "top.gif", black_first},
      {{"--rows", "stored"}, "down.bmp", red_first},
      {{"--rows", "stored"}, "up.bmp", red_first, black_first},
      {{"--rows", "stored"}, "top.gif", red_first},
  };
  for (const auto& c : cases) {
    for (const std::vector<std::string>& way :
         {std::vector<std::string>{}, {"--flip", "horizontal"}, {"--dither", "diffusion"}}) {
      std::vector<std::string> arguments{"pack"};
      arguments.insert(arguments.end(), c.rows.begin(), c.rows.end());
      arguments.insert(arguments.end(), way.begin(), way.end());
      std::vector<std::string> from_file = arguments;
      from_file.insert(from_file.end(), {dir.file(c.input), dir.file("out.bin")});
      const Bytes& expected = c.transformed && !way.empty() && way[0] == "--flip" ? *c.transformed : c.expected;
      const Rgb565Run run = rgb565(from_file);
      EXPECT_EQ(run.code, 0) << run.err;
      EXPECT_EQ(read_file(dir.file("out.bin")), expected) << testing::PrintToString(from_file);
      arguments.insert(arguments.end(), {"-", "-"});
      EXPECT_EQ(rgb565(arguments, *read_file(dir.file(c.input))).out, std::string(expected.begin(), expected.end()))
          << c.input << " " << testing::PrintToString(arguments);
    }
  }
}

TEST(Rgb565, ABatchGoesOnPastARefusedInputInEveryNumberOfWorkers) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "out");
  // Stored top-down, so that the raw image holds the rows in the order the file does.
  write_file(dir.file("a.bmp"), make_bmp({.width = 3, .height = -2}, pattern_pixel));
  write_file(dir.file("b.bmp"), Bytes{'B', 'M'});
  write_file(dir.file("c.bmp"), make_bmp({.width = 5, .height = 1}, pattern_pixel));
  std::string first_err;
  for (const char* workers : {"1", "3"}) {
    std::filesystem::remove_all(dir.path() / "out");
    std::filesystem::create_directory(dir.path() / "out");
    const Rgb565Run run =
        rgb565({"pack", "-j", workers, "-d", dir.file("out"), dir.file("a.bmp"), dir.file("b.bmp"), dir.file("c.bmp")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "rgb565: " + dir.file("b.bmp") + ": Cannot open input: not a BMP file\n2 converted, 1 failed\n");
    EXPECT_EQ(read_file(dir.file("out/a.bin")), expected_raw({.width = 3, .height = -2}, pattern_pixel));
    EXPECT_EQ(read_file(dir.file("out/c.bin")), expected_raw({.width = 5, .height = 1}, pattern_pixel));
    EXPECT_FALSE(file_exists(dir.file("out/b.bin")));
  }
}

// Refusals that name their real cause: a batch's folder that is missing or is a file, and a
// subtraction of a file from itself (which the second open would call "in use by another program").
TEST(Rgb565, RefusalsNameTheirCause) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 3, .height = 2}, pattern_pixel));
  const std::string in = dir.file("in.bmp");
  struct Case {
    std::vector<std::string> arguments;
    int code;
    std::string first_line;
  };
  const Case cases[] = {
      {{"pack", "-d", dir.file("missing"), in},
       1,
       "rgb565: " + dir.file("missing") + ": no such folder; -d writes into a folder that exists"},
      {{"pack", "-d", in, in}, 1, "rgb565: " + in + ": not a folder"},
      {{"subtract", in, in}, 2, "rgb565: " + in + " is the image " + in + "; SUB is another file"},
  };
  for (const Case& c : cases) {
    const Rgb565Run run = rgb565(c.arguments);
    EXPECT_EQ(run.code, c.code) << c.arguments[0];
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.first_line);
  }
  EXPECT_EQ(read_file(in), make_bmp({.width = 3, .height = 2}, pattern_pixel));
}

TEST(Rgb565, ReadsAPaletteFileAndRefusesABadPaletteWithItsReason) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 3, .height = 1}, [](std::int32_t x, std::int32_t) {
               return x == 1 ? BgrTriple{255, 0, 0} : BgrTriple{0, 0, 255};
             }));
  const std::string in = dir.file("in.bmp"), out = dir.file("out");
  const std::string text = "GIMP Palette\nName: two\n# blue first\n0 0 255\tBlue\n255 0 0 Red\n";
  write_file(dir.file("two.gpl"), Bytes(text.begin(), text.end()));
  // Blue, red and two zero entries, then red blue red as indices 1 0 1.
  const Rgb565Run packed = rgb565({"pack", "--format", "i2", "--palette", dir.file("two.gpl"), in, out});
  ASSERT_EQ(packed.code, 0) << packed.err;
  EXPECT_EQ(read_file(out), (Bytes{0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0x44}));
  std::filesystem::remove(out);

  const std::string bad = "GIMP Palette\n0 0 0 Black\n12 x\n";
  write_file(dir.file("bad.gpl"), Bytes(bad.begin(), bad.end()));
  struct Case {
    std::vector<std::string> arguments;
    std::string first_line;
  };
  const Case cases[] = {
      {{"--format", "i2", "--palette", dir.file("bad.gpl")},
       "--palette '" + dir.file("bad.gpl") +
           "': line 3 is '12 x', not a colour (red, green and blue from 0 to 255, then a name)"},
      {{"--format", "i2", "--palette", "FF0000,GG"}, "--palette 'FF0000,GG': colour 2 is 'GG', not RRGGBB"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"pack"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    arguments.insert(arguments.end(), {in, out});
    const Rgb565Run run = rgb565(arguments);
    EXPECT_EQ(run.code, 2) << testing::PrintToString(arguments);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "rgb565: " + c.first_line);
  }
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"bad.gpl", "in.bmp", "two.gpl"}));
}

TEST(Rgb565, UsageErrorsExitWith2AndWriteNothing) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 3, .height = 2}, pattern_pixel));
  const std::string in = dir.file("in.bmp"), out = dir.file("out");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"convert", in, out},
      {"pack", "--frobnicate", in, out},
      {"pack", in},
      {"pack", in, out, "extra"},
      {"pack", "--rows"},
      {"pack", "--rows", "sideways", in, out},
      {"pack", "--size", "568x130", in, out},
      {"unpack", "--size", "0x130", in, out},
      {"unpack", "--size", "12x", in, out},
      {"unpack", "--size", "x12", in, out},
      {"unpack", "--size", "100000x100000", in, out},
      {"unpack", "--size", "4294967296x1", in, out},
      {"unpack", "--round", "nearest", in, out},
      {"pack", "--dither", "random", in, out},
      {"pack", "--dither", "ordered", "--round", "nearest", in, out},
      {"unpack", "--dither", "ordered", in, out},
      {"pack", "--background", "12345", in, out},
      {"pack", "--background", "00GG00", in, out},
      {"pack", "--background", "-12345", in, out},
      {"pack", "--c-array", "2fast", in, out},
      {"pack", "--c-array", "my-logo", in, out},
      {"pack", "--c-array", "static", in, out},
      {"pack", "-j", "0", "-d", dir.file(""), in},
      {"subtract", in},
      {"subtract", "-o", in, in, out},
      {"pack", "", out},
  };
  for (const auto& arguments : cases) {
    const Rgb565Run run = rgb565(arguments);
    EXPECT_EQ(run.code, 2) << testing::PrintToString(arguments);
    EXPECT_NE(run.err.find("Try 'rgb565 --help'."), std::string::npos);
  }
  EXPECT_EQ(files_in(dir), std::vector<std::string>{"in.bmp"});
}

TEST(Rgb565, HelpShowsTheWordForTheChosenOptionsAndVersionItsNumber) {
  const Rgb565Run help = rgb565({"pack", "--channels", "bgr", "--bytes", "be", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("One word, bit 15 first: BBBBBGGG GGGRRRRR (BGR565)\n"
                          "In the file: byte 0 = BBBBBGGG, byte 1 = GGGRRRRR (high byte first)\n"),
            std::string::npos);
  // The version of project() in CMakeLists.txt, three numbers joined by dots.
  const std::optional<ProjectVersion> version = project_version();
  ASSERT_TRUE(version) << "not a version: " TOOL_TEST_VERSION;
  EXPECT_EQ(rgb565({"--version"}).out, "rgb565 " + version->text + "\n");
}

TEST(Rgb565, SubtractsIntoANewFileAndLeavesTheImage) {
  TempDir dir;
  write_file(dir.file("image"), Bytes{0, 0, 0, 0, 5, 0, 0, 0, 9});
  write_file(dir.file("sub"), Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  // A SUB longer than IMAGE is taken for swapped arguments unless --longer-sub says it is meant.
  const Rgb565Run longer = rgb565({"subtract", dir.file("image"), dir.file("sub"), "-o", dir.file("diff")});
  EXPECT_EQ(longer.code, 1);
  EXPECT_EQ(longer.err, "rgb565: " + dir.file("sub") +
                            ": Sub image too long: 10 bytes against the image's 9; are IMAGE and SUB the wrong way "
                            "round? --longer-sub takes it as it is\n");
  EXPECT_FALSE(file_exists(dir.file("diff")));
  EXPECT_EQ(rgb565({"subtract", "--longer-sub", dir.file("image"), dir.file("sub"), "-o", dir.file("diff")}).code, 0);
  EXPECT_EQ(read_file(dir.file("diff")), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 5, 0, 0, 0, 9}));
  EXPECT_EQ(read_file(dir.file("image")), (Bytes{0, 0, 0, 0, 5, 0, 0, 0, 9}));
  // OUT may not be IMAGE or SUB under another name.
  const Rgb565Run same = rgb565({"subtract", dir.file("image"), dir.file("sub"), "-o", dir.file("./sub")});
  EXPECT_EQ(same.code, 2);
  EXPECT_EQ(read_file(dir.file("sub")), (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// A name's control bytes come out as C escapes, so that no name can end a message early or
// command the terminal; other bytes, backslashes and UTF-8 among them, stay as they are.
TEST(Printable, EscapesControlBytesOnly) {
  const struct {
    std::string text;
    const char* shown;
  } cases[] = {
      {"frames/logo.bmp", "frames/logo.bmp"},
      {"a\nb", "a\\nb"},
      {"\x1b[31mred", "\\x1b[31mred"},
      {"\a\b\t\v\f\r", "\\a\\b\\t\\v\\f\\r"},
      {std::string("\0\x01\x1f\x7f ", 5), "\\x00\\x01\\x1f\\x7f "},
      {"C:\\frames\\logo.bmp", "C:\\frames\\logo.bmp"},
      {"\xc3\xa9t\xc3\xa9.bmp", "\xc3\xa9t\xc3\xa9.bmp"},
  };
  for (const auto& c : cases) EXPECT_EQ(printable(c.text), c.shown);
}

TEST(Rgb565, EscapesControlBytesInTheNamesItPrints) {
  TempDir dir;
  const std::string name = dir.file("a\nb\x1b[31m.bmp");
  const Rgb565Run run = rgb565({"pack", name, dir.file("out.bin")});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  EXPECT_NE(run.err.find("a\\nb\\x1b[31m.bmp: Cannot open input: "), std::string::npos) << run.err;
  const Rgb565Run usage = rgb565({"pack", "--rows", "up\rdown", "a", "b"});
  EXPECT_EQ(usage.err,
            "rgb565: bad value 'up\\rdown' for --rows (top-down, bottom-up, stored)\nTry 'rgb565 --help'.\n");
}

// `-` reads standard input and writes standard output, against bytes worked out by hand: red, green
// and blue pack to F800, 07E0 and 001F; a 2 x 1 frame of red and blue is a 58-byte header and one row
// of six bytes padded to eight.
TEST(Rgb565, DashIsStandardInputAndOutput) {
  const Bytes picture = three_pixels({0, 0, 255}, {0, 255, 0}, {255, 0, 0});
  const Bytes raw = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00};
  const Bytes bmp = {'B',  'M',  66,   0,    0,    0,    0, 0, 0,  0, 58, 0, 0, 0, 40, 0, 0, 0, 2, 0,
                     0,    0,    1,    0,    0,    0,    1, 0, 24, 0, 0,  0, 0, 0, 8,  0, 0, 0, 0, 0,
                     0,    0,    0,    0,    0,    0,    0, 0, 0,  0, 0,  0, 0, 0, 0,  0, 0, 0,  //
                     0x00, 0x00, 0xF8, 0xF8, 0x00, 0x00, 0, 0};
  ASSERT_EQ(bmp.size(), 66u);
  TempDir dir;
  write_file(dir.file("in.bmp"), picture);
  write_file(dir.file("in.bin"), Bytes{0x00, 0xF8, 0x1F, 0x00});

  const Rgb565Run from_input = rgb565({"pack", "-", dir.file("out.bin")}, picture);
  EXPECT_EQ(from_input.code, 0) << from_input.err;
  EXPECT_EQ(read_file(dir.file("out.bin")), raw);
  const Rgb565Run to_output = rgb565({"unpack", "--size", "2x1", dir.file("in.bin"), "-"});
  EXPECT_EQ(to_output.code, 0) << to_output.err;
  EXPECT_EQ(Bytes(to_output.out.begin(), to_output.out.end()), bmp);
  const Rgb565Run both = rgb565({"pack", "-", "-"}, picture);
  EXPECT_EQ(both.code, 0) << both.err;
  EXPECT_EQ(Bytes(both.out.begin(), both.out.end()), raw);

  const Rgb565Run refused = rgb565({"pack", "-", "-"}, Bytes{'h', 'e', 'l', 'l', 'o'});
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err,
            "rgb565: -: Cannot open input: not a picture it reads (BMP, PNG, JPEG, GIF, TGA, PNM or TIFF): standard "
            "input does not start as one\n");
  for (const std::vector<std::string>& usage :
       std::vector<std::vector<std::string>>{{"pack", "-d", dir.file(""), "-"},
                                             {"subtract", "-", dir.file("in.bin")},
                                             {"subtract", dir.file("in.bin"), dir.file("in.bmp"), "-o", "-"}}) {
    EXPECT_EQ(rgb565(usage).code, 2) << testing::PrintToString(usage);
  }
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"in.bin", "in.bmp", "out.bin"}));
}

// A dump past its header, from standard input: the copy takes the header and the frame and no more,
// so a stream of exactly that converts, and one byte more is refused, naming both.
TEST(Rgb565, UnpacksADumpPastItsHeaderFromStandardInput) {
  const Bytes dump = {'H', 'D', 'R', '!', 0x00, 0xF8, 0x1F, 0x00, 'Z', 'Z', 0xE0, 0x07, 0xFF, 0xFF, 'Z', 'Z'};
  TempDir dir;
  write_file(dir.file("dump.bin"), dump);
  const std::vector<std::string> options = {"unpack", "--size", "2x2", "--offset", "4", "--stride", "6"};
  std::vector<std::string> from_file = options, from_stream = options;
  from_file.insert(from_file.end(), {dir.file("dump.bin"), "-"});
  from_stream.insert(from_stream.end(), {"-", "-"});
  const Rgb565Run file = rgb565(from_file);
  const Rgb565Run stream = rgb565(from_stream, dump);
  ASSERT_EQ(file.code, 0) << file.err;
  EXPECT_EQ(stream.code, 0) << stream.err;
  EXPECT_EQ(stream.out, file.out);
  Bytes longer = dump;
  longer.push_back(0);
  const Rgb565Run refused = rgb565(from_stream, longer);
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.err,
            "rgb565: -: Cannot open input: standard input holds more than the 16 bytes --offset 4 and a 2 x 2 rgb565 "
            "frame take; from a file the bytes past them would be left out\n");
}

// Pictures that ImageMagick wrote (read/reader-tests/make.sh) read from standard input as from their
// file: pack writes to standard output what it writes of the PNG of the same picture.
TEST(Rgb565, ReadsEachPictureFromStandardInputAsFromItsFile) {
  const std::string folder = std::string(READER_TESTS) + "/";
  TempDir dir;
  ASSERT_EQ(rgb565({"pack", folder + "colour.png", dir.file("png.bin")}).code, 0);
  const std::optional<Bytes> expected = read_file(dir.file("png.bin"));
  ASSERT_TRUE(expected.has_value());
  for (const char* name :
       {"colour.tiff", "colour-lzw.tiff", "tga24-top.tga", "tga24-rle-top.tga", "pnm-p6.ppm", "pnm-p3.ppm"}) {
    const Rgb565Run streamed = rgb565({"pack", "-", "-"}, read_file(folder + name).value_or(Bytes{}));
    EXPECT_EQ(streamed.code, 0) << name << ": " << streamed.err;
    EXPECT_EQ(Bytes(streamed.out.begin(), streamed.out.end()), expected) << name;
  }
}

// What pack does not read is refused from standard input as from a file (whose refusals the pack
// job's tests hold), in one line that names `-`; what a file's name or size would tell is said of the
// stream's start instead.
TEST(Rgb565, RefusesFromStandardInputWhatItDoesNotRead) {
  using namespace std::string_view_literals;
  const std::string others = "not a picture it reads (BMP, PNG, JPEG, GIF, TGA, PNM or TIFF)";
  const auto text = [](std::string_view s) { return Bytes(s.begin(), s.end()); };
  const struct {
    const char* name;
    Bytes file;
    std::string reason;
  } cases[] = {
      {"Text", text("hello, world\n"), others + ": standard input does not start as one"},
      {"Empty", {}, others + ": standard input does not start as one"},
      {"Svg", text("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>"),
       "an SVG picture, which is not read: convert it to PNG first (e.g. rsvg-convert -o picture.png picture.svg)"},
      {"Webp", text("RIFF\x1a\0\0\0WEBPVP8L\x0d\0\0\0\x2f\0\0\0\x10\x07\x10\x11\x11\x88\x88\xfe\x07\0"sv),
       "a WebP picture, which is not read: convert it to PNG first (e.g. dwebp picture.webp -o picture.png)"},
      {"BmpOfUnknownHeader", text("BMxxxxxxxxxxxxxxxxxxxxxx"), "an information header of unknown size"},
  };
  for (const auto& c : cases) {
    const Rgb565Run streamed = rgb565({"pack", "-", "-"}, c.file);
    EXPECT_EQ(streamed.code, 1) << c.name;
    EXPECT_EQ(streamed.err, "rgb565: -: Cannot open input: " + c.reason + "\n") << c.name;
    EXPECT_EQ(streamed.out, "") << c.name;
  }
}

// A phone's JPEG from standard input (staged in a file first) is laid upright too, and a C header
// says so: Pillow stored the 32 x 24 picture as 24 x 32 with orientation 6. The former names of the
// choices, auto and stored, do what exif and ignore do, without a word on standard error.
TEST(Rgb565, LaysAJpegFromStandardInputUpright) {
  const std::optional<Bytes> jpeg = read_file(std::string(ORIENTATION_TESTS) + "/orientation-6.jpg");
  ASSERT_TRUE(jpeg.has_value());
  const struct {
    std::vector<std::string> options;
    const char* width;
  } cases[] = {{{}, "photo_width 32\n"},
               {{"--orientation", "exif"}, "photo_width 32\n"},
               {{"--orientation", "ignore"}, "photo_width 24\n"},
               {{"--orientation", "auto"}, "photo_width 32\n"},
               {{"--orientation", "stored"}, "photo_width 24\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.options));
    TempDir dir;
    std::vector<std::string> arguments = {"pack", "--c-array", "photo", "-", dir.file("photo.h")};
    arguments.insert(arguments.begin() + 1, c.options.begin(), c.options.end());
    const Rgb565Run run = rgb565(arguments, *jpeg);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::optional<Bytes> header = read_file(dir.file("photo.h"));
    ASSERT_TRUE(header.has_value());
    const std::string text(header->begin(), header->end());
    EXPECT_NE(text.find(c.width), std::string::npos) << text;
  }
}

// Options may come before the verb, as many users write them.
TEST(Rgb565, TakesOptionsBeforeTheVerb) {
  TempDir dir;
  write_file(dir.file("in.png"), encode_test_picture(TestEncoding::png, 3, 2, six_pixels));
  EXPECT_EQ(rgb565({"--bytes", "be", "--rows=top-down", "pack", dir.file("in.png"), dir.file("out.bin")}).code, 0);
  EXPECT_EQ(read_file(dir.file("out.bin")),
            (Bytes{0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F, 0x11, 0x06, 0xFF, 0xFF, 0x00, 0x00}));
}

// --max-pixels is the limit a compressed picture's pixels are held to: the six-pixel PNG is refused
// under 5 with the reason on one line, and converts under 6.
TEST(Rgb565, MaxPixelsLimitsACompressedPicture) {
  TempDir dir;
  write_file(dir.file("in.png"), encode_test_picture(TestEncoding::png, 3, 2, six_pixels));
  const Rgb565Run over = rgb565({"pack", "--max-pixels", "5", dir.file("in.png"), dir.file("out.bin")});
  EXPECT_EQ(over.code, 1);
  EXPECT_EQ(over.err, "rgb565: " + dir.file("in.png") +
                          ": Unsupported picture: 3 x 2 pixels, more than the 5 a compressed picture may have "
                          "(--max-pixels raises the limit)\n");
  EXPECT_FALSE(file_exists(dir.file("out.bin")));
  const Rgb565Run enough = rgb565({"pack", "--max-pixels", "6", dir.file("in.png"), dir.file("out.bin")});
  EXPECT_EQ(enough.code, 0) << enough.err;
}

// --tiles and --frame where they mean nothing: usage errors that say why and write nothing. IN is
// an animated GIF of four frames.
TEST(Rgb565, TilesAndFramesUsageErrorsSayWhy) {
  const struct {
    std::vector<std::string> arguments;
    const char* message;
  } cases[] = {
      {{"pack", "--tiles", "2x2", "--lvgl", "IN", "OUT"}, "--lvgl writes one picture: --tiles goes with raw data"},
      {{"pack", "--tiles", "2x2+1+1", "IN", "OUT"}, "--tiles"},
      {{"pack", "--tiles", "0x2", "IN", "OUT"}, "--tiles"},
      {{"pack", "--frame", "0", "IN", "OUT"}, "--frame"},
      {{"pack", "--lvgl", "--frame", "all", "IN", "OUT"}, "--lvgl holds one picture, not --frame all"},
      {{"unpack", "--frames", "2", "IN", "-"}, "unpack --frames writes a picture for each frame"},
      {{"unpack", "--frames", "all", "IN", "OUT"}, "--frames"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::vector<std::string> arguments = c.arguments;
    for (std::string& argument : arguments) {
      if (argument == "IN") argument = std::string(GIF_TESTS) + "/disposals.gif";
      if (argument == "OUT") argument = dir.file("out.bin");
    }
    const Rgb565Run run = rgb565(arguments);
    EXPECT_EQ(run.code, 2) << testing::PrintToString(c.arguments);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "") << testing::PrintToString(c.arguments);
    EXPECT_FALSE(file_exists(dir.file("out.bin"))) << testing::PrintToString(c.arguments);
  }
}

}  // namespace
