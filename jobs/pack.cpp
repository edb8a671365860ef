// Kestrin's Generate job: a BMP, loaded with the image loader, packed into a raw 16-bit
// image. The loader reports the stored row length, so pictures of any width convert. From the
// command line the same job takes the options of JobOptions: the word layout, the picture's top
// row first, dithering, C source instead of raw bytes, and PNG, JPEG and GIF pictures decoded by
// the platform's codecs, whose stored order is top row first.
#include "jobs/pack.h"

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "read/image_loader.h"
#include "files/output_block.h"
#include "files/view_access.h"
#include "job/save_output.h"
#include "containers/c_array.h"
#include "format/dither.h"
#include "pixels/pixels.h"
#include "format/word_format.h"

namespace {

// The line that opens a C header: which picture, its size and the words' layout.
std::string describe(const char* path, const LoadedPicture& picture, const JobOptions& options) {
  const bool top_first = options.top_down || picture.top_down();
  return std::string(path) + ": " + std::to_string(picture.width()) + " x " + std::to_string(picture.height()) +
         " pixels, " + (top_first ? "top row first" : "bottom row first") + ", " +
         (options.format.channels == ChannelOrder::rgb ? "RGB565" : "BGR565") + ", " +
         (options.format.bytes == ByteOrder::low_first ? "low byte first" : "high byte first");
}

// The raw image as C source, in a block of its own; the raw image's block is freed on return.
std::optional<OutputBlock> as_c_array(OutputBlock raw, const std::string& description, const JobOptions& options,
                                      const LoadedPicture& picture) {
  try {
    const std::string text =
        c_array_source(options.c_array, description, raw.bytes(), picture.width(), picture.height());
    return OutputBlock::copy_of({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

// Loads and converts the first path's picture into a new output block, and releases the picture
// before returning, so that the output file is created only after the input is let go (the same
// path in both fields then replaces the picture by its raw image). Nullopt with the status set
// when the job must end.
std::optional<OutputBlock> convert_input(JobFrame& frame) {
  const JobOptions& options = frame.options();
  PictureLoad load = LoadedPicture::load(frame.path(Field::first));
  // What the BMP loader cannot open may be a picture of the codecs', when the options allow them.
  if (const LoadFailure* failure = std::get_if<LoadFailure>(&load);
      failure != nullptr && failure->fault == LoadFault::cannot_open && options.codecs) {
    if (std::optional<PictureLoad> decoded =
            LoadedPicture::load_with_codecs(frame.path(Field::first), options.background))
      load = std::move(*decoded);
  }
  if (const LoadFailure* failure = std::get_if<LoadFailure>(&load)) {
    frame.remark(failure->reason);
    frame.set_status(failure->fault == LoadFault::unsupported     ? status::unsupported_picture
                     : failure->fault == LoadFault::out_of_memory ? status::out_of_memory
                                                                  : status::cannot_open_input);
    return std::nullopt;
  }
  // The loader hands over only pictures whose raw image fits a 32-bit count.
  const LoadedPicture& picture = std::get<LoadedPicture>(load);
  std::optional<OutputBlock> block = OutputBlock::allocate(*raw_image_size(picture.width(), picture.height()));
  if (!block) {
    frame.set_status(status::out_of_memory);
    return std::nullopt;
  }
  // A bottom-up file's top row is its last stored row.
  const bool reverse = options.top_down && !picture.top_down();
  const std::span<std::uint8_t> out = block->bytes();
  std::vector<std::int32_t> scratch;
  try {
    scratch.resize(dither_scratch_size(picture.width(), options.dither));
  } catch (const std::bad_alloc&) {
    frame.set_status(status::out_of_memory);
    return std::nullopt;
  }
  if (access_views([&] {
        pack_rows_dithered(picture.rows(), picture.row_length(), picture.width(), picture.height(), reverse,
                           options.format, options.dither, scratch, out);
      }) != nullptr) {
    frame.remark("the file was cut short while it was read");
    frame.set_status(status::cannot_open_input);
    return std::nullopt;
  }
  if (!options.c_array.empty()) {
    block = as_c_array(std::move(*block), describe(frame.path(Field::first), picture, options), options, picture);
    if (!block) frame.set_status(status::out_of_memory);
  }
  return block;
}

}  // namespace

void pack(JobFrame& frame) {
  if (!read_paths(frame, OnEmptyField::stop)) return;
  std::optional<OutputBlock> block = convert_input(frame);
  if (block) save_output(frame, frame.path(Field::second), std::move(*block));
}
