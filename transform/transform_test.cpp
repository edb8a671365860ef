// Which source pixel lands where under crop, rotate, flip and each fit, and how a pixel is laid
// over the background: small pictures worked out by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "testing/region_picture.h"
#include "transform/background.h"
#include "transform/chain.h"
#include "transform/fit.h"

namespace {

using Grid = std::vector<std::vector<int>>;

// Pixel (x, y) of a grid is blue 10 y + x, opaque grey otherwise.
RegionPicture named(std::uint32_t width, std::uint32_t height, bool held = false) {
  return RegionPicture(
      width, height,
      [](std::uint32_t x, std::uint32_t y) {
        return BgraQuad{static_cast<std::uint8_t>(10 * y + x), 50, 50, 255};
      },
      held);
}

// The chain's result, a row at a time, as the blue channel of each pixel.
Grid run(RegionSource& source, const Transforms& transforms, BgrTriple background = {200, 0, 0}) {
  ChainMade made = TransformChain::make(source, transforms, background, 1);
  EXPECT_TRUE(std::holds_alternative<std::unique_ptr<TransformChain>>(made));
  if (!std::holds_alternative<std::unique_ptr<TransformChain>>(made)) return {};
  TransformChain& chain = *std::get<std::unique_ptr<TransformChain>>(made);
  Grid grid;
  std::vector<std::uint8_t> row(std::size_t{chain.width()} * 3);
  for (std::uint32_t y = 0; y < chain.height(); ++y) {
    chain.next_rows(1, row.data());
    grid.emplace_back();
    for (std::uint32_t x = 0; x < chain.width(); ++x) grid.back().push_back(row[3 * x]);
  }
  return grid;
}

struct PlaceCase {
  const char* name;
  Transforms transforms;
  Grid expected;
};
void PrintTo(const PlaceCase& c, std::ostream* out) { *out << c.name; }

class TransformPlaces : public testing::TestWithParam<PlaceCase> {};

// The source is 3 x 2: 0 1 2 over 10 11 12 (4 x 2 for the fits: 0 1 2 3 over 10 11 12 13); read a
// band of rows at a time, and held in memory, which a quarter turn reads a band of columns at a time.
TEST_P(TransformPlaces, EachSourcePixel) {
  const PlaceCase& c = GetParam();
  for (const bool held : {false, true}) {
    SCOPED_TRACE(held ? "held" : "read in bands");
    RegionPicture source = named(c.transforms.resize ? 4 : 3, 2, held);
    EXPECT_EQ(run(source, c.transforms), c.expected);
  }
}

Transforms turned(Rotation rotation, Flip flip = Flip::none) { return {.rotation = rotation, .flip = flip}; }
Transforms fitted(std::uint32_t width, std::uint32_t height, Fit fit) {
  return {.resize = ResizeTo{width, height}, .fit = fit};
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, TransformPlaces,
    testing::Values(
        PlaceCase{"Crop", {.crop = Rect{1, 0, 2, 2}}, {{1, 2}, {11, 12}}},
        PlaceCase{"CropOneRow", {.crop = Rect{0, 1, 3, 1}}, {{10, 11, 12}}},
        // Clockwise: the bottom left corner comes to the top left.
        PlaceCase{"Rotate90", turned(Rotation::quarter), {{10, 0}, {11, 1}, {12, 2}}},
        PlaceCase{"Rotate180", turned(Rotation::half), {{12, 11, 10}, {2, 1, 0}}},
        PlaceCase{"Rotate270", turned(Rotation::three_quarters), {{2, 12}, {1, 11}, {0, 10}}},
        PlaceCase{"FlipHorizontal", turned(Rotation::none, Flip::horizontal), {{2, 1, 0}, {12, 11, 10}}},
        PlaceCase{"FlipVertical", turned(Rotation::none, Flip::vertical), {{10, 11, 12}, {0, 1, 2}}},
        // The mirror comes after the turn: 90 and horizontal swap rows and columns.
        PlaceCase{"Rotate90FlipHorizontal", turned(Rotation::quarter, Flip::horizontal), {{0, 10}, {1, 11}, {2, 12}}},
        PlaceCase{"Rotate90FlipVertical", turned(Rotation::quarter, Flip::vertical), {{12, 2}, {11, 1}, {10, 0}}},
        // The crop comes before the turn.
        PlaceCase{"CropThenRotate90", {.crop = Rect{1, 0, 2, 2}, .rotation = Rotation::quarter}, {{11, 1}, {12, 2}}},
        // The fits at sizes that need no resampling, so that only placement shows. Contain: 4 x 2 in
        // 4 x 4 is placed one row down, on the background (blue 200).
        PlaceCase{"Contain",
                  fitted(4, 4, Fit::contain),
                  {{200, 200, 200, 200}, {0, 1, 2, 3}, {10, 11, 12, 13}, {200, 200, 200, 200}}},
        // Cover: 2 x 2 keeps the middle two columns.
        PlaceCase{"Cover", fitted(2, 2, Fit::cover), {{1, 2}, {11, 12}}},
        PlaceCase{"CoverTall", fitted(4, 1, Fit::cover), {{0, 1, 2, 3}}},
        // Wider than the picture in proportion: contain puts background left and right.
        PlaceCase{"ContainSideways", fitted(6, 2, Fit::contain), {{200, 0, 1, 2, 3, 200}, {200, 10, 11, 12, 13, 200}}},
        // Laid upright first (EXIF orientation 6 is a quarter turn, 5 a turn and a mirror, 8 three
        // quarters, 7 three quarters and a mirror, 2 a mirror); the crop's coordinates, turn and
        // mirror are the upright picture's.
        PlaceCase{"Upright6", {.upright = {Rotation::quarter, Flip::none}}, {{10, 0}, {11, 1}, {12, 2}}},
        PlaceCase{"Upright5ThenCrop",
                  {.upright = {Rotation::quarter, Flip::horizontal}, .crop = Rect{0, 1, 2, 2}},
                  {{1, 11}, {2, 12}}},
        PlaceCase{"Upright8ThenRotate90",
                  {.upright = {Rotation::three_quarters, Flip::none}, .rotation = Rotation::quarter},
                  {{0, 1, 2}, {10, 11, 12}}},
        PlaceCase{"Upright2ThenCropThenFlipVertical",
                  {.upright = {Rotation::none, Flip::horizontal}, .crop = Rect{0, 0, 2, 2}, .flip = Flip::vertical},
                  {{12, 11}, {2, 1}}},
        PlaceCase{"Upright7ThenCropThenRotate90",
                  {.upright = {Rotation::three_quarters, Flip::horizontal},
                   .crop = Rect{1, 0, 1, 3},
                   .rotation = Rotation::quarter},
                  {{0, 1, 2}}},
        // Nearest: halved, a centre on the edge between two pixels takes the right one and the lower
        // one; 4 to 3 across takes the pixels under 2/3, 2 and 10/3.
        PlaceCase{"NearestHalved",
                  {.resize = ResizeTo{2, 1}, .fit = Fit::stretch, .filter = ResizeFilter::nearest},
                  {{11, 13}}},
        PlaceCase{"NearestFourToThree",
                  {.resize = ResizeTo{3, 2}, .fit = Fit::stretch, .filter = ResizeFilter::nearest},
                  {{0, 2, 3}, {10, 12, 13}}},
        PlaceCase{"ContainAfterRotate",
                  {.rotation = Rotation::quarter, .resize = ResizeTo{3, 4}, .fit = Fit::contain},
                  {{10, 0, 200}, {11, 1, 200}, {12, 2, 200}, {13, 3, 200}}}),
    [](const testing::TestParamInfo<PlaceCase>& c) { return std::string(c.param.name); });

TEST(TransformChain, RefusesACropPastThePicture) {
  RegionPicture source = named(3, 2);
  const ChainMade made = TransformChain::make(source, {.crop = Rect{2, 0, 2, 2}}, {}, 1);
  ASSERT_TRUE(std::holds_alternative<Failure>(made));
  EXPECT_EQ(std::get<Failure>(made).reason, "the crop 2x2+2+0 reaches past the picture's 3 x 2 pixels");
}

// The crop is checked against the upright picture: 2 x 3 once a 3 x 2 picture is turned upright.
TEST(TransformChain, RefusesACropPastTheUprightPicture) {
  RegionPicture source = named(3, 2);
  const ChainMade made =
      TransformChain::make(source, {.upright = {Rotation::quarter, Flip::none}, .crop = Rect{0, 0, 3, 2}}, {}, 1);
  ASSERT_TRUE(std::holds_alternative<Failure>(made));
  EXPECT_EQ(std::get<Failure>(made).reason, "the crop 3x2+0+0 reaches past the picture's 2 x 3 pixels");
}

// Pixel art enlarged 8 times by nearest: every result pixel is its source pixel exactly, alpha
// included, so the 16 x 12 picture's 192 colours become 8 x 8 blocks and no colour is made anew.
TEST(TransformChain, NearestMakesEachPixelABlock) {
  const auto pixel = [](std::uint32_t x, std::uint32_t y) {
    return BgraQuad{static_cast<std::uint8_t>(16 * y + x), static_cast<std::uint8_t>(255 - x * 9),
                    static_cast<std::uint8_t>(y * 20), static_cast<std::uint8_t>(x * 17)};
  };
  RegionPicture source(16, 12, pixel);
  ChainMade made = TransformChain::make(
      source, {.resize = ResizeTo{128, 96}, .fit = Fit::stretch, .filter = ResizeFilter::nearest}, {}, 96);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<TransformChain>>(made));
  TransformChain& chain = *std::get<std::unique_ptr<TransformChain>>(made);
  ASSERT_TRUE(chain.width() == 128 && chain.height() == 96);
  std::vector<BgraQuad> quads(128 * 96);
  chain.next_quads(96, quads.data());
  for (std::uint32_t i = 0; i < quads.size(); ++i) {
    const BgraQuad got = quads[i], want = pixel(i % 128 / 8, i / 128 / 8);
    ASSERT_TRUE(got.blue == want.blue && got.green == want.green && got.red == want.red && got.alpha == want.alpha)
        << i % 128 << ", " << i / 128;
  }
}

