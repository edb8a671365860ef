// Every container and stream of pack holds the bytes of the plain raw conversion under the same
// options, for each kind of input, transform and format: a C array's elements, an LVGL image's
// pixels, standard input and output and a batch's files. The expectation is the raw output of the
// same program, which the container code plays no part in making; with --align its rows padded
// here, and an LVGL image compressed by --compress decompressed first.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "containers/lvgl_compress.h"
#include "pixels/little_endian.h"
#include "testing/c_array_text.h"
#include "testing/console_run.h"
#include "testing/test_files.h"
#include "testing/test_pictures.h"

namespace {

constexpr std::uint32_t picture_width = 16, picture_height = 12;

// A top-down BMP of 8-bit indices into 16 colours, so that the colour table and the row order both
// have their part.
Bytes palette_bmp() {
  Bytes table;
  for (std::uint8_t k = 0; k < 16; ++k)
    table.insert(table.end(), {static_cast<std::uint8_t>(k * 16), static_cast<std::uint8_t>(255 - k * 9),
                               static_cast<std::uint8_t>(k * 5 + 40), 0});
  Bytes indices;
  for (std::uint32_t y = 0; y < picture_height; ++y) {
    for (std::uint32_t x = 0; x < picture_width; ++x)
      indices.push_back(static_cast<std::uint8_t>((3 * x + 5 * y) % 16));
  }
  return table_bmp(static_cast<std::int32_t>(picture_width), -static_cast<std::int32_t>(picture_height), 8, 0, table,
                   indices);
}

// A PNG whose alpha runs from clear in the left column to opaque in the right one.
Bytes alpha_png() {
  std::vector<TestPixel> pixels;
  for (std::uint32_t y = 0; y < picture_height; ++y) {
    for (std::uint32_t x = 0; x < picture_width; ++x) {
      const BgrTriple p = pattern_pixel(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
      pixels.push_back({p.red, p.green, p.blue, static_cast<std::uint16_t>(x * 17)});
    }
  }
  return encode_test_picture(TestEncoding::png_alpha, picture_width, picture_height, pixels);
}

struct Input {
  const char* name;
  const char* file;
  Bytes (*make)();
  // Options that read the input, and the frames they give, one after another.
  std::vector<std::string> options = {};
  std::uint32_t frames = 1;
};

const Input inputs[] = {
    {"BottomUpBmp", "picture.bmp",
     [] { return make_bmp({.width = picture_width, .height = picture_height}, pattern_pixel); }},
    {"TopDownPaletteBmp", "picture.bmp", palette_bmp},
    {"AlphaPng", "picture.png", alpha_png},
    // Three frames that ImageMagick made (read/gif-tests/make.sh), a transparent pixel in one.
    {"AnimatedGifAllFrames",
     "picture.gif",
     [] { return read_file(std::string(GIF_TESTS) + "/matrix.gif").value_or(Bytes{}); },
     {"--frame", "all"},
     3},
};

struct Transform {
  const char* name;
  std::vector<std::string> options;
  std::uint32_t width, height;  // of the transformed picture; with tiles, of the tiles stacked
  std::uint32_t tiles = 0;      // cut into this many tiles, of width x height / tiles each
};

const Transform transforms[] = {
    {"Whole", {}, 16, 12},
    {"Crop", {"--crop", "10x6+3+2"}, 10, 6},
    {"Rotate90", {"--rotate", "90"}, 12, 16},
    {"Resize8x8", {"--resize", "8x8"}, 8, 8},
    {"OrientationIgnored", {"--orientation", "ignore"}, 16, 12},
    {"NearestTwice", {"--resize", "32x24", "--filter", "nearest"}, 32, 24},
    {"Tiles4x3", {"--tiles", "4x3"}, 4, 48, 16},
    {"Rotate90Tiles6x8", {"--rotate", "90", "--tiles", "6x8"}, 6, 32, 4},
};

struct Format {
  const char* name;
  std::vector<std::string> options;
  std::uint32_t bits;                       // a pixel
  std::uint32_t palette_bytes;              // before the rows
  bool words;                               // a C array of 16-bit words by default
  std::optional<std::uint8_t> lvgl_format;  // LVGL's colour format, where LVGL takes it
  bool tiles = true;                        // taken with --tiles
};

const Format formats[] = {
    {"Rgb565", {}, 16, 0, true, 0x12},
    {"Rgb565HighByteFirst", {"--bytes", "be"}, 16, 0, true, 0x1B},
    {"Gray4", {"--format", "gray4"}, 4, 0, false, std::nullopt},
    {"Argb8888", {"--format", "argb8888"}, 32, 0, false, 0x10},
    {"I4", {"--format", "i4"}, 4, 64, false, 0x09},
    {"A1", {"--format", "a1"}, 1, 0, false, 0x0B},
    {"A2", {"--format", "a2"}, 2, 0, false, 0x0C},
    {"A4", {"--format", "a4", "--dither", "diffusion"}, 4, 0, false, 0x0D},
    {"A8", {"--format", "a8"}, 8, 0, false, 0x0E},
    {"Al88", {"--format", "al88"}, 16, 0, false, 0x15},
    {"Argb1555", {"--format", "argb1555"}, 16, 0, false, 0x16},
    {"Argb4444", {"--format", "argb4444", "--round", "nearest"}, 16, 0, false, 0x17},
    {"Argb2222", {"--format", "argb2222"}, 8, 0, false, 0x18},
    {"Gray2", {"--format", "gray2", "--dither", "ordered"}, 2, 0, false, std::nullopt},
    // A palette given (stored as given, written in one walk) and dithering toward a palette, given or
    // the picture's own: diffusion's errors run down the stored rows whatever order the rows are
    // written in.
    {"I2PaletteDiffusion", {"--format", "i2", "--palette", "bwr", "--dither", "diffusion"}, 2, 16, false, 0x08},
    {"I1PaletteListOrdered",
     {"--format", "i1", "--palette", "000000,#FFFFFF", "--dither", "ordered"},
     1,
     8,
     false,
     0x07},
    {"I4Diffusion", {"--format", "i4", "--dither", "diffusion"}, 4, 64, false, 0x09},
    // Each byte's first pixel in its low bits, which LVGL does not take.
    {"I4LowBitsFirst", {"--format", "i4", "--bit-order", "lsb"}, 4, 64, false, std::nullopt},
    {"Mono1LowBitsFirst", {"--format", "mono1", "--bit-order", "lsb"}, 1, 0, false, std::nullopt},
    // A sprite's key colour in place of pixels of little alpha.
    {"Rgb565Key", {"--key", "magenta", "--alpha-threshold", "100"}, 16, 0, true, 0x12},
    // The bottom row first, which LVGL and tiles do not take.
    {"Gray8BottomUp", {"--format", "gray8", "--rows", "bottom-up"}, 8, 0, false, std::nullopt, false},
};

struct Case {
  const Input* input;
  const Transform* transform;
  const Format* format;
};
void PrintTo(const Case& c, std::ostream* out) {
  *out << c.format->name << "_" << c.transform->name << "_" << c.input->name;
}

std::vector<Case> all_cases() {
  std::vector<Case> cases;
  for (const Format& format : formats) {
    for (const Transform& transform : transforms) {
      for (const Input& input : inputs) {
        // Tiles are cut from one picture, and --frame all is refused with them.
        if (transform.tiles == 0 || (input.frames == 1 && format.tiles)) cases.push_back({&input, &transform, &format});
      }
    }
  }
  return cases;
}

// What one output of pack holds: the raw bytes, a C array of them, or an LVGL image as a file or C.
enum class Kind { raw, c_array, lvgl_bin, lvgl_c };

struct Output {
  const char* name;
  Kind kind;
  std::vector<std::string> options;
  bool words = false;       // a C array of 16-bit words
  std::uint32_t align = 1;  // as --align gives it
  LvglCompression compression = LvglCompression::none;
};

// `raw` with each of its `rows` rows of `row_bytes`, after `palette_bytes`, padded with zeros to a
// multiple of `align`.
Bytes padded(const Bytes& raw, std::size_t palette_bytes, std::size_t row_bytes, std::uint32_t rows,
             std::uint32_t align) {
  const std::size_t stride = (row_bytes + align - 1) / align * align;
  const std::size_t frame_bytes = palette_bytes + row_bytes * rows;
  Bytes bytes;
  // The frames of an animation, each a picture of its own laid out alike.
  for (std::size_t frame = 0; frame + frame_bytes <= raw.size(); frame += frame_bytes) {
    const auto start = raw.begin() + static_cast<std::ptrdiff_t>(frame);
    bytes.insert(bytes.end(), start, start + static_cast<std::ptrdiff_t>(palette_bytes));
    for (std::uint32_t y = 0; y < rows; ++y) {
      const auto row = start + static_cast<std::ptrdiff_t>(palette_bytes + y * row_bytes);
      bytes.insert(bytes.end(), row, row + static_cast<std::ptrdiff_t>(row_bytes));
      bytes.insert(bytes.end(), stride - row_bytes, 0);
    }
  }
  return bytes;
}

// An LVGL image's data after its header: as it is, or decompressed from after its compression head,
// whose method and lengths are checked.
Bytes lvgl_data(const Bytes& after_header, LvglCompression compression, unsigned block, std::size_t size) {
  if (compression == LvglCompression::none) return after_header;
  EXPECT_GE(after_header.size(), 12u);
  if (after_header.size() < 12) return {};
  EXPECT_EQ(load_le32(after_header.data()), static_cast<std::uint32_t>(compression));
  EXPECT_EQ(load_le32(after_header.data() + 4), after_header.size() - 12);
  EXPECT_EQ(load_le32(after_header.data() + 8), size);
  Bytes data(size);
  const std::span<const std::uint8_t> compressed = std::span<const std::uint8_t>(after_header).subspan(12);
  const std::optional<std::string> failed =
      compression == LvglCompression::rle ? rle_decompress(compressed, block, data) : lz4_decompress(compressed, data);
  EXPECT_EQ(failed, std::nullopt);
  return data;
}

// How the input is read and the output written: file to file, to standard output, into a batch's
// folder, from standard input, or from standard input to standard output.
enum class Stream { file, standard_output, batch, standard_input, standard_both };

class PackContainers : public testing::TestWithParam<Case> {
 protected:
  // pack with `more` options into `stream`: the output's bytes, or nullopt when it failed.
  // The output of pack with the case's options and `more`, or nullopt when it is refused, which is
  // expected to be --max-output's refusal unless `converts`.
  std::optional<Bytes> pack(const std::vector<std::string>& more, Stream stream, const char* extension,
                            bool converts = true) {
    const std::string input = dir_.file(GetParam().input->file);
    std::vector<std::string> arguments = {"pack"};
    for (const auto* options :
         {&GetParam().input->options, &GetParam().transform->options, &GetParam().format->options, &more})
      arguments.insert(arguments.end(), options->begin(), options->end());
    std::string output;
    Bytes standard_input;
    if (stream == Stream::standard_input || stream == Stream::standard_both) {
      standard_input = *read_file(input);
      output = stream == Stream::standard_input ? dir_.file(std::string("out") + extension) : "-";
      arguments.insert(arguments.end(), {"-", output});
    } else if (stream == Stream::batch) {
      std::filesystem::remove_all(dir_.path() / "batch");
      std::filesystem::create_directory(dir_.path() / "batch");
      arguments.insert(arguments.end(), {"-d", dir_.file("batch"), input});
      output = dir_.file(std::string("batch/picture") + extension);
    } else {
      output = stream == Stream::file ? dir_.file(std::string("out") + extension) : "-";
      arguments.insert(arguments.end(), {input, output});
    }
    const Rgb565Run run = rgb565(arguments, standard_input);
    if (!converts) {
      EXPECT_EQ(run.code, 1);
      EXPECT_NE(run.err.find(" that --max-output allows\n"), std::string::npos) << run.err;
      return std::nullopt;
    }
    EXPECT_EQ(run.code, 0) << testing::PrintToString(arguments) << "\n" << run.err;
    if (run.code != 0) return std::nullopt;
    if (output == "-") return Bytes(run.out.begin(), run.out.end());
    return read_file(output);
  }

  TempDir dir_;
};

TEST_P(PackContainers, HoldTheRawBytesOfTheSameOptions) {
  const Case& c = GetParam();
  write_file(dir_.file(c.input->file), c.input->make());
  const std::uint32_t width = c.transform->width, height = c.transform->height;

  // The plain raw conversion, rows as the options give them and top row first as LVGL takes them.
  const std::optional<Bytes> raw = pack({}, Stream::file, ".bin");
  const std::optional<Bytes> raw_top_down = pack({"--rows", "top-down"}, Stream::file, ".bin");
  ASSERT_TRUE(raw && raw_top_down);
  const std::size_t row_bytes = (std::size_t{width} * c.format->bits + 7) / 8;
  const std::uint32_t frames = c.input->frames;
  ASSERT_EQ(raw->size(), (c.format->palette_bytes + row_bytes * height) * frames) << "the raw conversion itself";

  std::vector<Output> outputs = {
      {"Raw", Kind::raw, {}},
      {"RawAligned", Kind::raw, {"--align", "16"}, false, 16},
      {"CArray", Kind::c_array, {"--c-array", "logo", "--c-attribute", "PROGMEM"}, c.format->words},
      {"CArrayAligned",
       Kind::c_array,
       {"--c-array", "logo", "--c-attribute", "PROGMEM", "--align", "16"},
       c.format->words,
       16},
      {"CArrayOfBytes", Kind::c_array, {"--c-array", "logo", "--c-type", "bytes", "--c-attribute", "PROGMEM"}},
  };
  // An LVGL image holds one picture: tiles and --frame all are refused before anything is read.
  if (c.format->lvgl_format && c.transform->tiles == 0 && frames == 1) {
    outputs.push_back({"Lvgl", Kind::lvgl_bin, {"--lvgl"}});
    outputs.push_back({"LvglAligned", Kind::lvgl_bin, {"--lvgl", "--align", "16"}, false, 16});
    outputs.push_back({"LvglRle", Kind::lvgl_bin, {"--lvgl", "--compress", "rle"}, false, 1, LvglCompression::rle});
    outputs.push_back({"LvglLz4Aligned",
                       Kind::lvgl_bin,
                       {"--lvgl", "--compress", "lz4", "--align", "8"},
                       false,
                       8,
                       LvglCompression::lz4});
    outputs.push_back({"LvglCArray", Kind::lvgl_c, {"--lvgl", "--c-array", "logo", "--c-attribute", "PROGMEM"}});
    outputs.push_back({"LvglCArrayRleAligned",
                       Kind::lvgl_c,
                       {"--lvgl", "--c-array", "logo", "--c-attribute", "PROGMEM", "--compress", "rle", "--align", "4"},
                       false,
                       4,
                       LvglCompression::rle});
    outputs.push_back({"LvglCArrayLz4",
                       Kind::lvgl_c,
                       {"--lvgl", "--c-array", "logo", "--c-attribute", "PROGMEM", "--compress", "lz4"},
                       false,
                       1,
                       LvglCompression::lz4});
  }
  for (const Output& output : outputs) {
    for (const Stream stream :
         {Stream::file, Stream::standard_output, Stream::batch, Stream::standard_input, Stream::standard_both}) {
      const char* streams[] = {"to a file", "to standard output", "in a batch", "from standard input",
                               "from standard input to standard output"};
      SCOPED_TRACE(testing::Message() << output.name << " " << streams[static_cast<int>(stream)]);
      const char* extension = output.kind == Kind::c_array ? ".h" : output.kind == Kind::lvgl_c ? ".c" : ".bin";
      const Bytes expected = padded(*raw, c.format->palette_bytes, row_bytes, height, output.align);
      // --max-output counts the pixels' bytes as the raw image holds them, padding, frames and tiles
      // included: the output converts at that limit exactly, and is refused a byte below it.
      std::vector<std::string> options = output.options;
      options.insert(options.end(), {"--max-output", std::to_string(expected.size())});
      const std::optional<Bytes> bytes = pack(options, stream, extension);
      if (!bytes) continue;
      if (stream == Stream::file) {
        options.back() = std::to_string(expected.size() - 1);
        EXPECT_EQ(pack(options, stream, extension, false), std::nullopt);
        EXPECT_EQ(read_file(dir_.file(std::string("out") + extension)), bytes) << "the earlier output is kept";
      }
      // A batch names each array after its input's stem, with NAME_ before it.
      const std::string name = stream == Stream::batch ? "logo_picture" : "logo";
      const std::string text(bytes->begin(), bytes->end());
      const std::size_t stride = (row_bytes + output.align - 1) / output.align * output.align;
      const Bytes expected_top_down = padded(*raw_top_down, c.format->palette_bytes, row_bytes, height, output.align);
      const unsigned block = (c.format->bits + 7) / 8;
      switch (output.kind) {
        case Kind::raw:
          EXPECT_EQ(*bytes, expected);
          break;
        case Kind::c_array: {
          // The frames' delays are declared first, in an array of their own.
          std::string_view pixels = text;
          if (frames > 1) pixels = pixels.substr(pixels.find("};", pixels.find("_delays_ms[")) + 2);
          const std::optional<CArrayText> array = parse_c_array(pixels);
          ASSERT_TRUE(array) << text;
          EXPECT_EQ(array->type, output.words ? "uint16_t" : "uint8_t");
          EXPECT_EQ(array->name, name);
          EXPECT_EQ(array->attribute, "PROGMEM");
          EXPECT_EQ(array->length, array->elements);
          EXPECT_EQ(array->bytes, expected);
          EXPECT_EQ(c_define(text, name + "_width"), width);
          if (c.transform->tiles == 0) {
            EXPECT_EQ(c_define(text, name + "_height"), height);
            EXPECT_EQ(c_define(text, name + "_tiles"), std::nullopt);
          } else {
            EXPECT_EQ(c_define(text, name + "_height"), height / c.transform->tiles);
            EXPECT_EQ(c_define(text, name + "_tiles"), c.transform->tiles);
          }
          if (frames > 1) {
            EXPECT_EQ(c_define(text, name + "_frames"), frames);
          }
          break;
        }
        case Kind::lvgl_bin: {
          // Magic, colour format, flags (0x0008 compressed), width, height, stride, reserved; all
          // 16-bit fields low byte first.
          const Bytes header = {0x19,
                                *c.format->lvgl_format,
                                static_cast<std::uint8_t>(output.compression != LvglCompression::none ? 0x08 : 0),
                                0,
                                static_cast<std::uint8_t>(width),
                                0,
                                static_cast<std::uint8_t>(height),
                                0,
                                static_cast<std::uint8_t>(stride),
                                0,
                                0,
                                0};
          ASSERT_GE(bytes->size(), header.size());
          EXPECT_EQ(Bytes(bytes->begin(), bytes->begin() + 12), header);
          EXPECT_EQ(
              lvgl_data(Bytes(bytes->begin() + 12, bytes->end()), output.compression, block, expected_top_down.size()),
              expected_top_down);
          break;
        }
        case Kind::lvgl_c: {
          const std::optional<CArrayText> array = parse_c_array(text);
          ASSERT_TRUE(array) << text;
          EXPECT_EQ(array->type, "uint8_t");
          EXPECT_EQ(array->name, name + "_map");
          EXPECT_EQ(array->attribute, "PROGMEM");
          EXPECT_EQ(array->length, array->elements);
          EXPECT_EQ(lvgl_data(array->bytes, output.compression, block, expected_top_down.size()), expected_top_down);
          EXPECT_NE(
              text.find(".header.flags = " +
                        std::string(output.compression != LvglCompression::none ? "LV_IMAGE_FLAGS_COMPRESSED" : "0") +
                        ",\n    .header.w = " + std::to_string(width) + ",\n    .header.h = " + std::to_string(height) +
                        ",\n    .header.stride = " + std::to_string(stride) + ","),
              std::string::npos)
              << text;
          break;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(InputsTransformsFormats, PackContainers, testing::ValuesIn(all_cases()),
                         [](const testing::TestParamInfo<Case>& param_info) {
                           return testing::PrintToString(param_info.param);
                         });

}  // namespace
