// Dithering against patterns worked out by hand from the rules at the top of dither.h, for RGB565's
// rows and each pixel format's fields, and against the light a panel shows for a flat grey.
#include "format/dither.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <span>
#include <tuple>
#include <vector>

#include "format/pixel_format.h"
#include "pixels/kernel_path.h"

namespace {

using Levels = std::vector<std::vector<int>>;

struct Packed {
  Levels blue, green, red;
};

// Packs a width x height picture of pixel(x, y) (stored rows, no padding) and splits the words;
// whole, or with `band` > 0 a band of that many rows at a time.
template <typename Pixel>
Packed pack(std::uint32_t width, std::uint32_t height, Dither dither, Pixel pixel, bool reverse = false,
            std::uint32_t band = 0) {
  std::vector<std::uint8_t> rows;
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const BgrTriple p = pixel(x, y);
      rows.insert(rows.end(), {p.blue, p.green, p.red});
    }
  }
  // The format stage's own walk: bands in stored order, each announced to the dither, the output's
  // rows reversed within each band when `reverse`.
  std::vector<std::uint8_t> out(std::size_t{width} * height * 2);
  FormatSettings settings;
  RowDither row_dither(dither, width);
  settings.dither = &row_dither;
  const std::uint32_t step = band == 0 ? height : band;
  for (std::uint32_t first = 0; first < height; first += step) {
    const std::uint32_t count = std::min(step, height - first);
    std::vector<BgraQuad> quads(std::size_t{width} * count);
    quads_of_triples(rows.data() + std::size_t{first} * width * 3, width * count, quads.data());
    if (reverse) {
      for (std::uint32_t y = 0; y < count / 2; ++y)
        std::swap_ranges(quads.begin() + y * width, quads.begin() + (y + 1) * width,
                         quads.begin() + (count - 1 - y) * width);
    }
    row_dither.start_band(first, count, reverse);
    encode_rows(settings, 0, quads, width, count,
                std::span(out).subspan(std::size_t{reverse ? height - first - count : first} * width * 2,
                                       std::size_t{count} * width * 2));
  }
  Packed packed{Levels(height), Levels(height), Levels(height)};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const unsigned word = out[(y * width + x) * 2] | out[(y * width + x) * 2 + 1] << 8;
      packed.blue[y].push_back(static_cast<int>(word & 0x1F));
      packed.green[y].push_back(static_cast<int>(word >> 5 & 0x3F));
      packed.red[y].push_back(static_cast<int>(word >> 11));
    }
  }
  return packed;
}

// Blue and green rise by one per column, 0 to 7: blue x lies 31 x / 255 of the way to 5-bit level 1,
// green 63 x / 255 of the way from 6-bit level 0 (x < 4) or 1 to the next; green 4 is the nearest
// 8-bit value to 6-bit level 1 and stays there.
BgrTriple gradient(std::uint32_t x, std::uint32_t) {
  return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x), 0};
}

TEST(Dither, OrderedTurnsAGradientIntoTheBayerPattern) {
  // Blue x takes level 1 where 128 * 31x > (2B + 1) * 255, that is where B is below 0, 8, 16, 23, 31,
  // 39, 47, 54 for x = 0 to 7; row 0's B is 0 32 8 40 2 34 10 42, row 1's 48 16 56 24 50 18 58 26.
  const Levels blue = {{0, 0, 1, 0, 1, 1, 1, 1}, {0, 0, 0, 0, 0, 1, 0, 1}};
  // Green x: remainders 0, 63, 126, 189, level 1 exactly, 60, 123, 186 (255ths of a level) against
  // B below 0, 16, 32, 47, -, 15, 31, 47.
  const Levels green = {{0, 0, 1, 1, 1, 1, 2, 2}, {0, 0, 0, 1, 1, 1, 1, 2}};
  const Packed packed = pack(8, 2, Dither::ordered, gradient);
  EXPECT_EQ(packed.blue, blue);
  EXPECT_EQ(packed.green, green);
  EXPECT_EQ(packed.red, Levels(2, std::vector<int>(8, 0)));
  // Written top row first, the same stored row keeps its pattern.
  EXPECT_EQ(pack(8, 2, Dither::ordered, gradient, true).blue[1], blue[0]);
}

