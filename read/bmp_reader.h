// Reads the headers of a BMP file held in memory, finds its stored pixels and checks that they can
// be decoded. The reader knows nothing of files: it takes the file's bytes, and every offset and
// size in the headers is checked against their length in 64-bit arithmetic before anything is
// read, so that no header value can make it (or a walk or decoding of the pixels it reports) read
// outside them. The file-size and image-size fields are ignored: writers fill them carelessly, and
// the length of the bytes is what counts.
//
// Headers read: the 14-byte file header ("BM"), then an information header of 40 bytes or one of
// its larger versions (52, 56, 108, 124 bytes: the fields this reader uses sit at the same places,
// the bit fields' masks at bytes 40 to 51), or the 12-byte core header of old OS/2 and Windows 2
// files, whose width and height are unsigned 16-bit values, whose colour table holds 3-byte entries
// and whose pictures are always bottom-up. The 16- and 64-byte headers of OS/2 2.x files are read
// as far as the bit count, for a well-formed file that is reported unsupported: their other fields
// and compression codes mean other things. Other header sizes are refused.
//
// Pixel formats read: 1, 4 and 8 bits with a colour table; 16 and 32 bits, uncompressed (5-5-5 and
// 8-8-8, the top bits unused) or with bit fields (BI_BITFIELDS: a red, a green and a blue mask, in
// the 52-byte and larger headers or in the 12 bytes after the 40-byte one); 24 bits uncompressed;
// 8 and 4 bits run-length coded (RLE8, RLE4), always bottom-up. Alpha is reported only for 32-bit
// bit fields whose header holds an alpha mask (bmp_pixels.h decodes it). Every pixel
// must name an entry of the colour table, and every mask must be one run of set bits inside the
// pixel, sharing no bit with another mask; anything else is refused, so that a picture the reader
// accepts decodes the same way in every build.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "pixels/pixels.h"

enum class BmpVerdict {
  // A picture in one of the formats above whose every stored pixel lies inside the file.
  picture,
  // Not a BMP, or one whose headers or pixel data are cut short or contradict themselves.
  not_a_picture,
  // A well-formed BMP that is not converted: another format, an OS/2 2.x file, no pixels, or a raw
  // image of it would not fit a 32-bit byte count.
  unsupported,
};

// BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS: the compression field's values that the reader decodes.
inline constexpr std::uint32_t bmp_uncompressed = 0;
inline constexpr std::uint32_t bmp_rle8 = 1;
inline constexpr std::uint32_t bmp_rle4 = 2;
inline constexpr std::uint32_t bmp_bit_fields = 3;

struct BmpPicture {
  BmpVerdict verdict = BmpVerdict::not_a_picture;
  // As the headers give them, for a picture or an unsupported one; meaningless for not_a_picture.
  std::uint32_t width = 0;
  std::uint32_t height = 0;  // the number of rows, whatever the file's row order
  bool top_down = false;     // the first stored row is the top row
  std::uint16_t bits_per_pixel = 0;
  std::uint32_t compression = 0;
  // For a refused file: what is wrong with it, in plain words.
  const char* problem = nullptr;
  // For a picture only. Uncompressed: the stored row length ((width * bits + 31) / 32 * 4 bytes)
  // and the height stored rows of that length, in stored order, first stored row first.
  // Run-length coded: row_length 0, and the codes from the pixel offset to the end of the file.
  std::uint32_t row_length = 0;
  std::span<const std::uint8_t> rows;
  // For a picture of 8 bits or fewer: the colour table, at most 1 << bits entries.
  std::array<BgrTriple, 256> colours{};
  std::uint32_t colour_count = 0;
  // For 16 and 32 bits: the red, green and blue masks, the defaults filled in for BI_RGB.
  std::array<std::uint32_t, 3> masks{};
  // For 32 bits with bit fields in a header of 56 bytes or more: the alpha mask, 0 for none. It
  // is not checked: a mask that is empty, overlaps or has gaps leaves the picture opaque.
  std::uint32_t alpha_mask = 0;
};

// Whether pictures of this depth and compression convert: each depth with the compressions it may
// be stored with.
bool bmp_format_converts(std::uint16_t bits, std::uint32_t compression);

BmpPicture read_bmp(std::span<const std::uint8_t> file);

// A picture's headers and colours read from its file's first bytes, and where its stored pixels
// lie, so that a job can read them through windows of the file: `bmp` as read_bmp gives it but with
// no rows and not yet a picture (its pixels are unchecked; BmpRowDecoder and RunLengthWalk check
// them), and `pixel_bytes` bytes from `pixel_offset` on: the stored rows, or the run-length codes
// to the file's end.
struct BmpPixelsAt {
  BmpPicture bmp;
  std::uint64_t pixel_offset = 0;
  std::uint64_t pixel_bytes = 0;
};

// The pixels of a picture of any format that read_bmp may accept, found from its headers in `start`
// (the file's first bytes, holding its headers and colour table) and the file's whole `length`.
// Nullopt for a file that read_bmp refuses without looking at its pixels (its headers, or stored
// rows that the file's length cannot hold), or whose colour table `start` does not hold.
std::optional<BmpPixelsAt> find_bmp_pixels(std::span<const std::uint8_t> start, std::uint64_t length);

// Where a 24-bit uncompressed picture's stored rows lie in its file: `height` rows of `row_length`
// bytes from `pixel_offset` on, first stored row first.
struct BmpRowsAt {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool top_down = false;
  std::uint32_t row_length = 0;
  std::uint64_t pixel_offset = 0;
};

// The rows of a 24-bit uncompressed picture that read_bmp would accept, found from its headers in
// `start` (the file's first bytes) and the file's whole `length`, so that a job can walk rows that
// are not mapped yet: such a picture's rows need no checking beyond lying inside the file. Nullopt
// for anything else (another format, or a file that read_bmp refuses), which read_bmp then
// describes.
std::optional<BmpRowsAt> find_bmp24_rows(std::span<const std::uint8_t> start, std::uint64_t length);
