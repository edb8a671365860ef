// The PNM reader: a PBM, PGM, PPM or PAM file's pixels as BGRA quads with straight alpha
// (pixels.h), top row first, from the file's bytes.
//
// It takes P1 and P4 (bitmaps, 1 is black), P2 and P5 (grey), P3 and P6 (colour), text and binary,
// with any maximum value from 1 to 65535 (two bytes a sample, high byte first, above 255), and P7
// (PAM) with the tuple types BLACKANDWHITE (1 is white), GRAYSCALE and RGB, each optionally with
// _ALPHA; a PAM without a tuple type is taken by its depth (1 grey, 2 grey and alpha, 3 RGB, 4 RGBA).
// Samples are scaled to 8 bits by rounding, (v * 255 + maxval / 2) / maxval. Comments (from '#' to
// the end of the line) are skipped between the header's fields. Only the first picture of a file
// that holds several is read.
//
// A file is one when it starts with 'P' and a kind's digit. It is refused, with the reason in plain
// words, when its header is broken (a field missing or out of range, a PAM line it does not know),
// when its samples are cut short, when a sample exceeds the maximum value, or when it declares more
// pixels than the limit (before anything is read).
//
// Any row reads on its own, in any order, once the samples are checked: a binary row lies at its
// place, and the check notes where each row of text samples starts.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "files/failure.h"

// Whether `start`, a file's first bytes, opens a PNM: 'P', a kind's digit and whitespace, then (past
// comments) the width's first digit, or for a PAM a header line.
bool has_pnm_signature(std::span<const std::uint8_t> start);

class PnmReader {
 public:
  // Nothing (monostate) when `bytes` do not start as a PNM; the refusal when they do but the header
  // does not read, or declares more than `pixel_limit` pixels. `bytes` must outlive the reader.
  static std::variant<std::monostate, PnmReader, Failure> open(std::span<const std::uint8_t> bytes,
                                                               std::uint64_t pixel_limit);

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }
  // "PBM", "PGM", "PPM" or "PAM", for the reasons of a refusal.
  const char* kind() const;

  // Walks the samples once: the refusal of samples cut short, of text that is not a sample, or of a
  // sample above the maximum value; for text samples, notes where each row starts.
  std::optional<Failure> check();
  // The whole picture into `quads` (width * height of them), top row first, checked first.
  std::optional<Failure> read_whole(std::span<std::uint8_t> quads);
  // `count` rows from top row `top` on, into `quads` (width * count of them); once checked.
  void read_rows(std::uint32_t top, std::uint32_t count, std::uint8_t* quads) const;
  // `count` pixels of top row `y` from column `x` on, into `quads`; once checked.
  void read_part(std::uint32_t y, std::uint32_t x, std::uint32_t count, std::uint8_t* quads) const;
  // Each row lies at its place in the file (binary samples): a part of a row reads as cheaply as its
  // pixels, a column of the picture as cheaply as a row.
  bool rows_in_place() const { return magic_ >= '4'; }

 private:
  PnmReader() = default;
  // Pixels `first` to `first + count` of the row whose samples start at `at`, into `to`; `at` then
  // past the samples read (past the row, when it is read whole); or why its samples do not read.
  std::optional<Failure> read_row(std::uint64_t& at, std::uint32_t first, std::uint32_t count, std::uint8_t* to) const;
  // Where row `y`'s samples start.
  std::uint64_t row_at(std::uint32_t y) const;

  std::span<const std::uint8_t> bytes_;
  std::vector<std::uint64_t> row_starts_;  // each row's, once checked; text samples only
  std::uint64_t pixels_at_ = 0;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint32_t maxval_ = 1;
  std::uint32_t depth_ = 1;  // samples a pixel
  char magic_ = '1';
  bool bitmap_ = false;  // samples are 0/1 with 1 black (PBM)
  bool alpha_ = false;   // the last sample is alpha
};