TEST(Dither, DiffusionSpreadsAColourBetweenLevelsAsWorkedOutByHand) {
  // Blue 4 is 124/255 of a level, 1984 in 4080ths. Row 0 gathers 1984 (level 0), 2852 (level 1,
  // error -1228), 1447, 2617 (level 1) and leaves 390, 12, 100, -366 below; row 1 then reaches
  // 2374 (level 1, error -1706), 1250, 2630 (level 1), 984.
  const Packed packed = pack(4, 2, Dither::diffusion, [](std::uint32_t, std::uint32_t) { return BgrTriple{4, 0, 0}; });
  EXPECT_EQ(packed.blue, (Levels{{0, 1, 0, 1}, {1, 0, 1, 0}}));
}

// The hand-worked pictures above, packed a band at a time: each band must start from the rows before
// it, its errors and its place in the Bayer pattern.
TEST(Dither, BandsGiveTheWholePicturesBytes) {
  const auto four = [](std::uint32_t, std::uint32_t) { return BgrTriple{4, 0, 0}; };
  EXPECT_EQ(pack(4, 2, Dither::diffusion, four, false, 1).blue, (Levels{{0, 1, 0, 1}, {1, 0, 1, 0}}));
  EXPECT_EQ(pack(8, 2, Dither::ordered, gradient, false, 1).green,
            (Levels{{0, 0, 1, 1, 1, 1, 2, 2}, {0, 0, 0, 1, 1, 1, 1, 2}}));
}

// Encodes a width x height picture of one colour into `format` with `dither`, as one band of stored
// rows in order.
std::vector<std::uint8_t> encode_flat(FormatSettings settings, std::uint32_t width, std::uint32_t height,
                                      BgraQuad colour, Dither dither) {
  RowDither rows(dither, width);
  settings.dither = &rows;
  rows.start_band(0, height, false);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(band_bytes(settings, 0, width, height)));
  encode_rows(settings, 0, std::vector<BgraQuad>(std::size_t{width} * height, colour), width, height, out);
  return out;
}

FormatSettings settings_of(PixelFormat format, ChannelOrder channels = ChannelOrder::rgb, bool pages = false) {
  FormatSettings settings;
  settings.format = format;
  settings.word.channels = channels;
  settings.pages = pages;
  return settings;
}

// A field of `bits` bits, `shift` above the bottom of a pixel's `size` bytes read as a little-endian
// number (a byte stream's first byte is its high byte: rgb666 is read as such a number by hand).
struct Field {
  unsigned size, shift, bits;
};

// A flat grey shows its own light on the panel on average: level k of a field of L + 1 levels shows
// as k * 255 / L, and the mean over the picture must be within half an 8-bit step of the grey, or
// within the 1/128 of a level's step that an 8 x 8 pattern can tell apart where that is more (at 1
// and 2 bits), for each method and every colour field of a format.
struct LightCase {
  PixelFormat format;
  std::vector<Field> fields;  // whole bytes a pixel; or for gray4 and mono1 one field of a packed row
};

const LightCase light_cases[] = {
    {PixelFormat::rgb565, {{2, 0, 5}, {2, 5, 6}, {2, 11, 5}}},
    {PixelFormat::rgb666, {{3, 2, 6}, {3, 10, 6}, {3, 18, 6}}},
    {PixelFormat::rgb332, {{1, 0, 2}, {1, 2, 3}, {1, 5, 3}}},
    {PixelFormat::rgb444, {{2, 0, 4}, {2, 4, 4}, {2, 8, 4}}},
    {PixelFormat::gray4, {{0, 0, 4}}},
    {PixelFormat::mono1, {{0, 0, 1}}},
};

class DitherKeepsTheLight : public testing::TestWithParam<std::tuple<LightCase, int>> {};

