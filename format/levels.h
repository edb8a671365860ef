// What the pixel formats share: a channel's level from its 8-bit value and back, and
// premultiplication; the luma of a colour is pixels.h's. The rules are those written at the top of
// pixel_format.h.
#pragma once

#include <cstdint>

#include "format/word_format.h"
#include "pixels/pixels.h"

// The level of an 8-bit value in `bits` bits. v * levels / 255 is never halfway between two
// integers (255 is odd), so adding 127 before dividing rounds exactly.
constexpr unsigned level_of(unsigned value, unsigned bits, Rounding rounding) {
  if (bits >= 8) return value;
  const unsigned top = (1u << bits) - 1;
  return rounding == Rounding::nearest ? (value * top + 127) / 255 : value >> (8 - bits);
}

// A level of `bits` bits back at 8 bits: shifted up, its low bits zero or filled by repeating it.
constexpr std::uint8_t widen(unsigned level, unsigned bits, Expansion expansion) {
  if (bits >= 8) return static_cast<std::uint8_t>(level);
  unsigned wide = level << (8 - bits);
  if (expansion == Expansion::replicate) {
    for (unsigned shift = bits; shift < 8; shift += bits) wide |= level << (8 - bits) >> shift;
  }
  return static_cast<std::uint8_t>(wide);
}

constexpr std::uint8_t premultiplied(unsigned colour, unsigned alpha) {
  return static_cast<std::uint8_t>((colour * alpha + 127) / 255);
}

// A quad with its colour scaled by its alpha when `premultiply` says so.
constexpr BgraQuad prepared(BgraQuad pixel, bool premultiply) {
  if (!premultiply) return pixel;
  return {premultiplied(pixel.blue, pixel.alpha), premultiplied(pixel.green, pixel.alpha),
          premultiplied(pixel.red, pixel.alpha), pixel.alpha};
}
