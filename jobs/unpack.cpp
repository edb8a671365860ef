// Talvose's Generate job: a raw 16-bit image of the fixed 568 x 130 frame back into a 24-bit BMP
// with a 58-byte header, bottom row first as the raw image's rows came from a bottom-up picture.
// From the command line the same job takes other frame sizes, the word layouts of JobOptions and
// raw images whose first row is the picture's top row, and writes a PNG for an output named so.
#include "jobs/unpack.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codecs/image_codecs.h"
#include "files/file_view.h"
#include "files/output_block.h"
#include "files/view_access.h"
#include "job/save_output.h"
#include "containers/bmp_output.h"
#include "format/word_format.h"

namespace {

constexpr std::uint32_t fixed_width = 568;
constexpr std::uint32_t fixed_height = 130;

// An input of another size than the frame's converts all the same, with a remark.
void remark_on_size(JobFrame& frame, std::size_t input_size, const BmpOutput& layout) {
  const std::uint64_t frame_bytes = std::uint64_t{layout.width} * layout.height * 2;
  if (input_size == frame_bytes) return;
  frame.remark("warning: " + std::to_string(input_size) + " bytes, not the " + std::to_string(frame_bytes) +
               " bytes of a " + std::to_string(layout.width) + " x " + std::to_string(layout.height) + " frame; " +
               (input_size < frame_bytes ? "the pixels no word reaches are black" : "the bytes past it are left out"));
}

// An output named *.png, when the options allow the codecs: the frame as a PNG, upright, for any
// viewer. Case does not matter, as it does not to the systems that show such files.
bool wants_png(const JobOptions& options, std::string_view path) {
  if (!options.codecs || path.size() < 4) return false;
  std::string suffix(path.substr(path.size() - 4));
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return suffix == ".png";
}

// The frame's BMP rows, bottom row first, encoded as a PNG in a new block; nullopt when encoding
// failed or memory ran out.
std::optional<OutputBlock> as_png(const OutputBlock& pixels, const BmpOutput& layout) {
  try {
    const std::optional<std::vector<std::uint8_t>> png =
        encode_png(pixels.bytes(), layout.row_length, layout.width, layout.height, true);
    if (!png) return std::nullopt;
    return OutputBlock::copy_of(*png);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace

void unpack(JobFrame& frame) {
  if (!read_paths(frame, OnEmptyField::stop)) return;
  const JobOptions& options = frame.options();
  const bool own_size = options.frame_width == 0 && options.frame_height == 0;
  const std::optional<BmpOutput> layout =
      own_size ? bmp_output(fixed_width, fixed_height) : bmp_output(options.frame_width, options.frame_height);
  if (!layout) {
    frame.remark("the frame's BMP would not fit 4 GiB");
    frame.set_status(status::out_of_memory);
    return;
  }

  std::optional<OutputBlock> block;
  {
    const std::variant<FileView, SystemError> opened = FileView::open(frame.path(Field::first), ViewKind::read_only);
    const FileView* input = std::get_if<FileView>(&opened);
    if (!input) {
      frame.set_status(status::cannot_open_input);
      return;
    }
    block = OutputBlock::allocate(layout->pixel_bytes);
    if (!block) {
      frame.set_status(status::out_of_memory);
      return;
    }
    remark_on_size(frame, input->bytes().size(), *layout);
    const std::span<const std::uint8_t> bytes = input->bytes();
    const std::span<std::uint8_t> pixels = block->bytes();
    if (access_views([&] { expand_into_bmp(bytes, *layout, options.top_down, options.format, pixels); }) != nullptr) {
      frame.set_status(status::cannot_open_input);
      return;
    }
  }  // The input is released before the output is created: both paths may name the same file.

  if (wants_png(options, frame.path(Field::second))) {
    block = as_png(*block, *layout);
    if (!block) {
      frame.remark("the PNG could not be made");
      frame.set_status(status::out_of_memory);
      return;
    }
    save_output(frame, frame.path(Field::second), std::move(*block));
    return;
  }
  save_output(frame, frame.path(Field::second), std::move(*block), layout->header);
}
