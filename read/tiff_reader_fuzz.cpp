// Fuzz entry point of the TIFF reader of pictures with alpha (testing/reader_fuzz.h).
#include <cstddef>
#include <cstdint>

#include "read/tiff_reader.h"
#include "testing/reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz_reader<TiffReader>(data, size);
}
