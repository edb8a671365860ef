#include "export-loader/bmp_reader.h"

#include <cstddef>

#include "pixels/little_endian.h"
#include "pixels/pixels.h"

namespace {

constexpr std::uint64_t file_header_size = 14;
constexpr std::uint32_t core_header_size = 12;
// BI_RGB: the pixels are stored as they are, neither run-length coded nor described by masks.
constexpr std::uint32_t uncompressed = 0;

// OS/2 2.x files: the 16-byte header stops after the bit count, the 64-byte one goes on with fields
// of its own, and their compression codes mean other things than Windows' (4 is run-length coded
// 24-bit pixels). Such a file is a BMP, but never one that is converted.
bool os2_v2_header_size(std::uint32_t size) { return size == 16 || size == 64; }

bool known_info_header_size(std::uint32_t size) {
  return size == core_header_size || os2_v2_header_size(size) || size == 40 || size == 52 || size == 56 ||
         size == 108 || size == 124;
}

// The headers' signed 32-bit fields (width and height), widened so that negating them cannot
// overflow.
std::int64_t i32(const std::uint8_t* at) { return static_cast<std::int32_t>(load_le32(at)); }

}  // namespace

BmpPicture read_bmp(std::span<const std::uint8_t> file) {
  BmpPicture bmp;
  const std::uint64_t length = file.size();

  // The file header and the size field that opens every information header.
  bmp.problem = "not a BMP file";
  if (length < file_header_size + 4 || file[0] != 'B' || file[1] != 'M') return bmp;
  const std::uint32_t pixel_offset = load_le32(file.data() + 10);
  const std::uint32_t info_size = load_le32(file.data() + 14);
  bmp.problem = "an information header of unknown size";
  if (!known_info_header_size(info_size)) return bmp;
  bmp.problem = "the headers are cut short";
  if (length < file_header_size + info_size) return bmp;

  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint16_t planes = 0;
  if (info_size == core_header_size) {
    width = load_le16(file.data() + 18);
    height = load_le16(file.data() + 20);
    planes = load_le16(file.data() + 22);
    bmp.bits_per_pixel = load_le16(file.data() + 24);
    bmp.compression = uncompressed;
  } else {
    width = i32(file.data() + 18);
    height = i32(file.data() + 22);
    planes = load_le16(file.data() + 26);
    bmp.bits_per_pixel = load_le16(file.data() + 28);
    // The 16-byte header ends before the compression field.
    bmp.compression = info_size == 16 ? uncompressed : load_le32(file.data() + 30);
  }
  // A negative width means nothing. The most negative height has no positive row count to go
  // with it; taking its magnitude in 32 bits would overflow.
  bmp.problem = "the headers contradict themselves";
  if (planes != 1 || width < 0 || height == INT32_MIN) return bmp;
  // Pixel data that starts inside the headers would be read as pixels and headers at once.
  bmp.problem = "the pixel data starts inside the headers or past the end of the file";
  if (pixel_offset < file_header_size + info_size || pixel_offset > length) return bmp;

  bmp.width = static_cast<std::uint32_t>(width);
  bmp.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
  bmp.top_down = height < 0;

  // A well-formed picture from here on; what follows decides whether it is one that is converted.
  bmp.verdict = BmpVerdict::unsupported;
  bmp.problem = nullptr;
  if (os2_v2_header_size(info_size)) return bmp;
  if (bmp.bits_per_pixel != 24 || bmp.compression != uncompressed || bmp.width == 0 || bmp.height == 0) return bmp;
  // Decided on the header alone, before the pixel data is looked for: a picture too large to
  // convert stays so however much of it the file holds.
  if (!raw_image_size(bmp.width, bmp.height)) return bmp;
  const std::uint64_t row_length = (std::uint64_t{bmp.width} * 3 + 3) & ~std::uint64_t{3};
  if (row_length > UINT32_MAX) return bmp;

  // Every stored row, the last one's padding included, must lie inside the file. Both factors are
  // below 2^32 and their product below 2^64: no overflow.
  const std::uint64_t pixel_bytes = row_length * bmp.height;
  if (pixel_bytes > length - pixel_offset) {
    bmp.verdict = BmpVerdict::not_a_picture;
    bmp.problem = "the pixel data is cut short";
    return bmp;
  }
  bmp.verdict = BmpVerdict::picture;
  bmp.problem = nullptr;
  bmp.row_length = static_cast<std::uint32_t>(row_length);
  bmp.rows = file.subspan(pixel_offset, static_cast<std::size_t>(pixel_bytes));
  return bmp;
}
