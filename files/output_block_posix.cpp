#include <cstdlib>

#include "files/output_block.h"

// Without Win32 there is nothing to lock: the block is a plain heap area, which never moves.
std::optional<OutputBlock> OutputBlock::allocate(std::uint32_t size) {
  void* data = std::malloc(size == 0 ? 1 : size);
  if (data == nullptr) return std::nullopt;
  return OutputBlock({data, static_cast<std::uint8_t*>(data), size});
}
