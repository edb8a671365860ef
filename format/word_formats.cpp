// The formats whose pixel is one word, or a fixed run of bytes: each channel's level goes into a
// field of the word, which is stored in the chosen byte order. Each 8-bit value's field is looked
// up in a table made once a band, so that a pixel costs four lookups whatever the format.
#include <array>
#include <cassert>
#include <cstddef>

#include "format/format_families.h"
#include "format/levels.h"

namespace {

struct Field {
  unsigned shift = 0;
  unsigned bits = 0;
};

struct WordLayout {
  unsigned size;  // bytes of the word
  Field red, green, blue, alpha;
  std::uint32_t fill = 0;
  // Bytes in a fixed order, the high one first, whatever the byte order asked for.
  bool byte_stream = false;
  // argb8565: the alpha byte after the 16-bit word, which alone takes the byte order.
  bool alpha_after = false;
};

WordLayout layout_of(PixelFormat format) {
  switch (format) {
    case PixelFormat::rgb565:
    case PixelFormat::rgb565a8:
      return {2, {11, 5}, {5, 6}, {0, 5}, {}};
    case PixelFormat::argb8565:
      return {3, {11, 5}, {5, 6}, {0, 5}, {16, 8}, 0, false, true};
    case PixelFormat::rgb666:
      return {3, {18, 6}, {10, 6}, {2, 6}, {}, 0, true};
    case PixelFormat::rgb888:
      return {3, {16, 8}, {8, 8}, {0, 8}, {}};
    case PixelFormat::xrgb8888:
      return {4, {16, 8}, {8, 8}, {0, 8}, {}, 0xFF000000u};
    case PixelFormat::argb8888:
      return {4, {16, 8}, {8, 8}, {0, 8}, {24, 8}};
    case PixelFormat::rgb332:
      return {1, {5, 3}, {2, 3}, {0, 2}, {}};
    case PixelFormat::rgb444:
      return {2, {8, 4}, {4, 4}, {0, 4}, {}};
    default:
      break;
  }
  assert(false && "not a word format");
  return {};
}

// The layout with red and blue swapped for ChannelOrder::bgr.
WordLayout oriented(PixelFormat format, ChannelOrder channels) {
  WordLayout layout = layout_of(format);
  if (channels == ChannelOrder::bgr) std::swap(layout.red, layout.blue);
  return layout;
}

bool high_first(const WordLayout& layout, ByteOrder order) {
  return layout.byte_stream || order == ByteOrder::high_first;
}

void store(std::uint8_t* at, std::uint32_t word, unsigned size, bool high) {
  for (unsigned k = 0; k < size; ++k) at[k] = static_cast<std::uint8_t>(word >> (8 * (high ? size - 1 - k : k)));
}

std::uint32_t load(const std::uint8_t* at, unsigned size, bool high) {
  std::uint32_t word = 0;
  for (unsigned k = 0; k < size; ++k) word |= std::uint32_t{at[k]} << (8 * (high ? size - 1 - k : k));
  return word;
}

using Table = std::array<std::uint32_t, 256>;

Table field_table(Field field, Rounding rounding) {
  Table table{};
  if (field.bits == 0) return table;
  for (unsigned v = 0; v < 256; ++v) table[v] = level_of(v, field.bits, rounding) << field.shift;
  return table;
}

std::uint8_t field_value(std::uint32_t word, Field field, Expansion expansion) {
  return widen(word >> field.shift & ((1u << field.bits) - 1), field.bits, expansion);
}

}  // namespace

unsigned word_bytes(PixelFormat format) { return layout_of(format).size; }

void encode_word_rows(const FormatSettings& settings, std::span<const BgraQuad> quads, std::span<std::uint8_t> out) {
  const WordLayout layout = oriented(settings.format, settings.word.channels);
  const Table red = field_table(layout.red, settings.word.rounding);
  const Table green = field_table(layout.green, settings.word.rounding);
  const Table blue = field_table(layout.blue, settings.word.rounding);
  const Table alpha = field_table(layout.alpha, Rounding::truncate);
  const bool high = high_first(layout, settings.word.bytes);
  const unsigned stored = layout.alpha_after ? 2 : layout.size;
  std::uint8_t* at = out.data();
  for (const BgraQuad& quad : quads) {
    const BgraQuad pixel = prepared(quad, settings.premultiply);
    const std::uint32_t word =
        red[pixel.red] | green[pixel.green] | blue[pixel.blue] | alpha[pixel.alpha] | layout.fill;
    store(at, word, stored, high);
    if (layout.alpha_after) at[2] = pixel.alpha;
    at += layout.size;
  }
}

void decode_word_rows(const FormatSettings& settings, std::span<const std::uint8_t> in, std::span<BgraQuad> quads) {
  const WordLayout layout = oriented(settings.format, settings.word.channels);
  const bool high = high_first(layout, settings.word.bytes);
  const Expansion expansion = settings.word.expansion;
  const std::uint8_t* at = in.data();
  for (BgraQuad& quad : quads) {
    std::uint32_t word = load(at, layout.alpha_after ? 2 : layout.size, high);
    if (layout.alpha_after) word |= std::uint32_t{at[2]} << 16;
    quad = {field_value(word, layout.blue, expansion), field_value(word, layout.green, expansion),
            field_value(word, layout.red, expansion),
            layout.alpha.bits != 0 ? field_value(word, layout.alpha, expansion) : std::uint8_t{255}};
    at += layout.size;
  }
}

void encode_alpha_plane(std::span<const BgraQuad> quads, std::span<std::uint8_t> out) {
  for (std::size_t k = 0; k < quads.size(); ++k) out[k] = quads[k].alpha;
}

void decode_alpha_plane(std::span<const std::uint8_t> in, std::span<BgraQuad> quads) {
  for (std::size_t k = 0; k < quads.size(); ++k) quads[k].alpha = in[k];
}
