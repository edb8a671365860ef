#include "format/pixel_format.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <iterator>
#include <vector>

#include "format/format_families.h"

namespace {

using namespace format_option;

constexpr unsigned colour_options = bytes | channels | round | dither | expand;
constexpr unsigned byte_colour_options = channels | round | dither | expand;
constexpr unsigned indexed_options = premultiply | dither | palette;

constexpr FormatInfo formats[] = {
    {PixelFormat::rgb565, "rgb565", 16, {5, 6, 5}, 0, 0, colour_options, "16-bit word RRRRRGGG GGGBBBBB"},
    {PixelFormat::rgb565a8,
     "rgb565a8",
     24,
     {5, 6, 5},
     8,
     0,
     colour_options | premultiply,
     "every pixel's rgb565 word, then every pixel's alpha byte"},
    {PixelFormat::argb8565,
     "argb8565",
     24,
     {5, 6, 5},
     8,
     0,
     colour_options | premultiply,
     "rgb565 word, then alpha byte"},
    {PixelFormat::rgb666, "rgb666", 24, {6, 6, 6}, 0, 0, byte_colour_options, "bytes RRRRRR00 GGGGGG00 BBBBBB00"},
    {PixelFormat::rgb888, "rgb888", 24, {8, 8, 8}, 0, 0, bytes | channels, "24-bit word R G B (bytes B G R)"},
    {PixelFormat::xrgb8888,
     "xrgb8888",
     32,
     {8, 8, 8},
     0,
     0,
     bytes | channels,
     "32-bit word X R G B, X = FF (bytes B G R X)"},
    {PixelFormat::argb8888,
     "argb8888",
     32,
     {8, 8, 8},
     8,
     0,
     bytes | channels | premultiply,
     "32-bit word A R G B (bytes B G R A)"},
    {PixelFormat::rgb332, "rgb332", 8, {3, 3, 2}, 0, 0, byte_colour_options, "byte RRRGGGBB"},
    {PixelFormat::rgb444, "rgb444", 16, {4, 4, 4}, 0, 0, colour_options, "16-bit word 0000RRRR GGGGBBBB"},
    {PixelFormat::argb1555,
     "argb1555",
     16,
     {5, 5, 5},
     1,
     0,
     colour_options | premultiply,
     "16-bit word ARRRRRGG GGGBBBBB, A set where alpha >= 128"},
    {PixelFormat::argb4444,
     "argb4444",
     16,
     {4, 4, 4},
     4,
     0,
     colour_options | premultiply,
     "16-bit word AAAARRRR GGGGBBBB"},
    {PixelFormat::argb2222, "argb2222", 8, {2, 2, 2}, 2, 0, byte_colour_options | premultiply, "byte AARRGGBB"},
    {PixelFormat::gray8, "gray8", 8, {8, 8, 8}, 0, 0, 0, "byte of luma"},
    {PixelFormat::al88, "al88", 16, {8, 8, 8}, 8, 0, premultiply, "byte of luma, then byte of alpha"},
    {PixelFormat::gray4,
     "gray4",
     4,
     {4, 4, 4},
     0,
     0,
     round | dither | expand | bit_order,
     "two pixels a byte, the left one in the high four bits"},
    {PixelFormat::gray2,
     "gray2",
     2,
     {2, 2, 2},
     0,
     0,
     round | dither | expand | bit_order,
     "four pixels a byte, the left one in the high two bits"},
    {PixelFormat::mono1,
     "mono1",
     1,
     {1, 1, 1},
     0,
     0,
     dither | threshold | scan | bit_order,
     "eight pixels a byte, the left one in bit 7; or 8-row pages, the top row in bit 0"},
    {PixelFormat::a8, "a8", 8, {0, 0, 0}, 8, 0, 0, "byte of alpha alone"},
    {PixelFormat::a4,
     "a4",
     4,
     {0, 0, 0},
     4,
     0,
     round | dither | bit_order,
     "two alphas a byte, the left one in the high four bits"},
    {PixelFormat::a2,
     "a2",
     2,
     {0, 0, 0},
     2,
     0,
     round | dither | bit_order,
     "four alphas a byte, the left one in the high two bits"},
    {PixelFormat::a1,
     "a1",
     1,
     {0, 0, 0},
     1,
     0,
     dither | bit_order,
     "eight alphas a byte, the left one in bit 7, set where alpha >= 128"},
    {PixelFormat::i1,
     "i1",
     1,
     {0, 0, 0},
     8,
     1,
     indexed_options | bit_order,
     "palette of 2 BGRA entries, then 1-bit indices"},
    {PixelFormat::i2,
     "i2",
     2,
     {0, 0, 0},
     8,
     2,
     indexed_options | bit_order,
     "palette of 4 BGRA entries, then 2-bit indices"},
    {PixelFormat::i4,
     "i4",
     4,
     {0, 0, 0},
     8,
     4,
     indexed_options | bit_order,
     "palette of 16 BGRA entries, then 4-bit indices"},
    {PixelFormat::i8, "i8", 8, {0, 0, 0}, 8, 8, indexed_options, "palette of 256 BGRA entries, then 8-bit indices"},
};

constexpr auto format_names = [] {
  std::array<std::string_view, std::size(formats)> names{};
  for (std::size_t i = 0; i < names.size(); ++i) names[i] = formats[i].name;
  return names;
}();

bool has_alpha_plane(PixelFormat format) { return format == PixelFormat::rgb565a8; }

// Bytes of one row of `width` pixels of plane 0, or of one 8-row page.
std::uint64_t row_bytes(const FormatSettings& settings, std::uint32_t width) {
  if (settings.format == PixelFormat::mono1 && settings.pages) return width;
  if (is_word_format(settings.format)) return std::uint64_t{width} * word_bytes(settings.format);
  return (std::uint64_t{width} * format_info(settings.format).bits_per_pixel + 7) / 8;
}

// Each byte's pixels of `bits` bits in the other order: the first's bits where the last's were.
void reverse_pixels(std::span<std::uint8_t> bytes, unsigned bits) {
  static const auto reversed = [] {
    std::array<std::array<std::uint8_t, 256>, 3> tables{};
    for (unsigned k = 0; k < 3; ++k) {
      const unsigned width = 1u << k, mask = (1u << width) - 1;
      for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned out = 0;
        for (unsigned at = 0; at < 8; at += width) out |= (byte >> at & mask) << (8 - width - at);
        tables[k][byte] = static_cast<std::uint8_t>(out);
      }
    }
    return tables;
  }();
  const auto& table = reversed[bits == 1 ? 0 : bits == 2 ? 1 : 2];
  for (std::uint8_t& byte : bytes) byte = table[byte];
}

