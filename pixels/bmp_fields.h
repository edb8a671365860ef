// Where the fields of a BMP's headers lie, in bytes from the start of the file, for every file
// that reads or writes one. A BMP opens with the 14-byte file header ("BM", the file's size, two
// reserved words, the offset of the pixel data), then an information header whose first field is
// its own size: 40 bytes, or one of its longer versions, which begin with the same fields, or the
// 12-byte core header of OS/2 1.x and Windows 2, whose width and height are 16 bits wide. Every
// field is little-endian (see little_endian.h).
#pragma once

#include <cstdint>

namespace bmp_size {

inline constexpr std::uint32_t file_header = 14;
inline constexpr std::uint32_t core_header = 12;
inline constexpr std::uint32_t info_header = 40;
// The file header and a 40-byte information header: where the colour table or bit fields' masks
// of such a file begin, and its pixels when it has neither.
inline constexpr std::uint32_t headers = file_header + info_header;
// Three 32-bit masks, red, green and blue, after the 40-byte header or inside the longer ones.
inline constexpr std::uint32_t masks = 12;

}  // namespace bmp_size

namespace bmp_field {

// The file header.
inline constexpr std::uint32_t signature = 0;  // 'B', 'M'
inline constexpr std::uint32_t file_size = 2;
inline constexpr std::uint32_t pixel_offset = 10;
inline constexpr std::uint32_t info_size = 14;

// The 40-byte information header and its longer versions. Width and height are signed; a negative
// height marks a picture stored top row first.
inline constexpr std::uint32_t width = 18;
inline constexpr std::uint32_t height = 22;
inline constexpr std::uint32_t planes = 26;          // 16 bits
inline constexpr std::uint32_t bits_per_pixel = 28;  // 16 bits
inline constexpr std::uint32_t compression = 30;
inline constexpr std::uint32_t image_size = 34;
inline constexpr std::uint32_t x_pixels_per_metre = 38;
inline constexpr std::uint32_t y_pixels_per_metre = 42;
inline constexpr std::uint32_t colours_used = 46;
inline constexpr std::uint32_t colours_important = 50;
inline constexpr std::uint32_t masks = bmp_size::headers;

// The 12-byte core header: every field 16 bits wide, width and height unsigned.
inline constexpr std::uint32_t core_width = 18;
inline constexpr std::uint32_t core_height = 20;
inline constexpr std::uint32_t core_planes = 22;
inline constexpr std::uint32_t core_bits_per_pixel = 24;

}  // namespace bmp_field
