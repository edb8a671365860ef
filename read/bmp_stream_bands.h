// A BMP's stored rows read from a stream (standard input) in stored order, a band at a time, so that
// a picture of any size piped in converts in a few megabytes and is never copied whole. A stream
// cannot be read twice nor backwards, so only a picture whose every row can be decoded as it comes,
// with nothing checked beforehand, is read so: uncompressed, with bit fields or a colour table that
// every index can name, and no alpha to look for. Others (run-length codes, which are checked to
// their end before a row is decoded; a short colour table, checked over every row; alpha, looked
// for over the rows) are read from a file, which the job makes of the stream.
//
// The pixels are the image loader's (the same decoder, bmp_pixels.h): 24-bit rows as they are
// stored, others decoded into BGR triples. A stream that ends before the last row is refused when
// the walk reaches the missing row; the rows before it have been given out by then.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "files/byte_stream.h"
#include "files/failure.h"
#include "read/bmp_pixels.h"
#include "read/bmp_reader.h"

class BmpStreamBands {
 public:
  // Whether the picture found in a stream's first bytes (find_bmp_pixels over them, of any length)
  // is read from the stream as it comes; `keep_alpha` for a format that keeps a picture's alpha.
  static bool streams(const BmpPixelsAt& at, bool keep_alpha);

  // The picture of `at` (streams() true), whose bytes `stream` gives from its start; the stream
  // stays the caller's, and is read from here on.
  BmpStreamBands(InputStream& stream, const BmpPixelsAt& at);

  std::uint32_t width() const { return at_.bmp.width; }
  std::uint32_t height() const { return at_.bmp.height; }
  bool top_down() const { return at_.bmp.top_down; }
  // Bytes from one row's start to the next in the bands that rows() gives.
  std::uint32_t stride() const;

  // Checks the masks, as the loader does, and readies bands of `band_rows` rows: nullopt when the
  // picture converts.
  std::optional<Failure> ready(std::uint32_t band_rows);
  // The `count` stored rows from stored row `first` on, the next band in stored order. Valid until
  // the next call.
  std::variant<std::span<const std::uint8_t>, Failure> rows(std::uint32_t first, std::uint32_t count);

 private:
  // Reads exactly `bytes.size()` bytes; the failure when the stream ends first or breaks.
  std::optional<Failure> read_exactly(std::span<std::uint8_t> bytes);

  InputStream* stream_;
  BmpPixelsAt at_;
  std::optional<BmpRowDecoder> decoder_;
  std::uint32_t next_ = 0;
  std::uint64_t consumed_ = 0;  // bytes of the stream read, headers included
  std::vector<std::uint8_t> stored_;
  std::vector<std::uint8_t> triples_;
};
