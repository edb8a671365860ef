// Kestrin's Generate job: a 24-bit BMP, loaded with the image loader, packed into a raw 16-bit
// image. The loader reports the stored row length, so pictures of any width convert.
#include "export-loader/export_through_loader.h"

#include <optional>
#include <utility>
#include <variant>

#include "export-loader/image_loader.h"
#include "files/output_block.h"
#include "frame/save_output.h"
#include "pixels/pixels.h"

namespace {

// Loads and converts the first path's picture into a new output block, and releases the picture
// before returning, so that the output file is created only after the input is let go (the same
// path in both fields then replaces the picture by its raw image). Nullopt with the status set
// when the job must end.
std::optional<OutputBlock> convert_input(JobFrame& frame) {
  PictureLoad load = LoadedPicture::load(frame.path(Field::first));
  if (const LoadFault* fault = std::get_if<LoadFault>(&load)) {
    frame.set_status(*fault == LoadFault::unsupported ? status::unsupported_picture : status::cannot_open_input);
    return std::nullopt;
  }
  // The loader hands over only pictures whose raw image fits a 32-bit count.
  const LoadedPicture& picture = std::get<LoadedPicture>(load);
  std::optional<OutputBlock> block = OutputBlock::allocate(*raw_image_size(picture.width(), picture.height()));
  if (!block) {
    frame.set_status(status::out_of_memory);
    return std::nullopt;
  }
  export_rows(picture.rows(), picture.row_length(), picture.width(), picture.height(), block->bytes());
  return block;
}

}  // namespace

void export_through_loader(JobFrame& frame) {
  if (!read_paths(frame, OnEmptyField::stop)) return;
  std::optional<OutputBlock> block = convert_input(frame);
  if (block) save_output(frame, std::move(*block));
}
