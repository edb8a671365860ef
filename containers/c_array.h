// A raw 16-bit image as C source for firmware: a header that a C99 compiler reads, declaring
// NAME_width, NAME_height and `static const uint16_t NAME[]` with one element per word. Each
// element is the word as its two bytes in the raw image read low byte first, so that the array's
// bytes in the memory of a little-endian processor are exactly the raw image's bytes, in the byte
// order that was chosen for it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// True for a name a C compiler takes for the array: a letter or underscore, then letters, digits
// and underscores, and not one of C's keywords.
bool is_c_identifier(std::string_view name);

// A C name made of a file's stem: each character a name cannot hold becomes an underscore, and
// one more underscore goes in front of a leading digit or after a keyword ("2-up" gives "_2_up").
std::string c_identifier_of(std::string_view stem);

// `text` (a path, in a description) made safe inside a C block comment: a "*/" in it would end the
// comment early and let the rest compile as code, and a "/*" is a warning that -Werror builds
// refuse. The '/' of "*/" and the '*' of "/*" become '.'.
std::string c_comment_text(std::string_view text);

// The lines that include `header` of LVGL (a path inside LVGL's folder: "lvgl.h") in a source file
// for firmware, as LVGL's own sources are included: straight ("lvgl.h") where the build defines
// LV_LVGL_H_INCLUDE_SIMPLE, or where lvgl.h is on the include path or the compiler cannot tell;
// else from the folder above LVGL's ("lvgl/lvgl.h").
std::string lvgl_include(std::string_view header);

// The header text is made in pieces, as the array's words are made: the head (up to the array's
// opening brace) for an array of `words` elements, inside an include guard named after the array so
// that a header included twice compiles, whose first line is a comment with `description` (which
// picture, size, row order and byte order the array holds) and, from `high_byte_first`, how the
// array lies in memory; then each run of elements, the first of them element `first`, appended to
// `text`; then the tail. `attribute`, when not empty, follows the array's name (PROGMEM, a section,
// an alignment). With `tiles`, the array holds that many pictures of width x height one after another,
// and NAME_tiles says how many. With `delays_ms`, the array holds that many frames one after another,
// and the header declares NAME_frames and `static const uint32_t NAME_delays_ms[]` before it.
std::string c_array_head(std::string_view name, std::string_view description, std::uint64_t words, std::uint32_t width,
                         std::uint32_t height, bool high_byte_first, std::string_view attribute = {},
                         std::uint32_t tiles = 0, std::span<const std::uint32_t> delays_ms = {});
void append_c_array_elements(std::string& text, std::span<const std::uint8_t> raw, std::uint64_t first,
                             std::uint64_t words);
std::string_view c_array_tail();

// The same for an array of bytes, `static const uint8_t NAME[]`, each element one byte of the output
// in order, which holds whatever the format: no byte order comes between the file and the array.
std::string c_byte_array_head(std::string_view name, std::string_view description, std::uint64_t bytes,
                              std::uint32_t width, std::uint32_t height, std::string_view attribute = {},
                              std::uint32_t tiles = 0, std::span<const std::uint32_t> delays_ms = {});
void append_c_byte_elements(std::string& text, std::span<const std::uint8_t> bytes, std::uint64_t first,
                            std::uint64_t total);
