#include <sys/mman.h>

#include <cstdlib>

#include "files/output_block.h"
#include "files/system_handles_posix.h"

// Without Win32 there is nothing to lock: the block is memory that never moves. A small block
// comes from the heap, which hands the same pages to the next file of a batch. A large one is
// anonymous memory of its own, asked for in huge pages where the system gives them and filled in
// before the conversion, which writes it once from start to end: a picture of many megabytes then
// costs a few faults instead of one per page.
std::optional<OutputBlock> OutputBlock::allocate(std::uint32_t size) {
  if (!mapped_block(size)) {
    void* data = std::malloc(size == 0 ? 1 : size);
    if (data == nullptr) return std::nullopt;
    return OutputBlock({data, static_cast<std::uint8_t*>(data), size});
  }
  void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED) return std::nullopt;
  ::madvise(data, size, MADV_HUGEPAGE);
  ::madvise(data, size, MADV_POPULATE_WRITE);
  return OutputBlock({data, static_cast<std::uint8_t*>(data), size});
}
