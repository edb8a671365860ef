// Fuzz entry point of the PNM reader (testing/reader_fuzz.h).
#include <cstddef>
#include <cstdint>

#include "read/pnm_reader.h"
#include "testing/reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz_reader<PnmReader>(data, size);
}
