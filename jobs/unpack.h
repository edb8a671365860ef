// Talvose's Generate job, and rgb565 unpack: a raw 16-bit image of the 568 x 130 frame, or of any
// size given, back into a 24-bit BMP with a 58-byte header.
#pragma once

#include <cstdint>

#include "format/pixel_format.h"
#include "format/word_format.h"
#include "job/job.h"

// Every default is the dialog's behaviour.
struct UnpackOptions {
  WordFormat format;
  // The raw image's first row is the picture's top row.
  bool top_down = false;
  // How the front end runs the job: with codecs, a PNG (see containers/png_output.h) when the
  // output's name ends in .png; when streaming, the BMP or PNG is written a band at a time as it is
  // made, the input read a window at a time, so that a frame of any size takes a few megabytes.
  JobSwitches switches;
  // Refuse an input that is recognisably a picture (a BMP, PNG, JPEG, GIF, TIFF, PNM or TGA), which the command line
  // takes for swapped arguments; Talvose converts whatever its user picked.
  bool refuse_pictures = false;
  // The frame's size in pixels; 0 x 0 is Talvose's 568 x 130.
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // Take the size the probe guesses from the input's content instead (see jobs/probe.h), and with
  // guess_bytes the byte order too; refuse an input whose best guess is not clearly ahead.
  bool guess_size = false;
  bool guess_bytes = false;
  // The size is guessed because none was given: an LVGL image is then read by its header with
  // nothing said, and the options that place raw rows, which a guess does not take, are refused.
  bool size_implied = false;
  // Take the pixel format the probe guesses too, instead of pixel_format.
  bool guess_format = false;
  // The raw image's pixel format; every option above keeps its meaning for rgb565, the dialog's
  // own. mono1 in 8-row pages; colours premultiplied by their alpha, to be divided by it again.
  PixelFormat pixel_format = PixelFormat::rgb565;
  bool pages = false;
  // The order of a sub-byte format's pixels in a byte; nullopt for the format's own.
  std::optional<BitOrder> bit_order;
  bool premultiplied = false;
  // Take the size and format from an LVGL image's header when the input starts with one.
  bool lvgl_header = false;
  // Each raw row padded to a multiple of this many bytes (containers/row_stride.h); an LVGL image's
  // header gives its own.
  std::uint32_t align = 1;
  // The raw image holds this many frames of the size one after another, each written to a picture
  // of its own named after the output, its number from 000 before the extension (out-000.png);
  // 0 for one picture named as the output.
  std::uint32_t frames = 0;
  // Where the raw image starts in the input (past a dump's header), and how many bytes apart its
  // rows (mono1's pages) start, 0 for as --align pads them. A raw image placed so is not taken for an
  // LVGL image.
  std::uint64_t offset = 0;
  std::uint64_t stride = 0;
};

Outcome unpack(const JobPaths& paths, const UnpackOptions& options, JobProgress& progress);
