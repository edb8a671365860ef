// The PNG that unpack makes, written as its rows come so that a frame of any size takes a few
// megabytes of memory: 8 bits a sample, truecolour (RGB) or truecolour with straight alpha (RGBA),
// not interlaced, top row first. Each row takes the filter, of the five, whose bytes are smallest
// as signed numbers (the usual guess at what deflate packs best: None for flat drawings, Sub or Up
// for gradients, Paeth for photographs). The filtered rows are one zlib stream, cut into IDAT
// chunks of at most 64 KiB, deflated in segments of about a megabyte on the processor's cores at
// once: each segment is a run of deflate blocks ended on a byte (a sync flush), primed with the
// previous segment's last 32 KiB so that matches reach back across the cut, and the stream's
// checksum is the segments' checksums combined. The file holds the signature, IHDR, the IDAT chunks
// and IEND, nothing else: no gamma or colour profile, so a viewer shows the samples as they are.
//
// The bytes depend only on the pixels and zlib's version (the segments are cut at fixed sizes, not
// by how many cores there are): the same rows make the same file on every build that links the
// same zlib.
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
  // `segment_bytes` sets where the stream is cut: after the first row that brings a segment's
  // filtered rows to that many bytes (tests cut small pictures into many segments with it).
  static std::optional<PngOutput> begin(std::uint32_t width, std::uint32_t height, PngColour colour,
                                        std::size_t segment_bytes = std::size_t{1} << 20);

  PngOutput(PngOutput&&) noexcept;
  PngOutput& operator=(PngOutput&&) noexcept;
  PngOutput(const PngOutput&) = delete;
  PngOutput& operator=(const PngOutput&) = delete;
  ~PngOutput();

  // Adds the next row, top row first: width BGR triples or BGRA quads as the colour type says.
  // False when the compressor failed (it cannot but for lack of memory); the file is then
  // unusable. At most height rows. Compressed bytes may become pending some rows later.
  bool add_row(const std::uint8_t* pixels);

  // Ends the picture after its last row: the rest of the compressed rows and IEND become pending.
  // False when the compressor failed.
  bool finish();

  // The bytes made since the last clear_pending(), to be written out in order.
  std::span<const std::uint8_t> pending() const { return pending_; }
  void clear_pending() { pending_.clear(); }

 private:
  struct Segments;
  PngOutput() = default;

  // Hands the filtered rows gathered so far to a core as the next segment, taking in the
  // compressed segments that are ready (all of them when `last`). False when one failed.
  bool cut_segment(bool last);
  // Appends compressed bytes to the IDAT chunks, a chunk made pending whenever one fills.
  void add_stream_bytes(std::span<const std::uint8_t> bytes);
  void add_chunk(const char* type, std::span<const std::uint8_t> data);

  std::uint32_t width_ = 0;
  std::uint32_t rows_left_ = 0;
  std::size_t channels_ = 0;
  std::size_t segment_bytes_ = 0;
  // This row's and the row above's samples in the file's order, each after a pixel of zeros, so
  // that the left and upper-left neighbours of the first pixel read as zero, as the filters want.
  std::vector<std::uint8_t> row_, above_;
  // Each filter's row (its type byte, then the row filtered), to choose from.
  std::vector<std::uint8_t> filtered_[5];
  std::unique_ptr<Segments> segments_;
  std::vector<std::uint8_t> chunk_;  // the next IDAT chunk's data, of which chunk_used_ bytes are made
  std::size_t chunk_used_ = 0;
  std::vector<std::uint8_t> pending_;
};
