// Reads the headers of a BMP file held in memory and finds its stored rows. The reader knows
// nothing of files: it takes the file's bytes, and every offset and size in the headers is checked
// against their length in 64-bit arithmetic before anything is read, so that no header value can
// make it (or a walk of the rows it reports) read outside them. The file-size and image-size fields
// are ignored: writers fill them carelessly, and the length of the bytes is what counts.
//
// Headers read: the 14-byte file header ("BM"), then an information header of 40 bytes or one of
// its larger versions (52, 56, 108, 124 bytes: the fields this reader uses sit at the same places),
// or the 12-byte core header of old OS/2 and Windows 2 files, whose width and height are unsigned
// 16-bit values and whose pictures are always bottom-up. The 16- and 64-byte headers of OS/2 2.x
// files are read as far as the bit count, for a well-formed file that is reported unsupported: their
// other fields and compression codes mean other things. Other header sizes are refused.
#pragma once

#include <cstdint>
#include <span>

enum class BmpVerdict {
  // A 24-bit uncompressed picture whose every stored row lies inside the file.
  picture,
  // Not a BMP, or one whose headers or pixel data are cut short or contradict themselves.
  not_a_picture,
  // A well-formed BMP that is not converted: other than 24 bits per pixel, compressed, no pixels,
  // an OS/2 2.x file, or a raw image of it would not fit a 32-bit byte count.
  unsupported,
};

struct BmpPicture {
  BmpVerdict verdict = BmpVerdict::not_a_picture;
  // As the headers give them, for a picture or an unsupported one; meaningless for not_a_picture.
  std::uint32_t width = 0;
  std::uint32_t height = 0;  // the number of rows, whatever the file's row order
  bool top_down = false;     // the first stored row is the top row
  std::uint16_t bits_per_pixel = 0;
  std::uint32_t compression = 0;
  // For not_a_picture: what is wrong with the file, in plain words.
  const char* problem = nullptr;
  // For a picture only: the stored row length (3 * width rounded up to a multiple of 4) and the
  // height stored rows of that length, in stored order, first stored row first.
  std::uint32_t row_length = 0;
  std::span<const std::uint8_t> rows;
};

BmpPicture read_bmp(std::span<const std::uint8_t> file);
