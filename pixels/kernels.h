// The kernels behind pack_565_rows, expand_run, subtract_words, arrange_triples and luma_triples, one set per
// KernelPath. Each takes plain pointers and counts whose bounds the public functions have already checked, and reads
// and writes exactly the bytes those counts cover: a vector step that would pass the end leaves the rest to the scalar
// kernel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixels/kernel_path.h"
#include "pixels/pixels.h"

struct Kernels {
  // `count` triples at `triples` to `count` little-endian words at `words`.
  void (*pack_row)(const std::uint8_t* triples, std::size_t count, std::uint8_t* words);
  // `count` little-endian words at `words` to `count` triples at `triples`.
  void (*expand_run)(const std::uint8_t* words, std::size_t count, std::uint8_t* triples);
  // `count` 32-bit little-endian words of `image`, each minus the word at the same place of `sub`,
  // into `out`, which is `image` itself or an area of its own.
  void (*subtract_words)(std::uint8_t* out, const std::uint8_t* image, const std::uint8_t* sub, std::size_t count);
  // `count` triples to `count` pixels of layout.size bytes.
  void (*arrange_row)(const std::uint8_t* triples, std::size_t count, const TripleBytes& layout, std::uint8_t* out);
  // The luma of `count` triples, a byte each.
  void (*luma_row)(const std::uint8_t* triples, std::size_t count, std::uint8_t* out);
};

extern const Kernels scalar_kernels;
extern const Kernels sse2_kernels;
extern const Kernels ssse3_kernels;
extern const Kernels avx2_kernels;

// The scalar kernels, also used by the vector kernels for what is left after their last whole step.
void pack_row_scalar(const std::uint8_t* triples, std::size_t count, std::uint8_t* words);
void expand_run_scalar(const std::uint8_t* words, std::size_t count, std::uint8_t* triples);
void subtract_words_scalar(std::uint8_t* out, const std::uint8_t* image, const std::uint8_t* sub, std::size_t count);
void arrange_row_scalar(const std::uint8_t* triples, std::size_t count, const TripleBytes& layout, std::uint8_t* out);
void luma_row_scalar(const std::uint8_t* triples, std::size_t count, std::uint8_t* out);

// The set chosen for this processor on first use, or the one forced by force_kernel_path.
const Kernels& active_kernels();