TEST_P(DitherKeepsTheLight, OfAFlatGrey) {
  const auto& [c, grey] = GetParam();
  const auto v = static_cast<std::uint8_t>(grey);
  for (const Dither dither : {Dither::ordered, Dither::diffusion}) {
    const std::vector<std::uint8_t> out = encode_flat(settings_of(c.format), 64, 64, {v, v, v, 255}, dither);
    for (const Field& field : c.fields) {
      const unsigned top = (1u << field.bits) - 1;
      double sum = 0;
      for (std::size_t pixel = 0; pixel < 64 * 64; ++pixel) {
        unsigned level = 0;
        if (field.size == 0) {  // rows of 64 pixels packed from the most significant bit
          const std::size_t bit = pixel * field.bits;
          level = out[bit / 8] >> (8 - field.bits - bit % 8) & top;
        } else {
          std::uint32_t word = 0;
          for (unsigned b = 0; b < field.size; ++b) {
            const unsigned byte = c.format == PixelFormat::rgb666 ? field.size - 1 - b : b;
            word |= std::uint32_t{out[pixel * field.size + byte]} << (8 * b);
          }
          level = word >> field.shift & top;
        }
        sum += level;
      }
      EXPECT_NEAR(sum / (64.0 * 64.0) * 255.0 / top, grey, std::max(0.5, 255.0 / top / 128))
          << format_info(c.format).name << ", field at " << field.shift << ", " << static_cast<int>(dither);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Greys, DitherKeepsTheLight,
                         testing::Combine(testing::ValuesIn(light_cases),
                                          testing::Values(1, 4, 60, 100, 128, 200, 250, 254)));

// Each format's levels dithered into its own fields, worked out by hand from the Bayer matrix's first
// two rows (0 32 8 40 2 34 10 42, then 48 16 56 24 50 18 58 26) on 8 x 2 pixels of one colour.
struct PatternCase {
  const char* name;
  FormatSettings settings;
  BgraQuad colour;
  std::vector<std::uint8_t> expected;
  std::uint32_t rows = 2;
};
void PrintTo(const PatternCase& c, std::ostream* out) { *out << c.name; }

const PatternCase pattern_cases[] = {
    // Grey 128 is 128/255 of the way to white: lit where B is 31 or less, half the pixels.
    {"Mono1Rows", settings_of(PixelFormat::mono1), {128, 128, 128, 255}, {0xAA, 0x55}},
    // The same pixels in a page, a byte a column with row 0 in bit 0.
    {"Mono1Pages",
     settings_of(PixelFormat::mono1, ChannelOrder::rgb, true),
     {128, 128, 128, 255},
     {0x01, 0x02, 0x01, 0x02, 0x01, 0x02, 0x01, 0x02}},
    // Grey 100 is 1500/255 levels of 15: level 5 and 225/255 on, so level 6 where B is 55 or less.
    {"Gray4", settings_of(PixelFormat::gray4), {100, 100, 100, 255}, {0x66, 0x66, 0x66, 0x66, 0x66, 0x56, 0x66, 0x56}},
    // Red 100 at 3 bits is level 2 and 190/255 (3 where B <= 47), green 0 stays 0, blue 128 at 2 bits
    // is level 1 and 129/255 (2 where B <= 31).
    {"Rgb332",
     settings_of(PixelFormat::rgb332),
     {128, 0, 100, 255},
     {0x62, 0x61, 0x62, 0x61, 0x62, 0x61, 0x62, 0x61, 0x41, 0x62, 0x41, 0x62, 0x41, 0x62, 0x41, 0x62}},
    // Swapped, blue takes the three high bits (level 3 and 131/255: 4 where B <= 32) and red the two
    // low ones (level 1 and 45/255: 2 where B <= 10).
    {"Rgb332Bgr",
     settings_of(PixelFormat::rgb332, ChannelOrder::bgr),
     {128, 0, 100, 255},
     {0x82, 0x81, 0x82, 0x61, 0x82, 0x61, 0x82, 0x61, 0x61, 0x81, 0x61, 0x81, 0x61, 0x81, 0x61, 0x81}},
    // Colour scaled by its alpha before it is dithered: white at alpha 0x22 is 0x22 = 34, which is
    // 5-bit level 4 and 34/255 (5 where B <= 8) and 6-bit level 8 and 102/255 (9 where B <= 25); the
    // alpha byte follows each word as it is. One row.
    {"Argb8565Premultiplied",
     [] {
       FormatSettings settings = settings_of(PixelFormat::argb8565);
       settings.premultiply = true;
       return settings;
     }(),
     {255, 255, 255, 0x22},
     {0x25, 0x29, 0x22, 0x04, 0x21, 0x22, 0x25, 0x29, 0x22, 0x04, 0x21, 0x22,
      0x25, 0x29, 0x22, 0x04, 0x21, 0x22, 0x24, 0x21, 0x22, 0x04, 0x21, 0x22},
     1},
};

class FormatsDither : public testing::TestWithParam<PatternCase> {};

TEST_P(FormatsDither, AsWorkedOutByHand) {
  const PatternCase& c = GetParam();
  EXPECT_EQ(encode_flat(c.settings, 8, c.rows, c.colour, Dither::ordered), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatsDither, testing::ValuesIn(pattern_cases),
                         [](const testing::TestParamInfo<PatternCase>& c) { return std::string(c.param.name); });

// The nearest 8-bit value to a level is that level, and is not dithered, for any depth: at every
// cell of the Bayer matrix, and across a diffused picture.
struct ExactCase {
  const char* name;
  std::uint8_t value;
  unsigned bits;
  unsigned level;
};
void PrintTo(const ExactCase& c, std::ostream* out) { *out << c.name; }

class DitherLeavesExactLevels : public testing::TestWithParam<ExactCase> {};

TEST_P(DitherLeavesExactLevels, Alone) {
  const ExactCase& c = GetParam();
  for (std::uint32_t y = 0; y < 8; ++y) {
    for (std::uint32_t x = 0; x < 8; ++x) EXPECT_EQ(ordered_level(c.value, x, y, c.bits), c.level) << x << ", " << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, DitherLeavesExactLevels,
                         testing::Values(ExactCase{"Black", 0, 5, 0}, ExactCase{"White", 255, 5, 31},
                                         // round(16 * 255 / 31) = round(131.6), round(33 * 255 / 63) = round(133.6).
                                         ExactCase{"FiveBitLevel16", 132, 5, 16},
                                         ExactCase{"SixBitLevel33", 134, 6, 33}, ExactCase{"OneBitWhite", 255, 1, 1},
                                         ExactCase{"TwoBitThird", 85, 2, 1},
                                         // round(255 / 7) = round(36.4); round(3 * 255 / 15) = 51.
                                         ExactCase{"ThreeBitLevel1", 36, 3, 1}, ExactCase{"FourBitLevel3", 51, 4, 3},
                                         ExactCase{"EightBits", 77, 8, 77}),
                         [](const testing::TestParamInfo<ExactCase>& c) { return std::string(c.param.name); });

TEST(Dither, DiffusionLeavesAPictureOfExactLevelsAlone) {
  // Blue 132, green 134 and red 255: levels 16, 33 and 31 everywhere, with no error to carry.
  const Packed packed = pack(11, 9, Dither::diffusion, [](std::uint32_t, std::uint32_t) {
    return BgrTriple{132, 134, 255};
  });
  EXPECT_EQ(packed.blue, Levels(9, std::vector<int>(11, 16)));
  EXPECT_EQ(packed.green, Levels(9, std::vector<int>(11, 33)));
  EXPECT_EQ(packed.red, Levels(9, std::vector<int>(11, 31)));
}

// Floyd-Steinberg as the rule at the top of dither.h states it, on one channel of a whole picture
// held at once: positions in 255ths of a level, values and errors in 4080ths, shares rounded toward
// zero and dropped at the picture's edges.
std::vector<int> reference_diffusion(const std::vector<int>& values, int width, int height, int bits) {
  const int top = (1 << bits) - 1;
  std::vector<int> received(static_cast<std::size_t>((width + 2) * (height + 1)), 0);
  const auto at = [&](int x, int y) -> int& { return received[static_cast<std::size_t>(y * (width + 2) + x + 1)]; };
  std::vector<int> levels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int v = values[static_cast<std::size_t>(y * width + x)];
      const int nearest = (2 * v * top + 255) / 510;
      const int position = (2 * nearest * 255 + top) / (2 * top) == v ? 255 * nearest : v * top;
      const int value = std::min(4080 * top, std::max(0, 16 * position + at(x, y)));
      const int level = (value + 2040) / 4080;
      const int error = value - 4080 * level;
      levels.push_back(level);
      if (x + 1 < width) at(x + 1, y) += error * 7 / 16;
      at(x - 1, y + 1) += error * 3 / 16;
      at(x, y + 1) += error * 5 / 16;
      at(x + 1, y + 1) += error - error * 7 / 16 - error * 3 / 16 - error * 5 / 16;
    }
  }
  return levels;
}

// Every format that dithers, on random pictures of several widths, packed a band of four rows at a
// time from quads and from triples, on every kernel path: each channel's levels as the reference
// makes them.
TEST(Dither, DiffusionOfEveryFormatFollowsTheRule) {
  const PixelFormat formats[] = {PixelFormat::rgb565, PixelFormat::rgb565a8, PixelFormat::argb8565, PixelFormat::rgb666,
                                 PixelFormat::rgb332, PixelFormat::rgb444,   PixelFormat::gray4,    PixelFormat::mono1};
  const KernelPath chosen = dispatched_kernel_path();
  std::mt19937 random(4080);
  constexpr int height = 11;
  for (const KernelPath path : available_kernel_paths()) {
    force_kernel_path(path);
    for (const PixelFormat format : formats) {
      for (const int width : {1, 2, 5, 33}) {
        std::vector<std::uint8_t> triples(static_cast<std::size_t>(width * height * 3));
        for (auto& byte : triples) byte = static_cast<std::uint8_t>(random() % 256);
        std::vector<BgraQuad> quads(static_cast<std::size_t>(width * height));
        for (std::size_t k = 0; k < quads.size(); ++k)
          quads[k] = {triples[3 * k], triples[3 * k + 1], triples[3 * k + 2], 255};
        FormatSettings settings = settings_of(format);
        const auto w = static_cast<std::uint32_t>(width);
        for (const bool from_triples : {false, true}) {
          RowDither dither(Dither::diffusion, w);
          settings.dither = &dither;
          std::vector<std::uint8_t> out(static_cast<std::size_t>(band_bytes(settings, 0, w, height)));
          for (std::uint32_t first = 0; first < height; first += 4) {
            const std::uint32_t count = std::min<std::uint32_t>(4, height - first);
            const std::span<std::uint8_t> band =
                std::span(out).subspan(static_cast<std::size_t>(band_bytes(settings, 0, w, first)),
                                       static_cast<std::size_t>(band_bytes(settings, 0, w, count)));
            dither.start_band(first, count, false);
            if (from_triples) {
              ASSERT_TRUE(
                  encode_triple_rows(settings, 0, triples.data() + first * w * 3, w * 3, false, w, count, band));
            } else {
              encode_rows(settings, 0, std::span(quads).subspan(first * w, count * w), w, count, band);
            }
          }
          settings.dither = nullptr;
          std::vector<BgraQuad> decoded(quads.size());
          decode_rows(settings, 0, out, w, height, decoded);
          const FormatInfo& info = format_info(format);
          const bool grey = format == PixelFormat::gray4 || format == PixelFormat::mono1;
          for (int c = 0; c < (grey ? 1 : 3); ++c) {
            // Blue, green, red; for a grey format its luma.
            const int bits = info.channel_bits[static_cast<std::size_t>(2 - c)];
            std::vector<int> values, levels;
            for (std::size_t k = 0; k < quads.size(); ++k) {
              const BgraQuad q = quads[k];
              const BgraQuad d = decoded[k];
              values.push_back(grey ? (299 * q.red + 587 * q.green + 114 * q.blue + 500) / 1000
                                    : (c == 0   ? q.blue
                                       : c == 1 ? q.green
                                                : q.red));
              levels.push_back((c == 0 ? d.blue : c == 1 ? d.green : d.red) >> (8 - bits));
            }
            ASSERT_EQ(levels, reference_diffusion(values, width, height, bits))
                << info.name << ", width " << width << ", channel " << c << ", " << (from_triples ? "triples" : "quads")
                << ", " << kernel_path_name(path);
          }
        }
      }
    }
  }
  force_kernel_path(chosen);
}

// Bands of many rows, which the vector kernels take several at once (a band of 13 rows is two
// groups of six and a row alone), on every kernel path: one and three channels, each channel's
// levels as the reference makes them.
TEST(Dither, DiffusionOfTallBandsFollowsTheRule) {
  struct Case {
    std::vector<std::uint8_t> bits;
    std::uint32_t band;
  };
  const Case cases[] = {{{5, 6, 5}, 13}, {{5, 6, 5}, 6}, {{4, 4, 4}, 8}, {{4}, 13}, {{1}, 7}};
  const KernelPath chosen = dispatched_kernel_path();
  std::mt19937 random(2056);
  constexpr std::uint32_t height = 29;
  for (const KernelPath path : available_kernel_paths()) {
    force_kernel_path(path);
    for (const Case& test : cases) {
      const auto channels = static_cast<unsigned>(test.bits.size());
      for (const std::uint32_t width : {1u, 3u, 10u, 40u}) {
        std::vector<std::uint8_t> values(std::size_t{width} * height * channels), levels(values.size());
        for (auto& byte : values) byte = static_cast<std::uint8_t>(random() % 256);
        RowDither dither(Dither::diffusion, width);
        const std::size_t stride = std::size_t{width} * channels;
        for (std::uint32_t first = 0; first < height; first += test.band) {
          const std::uint32_t count = std::min(test.band, height - first);
          dither.start_band(first, count, false);
          dither.next_rows(values.data() + first * stride, stride, count, channels, test.bits.data(),
                           levels.data() + first * stride);
        }
        for (unsigned c = 0; c < channels; ++c) {
          std::vector<int> channel, made;
          for (std::size_t k = c; k < values.size(); k += channels) {
            channel.push_back(values[k]);
            made.push_back(levels[k]);
          }
          ASSERT_EQ(made, reference_diffusion(channel, static_cast<int>(width), height, test.bits[c]))
              << "band " << test.band << ", width " << width << ", channel " << c << ", " << kernel_path_name(path);
        }
      }
    }
  }
  force_kernel_path(chosen);
}

}  // namespace
