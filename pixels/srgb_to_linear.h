// Linear light: sRGB-encoded 8-bit channels, as pictures store them, decoded into 16-bit values
// proportional to light (0 to 65535). Averaging light, not encoded values, is what keeps a
// picture's tones when it is resampled or dithered: black and white pixels mixed half and half show
// a grey of 188, which has their mean light, not one of 128.
//
// The table is integers written out rather than computed at start, so that no build's
// floating-point library can change a value: round(65535 * L(v / 255)) for the sRGB curve L
// (v / 12.92 up to 0.04045, else ((v + 0.055) / 1.055)^2.4).
#pragma once

#include <cstdint>

// The decoding table, indexed by the encoded value; inline below, as the resampler and the palette
// dither decode every channel they meet.
extern const std::uint16_t linear_light_of[256];

inline std::uint16_t linear_of(std::uint8_t encoded) { return linear_light_of[encoded]; }
