// Diffusion with a pixel's channels in the lanes of a register. The error a pixel hands to the
// next is a chain that cannot run ahead, so each step of it is a single vector operation, none
// divides, and several rows run at once: each row two pixels behind the one above, whose errors for
// it are then all in. With SSE, three rows: four rows' running errors outgrow the sixteen registers
// and go through memory, and three were a sixth to a fifth faster on the benchmark's picture. With
// AVX2, two rows to a register and three such pairs.
#include <immintrin.h>

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

#include "format/diffusion.h"

namespace {

// A pixel's packed levels stored: four bytes at once where the fourth is the next pixel's, which
// overwrites it.
template <unsigned channels>
[[gnu::always_inline]] inline void store_levels(std::uint8_t* levels, int bytes, std::uint32_t x, std::uint32_t width) {
  if (channels == 3 && x + 1 < width) {
    std::memcpy(levels, &bytes, 4);
  } else {
    std::memcpy(levels, &bytes, channels);
  }
}

namespace sse2 {
#define DIFFUSION_TARGET "sse2"
#define DIFFUSION_SSE41 0
#include "format/diffusion_steps.h"
#undef DIFFUSION_SSE41
#undef DIFFUSION_TARGET
}  // namespace sse2

namespace sse41 {
#define DIFFUSION_TARGET "sse4.1"
#define DIFFUSION_SSE41 1
#include "format/diffusion_steps.h"
#undef DIFFUSION_SSE41
#undef DIFFUSION_TARGET
}  // namespace sse41

// Pairs of rows, a register each, that run at once: three pairs' running errors still fit the
// sixteen registers, and took a sixth less time than two on the benchmark's picture.
constexpr unsigned pairs_at_once = 3;

namespace avx2 {

// Two rows in one register: the lower 128 bits the upper row of the pair, at pixel x, the higher
// 128 bits the row below it, two pixels behind, whose errors from above are then all in.
struct Half {
  const std::uint8_t* values;
  std::uint8_t* levels;
  const std::int32_t* here;
  std::int32_t* below;
};

struct Pair {
  Half rows[2];
  __m256i carry;
  __m256i previous;
  __m256i current;
};

template <unsigned channels>
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i position_of(const Diffusion& diffusion, const Half& half,
                                                                       std::uint32_t x) {
  const auto& positions = diffusion.positions;
  const std::uint8_t* values = half.values + std::size_t{x} * channels;
  return channels == 3 ? _mm_setr_epi32(positions[0][values[0]], positions[1][values[1]], positions[2][values[2]], 0)
                       : _mm_cvtsi32_si128(positions[0][values[0]]);
}

template <unsigned channels>
[[gnu::target("avx2"), gnu::always_inline]] inline void put_levels(const Half& half, int bytes, std::uint32_t x,
                                                                   std::uint32_t width) {
  store_levels<channels>(half.levels + std::size_t{x} * channels, bytes, x, width);
}

// The pair's step with its upper row at pixel x: a row outside the picture there takes nothing and
// keeps its state at zero, as a row that has not started needs it, and stores nothing.
template <unsigned channels, bool all>
[[gnu::target("avx2"), gnu::always_inline]] inline void step(const Diffusion& diffusion, __m256i top, __m256i scale,
                                                             Pair& pair, std::uint32_t x, std::uint32_t width) {
  const std::uint32_t x1 = x - 2;
  const bool on0 = all || x < width, on1 = all || (x >= 2 && x1 < width);
  const __m128i zero = _mm_setzero_si128();
  const __m128i position0 = on0 ? position_of<channels>(diffusion, pair.rows[0], x) : zero;
  const __m128i position1 = on1 ? position_of<channels>(diffusion, pair.rows[1], x1) : zero;
  const __m128i here0 =
      on0 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(pair.rows[0].here + 4 * std::size_t{x})) : zero;
  const __m128i here1 =
      on1 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(pair.rows[1].here + 4 * std::size_t{x1})) : zero;
  __m256i value = _mm256_add_epi32(
      _mm256_add_epi32(_mm256_set_m128i(position1, position0), _mm256_set_m128i(here1, here0)), pair.carry);
  value = _mm256_min_epi32(_mm256_max_epi32(value, _mm256_setzero_si256()), top);
  // (value + 2040) / 4080 is ((value + 2040) / 16 + 1) * 257 / 65536 for any value up to
  // 4080 * 255, each division rounded down; the sixteenth fits the low 16 bits of its lane, whose
  // high 16 bits are zero, so that one multiply of 16-bit lanes takes the product's high half.
  const __m256i sixteenth = _mm256_srli_epi32(_mm256_add_epi32(value, _mm256_set1_epi32(2056)), 4);
  const __m256i level = _mm256_mulhi_epu16(sixteenth, _mm256_set1_epi32(257));
  const __m256i error =
      _mm256_sub_epi32(value, _mm256_sub_epi32(_mm256_slli_epi32(level, 12), _mm256_slli_epi32(level, 4)));
  // Each share has the error's sign, so one bias serves all three; v / 16 rounded toward zero.
  const __m256i bias = _mm256_srli_epi32(_mm256_srai_epi32(error, 31), 28);
  // 7 E from a shift, off the chain of the next pixel's value which the right share heads.
  const __m256i twice = _mm256_add_epi32(error, error), thrice = _mm256_add_epi32(twice, error);
  const __m256i five = _mm256_add_epi32(thrice, twice);
  const __m256i seven = _mm256_sub_epi32(_mm256_slli_epi32(error, 3), error);
  const __m256i right = _mm256_srai_epi32(_mm256_add_epi32(seven, bias), 4);
  const __m256i below_left = _mm256_srai_epi32(_mm256_add_epi32(thrice, bias), 4);
  const __m256i below_share = _mm256_srai_epi32(_mm256_add_epi32(five, bias), 4);
  const __m256i below_right =
      _mm256_sub_epi32(_mm256_sub_epi32(_mm256_sub_epi32(error, right), below_left), below_share);
  pair.carry = right;
  const __m256i left = _mm256_add_epi32(pair.previous, below_left);
  if (on0 && x > 0)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pair.rows[0].below + 4 * (std::size_t{x} - 1)),
                     _mm256_castsi256_si128(left));
  if (on1 && x1 > 0)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pair.rows[1].below + 4 * (std::size_t{x1} - 1)),
                     _mm256_extracti128_si256(left, 1));
  pair.previous = _mm256_add_epi32(pair.current, below_share);
  pair.current = below_right;
  if (on0 && x + 1 == width)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pair.rows[0].below + 4 * std::size_t{x}),
                     _mm256_castsi256_si128(pair.previous));
  if (on1 && x1 + 1 == width)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pair.rows[1].below + 4 * std::size_t{x1}),
                     _mm256_extracti128_si256(pair.previous, 1));
  const __m256i words = _mm256_mullo_epi16(_mm256_packs_epi32(level, level), scale);
  const __m256i bytes = _mm256_packus_epi16(words, words);
  if (on0) put_levels<channels>(pair.rows[0], _mm256_cvtsi256_si32(bytes), x, width);
  if (on1) put_levels<channels>(pair.rows[1], _mm256_extract_epi32(bytes, 4), x1, width);
}

