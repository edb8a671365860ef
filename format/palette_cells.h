// The cells of opaque BGR triples, the first step of each pixel's lookup in a median-cut palette
// (median_cut.h), one kernel for the processors whose kernel path is scalar or SSE2 and one for
// SSSE3 and better, chosen as the pixel kernels are. A triple's cell is its top 5 bits a channel,
// R >> 3 << 10 | G >> 3 << 5 | B >> 3, and its low bits the rest, (R & 7) << 6 | (G & 7) << 3 |
// (B & 7). Every path gives the same values.
#pragma once

#include <cstdint>

// The cells of `count` triples into `cells` and, unless `lows` is null, their low bits into `lows`.
void opaque_cells_scalar(const std::uint8_t* triples, std::uint32_t count, std::uint16_t* cells, std::uint16_t* lows);
void opaque_cells_ssse3(const std::uint8_t* triples, std::uint32_t count, std::uint16_t* cells, std::uint16_t* lows);

// The kernel of the path the pixel kernels run on.
using OpaqueCells = void (*)(const std::uint8_t*, std::uint32_t, std::uint16_t*, std::uint16_t*);
OpaqueCells opaque_cells_kernel();
