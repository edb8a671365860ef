// Pixel formats shared by the exporting and importing programs.
//
// BGR triple: one pixel of an uncompressed 24-bit BMP, three bytes in the order blue, green, red,
// with no alignment of its own; pixel k of a stored row starts 3 * k bytes after the row start.
// Stored rows are padded to a multiple of 4 bytes; the padding carries no pixel. Rows are always
// walked in stored order (bottom row first for a bottom-up file) and never reordered.
//
// RGB565 word: bits 15-11 red, 10-5 green, 4-0 blue. The low bits of each channel are dropped when
// packing (no rounding) and come back as zero when expanding.
//
// Raw 16-bit image: width * height RGB565 words, low byte first, rows in the stored order of the
// picture they came from, with no header, padding or trailer. The file records no dimensions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

struct BgrTriple {
  std::uint8_t blue;
  std::uint8_t green;
  std::uint8_t red;

  friend bool operator==(const BgrTriple&, const BgrTriple&) = default;
};

// BGRA quad: one pixel of a picture that keeps its transparency, four bytes in the order blue,
// green, red, alpha, with straight (not premultiplied) alpha: 0 is fully transparent, 255 opaque.
// The colour of a pixel is its own whatever its alpha, so that laying it over a background, or
// scaling it, is left to the stage that does so.
struct BgraQuad {
  std::uint8_t blue;
  std::uint8_t green;
  std::uint8_t red;
  std::uint8_t alpha;

  friend bool operator==(const BgraQuad&, const BgraQuad&) = default;
};
static_assert(sizeof(BgraQuad) == 4, "rows of quads are handed to encoders as rows of bytes");

// A quad laid over an opaque background, with rounding: (colour * alpha + background * (255 - alpha)
// + 127) / 255, so that transparent pixels take the background and opaque ones keep their colour.
constexpr BgrTriple over(BgraQuad pixel, BgrTriple background) {
  const auto mix = [&](unsigned colour, unsigned under) {
    return static_cast<std::uint8_t>((colour * pixel.alpha + under * (255u - pixel.alpha) + 127) / 255);
  };
  return {mix(pixel.blue, background.blue), mix(pixel.green, background.green), mix(pixel.red, background.red)};
}

constexpr std::uint16_t pack565(BgrTriple pixel) {
  return static_cast<std::uint16_t>(((pixel.red >> 3) << 11) | ((pixel.green >> 2) << 5) | (pixel.blue >> 3));
}

constexpr BgrTriple expand565(std::uint16_t word) {
  return BgrTriple{static_cast<std::uint8_t>((word & 0x1F) << 3), static_cast<std::uint8_t>(((word >> 5) & 0x3F) << 2),
                   static_cast<std::uint8_t>(((word >> 11) & 0x1F) << 3)};
}

// The grey level of a colour: (299 R + 587 G + 114 B + 500) / 1000, rounded down.
constexpr std::uint8_t luma(unsigned red, unsigned green, unsigned blue) {
  return static_cast<std::uint8_t>((299 * red + 587 * green + 114 * blue + 500) / 1000);
}

// Bytes that a walk of `height` rows `stride` bytes apart, reading `width` triples from each row
// start, reaches from the first row's start; 0 when there is nothing to read. In 64 bits, so that
// callers can check it against a file length without overflow.
constexpr std::uint64_t rows_extent(std::uint32_t stride, std::uint32_t width, std::uint32_t height) {
  if (width == 0 || height == 0) return 0;
  return std::uint64_t{stride} * (height - 1) + std::uint64_t{width} * 3;
}

// Size of the raw 16-bit image of a width x height picture, when it fits the 32-bit byte count
// that the jobs use.
constexpr std::optional<std::uint32_t> raw_image_size(std::uint32_t width, std::uint32_t height) {
  const std::uint64_t size = std::uint64_t{width} * height * 2;
  if (size > UINT32_MAX) return std::nullopt;
  return static_cast<std::uint32_t>(size);
}

// Packs `height` stored rows, `stride` bytes apart from row start to row start, of `width` triples
// each into `out`, which must hold width * height * 2 bytes. `rows` starts at the first stored row
// and must reach rows_extent(stride, width, height) bytes.
void pack_565_rows(std::span<const std::uint8_t> rows, std::uint32_t stride, std::uint32_t width, std::uint32_t height,
                   std::span<std::uint8_t> out);

// Expands every little-endian word of `in` into one triple of `out`: word k becomes the pixel at
// out[3k .. 3k + 2]. `in` has an even, non-zero size and `out` holds 3 * in.size() / 2 bytes.
void expand_run(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// How each byte of a pixel of `size` bytes (3 or 4) is made from a BGR triple, for pixels that are
// the triple's bytes rearranged: byte j is the triple's byte from[j] (0 blue, 1 green, 2 red) with
// only the bits of keep[j] left, or 0 where from[j] is none_of_triple, then ORed with fill[j].
struct TripleBytes {
  static constexpr std::uint8_t none_of_triple = 3;
  unsigned size = 4;
  std::array<std::uint8_t, 4> from{0, 1, 2, none_of_triple};
  std::array<std::uint8_t, 4> keep{0xFF, 0xFF, 0xFF, 0xFF};
  std::array<std::uint8_t, 4> fill{0, 0, 0, 0};
};

// `count` triples at `triples` to `count` pixels of layout.size bytes at `out`.
void arrange_triples(const std::uint8_t* triples, std::size_t count, const TripleBytes& layout, std::uint8_t* out);

// The luma of each of `count` triples at `triples`, a byte each at `out`.
void luma_triples(const std::uint8_t* triples, std::size_t count, std::uint8_t* out);
