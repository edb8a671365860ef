// Dithering for packing: each pixel's 5- and 6-bit levels chosen so that an area of a colour that
// falls between two levels shows both, in the right proportion, instead of banding. It works on
// the 8-bit channels before packing, with integers only, so that the same picture gives the same
// bytes on every build. The levels of a colour are its truncated channels (the dialogs' packing),
// and a level stands for its value with the low bits zero: a colour whose low bits are zero (one
// that packs exactly) is never changed, and black and white stay black and white.
//
// Pixel (x, y) is column x of stored row y, first stored row 0, whatever row order the packed
// image is written in: the pattern belongs to the picture, not to the output's layout.
//
// Dither::ordered adds a threshold from the 8 x 8 Bayer matrix B (0 to 63), tiled from (0, 0),
//
//    0 32  8 40  2 34 10 42
//   48 16 56 24 50 18 58 26
//   12 44  4 36 14 46  6 38
//   60 28 52 20 62 30 54 22
//    3 35 11 43  1 33  9 41
//   51 19 59 27 49 17 57 25
//   15 47  7 39 13 45  5 37
//   63 31 55 23 61 29 53 21
//
// scaled to one level's step: red and blue become min(255, v + B[y % 8][x % 8] / 8) >> 3, green
// min(255, v + B[y % 8][x % 8] / 16) >> 2 (divisions rounding down). A value r eighths of the way
// from a level to the next takes the upper level on r of every 8 pixels.
//
// Dither::diffusion is Floyd-Steinberg, rows in stored order and each row left to right (not
// serpentine). The error of a pixel is its value, with the errors it received, against its level's
// value, kept in sixteenths of a unit: E = min(16 * 255, 16 * v + received) - 16 * (level << bits
// dropped). It goes 7/16 to the right neighbour, 3/16 below left, 5/16 below and the rest (so that
// none is lost to rounding) below right, each share rounded down; shares that would leave the
// picture are dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "format/word_format.h"

enum class Dither { none, ordered, diffusion };

// The scratch that pack_rows_dithered needs for `dither` on rows of `width` pixels, in elements:
// two rows of errors for diffusion, none otherwise. The caller allocates it, so that the walk
// itself allocates nothing and can run over a file view.
std::size_t dither_scratch_size(std::uint32_t width, Dither dither);

// pack_rows with each pixel's levels chosen by `dither`; with Dither::none, pack_rows itself.
// Dithering needs `format` to truncate.
void pack_rows_dithered(std::span<const std::uint8_t> rows, std::uint32_t stride, std::uint32_t width,
                        std::uint32_t height, bool reverse, const WordFormat& format, Dither dither,
                        std::span<std::int32_t> scratch, std::span<std::uint8_t> out);

// The same for a band of `count` stored rows, the first of them stored row `first_row`, so that a
// picture packed band by band, its bands in stored order, gives the bytes that packing it whole
// does. Diffusion carries its errors from band to band in `scratch`, which must therefore be the
// same for every band of a picture; `reverse` turns only the band's rows round.
void pack_band_dithered(std::span<const std::uint8_t> rows, std::uint32_t stride, std::uint32_t width,
                        std::uint32_t first_row, std::uint32_t count, bool reverse, const WordFormat& format,
                        Dither dither, std::span<std::int32_t> scratch, std::span<std::uint8_t> out);
