// gray8, gray4, gray2 and mono1: the luma of each pixel, at 8, 4, 2 or 1 bits, or dithered toward
// 4, 2 or 1 bit. mono1 lights a pixel whose luma reaches the threshold (or as dithering chooses), and
// is stored in rows of bits or in the 8-row pages that OLED controllers scan, one byte a column with
// the page's top row in bit 0. al88 is gray8 with each pixel's alpha byte after its luma.
#include <algorithm>
#include <array>
#include <cassert>
#include <vector>

#include "format/dither.h"
#include "format/format_families.h"
#include "format/levels.h"

namespace {

std::uint8_t luma_of(const BgraQuad& pixel) { return luma(pixel.red, pixel.green, pixel.blue); }

// Lumas two to a byte, the first in the high four bits; simple enough for the compiler to vectorise.
template <typename Level>
void pack_nibbles(const std::uint8_t* lumas, std::uint32_t count, std::uint8_t* out, Level level) {
  for (std::uint32_t k = 0; k < count / 2; ++k)
    out[k] = static_cast<std::uint8_t>(level(lumas[2 * k]) << 4 | level(lumas[2 * k + 1]));
  if (count % 2 != 0) out[count / 2] = static_cast<std::uint8_t>(level(lumas[count - 1]) << 4);
}

void pack_lit(const std::uint8_t* lumas, std::uint32_t count, std::uint8_t threshold, std::uint8_t* out) {
  for (std::uint32_t k = 0; k < count; k += 8) {
    unsigned byte = 0;
    for (std::uint32_t b = 0; b < 8; ++b) byte = byte << 1 | (k + b < count && lumas[k + b] >= threshold ? 1 : 0);
    out[k / 8] = static_cast<std::uint8_t>(byte);
  }
}

}  // namespace

void encode_grey_triples(const FormatSettings& settings, const std::uint8_t* triples, std::uint32_t width,
                         std::uint8_t* out) {
  assert(!(settings.format == PixelFormat::mono1 && settings.pages));
  if (settings.format == PixelFormat::gray8) return luma_triples(triples, width, out);
  // A chunk of lumas at a time, a whole number of bytes of the row.
  constexpr std::uint32_t chunk = 4096;
  std::array<std::uint8_t, chunk> lumas;
  const bool gray4 = settings.format == PixelFormat::gray4;
  std::array<std::uint8_t, chunk> levels;
  for (std::uint32_t done = 0; done < width; done += chunk) {
    const std::uint32_t count = std::min(chunk, width - done);
    luma_triples(triples + std::size_t{done} * 3, count, lumas.data());
    if (settings.format == PixelFormat::gray2) {
      for (std::uint32_t k = 0; k < count; ++k)
        levels[k] = static_cast<std::uint8_t>(level_of(lumas[k], 2, settings.word.rounding));
      pack_bits(levels.data(), count, 2, out + done / 4);
    } else if (!gray4) {
      pack_lit(lumas.data(), count, settings.threshold, out + done / 8);
    } else if (settings.word.rounding == Rounding::nearest) {
      pack_nibbles(lumas.data(), count, out + done / 2,
                   [](std::uint16_t v) { return static_cast<std::uint16_t>((v * 15 + 127) / 255); });
    } else {
      pack_nibbles(lumas.data(), count, out + done / 2, [](std::uint8_t v) { return v >> 4; });
    }
  }
}

