// Fuzz entry point of the TIFF reader for pictures with alpha. Whatever the bytes, the reader must
// leave them, refuse them or give every pixel without reading outside the input or writing outside
// its quads (which shows under AddressSanitizer).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <variant>
#include <vector>

#include "read/tiff_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Small enough that a declared size cannot exhaust the fuzzer's memory.
  std::variant<std::monostate, TiffReader, Failure> opened = TiffReader::open({data, size}, std::uint64_t{1} << 20);
  TiffReader* reader = std::get_if<TiffReader>(&opened);
  if (reader == nullptr) return 0;
  if (reader->width() == 0 || reader->height() == 0) std::abort();
  std::vector<std::uint8_t> whole(std::size_t{reader->width()} * reader->height() * 4);
  static_cast<void>(reader->read_whole(whole));
  return 0;
}
