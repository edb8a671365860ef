#include "read/bmp_reader.h"

#include <algorithm>
#include <cstddef>

#include "pixels/bmp_fields.h"
#include "pixels/little_endian.h"
#include "pixels/pixels.h"
#include "read/bmp_pixels.h"

namespace {

// The file header's and the masks' sizes in 64 bits, so that sums with the file's own 32-bit fields
// cannot wrap around.
constexpr std::uint64_t file_header_size = bmp_size::file_header;
constexpr std::uint32_t core_header_size = bmp_size::core_header;
constexpr std::uint32_t info_header_size = bmp_size::info_header;
constexpr std::uint64_t mask_bytes = bmp_size::masks;

// OS/2 2.x files: the 16-byte header stops after the bit count, the 64-byte one goes on with fields
// of its own, and their compression codes mean other things than Windows' (4 is run-length coded
// 24-bit pixels). Such a file is a BMP, but never one that is converted.
bool os2_v2_header_size(std::uint32_t size) { return size == 16 || size == 64; }

bool known_info_header_size(std::uint32_t size) {
  return size == core_header_size || os2_v2_header_size(size) || size == info_header_size || size == 52 || size == 56 ||
         size == 108 || size == 124;
}

// The headers' signed 32-bit fields (width and height), widened so that negating them cannot
// overflow.
std::int64_t i32(const std::uint8_t* at) { return static_cast<std::int32_t>(load_le32(at)); }

}  // namespace

bool bmp_format_converts(std::uint16_t bits, std::uint32_t compression) {
  switch (compression) {
    case bmp_uncompressed:
      return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case bmp_rle8:
      return bits == 8;
    case bmp_rle4:
      return bits == 4;
    case bmp_bit_fields:
      return bits == 16 || bits == 32;
    default:
      return false;
  }
}