// The pixels of plane 0 lie in the other order than the format's kernels write and read them.
bool bits_reversed(const FormatSettings& settings, int plane) {
  if (plane != 0 || !settings.bit_order || format_info(settings.format).bits_per_pixel >= 8) return false;
  const BitOrder own =
      settings.format == PixelFormat::mono1 && settings.pages ? BitOrder::low_first : BitOrder::high_first;
  return *settings.bit_order != own;
}

enum class Family { word, grey, alpha, indexed };

Family family_of(PixelFormat format) {
  if (format_info(format).index_bits != 0) return Family::indexed;
  if (holds_alpha_alone(format)) return Family::alpha;
  if (is_word_format(format)) return Family::word;
  return Family::grey;
}

}  // namespace

std::span<const FormatInfo> pixel_formats() { return formats; }

BitOrder bit_order_of(const FormatSettings& settings) {
  if (settings.bit_order && format_info(settings.format).bits_per_pixel < 8) return *settings.bit_order;
  return settings.format == PixelFormat::mono1 && settings.pages ? BitOrder::low_first : BitOrder::high_first;
}

const FormatInfo& format_info(PixelFormat format) {
  const FormatInfo& info = formats[static_cast<std::size_t>(format)];
  assert(info.format == format);
  return info;
}

const FormatInfo* find_pixel_format(std::string_view name) {
  for (const FormatInfo& info : formats) {
    if (info.name == name) return &info;
  }
  return nullptr;
}

std::span<const std::string_view> pixel_format_names() { return format_names; }

