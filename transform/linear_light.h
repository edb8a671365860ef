// Linear light: sRGB-encoded 8-bit channels, as pictures store them, decoded into 16-bit values
// proportional to light (0 to 65535) and encoded back. Filtering averages light, not encoded values:
// black and white pixels averaged show a grey of 188, which has their mean light, not one of 128.
//
// Both directions are tables of integers, written out rather than computed at start, so that no
// build's floating-point library can change a value: decoding gives round(65535 * L(v / 255)) for
// the sRGB curve L (v / 12.92 up to 0.04045, else ((v + 0.055) / 1.055)^2.4), and encoding gives the
// 8-bit value whose sRGB value is nearest to a linear value's.
#pragma once

#include <cstdint>

// The decoding table, indexed by the encoded value; inline below, as the resampler decodes every
// source channel.
extern const std::uint16_t linear_light_of[256];

inline std::uint16_t linear_of(std::uint8_t encoded) { return linear_light_of[encoded]; }
std::uint8_t encoded_of(std::uint16_t linear);
