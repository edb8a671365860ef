// PNG, JPEG and GIF pictures with known pixels, made by the tests: 8-bit PNGs and JPEGs by the
// platform's own encoders (Qt's image writers, or the Windows Imaging Component); GIFs and 16-bit
// PNGs byte by byte here, since Qt has no GIF writer and Wine's PNG encoder stores 16-bit words in
// the wrong byte order.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "pixels/pixels.h"
#include "testing/test_files.h"

// 8-bit values (0 to 255), or 16-bit ones (0 to 65535) for make_png16.
struct TestPixel {
  std::uint16_t red;
  std::uint16_t green;
  std::uint16_t blue;
  std::uint16_t alpha = 255;
};

enum class TestEncoding {
  png,        // 8-bit RGB
  png_alpha,  // 8-bit RGBA, not premultiplied
  jpeg,       // quality 100
};

// The picture of `pixels`, width * height of them, top row first.
Bytes encode_test_picture(TestEncoding encoding, std::uint32_t width, std::uint32_t height,
                          const std::vector<TestPixel>& pixels);

// A GIF89a of one frame whose pixel k (top row first) is palette[indices[k]], with at most eight
// colours; with `transparent`, that index is transparent.
Bytes make_gif(std::uint32_t width, std::uint32_t height, const std::vector<BgrTriple>& palette,
               const std::vector<std::uint8_t>& indices, std::optional<std::uint8_t> transparent = std::nullopt);

// A PNG of 16-bit RGBA pixels, top row first, its data in stored (uncompressed) deflate blocks.
Bytes make_png16(std::uint32_t width, std::uint32_t height, const std::vector<TestPixel>& pixels);

// Six pixels, 3 x 2 top row first, whose RGB565 words are plain to work out by hand: red, green,
// blue (0xF800, 0x07E0, 0x001F), then (0x10, 0x20, 0x30), white and black (0x1106, 0xFFFF, 0x0000).
extern const std::vector<TestPixel> six_pixels;
// The same six as a GIF's palette, entry k for pixel k.
extern const std::vector<BgrTriple> six_palette;
// Three pixels of 3 x 1: white at half alpha (128), red at none, and an opaque (0x10, 0x20, 0x30).
extern const std::vector<TestPixel> translucent_pixels;
