// Kestrin's Generate job, and rgb565 pack: a picture, loaded with the image loader, packed into a
// raw 16-bit image.
#pragma once

#include <cstdint>
#include <string>

#include "format/dither.h"
#include "format/pixel_format.h"
#include "format/word_format.h"
#include "job/job.h"
#include "pixels/pixels.h"
#include "read/image_loader.h"
#include "transform/chain.h"

enum class PackContainer {
  raw,      // the words alone
  c_array,  // a C header declaring them as an array
};

// Every default is the dialog's behaviour.
struct PackOptions {
  // The word layout and how levels are rounded; dithering takes the place of rounding to nearest,
  // and of mono1's threshold. Formats whose channels have 8 bits, and the indexed ones, have no
  // levels to dither and ignore it.
  WordFormat format;
  Dither dither = Dither::none;
  // The picture's top row first in the raw image, instead of the file's stored order.
  bool top_down = false;
  // Read PNG, JPEG and GIF pictures through the platform's codecs too, their transparent pixels over
  // `background`. The dialogs keep to BMPs.
  bool codecs = false;
  BgrTriple background{0, 0, 0};
  // The most pixels a compressed picture (run-length coded BMP, PNG, JPEG, GIF) may have.
  std::uint64_t pixel_limit = default_pixel_limit;
  PackContainer container = PackContainer::raw;
  // The C header's array name.
  std::string c_array;
  // The C array's elements: RGB565's 16-bit words, or the output's bytes (the only choice for the
  // other formats), and text placed after the array's name (an attribute, a section).
  bool c_bytes = false;
  std::string c_attribute;
  // The pixel format; every option above keeps its meaning for rgb565, the dialogs' own. Alpha is
  // straight unless premultiplied; mono1 lights pixels whose luma reaches the threshold, in rows or
  // in 8-row pages.
  PixelFormat pixel_format = PixelFormat::rgb565;
  // An LVGL 9 image: its 12-byte header before the raw bytes, or with c_array C source declaring an
  // lv_image_dsc_t. Its rows are the picture's top row first.
  bool lvgl = false;
  bool premultiply = false;
  std::uint8_t threshold = 128;
  bool pages = false;
  // Write the output as it is made, a band of rows at a time, with the input still open: a BMP
  // then takes a few megabytes whatever its size. The input and the output must then be different
  // files, and "Saving" comes before the conversion. Pictures of the codecs are converted whole as
  // the dialogs do, and so is a bottom-up picture written top row first with diffusion into RGB565,
  // whose errors run in stored order; into another format, such a picture's colour plane is held
  // whole until its last band is made.
  bool stream = false;
  // Rows to a band when streaming; 0 for as many as fit about a megabyte.
  std::uint32_t band_rows = 0;
  // Crop, rotate, flip and resize, in that order, before the levels are chosen. A transformed
  // picture is a new picture whose rows are stored top row first, so `top_down` makes no difference
  // to it; it is laid over `background` wherever it is transparent or does not cover the result.
  // It is made a band of rows at a time, from a picture loaded as the dialogs load it.
  Transforms transforms;
};

Outcome pack(const JobPaths& paths, const PackOptions& options, JobProgress& progress);
