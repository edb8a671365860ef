// The output block: one writable memory area per run of a converting job, which stays in place
// from allocation until the output file has been written.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "files/system_handles.h"

class OutputBlock {
 public:
  // Allocates and locks a block of `size` bytes (contents undefined); nullopt when either fails.
  static std::optional<OutputBlock> allocate(std::uint32_t size);
  // A block holding a copy of `bytes` (an output made in memory: C source, a PNG); nullopt when
  // they do not fit a 32-bit count or the block cannot be had.
  static std::optional<OutputBlock> copy_of(std::span<const std::uint8_t> bytes);

  std::span<std::uint8_t> bytes() const { return {memory_.get().data, memory_.get().size}; }

 private:
  explicit OutputBlock(LockedBlock memory) : memory_(memory) {}

  MemoryBlock memory_;  // unlocked, then freed, when the block goes
};
