// Kestrin's Generate job, and rgb565 pack: a picture, loaded with the image loader, packed into a
// raw 16-bit image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "containers/pack_container.h"
#include "format/dither.h"
#include "format/pixel_format.h"
#include "format/word_format.h"
#include "job/job.h"
#include "pixels/pixels.h"
#include "read/image_loader.h"
#include "transform/chain.h"

struct TileSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// Every default is the dialog's behaviour.
// The default of PackOptions::output_limit: 1 GiB, more than the largest picture of the default pixel
// limit in the widest format (715.8 MB).
inline constexpr std::uint64_t default_output_limit = std::uint64_t{1} << 30;

enum class RowOrder { stored, top_down, bottom_up };

// Whether rows of a source stored top row first (or not) are written last stored row first.
inline bool reverses_rows(RowOrder rows, bool stored_top_down) {
  return rows == RowOrder::top_down ? !stored_top_down : rows == RowOrder::bottom_up && stored_top_down;
}

struct PackOptions {
  // The word layout and how levels are rounded; dithering takes the place of rounding to nearest,
  // and of mono1's threshold, and mixes an indexed format's palette entries. Formats whose channels
  // have 8 bits have no levels to dither and ignore it.
  WordFormat format;
  Dither dither = Dither::none;
  // The order of the raw image's rows: as the file stores them (the dialogs' order: a BMP's bottom
  // row first, unless the BMP is stored top-down), the top row first, or the bottom row first.
  RowOrder rows = RowOrder::stored;
  // How the front end runs the job. With codecs, a picture's transparent pixels are laid over
  // `background`. When streaming, a PNG stored row after row is read a band at a time too; an
  // interlaced one, a JPEG and a GIF are decoded whole. A bottom-up picture written top row first
  // with diffusion, whose errors run in stored order, has its colour plane held whole until its
  // last band is made.
  JobSwitches switches;
  BgrTriple background{0, 0, 0};
  // For a format that keeps no alpha: pixels of alpha below this become the background, the others
  // their own colour, opaque and unblended, as a sprite whose key colour marks the pixels not drawn
  // needs them (a blend would give its soft edges a fringe of the key colour). 0 blends each pixel
  // with the background in proportion to its alpha.
  std::uint8_t alpha_threshold = 0;
  // The most pixels a compressed picture (run-length coded BMP, PNG, JPEG, GIF, TIFF, TGA, PNM) may
  // have.
  std::uint64_t pixel_limit = default_pixel_limit;
  // The most bytes of pixels one output may hold, as the raw image of it would: rows with their
  // padding and palettes, all frames and tiles together, before any compression. A picture within
  // the pixel limit never comes near the default; the frames of an animation can (a 23 KB GIF of a
  // thousand frames on a 4096 x 4096 screen asks for 33.5 GB of RGB565), and are refused before anything is made.
  std::uint64_t output_limit = default_output_limit;
  // What goes around the format's bytes: nothing, a C array of RGB565's words or of the output's
  // bytes, or an LVGL 9 image (its header, or C source declaring an lv_image_dsc_t), whose rows
  // are the picture's top row first. The C array's name, and text placed after it (an attribute,
  // a section).
  ContainerKind container = ContainerKind::raw;
  std::string c_array;
  std::string c_attribute;
  // Each row padded with zeros to a multiple of `align` bytes, in every container; an LVGL image's
  // data compressed (the image then held whole until it is written).
  std::uint32_t align = 1;
  LvglCompression compression = LvglCompression::none;
  // The pixel format; every option above keeps its meaning for rgb565, the dialogs' own. Alpha is
  // straight unless premultiplied; mono1 lights pixels whose luma reaches the threshold, in rows or
  // in 8-row pages.
  PixelFormat pixel_format = PixelFormat::rgb565;
  bool premultiply = false;
  std::uint8_t threshold = 128;
  bool pages = false;
  // The order of a sub-byte format's pixels in a byte; nullopt for the format's own.
  std::optional<BitOrder> bit_order;
  // The indexed formats' palette, opaque colours in the order to store them (at most the format's
  // entries; the rest are stored zero); empty for the median cut of the picture's own colours.
  std::vector<BgraQuad> palette;
  // Crop, rotate, flip and resize, in that order, before the levels are chosen. A transformed
  // picture is a new picture whose rows are stored top row first, so `top_down` makes no difference
  // to it; it is laid over `background` wherever it is transparent or does not cover the result.
  // It is made a band of rows at a time, from a BMP read through windows of its file (a picture of
  // the codecs decoded whole); a quarter turn holds what it turns, up to `pixel_limit` pixels.
  Transforms transforms;
  // Lay a JPEG, PNG or TIFF upright as its EXIF orientation says, before the transforms (whose
  // coordinates are then the upright picture's); false keeps the pixels as the file stores them.
  bool upright = true;
  // The picture, after the transforms, cut into tiles of this size, left to right and top to bottom,
  // each packed as a picture of its own and written one after another, as one tall picture of the
  // tiles stacked would be: one palette for them all, mono1's pages within each tile. Cutting reads
  // the picture through the transform chain, a row of tiles at a time.
  std::optional<TileSize> tiles;
  // Which frames of an animated GIF are packed: frame `frame`, counted from 1 (the first, as a
  // viewer shows it before it moves, by default), or with `all_frames` every frame, one after
  // another, each composed as a viewer shows it and packed as a picture of its own. A still picture
  // has one frame.
  std::uint32_t frame = 1;
  bool all_frames = false;
};

Outcome pack(const JobPaths& paths, const PackOptions& options, JobProgress& progress);
