// The vector kernels. Each function names its instruction set with a target attribute, so that the
// rest of the build keeps the compiler's baseline and only runs this code once the processor has
// said it can. Loads and stores are unaligned: rows start anywhere in a mapped file, and a step
// never touches a byte past the ones its count covers.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "pixels/kernels.h"

namespace {

using Bytes = const std::uint8_t*;

[[gnu::target("sse2")]] inline __m128i load128(Bytes at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

[[gnu::target("sse2")]] inline void store128(std::uint8_t* at, __m128i value) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(at), value);
}

[[gnu::target("sse2")]] inline void store64(std::uint8_t* at, __m128i value) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(at), value);
}

[[gnu::target("sse2")]] inline __m128i lane_mask(int lane) {
  return _mm_setr_epi32(lane == 0 ? -1 : 0, lane == 1 ? -1 : 0, lane == 2 ? -1 : 0, lane == 3 ? -1 : 0);
}

[[gnu::target("sse2")]] inline __m128i keep_lane(__m128i value, int lane) {
  return _mm_and_si128(value, lane_mask(lane));
}

[[gnu::target("sse2")]] inline __m128i or4(__m128i a, __m128i b, __m128i c, __m128i d) {
  return _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d));
}

// ---- SSE2: no byte shuffle, so pixels move between 3-byte places and 32-bit lanes by whole-register
// byte shifts, one lane at a time.

// 32-bit lanes of blue | green << 8 | red << 16 (anything above) to RGB565 in the low half of each.
[[gnu::target("sse2")]] inline __m128i pack565_lanes(__m128i bgr) {
  const __m128i red = _mm_and_si128(_mm_srli_epi32(bgr, 8), _mm_set1_epi32(0xF800));
  const __m128i green = _mm_and_si128(_mm_srli_epi32(bgr, 5), _mm_set1_epi32(0x07E0));
  const __m128i blue = _mm_and_si128(_mm_srli_epi32(bgr, 3), _mm_set1_epi32(0x001F));
  const __m128i word = _mm_or_si128(red, _mm_or_si128(green, blue));
  // Sign-extended, so that the signed saturating pack below keeps all 16 bits as they are.
  return _mm_srai_epi32(_mm_slli_epi32(word, 16), 16);
}

// 8 triples (24 bytes) to 8 words (16 bytes).
[[gnu::target("sse2")]] inline void pack8_sse2(Bytes triples, std::uint8_t* words) {
  const __m128i low = load128(triples);       // pixels 0-3 at bytes 0, 3, 6, 9
  const __m128i high = load128(triples + 8);  // pixels 4-7 at bytes 4, 7, 10, 13
  const __m128i first = or4(keep_lane(low, 0), keep_lane(_mm_slli_si128(low, 1), 1),
                            keep_lane(_mm_slli_si128(low, 2), 2), keep_lane(_mm_slli_si128(low, 3), 3));
  const __m128i second = or4(keep_lane(_mm_srli_si128(high, 4), 0), keep_lane(_mm_srli_si128(high, 3), 1),
                             keep_lane(_mm_srli_si128(high, 2), 2), keep_lane(_mm_srli_si128(high, 1), 3));
  store128(words, _mm_packs_epi32(pack565_lanes(first), pack565_lanes(second)));
}

// 16-bit lanes of RGB565 words to blue | green << 8 and to red, each channel with its low bits zero.
struct Channels {
  __m128i blue_green;
  __m128i red;
};

[[gnu::target("sse2")]] inline Channels expand565_lanes(__m128i words) {
  const __m128i blue = _mm_and_si128(_mm_slli_epi16(words, 3), _mm_set1_epi16(0x00F8));
  const __m128i green = _mm_and_si128(_mm_slli_epi16(words, 5), _mm_set1_epi16(static_cast<short>(0xFC00)));
  return {_mm_or_si128(blue, green), _mm_and_si128(_mm_srli_epi16(words, 8), _mm_set1_epi16(0x00F8))};
}

