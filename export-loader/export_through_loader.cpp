// Kestrin's Generate job: a 24-bit BMP, loaded with the image loader, packed into a raw 16-bit
// image. The loader reports the stored row length, so pictures of any width convert.
#include <optional>
#include <variant>

#include "export-loader/image_loader.h"
#include "files/output_block.h"
#include "files/output_file.h"
#include "frame/job_frame.h"
#include "frame/programs.h"
#include "pixels/pixels.h"

namespace {

// The raw image's byte count, when the picture is one whose pixels are BGR triples as stored and
// whose raw image fits a 32-bit count. The walk steps three bytes per pixel whatever the picture
// holds, so anything else would be misread or read past its last row.
std::optional<std::uint32_t> convertible_size(const LoadedPicture& picture) {
  if (picture.bits_per_pixel() != 24 || picture.compression() != 0) return std::nullopt;
  if (picture.width() == 0 || picture.height() == 0) return std::nullopt;
  return raw_image_size(picture.width(), picture.height());
}

// Loads, checks and converts the first path's picture into a new output block, and releases the
// picture before returning, so that the output file is created only after the input is let go (the
// same path in both fields then replaces the picture by its raw image). Nullopt with the status
// set when the job must end.
std::optional<OutputBlock> convert_input(JobFrame& frame) {
  PictureLoad load = LoadedPicture::load(frame.path(Field::first));
  if (const LoadFault* fault = std::get_if<LoadFault>(&load)) {
    frame.set_status(*fault == LoadFault::unsupported ? status::unsupported_picture : status::cannot_open_input);
    return std::nullopt;
  }
  const LoadedPicture& picture = std::get<LoadedPicture>(load);
  const std::optional<std::uint32_t> size = convertible_size(picture);
  if (!size) {
    frame.set_status(status::unsupported_picture);
    return std::nullopt;
  }
  std::optional<OutputBlock> block = OutputBlock::allocate(*size);
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
  if (!block) return;
  frame.set_status(status::saving);
  // A file that could not be created, or was written short and taken back, leaves "Saving".
  if (!save_output_file(frame.path(Field::second), {block->bytes()})) return;
  block.reset();
  frame.set_status(status::done);
}
