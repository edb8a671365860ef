// Fuzz entry point of the EXIF orientation reader. Whatever the bytes, read as a TIFF structure or
// as a picture file, the orientation is 1 to 8, and nothing is read outside the input (which shows
// under AddressSanitizer). The same entry runs the saved regression inputs in the normal tests.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "read/exif_orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t tiff = exif_orientation({data, size});
  SpanByteWindows bytes({data, size});
  const std::uint8_t file = picture_orientation(bytes);
  if (tiff < 1 || tiff > 8 || file < 1 || file > 8) std::abort();
  return 0;
}