// `n` pairs of rows from stored row `first`, each row two pixels behind the one above.
template <unsigned n, unsigned channels>
[[gnu::target("avx2")]] inline void diffuse_together(const Diffusion& diffusion, const std::uint8_t* values,
                                                     std::size_t stride, std::uint32_t width, std::uint32_t first,
                                                     std::int32_t* errors, std::uint8_t* levels) {
  const __m256i top =
      _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(diffusion.top.data())));
  const __m256i scale =
      _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(diffusion.scale.data())));
  const std::size_t row_bytes = std::size_t{width} * channels;
  Pair pairs[n];
  for (unsigned p = 0; p < n; ++p) {
    for (unsigned h = 0; h < 2; ++h) {
      const unsigned r = 2 * p + h;
      const std::uint32_t y = first + r;
      pairs[p].rows[h] = {values + r * stride, levels + r * row_bytes, errors + (y % 2) * std::size_t{width} * 4,
                          errors + (1 - y % 2) * std::size_t{width} * 4};
    }
    pairs[p].carry = pairs[p].previous = pairs[p].current = _mm256_setzero_si256();
  }
  // Pair p's upper row runs 4 p pixels behind the first row, its lower row 4 p + 2.
  const std::uint32_t lag = 4 * n - 2;
  // Every pair at once where every row is inside the picture, each pair alone at the starts and ends.
  for (std::uint32_t x = 0; x < width + lag; ++x) {
    if (x >= lag && x < width) {
      for (unsigned p = 0; p < n; ++p) step<channels, true>(diffusion, top, scale, pairs[p], x - 4 * p, width);
      continue;
    }
    for (unsigned p = 0; p < n; ++p) {
      if (x >= 4 * p && x - 4 * p < width + 2) step<channels, false>(diffusion, top, scale, pairs[p], x - 4 * p, width);
    }
  }
}

template <unsigned channels>
[[gnu::target("avx2")]] void diffuse_rows(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride,
                                          std::uint32_t width, std::uint32_t first, std::uint32_t count,
                                          std::int32_t* errors, std::uint8_t* levels) {
  const std::size_t row_bytes = std::size_t{width} * channels;
  std::uint32_t done = 0;
  for (; done + 2 * pairs_at_once <= count; done += 2 * pairs_at_once)
    diffuse_together<pairs_at_once, channels>(diffusion, values + done * stride, stride, width, first + done, errors,
                                              levels + done * row_bytes);
  for (; done + 2 <= count; done += 2)
    diffuse_together<1, channels>(diffusion, values + done * stride, stride, width, first + done, errors,
                                  levels + done * row_bytes);
  // A last row alone takes the kernel of one row a register.
  if (done < count)
    sse41::diffuse_rows<channels>(diffusion, values + done * stride, stride, width, first + done, 1, errors,
                                  levels + done * row_bytes);
}

}  // namespace avx2

}  // namespace

void diffuse_rows_sse2(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride, std::uint32_t width,
                       std::uint32_t first, std::uint32_t count, std::int32_t* errors, std::uint8_t* levels) {
  if (diffusion.channels == 3)
    return sse2::diffuse_rows<3>(diffusion, values, stride, width, first, count, errors, levels);
  assert(diffusion.channels == 1);
  sse2::diffuse_rows<1>(diffusion, values, stride, width, first, count, errors, levels);
}

void diffuse_rows_avx2(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride, std::uint32_t width,
                       std::uint32_t first, std::uint32_t count, std::int32_t* errors, std::uint8_t* levels) {
  if (diffusion.channels == 3)
    return avx2::diffuse_rows<3>(diffusion, values, stride, width, first, count, errors, levels);
  assert(diffusion.channels == 1);
  avx2::diffuse_rows<1>(diffusion, values, stride, width, first, count, errors, levels);
}
