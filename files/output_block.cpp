#include <cstring>

#include "files/output_block.h"

std::optional<OutputBlock> OutputBlock::copy_of(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > UINT32_MAX) return std::nullopt;
  std::optional<OutputBlock> block = allocate(static_cast<std::uint32_t>(bytes.size()));
  if (block && !bytes.empty()) std::memcpy(block->bytes().data(), bytes.data(), bytes.size());
  return block;
}