namespace {

unsigned grey_bits(PixelFormat format) {
  switch (format) {
    case PixelFormat::gray8:
      return 8;
    case PixelFormat::gray4:
      return 4;
    case PixelFormat::gray2:
      return 2;
    default:
      return 1;
  }
}

// al88: each pixel's luma, then its alpha (straight, or with the luma premultiplied by it).
void encode_al88_rows(const FormatSettings& settings, std::span<const BgraQuad> quads, std::span<std::uint8_t> out) {
  std::uint8_t* at = out.data();
  for (const BgraQuad& quad : quads) {
    const BgraQuad pixel = prepared(quad, settings.premultiply);
    *at++ = luma(pixel.red, pixel.green, pixel.blue);
    *at++ = pixel.alpha;
  }
}

// The band's rows from their lumas, `width` a row in `lumas`, the k-th row there being output row
// output_row(k): dithered, or levelled as the settings say.
template <typename OutputRow>
void encode_lumas(const FormatSettings& settings, const std::uint8_t* lumas, std::uint32_t width, std::uint32_t count,
                  OutputRow output_row, std::span<std::uint8_t> out) {
  const bool pages = settings.format == PixelFormat::mono1 && settings.pages;
  const auto bits = static_cast<std::uint8_t>(grey_bits(settings.format));
  const std::size_t row_bytes = (std::size_t{width} * bits + 7) / 8;
  const std::size_t size = std::size_t{width} * count;
  std::vector<std::uint8_t> levels(size);
  if (settings.dither != nullptr) {
    settings.dither->next_rows(lumas, width, count, 1, &bits, levels.data());
  } else {
    for (std::size_t k = 0; k < size; ++k)
      levels[k] = static_cast<std::uint8_t>(bits == 1 ? lumas[k] >= settings.threshold
                                                      : level_of(lumas[k], bits, settings.word.rounding));
  }
  if (pages) std::fill(out.begin(), out.end(), std::uint8_t{0});
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t y = output_row(k);
    const std::uint8_t* level = levels.data() + k * std::size_t{width};
    if (!pages) {
      pack_bits(level, width, bits, out.data() + y * row_bytes);
      continue;
    }
    std::uint8_t* page = out.data() + std::size_t{y / 8} * width;
    for (std::uint32_t x = 0; x < width; ++x) page[x] = static_cast<std::uint8_t>(page[x] | level[x] << (y % 8));
  }
}

}  // namespace

void encode_grey_rows(const FormatSettings& settings, std::span<const BgraQuad> quads, std::uint32_t width,
                      std::uint32_t count, std::span<std::uint8_t> out) {
  if (settings.format == PixelFormat::al88) return encode_al88_rows(settings, quads, out);
  // A dither takes the rows in stored order; without one any order does.
  const auto output_row = [&](std::uint32_t k) {
    return settings.dither != nullptr ? settings.dither->output_row(k) : k;
  };
  std::vector<std::uint8_t> lumas(std::size_t{width} * count);
  for (std::uint32_t k = 0; k < count; ++k) {
    const BgraQuad* row = quads.data() + std::size_t{output_row(k)} * width;
    for (std::uint32_t x = 0; x < width; ++x) lumas[k * std::size_t{width} + x] = luma_of(row[x]);
  }
  encode_lumas(settings, lumas.data(), width, count, output_row, out);
}

void dither_grey_triples(const FormatSettings& settings, const std::uint8_t* rows, std::size_t stride,
                         std::uint32_t width, std::uint32_t count, std::span<std::uint8_t> out) {
  std::vector<std::uint8_t> lumas(std::size_t{width} * count);
  for (std::uint32_t k = 0; k < count; ++k)
    luma_triples(rows + k * stride, width, lumas.data() + k * std::size_t{width});
  encode_lumas(
      settings, lumas.data(), width, count, [&](std::uint32_t k) { return settings.dither->output_row(k); }, out);
}

void decode_grey_rows(const FormatSettings& settings, std::span<const std::uint8_t> in, std::uint32_t width,
                      std::uint32_t count, std::span<BgraQuad> quads) {
  const auto grey = [](unsigned value) {
    const auto v = static_cast<std::uint8_t>(value);
    return BgraQuad{v, v, v, 255};
  };
  if (settings.format == PixelFormat::gray8) {
    for (std::size_t k = 0; k < quads.size(); ++k) quads[k] = grey(in[k]);
    return;
  }
  if (settings.format == PixelFormat::al88) {
    for (std::size_t k = 0; k < quads.size(); ++k) quads[k] = {in[2 * k], in[2 * k], in[2 * k], in[2 * k + 1]};
    return;
  }
  if (settings.format == PixelFormat::mono1 && settings.pages) {
    for (std::uint32_t y = 0; y < count; ++y) {
      const std::uint8_t* page = in.data() + std::size_t{y / 8} * width;
      for (std::uint32_t x = 0; x < width; ++x)
        quads[std::size_t{y} * width + x] = grey((page[x] >> (y % 8) & 1) != 0 ? 255 : 0);
    }
    return;
  }
  const unsigned bits = grey_bits(settings.format);
  const std::size_t row_bytes = (std::size_t{width} * bits + 7) / 8;
  for (std::uint32_t y = 0; y < count; ++y) {
    const std::uint8_t* row = in.data() + y * row_bytes;
    for (std::uint32_t x = 0; x < width; ++x) {
      const unsigned level = bits_at(row, x, bits);
      quads[std::size_t{y} * width + x] = grey(bits == 1 ? level * 255 : widen(level, bits, settings.word.expansion));
    }
  }
}
