#include "format/word_format.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

#include "pixels/little_endian.h"

namespace {

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

BgrTriple expand_word(std::uint16_t word, const WordFormat& format) {
  const std::uint8_t high = widen5(word >> 11, format.expansion);
  const std::uint8_t green = widen6(word >> 5 & 0x3F, format.expansion);
  const std::uint8_t low = widen5(word & 0x1F, format.expansion);
  return format.channels == ChannelOrder::rgb ? BgrTriple{low, green, high} : BgrTriple{high, green, low};
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
