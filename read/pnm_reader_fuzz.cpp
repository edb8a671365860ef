// Fuzz entry point of the PNM reader. Whatever the bytes, the reader must refuse them or give every
// pixel without reading outside the input or writing outside its quads (which shows under
// AddressSanitizer).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <variant>
#include <vector>

#include "read/pnm_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Small enough that a declared size cannot exhaust the fuzzer's memory.
  std::variant<std::monostate, PnmReader, Failure> opened = PnmReader::open({data, size}, std::uint64_t{1} << 20);
  PnmReader* reader = std::get_if<PnmReader>(&opened);
  if (reader == nullptr) return 0;
  if (reader->width() == 0 || reader->height() == 0) std::abort();
  const std::size_t row = std::size_t{reader->width()} * 4;
  std::vector<std::uint8_t> whole(row * reader->height());
  if (reader->read_whole(whole)) return 0;
  // Each row read on its own, from the bottom up, as a band read upward asks for them.
  std::vector<std::uint8_t> one(row);
  for (std::uint32_t y = reader->height(); y-- > 0;) {
    reader->read_rows(y, 1, one.data());
    if (std::memcmp(one.data(), whole.data() + y * row, row) != 0) std::abort();
  }
  return 0;
}
