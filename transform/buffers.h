// The transform stage's buffers, sized in 64 bits and checked before they are allocated: a size
// that the address space cannot hold (the 32-bit build's above all) is refused as such, naming the
// bytes it asked for, instead of wrapping around in a 32-bit size or escaping as a length error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

class BufferTooLarge : public std::bad_alloc {
 public:
  explicit BufferTooLarge(std::uint64_t bytes) : bytes_(bytes) {}
  // UINT64_MAX when even the count of bytes overflowed.
  std::uint64_t bytes() const { return bytes_; }
  const char* what() const noexcept override { return "a transform's buffer does not fit in memory"; }

 private:
  std::uint64_t bytes_;
};

// a * b, or UINT64_MAX when that overflows: a count no buffer can have.
inline std::uint64_t product(std::uint64_t a, std::uint64_t b) {
  return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b;
}

// Makes `buffer` hold `count` elements; throws BufferTooLarge, with the bytes asked for, when they
// cannot be allocated.
template <typename T>
void allocate(std::vector<T>& buffer, std::uint64_t count) {
  const std::uint64_t bytes = product(count, sizeof(T));
  if (count > buffer.max_size()) throw BufferTooLarge(bytes);
  try {
    buffer.resize(static_cast<std::size_t>(count));
  } catch (const std::bad_alloc&) {
    throw BufferTooLarge(bytes);
  } catch (const std::length_error&) {
    throw BufferTooLarge(bytes);
  }
}