// Four 32-bit lanes with a zero top byte to 12 bytes of triples, then 4 zero bytes.
[[gnu::target("sse2")]] inline __m128i close_lanes(__m128i lanes) {
  return or4(keep_lane(lanes, 0), _mm_srli_si128(keep_lane(lanes, 1), 1), _mm_srli_si128(keep_lane(lanes, 2), 2),
             _mm_srli_si128(keep_lane(lanes, 3), 3));
}

// 8 words (16 bytes) to 8 triples (24 bytes).
[[gnu::target("sse2")]] inline void expand8_sse2(Bytes words, std::uint8_t* triples) {
  const Channels channels = expand565_lanes(load128(words));
  const __m128i first = close_lanes(_mm_unpacklo_epi16(channels.blue_green, channels.red));
  const __m128i second = close_lanes(_mm_unpackhi_epi16(channels.blue_green, channels.red));
  store128(triples, _mm_or_si128(first, _mm_slli_si128(second, 12)));
  store64(triples + 16, _mm_srli_si128(second, 4));
}

[[gnu::target("sse2")]] void pack_row_sse2(Bytes triples, std::size_t count, std::uint8_t* words) {
  std::size_t x = 0;
  for (; x + 8 <= count; x += 8) pack8_sse2(triples + 3 * x, words + 2 * x);
  pack_row_scalar(triples + 3 * x, count - x, words + 2 * x);
}

[[gnu::target("sse2")]] void expand_run_sse2(Bytes words, std::size_t count, std::uint8_t* triples) {
  std::size_t k = 0;
  for (; k + 8 <= count; k += 8) expand8_sse2(words + 2 * k, triples + 3 * k);
  expand_run_scalar(words + 2 * k, count - k, triples + 3 * k);
}

[[gnu::target("sse2")]] void subtract_words_sse2(std::uint8_t* out, Bytes image, Bytes sub, std::size_t count) {
  std::size_t k = 0;
  for (; k + 4 <= count; k += 4) store128(out + 4 * k, _mm_sub_epi32(load128(image + 4 * k), load128(sub + 4 * k)));
  subtract_words_scalar(out + 4 * k, image + 4 * k, sub + 4 * k, count - k);
}

// ---- SSSE3: a byte shuffle gathers green-red pairs and blues straight into 16-bit lanes.

constexpr char z = -128;  // a shuffle index whose byte comes out zero

// From the load at pixel 0 (pixels 0-3 at bytes 0, 3, 6, 9) into lanes 0-3, and from the load 8
// bytes further on (pixels 4-7 at bytes 4, 7, 10, 13) into lanes 4-7.
[[gnu::target("ssse3")]] inline __m128i green_red_from_low() {
  return _mm_setr_epi8(1, 2, 4, 5, 7, 8, 10, 11, z, z, z, z, z, z, z, z);
}
[[gnu::target("ssse3")]] inline __m128i green_red_from_high() {
  return _mm_setr_epi8(z, z, z, z, z, z, z, z, 5, 6, 8, 9, 11, 12, 14, 15);
}
[[gnu::target("ssse3")]] inline __m128i blue_from_low() {
  return _mm_setr_epi8(0, z, 3, z, 6, z, 9, z, z, z, z, z, z, z, z, z);
}
[[gnu::target("ssse3")]] inline __m128i blue_from_high() {
  return _mm_setr_epi8(z, z, z, z, z, z, z, z, 4, z, 7, z, 10, z, 13, z);
}

