// The pixel formats that pack writes and unpack reads, and their layouts. Every format is a run of
// rows, the picture's rows in the order the options chose, with no header and no padding between
// rows but what a row of bits needs to end on a byte:
//
// - A word format stores each pixel as one little-endian word (high byte first with
//   ByteOrder::high_first) whose fields, from the high bits down, are the format's name: argb8888
//   is alpha in bits 31-24, red 23-16, green 15-8, blue 7-0. ChannelOrder::bgr swaps red and blue.
//   rgb444 is a 16-bit word whose top four bits are zero; xrgb8888's X is 0xFF. argb1555 and
//   argb4444 are 16-bit words with alpha in the top bit or the top four bits; argb2222 is one byte
//   AARRGGBB.
// - rgb666 is three bytes, red first (blue first with bgr), each channel in the top six bits, as
//   18-bit panels take it over SPI. rgb332 is one byte RRRGGGBB.
// - rgb565a8 is two planes: every pixel's RGB565 word, then every pixel's alpha byte. argb8565 is
//   the RGB565 word followed by the alpha byte, per pixel.
// - gray8, gray4, gray2, mono1, a8, a4, a2, a1 and the indexed formats pack pixels into bytes, the
//   leftmost pixel in the most significant bits; each row starts on a byte. A grey level is the luma
//   (299 R + 587 G + 114 B + 500) / 1000. a8 to a1 hold the alpha alone, and unpack to black with
//   that alpha. al88 is a byte of luma, then a byte of alpha. mono1 lights a pixel (bit 1) whose luma is at least the
//   threshold. With pages, mono1 is stored as 8-row pages of bytes, one byte per column, the page's
//   top row in bit 0, as the common OLED controllers take it; a last page past the picture is
//   filled with 0 bits.
// - i1, i2, i4 and i8 start with a palette of 2^bits entries of four bytes, blue, green, red,
//   alpha (unused entries zero), then the rows of indices. A palette the user gives keeps its order.
//
// Levels: a channel of n bits is v >> (8 - n), or the nearest level round(v * (2^n - 1) / 255) with
// Rounding::nearest, or as dither.h chooses it when dithering. Unpacking widens a level by shifting it back up, its low
// bits zero, or with Expansion::replicate filled by repeating its bits, so that full scale is 255. An alpha level is
// always widened by repeating its bits, so that its top level is opaque: a 1-bit alpha is set where alpha >= 128.
// Alpha is straight; with premultiply each colour channel is first scaled by it, (c * a + 127) / 255.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "format/word_format.h"
#include "pixels/pixels.h"

enum class PixelFormat : std::uint8_t {
  rgb565,
  rgb565a8,
  argb8565,
  rgb666,
  rgb888,
  xrgb8888,
  argb8888,
  rgb332,
  rgb444,
  argb1555,
  argb4444,
  argb2222,
  gray8,
  al88,
  gray4,
  gray2,
  mono1,
  a8,
  a4,
  a2,
  a1,
  i1,
  i2,
  i4,
  i8,
};

// The command line's options that mean something for a format, one bit each.
namespace format_option {
inline constexpr unsigned bytes = 1u << 0;
inline constexpr unsigned channels = 1u << 1;
inline constexpr unsigned round = 1u << 2;
inline constexpr unsigned dither = 1u << 3;
inline constexpr unsigned expand = 1u << 4;
inline constexpr unsigned threshold = 1u << 5;
inline constexpr unsigned scan = 1u << 6;
inline constexpr unsigned premultiply = 1u << 7;
inline constexpr unsigned palette = 1u << 8;
inline constexpr unsigned bit_order = 1u << 9;
}  // namespace format_option

struct FormatInfo {
  PixelFormat format;
  std::string_view name;
  unsigned bits_per_pixel;  // planes together, the palette aside
  // Bits of red, green and blue (each the grey level's for grey formats; 0 for indexed ones).
  std::array<std::uint8_t, 3> channel_bits;
  unsigned alpha_bits;
  unsigned index_bits;      // 0 unless indexed
  unsigned options;         // format_option bits
  std::string_view layout;  // one line, for --help, the manual and the README
};

