// The TIFF reader for pictures with an alpha channel: grey and alpha, or RGB and alpha, at 8 or 16
// bits a sample, in strips, stored plain or compressed by LZW, Deflate or PackBits, with or without
// the horizontal predictor; alpha associated (colours stored multiplied by it) or unassociated. The
// platforms' codecs read these differently from each other and from every other reader (one drops a
// grey picture's alpha, one rounds unassociated colours through 8-bit premultiplied ones), so they
// are read here, as ImageMagick and libtiff's tools read them. Any other TIFF is not taken, and goes
// to the codecs.
//
// Pixels come as BGRA quads with straight alpha (pixels.h), in the file's stored order, top row
// first: the Orientation tag is applied afterwards, as it is to the codecs' TIFFs. 16-bit samples
// are scaled to 8 bits by rounding, (v * 255 + 32767) / 65535; an associated colour is divided by
// its alpha from the samples as stored, rounded down at 8 bits and to the nearest at 16, as
// ImageMagick reads them (and Pillow, which reads 8 bits alone).
//
// A TIFF it takes is refused, with the reason in plain words, when a strip lies outside the file,
// is cut short or does not decompress, or when it declares more pixels than the limit.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "files/failure.h"

class TiffReader {
 public:
  // Nothing (monostate) when `bytes` are not a TIFF of the kind above; the refusal when they are
  // but its strips do not lie in the file, or it declares more than `pixel_limit` pixels. `bytes`
  // must outlive the reader.
  static std::variant<std::monostate, TiffReader, Failure> open(std::span<const std::uint8_t> bytes,
                                                                std::uint64_t pixel_limit);

  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }

  // The whole picture into `quads` (width * height of them), top row first.
  std::optional<Failure> read_whole(std::span<std::uint8_t> quads) const;

 private:
  TiffReader() = default;

  struct Strip {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
  };

  std::span<const std::uint8_t> bytes_;
  std::vector<Strip> strips_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint32_t rows_per_strip_ = 0;
  std::uint32_t samples_ = 2;  // 2: grey and alpha; 4: RGB and alpha
  std::uint32_t bits_ = 8;     // 8 or 16
  std::uint32_t compression_ = 1;
  bool big_endian_ = false;
  bool predictor_ = false;   // horizontal differencing
  bool associated_ = false;  // colours stored multiplied by alpha
};