// A side worked out from a long, thin picture's proportions passes what a resize takes (or even
// 32 bits: 131072 x 1 to a height of 32768 is 2^32 pixels wide, which wrapped to 0 and divided by
// it): refused, with the size it would have been, before anything is made.
TEST(TransformChain, RefusesAWorkedOutSideBeyondTheLargest) {
  struct Case {
    std::uint32_t width, height;
    ResizeTo to;
    const char* reason;
  };
  const Case cases[] = {
      {131072,
       1,
       {0, 32768},
       "--resize gives this 131072 x 1 picture 4294967296 x 32768 pixels; a side is at most 65535"},
      {1,
       131072,
       {32768, 0},
       "--resize gives this 1 x 131072 picture 32768 x 4294967296 pixels; a side is at most 65535"},
      {1048577,
       1,
       {0, 4096},
       "--resize gives this 1048577 x 1 picture 4294971392 x 4096 pixels; a side is at most 65535"},
      {65536, 2, {0, 2}, "--resize gives this 65536 x 2 picture 65536 x 2 pixels; a side is at most 65535"},
  };
  for (const Case& c : cases) {
    RegionPicture source(c.width, c.height, [](std::uint32_t, std::uint32_t) { return BgraQuad{}; });
    const ChainMade made = TransformChain::make(source, {.resize = c.to}, {}, 1);
    ASSERT_TRUE(std::holds_alternative<Failure>(made)) << c.width << " x " << c.height;
    EXPECT_EQ(std::get<Failure>(made).reason, c.reason);
  }
  // The largest side that is taken is made.
  RegionPicture source(65535, 1, [](std::uint32_t, std::uint32_t) { return BgraQuad{}; });
  const ChainMade made = TransformChain::make(source, {.resize = ResizeTo{0, 1}}, {}, 1);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<TransformChain>>(made));
  EXPECT_EQ(std::get<std::unique_ptr<TransformChain>>(made)->width(), 65535u);
}

