#include "pixels/pixels.h"

#include <cassert>
#include <cstddef>

void export_rows(std::span<const std::uint8_t> rows, std::uint32_t stride, std::uint32_t width, std::uint32_t height,
                 std::span<std::uint8_t> out) {
  assert(rows.size() >= rows_extent(stride, width, height));
  assert(out.size() == std::size_t{width} * height * 2);
  const std::uint8_t* row = rows.data();
  std::uint8_t* word = out.data();
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* triple = row;
    for (std::uint32_t x = 0; x < width; ++x, triple += 3, word += 2) {
      const std::uint16_t packed = pack565({triple[0], triple[1], triple[2]});
      word[0] = static_cast<std::uint8_t>(packed);
      word[1] = static_cast<std::uint8_t>(packed >> 8);
    }
    // Step from row start to row start, so that row padding never reaches the output.
    if (y + 1 < height) row += stride;
  }
}

void expand_run(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  assert(in.size() % 2 == 0);
  assert(out.size() == in.size() / 2 * 3);
  const std::uint8_t* word = in.data();
  std::uint8_t* triple = out.data();
  for (std::size_t k = 0, n = in.size() / 2; k < n; ++k, word += 2, triple += 3) {
    const BgrTriple pixel = expand565(static_cast<std::uint16_t>(word[0] | (word[1] << 8)));
    triple[0] = pixel.blue;
    triple[1] = pixel.green;
    triple[2] = pixel.red;
  }
}
