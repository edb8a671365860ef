// The formats whose pixel is one word, or a fixed run of bytes: each channel's level goes into a
// field of the word, which is stored in the chosen byte order. Each 8-bit value's field is looked
// up in a table made once a band, so that a pixel costs four lookups whatever the format.
#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "format/dither.h"
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
    case PixelFormat::argb1555:
      return {2, {10, 5}, {5, 5}, {0, 5}, {15, 1}};
    case PixelFormat::argb4444:
      return {2, {8, 4}, {4, 4}, {0, 4}, {12, 4}};
    case PixelFormat::argb2222:
      return {1, {4, 2}, {2, 2}, {0, 2}, {6, 2}};
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

// Every bit of the field set: an opaque pixel's alpha.
std::uint32_t full(Field field) { return ((1u << field.bits) - 1) << field.shift; }

}  // namespace

unsigned word_bytes(PixelFormat format) { return layout_of(format).size; }

bool is_word_format(PixelFormat format) {
  switch (format) {
    case PixelFormat::rgb565:
    case PixelFormat::rgb565a8:
    case PixelFormat::argb8565:
    case PixelFormat::rgb666:
    case PixelFormat::rgb888:
    case PixelFormat::xrgb8888:
    case PixelFormat::argb8888:
    case PixelFormat::rgb332:
    case PixelFormat::rgb444:
    case PixelFormat::argb1555:
    case PixelFormat::argb4444:
    case PixelFormat::argb2222:
      return true;
    default:
      return false;
  }
}

void encode_word_rows(const FormatSettings& settings, std::span<const BgraQuad> quads, std::uint32_t width,
                      std::uint32_t count, std::span<std::uint8_t> out) {
  const WordLayout layout = oriented(settings.format, settings.word.channels);
  // Alpha takes its levels as the colours do, but is never dithered.
  const Table alpha = field_table(layout.alpha, settings.word.rounding);
  const bool high = high_first(layout, settings.word.bytes);
  const unsigned stored = layout.alpha_after ? 2 : layout.size;
  const auto put = [&](std::uint8_t* at, std::uint32_t word, std::uint8_t alpha_byte) {
    store(at, word | alpha[alpha_byte] | layout.fill, stored, high);
    if (layout.alpha_after) at[2] = alpha_byte;
  };
  if (settings.dither != nullptr) {
    // Blue, green and red, in the order of a triple, each toward its field's levels.
    const std::uint8_t bits[3] = {static_cast<std::uint8_t>(layout.blue.bits),
                                  static_cast<std::uint8_t>(layout.green.bits),
                                  static_cast<std::uint8_t>(layout.red.bits)};
    // The band's values in stored order, dithered together, then laid out row by row.
    const std::size_t row_values = std::size_t{width} * 3;
    std::vector<std::uint8_t> values(row_values * count), levels(row_values * count);
    for (std::uint32_t k = 0; k < count; ++k) {
      const BgraQuad* row = quads.data() + std::size_t{settings.dither->output_row(k)} * width;
      std::uint8_t* to = values.data() + k * row_values;
      for (std::uint32_t x = 0; x < width; ++x) {
        const BgraQuad pixel = prepared(row[x], settings.premultiply);
        to[3 * x] = pixel.blue;
        to[3 * x + 1] = pixel.green;
        to[3 * x + 2] = pixel.red;
      }
    }
    settings.dither->next_rows(values.data(), row_values, count, 3, bits, levels.data());
    for (std::uint32_t k = 0; k < count; ++k) {
      const std::uint32_t y = settings.dither->output_row(k);
      const BgraQuad* row = quads.data() + std::size_t{y} * width;
      const std::uint8_t* level = levels.data() + k * row_values;
      std::uint8_t* at = out.data() + std::size_t{y} * width * layout.size;
      for (std::uint32_t x = 0; x < width; ++x, at += layout.size, level += 3) {
        put(at,
            std::uint32_t{level[0]} << layout.blue.shift | std::uint32_t{level[1]} << layout.green.shift |
                std::uint32_t{level[2]} << layout.red.shift,
            row[x].alpha);
      }
    }
    return;
  }
  const Table red = field_table(layout.red, settings.word.rounding);
  const Table green = field_table(layout.green, settings.word.rounding);
  const Table blue = field_table(layout.blue, settings.word.rounding);
  std::uint8_t* at = out.data();
  for (const BgraQuad& quad : quads) {
    const BgraQuad pixel = prepared(quad, settings.premultiply);
    put(at, red[pixel.red] | green[pixel.green] | blue[pixel.blue], pixel.alpha);
    at += layout.size;
  }
}

