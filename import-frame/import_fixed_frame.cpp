// Talvose's Generate job: a raw 16-bit image of the fixed 568 x 130 frame back into a 24-bit BMP
// with a 58-byte header, bottom row first as the raw image's rows came from a bottom-up picture.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "files/file_view.h"
#include "files/output_block.h"
#include "files/output_file.h"
#include "frame/programs.h"
#include "pixels/pixels.h"

namespace {

constexpr std::uint32_t frame_width = 568;
constexpr std::uint32_t frame_height = 130;
constexpr std::uint32_t frame_words = frame_width * frame_height;
// 568 triples make 1,704 bytes, already a multiple of 4: the rows carry no padding.
constexpr std::uint32_t pixel_bytes = frame_words * 3;
// Four zero bytes follow the 54 bytes of file and information header; the pixels start behind them.
constexpr std::uint32_t header_size = 58;

using Header = std::array<std::uint8_t, header_size>;

constexpr void put16(Header& header, std::size_t offset, std::uint16_t value) {
  header[offset] = static_cast<std::uint8_t>(value);
  header[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr void put32(Header& header, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) header[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Every field not stored here (reserved, compression, resolutions, colour counts, the gap) is 0.
constexpr Header make_header() {
  Header header{};
  header[0] = 'B';
  header[1] = 'M';
  put32(header, 2, header_size + pixel_bytes);
  put32(header, 10, header_size);
  put32(header, 14, 40);
  put32(header, 18, frame_width);
  put32(header, 22, frame_height);  // positive: bottom-up
  put16(header, 26, 1);
  put16(header, 28, 24);
  put32(header, 34, pixel_bytes);
  return header;
}

constexpr Header fixed_frame_header = make_header();

}  // namespace

void import_fixed_frame(JobFrame& frame) {
  if (!read_paths(frame, OnEmptyField::stop)) return;

  std::optional<OutputBlock> block;
  {
    const std::optional<FileView> input = FileView::open(frame.path(Field::first), ViewKind::read_only);
    if (!input) {
      frame.set_status(status::cannot_open_input);
      return;
    }
    block = OutputBlock::allocate(pixel_bytes);
    if (!block) {
      frame.set_status(status::out_of_memory);
      return;
    }
    // Only the words that fit the frame are converted, so that a longer input cannot write past the
    // pixel area; an odd last byte is half a word and is dropped. Pixels that no word reaches stay
    // black.
    const std::size_t input_size = std::min<std::size_t>(input->file_length(), input->bytes().size());
    const std::size_t words = std::min<std::size_t>(input_size / 2, frame_words);
    const std::span<std::uint8_t> pixels = block->bytes();
    if (words > 0) expand_run(input->bytes().first(words * 2), pixels.first(words * 3));
    std::fill(pixels.begin() + static_cast<std::ptrdiff_t>(words * 3), pixels.end(), std::uint8_t{0});
  }  // The input is released before the output is created: both paths may name the same file.

  frame.set_status(status::saving);
  if (!save_output_file(frame.path(Field::second), {fixed_frame_header, block->bytes()})) return;
  block.reset();
  frame.set_status(status::done);
}
