// a8, a4, a2 and a1: the alpha channel alone, for masks and icons that a display recolours as it
// draws them. Each alpha takes its level as a grey level does (truncated, rounded or dithered, a1 set
// where alpha >= 128) and is packed the same way, the leftmost pixel in the high bits. There is no
// colour to keep, so a pixel unpacks black with its alpha: a dark shape as the mask is drawn, over the
// white page most viewers show a transparent picture on.
#include <vector>

#include "format/dither.h"
#include "format/format_families.h"
#include "format/levels.h"

namespace {

unsigned alpha_bits(PixelFormat format) { return format_info(format).alpha_bits; }

}  // namespace

bool holds_alpha_alone(PixelFormat format) {
  return format == PixelFormat::a8 || format == PixelFormat::a4 || format == PixelFormat::a2 ||
         format == PixelFormat::a1;
}

void encode_alpha_rows(const FormatSettings& settings, std::span<const BgraQuad> quads, std::uint32_t width,
                       std::uint32_t count, std::span<std::uint8_t> out) {
  const auto bits = static_cast<std::uint8_t>(alpha_bits(settings.format));
  const std::size_t row_bytes = (std::size_t{width} * bits + 7) / 8;
  // A dither takes the rows in stored order; without one any order does.
  const auto output_row = [&](std::uint32_t k) {
    return settings.dither != nullptr ? settings.dither->output_row(k) : k;
  };
  std::vector<std::uint8_t> alphas(std::size_t{width} * count), levels(alphas.size());
  for (std::uint32_t k = 0; k < count; ++k) {
    const BgraQuad* row = quads.data() + std::size_t{output_row(k)} * width;
    for (std::uint32_t x = 0; x < width; ++x) alphas[k * std::size_t{width} + x] = row[x].alpha;
  }
  if (settings.dither != nullptr) {
    settings.dither->next_rows(alphas.data(), width, count, 1, &bits, levels.data());
  } else {
    for (std::size_t k = 0; k < alphas.size(); ++k)
      levels[k] = static_cast<std::uint8_t>(level_of(alphas[k], bits, settings.word.rounding));
  }
  for (std::uint32_t k = 0; k < count; ++k)
    pack_bits(levels.data() + k * std::size_t{width}, width, bits, out.data() + output_row(k) * row_bytes);
}

void decode_alpha_rows(const FormatSettings& settings, std::span<const std::uint8_t> in, std::uint32_t width,
                       std::uint32_t count, std::span<BgraQuad> quads) {
  const unsigned bits = alpha_bits(settings.format);
  const std::size_t row_bytes = (std::size_t{width} * bits + 7) / 8;
  for (std::uint32_t y = 0; y < count; ++y) {
    const std::uint8_t* row = in.data() + y * row_bytes;
    for (std::uint32_t x = 0; x < width; ++x)
      quads[std::size_t{y} * width + x] = {0, 0, 0, widen(bits_at(row, x, bits), bits, Expansion::replicate)};
  }
}
