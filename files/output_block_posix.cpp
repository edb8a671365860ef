#include <sys/mman.h>

#include <algorithm>
#include <cstddef>

#include "files/output_block.h"

// Without Win32 there is nothing to lock: the block is anonymous memory of its own, which never
// moves. A picture's block is written once from start to end and then saved, so it is asked for in
// huge pages where the system gives them and filled in before the conversion: a large block then
// costs a few faults instead of one per page.
std::optional<OutputBlock> OutputBlock::allocate(std::uint32_t size) {
  const std::size_t length = std::max<std::size_t>(size, 1);
  void* data = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED) return std::nullopt;
  ::madvise(data, length, MADV_HUGEPAGE);
  ::madvise(data, length, MADV_POPULATE_WRITE);
  return OutputBlock({data, static_cast<std::uint8_t*>(data), size});
}
