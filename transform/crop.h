// Crop: the rectangle of a picture that the crop keeps, as a picture of its own.
#pragma once

#include "transform/region.h"

class Crop : public RegionSource {
 public:
  // `kept` lies inside `from`.
  Crop(RegionSource& from, const Rect& kept);

  std::uint32_t width() const override { return kept_.width; }
  std::uint32_t height() const override { return kept_.height; }
  void read(const Rect& rect, BgraQuad* out) override;
  bool held() const override { return from_.held(); }

 private:
  RegionSource& from_;
  Rect kept_;
};

// Whether `rect` is a crop of a width x height picture: not empty, and inside it.
bool crop_fits(const Rect& rect, std::uint32_t width, std::uint32_t height);