// Every format, in the order of PixelFormat.
std::span<const FormatInfo> pixel_formats();
const FormatInfo& format_info(PixelFormat format);
const FormatInfo* find_pixel_format(std::string_view name);
// a8, a4, a2 and a1: alpha and no colour.
bool holds_alpha_alone(PixelFormat format);
// The formats' names alone, in the same order, for lists of choices.
std::span<const std::string_view> pixel_format_names();

class PaletteIndex;
class PaletteMatch;
class RowDither;

// Which end of a byte holds its first pixel, in the formats of fewer than 8 bits a pixel: the
// leftmost of a row's pixels, or the top one of a mono1 page's column.
enum class BitOrder { high_first, low_first };

struct FormatSettings {
  PixelFormat format = PixelFormat::rgb565;
  WordFormat word;
  bool premultiply = false;
  std::uint8_t threshold = 128;
  bool pages = false;  // mono1 in 8-row pages
  // The order of the pixels in a byte; nullopt for the format's own: rows high first, as the layouts
  // say, and mono1's pages low first.
  std::optional<BitOrder> bit_order;
  // The indexed formats' palette, 2^bits entries, and for packing the index of each colour in it.
  std::span<const BgraQuad> palette = {};
  const PaletteIndex* index = nullptr;
  // Nearest entries in linear light, for a palette the user gave or for dithering; when set it
  // chooses the indices in place of `index`.
  const PaletteMatch* match = nullptr;
  // For packing with dithering: it chooses the levels of every colour channel (grey, for the grey
  // formats; which pixels light, for mono1; the palette's entries, through `match`, for the
  // indexed formats) in place of rounding and the threshold, and keeps its place from band to band.
  // Alpha is dithered only in the formats of alpha alone (a4, a2, a1).
  RowDither* dither = nullptr;
};

// Where each part of a width x height image lies. A plane's rows are `row_bytes` apart; mono1's
// pages count as rows of `rows_per_unit` = 8 picture rows.
struct ImageLayout {
  std::uint64_t palette_bytes = 0;
  std::uint64_t row_bytes = 0;        // first plane
  std::uint64_t alpha_row_bytes = 0;  // second plane (rgb565a8), 0 for none
  std::uint32_t rows_per_unit = 1;
  std::uint64_t plane_bytes = 0;
  std::uint64_t alpha_plane_bytes = 0;
  std::uint64_t total = 0;
};
ImageLayout image_layout(const FormatSettings& settings, std::uint32_t width, std::uint32_t height);

// The bytes that `count` rows of plane `plane` (0, or 1 for rgb565a8's alpha) take.
std::uint64_t band_bytes(const FormatSettings& settings, int plane, std::uint32_t width, std::uint32_t count);

// Encodes `count` picture rows of plane `plane`, `width` quads each in `quads` (in the output's
// order), into `out` (band_bytes). With pages, a band starts on a page and holds whole pages but
// for the picture's last. With a dither, plane 0's rows are the band its start_band announced.
void encode_rows(const FormatSettings& settings, int plane, std::span<const BgraQuad> quads, std::uint32_t width,
                 std::uint32_t count, std::span<std::uint8_t> out);

// encode_rows for `count` opaque rows of triples, `stride` bytes apart (the last first with
// `reverse`), where the format has a path that takes triples as they lie; false where it has none
// and the rows are to be widened to quads for encode_rows. With a dither, as for encode_rows.
bool encode_triple_rows(const FormatSettings& settings, int plane, const std::uint8_t* rows, std::size_t stride,
                        bool reverse, std::uint32_t width, std::uint32_t count, std::span<std::uint8_t> out);

// The reverse: `count` rows of plane `plane` from `in` (band_bytes) into `quads`. Plane 0 sets every
// channel (alpha 255 where the format has none, or where it has a second plane); plane 1 sets alpha.
void decode_rows(const FormatSettings& settings, int plane, std::span<const std::uint8_t> in, std::uint32_t width,
                 std::uint32_t count, std::span<BgraQuad> quads);

// The palette's bytes as the indexed formats store it.
void store_palette(std::span<const BgraQuad> palette, std::span<std::uint8_t> out);

// The order in which `settings`' bytes hold their pixels, the format's own unless one is chosen; a
// format of 8 bits or more a pixel has but one pixel a byte, and is given as high first.
BitOrder bit_order_of(const FormatSettings& settings);

// Widens BGR triples to opaque quads: the picture of a source without transparency.
void quads_of_triples(const std::uint8_t* triples, std::uint32_t count, BgraQuad* quads);
