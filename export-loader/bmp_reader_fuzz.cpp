// Fuzz entry point of the BMP reader. Whatever the bytes, the reader must either refuse them or
// report rows that lie inside them and hold every stored row; the rows are then walked as the job
// walks them, so that a read outside the input shows under AddressSanitizer. The same entry runs
// the saved regression inputs in the normal test suite, where assert() may be compiled out: the
// checks abort by themselves.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "export-loader/bmp_reader.h"
#include "pixels/pixels.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const BmpPicture bmp = read_bmp({data, size});
  if (bmp.verdict != BmpVerdict::picture) {
    require(bmp.rows.empty());
    return 0;
  }
  require(bmp.bits_per_pixel == 24 && bmp.compression == 0 && bmp.width > 0 && bmp.height > 0);
  require(bmp.row_length % 4 == 0 && bmp.row_length >= std::uint64_t{bmp.width} * 3 &&
          bmp.row_length < std::uint64_t{bmp.width} * 3 + 4);
  require(bmp.rows.data() >= data && bmp.rows.size() <= size &&
          static_cast<std::size_t>(bmp.rows.data() - data) <= size - bmp.rows.size());
  require(bmp.rows.size() == std::uint64_t{bmp.row_length} * bmp.height);
  const std::optional<std::uint32_t> raw_size = raw_image_size(bmp.width, bmp.height);
  require(raw_size.has_value());
  std::vector<std::uint8_t> raw(*raw_size);
  export_rows(bmp.rows, bmp.row_length, bmp.width, bmp.height, raw);
  return 0;
}
