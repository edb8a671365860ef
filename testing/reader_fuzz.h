// The fuzz entry of a reader of whole pictures (TGA, PNM, TIFF). Whatever the bytes, the reader
// must leave them, refuse them or give every pixel without reading outside the input or writing
// outside its quads (which shows under AddressSanitizer); a picture of some pixels is never taken
// for one of none. A reader whose rows read on their own must give each row, read alone from the
// bottom up, as its whole picture has it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <variant>
#include <vector>

#include "files/failure.h"

template <typename Reader>
int fuzz_reader(const std::uint8_t* data, std::size_t size) {
  // Small enough that a declared size cannot exhaust the fuzzer's memory.
  std::variant<std::monostate, Reader, Failure> opened = Reader::open({data, size}, std::uint64_t{1} << 20);
  Reader* reader = std::get_if<Reader>(&opened);
  if (reader == nullptr) return 0;
  if (reader->width() == 0 || reader->height() == 0) std::abort();
  const std::size_t row = std::size_t{reader->width()} * 4;
  std::vector<std::uint8_t> whole(row * reader->height());
  if (reader->read_whole(whole)) return 0;
  if constexpr (requires(std::uint8_t * quads) { reader->read_rows(0u, 1u, quads); }) {
    std::vector<std::uint8_t> one(row);
    for (std::uint32_t y = reader->height(); y-- > 0;) {
      reader->read_rows(y, 1, one.data());
      if (std::memcmp(one.data(), whole.data() + y * row, row) != 0) std::abort();
    }
  }
  return 0;
}
