// The transforms of a picture composed in their one order: laid upright (as its file's EXIF
// orientation says), crop, rotate, flip, resize (fitted to the size asked for), then lay the result
// over the background. The chain makes the transformed
// picture a band of rows at a time, top row first, as opaque BGR triples ready for the pixel-format
// stage, reading from its source only the pixels each band needs.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "files/failure.h"
#include "pixels/pixels.h"
#include "transform/crop.h"
#include "transform/fit.h"
#include "transform/orient.h"
#include "transform/region.h"
#include "transform/resize.h"

// How --resize takes each pixel: Mitchell-Netravali's cubic in linear light (resize.h), or the
// source pixel under its centre (nearest.h).
enum class ResizeFilter { mitchell, nearest };

struct Transforms {
  // What lays the stored picture upright, before everything else: the crop's coordinates, the turn
  // and the mirror are those of the upright picture.
  Orientation upright = {};
  std::optional<Rect> crop = std::nullopt;
  Rotation rotation = Rotation::none;
  Flip flip = Flip::none;
  std::optional<ResizeTo> resize = std::nullopt;
  Fit fit = Fit::contain;
  ResizeFilter filter = ResizeFilter::mitchell;

  bool any() const {
    return upright != Orientation{} || crop || rotation != Rotation::none || flip != Flip::none || resize;
  }
};

// The same transforms for the stored pixels of a width x height picture, with nothing to lay it
// upright: the crop made the stored pixels under the upright picture's crop, and the upright turn
// and mirror folded into the turn and mirror that follow it. Nothing when the crop reaches past the
// upright picture.
std::optional<Transforms> in_stored_pixels(const Transforms& transforms, std::uint32_t width, std::uint32_t height);

// The largest side --resize takes: far beyond any panel, and small enough that every count the
// resampler keeps fits its integers.
inline constexpr std::uint32_t largest_resize = 65535;

class TransformChain;
using ChainMade = std::variant<std::unique_ptr<TransformChain>, Failure>;

class TransformChain {
 public:
  // The chain over `source`, giving `band_rows` rows at a time at most (0 for as many as make about a
  // megabyte); or, in plain words, why the transforms do not apply to it (a crop that reaches past
  // it, a result too large, a quarter turn of more than `turned_limit` pixels, which it holds
  // whole: see orient.h). Throws BufferTooLarge (buffers.h) when its rows and tables find no
  // memory. `source` must outlive the chain. Besides a band of its result, it holds what the
  // resampler holds (resize.h) and what a turn holds (orient.h).
  static ChainMade make(RegionSource& source, const Transforms& transforms, BgrTriple background,
                        std::uint32_t band_rows = 0, std::uint64_t turned_limit = UINT64_MAX);

  std::uint32_t width() const { return canvas_width_; }
  std::uint32_t height() const { return canvas_height_; }
  std::uint32_t band_rows() const { return band_rows_; }
  // Writes the next `count` rows (at most the band's) into `triples`, width() * 3 bytes a row.
  // Allocates nothing, so that it can run over a file view.
  void next_rows(std::uint32_t count, std::uint8_t* triples);
  // The same rows as quads, transparency kept, for a format with alpha (or one that lays them over
  // the background itself): width() quads a row. The canvas around a fitted picture is the
  // background, opaque.
  void next_quads(std::uint32_t count, BgraQuad* quads);

 private:
  TransformChain() = default;

  std::vector<std::unique_ptr<RegionSource>> stages_;
  RegionSource* top_ = nullptr;
  Rect placed_;
  std::uint32_t canvas_width_ = 0;
  std::uint32_t canvas_height_ = 0;
  std::uint32_t band_rows_ = 0;
  BgrTriple background_{};
  std::uint32_t next_row_ = 0;
  std::vector<BgraQuad> quads_;
};

// "WxH+X+Y", as --crop takes it.
std::string crop_text(const Rect& rect);
