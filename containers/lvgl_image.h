// LVGL 9's image: a 12-byte header, then the pixels in one of LVGL's colour formats, as a `.bin`
// file or as C source declaring an lv_image_dsc_t. The header is six little-endian 16-bit fields
// after two bytes:
//
//   byte 0      magic, 0x19 (LVGL 9)
//   byte 1      colour format (lv_color_format_t)
//   bytes 2-3   flags (bit 0: colours premultiplied by alpha; bit 3: the data compressed; an
//               image with any other flag, which LVGL's own runtime alone gives meaning, is not read)
//   bytes 4-5   width        bytes 6-7   height
//   bytes 8-9   stride, the bytes from one row of the first plane to the next, at least a row's
//               bytes (row_stride.h: the padding after each row, and RGB565A8's alpha plane)
//   bytes 10-11 reserved, 0
//
// A compressed image's data (lvgl_compress.h) follows a 12-byte head of three 32-bit little-endian
// words: the method in the first word's low four bits (1 RLE, 2 LZ4), the compressed bytes that
// follow the head, and the bytes they decompress to, which are the data as the uncompressed image
// would hold it. In C source the array holds the head and the compressed bytes.
//
// The colour formats of this program's pixel formats: gray8 is L8 (0x06), i1 to i8 are I1 to I8
// (0x07 to 0x0A), rgb565 is RGB565 (0x12) or with its bytes swapped RGB565_SWAPPED (0x1B),
// argb8565 is ARGB8565 (0x13), rgb565a8 RGB565A8 (0x14), rgb888 RGB888 (0x0F), argb8888 ARGB8888
// (0x10) and xrgb8888 XRGB8888 (0x11); each with red in the high bits and, but for the swapped
// RGB565, low bytes first. LVGL's rows are the picture's top row first.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include <vector>

#include "containers/lvgl_compress.h"
#include "format/pixel_format.h"

inline constexpr std::size_t lvgl_header_size = 12;
inline constexpr std::size_t lvgl_compression_head_size = 12;
using LvglHeader = std::array<std::uint8_t, lvgl_header_size>;
using LvglCompressionHead = std::array<std::uint8_t, lvgl_compression_head_size>;

// LVGL's colour format for `format` under `bytes`; nullopt where LVGL has none.
std::optional<std::uint8_t> lvgl_colour_format(PixelFormat format, ByteOrder bytes);

// The header of a width x height image of `settings`' format, its rows padded to a multiple of
// `align` bytes, its data compressed by `compression`; nullopt where LVGL has no such format or the
// picture is larger than its 16-bit fields hold.
std::optional<LvglHeader> lvgl_header(const FormatSettings& settings, std::uint32_t width, std::uint32_t height,
                                      std::uint32_t align = 1, LvglCompression compression = LvglCompression::none);

// The compression head of `compressed` bytes of `method` that decompress to `data` bytes.
LvglCompressionHead lvgl_compression_head(LvglCompression method, std::uint32_t compressed, std::uint32_t data);

// The bytes of RLE's block for `settings`' format: one pixel's bytes, a byte for the formats of
// under 8 bits a pixel, and 2 for RGB565A8.
unsigned lvgl_rle_block(const FormatSettings& settings);

// What an LVGL image's header says, when `file` starts with one of a format this program reads and
// the file's `file_size` is the header and exactly the data it declares (for a compressed image,
// the compression head and the compressed bytes it declares).
struct LvglImage {
  FormatSettings settings;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t stride = 0;
  LvglCompression compression = LvglCompression::none;
  std::uint64_t data_bytes = 0;        // the data as its layout takes it, decompressed
  std::uint64_t compressed_bytes = 0;  // after the compression head; 0 when not compressed
};
std::optional<LvglImage> read_lvgl_header(std::span<const std::uint8_t> file, std::uint64_t file_size);

// The same, with why a file that starts as an LVGL image (its magic, and its reserved field zero)
// is not one that is read: an unknown colour format, flags it cannot honour, no pixels, rows that
// overlap, an unknown compression, or a length other than its header declares. Nothing (monostate)
// for a file that does not start so. A compressed image's head is read from `file` too: `file`
// holds its first lvgl_header_size + lvgl_compression_head_size bytes, or all of a shorter file.
using LvglRead = std::variant<std::monostate, LvglImage, std::string>;
LvglRead read_lvgl(std::span<const std::uint8_t> file, std::uint64_t file_size);

// The length, header and data, of the LVGL image read from a stream that starts with `file` (as
// for read_lvgl), whose own length is not known beforehand; nullopt when it does not start as one
// that is read.
std::optional<std::uint64_t> lvgl_declared_length(std::span<const std::uint8_t> file);

// A compressed image's data from its `compressed` bytes (those after the compression head), or why
// they do not decompress to the data its header declares: "the compressed LVGL image is damaged: ...".
std::variant<std::vector<std::uint8_t>, std::string> lvgl_decompress(const LvglImage& image,
                                                                     std::span<const std::uint8_t> compressed);
// The same data decoded a piece at a time, or why `compressed` cannot make it; the stream's reasons
// are said as lvgl_damaged() puts them. `compressed` must outlive the stream.
std::variant<LvglStream, std::string> lvgl_stream(const LvglImage& image, std::span<const std::uint8_t> compressed);
std::string lvgl_damaged(const std::string& reason);

// C source declaring `name`, an lv_image_dsc_t, and `name`_map, the pixel bytes, in pieces as
// c_array.h writes them: the head up to the array's brace, the elements (c_array.h's byte
// elements), then the tail with the descriptor. `attribute` follows the array's name.
std::string lvgl_c_head(std::string_view name, std::string_view description, std::uint64_t bytes,
                        std::string_view attribute);
std::string lvgl_c_tail(std::string_view name, const LvglHeader& header);
