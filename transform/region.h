// The transform stage: pictures that a chain of transforms (crop, rotate and flip, resize) reads a
// rectangle at a time, so that a transformed picture is made a band of rows at a time from only the
// source pixels that band needs. Pixels are BGRA quads with straight alpha (see pixels.h); every
// picture here is seen top row first, x to the right and y down, whatever the order its file
// stores its rows in.
#pragma once

#include <cstdint>

#include "pixels/pixels.h"

struct Rect {
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;

  friend bool operator==(const Rect&, const Rect&) = default;
};

class RegionSource {
 public:
  virtual ~RegionSource() = default;
  virtual std::uint32_t width() const = 0;
  virtual std::uint32_t height() const = 0;
  // Writes the pixels of `rect` into `out`, row after row with no gap: rect.width * rect.height
  // quads. The rectangle lies inside the picture and holds no more pixels than the stage was made
  // to give at once. Allocates nothing, so that it can run over a file view (see view_access.h).
  virtual void read(const Rect& rect, BgraQuad* out) = 0;
  // Every pixel is in memory already (a picture decoded whole, or a crop of one): a rectangle of
  // any shape reads as cheaply as a band of rows, so a stage above needs no copy of it.
  virtual bool held() const { return false; }
};