// Bytes of the blue-green lanes and of the red lanes for 8 triples: the first 16 bytes, then 8.
[[gnu::target("ssse3")]] inline __m128i first_from_blue_green() {
  return _mm_setr_epi8(0, 1, z, 2, 3, z, 4, 5, z, 6, 7, z, 8, 9, z, 10);
}
[[gnu::target("ssse3")]] inline __m128i first_from_red() {
  return _mm_setr_epi8(z, z, 0, z, z, 2, z, z, 4, z, z, 6, z, z, 8, z);
}
[[gnu::target("ssse3")]] inline __m128i second_from_blue_green() {
  return _mm_setr_epi8(11, z, 12, 13, z, 14, 15, z, z, z, z, z, z, z, z, z);
}
[[gnu::target("ssse3")]] inline __m128i second_from_red() {
  return _mm_setr_epi8(z, 10, z, z, 12, z, z, 14, z, z, z, z, z, z, z, z);
}

[[gnu::target("ssse3")]] inline __m128i pack565_from(__m128i green_red, __m128i blue) {
  const __m128i red = _mm_and_si128(green_red, _mm_set1_epi16(static_cast<short>(0xF800)));
  const __m128i green = _mm_and_si128(_mm_slli_epi16(green_red, 3), _mm_set1_epi16(0x07E0));
  return _mm_or_si128(_mm_or_si128(red, green), _mm_srli_epi16(blue, 3));
}

[[gnu::target("ssse3")]] inline void pack8_ssse3(Bytes triples, std::uint8_t* words) {
  const __m128i low = load128(triples);
  const __m128i high = load128(triples + 8);
  const __m128i green_red =
      _mm_or_si128(_mm_shuffle_epi8(low, green_red_from_low()), _mm_shuffle_epi8(high, green_red_from_high()));
  const __m128i blue = _mm_or_si128(_mm_shuffle_epi8(low, blue_from_low()), _mm_shuffle_epi8(high, blue_from_high()));
  store128(words, pack565_from(green_red, blue));
}

[[gnu::target("ssse3")]] inline void expand8_ssse3(Bytes words, std::uint8_t* triples) {
  const Channels channels = expand565_lanes(load128(words));
  store128(triples, _mm_or_si128(_mm_shuffle_epi8(channels.blue_green, first_from_blue_green()),
                                 _mm_shuffle_epi8(channels.red, first_from_red())));
  store64(triples + 16, _mm_or_si128(_mm_shuffle_epi8(channels.blue_green, second_from_blue_green()),
                                     _mm_shuffle_epi8(channels.red, second_from_red())));
}

[[gnu::target("ssse3")]] void pack_row_ssse3(Bytes triples, std::size_t count, std::uint8_t* words) {
  std::size_t x = 0;
  for (; x + 8 <= count; x += 8) pack8_ssse3(triples + 3 * x, words + 2 * x);
  pack_row_scalar(triples + 3 * x, count - x, words + 2 * x);
}

[[gnu::target("ssse3")]] void expand_run_ssse3(Bytes words, std::size_t count, std::uint8_t* triples) {
  std::size_t k = 0;
  for (; k + 8 <= count; k += 8) expand8_ssse3(words + 2 * k, triples + 3 * k);
  expand_run_scalar(words + 2 * k, count - k, triples + 3 * k);
}

// ---- AVX2: the SSSE3 steps twice over, one in each 128-bit half, since the byte shuffle stays
// within a half.

[[gnu::target("avx2")]] inline __m256i both_halves(__m128i value) { return _mm256_set_m128i(value, value); }

[[gnu::target("avx2")]] inline __m256i load_halves(Bytes low, Bytes high) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(load128(low)), load128(high), 1);
}