struct FitCase {
  const char* name;
  std::uint32_t width, height;
  ResizeTo to;
  Fit fit;
  FitPlan plan;
};
void PrintTo(const FitCase& c, std::ostream* out) { *out << c.name; }

class FitPlans : public testing::TestWithParam<FitCase> {};

TEST_P(FitPlans, AsWorkedOutByHand) {
  const FitCase& c = GetParam();
  EXPECT_EQ(plan_fit(c.width, c.height, c.to, c.fit), c.plan);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FitPlans,
    testing::Values(
        FitCase{"SameProportions", 400, 300, {320, 240}, Fit::contain, {{0, 0, 400, 300}, {0, 0, 320, 240}, 320, 240}},
        // 200 * 320 / 400 = 160 rows, (240 - 160) / 2 = 40 above.
        FitCase{"ContainWide", 400, 200, {320, 240}, Fit::contain, {{0, 0, 400, 200}, {0, 40, 320, 160}, 320, 240}},
        FitCase{"ContainTall", 200, 400, {320, 240}, Fit::contain, {{0, 0, 200, 400}, {100, 0, 120, 240}, 320, 240}},
        // 200 * 320 / 240 = 266.7 columns kept, (400 - 267) / 2 = 66 cut on the left.
        FitCase{"CoverWide", 400, 200, {320, 240}, Fit::cover, {{66, 0, 267, 200}, {0, 0, 320, 240}, 320, 240}},
        FitCase{"CoverTall", 200, 400, {320, 240}, Fit::cover, {{0, 125, 200, 150}, {0, 0, 320, 240}, 320, 240}},
        FitCase{"Stretch", 400, 200, {320, 240}, Fit::stretch, {{0, 0, 400, 200}, {0, 0, 320, 240}, 320, 240}},
        FitCase{"WidthOnly", 400, 300, {200, 0}, Fit::cover, {{0, 0, 400, 300}, {0, 0, 200, 150}, 200, 150}},
        // 400 * 100 / 300 = 133.3.
        FitCase{"HeightOnly", 400, 300, {0, 100}, Fit::contain, {{0, 0, 400, 300}, {0, 0, 133, 100}, 133, 100}},
        FitCase{"AtLeastOnePixel", 1000, 1, {10, 0}, Fit::contain, {{0, 0, 1000, 1}, {0, 0, 10, 1}, 10, 1}},
        // 4 / 3 rounds to one row; the odd leftover puts the extra row below.
        FitCase{"OddLeftover", 3, 1, {4, 4}, Fit::contain, {{0, 0, 3, 1}, {0, 1, 4, 1}, 4, 4}}),
    [](const testing::TestParamInfo<FitCase>& c) { return std::string(c.param.name); });

TEST(LayOver, BlendsInProportionToAlpha) {
  const struct {
    BgraQuad pixel;
    BgrTriple background;
    BgrTriple expected;
  } cases[] = {
      {{10, 20, 30, 255}, {200, 200, 200}, {10, 20, 30}},
      {{10, 20, 30, 0}, {200, 100, 0}, {200, 100, 0}},
      // (255 * 128 + 0 * 127 + 127) / 255 = 128.5, rounded down; (0 * 128 + 255 * 127 + 127) / 255 = 127.5.
      {{255, 0, 255, 128}, {0, 255, 255}, {128, 127, 255}},
  };
  for (const auto& c : cases) {
    std::uint8_t triple[3];
    lay_over(std::span(&c.pixel, 1), c.background, triple);
    EXPECT_EQ((BgrTriple{triple[0], triple[1], triple[2]}), c.expected);
  }
}

}  // namespace
