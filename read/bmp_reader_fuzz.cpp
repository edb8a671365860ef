// Fuzz entry point of the BMP reader. Whatever the bytes, the reader must either refuse them or
// report rows that lie inside them and hold every stored row; a 24-bit picture's rows are then
// walked as the job walks them, and any other picture is decoded as the loader decodes it, so that
// a read outside the input (or a write outside the decoded rows) shows under AddressSanitizer. The same entry runs
// the saved regression inputs in the normal test suite, where assert() may be compiled out: the
// checks abort by themselves.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "pixels/pixels.h"
#include "read/bmp_pixels.h"
#include "read/bmp_reader.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const BmpPicture bmp = read_bmp({data, size});
  // The rows found from the headers alone are the reader's 24-bit uncompressed rows; from a part of
  // the file's start they are those or none, read from that part only.
  const bool bmp24 = bmp.verdict == BmpVerdict::picture && bmp.bits_per_pixel == 24 && bmp.compression == 0;
  for (const std::size_t start : {size, size / 2}) {
    const std::optional<BmpRowsAt> found = find_bmp24_rows({data, start}, size);
    require(found.has_value() == bmp24 || (!found && start < size));
    if (found)
      require(bmp24 && found->width == bmp.width && found->height == bmp.height && found->top_down == bmp.top_down &&
              found->row_length == bmp.row_length && data + found->pixel_offset == bmp.rows.data());
  }
  if (bmp.verdict != BmpVerdict::picture) {
    require(bmp.rows.empty());
    return 0;
  }
  require(bmp_format_converts(bmp.bits_per_pixel, bmp.compression) && bmp.width > 0 && bmp.height > 0);
  require(bmp.rows.data() >= data && bmp.rows.size() <= size &&
          static_cast<std::size_t>(bmp.rows.data() - data) <= size - bmp.rows.size());
  const std::optional<std::uint32_t> raw_size = raw_image_size(bmp.width, bmp.height);
  require(raw_size.has_value());
  if (bmp.compression == bmp_rle8 || bmp.compression == bmp_rle4) {
    require(bmp.row_length == 0 && !bmp.top_down);
  } else {
    const std::uint64_t row_bits = std::uint64_t{bmp.width} * bmp.bits_per_pixel;
    require(bmp.row_length % 4 == 0 && bmp.row_length * 8 >= row_bits && bmp.row_length * 8 < row_bits + 32);
    require(bmp.rows.size() == std::uint64_t{bmp.row_length} * bmp.height);
  }
  if (bmp.bits_per_pixel == 24) {
    std::vector<std::uint8_t> raw(*raw_size);
    pack_565_rows(bmp.rows, bmp.row_length, bmp.width, bmp.height, raw);
    return 0;
  }
  // Decoding needs 1.5 times the raw image; a fuzzer's memory limit is no finding.
  if (decoded_size(bmp.width, bmp.height) > (std::uint64_t{1} << 28)) return 0;
  std::vector<std::uint8_t> decoded(static_cast<std::size_t>(decoded_size(bmp.width, bmp.height)));
  decode_pixels(bmp, decoded);
  if (bmp.compression != bmp_rle8 && bmp.compression != bmp_rle4) return 0;
  // Walked a row at a time from windows holding a single code, the codes set the same pixels.
  RunLengthWalk walk(bmp, bmp.rows.size());
  const std::size_t row = std::size_t{bmp.width} * 3;
  std::vector<std::uint8_t> band(row);
  for (std::uint32_t y = 0; y < bmp.height; ++y) {
    walk.clear_band(band.data(), 1);
    for (;;) {
      const std::uint64_t at = walk.state().at;
      const std::span<const std::uint8_t> window =
          bmp.rows.subspan(static_cast<std::size_t>(at),
                           static_cast<std::size_t>(std::min<std::uint64_t>(longest_code, bmp.rows.size() - at)));
      require(walk.walk(window, at, std::uint64_t{y} + 1, y, band.data()) == nullptr);
      if (!walk.needs_codes()) break;
    }
    require(std::equal(band.begin(), band.end(), decoded.begin() + static_cast<std::ptrdiff_t>(row * y)));
  }
  return 0;
}