namespace {

// One loop per word size and byte order, so that the compiler lays each store out as fixed moves.
struct FieldTables {
  const Table& red;
  const Table& green;
  const Table& blue;
  std::uint32_t fill;
};

template <unsigned size, bool high, bool alpha_after>
void encode_triples(const FieldTables& tables, const std::uint8_t* triples, std::uint32_t count, std::uint8_t* out) {
  constexpr unsigned stored = alpha_after ? 2 : size;
  for (std::uint32_t k = 0; k < count; ++k, triples += 3, out += size) {
    const std::uint32_t word =
        tables.blue[triples[0]] | tables.green[triples[1]] | tables.red[triples[2]] | tables.fill;
    for (unsigned b = 0; b < stored; ++b) out[b] = static_cast<std::uint8_t>(word >> (8 * (high ? stored - 1 - b : b)));
    if constexpr (alpha_after) out[2] = 255;
  }
}

// Each triple's word from the tables of its fields, stored as the layout and byte order say.
void encode_through_tables(const WordLayout& layout, bool high, const FieldTables& tables, const std::uint8_t* triples,
                           std::uint32_t count, std::uint8_t* out) {
  if (layout.alpha_after) {
    if (high) return encode_triples<3, true, true>(tables, triples, count, out);
    return encode_triples<3, false, true>(tables, triples, count, out);
  }
  switch (layout.size * 2 + (high ? 1 : 0)) {
    case 2:
    case 3:
      return encode_triples<1, false, false>(tables, triples, count, out);
    case 4:
      return encode_triples<2, false, false>(tables, triples, count, out);
    case 5:
      return encode_triples<2, true, false>(tables, triples, count, out);
    case 6:
      return encode_triples<3, false, false>(tables, triples, count, out);
    case 7:
      return encode_triples<3, true, false>(tables, triples, count, out);
    case 8:
      return encode_triples<4, false, false>(tables, triples, count, out);
    default:
      return encode_triples<4, true, false>(tables, triples, count, out);
  }
}

// The word's bytes as a triple's bytes rearranged, where each byte of it holds one channel's field
// in its top bits (or the whole byte) and nothing of another's: then each channel's level is its
// value with the low bits dropped, unless the field is narrower than a byte and rounds.
std::optional<TripleBytes> byte_fields(const WordLayout& layout, Rounding rounding, bool high, std::uint32_t fill) {
  if (layout.alpha_after || layout.size < 3) return std::nullopt;
  TripleBytes bytes{layout.size, {}, {}, {}};
  for (unsigned k = 0; k < layout.size; ++k) {
    const unsigned at = high ? layout.size - 1 - k : k;
    bytes.from[at] = TripleBytes::none_of_triple;
    bytes.keep[at] = 0;
    bytes.fill[at] = static_cast<std::uint8_t>(fill >> (8 * k));
  }
  const Field fields[3] = {layout.blue, layout.green, layout.red};
  for (std::uint8_t channel = 0; channel < 3; ++channel) {
    const Field field = fields[channel];
    const unsigned k = field.shift / 8;
    if (field.shift % 8 + field.bits != 8 || (field.bits < 8 && rounding != Rounding::truncate)) return std::nullopt;
    const unsigned at = high ? layout.size - 1 - k : k;
    if (bytes.from[at] != TripleBytes::none_of_triple) return std::nullopt;
    bytes.from[at] = channel;
    bytes.keep[at] = static_cast<std::uint8_t>(0xFFu << (8 - field.bits));
  }
  return bytes;
}

}  // namespace

