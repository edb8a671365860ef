// The stored pixels of a picture that the BMP reader accepted, checked and decoded into BGR
// triples. The reader checks every picture that is not 24-bit uncompressed with check_pixels
// before it calls it one, so that decoding never meets a code it cannot place; the Win32 build
// also decodes the system loader's section with decode_pixels, through a BmpPicture that describes
// the section.
//
// Decoded rows: width triples each with no padding (3 * width bytes from row start to row start),
// in the file's stored order, as pack_rows takes them. A channel of fewer than 8 bits is widened
// by repeating its bits (5-bit 0x1F becomes 0xFF, 1-bit 1 becomes 0xFF); one of more than 8 bits
// keeps its top 8. Run-length codes are read bottom-up; pixels that no code reaches (skipped by a
// delta, an early end of line or of picture, or codes that simply stop) take the colour table's
// first entry, as the zero-filled section that the system loader decodes them into shows them.
#pragma once

#include <cstdint>
#include <span>

#include "read/bmp_reader.h"

// Nullptr when every pixel can be decoded, or what is wrong: a colour past the table, a mask that
// is empty, has gaps, overlaps another or leaves the pixel, run-length codes that are cut short or
// reach past the picture. `bmp` holds the rows, colours and masks the reader found.
const char* check_pixels(const BmpPicture& bmp);

// Bytes of a picture's decoded rows: 3 * width * height, in 64 bits.
constexpr std::uint64_t decoded_size(std::uint32_t width, std::uint32_t height) {
  return std::uint64_t{width} * 3 * height;
}

// Decodes every pixel of a checked picture other than 24-bit (whose rows are read where they lie)
// into `out`, which holds decoded_size bytes.
void decode_pixels(const BmpPicture& bmp, std::span<std::uint8_t> out);

// The alpha of each pixel of a checked 32-bit picture with an alpha mask, widened to 8 bits as the
// colours are, into `out` (width * height bytes, stored rows in stored order, no padding). False,
// and the picture opaque, when it has no alpha mask, the mask is empty, has gaps or overlaps a
// colour's, or every pixel's alpha is 0: writers that leave the alpha unused fill it with zeros.
bool decode_alpha(const BmpPicture& bmp, std::span<std::uint8_t> out);
