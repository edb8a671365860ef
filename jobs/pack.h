// Kestrin's Generate job, and rgb565 pack: a picture, loaded with the image loader, packed into a
// raw 16-bit image.
#pragma once

#include <cstdint>
#include <string>

#include "format/dither.h"
#include "format/word_format.h"
#include "job/job.h"
#include "pixels/pixels.h"
#include "read/image_loader.h"

enum class PackContainer {
  raw,      // the words alone
  c_array,  // a C header declaring them as an array
};

// Every default is the dialog's behaviour.
struct PackOptions {
  // The word layout and how levels are rounded; dithering takes the place of rounding to nearest.
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
};

Outcome pack(const JobPaths& paths, const PackOptions& options, JobProgress& progress);
