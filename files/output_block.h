// The output block: one writable memory area per run of a converting job, which stays in place
// from allocation until the output file has been written.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

class OutputBlock {
 public:
  // Allocates and locks a block of `size` bytes (contents undefined); nullopt when either fails.
  static std::optional<OutputBlock> allocate(std::uint32_t size);

  OutputBlock(const OutputBlock&) = delete;
  OutputBlock& operator=(const OutputBlock&) = delete;
  OutputBlock(OutputBlock&& other) noexcept;
  OutputBlock& operator=(OutputBlock&& other) noexcept;
  ~OutputBlock();  // unlocks, then frees

  std::span<std::uint8_t> bytes() const { return {data_, size_}; }

 private:
  OutputBlock(void* handle, std::uint8_t* data, std::uint32_t size) : handle_(handle), data_(data), size_(size) {}
  void release();

  void* handle_ = nullptr;
  std::uint8_t* data_ = nullptr;
  std::uint32_t size_ = 0;
};
