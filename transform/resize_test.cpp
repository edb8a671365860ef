// The resampler in linear light: light kept, transparent edges kept their colour, flat colours
// kept exactly, and the same bytes on every build.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "pixels/kernel_path.h"
#include "testing/region_picture.h"
#include "transform/resize.h"

namespace {

// The resized picture, read a row at a time as a downstream stage reads it.
std::vector<BgraQuad> resized(RegionSource& source, std::uint32_t width, std::uint32_t height) {
  Resize resize(source, width, height);
  std::vector<BgraQuad> out(std::size_t{width} * height);
  for (std::uint32_t y = 0; y < height; ++y) resize.read({0, y, width, 1}, out.data() + std::size_t{y} * width);
  return out;
}

// Black and white squares have half of white's light: sRGB encodes half light as 187.5 / 255, so
// the average is grey 188, not the 128 of averaging the encoded values. On the edges the filter's
// window is cut short and its weights no longer split evenly between black and white, so a pixel
// there may be a few steps off.
TEST(Resize, HalvesACheckerboardToTheGreyOfItsLight) {
  RegionPicture board(16, 16, [](std::uint32_t x, std::uint32_t y) {
    const std::uint8_t v = (x + y) % 2 == 0 ? 0 : 255;
    return BgraQuad{v, v, v, 255};
  });
  const std::vector<BgraQuad> grey = resized(board, 8, 8);
  for (std::uint32_t y = 0; y < 8; ++y) {
    for (std::uint32_t x = 0; x < 8; ++x) {
      const BgraQuad p = grey[y * 8 + x];
      const bool edge = x == 0 || y == 0 || x == 7 || y == 7;
      EXPECT_NEAR(p.green, 188, edge ? 3 : 0) << x << ", " << y;
      EXPECT_EQ(p.blue, p.green);
      EXPECT_EQ(p.red, p.green);
      EXPECT_EQ(p.alpha, 255);
    }
  }
}

// Opaque red on the left, transparent green on the right: reduced, the pixels across the edge are
// partly transparent and still pure red, not darkened or tinted by the colour of pixels that do
// not show.
TEST(Resize, KeepsTheColourOfATransparentEdge) {
  RegionPicture edge(16, 2, [](std::uint32_t x, std::uint32_t) {
    return x < 8 ? BgraQuad{0, 0, 255, 255} : BgraQuad{0, 255, 0, 0};
  });
  const std::vector<BgraQuad> out = resized(edge, 4, 1);
  EXPECT_EQ(out[0], (BgraQuad{0, 0, 255, 255}));
  EXPECT_EQ(out[3].alpha, 0);
  for (const std::size_t x : {1u, 2u}) {
    EXPECT_EQ((BgrTriple{out[x].blue, out[x].green, out[x].red}), (BgrTriple{0, 0, 255})) << x;
    EXPECT_GT(out[x].alpha, 0) << x;
    EXPECT_LT(out[x].alpha, 255) << x;
  }
  EXPECT_GT(out[1].alpha, out[2].alpha);
}

// Weights that sum to one, and light decoded and encoded back, leave a flat colour exactly as it
// was, reduced or enlarged, in one direction or both.
TEST(Resize, LeavesAFlatColourAsItWas) {
  const BgraQuad colour{30, 144, 201, 255};
  RegionPicture flat(7, 5, [&](std::uint32_t, std::uint32_t) { return colour; });
  const struct { std::uint32_t width, height; } sizes[] = {{3, 2}, {11, 9}, {7, 1}, {1, 5}, {20, 3}};
  for (const auto& size : sizes) {
    for (const BgraQuad& p : resized(flat, size.width, size.height)) {
      EXPECT_EQ(p, colour) << size.width << " x " << size.height;
    }
  }
}

// FNV-1a, 32 bits.
std::uint32_t fnv1a(const std::vector<BgraQuad>& quads) {
  std::uint32_t hash = 2166136261u;
  for (const BgraQuad& q : quads) {
    for (const std::uint8_t byte : {q.blue, q.green, q.red, q.alpha}) hash = (hash ^ byte) * 16777619u;
  }
  return hash;
}

// A photograph's mix of smooth gradients, sharp edges, fine texture and translucent pixels, reduced
// and enlarged. The checksums are the native build's results, written down: the Win32 build runs the
// same test, so a difference in any byte between the builds fails it there; and each build runs it
// on every instruction set its processor offers.
TEST(Resize, GivesTheSameBytesOnEveryBuild) {
  RegionPicture photo(97, 61, [](std::uint32_t x, std::uint32_t y) {
    const std::uint32_t texture = (x * 7919u + y * 104729u) % 41u;
    return BgraQuad{static_cast<std::uint8_t>((x * 255) / 96),
                    static_cast<std::uint8_t>(x > 40 && x < 60 && y > 20 ? 230 : (y * 4 + texture) % 256),
                    static_cast<std::uint8_t>(((x + y) / 9) % 2 == 0 ? 20 + texture : 220 - texture),
                    static_cast<std::uint8_t>(y < 50 ? 255 : 255 - (y - 50) * 20)};
  });
  for (const KernelPath path : available_kernel_paths()) {
    force_kernel_path(path);
    EXPECT_EQ(fnv1a(resized(photo, 32, 24)), 3202052237u) << kernel_path_name(path);
    EXPECT_EQ(fnv1a(resized(photo, 150, 100)), 1293974834u) << kernel_path_name(path);
  }
  force_kernel_path(available_kernel_paths().back());
}

}  // namespace
