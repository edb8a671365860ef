// The filter across a row with SSE2, named by a target attribute so that the build keeps the
// compiler's baseline and the resampler calls it only once the processor has said it can. Two taps
// at a time: their pixels interleaved channel by channel, so that one multiply-add of 16-bit pairs
// gives each channel's two products summed.
#include <immintrin.h>

#include <cstring>

#include "transform/resize_kernels.h"

namespace {

[[gnu::target("sse2")]] inline __m128i load_pixel(const std::int16_t* at) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
}

}  // namespace

[[gnu::target("sse2")]] void filter_across_sse2(const std::int16_t* light, const Resize::Taps& taps,
                                                std::int32_t* filtered) {
  const __m128i offset = _mm_set1_epi32(light_bias_sum + half_weight);
  for (std::size_t i = 0; i < taps.first.size(); ++i, filtered += 4) {
    const std::int16_t* tap = light + std::size_t{taps.first[i]} * 4;
    const std::int32_t* weight = taps.weights.data() + taps.start[i];
    const std::uint32_t count = taps.count[i];
    __m128i sum = offset;
    std::uint32_t k = 0;
    for (; k + 2 <= count; k += 2, tap += 8) {
      const __m128i pair = _mm_unpacklo_epi16(load_pixel(tap), load_pixel(tap + 4));
      const __m128i weights = _mm_set1_epi32(
          static_cast<std::int32_t>(static_cast<std::uint16_t>(weight[k]) |
                                    static_cast<std::uint32_t>(static_cast<std::uint16_t>(weight[k + 1])) << 16));
      sum = _mm_add_epi32(sum, _mm_madd_epi16(pair, weights));
    }
    if (k < count) {
      const __m128i last = _mm_unpacklo_epi16(load_pixel(tap), _mm_setzero_si128());
      sum = _mm_add_epi32(sum, _mm_madd_epi16(last, _mm_set1_epi32(static_cast<std::uint16_t>(weight[k]))));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(filtered), _mm_srai_epi32(sum, 14));
  }
}
