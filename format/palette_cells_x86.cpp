// Sixteen triples at a time: three loads of 48 bytes, shuffled into a register of each channel.
#include <immintrin.h>

#include "format/palette_cells.h"
#include "pixels/kernel_path.h"

void opaque_cells_scalar(const std::uint8_t* triples, std::uint32_t count, std::uint16_t* cells, std::uint16_t* lows) {
  for (std::uint32_t k = 0; k < count; ++k, triples += 3) {
    const unsigned blue = triples[0], green = triples[1], red = triples[2];
    cells[k] = static_cast<std::uint16_t>(red >> 3 << 10 | green >> 3 << 5 | blue >> 3);
    if (lows != nullptr) lows[k] = static_cast<std::uint16_t>((red & 7) << 6 | (green & 7) << 3 | (blue & 7));
  }
}

namespace {

// The bytes of one channel out of three registers of 48 bytes of triples: the first register gives
// its channel's bytes at `a`, the second at `b`, the third at `c`; -1 (zero) elsewhere.
[[gnu::target("ssse3")]] inline __m128i channel(__m128i first, __m128i second, __m128i third, __m128i a, __m128i b,
                                                __m128i c) {
  return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(first, a), _mm_shuffle_epi8(second, b)),
                      _mm_shuffle_epi8(third, c));
}

[[gnu::target("ssse3")]] inline void store_cells(__m128i blue, __m128i green, __m128i red, std::uint16_t* cells,
                                                 std::uint16_t* lows) {
  const __m128i top = _mm_set1_epi16(0xF8), low = _mm_set1_epi16(7);
  const __m128i cell = _mm_or_si128(
      _mm_or_si128(_mm_slli_epi16(_mm_and_si128(red, top), 7), _mm_slli_epi16(_mm_and_si128(green, top), 2)),
      _mm_srli_epi16(blue, 3));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(cells), cell);
  if (lows == nullptr) return;
  const __m128i bits = _mm_or_si128(
      _mm_or_si128(_mm_slli_epi16(_mm_and_si128(red, low), 6), _mm_slli_epi16(_mm_and_si128(green, low), 3)),
      _mm_and_si128(blue, low));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lows), bits);
}

}  // namespace

[[gnu::target("ssse3")]] void opaque_cells_ssse3(const std::uint8_t* triples, std::uint32_t count, std::uint16_t* cells,
                                                 std::uint16_t* lows) {
  const __m128i blue_a = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i blue_b = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
  const __m128i blue_c = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
  const __m128i green_a = _mm_setr_epi8(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i green_b = _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1);
  const __m128i green_c = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14);
  const __m128i red_a = _mm_setr_epi8(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i red_b = _mm_setr_epi8(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1);
  const __m128i red_c = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15);
  const __m128i zero = _mm_setzero_si128();
  std::uint32_t k = 0;
  for (; k + 16 <= count; k += 16, triples += 48) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(triples));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(triples + 16));
    const __m128i third = _mm_loadu_si128(reinterpret_cast<const __m128i*>(triples + 32));
    const __m128i blue = channel(first, second, third, blue_a, blue_b, blue_c);
    const __m128i green = channel(first, second, third, green_a, green_b, green_c);
    const __m128i red = channel(first, second, third, red_a, red_b, red_c);
    store_cells(_mm_unpacklo_epi8(blue, zero), _mm_unpacklo_epi8(green, zero), _mm_unpacklo_epi8(red, zero), cells + k,
                lows != nullptr ? lows + k : nullptr);
    store_cells(_mm_unpackhi_epi8(blue, zero), _mm_unpackhi_epi8(green, zero), _mm_unpackhi_epi8(red, zero),
                cells + k + 8, lows != nullptr ? lows + k + 8 : nullptr);
  }
  opaque_cells_scalar(triples, count - k, cells + k, lows != nullptr ? lows + k : nullptr);
}

OpaqueCells opaque_cells_kernel() {
  const KernelPath path = dispatched_kernel_path();
  return path == KernelPath::ssse3 || path == KernelPath::avx2 ? opaque_cells_ssse3 : opaque_cells_scalar;
}
