// Fuzz entry point of the PNG reader. Whatever the bytes, the reader must refuse them or give every
// row, whole and again a band at a time after starting over, without reading outside the input or
// writing outside its rows (which shows under AddressSanitizer); the two walks must agree. The same
// entry runs the saved regression inputs in the normal test suite.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <variant>
#include <vector>

#include "read/png_reader.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SpanByteWindows bytes({data, size});
  // Small enough that a declared size cannot exhaust the fuzzer's memory.
  std::variant<std::monostate, PngReader, Failure> opened = PngReader::open(bytes, std::uint64_t{1} << 20);
  PngReader* reader = std::get_if<PngReader>(&opened);
  if (reader == nullptr) return 0;
  require(reader->width() > 0 && reader->height() > 0);
  const std::size_t row = std::size_t{reader->width()} * 4;
  std::vector<std::uint8_t> whole(row * reader->height());
  const bool read = !reader->read_whole(whole).has_value();
  if (reader->interlaced() || reader->restart()) return 0;
  for (std::uint32_t first = 0; first < reader->height(); first += 2) {
    const std::uint32_t count = reader->height() - first < 2 ? 1 : 2;
    std::variant<std::span<const std::uint8_t>, Failure> rows = reader->next_rows(count);
    if (std::holds_alternative<Failure>(rows)) {
      require(!read);
      return 0;
    }
    const std::span<const std::uint8_t> band = std::get<std::span<const std::uint8_t>>(rows);
    require(band.size() == row * count);
    require(!read || std::memcmp(band.data(), whole.data() + first * row, band.size()) == 0);
  }
  require(read);
  return 0;
}
