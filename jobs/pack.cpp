// Kestrin's Generate job: a BMP, loaded with the image loader, packed into a raw 16-bit
// image. The loader reports the stored row length, so pictures of any width convert. From the
// command line the same job takes PackOptions: the word layout, the picture's top row first,
// dithering, C source instead of raw bytes, and PNG, JPEG and GIF pictures decoded by the
// platform's codecs, whose stored order is top row first.
#include "jobs/pack.h"

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "containers/c_array.h"
#include "files/output_block.h"
#include "files/view_access.h"
#include "format/dither.h"
#include "format/word_format.h"
#include "job/convert.h"
#include "pixels/pixels.h"
#include "read/image_loader.h"

namespace {

// The line that opens a C header: which picture, its size and the words' layout.
std::string describe(const std::string& path, const LoadedPicture& picture, const PackOptions& options) {
  const bool top_first = options.top_down || picture.top_down();
  return path + ": " + std::to_string(picture.width()) + " x " + std::to_string(picture.height()) + " pixels, " +
         (top_first ? "top row first" : "bottom row first") + ", " +
         (options.format.channels == ChannelOrder::rgb ? "RGB565" : "BGR565") + ", " +
         (options.format.bytes == ByteOrder::low_first ? "low byte first" : "high byte first");
}

// The raw image as C source, in a block of its own; the raw image's block is freed on return.
std::optional<OutputBlock> as_c_array(OutputBlock raw, const std::string& description, const PackOptions& options,
                                      const LoadedPicture& picture) {
  try {
    const std::string text = c_array_source(options.c_array, description, raw.bytes(), picture.width(),
                                            picture.height(), options.format.bytes == ByteOrder::high_first);
    return OutputBlock::copy_of({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

Ending ending_of(LoadFault fault) {
  switch (fault) {
    case LoadFault::unsupported:
      return Ending::unsupported_picture;
    case LoadFault::out_of_memory:
      return Ending::out_of_memory;
    case LoadFault::cannot_open:
      break;
  }
  return Ending::cannot_open_input;
}

// Loads the first path's picture: a BMP, or when the options allow the codecs a picture of theirs.
PictureLoad load(const std::string& path, const PackOptions& options) {
  PictureLoad load = LoadedPicture::load(path.c_str(), options.pixel_limit);
  if (const LoadFailure* failure = std::get_if<LoadFailure>(&load);
      failure != nullptr && failure->fault == LoadFault::cannot_open && options.codecs) {
    if (std::optional<PictureLoad> decoded =
            LoadedPicture::load_with_codecs(path.c_str(), options.background, options.pixel_limit))
      load = std::move(*decoded);
  }
  return load;
}

// Converts the loaded picture into a new output block; the picture is released on return.
Conversion convert(const std::string& path, const PackOptions& options) {
  const PictureLoad load_result = load(path, options);
  if (const LoadFailure* failure = std::get_if<LoadFailure>(&load_result))
    return refusal(ending_of(failure->fault), failure->reason);
  // The loader hands over only pictures whose raw image fits a 32-bit count.
  const LoadedPicture& picture = std::get<LoadedPicture>(load_result);
  std::optional<OutputBlock> block = OutputBlock::allocate(*raw_image_size(picture.width(), picture.height()));
  if (!block) return refusal(Ending::out_of_memory);
  // A bottom-up file's top row is its last stored row.
  const bool reverse = options.top_down && !picture.top_down();
  const std::span<std::uint8_t> out = block->bytes();
  std::vector<std::int32_t> scratch;
  try {
    scratch.resize(dither_scratch_size(picture.width(), options.dither));
  } catch (const std::bad_alloc&) {
    return refusal(Ending::out_of_memory);
  }
  if (access_views([&] {
        pack_rows_dithered(picture.rows(), picture.row_length(), picture.width(), picture.height(), reverse,
                           options.format, options.dither, scratch, out);
      }) != nullptr)
    return refusal(Ending::cannot_open_input, "the file was cut short while it was read");
  if (options.container == PackContainer::c_array) {
    block = as_c_array(std::move(*block), describe(path, picture, options), options, picture);
    if (!block) return refusal(Ending::out_of_memory);
  }
  return Converted{std::move(*block)};
}

}  // namespace

Outcome pack(const JobPaths& paths, const PackOptions& options, JobProgress& progress) {
  return convert_and_save(paths.second, progress, [&] { return convert(paths.first, options); });
}
