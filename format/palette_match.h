// Toward a palette in linear light: each pixel's nearest entry, and dithering among the entries, for
// the indexed formats when the user gives the palette or asks for dithering.
//
// Each entry and each pixel is taken into linear light: red, green and blue decoded to 16-bit
// values proportional to light (pixels/srgb_to_linear.h), alpha widened to 16 bits (a * 257), so that
// the four weigh alike. The nearest entry is the one of least sum of squared differences over the
// four channels, the first on a tie. Matching light rather than encoded values is what keeps a
// dithered area's brightness: a grey of 50 % light (sRGB 188) between black and white is half white.
//
// Dither::ordered mixes two entries of the same alpha (alpha is never dithered): A, the pixel's
// nearest, and B, the one nearest the pixel among those that lie on the pixel's side of A, that is
// whose difference from A has a positive dot product with the pixel's difference from A. Of the
// two, E is the earlier in the palette and F the later; the pixel's place t = (p - E) . (F - E) /
// |F - E|^2 along the way from E to F is compared with the threshold of the 8 x 8 Bayer matrix of
// dither.h: the pixel takes F where 128 t > 2 B[y % 8][x % 8] + 1, else E. A flat colour on the way
// between two entries takes F on round(64 t) of every 64 pixels, so that its light on average is
// its own, and a gradient keeps one pattern across the middle of the way, where A changes; a
// colour that no pair brackets takes its nearest entry.
// The pixel (x, y) is column x of stored row y, as for every other format.
//
// Dither::diffusion is Floyd-Steinberg in linear light: a pixel's red, green and blue, each plus the
// error it received and kept within 0 to 65535, take the nearest entry (alpha as it is); the
// differences go 7/16 to the right neighbour, 3/16 below left, 5/16 below and the rest below right,
// each share rounded toward zero, shares leaving the picture dropped. A pixel of alpha 0, whose
// colour is never seen, passes none on. Stored rows in order, each left to right.
//
// Everything is integers, so that every build gives the same bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "format/dither.h"
#include "pixels/pixels.h"

class PaletteMatch {
 public:
  explicit PaletteMatch(std::span<const BgraQuad> palette);

  // The index of the entry nearest `pixel`; 0 for an empty palette.
  std::uint8_t nearest(BgraQuad pixel) const;
  // The same for each of `width` opaque BGR triples, into `indices`.
  void nearest_triples(const std::uint8_t* triples, std::uint32_t width, std::uint8_t* indices) const;

  // The indices of `count` rows of `width` pixels, rows in stored order from stored row `first`,
  // row k's pixels at row(k), its indices written to indices + k * width. Diffusion keeps its
  // errors in `scratch` (dither_scratch_size), rows given in stored order from row 0.
  template <typename Row>
  void dither_rows(Dither dither, Row row, std::uint32_t width, std::uint32_t first, std::uint32_t count,
                   std::span<std::int32_t> scratch, std::uint8_t* indices) const {
    for (std::uint32_t k = 0; k < count; ++k)
      dither_row(dither, row(k), width, first + k, scratch, indices + std::size_t{k} * width);
  }

 private:
  using Linear = std::array<std::int32_t, 4>;  // red, green, blue, alpha
  std::uint8_t nearest_linear(const Linear& value) const;
  // The entry of a colour (B | G << 8 | R << 16 | A << 24) met before, or found and remembered.
  std::uint8_t remembered(std::uint32_t colour) const;
  std::uint8_t ordered(const Linear& value, std::uint8_t a, std::uint32_t x, std::uint32_t y) const;
  void dither_row(Dither dither, const BgraQuad* pixels, std::uint32_t width, std::uint32_t y,
                  std::span<std::int32_t> scratch, std::uint8_t* indices) const;

  std::vector<Linear> entries_;
  std::vector<std::uint8_t> alphas_;
  // Colours matched and their entries, 32768 slots chosen by a hash of the colour, the last one
  // wins: a slot holds the colour (low 32 bits, packed B, G, R, A) and the entry + 1 (above them),
  // 0 when empty. Pictures repeat colours, and a colour met again costs a compare, not a search.
  // The hash spreads the colours of one gradient, whose neighbours would share a cell of their
  // high bits. Allocated when first needed.
  mutable std::vector<std::uint64_t> recent_;
};
