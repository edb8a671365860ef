// LVGL 9's two compressions of an image's data, everything after its 12-byte header (the palette,
// the rows and the alpha plane, padding and all) taken as one run of bytes. Both are written whole,
// as LVGL holds a compressed image in memory.
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
//
// Both are decoded by LvglStream, a piece at a time, so that an image need not be held whole to be
// read: a mark saves where the decoding is (with LZ4, the last 64 KiB it made, which a match may
// refer to), and the decoding resumes from it.
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

// The data of one compressed image, decoded in order, a piece at a time.
class LvglStream {
 public:
  // `in`, which must outlive the stream, decoded by `method` (RLE in blocks of `block` bytes) into
  // an image of `total` bytes.
  LvglStream(LvglCompression method, unsigned block, std::span<const std::uint8_t> in, std::uint64_t total);

  // The image's next out.size() bytes, or why the data cannot make them (as the decompressions
  // below say it).
  std::optional<std::string> next(std::span<std::uint8_t> out);
  // Once the image is made: what follows it read as LVGL's decoder reads it; nullopt, or why not.
  std::optional<std::string> finish();
  // The bytes of the image made so far.
  std::uint64_t made() const { return at_.made; }

  struct Place {
    std::size_t from = 0;       // the next byte of `in` to read
    std::uint64_t made = 0;     // the image's bytes made
    std::uint64_t pending = 0;  // bytes the current run, literals or match has still to make
    std::uint64_t source = 0;   // where they come from: `in`'s byte, or a match's distance back
    std::uint64_t done = 0;     // bytes the current run has made
    std::uint8_t token = 0;     // LZ4: the current sequence's token
    bool literal = false;       // RLE: the run is a literal
    bool in_sequence = false;   // LZ4: the literals are read (and being made), the match is not
    bool past_end = false;      // RLE: the last run passed the image's end, and ended the decoding
    bool ended = false;
  };
  struct Mark {
    Place at;
    std::vector<std::uint8_t> history;
  };
  Mark mark() const;
  void resume(const Mark& mark);

 private:
  static constexpr std::size_t history_size = 65536;

  std::optional<std::string> rle_step();
  std::optional<std::string> lz4_step();
  void put_out(std::uint8_t* out, std::size_t count);

  std::span<const std::uint8_t> in_;
  std::uint64_t total_;
  unsigned block_;
  bool lz4_;
  Place at_;
  std::vector<std::uint8_t> history_;  // LZ4: the last 64 KiB made, at their offsets modulo its size
};

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
