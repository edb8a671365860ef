// Diffusion with a pixel's channels in the lanes of one register. The error a pixel hands to the
// next is a chain that cannot run ahead, so each step of it is a single vector operation, none
// divides, and three rows run at once: each row two pixels behind the one above, whose errors for
// it are then all in. Three, not four: four rows' running errors outgrow the sixteen registers and
// go through memory, and three were a sixth to a fifth faster on the benchmark's picture.
#include <immintrin.h>

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

#include "format/diffusion.h"

namespace {

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

}  // namespace

void diffuse_rows_sse2(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride, std::uint32_t width,
                       std::uint32_t first, std::uint32_t count, std::int32_t* errors, std::uint8_t* levels) {
  if (diffusion.channels == 3)
    return sse2::diffuse_rows<3>(diffusion, values, stride, width, first, count, errors, levels);
  assert(diffusion.channels == 1);
  sse2::diffuse_rows<1>(diffusion, values, stride, width, first, count, errors, levels);
}

void diffuse_rows_sse41(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride, std::uint32_t width,
                        std::uint32_t first, std::uint32_t count, std::int32_t* errors, std::uint8_t* levels) {
  if (diffusion.channels == 3)
    return sse41::diffuse_rows<3>(diffusion, values, stride, width, first, count, errors, levels);
  assert(diffusion.channels == 1);
  sse41::diffuse_rows<1>(diffusion, values, stride, width, first, count, errors, levels);
}
