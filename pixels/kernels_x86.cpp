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

// 8 triples (24 bytes) one a 32-bit lane, blue in the low byte: pixels 0-3 in `first`, 4-7 in
// `second`. The top byte of each lane holds a byte of the next pixel.
struct Lanes {
  __m128i first;
  __m128i second;
};

[[gnu::target("sse2")]] inline Lanes gather8_sse2(Bytes triples) {
  const __m128i low = load128(triples);       // pixels 0-3 at bytes 0, 3, 6, 9
  const __m128i high = load128(triples + 8);  // pixels 4-7 at bytes 4, 7, 10, 13
  return {or4(keep_lane(low, 0), keep_lane(_mm_slli_si128(low, 1), 1), keep_lane(_mm_slli_si128(low, 2), 2),
              keep_lane(_mm_slli_si128(low, 3), 3)),
          or4(keep_lane(_mm_srli_si128(high, 4), 0), keep_lane(_mm_srli_si128(high, 3), 1),
              keep_lane(_mm_srli_si128(high, 2), 2), keep_lane(_mm_srli_si128(high, 1), 3))};
}

// 8 triples (24 bytes) to 8 words (16 bytes).
[[gnu::target("sse2")]] inline void pack8_sse2(Bytes triples, std::uint8_t* words) {
  const Lanes lanes = gather8_sse2(triples);
  store128(words, _mm_packs_epi32(pack565_lanes(lanes.first), pack565_lanes(lanes.second)));
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

// Each lane of four pixels rearranged byte by byte as a layout says; the shift counts are only known
// at run time, so each byte takes a shift down to the bottom, a mask and a shift up to its place.
struct LaneBytes {
  __m128i down[4], up[4], keep[4];
  unsigned bytes = 0;
  __m128i fill;
};

[[gnu::target("sse2")]] inline __m128i arrange_lanes(const LaneBytes& made, __m128i lanes) {
  __m128i result = made.fill;
  for (unsigned b = 0; b < made.bytes; ++b)
    result = _mm_or_si128(result,
                          _mm_sll_epi32(_mm_and_si128(_mm_srl_epi32(lanes, made.down[b]), made.keep[b]), made.up[b]));
  return result;
}

[[gnu::target("sse2")]] void arrange_row_sse2(Bytes triples, std::size_t count, const TripleBytes& layout,
                                              std::uint8_t* out) {
  LaneBytes made;
  std::uint32_t fill = 0;
  for (unsigned j = 0; j < layout.size; ++j) {
    fill |= std::uint32_t{layout.fill[j]} << (8 * j);
    if (layout.from[j] >= TripleBytes::none_of_triple) continue;
    made.down[made.bytes] = _mm_cvtsi32_si128(8 * layout.from[j]);
    made.up[made.bytes] = _mm_cvtsi32_si128(static_cast<int>(8 * j));
    made.keep[made.bytes++] = _mm_set1_epi32(layout.keep[j]);
  }
  made.fill = _mm_set1_epi32(static_cast<int>(fill));
  std::size_t x = 0;
  // Eight pixels a step; three-byte pixels are closed up into two stores of 12 bytes and 4 zero
  // bytes, the second overwriting the first's zeros, so that their step reaches 4 bytes further.
  const std::size_t stop = layout.size == 4 ? 8 : 10;
  for (; x + stop <= count; x += 8) {
    const Lanes lanes = gather8_sse2(triples + 3 * x);
    std::uint8_t* at = out + layout.size * x;
    if (layout.size == 4) {
      store128(at, arrange_lanes(made, lanes.first));
      store128(at + 16, arrange_lanes(made, lanes.second));
    } else {
      store128(at, close_lanes(arrange_lanes(made, lanes.first)));
      store128(at + 12, close_lanes(arrange_lanes(made, lanes.second)));
    }
  }
  arrange_row_scalar(triples + 3 * x, count - x, layout, out + layout.size * x);
}

// 32-bit lanes of blue | red << 16 and of green | 1 << 16 to 299 R + 587 G + 114 B + 500 each.
[[gnu::target("sse2")]] inline __m128i luma_sums(__m128i blue_red, __m128i green_one) {
  return _mm_add_epi32(_mm_madd_epi16(blue_red, _mm_set1_epi32(299 << 16 | 114)),
                       _mm_madd_epi16(green_one, _mm_set1_epi32(500 << 16 | 587)));
}

// Eight sums (at most 255500) to eight lumas in 16-bit lanes: s / 1000 is (s / 8) / 125, and for
// s / 8 < 32768 the division by 125 is exactly a multiply by 33555 and a shift by 22.
[[gnu::target("sse2")]] inline __m128i luma_of_sums(__m128i first, __m128i second) {
  const __m128i eighths = _mm_packs_epi32(_mm_srli_epi32(first, 3), _mm_srli_epi32(second, 3));
  return _mm_srli_epi16(_mm_mulhi_epu16(eighths, _mm_set1_epi16(static_cast<short>(33555))), 6);
}

[[gnu::target("sse2")]] inline __m128i luma_lanes_sse2(__m128i lanes) {
  const __m128i blue_red = _mm_and_si128(lanes, _mm_set1_epi32(0x00FF00FF));
  const __m128i green_one =
      _mm_or_si128(_mm_and_si128(_mm_srli_epi32(lanes, 8), _mm_set1_epi32(0xFF)), _mm_set1_epi32(0x10000));
  return luma_sums(blue_red, green_one);
}

[[gnu::target("sse2")]] void luma_row_sse2(Bytes triples, std::size_t count, std::uint8_t* out) {
  std::size_t x = 0;
  for (; x + 8 <= count; x += 8) {
    const Lanes lanes = gather8_sse2(triples + 3 * x);
    const __m128i lumas = luma_of_sums(luma_lanes_sse2(lanes.first), luma_lanes_sse2(lanes.second));
    store64(out + x, _mm_packus_epi16(lumas, lumas));
  }
  luma_row_scalar(triples + 3 * x, count - x, out + x);
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

// The byte shuffle, masks and fill that make four pixels of `layout` from the 12 bytes of four
// triples.
struct Arrangement {
  alignas(16) char shuffle[16];
  alignas(16) std::uint8_t keep[16];
  alignas(16) std::uint8_t fill[16];
};

Arrangement arrangement_of(const TripleBytes& layout) {
  Arrangement made{};
  for (int k = 0; k < 16; ++k) made.shuffle[k] = z;
  for (unsigned p = 0; p < 4; ++p) {
    for (unsigned j = 0; j < layout.size; ++j) {
      const unsigned at = p * layout.size + j;
      if (layout.from[j] < TripleBytes::none_of_triple) made.shuffle[at] = static_cast<char>(3 * p + layout.from[j]);
      made.keep[at] = layout.keep[j];
      made.fill[at] = layout.fill[j];
    }
  }
  return made;
}

// Four pixels a step from a 16-byte load at each triple; three-byte pixels are stored as 16 bytes,
// of which the next step overwrites the last 4.
[[gnu::target("ssse3")]] inline std::size_t arrange_steps_ssse3(Bytes triples, std::size_t count,
                                                                const Arrangement& made, unsigned size,
                                                                std::uint8_t* out, std::size_t x) {
  const __m128i shuffle = load128(reinterpret_cast<Bytes>(made.shuffle));
  const __m128i keep = load128(made.keep);
  const __m128i fill = load128(made.fill);
  for (; x + 6 <= count; x += 4)
    store128(out + size * x,
             _mm_or_si128(_mm_and_si128(_mm_shuffle_epi8(load128(triples + 3 * x), shuffle), keep), fill));
  return x;
}

[[gnu::target("ssse3")]] void arrange_row_ssse3(Bytes triples, std::size_t count, const TripleBytes& layout,
                                                std::uint8_t* out) {
  const std::size_t x = arrange_steps_ssse3(triples, count, arrangement_of(layout), layout.size, out, 0);
  arrange_row_scalar(triples + 3 * x, count - x, layout, out + layout.size * x);
}

// Blue-red and green-one pairs of four pixels from the load at pixel 0, and of four more from the
// load 8 bytes further on.
[[gnu::target("ssse3")]] inline __m128i blue_red_from_low() {
  return _mm_setr_epi8(0, z, 2, z, 3, z, 5, z, 6, z, 8, z, 9, z, 11, z);
}
[[gnu::target("ssse3")]] inline __m128i green_from_low() {
  return _mm_setr_epi8(1, z, z, z, 4, z, z, z, 7, z, z, z, 10, z, z, z);
}
[[gnu::target("ssse3")]] inline __m128i blue_red_from_high() {
  return _mm_setr_epi8(4, z, 6, z, 7, z, 9, z, 10, z, 12, z, 13, z, 15, z);
}
[[gnu::target("ssse3")]] inline __m128i green_from_high() {
  return _mm_setr_epi8(5, z, z, z, 8, z, z, z, 11, z, z, z, 14, z, z, z);
}

[[gnu::target("ssse3")]] inline __m128i luma_sums_ssse3(__m128i bytes, __m128i blue_red, __m128i green) {
  return luma_sums(_mm_shuffle_epi8(bytes, blue_red),
                   _mm_or_si128(_mm_shuffle_epi8(bytes, green), _mm_set1_epi32(0x10000)));
}

[[gnu::target("ssse3")]] void luma_row_ssse3(Bytes triples, std::size_t count, std::uint8_t* out) {
  std::size_t x = 0;
  for (; x + 8 <= count; x += 8) {
    const __m128i first = luma_sums_ssse3(load128(triples + 3 * x), blue_red_from_low(), green_from_low());
    const __m128i second = luma_sums_ssse3(load128(triples + 3 * x + 8), blue_red_from_high(), green_from_high());
    const __m128i lumas = luma_of_sums(first, second);
    store64(out + x, _mm_packus_epi16(lumas, lumas));
  }
  luma_row_scalar(triples + 3 * x, count - x, out + x);
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

// Eight pixels a step from the loads at pixels 0 and 4, one a half; three-byte pixels as two stores
// of 16 bytes, the second overwriting the first's last 4.
[[gnu::target("avx2")]] void arrange_row_avx2(Bytes triples, std::size_t count, const TripleBytes& layout,
                                              std::uint8_t* out) {
  const Arrangement made = arrangement_of(layout);
  const __m256i shuffle = both_halves(load128(reinterpret_cast<Bytes>(made.shuffle)));
  const __m256i keep = both_halves(load128(made.keep));
  const __m256i fill = both_halves(load128(made.fill));
  std::size_t x = 0;
  for (; x + 10 <= count; x += 8) {
    const __m256i bytes = load_halves(triples + 3 * x, triples + 3 * x + 12);
    const __m256i pixels = _mm256_or_si256(_mm256_and_si256(_mm256_shuffle_epi8(bytes, shuffle), keep), fill);
    std::uint8_t* at = out + layout.size * x;
    if (layout.size == 4) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), pixels);
    } else {
      store128(at, _mm256_castsi256_si128(pixels));
      store128(at + 12, _mm256_extracti128_si256(pixels, 1));
    }
  }
  x = arrange_steps_ssse3(triples, count, made, layout.size, out, x);
  arrange_row_scalar(triples + 3 * x, count - x, layout, out + layout.size * x);
}

