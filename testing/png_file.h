// PNG files put together chunk by chunk for tests, with zlib's own deflate and CRC, so that a test
// can make one of any shape, sound or damaged in one chosen place.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "testing/test_files.h"

// One chunk: its length, its four-letter type, `data` and the CRC of type and data.
Bytes png_chunk(std::string_view type, const Bytes& data);
// An IHDR chunk.
Bytes png_ihdr(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colour_type,
               std::uint8_t interlace = 0, std::uint8_t compression = 0, std::uint8_t filter = 0);
// `raw` (rows, each with its filter byte first) as a zlib stream.
Bytes png_deflated(const Bytes& raw);
// The PNG signature, then the chunks.
Bytes png_of(std::initializer_list<Bytes> chunks);
