// Fuzz entry point of the GIF reader. Whatever the bytes, the reader must refuse them or compose
// every frame without reading outside the input or writing outside its canvas (which shows under
// AddressSanitizer); composed again after starting over, the frames must come out the same. The same
// entry runs the saved regression inputs in the normal test suite.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <variant>
#include <vector>

#include "read/gif_reader.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SpanByteWindows bytes({data, size});
  // Small enough that a declared size cannot exhaust the fuzzer's memory.
  std::variant<std::monostate, GifReader, Failure> opened = GifReader::open(bytes, std::uint64_t{1} << 20);
  GifReader* reader = std::get_if<GifReader>(&opened);
  if (reader == nullptr) return 0;
  require(reader->width() > 0 && reader->height() > 0 && reader->frames() > 0);
  const std::size_t canvas = std::size_t{reader->width()} * reader->height() * 4;
  std::vector<std::uint8_t> first;
  std::uint32_t drawn = 0;
  for (; drawn < reader->frames(); ++drawn) {
    if (reader->next_frame()) break;
    require(reader->canvas().size() == canvas);
    if (drawn == 0) first.assign(reader->canvas().begin(), reader->canvas().end());
  }
  reader->restart();
  if (drawn == 0) return 0;
  require(!reader->next_frame());
  const std::span<const std::uint8_t> again = reader->canvas();
  require(std::vector<std::uint8_t>(again.begin(), again.end()) == first);
  return 0;
}
