// LVGL 9's two compressions of an image's data, everything after its 12-byte header (the palette,
// the rows and the alpha plane, padding and all) taken as one run of bytes. Both are written and
// read whole: the compressed image is held in memory, as LVGL itself holds it.
//
// - RLE cuts the data into blocks of one pixel's bytes: (bits a pixel + 7) / 8, so one byte for the
//   formats of under 8 bits a pixel, and 2 for RGB565A8, whose two planes run as one. A control
//   byte with its top bit set is followed by that many (its low 7 bits) blocks, copied as they are;
//   one without it by a single block, repeated that many times. Data that is not a whole number of
//   blocks ends in a literal block padded with zeros, of which only the bytes the data holds are
//   kept.
// - LZ4 is one LZ4 block in the public block format, no frame around it: sequences of a token
//   (literals' length in its high four bits, the match's length less 4 in its low four, 15 in
//   either followed by bytes that add to it, 255 meaning another follows), the literals, the
//   match's distance back as a 16-bit little-endian word, and the rest of its length. The last
//   sequence has literals alone; the last 5 bytes are literals and no match starts in the last 12.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// LVGL's numbers for its methods, as its compression head stores them.
enum class LvglCompression : std::uint8_t { none = 0, rle = 1, lz4 = 2 };

std::vector<std::uint8_t> rle_compress(std::span<const std::uint8_t> data, unsigned block);
std::vector<std::uint8_t> lz4_compress(std::span<const std::uint8_t> data);

// Decompresses `in` into exactly `out`: nullopt, or why it cannot (the data ends early, runs on past
// `out`, refers back past its start, or holds bytes after its end). Each takes what LVGL's own
// decoder takes: RLE data may end in a run that passes the end by a block at most, a literal then
// cut to `out` and any bytes after it unread; LZ4 as liblz4 takes a block.
std::optional<std::string> rle_decompress(std::span<const std::uint8_t> in, unsigned block,
                                          std::span<std::uint8_t> out);
std::optional<std::string> lz4_decompress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// The most bytes `compressed` bytes of `method` can decompress to: an image declaring more is
// damaged, and refused before its memory is taken.
std::uint64_t most_decompressed(LvglCompression method, std::uint64_t compressed);
