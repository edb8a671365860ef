// i1, i2, i4 and i8: each pixel's index into the palette, packed into rows of bytes.
#include <vector>

#include "format/format_families.h"
#include "format/levels.h"
#include "format/median_cut.h"

void encode_indexed_rows(const FormatSettings& settings, std::span<const BgraQuad> quads, std::uint32_t width,
                         std::uint32_t count, std::span<std::uint8_t> out) {
  const unsigned bits = format_info(settings.format).index_bits;
  const std::size_t row_bytes = (std::size_t{width} * bits + 7) / 8;
  std::vector<std::uint8_t> indices(width);
  for (std::uint32_t y = 0; y < count; ++y) {
    for (std::uint32_t x = 0; x < width; ++x)
      indices[x] = settings.index->index_of(prepared(quads[std::size_t{y} * width + x], settings.premultiply));
    pack_bits(indices.data(), width, bits, out.data() + y * row_bytes);
  }
}

void encode_indexed_triples(const FormatSettings& settings, const std::uint8_t* triples, std::uint32_t width,
                            std::uint8_t* out) {
  const unsigned bits = format_info(settings.format).index_bits;
  if (bits == 8) return settings.index->index_triples(triples, width, out);
  std::vector<std::uint8_t> indices(width);
  settings.index->index_triples(triples, width, indices.data());
  pack_bits(indices.data(), width, bits, out);
}

void decode_indexed_rows(const FormatSettings& settings, std::span<const std::uint8_t> in, std::uint32_t width,
                         std::uint32_t count, std::span<BgraQuad> quads) {
  const unsigned bits = format_info(settings.format).index_bits;
  const std::size_t row_bytes = (std::size_t{width} * bits + 7) / 8;
  for (std::uint32_t y = 0; y < count; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint8_t index = bits_at(in.data() + y * row_bytes, x, bits);
      quads[std::size_t{y} * width + x] =
          index < settings.palette.size() ? settings.palette[index] : BgraQuad{0, 0, 0, 0};
    }
  }
}
