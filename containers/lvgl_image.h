// LVGL 9's image: a 12-byte header, then the pixels in one of LVGL's colour formats, as a `.bin`
// file or as C source declaring an lv_image_dsc_t. The header is six little-endian 16-bit fields
// after two bytes:
//
//   byte 0      magic, 0x19 (LVGL 9)
//   byte 1      colour format (lv_color_format_t)
//   bytes 2-3   flags (bit 0: colours premultiplied by alpha; an image with any other flag, such
//               as compressed pixels, is not read)
//   bytes 4-5   width        bytes 6-7   height
//   bytes 8-9   stride, the bytes from one row of the first plane to the next
//   bytes 10-11 reserved, 0
//
// The colour formats of this program's pixel formats: gray8 is L8 (0x06), i1 to i8 are I1 to I8
// (0x07 to 0x0A), rgb565 is RGB565 (0x12) or with its bytes swapped RGB565_SWAPPED (0x1B),
// argb8565 is ARGB8565 (0x13), rgb565a8 RGB565A8 (0x14), rgb888 RGB888 (0x0F), argb8888 ARGB8888
// (0x10) and xrgb8888 XRGB8888 (0x11); each with red in the high bits and, but for the swapped
// RGB565, low bytes first. LVGL's rows are the picture's top row first, with no padding here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "format/pixel_format.h"

inline constexpr std::size_t lvgl_header_size = 12;
using LvglHeader = std::array<std::uint8_t, lvgl_header_size>;

// LVGL's colour format for `format` under `bytes`; nullopt where LVGL has none.
std::optional<std::uint8_t> lvgl_colour_format(PixelFormat format, ByteOrder bytes);

// The header of a width x height image of `settings`' format; nullopt where LVGL has no such format
// or the picture is larger than its 16-bit fields hold.
std::optional<LvglHeader> lvgl_header(const FormatSettings& settings, std::uint32_t width, std::uint32_t height);

// What an LVGL image's header says, when `file` starts with one of a format this program reads and
// the file's `file_size` is the header and exactly the pixels it declares.
struct LvglImage {
  FormatSettings settings;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};
std::optional<LvglImage> read_lvgl_header(std::span<const std::uint8_t> file, std::uint64_t file_size);

// The same, with why a file that starts as an LVGL image (its magic, and its reserved field zero)
// is not one that is read: an unknown colour format, flags it cannot honour, no pixels, padded rows,
// or a length other than its header declares. Nothing (monostate) for a file that does not start so.
using LvglRead = std::variant<std::monostate, LvglImage, std::string>;
LvglRead read_lvgl(std::span<const std::uint8_t> file, std::uint64_t file_size);

// The length, header and pixels, of the LVGL image read from a stream that starts with `file`,
// whose own length is not known beforehand; nullopt when it does not start as one that is read.
std::optional<std::uint64_t> lvgl_declared_length(std::span<const std::uint8_t> file);

// C source declaring `name`, an lv_image_dsc_t, and `name`_map, the pixel bytes, in pieces as
// c_array.h writes them: the head up to the array's brace, the elements (c_array.h's byte
// elements), then the tail with the descriptor. `attribute` follows the array's name.
std::string lvgl_c_head(std::string_view name, std::string_view description, std::uint64_t bytes,
                        std::string_view attribute);
std::string lvgl_c_tail(std::string_view name, const LvglHeader& header);
