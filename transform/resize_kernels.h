// The resampler's filter across a row, the bulk of its work, as a scalar kernel and an SSE2 one
// that give the same integers. The source row is light biased to signed 16 bits (linear light
// minus 32768, four channels a pixel: blue, green, red, alpha); as each result pixel's weights sum
// to 16384, the bias comes back exactly as 32768 * 16384, whichever kernel adds the products.
#pragma once

#include <cstdint>

#include "transform/resize.h"

// Writes four filtered channels (linear light, premultiplied, rounded from 16384ths) for each of the
// `taps`' result pixels.
using FilterAcross = void (*)(const std::int16_t* light, const Resize::Taps& taps, std::int32_t* filtered);

void filter_across_scalar(const std::int16_t* light, const Resize::Taps& taps, std::int32_t* filtered);
void filter_across_sse2(const std::int16_t* light, const Resize::Taps& taps, std::int32_t* filtered);

// The weights' sum, times the bias, in 16384ths; and half of one, for rounding.
inline constexpr std::int32_t light_bias_sum = 32768 * 16384;
inline constexpr std::int32_t half_weight = 8192;
