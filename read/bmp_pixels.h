// The stored pixels of a picture that the BMP reader accepted, checked and decoded into BGR
// triples. The reader checks every picture that is not 24-bit uncompressed with check_pixels
// before it calls it one, so that decoding never meets a code it cannot place; the Win32 build
// also decodes the system loader's section with decode_pixels, through a BmpPicture that describes
// the section.
//
// Decoded rows: width triples each with no padding (3 * width bytes from row start to row start),
// in the file's stored order, as pack_rows takes them. A channel of fewer than 8 bits is widened
// by repeating its bits (5-bit 0x1F becomes 0xFF, 1-bit 1 becomes 0xFF); one of more than 8 bits
// keeps its top 8. Run-length codes are read bottom-up; pixels that no code reaches take the colour
// table's first entry (RunLengthWalk::clear_band).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "read/bmp_reader.h"

// Nullptr when every pixel can be decoded, or what is wrong: a colour past the table, a mask that
// is empty, has gaps, overlaps another or leaves the pixel, run-length codes that are cut short or
// reach past the picture. `bmp` holds the rows, colours and masks the reader found.
const char* check_pixels(const BmpPicture& bmp);

// Bytes of a picture's decoded rows: 3 * width * height, in 64 bits.
constexpr std::uint64_t decoded_size(std::uint32_t width, std::uint32_t height) {
  return std::uint64_t{width} * 3 * height;
}

// Decodes every pixel of a checked picture other than 24-bit (whose rows are read where they lie)
// into `out`, which holds decoded_size bytes: the row decoder over every stored row, or the
// run-length walk over every code.
void decode_pixels(const BmpPicture& bmp, std::span<std::uint8_t> out);

// Decodes a checked uncompressed picture of 1, 4, 8, 16 or 32 bits a band of stored rows at a
// time: each stored row stands alone, so a band can be read from wherever its rows lie.
class BmpRowDecoder {
 public:
  // Keeps the colours and the masks' tables; `bmp`'s rows are not read.
  explicit BmpRowDecoder(const BmpPicture& bmp);

  // `count` stored rows, `row_length` bytes apart from `rows` on, into `out` (count rows of 3 *
  // width bytes).
  void decode(const std::uint8_t* rows, std::uint32_t count, std::uint8_t* out) const;
  // Nullptr when every pixel of those rows names an entry of the colour table (always so above 8
  // bits), else what is wrong.
  const char* check(const std::uint8_t* rows, std::uint32_t count) const;

 private:
  std::uint32_t width_;
  std::uint32_t row_length_;
  std::uint16_t bits_;
  std::uint32_t colour_count_;
  std::array<BgrTriple, 256> colours_;
  std::array<std::array<std::uint8_t, 256>, 3> widened_{};  // red, green, blue
  std::array<std::uint32_t, 3> masks_{};
  std::array<int, 3> shifts_{};
};

// Run-length codes (RLE8, RLE4) walked forward, a band of stored rows at a time, from windows of the
// codes: a job reads them through windows of the file, a band at a time, and the whole picture is
// one band over all of its codes. The walk's state is a few numbers, so a job that needs the bands
// in another order keeps the state at each band's start from a first walk and resumes from it.
class RunLengthWalk {
 public:
  // Where the walk stands: the next pixel, and the next code's byte among the codes.
  struct State {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::uint64_t at = 0;
    bool ended = false;  // an end-of-picture code, or the codes' end, was reached
  };

  // `bmp` gives the size, the compression and the colours; the codes are `codes_length` bytes.
  RunLengthWalk(const BmpPicture& bmp, std::uint64_t codes_length);

  const State& state() const { return state_; }
  void resume(const State& state) { state_ = state; }
  // Nothing is left to walk before stored row `until`.
  bool reached(std::uint64_t until) const { return state_.ended || state_.y >= until; }

  // Walks codes from `window` (the codes from byte `window_at` on, holding the next code's byte)
  // until the walk reaches stored row `until` or the codes end, storing each pixel set in a row of
  // the band of stored rows from `first` on into `band` (3 * width bytes a row), or with a null
  // `band` only checking the colours against the table. Nullptr when it stopped there, or when the
  // window holds no whole next code and more codes follow (needs_codes() then says so); otherwise
  // what is wrong, with every bound checked before a read or a store.
  const char* walk(std::span<const std::uint8_t> window, std::uint64_t window_at, std::uint64_t until,
                   std::uint64_t first, std::uint8_t* band);

  bool needs_codes() const { return needs_codes_; }
  // Nullptr when every colour that a check walked so far names an entry of the colour table, else
  // what is wrong.
  const char* table_problem() const;
  // Gives every pixel of a band of `rows` stored rows the colour table's first entry, before a walk
  // stores the pixels its codes set: the pixels no code reaches (skipped by a delta, an early end of
  // line or of picture, or codes that simply stop) keep it, as the zero-filled section that the
  // system loader decodes them into shows them.
  void clear_band(std::uint8_t* band, std::uint32_t rows) const;

 private:
  std::uint32_t width_;
  std::uint32_t height_;
  bool four_bits_;
  std::uint32_t colour_count_;
  std::array<BgrTriple, 256> colours_;
  std::uint64_t codes_length_;
  State state_;
  bool needs_codes_ = false;
  bool inside_ = true;
};

// A window of run-length codes holds at least this much of them, or all that remain: the longest
// code, an absolute run of 255 pixels with its pad byte, and its two opening bytes.
inline constexpr std::uint64_t longest_code = 258;

// The alpha of each pixel of a checked 32-bit picture with an alpha mask, widened to 8 bits as the
// colours are, into `out` (width * height bytes, stored rows in stored order, no padding). False,
// and the picture opaque, when it has no alpha mask, the mask is empty, has gaps or overlaps a
// colour's, or every pixel's alpha is 0: writers that leave the alpha unused fill it with zeros.
bool decode_alpha(const BmpPicture& bmp, std::span<std::uint8_t> out);

// The same for `count` stored rows, `row_length` bytes apart from `rows` on, into `out` (width bytes
// a row): whether any of them is not zero, for a job that reads the picture a band at a time.
bool decode_alpha_rows(const BmpPicture& bmp, const std::uint8_t* rows, std::uint32_t count, std::uint8_t* out);
