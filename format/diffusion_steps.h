// The steps of the vector kernels of diffusion (diffusion_x86.cpp), written once and included there
// once for each instruction set: inside a namespace of its own, with DIFFUSION_TARGET naming the
// set and DIFFUSION_SSE41 saying whether it has SSE4.1's minimum and maximum of 32-bit lanes (and
// its insertion of a lane, which the compiler then takes for the positions). No include guard, as
// it is meant to be read twice.

// v / 16 rounded toward zero, as C++ divides: `bias` is 15 where v is negative, 0 elsewhere.
[[gnu::target(DIFFUSION_TARGET)]] inline __m128i sixteenths(__m128i v, __m128i bias) {
  return _mm_srai_epi32(_mm_add_epi32(v, bias), 4);
}

struct Row {
  const std::uint8_t* values;
  std::uint8_t* levels;
  const std::int32_t* here;  // what the row above left each pixel
  std::int32_t* below;       // what this row leaves the next
  __m128i carry;             // 7/16 of the last pixel's error, for this one
  __m128i previous;          // what the pixel below left has gathered so far
  __m128i current;           // and the pixel straight below
};

template <unsigned channels>
[[gnu::target(DIFFUSION_TARGET)]] inline void step(const Diffusion& diffusion, __m128i top, __m128i scale, Row& row,
                                                   std::uint32_t x, std::uint32_t width) {
  const auto& positions = diffusion.positions;
  const std::uint8_t* values = row.values + std::size_t{x} * channels;
  const __m128i position =
      channels == 3 ? _mm_setr_epi32(positions[0][values[0]], positions[1][values[1]], positions[2][values[2]], 0)
                    : _mm_cvtsi32_si128(positions[0][values[0]]);
  __m128i value = _mm_add_epi32(
      _mm_add_epi32(position, _mm_loadu_si128(reinterpret_cast<const __m128i*>(row.here + 4 * std::size_t{x}))),
      row.carry);
#if DIFFUSION_SSE41
  value = _mm_min_epi32(_mm_max_epi32(value, _mm_setzero_si128()), top);
#else
  value = _mm_andnot_si128(_mm_srai_epi32(value, 31), value);
  const __m128i over = _mm_cmpgt_epi32(value, top);
  value = _mm_or_si128(_mm_and_si128(over, top), _mm_andnot_si128(over, value));
#endif
  // (value + 2040) / 4080 is ((value + 2040) / 16 + 1) * 257 / 65536 for any value up to
  // 4080 * 255, each division rounded down.
  const __m128i sixteenth = _mm_srli_epi32(_mm_add_epi32(value, _mm_set1_epi32(2056)), 4);
  const __m128i level = _mm_srli_epi32(_mm_add_epi32(sixteenth, _mm_slli_epi32(sixteenth, 8)), 16);
  const __m128i error = _mm_sub_epi32(value, _mm_sub_epi32(_mm_slli_epi32(level, 12), _mm_slli_epi32(level, 4)));
  // Each share has the error's sign, so one bias serves all three.
  const __m128i bias = _mm_srli_epi32(_mm_srai_epi32(error, 31), 28);
  // 7 E from a shift, off the chain of the next pixel's value which the right share heads.
  const __m128i twice = _mm_add_epi32(error, error), thrice = _mm_add_epi32(twice, error);
  const __m128i five = _mm_add_epi32(thrice, twice);
  const __m128i right = sixteenths(_mm_sub_epi32(_mm_slli_epi32(error, 3), error), bias);
  const __m128i below_left = sixteenths(thrice, bias);
  const __m128i below_share = sixteenths(five, bias);
  const __m128i below_right = _mm_sub_epi32(_mm_sub_epi32(_mm_sub_epi32(error, right), below_left), below_share);
  row.carry = right;
  if (x > 0)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row.below + 4 * (std::size_t{x} - 1)),
                     _mm_add_epi32(row.previous, below_left));
  row.previous = _mm_add_epi32(row.current, below_share);
  row.current = below_right;
  if (x + 1 == width) _mm_storeu_si128(reinterpret_cast<__m128i*>(row.below + 4 * std::size_t{x}), row.previous);
  const __m128i words = _mm_mullo_epi16(_mm_packs_epi32(level, level), scale);
  const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
  store_levels<channels>(row.levels + std::size_t{x} * channels, bytes, x, width);
}

// `n` rows from stored row `first`, each starting two pixels after the one above.
template <unsigned n, unsigned channels>
[[gnu::target(DIFFUSION_TARGET)]] inline void diffuse_together(const Diffusion& diffusion, const std::uint8_t* values,
                                                               std::size_t stride, std::uint32_t width,
                                                               std::uint32_t first, std::int32_t* errors,
                                                               std::uint8_t* levels) {
  const __m128i top = _mm_loadu_si128(reinterpret_cast<const __m128i*>(diffusion.top.data()));
  const __m128i scale = _mm_loadu_si128(reinterpret_cast<const __m128i*>(diffusion.scale.data()));
  const std::size_t row_bytes = std::size_t{width} * channels;
  Row rows[n];
  for (unsigned r = 0; r < n; ++r) {
    const std::uint32_t y = first + r;
    rows[r] = {values + r * stride,
               levels + r * row_bytes,
               errors + (y % 2) * std::size_t{width} * 4,
               errors + (1 - y % 2) * std::size_t{width} * 4,
               _mm_setzero_si128(),
               _mm_setzero_si128(),
               _mm_setzero_si128()};
  }
  const std::uint32_t lag = 2 * (n - 1);
  // The rows' starts, each row alone at first; then all of them; then their ends.
  for (std::uint32_t x = 0; x < std::min(lag, width + lag); ++x) {
    for (unsigned r = 0; r < n; ++r) {
      if (x >= 2 * r && x - 2 * r < width) step<channels>(diffusion, top, scale, rows[r], x - 2 * r, width);
    }
  }
  for (std::uint32_t x = lag; x < width; ++x) {
    for (unsigned r = 0; r < n; ++r) step<channels>(diffusion, top, scale, rows[r], x - 2 * r, width);
  }
  for (std::uint32_t x = std::max(lag, width); x < width + lag; ++x) {
    for (unsigned r = 0; r < n; ++r) {
      if (x >= 2 * r && x - 2 * r < width) step<channels>(diffusion, top, scale, rows[r], x - 2 * r, width);
    }
  }
}

template <unsigned channels>
[[gnu::target(DIFFUSION_TARGET)]] void diffuse_rows(const Diffusion& diffusion, const std::uint8_t* values,
                                                    std::size_t stride, std::uint32_t width, std::uint32_t first,
                                                    std::uint32_t count, std::int32_t* errors, std::uint8_t* levels) {
  const std::size_t row_bytes = std::size_t{width} * channels;
  std::uint32_t done = 0;
  for (; done + 3 <= count; done += 3)
    diffuse_together<3, channels>(diffusion, values + done * stride, stride, width, first + done, errors,
                                  levels + done * row_bytes);
  for (; done < count; ++done)
    diffuse_together<1, channels>(diffusion, values + done * stride, stride, width, first + done, errors,
                                  levels + done * row_bytes);
}