ImageLayout image_layout(const FormatSettings& settings, std::uint32_t width, std::uint32_t height) {
  ImageLayout layout;
  const FormatInfo& info = format_info(settings.format);
  if (info.index_bits != 0) layout.palette_bytes = std::uint64_t{4} << info.index_bits;
  layout.row_bytes = row_bytes(settings, width);
  layout.rows_per_unit = settings.format == PixelFormat::mono1 && settings.pages ? 8 : 1;
  layout.plane_bytes = band_bytes(settings, 0, width, height);
  if (has_alpha_plane(settings.format)) {
    layout.alpha_row_bytes = width;
    layout.alpha_plane_bytes = band_bytes(settings, 1, width, height);
  }
  layout.total = layout.palette_bytes + layout.plane_bytes + layout.alpha_plane_bytes;
  return layout;
}

std::uint64_t band_bytes(const FormatSettings& settings, int plane, std::uint32_t width, std::uint32_t count) {
  if (plane == 1) return std::uint64_t{width} * count;
  const std::uint64_t units = settings.format == PixelFormat::mono1 && settings.pages ? (count + 7) / 8 : count;
  return row_bytes(settings, width) * units;
}

void encode_rows(const FormatSettings& settings, int plane, std::span<const BgraQuad> quads, std::uint32_t width,
                 std::uint32_t count, std::span<std::uint8_t> out) {
  assert(quads.size() == std::size_t{width} * count);
  assert(out.size() == band_bytes(settings, plane, width, count));
  if (plane == 1) return encode_alpha_plane(quads, out);
  switch (family_of(settings.format)) {
    case Family::indexed:
      encode_indexed_rows(settings, quads, width, count, out);
      break;
    case Family::alpha:
      encode_alpha_rows(settings, quads, width, count, out);
      break;
    case Family::grey:
      encode_grey_rows(settings, quads, width, count, out);
      break;
    case Family::word:
      encode_word_rows(settings, quads, width, count, out);
      break;
  }
  if (bits_reversed(settings, plane)) reverse_pixels(out, format_info(settings.format).bits_per_pixel);
}

namespace {

// encode_triple_rows in the order the format's kernels write.
bool encode_triples(const FormatSettings& settings, int plane, const std::uint8_t* rows, std::size_t stride,
                    bool reverse, std::uint32_t width, std::uint32_t count, std::span<std::uint8_t> out) {
  const Family family = family_of(settings.format);
  const bool grey = family == Family::grey;
  assert(out.size() == band_bytes(settings, plane, width, count));
  if (plane == 1) {
    std::fill(out.begin(), out.end(), std::uint8_t{255});
    return true;
  }
  // Opaque rows are all one alpha, and al88's alpha rides with its luma: the quads' path serves them.
  if (family == Family::alpha || settings.format == PixelFormat::al88) return false;
  if (settings.dither != nullptr) {
    // The dither takes the band's rows in stored order and puts each in its output row itself.
    if (format_info(settings.format).index_bits != 0) {
      dither_indexed_triples(settings, rows, stride, width, count, out);
    } else if (grey) {
      dither_grey_triples(settings, rows, stride, width, count, out);
    } else {
      dither_word_triples(settings, rows, stride, width, count, out);
    }
    return true;
  }
  if (settings.format == PixelFormat::mono1 && settings.pages) return false;
  const std::size_t row_bytes = static_cast<std::size_t>(band_bytes(settings, 0, width, 1));
  const bool indexed = family == Family::indexed;
  for (std::uint32_t y = 0; y < count; ++y) {
    const std::uint8_t* row = rows + std::size_t{reverse ? count - 1 - y : y} * stride;
    std::uint8_t* to = out.data() + std::size_t{y} * row_bytes;
    if (indexed) {
      encode_indexed_triples(settings, row, width, to);
    } else if (grey) {
      encode_grey_triples(settings, row, width, to);
    } else {
      encode_word_triples(settings, row, width, to);
    }
  }
  return true;
}

}  // namespace