// Sixteen pixels a step: pixels 0-3 and 8-11 from the loads at pixels 0 and 8, 4-7 and 12-15 from
// those 8 bytes further on, so that packing the two sets of sums per half puts them in order.
[[gnu::target("avx2")]] inline __m256i luma_sums_avx2(__m256i bytes, __m128i blue_red, __m128i green) {
  const __m256i pairs = _mm256_shuffle_epi8(bytes, both_halves(blue_red));
  const __m256i greens = _mm256_or_si256(_mm256_shuffle_epi8(bytes, both_halves(green)), _mm256_set1_epi32(0x10000));
  return _mm256_add_epi32(_mm256_madd_epi16(pairs, _mm256_set1_epi32(299 << 16 | 114)),
                          _mm256_madd_epi16(greens, _mm256_set1_epi32(500 << 16 | 587)));
}

[[gnu::target("avx2")]] void luma_row_avx2(Bytes triples, std::size_t count, std::uint8_t* out) {
  std::size_t x = 0;
  for (; x + 16 <= count; x += 16) {
    const Bytes at = triples + 3 * x;
    const __m256i first = luma_sums_avx2(load_halves(at, at + 24), blue_red_from_low(), green_from_low());
    const __m256i second = luma_sums_avx2(load_halves(at + 8, at + 32), blue_red_from_high(), green_from_high());
    const __m256i eighths = _mm256_packs_epi32(_mm256_srli_epi32(first, 3), _mm256_srli_epi32(second, 3));
    const __m256i lumas =
        _mm256_srli_epi16(_mm256_mulhi_epu16(eighths, _mm256_set1_epi16(static_cast<short>(33555))), 6);
    const __m256i bytes = _mm256_packus_epi16(lumas, lumas);
    store64(out + x, _mm256_castsi256_si128(bytes));
    store64(out + x + 8, _mm256_extracti128_si256(bytes, 1));
  }
  luma_row_ssse3(triples + 3 * x, count - x, out + x);
}

}  // namespace

const Kernels sse2_kernels{pack_row_sse2, expand_run_sse2, subtract_words_sse2, arrange_row_sse2, luma_row_sse2};
// The word subtraction gains nothing from a byte shuffle.
const Kernels ssse3_kernels{pack_row_ssse3, expand_run_ssse3, subtract_words_sse2, arrange_row_ssse3, luma_row_ssse3};
const Kernels avx2_kernels{pack_row_avx2, expand_run_avx2, subtract_words_avx2, arrange_row_avx2, luma_row_avx2};
