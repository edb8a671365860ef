// A JPEG shrunk far is decoded reduced: the factor chosen for each resize, fit, crop and turn (worked
// by hand), whether a reduced picture's detail was darkened (squares worked by hand), and the result
// of packing small JPEGs, its size and its distance from ImageMagick's linear-light resize of the
// whole picture (jpeg-tests/*-64x48.rgb, written by
// `convert X.jpg -colorspace RGB -resize 64x48! -colorspace sRGB -depth 8 rgb:X-64x48.rgb`;
// cellauto.jpg by `ffmpeg -f lavfi -i cellauto=size=256x192 -frames:v 1 -q:v 2`), and which scale a
// JPEG of 256 x 192 fitted to 32 x 24 is decoded at: ffmpeg's `mandelbrot` (-q:v 8) and `gradients`
// (seed=3, -q:v 5); ImageMagick's `plasma:fractal` (-seed 5, -blur 0x6, -quality 75), text
// (DejaVu Sans at 9 points, black on white, -quality 60: a grey JPEG) and a settings dialog mock-up
// drawn by -draw and -annotate (-quality 60). Decoded at 1/4, the drawings' results lie 2.4, 5.6
// and 3.1 dB further from ImageMagick's resize than decoded whole, the others 0.1 and 0.2 dB.
#include "jobs/decode_reduction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "jobs/pack.h"
#include "testing/test_files.h"

