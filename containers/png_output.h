// The PNG that unpack makes, written as its rows come so that a frame of any size takes a few
// hundred kilobytes of memory: 8 bits a sample, truecolour (RGB) or truecolour with straight alpha
// (RGBA), not interlaced, top row first. Every row is filtered with Paeth, the filter that suits
// photographs and flat areas alike, and the filtered rows go through zlib's deflate in one stream,
// cut into IDAT chunks of at most 64 KiB. The file holds the signature, IHDR, the IDAT chunks and
// IEND, nothing else: no gamma or colour profile, so a viewer shows the samples as they are.
//
// The bytes depend only on the pixels and zlib's version: the same rows make the same file on
// every build that links the same zlib.
//
// The writer knows nothing of files: it collects the bytes it has made, which the caller takes and
// writes out between rows (pending(), then clear_pending()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

enum class PngColour : std::uint8_t {
  rgb = 2,   // rows of BGR triples in memory
  rgba = 6,  // rows of BGRA quads in memory, straight alpha
};

class PngOutput {
 public:
  // A PNG of width x height pixels, its signature and IHDR already pending. Nullopt for an empty
  // picture, a side over 2^31 - 1 (the format's limit), or no memory for the compressor.
  static std::optional<PngOutput> begin(std::uint32_t width, std::uint32_t height, PngColour colour);

  PngOutput(PngOutput&&) noexcept;
  PngOutput& operator=(PngOutput&&) noexcept;
  PngOutput(const PngOutput&) = delete;
  PngOutput& operator=(const PngOutput&) = delete;
  ~PngOutput();

  // Adds the next row, top row first: width BGR triples or BGRA quads as the colour type says.
  // False when the compressor failed (it cannot but for lack of memory); the file is then
  // unusable. At most height rows.
  bool add_row(const std::uint8_t* pixels);

  // Ends the picture after its last row: the rest of the compressed rows and IEND become pending.
  // False when the compressor failed.
  bool finish();

  // The bytes made since the last clear_pending(), to be written out in order.
  std::span<const std::uint8_t> pending() const { return pending_; }
  void clear_pending() { pending_.clear(); }

 private:
  struct Deflate;
  PngOutput() = default;

  bool deflate_into_chunks(const std::uint8_t* bytes, std::size_t size, bool last);
  void add_chunk(const char* type, std::span<const std::uint8_t> data);

  std::uint32_t width_ = 0;
  std::uint32_t rows_left_ = 0;
  std::size_t channels_ = 0;
  // The stream is held by pointer: zlib's state points back at it, so it must not move.
  std::unique_ptr<Deflate> deflate_;
  // This row's and the row above's samples in the file's order, each after a pixel of zeros, so
  // that the left and upper-left neighbours of the first pixel read as zero, as the filter wants.
  std::vector<std::uint8_t> row_, above_;
  std::vector<std::uint8_t> filtered_;  // the filter's type byte, then the row filtered
  std::vector<std::uint8_t> chunk_;     // the next IDAT chunk's data, of which chunk_used_ bytes are made
  std::size_t chunk_used_ = 0;
  std::vector<std::uint8_t> pending_;
};
