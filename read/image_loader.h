// The image loader: a BMP file loaded into memory as a picture whose stored rows a job can walk.
// The Win32 build loads it with the system's loader as a device-independent section; other builds
// read the file and find its rows with the BMP reader. Either way the rows come in the file's
// stored order (the first stored row first: the bottom row of a bottom-up file, the top row of a
// top-down one) as BGR triples, and both builds give the same pixels for the same file. A 24-bit
// uncompressed picture's rows are read where they lie; any other picture is decoded once, into one
// block of triples that the picture owns (see bmp_pixels.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "codecs/image_codecs.h"
#include "files/failure.h"
#include "files/file_view.h"
#include "files/owned.h"
#include "pixels/pixels.h"
#include "read/bmp_reader.h"

// The most pixels a compressed picture (run-length coded BMP, PNG, JPEG, GIF) may declare unless the
// user raises it: a file of a few bytes can declare billions of pixels, each to be decoded and
// written, and no picture a panel shows comes near this. Uncompressed BMPs are bounded by their
// file's own length.
inline constexpr std::uint64_t default_pixel_limit = 178'956'970;

// What the reader's verdict on a file means for loading it: nullopt for a picture to convert. A
// run-length coded picture of more than `pixel_limit` pixels is refused.
std::optional<Failure> failure_of(const BmpPicture& bmp, std::uint64_t pixel_limit);

// A bitmap handle of the system's loader (Win32); never held elsewhere.
struct BitmapPolicy {
  using Handle = void*;
  static Handle empty() { return nullptr; }
  static void release(Handle bitmap);
};

class LoadedPicture;
using PictureLoad = std::variant<LoadedPicture, Failure>;

class LoadedPicture {
 public:
  static PictureLoad load(const char* path, std::uint64_t pixel_limit = default_pixel_limit);
  // The picture of a PNG, JPEG or TIFF file, decoded into BGRA quads with straight alpha that the
  // picture owns, top row first: a PNG by the PNG reader (png_reader.h), the others by the
  // platform's codecs, a PNM or a TGA by its reader (pnm_reader.h, tga_reader.h), a TIFF by the
  // codecs too. Nullopt when the file cannot be read or starts as a BMP: the BMP loader's refusal
  // then stands; a file of any other kind is refused as not a picture that is read. A JPEG is decoded at the reduction
  // `reduce` chooses (image_codecs.h).
  static std::optional<PictureLoad> load_with_codecs(const char* path, std::uint64_t pixel_limit = default_pixel_limit,
                                                     const DecodeReduction& reduce = {});
  // The same, of the file that `view` holds (mapped whole first, when it is not), which stays the
  // caller's: the picture owns its decoded pixels. The file is no BMP: its first bytes said so.
  static PictureLoad load_with_codecs(FileView& view, std::uint64_t pixel_limit, const DecodeReduction& reduce = {});

  // Holds `view`'s file until the picture is released, as a loaded BMP holds its own: an output that
  // replaces it waits until it is read.
  void keep_file(FileView view) { file_ = std::move(view); }

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }  // rows
  std::uint32_t row_length() const { return row_length_; }
  bool top_down() const { return top_down_; }  // the first stored row is the top row
  // The picture is its file's reduced to 1/reduced() in each side (a JPEG decoded reduced), else 1.
  std::uint32_t reduced() const { return reduced_; }
  // The rows hold BGRA quads (pixels.h), 4 bytes a pixel, rather than triples: a codec's picture,
  // whose transparency a format with alpha keeps and any other lays over a background.
  bool quads() const { return quads_; }
  // A 32-bit BMP's alpha, a byte a pixel, stored rows in stored order with no padding; empty for
  // an opaque picture. A format with alpha keeps it; any other ignores it, as the dialogs do.
  std::span<const std::uint8_t> alpha() const { return {alpha_.get(), alpha_ ? std::size_t{width_} * height_ : 0}; }
  // From the first stored row on; holds at least rows_extent(row_length, width, height) bytes, or
  // for quads row_length * height.
  std::span<const std::uint8_t> rows() const { return rows_; }

 private:
  LoadedPicture() = default;

  // The picture of the PNG `file`, read whole; nullopt when it is not a PNG.
  std::optional<PictureLoad> load_png(std::span<const std::uint8_t> file, std::uint64_t pixel_limit);
  // The picture that a reader of ours found in file_, read whole; nullopt when it found none.
  template <typename Reader>
  std::optional<PictureLoad> load_whole(std::variant<std::monostate, Reader, Failure> found);
  // Decodes `bmp`'s pixels into decoded_ and points the rows at them.
  std::optional<Failure> decode(const BmpPicture& bmp);
  // Keeps `bmp`'s alpha, when it has any, in alpha_: from the file's own rows, which on Win32 the
  // system's section may not hold as they are.
  std::optional<Failure> keep_alpha(const BmpPicture& bmp);
  // Takes `pixels` (width * height triples, or quads, with no row padding) as the picture's rows.
  void adopt(std::unique_ptr<std::uint8_t[]> pixels, std::uint32_t width, std::uint32_t height, bool top_down,
             bool quads = false);

  // What holds the rows, released when the picture goes: the Win32 build's bitmap section, or
  // elsewhere a read-only view of the file itself; or the decoded triples of either.
  Owned<BitmapPolicy> section_;
  std::optional<FileView> file_;
  // Decoded triples, allocated once: a BMP of another depth than 24 bits, or a codec picture.
  std::unique_ptr<std::uint8_t[]> decoded_;
  std::unique_ptr<std::uint8_t[]> alpha_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint32_t row_length_ = 0;
  bool top_down_ = false;
  bool quads_ = false;
  std::uint32_t reduced_ = 1;
  std::span<const std::uint8_t> rows_;
};
