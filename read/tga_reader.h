// The TGA reader: a TGA file's pixels as BGRA quads with straight alpha (pixels.h), top row first,
// from the file's bytes.
//
// It takes uncompressed and run-length coded pictures of the three kinds: colour-mapped with 8-bit
// indices into a map of 15, 16, 24 or 32-bit entries, grey of 8 bits, and true colour of 15, 16, 24
// or 32 bits. Rows are stored bottom row first unless bit 5 of the descriptor says top first, and
// each row right to left when bit 4 is set; both are undone here. The descriptor's count of alpha
// bits decides whether the picture has alpha: a 32-bit pixel's fourth byte is its alpha only when
// the descriptor names 8 alpha bits, a 16-bit pixel's top bit (the attribute) only when it names 1
// (set is opaque); otherwise the picture is opaque. Five-bit channels are widened by rounding,
// (v * 255 + 15) / 31. Run-length packets may run on from one row to the next, as the format allows.
//
// A TGA has no signature: a file is taken for one when its 18-byte header is plausible (a known
// image type with a colour map where it needs one, a depth that type has, no pixels left out) and
// the file holds at least its identification field and colour map. Such a file is refused, with the
// reason in plain words, when its pixel data or a run is cut short, when an index falls outside the
// colour map, or when it declares more pixels than the limit (before anything is decoded).
//
// Any row reads on its own, in any order, once the pixels are checked: an uncompressed row lies at
// its place, and the check notes where each run-length coded row starts (a packet, and the pixels
// of it that the rows before took), so that a band of rows is decoded without the rows before it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "files/failure.h"

// Whether `start`, a file's first bytes, is a TGA's plausible header (see above). With `file_size`,
// also that the file is an uncompressed picture whose pixels end it exactly, with or without the
// TGA 2.0 footer: what tells a TGA from raw data that happens to start alike.
bool looks_like_tga(std::span<const std::uint8_t> start, std::optional<std::uint64_t> file_size = std::nullopt);

class TgaReader {
 public:
  // Nothing (monostate) when `bytes` do not look like a TGA; the refusal when they do but the
  // picture does not read, or declares more than `pixel_limit` pixels. `bytes` must outlive the reader.
  static std::variant<std::monostate, TgaReader, Failure> open(std::span<const std::uint8_t> bytes,
                                                               std::uint64_t pixel_limit);

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }
  // Walks the stored pixels once: the refusal of pixels or runs cut short, or of an index outside
  // the colour map; for run-length coded pixels, notes where each stored row starts.
  std::optional<Failure> check();
  // The whole picture into `quads` (width * height of them), top row first, checked first.
  std::optional<Failure> read_whole(std::span<std::uint8_t> quads);
  // `count` rows from top row `top` on, into `quads` (width * count of them); once checked.
  void read_rows(std::uint32_t top, std::uint32_t count, std::uint8_t* quads) const;
  // `count` pixels of top row `y` from column `x` on, into `quads`; once checked.
  void read_part(std::uint32_t y, std::uint32_t x, std::uint32_t count, std::uint8_t* quads) const;
  // Each row lies at its place in the file (uncompressed): a part of a row reads as cheaply as its
  // pixels, a column of the picture as cheaply as a row.
  bool rows_in_place() const { return !run_length_; }

 private:
  // Where a run-length coded row's first pixel lies: in the packet at byte `packet`, after `taken`
  // of its pixels went to the rows before.
  struct RowStart {
    std::uint64_t packet;
    std::uint32_t taken;
  };

  TgaReader() = default;
  // One stored pixel at `from` as a quad.
  void quad_of(const std::uint8_t* from, std::uint8_t* quad) const;

  std::span<const std::uint8_t> bytes_;
  std::span<const std::uint8_t> map_;  // the colour map's entries, from the first index on
  std::vector<RowStart> row_starts_;   // each stored row's, once checked; run-length coded only
  std::uint64_t pixels_at_ = 0;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint32_t map_first_ = 0;
  std::uint32_t map_length_ = 0;
  std::uint8_t map_bits_ = 0;
  std::uint8_t kind_ = 0;  // 1 colour-mapped, 2 true colour, 3 grey
  std::uint8_t depth_ = 0;
  bool run_length_ = false;
  bool top_first_ = false;
  bool right_to_left_ = false;
  bool alpha_ = false;
};