namespace {

struct ReductionCase {
  const char* name;
  std::uint32_t width, height;
  Transforms transforms;
  std::uint32_t n;
};
void PrintTo(const ReductionCase& c, std::ostream* out) { *out << c.name; }

Transforms resize(std::uint32_t width, std::uint32_t height, Fit fit = Fit::contain) {
  Transforms t;
  t.resize = ResizeTo{width, height};
  t.fit = fit;
  return t;
}
Transforms turned(Transforms t) {
  t.rotation = Rotation::quarter;
  return t;
}
Transforms cropped(Transforms t, Rect crop) {
  t.crop = crop;
  return t;
}

class DecodeReduction : public testing::TestWithParam<ReductionCase> {};

TEST_P(DecodeReduction, LeavesTwiceTheResult) {
  const ReductionCase& c = GetParam();
  EXPECT_EQ(decode_reduction(c.width, c.height, c.transforms), c.n);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeReduction,
    testing::Values(
        // 1/8 is 500 x 375, less than 640 x 480; 1/4 is 1000 x 750.
        ReductionCase{"PhotoToPanel", 4000, 3000, resize(320, 240), 4},
        ReductionCase{"WidthAlone", 4000, 3000, resize(320, 0), 4},
        ReductionCase{"ShrinkOfTwoDecodesWhole", 640, 480, resize(320, 240), 1},
        ReductionCase{"ShrinkUnderTwoDecodesWhole", 4000, 3000, resize(2500, 1900), 1},
        ReductionCase{"ShrinkOfFour", 1280, 960, resize(320, 240), 2},
        ReductionCase{"NoResize", 4000, 3000, Transforms{}, 1},
        // 200 x 400: 1/2 leaves 1500 rows >= 800, 1/4 only 750; turned, the 4000 columns become
        // the rows, and 1/4 leaves 1000 >= 800 rows and 750 >= 400 columns.
        ReductionCase{"Stretched", 4000, 3000, resize(200, 400, Fit::stretch), 2},
        ReductionCase{"StretchedTurned", 4000, 3000, turned(resize(200, 400, Fit::stretch)), 4},
        // Cover keeps 3000 x 3000: 1/4 leaves 750 >= 600.
        ReductionCase{"Cover", 4000, 3000, resize(300, 300, Fit::cover), 4},
        // Sides that 8, 4 or 2 do not divide.
        ReductionCase{"OddSides", 4001, 3001, resize(320, 240), 1},
        ReductionCase{"SideOfTwiceOdd", 1000, 750, resize(100, 75), 2},
        // The crop keeps 2000 x 1600 for 200 x 160: 1/4 leaves 500 x 400.
        ReductionCase{"Crop", 4000, 3000, cropped(resize(200, 0), {400, 400, 2000, 1600}), 4},
        ReductionCase{"CropOffGrid", 4000, 3000, cropped(resize(200, 0), {401, 400, 2000, 1600}), 1},
        ReductionCase{"CropPastPicture", 4000, 3000, cropped(resize(200, 0), {2400, 400, 2000, 1600}), 1}));

// A picture of width x height quads of `grey`, with `squares` squares of 2 x 2 pixels black and
// white (the top-left and bottom-right ones white) along its top rows.
Bytes squares_picture(std::uint32_t width, std::uint32_t height, std::uint8_t grey, std::uint32_t squares) {
  Bytes quads(std::size_t{width} * height * 4, grey);
  for (std::uint32_t k = 0; k < squares; ++k) {
    const std::uint32_t x = 2 * (k % (width / 2)), y = 2 * (k / (width / 2));
    for (std::uint32_t dy = 0; dy < 2; ++dy)
      for (std::uint32_t dx = 0; dx < 2; ++dx)
        for (std::size_t c = 0; c < 3; ++c) quads[(std::size_t{y + dy} * width + x + dx) * 4 + c] = dx == dy ? 255 : 0;
  }
  return quads;
}

struct DetailCase {
  const char* name;
  Bytes quads;
  std::uint32_t width, height;
  bool darkened;
};
void PrintTo(const DetailCase& c, std::ostream* out) { *out << c.name; }

class ReductionDarkensDetail : public testing::TestWithParam<DetailCase> {};

TEST_P(ReductionDarkensDetail, OverATenthOfALevel) {
  const DetailCase& c = GetParam();
  EXPECT_EQ(reduction_darkens_detail(c.quads, c.width, c.height, std::size_t{c.width} * 4), c.darkened);
}

// A black and white square: encoded mean 127.5, its light 2 * 65535 / 4 against the table's 13909
// and 14146 at 127 and 128, (131070 - (4 * 13909 + 2 * 237)) * 256 / (4 * 237) = 20242 256ths of a
// level in each channel; over 0.1 on average when the picture has fewer than 790.7 squares a square.
INSTANTIATE_TEST_SUITE_P(Squares, ReductionDarkensDetail,
                         testing::Values(DetailCase{"Flat", squares_picture(8, 8, 90, 0), 8, 8, false},
                                         DetailCase{"OneIn768", squares_picture(64, 48, 90, 1), 64, 48, true},
                                         DetailCase{"OneIn800", squares_picture(64, 50, 90, 1), 64, 50, false},
                                         DetailCase{"TwoIn800", squares_picture(64, 50, 90, 2), 64, 50, true},
                                         // The last column and row, in no square, are not looked at.
                                         DetailCase{"OneIn800OddSides", squares_picture(65, 51, 90, 1), 65, 51, false},
                                         // Strong contrast between squares, none inside one: a sharp edge on the grid.
                                         DetailCase{"EdgeBetweenSquares",
                                                    [] {
                                                      Bytes q = squares_picture(8, 8, 0, 0);
                                                      std::fill(q.begin(), q.begin() + 8 * 4 * 4, std::uint8_t{255});
                                                      return q;
                                                    }(),
                                                    8, 8, false}));

struct ScaleCase {
  const char* name;
  const char* picture;
  Transforms transforms;
  std::uint32_t n;  // the picture decoded at 1/n of each side
};
void PrintTo(const ScaleCase& c, std::ostream* out) { *out << c.name; }

class DecodeScale : public testing::TestWithParam<ScaleCase> {};

TEST_P(DecodeScale, ReducedUnlessItDarkensDetail) {
  const ScaleCase& c = GetParam();
  const std::string path = std::string(JPEG_TESTS) + "/" + c.picture + ".jpg";
  const auto load = [&](const ::DecodeReduction& reduce) {
    std::optional<PictureLoad> got = LoadedPicture::load_with_codecs(path.c_str(), default_pixel_limit, reduce);
    return got ? std::move(*got) : PictureLoad{Failure{}};
  };
  // A codec that offers no reduced decoding (Wine's WIC may not) decodes every JPEG whole.
  const PictureLoad asked = load([&](std::uint32_t, std::uint32_t) { return c.n; });
  if (const LoadedPicture* p = std::get_if<LoadedPicture>(&asked); p != nullptr && p->reduced() != c.n)
    GTEST_SKIP() << "this build's codec does not decode a JPEG reduced";
  const PictureLoad loaded = load_for_transforms(load, c.transforms);
  const LoadedPicture* picture = std::get_if<LoadedPicture>(&loaded);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->reduced(), c.n);
  EXPECT_EQ(picture->width(), 256 / c.n);
}