// 16 triples (48 bytes) to 16 words (32 bytes): pixels 0-7 in the low half, 8-15 in the high half.
[[gnu::target("avx2")]] inline void pack16_avx2(Bytes triples, std::uint8_t* words) {
  const __m256i low = load_halves(triples, triples + 24);
  const __m256i high = load_halves(triples + 8, triples + 32);
  const __m256i green_red = _mm256_or_si256(_mm256_shuffle_epi8(low, both_halves(green_red_from_low())),
                                            _mm256_shuffle_epi8(high, both_halves(green_red_from_high())));
  const __m256i blue = _mm256_or_si256(_mm256_shuffle_epi8(low, both_halves(blue_from_low())),
                                       _mm256_shuffle_epi8(high, both_halves(blue_from_high())));
  const __m256i red = _mm256_and_si256(green_red, _mm256_set1_epi16(static_cast<short>(0xF800)));
  const __m256i green = _mm256_and_si256(_mm256_slli_epi16(green_red, 3), _mm256_set1_epi16(0x07E0));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(words),
                      _mm256_or_si256(_mm256_or_si256(red, green), _mm256_srli_epi16(blue, 3)));
}

// 16 words (32 bytes) to 16 triples (48 bytes).
[[gnu::target("avx2")]] inline void expand16_avx2(Bytes words, std::uint8_t* triples) {
  const __m256i word = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words));
  const __m256i blue = _mm256_and_si256(_mm256_slli_epi16(word, 3), _mm256_set1_epi16(0x00F8));
  const __m256i green = _mm256_and_si256(_mm256_slli_epi16(word, 5), _mm256_set1_epi16(static_cast<short>(0xFC00)));
  const __m256i blue_green = _mm256_or_si256(blue, green);
  const __m256i red = _mm256_and_si256(_mm256_srli_epi16(word, 8), _mm256_set1_epi16(0x00F8));
  const __m256i first = _mm256_or_si256(_mm256_shuffle_epi8(blue_green, both_halves(first_from_blue_green())),
                                        _mm256_shuffle_epi8(red, both_halves(first_from_red())));
  const __m256i second = _mm256_or_si256(_mm256_shuffle_epi8(blue_green, both_halves(second_from_blue_green())),
                                         _mm256_shuffle_epi8(red, both_halves(second_from_red())));
  store128(triples, _mm256_castsi256_si128(first));
  store64(triples + 16, _mm256_castsi256_si128(second));
  store128(triples + 24, _mm256_extracti128_si256(first, 1));
  store64(triples + 40, _mm256_extracti128_si256(second, 1));
}

[[gnu::target("avx2")]] void pack_row_avx2(Bytes triples, std::size_t count, std::uint8_t* words) {
  std::size_t x = 0;
  for (; x + 16 <= count; x += 16) pack16_avx2(triples + 3 * x, words + 2 * x);
  if (x + 8 <= count) {
    pack8_ssse3(triples + 3 * x, words + 2 * x);
    x += 8;
  }
  pack_row_scalar(triples + 3 * x, count - x, words + 2 * x);
}

[[gnu::target("avx2")]] void expand_run_avx2(Bytes words, std::size_t count, std::uint8_t* triples) {
  std::size_t k = 0;
  for (; k + 16 <= count; k += 16) expand16_avx2(words + 2 * k, triples + 3 * k);
  if (k + 8 <= count) {
    expand8_ssse3(words + 2 * k, triples + 3 * k);
    k += 8;
  }
  expand_run_scalar(words + 2 * k, count - k, triples + 3 * k);
}

[[gnu::target("avx2")]] void subtract_words_avx2(std::uint8_t* out, Bytes image, Bytes sub, std::size_t count) {
  std::size_t k = 0;
  for (; k + 8 <= count; k += 8) {
    const __m256i minuend = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(image + 4 * k));
    const __m256i subtrahend = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sub + 4 * k));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * k), _mm256_sub_epi32(minuend, subtrahend));
  }
  subtract_words_scalar(out + 4 * k, image + 4 * k, sub + 4 * k, count - k);
}

}  // namespace

const Kernels sse2_kernels{pack_row_sse2, expand_run_sse2, subtract_words_sse2};
// The word subtraction gains nothing from a byte shuffle.
const Kernels ssse3_kernels{pack_row_ssse3, expand_run_ssse3, subtract_words_sse2};
const Kernels avx2_kernels{pack_row_avx2, expand_run_avx2, subtract_words_avx2};
