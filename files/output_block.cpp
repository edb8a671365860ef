#include "files/output_block.h"

#include <utility>

OutputBlock::OutputBlock(OutputBlock&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

OutputBlock& OutputBlock::operator=(OutputBlock&& other) noexcept {
  if (this != &other) {
    release();
    handle_ = std::exchange(other.handle_, nullptr);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

OutputBlock::~OutputBlock() { release(); }