void encode_word_triples(const FormatSettings& settings, const std::uint8_t* triples, std::uint32_t count,
                         std::uint8_t* out) {
  const WordLayout layout = oriented(settings.format, settings.word.channels);
  const bool high = high_first(layout, settings.word.bytes);
  const bool plain = settings.word.channels == ChannelOrder::rgb && !high;
  // The two layouts that are the triples themselves, or RGB565 as the fast kernels make it.
  if (plain && settings.format == PixelFormat::rgb888) {
    std::memcpy(out, triples, std::size_t{count} * 3);
    return;
  }
  if (plain && settings.word.rounding == Rounding::truncate && layout.size == 2 && layout.green.bits == 6) {
    pack_565_rows({triples, std::size_t{count} * 3}, count * 3, count, 1, {out, std::size_t{count} * 2});
    return;
  }
  // argb8565's words from the same kernel, a chunk at a time, each followed by a full alpha.
  if (plain && settings.word.rounding == Rounding::truncate && layout.alpha_after) {
    std::uint8_t words[2 * 256];
    for (std::uint32_t done = 0; done < count;) {
      const std::uint32_t chunk = std::min<std::uint32_t>(256, count - done);
      pack_565_rows({triples + std::size_t{done} * 3, std::size_t{chunk} * 3}, chunk * 3, chunk, 1,
                    {words, std::size_t{chunk} * 2});
      std::uint8_t* at = out + std::size_t{done} * 3;
      for (std::uint32_t k = 0; k < chunk; ++k, at += 3) {
        at[0] = words[2 * k];
        at[1] = words[2 * k + 1];
        at[2] = 255;
      }
      done += chunk;
    }
    return;
  }
  // An opaque pixel's alpha field is full.
  const std::uint32_t fill = layout.fill | (layout.alpha.bits != 0 && !layout.alpha_after ? full(layout.alpha) : 0);
  if (const std::optional<TripleBytes> bytes = byte_fields(layout, settings.word.rounding, high, fill)) {
    arrange_triples(triples, count, *bytes, out);
    return;
  }
  const Table red = field_table(layout.red, settings.word.rounding);
  const Table green = field_table(layout.green, settings.word.rounding);
  const Table blue = field_table(layout.blue, settings.word.rounding);
  encode_through_tables(layout, high, {red, green, blue, fill}, triples, count, out);
}

void dither_word_triples(const FormatSettings& settings, const std::uint8_t* rows, std::size_t stride,
                         std::uint32_t width, std::uint32_t count, std::span<std::uint8_t> out) {
  const WordLayout layout = oriented(settings.format, settings.word.channels);
  // A triple is already the blue, green and red values the dither takes; its levels, each in the
  // top bits of its byte, are triples that truncate to them, packed as any others are.
  const std::size_t row_values = std::size_t{width} * 3;
  const std::unique_ptr<std::uint8_t[]> levels(new std::uint8_t[row_values * count]);
  const std::uint8_t bits[3] = {static_cast<std::uint8_t>(layout.blue.bits),
                                static_cast<std::uint8_t>(layout.green.bits),
                                static_cast<std::uint8_t>(layout.red.bits)};
  settings.dither->next_rows(rows, stride, count, 3, bits, levels.get(), LevelsAs::top_bits);
  FormatSettings truncated = settings;
  truncated.word.rounding = Rounding::truncate;
  truncated.dither = nullptr;
  const std::size_t row_bytes = std::size_t{width} * layout.size;
  for (std::uint32_t k = 0; k < count; ++k) {
    encode_word_triples(truncated, levels.get() + k * row_values, width,
                        out.data() + settings.dither->output_row(k) * row_bytes);
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
            layout.alpha.bits != 0 ? field_value(word, layout.alpha, Expansion::replicate) : std::uint8_t{255}};
    at += layout.size;
  }
}

void encode_alpha_plane(std::span<const BgraQuad> quads, std::span<std::uint8_t> out) {
  for (std::size_t k = 0; k < quads.size(); ++k) out[k] = quads[k].alpha;
}

void decode_alpha_plane(std::span<const std::uint8_t> in, std::span<BgraQuad> quads) {
  for (std::size_t k = 0; k < quads.size(); ++k) quads[k].alpha = in[k];
}