bool encode_triple_rows(const FormatSettings& settings, int plane, const std::uint8_t* rows, std::size_t stride,
                        bool reverse, std::uint32_t width, std::uint32_t count, std::span<std::uint8_t> out) {
  if (!encode_triples(settings, plane, rows, stride, reverse, width, count, out)) return false;
  if (bits_reversed(settings, plane)) reverse_pixels(out, format_info(settings.format).bits_per_pixel);
  return true;
}

void decode_rows(const FormatSettings& settings, int plane, std::span<const std::uint8_t> in, std::uint32_t width,
                 std::uint32_t count, std::span<BgraQuad> quads) {
  assert(quads.size() == std::size_t{width} * count);
  assert(in.size() == band_bytes(settings, plane, width, count));
  if (bits_reversed(settings, plane)) {
    std::vector<std::uint8_t> own(in.begin(), in.end());
    reverse_pixels(own, format_info(settings.format).bits_per_pixel);
    FormatSettings as_own = settings;
    as_own.bit_order.reset();
    return decode_rows(as_own, plane, own, width, count, quads);
  }
  if (plane == 1) return decode_alpha_plane(in, quads);
  switch (family_of(settings.format)) {
    case Family::indexed:
      return decode_indexed_rows(settings, in, width, count, quads);
    case Family::alpha:
      return decode_alpha_rows(settings, in, width, count, quads);
    case Family::grey:
      return decode_grey_rows(settings, in, width, count, quads);
    case Family::word:
      break;
  }
  decode_word_rows(settings, in, quads);
}

void store_palette(std::span<const BgraQuad> entries, std::span<std::uint8_t> out) {
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  for (std::size_t k = 0; k < entries.size() && 4 * k + 3 < out.size(); ++k) {
    out[4 * k] = entries[k].blue;
    out[4 * k + 1] = entries[k].green;
    out[4 * k + 2] = entries[k].red;
    out[4 * k + 3] = entries[k].alpha;
  }
}

void quads_of_triples(const std::uint8_t* triples, std::uint32_t count, BgraQuad* quads) {
  constexpr TripleBytes opaque{4, {0, 1, 2, TripleBytes::none_of_triple}, {0xFF, 0xFF, 0xFF, 0}, {0, 0, 0, 255}};
  arrange_triples(triples, count, opaque, reinterpret_cast<std::uint8_t*>(quads));
}

namespace {

// The row's whole bytes, with the values a byte holds known to the compiler, so that it packs
// many bytes at a time.
template <unsigned bits>
std::uint32_t pack_whole_bytes(const std::uint8_t* values, std::uint32_t width, std::uint8_t* row) {
  constexpr unsigned per_byte = 8 / bits;
  const std::uint32_t bytes = width / per_byte;
  for (std::uint32_t i = 0; i < bytes; ++i) {
    unsigned byte = 0;
    for (unsigned k = 0; k < per_byte; ++k) byte = byte << bits | values[std::size_t{i} * per_byte + k];
    row[i] = static_cast<std::uint8_t>(byte);
  }
  return bytes * per_byte;
}

}  // namespace

void pack_bits(const std::uint8_t* values, std::uint32_t width, unsigned bits, std::uint8_t* row) {
  if (bits == 8) {
    std::memcpy(row, values, width);
    return;
  }
  const unsigned per_byte = 8 / bits;
  const std::uint32_t whole = bits == 1   ? pack_whole_bytes<1>(values, width, row)
                              : bits == 2 ? pack_whole_bytes<2>(values, width, row)
                              : bits == 4 ? pack_whole_bytes<4>(values, width, row)
                                          : 0;
  for (std::uint32_t x = whole; x < width; x += per_byte) {
    unsigned byte = 0;
    for (unsigned k = 0; k < per_byte; ++k) {
      byte <<= bits;
      if (x + k < width) byte |= values[x + k];
    }
    row[x / per_byte] = static_cast<std::uint8_t>(byte);
  }
}

std::uint8_t bits_at(const std::uint8_t* row, std::uint32_t x, unsigned bits) {
  const unsigned per_byte = 8 / bits;
  const unsigned shift = (per_byte - 1 - x % per_byte) * bits;
  return static_cast<std::uint8_t>(row[x / per_byte] >> shift & ((1u << bits) - 1));
}
