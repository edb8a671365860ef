#include "testing/test_pictures.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

namespace {

void put16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32_big(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t crc32(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
  }
  return ~crc;
}

void put_chunk(Bytes& png, const char (&type)[5], const Bytes& data) {
  put32_big(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  put32_big(png, crc32(png.data() + start, png.size() - start));
}

}  // namespace

Bytes make_png16(std::uint32_t width, std::uint32_t height, const std::vector<TestPixel>& pixels) {
  Bytes rows;  // each row: filter type 0, then R, G, B, A big-endian
  for (std::uint32_t y = 0; y < height; ++y) {
    rows.push_back(0);
    for (std::uint32_t x = 0; x < width; ++x) {
      const TestPixel& p = pixels[y * width + x];
      for (const std::uint16_t v : {p.red, p.green, p.blue, p.alpha})
        rows.insert(rows.end(), {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
    }
  }
  assert(rows.size() <= 65535);
  Bytes zlib = {0x78, 0x01, 1};  // deflate, then one final stored block
  put16(zlib, static_cast<std::uint32_t>(rows.size()));
  put16(zlib, static_cast<std::uint32_t>(~rows.size() & 0xFFFF));
  zlib.insert(zlib.end(), rows.begin(), rows.end());
  std::uint32_t a = 1, b = 0;
  for (const std::uint8_t byte : rows) a = (a + byte) % 65521, b = (b + a) % 65521;
  put32_big(zlib, b << 16 | a);

  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  put32_big(header, width);
  put32_big(header, height);
  header.insert(header.end(), {16, 6, 0, 0, 0});  // 16 bits, RGBA
  put_chunk(png, "IHDR", header);
  put_chunk(png, "IDAT", zlib);
  put_chunk(png, "IEND", {});
  return png;
}

Bytes make_gif(std::uint32_t width, std::uint32_t height, const std::vector<BgrTriple>& palette,
               const std::vector<std::uint8_t>& indices, std::optional<std::uint8_t> transparent) {
  assert(palette.size() <= 8 && indices.size() == std::size_t{width} * height);
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
  put16(gif, width);
  put16(gif, height);
  gif.insert(gif.end(), {0xF2, 0, 0});  // a global table of 8 colours
  for (std::size_t i = 0; i < 8; ++i) {
    const BgrTriple c = i < palette.size() ? palette[i] : BgrTriple{0, 0, 0};
    gif.insert(gif.end(), {c.red, c.green, c.blue});
  }
  if (transparent) gif.insert(gif.end(), {0x21, 0xF9, 4, 1, 0, 0, *transparent, 0});
  gif.push_back(0x2C);
  put16(gif, 0);
  put16(gif, 0);
  put16(gif, width);
  put16(gif, height);
  gif.push_back(0);
  // LZW with 3-bit pixels: every code is 4 bits wide as long as the decoder's table stays below 16
  // entries, so a clear code (8) before every four pixels keeps each pixel a literal code.
  gif.push_back(3);
  Bytes data;
  unsigned bits = 0, count = 0;
  const auto code = [&](unsigned value) {
    bits |= value << count;
    count += 4;
    for (; count >= 8; count -= 8, bits >>= 8) data.push_back(static_cast<std::uint8_t>(bits));
  };
  for (std::size_t k = 0; k < indices.size(); ++k) {
    if (k % 4 == 0) code(8);
    code(indices[k]);
  }
  code(9);
  if (count > 0) data.push_back(static_cast<std::uint8_t>(bits));
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t block = std::min<std::size_t>(255, data.size() - at);
    gif.push_back(static_cast<std::uint8_t>(block));
    gif.insert(gif.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
               data.begin() + static_cast<std::ptrdiff_t>(at + block));
  }
  gif.insert(gif.end(), {0, 0x3B});
  return gif;
}

const std::vector<TestPixel> six_pixels = {{255, 0, 0},        {0, 255, 0},     {0, 0, 255},
                                           {0x10, 0x20, 0x30}, {255, 255, 255}, {0, 0, 0}};
const std::vector<BgrTriple> six_palette = {{0, 0, 255},        {0, 255, 0},     {255, 0, 0},
                                            {0x30, 0x20, 0x10}, {255, 255, 255}, {0, 0, 0}};
const std::vector<TestPixel> translucent_pixels = {{255, 255, 255, 128}, {255, 0, 0, 0}, {0x10, 0x20, 0x30, 255}};
