// Each family of pixel formats encodes and decodes its rows in a file of its own; pixel_format.cpp
// dispatches to them. The layouts are the ones written at the top of pixel_format.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "format/pixel_format.h"

// Formats whose pixel is one word or a fixed run of bytes: rgb565, rgb666, rgb888, xrgb8888,
// rgb332, rgb444, argb1555, argb4444, argb2222, argb8565, argb8888, and rgb565a8's first plane.
bool is_word_format(PixelFormat format);
void encode_word_rows(const FormatSettings& settings, std::span<const BgraQuad> quads, std::uint32_t width,
                      std::uint32_t count, std::span<std::uint8_t> out);
void decode_word_rows(const FormatSettings& settings, std::span<const std::uint8_t> in, std::span<BgraQuad> quads);
unsigned word_bytes(PixelFormat format);
// The same from `count` opaque BGR triples, without widening them to quads first: the path of a
// 24-bit picture, which is most of them.
void encode_word_triples(const FormatSettings& settings, const std::uint8_t* triples, std::uint32_t count,
                         std::uint8_t* out);

// The same, dithered: `count` stored rows of `width` opaque triples, `stride` bytes apart, the
// band the settings' dither was last told of, each into its row of the output.
void dither_word_triples(const FormatSettings& settings, const std::uint8_t* rows, std::size_t stride,
                         std::uint32_t width, std::uint32_t count, std::span<std::uint8_t> out);

// rgb565a8's second plane: a byte of alpha a pixel.
void encode_alpha_plane(std::span<const BgraQuad> quads, std::span<std::uint8_t> out);
void decode_alpha_plane(std::span<const std::uint8_t> in, std::span<BgraQuad> quads);

// gray8, gray4, gray2, mono1 (rows or pages) and al88.
void encode_grey_rows(const FormatSettings& settings, std::span<const BgraQuad> quads, std::uint32_t width,
                      std::uint32_t count, std::span<std::uint8_t> out);
// The same from one row of `width` opaque BGR triples, without widening them to quads first; rows
// of bits, not mono1's pages, which take their rows eight at a time.
void encode_grey_triples(const FormatSettings& settings, const std::uint8_t* triples, std::uint32_t width,
                         std::uint8_t* out);
void dither_grey_triples(const FormatSettings& settings, const std::uint8_t* rows, std::size_t stride,
                         std::uint32_t width, std::uint32_t count, std::span<std::uint8_t> out);
void decode_grey_rows(const FormatSettings& settings, std::span<const std::uint8_t> in, std::uint32_t width,
                      std::uint32_t count, std::span<BgraQuad> quads);

// a8, a4, a2 and a1 (holds_alpha_alone): the alpha, packed as grey levels are; unpacked black with it.
void encode_alpha_rows(const FormatSettings& settings, std::span<const BgraQuad> quads, std::uint32_t width,
                       std::uint32_t count, std::span<std::uint8_t> out);
void decode_alpha_rows(const FormatSettings& settings, std::span<const std::uint8_t> in, std::uint32_t width,
                       std::uint32_t count, std::span<BgraQuad> quads);

// i1, i2, i4 and i8: rows of indices into the settings' palette.
void encode_indexed_rows(const FormatSettings& settings, std::span<const BgraQuad> quads, std::uint32_t width,
                         std::uint32_t count, std::span<std::uint8_t> out);
void decode_indexed_rows(const FormatSettings& settings, std::span<const std::uint8_t> in, std::uint32_t width,
                         std::uint32_t count, std::span<BgraQuad> quads);
// The same, dithered toward the palette: as dither_word_triples.
void dither_indexed_triples(const FormatSettings& settings, const std::uint8_t* rows, std::size_t stride,
                            std::uint32_t width, std::uint32_t count, std::span<std::uint8_t> out);
// The same from one row of `width` opaque BGR triples, without widening them to quads first.
void encode_indexed_triples(const FormatSettings& settings, const std::uint8_t* triples, std::uint32_t width,
                            std::uint8_t* out);

// Packs `width` values of `bits` bits (1, 2, 4 or 8) into a row of bytes, the first in the most
// significant bits, and back.
void pack_bits(const std::uint8_t* values, std::uint32_t width, unsigned bits, std::uint8_t* row);
std::uint8_t bits_at(const std::uint8_t* row, std::uint32_t x, unsigned bits);
