#include "format/word_format.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

#include "pixels/little_endian.h"

namespace {

// The nearest of `levels` + 1 levels to an 8-bit value. v * levels / 255 is never halfway between
// two integers (255 is odd and levels * 2 * v even), so adding 127 before dividing rounds exactly.
constexpr unsigned nearest(unsigned value, unsigned levels) { return (value * levels + 127) / 255; }

constexpr std::uint8_t widen5(unsigned bits, Expansion expansion) {
  return static_cast<std::uint8_t>(bits << 3 | (expansion == Expansion::replicate ? bits >> 2 : 0));
}

constexpr std::uint8_t widen6(unsigned bits, Expansion expansion) {
  return static_cast<std::uint8_t>(bits << 2 | (expansion == Expansion::replicate ? bits >> 4 : 0));
}

std::uint16_t load_word(const std::uint8_t* at, ByteOrder order) {
  return order == ByteOrder::low_first ? load_le16(at) : static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

}  // namespace

void store_word(std::uint8_t* at, std::uint16_t word, ByteOrder order) {
  if (order == ByteOrder::low_first) {
    store_le16(at, word);
  } else {
    at[0] = static_cast<std::uint8_t>(word >> 8);
    at[1] = static_cast<std::uint8_t>(word);
  }
}

std::uint16_t pack_word(BgrTriple pixel, const WordFormat& format) {
  const bool round = format.rounding == Rounding::nearest;
  const unsigned red = round ? nearest(pixel.red, 31) : pixel.red >> 3u;
  const unsigned green = round ? nearest(pixel.green, 63) : pixel.green >> 2u;
  const unsigned blue = round ? nearest(pixel.blue, 31) : pixel.blue >> 3u;
  const unsigned high = format.channels == ChannelOrder::rgb ? red : blue;
  const unsigned low = format.channels == ChannelOrder::rgb ? blue : red;
  return static_cast<std::uint16_t>(high << 11 | green << 5 | low);
}

BgrTriple expand_word(std::uint16_t word, const WordFormat& format) {
  const std::uint8_t high = widen5(word >> 11, format.expansion);
  const std::uint8_t green = widen6(word >> 5 & 0x3F, format.expansion);
  const std::uint8_t low = widen5(word & 0x1F, format.expansion);
  return format.channels == ChannelOrder::rgb ? BgrTriple{low, green, high} : BgrTriple{high, green, low};
}

void pack_rows(std::span<const std::uint8_t> rows, std::uint32_t stride, std::uint32_t width, std::uint32_t height,
               bool reverse, const WordFormat& format, std::span<std::uint8_t> out) {
  assert(rows.size() >= rows_extent(stride, width, height));
  assert(out.size() == std::size_t{width} * height * 2);
  if (!reverse && format == dialog_format) {
    pack_565_rows(rows, stride, width, height, out);
    return;
  }
  const std::size_t row_bytes = std::size_t{width} * 3;
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::size_t source = std::size_t{reverse ? height - 1 - y : y} * stride;
    const std::span<std::uint8_t> words = out.subspan(std::size_t{y} * width * 2, std::size_t{width} * 2);
    if (format == dialog_format) {
      pack_565_rows(rows.subspan(source, row_bytes), stride, width, 1, words);
      continue;
    }
    const std::uint8_t* triple = rows.data() + source;
    for (std::uint32_t x = 0; x < width; ++x, triple += 3)
      store_word(words.data() + 2 * x, pack_word({triple[0], triple[1], triple[2]}, format), format.bytes);
  }
}

void expand_rows(std::span<const std::uint8_t> in, std::uint32_t stride, std::uint32_t width, std::uint32_t height,
                 bool reverse, const WordFormat& format, std::span<std::uint8_t> out) {
  assert(in.size() % 2 == 0 && in.size() / 2 <= std::size_t{width} * height);
  assert(out.size() == std::size_t{stride} * height && stride >= std::size_t{width} * 3);
  const std::size_t words = in.size() / 2;
  for (std::uint32_t y = 0; y < height; ++y) {
    std::uint8_t* row = out.data() + std::size_t{reverse ? height - 1 - y : y} * stride;
    const std::size_t first = std::size_t{y} * width;
    const std::size_t count = first < words ? std::min<std::size_t>(width, words - first) : 0;
    if (count > 0 && format == dialog_format) {
      expand_run(in.subspan(first * 2, count * 2), {row, count * 3});
    } else {
      for (std::size_t x = 0; x < count; ++x) {
        const BgrTriple pixel = expand_word(load_word(in.data() + (first + x) * 2, format.bytes), format);
        row[3 * x] = pixel.blue;
        row[3 * x + 1] = pixel.green;
        row[3 * x + 2] = pixel.red;
      }
    }
    std::fill(row + count * 3, row + stride, std::uint8_t{0});
  }
}
