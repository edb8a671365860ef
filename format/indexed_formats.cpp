// i1, i2, i4 and i8: each pixel's index into the palette, packed into rows of bytes. The index is
// the median-cut palette's own lookup (median_cut.h), or with a palette the user gave or with
// dithering, the nearest entry in linear light or the dither's choice (palette_match.h).
#include <vector>

#include "format/dither.h"
#include "format/format_families.h"
#include "format/levels.h"
#include "format/median_cut.h"
#include "format/palette_match.h"

namespace {

// Dithers the band's rows, given in stored order by row(k), into their output rows.
template <typename Row>
void dither_indices(const FormatSettings& settings, Row row, std::uint32_t width, std::uint32_t count,
                    std::span<std::uint8_t> out) {
  const unsigned bits = format_info(settings.format).index_bits;
  const std::size_t row_bytes = (std::size_t{width} * bits + 7) / 8;
  RowDither& dither = *settings.dither;
  std::vector<std::uint8_t> indices(std::size_t{width} * count);
  const std::uint32_t first = dither.take_rows(count);
  settings.match->dither_rows(dither.kind(), row, width, first, count, dither.scratch(), indices.data());
  for (std::uint32_t k = 0; k < count; ++k)
    pack_bits(indices.data() + std::size_t{k} * width, width, bits, out.data() + dither.output_row(k) * row_bytes);
}

}  // namespace

void encode_indexed_rows(const FormatSettings& settings, std::span<const BgraQuad> quads, std::uint32_t width,
                         std::uint32_t count, std::span<std::uint8_t> out) {
  if (settings.dither != nullptr) {
    std::vector<BgraQuad> row(settings.premultiply ? width : 0);
    return dither_indices(
        settings,
        [&](std::uint32_t k) {
          const BgraQuad* from = quads.data() + std::size_t{settings.dither->output_row(k)} * width;
          if (!settings.premultiply) return from;
          for (std::uint32_t x = 0; x < width; ++x) row[x] = prepared(from[x], true);
          return static_cast<const BgraQuad*>(row.data());
        },
        width, count, out);
  }
  const unsigned bits = format_info(settings.format).index_bits;
  const std::size_t row_bytes = (std::size_t{width} * bits + 7) / 8;
  std::vector<std::uint8_t> indices(width);
  for (std::uint32_t y = 0; y < count; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const BgraQuad pixel = prepared(quads[std::size_t{y} * width + x], settings.premultiply);
      indices[x] = settings.match != nullptr ? settings.match->nearest(pixel) : settings.index->index_of(pixel);
    }
    pack_bits(indices.data(), width, bits, out.data() + y * row_bytes);
  }
}

void encode_indexed_triples(const FormatSettings& settings, const std::uint8_t* triples, std::uint32_t width,
                            std::uint8_t* out) {
  const unsigned bits = format_info(settings.format).index_bits;
  std::vector<std::uint8_t> indices(width);
  if (settings.match != nullptr) {
    settings.match->nearest_triples(triples, width, indices.data());
    return pack_bits(indices.data(), width, bits, out);
  }
  if (bits == 8) return settings.index->index_triples(triples, width, out);
  settings.index->index_triples(triples, width, indices.data());
  pack_bits(indices.data(), width, bits, out);
}

void dither_indexed_triples(const FormatSettings& settings, const std::uint8_t* rows, std::size_t stride,
                            std::uint32_t width, std::uint32_t count, std::span<std::uint8_t> out) {
  std::vector<BgraQuad> row(width);
  dither_indices(
      settings,
      [&](std::uint32_t k) {
        quads_of_triples(rows + k * stride, width, row.data());
        return static_cast<const BgraQuad*>(row.data());
      },
      width, count, out);
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
