// The BMP that a raw frame becomes: an uncompressed 24-bit picture, bottom-up, with a 58-byte
// header (the 54 bytes of file and information header and four zero bytes), then the stored rows,
// each 3 * width bytes padded with zeros to a multiple of 4.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "format/word_format.h"
#include "pixels/bmp_fields.h"

inline constexpr std::uint32_t bmp_output_header_size = bmp_size::headers + 4;
using BmpOutputHeader = std::array<std::uint8_t, bmp_output_header_size>;

struct BmpOutput {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t row_length = 0;   // bytes of one stored row, padding included
  std::uint32_t pixel_bytes = 0;  // row_length * height
  BmpOutputHeader header{};
};

// The layout of a width x height frame; nullopt for an empty frame or one whose BMP would not fit
// the header's 32-bit sizes and signed 32-bit dimensions.
std::optional<BmpOutput> bmp_output(std::uint32_t width, std::uint32_t height);

// A conversion of a frame too large to hold at once writes it a band of stored rows at a time, in
// the order the file stores them. The raw rows of a band lie together in the raw image (reversed
// within it for `top_down`); this is the offset of their first word, from which a band's input is
// taken.
std::uint64_t band_input_offset(const BmpOutput& layout, std::uint32_t first_row, std::uint32_t rows, bool top_down);

// Fills `rows` stored rows (`band`, rows * layout.row_length bytes) from `input`, the raw image from
// the band's band_input_offset() on, of any length: only the words of the band's rows are
// converted, so that a longer input cannot write past the band; an odd last byte is half a word and
// is dropped; pixels that no word reaches and the rows' padding are zero. With `top_down` the raw
// image's first row is the picture's top row, which a bottom-up BMP stores last.
void expand_band_into_bmp(std::span<const std::uint8_t> input, const BmpOutput& layout, std::uint32_t rows,
                          bool top_down, const WordFormat& format, std::span<std::uint8_t> band);

// The whole frame as one band: its stored rows (`pixels`, layout.pixel_bytes) from a raw image of
// any length.
void expand_into_bmp(std::span<const std::uint8_t> input, const BmpOutput& layout, bool top_down,
                     const WordFormat& format, std::span<std::uint8_t> pixels);
