#include "pixels/pixels.h"

#include <cassert>
#include <cstddef>

#include "pixels/kernels.h"
#include "pixels/little_endian.h"

void pack_row_scalar(const std::uint8_t* triples, std::size_t count, std::uint8_t* words) {
  for (std::size_t x = 0; x < count; ++x, triples += 3, words += 2)
    store_le16(words, pack565({triples[0], triples[1], triples[2]}));
}

void expand_run_scalar(const std::uint8_t* words, std::size_t count, std::uint8_t* triples) {
  for (std::size_t k = 0; k < count; ++k, words += 2, triples += 3) {
    const BgrTriple pixel = expand565(load_le16(words));
    triples[0] = pixel.blue;
    triples[1] = pixel.green;
    triples[2] = pixel.red;
  }
}

void arrange_row_scalar(const std::uint8_t* triples, std::size_t count, const TripleBytes& layout, std::uint8_t* out) {
  for (std::size_t k = 0; k < count; ++k, triples += 3, out += layout.size) {
    for (unsigned j = 0; j < layout.size; ++j) {
      const unsigned from = layout.from[j];
      const unsigned byte = from < TripleBytes::none_of_triple ? triples[from] & layout.keep[j] : 0u;
      out[j] = static_cast<std::uint8_t>(byte | layout.fill[j]);
    }
  }
}

void luma_row_scalar(const std::uint8_t* triples, std::size_t count, std::uint8_t* out) {
  for (std::size_t k = 0; k < count; ++k, triples += 3) out[k] = luma(triples[2], triples[1], triples[0]);
}

void pack_565_rows(std::span<const std::uint8_t> rows, std::uint32_t stride, std::uint32_t width, std::uint32_t height,
                   std::span<std::uint8_t> out) {
  assert(rows.size() >= rows_extent(stride, width, height));
  assert(out.size() == std::size_t{width} * height * 2);
  if (width == 0 || height == 0) return;
  const auto pack_row = active_kernels().pack_row;
  const std::uint8_t* row = rows.data();
  std::uint8_t* words = out.data();
  for (std::uint32_t y = 0; y < height; ++y, words += std::size_t{width} * 2) {
    pack_row(row, width, words);
    // Step from row start to row start, so that row padding never reaches the output.
    if (y + 1 < height) row += stride;
  }
}

void expand_run(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  assert(in.size() % 2 == 0);
  assert(out.size() == in.size() / 2 * 3);
  if (!in.empty()) active_kernels().expand_run(in.data(), in.size() / 2, out.data());
}

void arrange_triples(const std::uint8_t* triples, std::size_t count, const TripleBytes& layout, std::uint8_t* out) {
  assert(layout.size == 3 || layout.size == 4);
  if (count > 0) active_kernels().arrange_row(triples, count, layout, out);
}

void luma_triples(const std::uint8_t* triples, std::size_t count, std::uint8_t* out) {
  if (count > 0) active_kernels().luma_row(triples, count, out);
}

const Kernels scalar_kernels{pack_row_scalar, expand_run_scalar, subtract_words_scalar, arrange_row_scalar,
                             luma_row_scalar};
