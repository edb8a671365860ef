#include <windows.h>

#include "files/output_block.h"

std::optional<OutputBlock> OutputBlock::allocate(std::uint32_t size) {
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, size);
  if (handle == nullptr) return std::nullopt;
  auto* data = static_cast<std::uint8_t*>(GlobalLock(handle));
  if (data == nullptr) {
    GlobalFree(handle);
    return std::nullopt;
  }
  return OutputBlock({handle, data, size});
}