Transforms nearest(Transforms t) {
  t.filter = ResizeFilter::nearest;
  return t;
}

INSTANTIATE_TEST_SUITE_P(Pictures, DecodeScale,
                         testing::Values(ScaleCase{"Gradients", "gradients", resize(32, 24), 4},
                                         ScaleCase{"Plasma", "plasma", resize(32, 24), 4},
                                         ScaleCase{"PlasmaNearest", "plasma", nearest(resize(32, 24)), 1},
                                         ScaleCase{"Mandelbrot", "mandelbrot", resize(32, 24), 1},
                                         ScaleCase{"GreyText", "text", resize(32, 24), 1},
                                         ScaleCase{"DialogMockUp", "ui", resize(32, 24), 1},
                                         ScaleCase{"Cellauto", "cellauto", resize(32, 24), 1}));

struct JpegCase {
  const char* name;
  const char* picture;
  Transforms transforms;
  std::uint32_t width, height;
  // The least PSNR against ImageMagick's resize: 1 dB under the whole decode's (0 for no check).
  double least_db = 0;
};
void PrintTo(const JpegCase& c, std::ostream* out) { *out << c.name; }

class PackReducedJpeg : public testing::TestWithParam<JpegCase> {};

// PSNR of argb8888 pixels (blue, green, red, alpha in memory) against RGB triples.
double psnr(const Bytes& quads, const Bytes& triples) {
  double sum = 0;
  for (std::size_t k = 0; k < triples.size() / 3; ++k) {
    for (int c = 0; c < 3; ++c) {
      const double d = double(quads[k * 4 + 2 - c]) - double(triples[k * 3 + c]);
      sum += d * d;
    }
  }
  return 10 * std::log10(255.0 * 255.0 / (sum / double(triples.size())));
}

TEST_P(PackReducedJpeg, HasTheSizeAskedFor) {
  const JpegCase& c = GetParam();
  TempDir dir;
  PackOptions options;
  options.switches.codecs = true;
  options.pixel_format = PixelFormat::argb8888;
  options.transforms = c.transforms;
  JobProgress quiet;
  const std::string input = std::string(JPEG_TESTS) + "/" + c.picture + ".jpg";
  const Outcome outcome = pack({input, dir.file("out")}, options, quiet);
  ASSERT_TRUE(outcome.done()) << outcome.reason;
  const Bytes out = read_file(dir.file("out")).value_or(Bytes{});
  ASSERT_EQ(out.size(), std::size_t{c.width} * c.height * 4);
  if (c.least_db == 0) return;
  const Bytes reference = read_file(std::string(JPEG_TESTS) + "/" + c.picture + "-64x48.rgb").value_or(Bytes{});
  ASSERT_EQ(reference.size(), std::size_t{64} * 48 * 3);
  EXPECT_GT(psnr(out, reference), c.least_db);
}

INSTANTIATE_TEST_SUITE_P(Pictures, PackReducedJpeg,
                         testing::Values(
                             // Decoded whole (at 1/4, 128 x 96, their squares differ strongly): 30.0 dB and 38.4 dB.
                             JpegCase{"Testsrc2", "testsrc2", resize(64, 48), 64, 48, 29.0},
                             JpegCase{"Rose", "rose", resize(64, 48), 64, 48, 37.4},
                             // Cells of one pixel, black or white: 32.5 dB decoded whole, 17.0 dB at 1/2.
                             JpegCase{"FineDetail", "cellauto", resize(64, 48), 64, 48, 31.5},
                             // A grey JPEG, decoded whole: 32.65 dB.
                             JpegCase{"GreyText", "text", resize(64, 48), 64, 48, 31.6},
                             JpegCase{"RoseCover", "rose", resize(64, 64, Fit::cover), 64, 64},
                             JpegCase{"RoseContain", "rose", resize(64, 64), 64, 64},
                             JpegCase{"RoseTurned", "rose", turned(resize(48, 64)), 48, 64},
                             JpegCase{"RoseCropped", "rose", cropped(resize(32, 0), {128, 96, 256, 192}), 32, 24},
                             JpegCase{"RoseWidthAlone", "rose", resize(50, 0), 50, 38}));

}  // namespace
