// Kestrin's Generate job, and rgb565 pack: a picture, loaded with the image loader, packed into a
// raw 16-bit image.
#pragma once

#include <cstdint>
#include <string>

#include "containers/pack_container.h"
#include "format/dither.h"
#include "format/pixel_format.h"
#include "format/word_format.h"
#include "job/job.h"
#include "pixels/pixels.h"
#include "read/image_loader.h"
#include "transform/chain.h"

// Every default is the dialog's behaviour.
struct PackOptions {
  // The word layout and how levels are rounded; dithering takes the place of rounding to nearest,
  // and of mono1's threshold. Formats whose channels have 8 bits, and the indexed ones, have no
  // levels to dither and ignore it.
  WordFormat format;
  Dither dither = Dither::none;
  // The picture's top row first in the raw image, instead of the file's stored order.
  bool top_down = false;
  // Read PNG, JPEG and GIF pictures too (a PNG with the PNG reader, the others through the
  // platform's codecs), their transparent pixels over `background`. The dialogs keep to BMPs.
  bool codecs = false;
  BgrTriple background{0, 0, 0};
  // The most pixels a compressed picture (run-length coded BMP, PNG, JPEG, GIF) may have.
  std::uint64_t pixel_limit = default_pixel_limit;
  // What goes around the format's bytes: nothing, a C array of RGB565's words or of the output's
  // bytes, or an LVGL 9 image (its header, or C source declaring an lv_image_dsc_t), whose rows
  // are the picture's top row first. The C array's name, and text placed after it (an attribute,
  // a section).
  ContainerKind container = ContainerKind::raw;
  std::string c_array;
  std::string c_attribute;
  // The pixel format; every option above keeps its meaning for rgb565, the dialogs' own. Alpha is
  // straight unless premultiplied; mono1 lights pixels whose luma reaches the threshold, in rows or
  // in 8-row pages.
  PixelFormat pixel_format = PixelFormat::rgb565;
  bool premultiply = false;
  std::uint8_t threshold = 128;
  bool pages = false;
  // Write the output as it is made, a band of rows at a time, with the input still open: a BMP
  // then takes a few megabytes whatever its size. The input and the output must then be different
  // files, and "Saving" comes before the conversion. A PNG stored row after row is read a band at
  // a time too; an interlaced one, a JPEG and a GIF are decoded whole. A bottom-up picture written
  // top row first with diffusion, whose errors run in stored order, has its colour plane held
  // whole until its last band is made.
  bool stream = false;
  // Rows to a band when streaming; 0 for as many as fit about a megabyte.
  std::uint32_t band_rows = 0;
  // Crop, rotate, flip and resize, in that order, before the levels are chosen. A transformed
  // picture is a new picture whose rows are stored top row first, so `top_down` makes no difference
  // to it; it is laid over `background` wherever it is transparent or does not cover the result.
  // It is made a band of rows at a time, from a BMP read through windows of its file (a picture of
  // the codecs decoded whole); a quarter turn holds what it turns, up to `pixel_limit` pixels.
  Transforms transforms;
  // Which frames of an animated GIF are packed: frame `frame`, counted from 1 (the first, as a
  // viewer shows it before it moves, by default), or with `all_frames` every frame, one after
  // another, each composed as a viewer shows it and packed as a picture of its own. A still picture
  // has one frame.
  std::uint32_t frame = 1;
  bool all_frames = false;
};

Outcome pack(const JobPaths& paths, const PackOptions& options, JobProgress& progress);
