// The PNG reader: a PNG file's pixels as BGRA quads with straight alpha (pixels.h), top row first,
// read from the file's bytes forward, a piece at a time.
//
// It takes every colour type at every bit depth the format allows (grey at 1, 2, 4, 8 and 16 bits,
// palette at 1 to 8, RGB, grey with alpha and RGBA at 8 and 16), the palette's alphas and the grey
// or RGB colour key of a tRNS chunk, Adam7 interlacing, the five row filters, and pixel data split
// over any number of IDAT chunks. Grey below 8 bits is widened to fill the byte (a 2-bit 1 is 85);
// 16-bit channels are rounded to 8 bits, (v * 255 + 32767) / 65535, after a colour key has been
// compared with the full 16 bits. Gamma and colour-profile chunks (gAMA, cHRM, sRGB, iCCP) are
// ignored: the samples are taken as they are stored, as the platforms' codecs take them. The eXIf
// chunk's bytes are kept as they are stored (the first one, up to max_exif_bytes).
//
// Every chunk's CRC is checked, whether or not its contents are used. The file is refused, with the
// reason in plain words, when its IHDR breaks the format's rules (no pixels, a depth its colour type
// does not have, a compression or filter method other than 0, an interlace method other than 0 or
// 1), when it is cut short or a chunk fails its CRC, when a critical chunk is unknown or out of its
// place, when a palette picture has no PLTE or names an entry past it, when a row has a filter type
// past 4, when zlib cannot inflate the pixels (zlib's own message), and when the compressed pixels
// end before the last row or run on past it. A picture of more pixels than the limit is refused
// before anything is inflated. Ancillary chunks the reader does not use are skipped.
//
// A picture stored row after row is given a band of rows at a time: inflate streams forward and
// only the row before is kept for the filters, so memory stays at a band of quads, two rows of the
// file and zlib's window whatever the picture's size; a walk can start again from the first row, or
// from a mark made between two rows on an earlier way down (zlib's state, its window among it, and
// the reader's), so that rows can be read upward a block at a time without inflating every row
// above them again. An interlaced picture's rows come only after its last pass, so it is read whole.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "files/byte_windows.h"
#include "files/failure.h"

// The eXIf bytes kept at most; a longer chunk is checked and skipped.
inline constexpr std::uint32_t max_exif_bytes = 1u << 20;

// True when `bytes` start with the PNG signature.
bool has_png_signature(std::span<const std::uint8_t> bytes);

class PngReader {
  struct Inflater;

  // Where the reading is: what a mark saves and a resume takes up again, besides zlib's state.
  struct Place {
    std::uint64_t pos = 0;  // in the file
    // What is left of the IDAT chunk being read, and its CRC so far.
    std::uint32_t idat_left = 0;
    std::uint32_t idat_crc = 0;
    // The start of the chunk after the IDAT chunks, read when they ended.
    std::uint32_t after_length = 0;
    std::uint32_t after_type = 0;
    std::uint32_t next_row = 0;
    bool idat_ended = false;
    // The IDAT chunk being read has been begun, so its CRC follows its data.
    bool in_idat = false;
  };

 public:
  // Reads the chunks up to the first IDAT. Nothing (monostate) when the file does not start with the
  // PNG signature; the refusal when it does but its header is not one that reads, or it declares
  // more than `pixel_limit` pixels. `bytes` must outlive the reader.
  static std::variant<std::monostate, PngReader, Failure> open(ByteWindows& bytes, std::uint64_t pixel_limit);

  PngReader(PngReader&&) noexcept;
  PngReader& operator=(PngReader&&) noexcept;
  ~PngReader();

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }
  bool interlaced() const { return interlaced_; }
  // The eXIf chunk's data as stored; one that follows the pixels is known once the last row is read.
  std::span<const std::uint8_t> exif() const { return exif_; }

  // The next `count` rows (not past the last) of a picture stored row after row, as quads, valid
  // until the next call. With the last row, the rest of the file is read and checked too.
  std::variant<std::span<const std::uint8_t>, Failure> next_rows(std::uint32_t count);
  // Starts again from the first row.
  std::optional<Failure> restart();

  // A place before a row of a picture stored row after row, to read on from later.
  class Mark {
   public:
    Mark(Mark&&) noexcept;
    Mark& operator=(Mark&&) noexcept;
    ~Mark();
    // The row read next from it.
    std::uint32_t row() const { return place_.next_row; }

   private:
    friend class PngReader;
    Mark();
    std::unique_ptr<Inflater> inflater_;
    std::vector<std::uint8_t> pending_;   // read from the file, not yet inflated
    std::vector<std::uint8_t> previous_;  // the row before, for the filters
    Place place_;
  };
  // The place before the next row; or the refusal when its copy of zlib's state finds no memory.
  std::variant<Mark, Failure> mark() const;
  // Reads on from `mark`, which this reader made.
  std::optional<Failure> resume(const Mark& mark);
  // The whole picture, interlaced or not, into `quads` (width * height of them), from the first row.
  std::optional<Failure> read_whole(std::span<std::uint8_t> quads);

 private:
  PngReader(ByteWindows& bytes);

  std::optional<Failure> read_header(std::uint64_t pixel_limit);
  // The bytes from `offset` on into `into`; bytes past the end are the PNG cut short.
  std::optional<Failure> read_bytes(std::uint64_t offset, std::span<std::uint8_t> into);
  // Reads a chunk's 8-byte length and type at place_.pos.
  std::optional<Failure> chunk_start(std::uint32_t& length, std::uint32_t& type);
  // Reads the rest of a chunk whose start was read (its data, into `kept` up to `keep` bytes, and
  // its CRC) and checks it.
  std::optional<Failure> chunk_rest(std::uint32_t length, std::uint32_t type, std::vector<std::uint8_t>* kept,
                                    std::uint32_t keep);
  // One row of `raw_bytes` bytes of the pixel data, its filter byte first, into row_.
  std::optional<Failure> inflate_row(std::size_t raw_bytes);
  // More IDAT data for inflate; false when the IDAT chunks have ended.
  std::variant<bool, Failure> feed();
  // Undoes a row's filter against the row before (all zeros for a pass's first row).
  std::optional<Failure> unfilter(std::size_t raw_bytes);
  // Turns a row of `count` pixels in row_ into quads.
  std::optional<Failure> to_quads(std::uint32_t count, std::uint8_t* quads) const;
  // After the last row: the compressed pixels end there, and the chunks up to IEND are sound.
  std::optional<Failure> finish();
  std::optional<Failure> allocate_rows(std::uint32_t widest);
  std::uint64_t raw_row_bytes(std::uint32_t pixels) const;

  ByteWindows* bytes_;
  Place place_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint8_t depth_ = 0;
  std::uint8_t colour_type_ = 0;
  bool interlaced_ = false;
  std::uint8_t channels_ = 0;
  // Palette entries, and for a colour key, the key's samples (grey, or red, green, blue).
  std::vector<std::uint8_t> palette_;
  std::vector<std::uint8_t> palette_alpha_;
  std::optional<std::uint16_t> key_[3];
  std::vector<std::uint8_t> exif_;

  std::unique_ptr<Inflater> inflater_;
  // Where the first IDAT chunk starts.
  std::uint64_t idat_start_ = 0;
  // Why the pixel data ended before the last row, once a chunk other than IDAT has come.
  Failure pixel_data_ended();
  std::vector<std::uint8_t> input_;
  // The row being read and the row before it, each with its filter byte first.
  std::vector<std::uint8_t> row_;
  std::vector<std::uint8_t> previous_;
  std::vector<std::uint8_t> band_;
};
