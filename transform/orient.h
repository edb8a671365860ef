// Rotate and flip: a picture turned clockwise by a quarter, a half or three quarters, then
// mirrored left to right (horizontal) or top to bottom (vertical).
//
// A half turn and the flips read, for each band of the result's rows, the band of the source's rows
// it mirrors. After a quarter turn a band of the result's rows is a band of the source's columns,
// which spans every row of the source: read from a file a band of rows at a time, each band of the
// result would read the whole file again. So a quarter turn holds the picture it turns (what the
// crop kept of it) whole, as quads, read once in order; the chain refuses one of more pixels than
// --max-pixels allows. A picture already held in memory (RegionSource::held) is not copied: each
// band of the result reads the band of its columns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "transform/region.h"

enum class Rotation { none, quarter, half, three_quarters };  // clockwise: 90, 180 and 270 degrees
enum class Flip { none, horizontal, vertical };

// A turn, then a mirror: one of the eight ways a rectangle can be laid back on itself.
struct Orientation {
  Rotation rotation = Rotation::none;
  Flip flip = Flip::none;

  friend bool operator==(const Orientation&, const Orientation&) = default;
};

inline bool sideways(Rotation rotation) {
  return rotation == Rotation::quarter || rotation == Rotation::three_quarters;
}

// What lays upright a picture whose file records EXIF orientation `tag` (1 to 8, see
// read/exif_orientation.h); any other value leaves it as stored.
Orientation upright_from_exif(std::uint32_t tag);

// `first` and then `second`, as one turn and mirror.
Orientation followed_by(Orientation first, Orientation second);

// The rectangle of a width x height picture that `orientation` lays on `rect` of its result.
Rect source_rect(const Rect& rect, std::uint32_t width, std::uint32_t height, Orientation orientation);

class Orient : public RegionSource {
 public:
  // Reads at most `most_pixels` pixels at once, or after a quarter turn the whole picture; what
  // takes them is allocated here (BufferTooLarge, buffers.h, when it cannot be).
  Orient(RegionSource& from, Rotation rotation, Flip flip, std::uint64_t most_pixels);

  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }
  void read(const Rect& rect, BgraQuad* out) override;

 private:
  RegionSource& from_;
  std::uint32_t width_;
  std::uint32_t height_;
  // Source pixel (x, y) of result pixel (i, j): x = x0 + xi * i + xj * j, y = y0 + yi * i + yj * j.
  std::int64_t x0_, xi_, xj_, y0_, yi_, yj_;
  // The source pixels read for one band; after a quarter turn the whole picture, once it is read.
  std::vector<BgraQuad> scratch_;
  bool whole_ = false;
  bool read_whole_ = false;
};