namespace {

// What the headers say, read from the file's first bytes: the picture as far as they describe it,
// and where its colour table and pixels lie.
struct Headers {
  BmpPicture bmp;
  // False when the verdict in bmp is final; true for a picture whose pixels are still to be found.
  bool go_on = false;
  bool core = false;
  std::uint32_t colours_used = 0;
  std::uint32_t pixel_offset = 0;
  std::uint64_t headers_end = 0;
  std::uint64_t row_length = 0;
};

// Reads the headers from `file`, the first bytes of a file `length` bytes long: every header field
// read lies inside `file`, and offsets are checked against `length`.
Headers read_headers(std::span<const std::uint8_t> file, std::uint64_t length) {
  Headers headers;
  BmpPicture& bmp = headers.bmp;

  // The file header and the size field that opens every information header.
  bmp.problem = "not a BMP file";
  if (file.size() < file_header_size + 4 || file[bmp_field::signature] != 'B' || file[bmp_field::signature + 1] != 'M')
    return headers;
  const std::uint32_t pixel_offset = load_le32(file.data() + bmp_field::pixel_offset);
  const std::uint32_t info_size = load_le32(file.data() + bmp_field::info_size);
  bmp.problem = "an information header of unknown size";
  if (!known_info_header_size(info_size)) return headers;
  bmp.problem = "the headers are cut short";
  if (file.size() < file_header_size + info_size) return headers;
  const bool core = headers.core = info_size == core_header_size;
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint16_t planes = 0;
  if (core) {
    width = load_le16(file.data() + bmp_field::core_width);
    height = load_le16(file.data() + bmp_field::core_height);
    planes = load_le16(file.data() + bmp_field::core_planes);
    bmp.bits_per_pixel = load_le16(file.data() + bmp_field::core_bits_per_pixel);
    bmp.compression = bmp_uncompressed;
  } else {
    width = i32(file.data() + bmp_field::width);
    height = i32(file.data() + bmp_field::height);
    planes = load_le16(file.data() + bmp_field::planes);
    bmp.bits_per_pixel = load_le16(file.data() + bmp_field::bits_per_pixel);
    // The 16-byte header ends before the compression field, and only the 40-byte header and its
    // larger versions count the colours used.
    bmp.compression = info_size == 16 ? bmp_uncompressed : load_le32(file.data() + bmp_field::compression);
    headers.colours_used = info_size >= info_header_size ? load_le32(file.data() + bmp_field::colours_used) : 0;
  }
  // The masks follow a 40-byte header and sit inside the larger ones; the colour table follows
  // both.
  const bool masks_after_header = bmp.compression == bmp_bit_fields && info_size == info_header_size &&
                                  bmp_format_converts(bmp.bits_per_pixel, bmp.compression);
  const std::uint64_t headers_end = headers.headers_end =
      file_header_size + info_size + (masks_after_header ? mask_bytes : 0);
  // A negative width means nothing. The most negative height has no positive row count to go
  // with it; taking its magnitude in 32 bits would overflow.
  bmp.problem = "the headers contradict themselves";
  if (planes != 1 || width < 0 || height == INT32_MIN) return headers;
  // Pixel data that starts inside the headers would be read as pixels and headers at once.
  bmp.problem = "the pixel data starts inside the headers or past the end of the file";
  if (pixel_offset < headers_end || pixel_offset > length) return headers;

  bmp.width = static_cast<std::uint32_t>(width);
  bmp.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
  bmp.top_down = height < 0;

  // A well-formed picture from here on; what follows decides whether it is one that is converted.
  bmp.verdict = BmpVerdict::unsupported;
  bmp.problem = nullptr;
  if (os2_v2_header_size(info_size)) return headers;
  if (!bmp_format_converts(bmp.bits_per_pixel, bmp.compression) || bmp.width == 0 || bmp.height == 0) return headers;
  // Decided on the header alone, before the pixel data is looked for: a picture too large to
  // convert stays so however much of it the file holds.
  if (!raw_image_size(bmp.width, bmp.height)) return headers;
  headers.row_length = (std::uint64_t{bmp.width} * bmp.bits_per_pixel + 31) / 32 * 4;
  if (headers.row_length > UINT32_MAX) return headers;

  bmp.verdict = BmpVerdict::not_a_picture;
  const bool run_length_coded = bmp.compression == bmp_rle8 || bmp.compression == bmp_rle4;
  // Run-length codes are written bottom-up: a top-down height with them is a contradiction.
  bmp.problem = "run-length coded, but stored top-down";
  if (run_length_coded && bmp.top_down) return headers;
  headers.pixel_offset = pixel_offset;
  headers.go_on = true;
  return headers;
}

// The colour table or the masks of a picture whose headers `headers` read from `file`, the file's
// first bytes; false when `file` does not hold the colour table.
bool read_colours(std::span<const std::uint8_t> file, Headers& headers) {
  BmpPicture& bmp = headers.bmp;
  if (headers.headers_end > file.size()) return false;
  if (bmp.bits_per_pixel <= 8) {
    // As many entries as the header names (all that the depth allows when it names none), but
    // only those that lie before the pixel data.
    const std::uint32_t entry_size = headers.core ? 3 : 4;
    const std::uint32_t most = 1u << bmp.bits_per_pixel;
    const std::uint64_t named = headers.colours_used == 0 ? most : std::min(headers.colours_used, most);
    bmp.colour_count =
        static_cast<std::uint32_t>(std::min(named, (headers.pixel_offset - headers.headers_end) / entry_size));
    if (headers.headers_end + std::uint64_t{bmp.colour_count} * entry_size > file.size()) return false;
    for (std::uint32_t k = 0; k < bmp.colour_count; ++k) {
      const std::uint8_t* entry = file.data() + headers.headers_end + std::size_t{k} * entry_size;
      bmp.colours[k] = BgrTriple{entry[0], entry[1], entry[2]};
    }
  } else if (bmp.compression == bmp_bit_fields) {
    const std::uint8_t* masks = file.data() + bmp_field::masks;
    bmp.masks = {load_le32(masks), load_le32(masks + 4), load_le32(masks + 8)};
    // The alpha mask follows the three inside the 56-byte and larger headers, which the file holds.
    if (bmp.bits_per_pixel == 32 && load_le32(file.data() + bmp_field::info_size) >= 56)
      bmp.alpha_mask = load_le32(masks + 12);
  } else if (bmp.bits_per_pixel == 16) {
    bmp.masks = {0x7C00, 0x03E0, 0x001F};
  } else {
    bmp.masks = {0xFF0000, 0xFF00, 0xFF};
  }
  return true;
}

// The headers, colours and pixels' place of the picture whose first bytes are `file`, or the
// refusal in `bmp` (headers.go_on false). The pixels themselves are neither read nor checked.
Headers find_pixels(std::span<const std::uint8_t> file, std::uint64_t length, std::uint64_t& pixel_bytes) {
  Headers headers = read_headers(file, length);
  BmpPicture& bmp = headers.bmp;
  if (!headers.go_on) return headers;
  if (!read_colours(file, headers)) {
    headers.go_on = false;
    bmp.problem = "the headers are cut short";
    return headers;
  }
  if (bmp.compression == bmp_rle8 || bmp.compression == bmp_rle4) {
    pixel_bytes = length - headers.pixel_offset;
    return headers;
  }
  // Every stored row, the last one's padding included, must lie inside the file. Both factors are
  // below 2^32 and their product below 2^64: no overflow.
  pixel_bytes = headers.row_length * bmp.height;
  if (pixel_bytes > length - headers.pixel_offset) {
    headers.go_on = false;
    bmp.problem = "the pixel data is cut short";
    return headers;
  }
  bmp.row_length = static_cast<std::uint32_t>(headers.row_length);
  return headers;
}

}  // namespace

std::optional<BmpPixelsAt> find_bmp_pixels(std::span<const std::uint8_t> start, std::uint64_t length) {
  std::uint64_t pixel_bytes = 0;
  const Headers headers = find_pixels(start, length, pixel_bytes);
  if (!headers.go_on) return std::nullopt;
  return BmpPixelsAt{headers.bmp, headers.pixel_offset, pixel_bytes};
}

std::optional<BmpRowsAt> find_bmp24_rows(std::span<const std::uint8_t> start, std::uint64_t length) {
  const std::optional<BmpPixelsAt> found = find_bmp_pixels(start, length);
  if (!found || found->bmp.bits_per_pixel != 24 || found->bmp.compression != bmp_uncompressed) return std::nullopt;
  const BmpPicture& bmp = found->bmp;
  return BmpRowsAt{bmp.width, bmp.height, bmp.top_down, bmp.row_length, found->pixel_offset};
}

BmpPicture read_bmp(std::span<const std::uint8_t> file) {
  std::uint64_t pixel_bytes = 0;
  Headers headers = find_pixels(file, file.size(), pixel_bytes);
  BmpPicture& bmp = headers.bmp;
  if (!headers.go_on) return bmp;
  bmp.rows = file.subspan(headers.pixel_offset, static_cast<std::size_t>(pixel_bytes));
  bmp.problem = check_pixels(bmp);
  if (bmp.problem != nullptr) {
    bmp.rows = {};
    bmp.row_length = 0;
    return bmp;
  }
  bmp.verdict = BmpVerdict::picture;
  return bmp;
}
