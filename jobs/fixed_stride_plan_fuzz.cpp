// Fuzz entry point of Vaskel's header walk. Whatever the bytes, the plan must either refuse them or
// be a walk whose every triple lies inside them, and the rows are then walked as the job walks
// them, so that a read outside the input shows under AddressSanitizer. The same entry runs the
// saved regression inputs in the normal test suite, where assert() may be compiled out: the checks
// abort by themselves.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "jobs/fixed_stride_plan.h"
#include "pixels/pixels.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  const std::optional<FixedStridePlan> walk = plan_fixed_stride(file);
  if (!walk) return 0;
  require(walk->width > 0 && walk->rows > 0);
  require(std::uint64_t{walk->width} * walk->rows * 2 == walk->output_size);
  // The last triple read starts 120 bytes per row after the first row, 3 bytes per pixel into it.
  const std::uint64_t walk_end = std::uint64_t{walk->pixel_offset} + std::uint64_t{source_stride} * (walk->rows - 1) +
                                 std::uint64_t{walk->width} * 3;
  require(walk_end <= size);
  std::vector<std::uint8_t> raw(walk->output_size);
  pack_565_rows(file.subspan(walk->pixel_offset), source_stride, walk->width, walk->rows, raw);
  return 0;
}
