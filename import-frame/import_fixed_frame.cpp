// Talvose's Generate job: a raw 16-bit image of the fixed 568 x 130 frame back into a 24-bit BMP
// with a 58-byte header, bottom row first as the raw image's rows came from a bottom-up picture.
#include "import-frame/import_fixed_frame.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

#include "files/file_view.h"
#include "files/output_block.h"
#include "frame/save_output.h"
#include "pixels/little_endian.h"
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

// Every field not stored here (reserved, compression, resolutions, colour counts, the gap) is 0.
constexpr Header make_header() {
  Header header{};
  header[0] = 'B';
  header[1] = 'M';
  store_le32(header.data() + 2, header_size + pixel_bytes);
  store_le32(header.data() + 10, header_size);
  store_le32(header.data() + 14, 40);
  store_le32(header.data() + 18, frame_width);
  store_le32(header.data() + 22, frame_height);  // positive: bottom-up
  store_le16(header.data() + 26, 1);
  store_le16(header.data() + 28, 24);
  store_le32(header.data() + 34, pixel_bytes);
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
    const std::size_t words = std::min<std::size_t>(input->bytes().size() / 2, frame_words);
    const std::span<std::uint8_t> pixels = block->bytes();
    if (words > 0) expand_run(input->bytes().first(words * 2), pixels.first(words * 3));
    std::fill(pixels.begin() + static_cast<std::ptrdiff_t>(words * 3), pixels.end(), std::uint8_t{0});
  }  // The input is released before the output is created: both paths may name the same file.

  save_output(frame, std::move(*block), fixed_frame_header);
}
