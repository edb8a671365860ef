// Fuzz entry point of Talvose's expansion of a raw input of any length into a frame of any size.
// The first three bytes choose the frame and the options (frame width and height, 1 to 256 each:
// enough for every case of row padding and row order, small enough for many runs a second; then row
// order, byte order, channels, expansion); the rest is the raw input. Whatever they are, the
// frame's stored rows are written and nothing outside the input or the pixel area is touched; the
// padding and the pixels that no word reaches stay zero; made band by band, the frame is the same.
// The same entry replays the saved inputs in the normal test suite, where assert() may be compiled
// out: the checks abort by themselves.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "containers/bmp_output.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::uint32_t width = 1u + data[0];
  const std::uint32_t height = 1u + data[1];
  const std::uint8_t choice = data[2];
  WordFormat format;
  format.bytes = choice & 2 ? ByteOrder::high_first : ByteOrder::low_first;
  format.channels = choice & 4 ? ChannelOrder::bgr : ChannelOrder::rgb;
  format.expansion = choice & 8 ? Expansion::replicate : Expansion::zero;
  const std::optional<BmpOutput> layout = bmp_output(width, height);
  require(layout.has_value());
  // Exactly the pixel area, and filled with a value no expansion writes into padding, so that a
  // byte left unwritten shows.
  std::vector<std::uint8_t> pixels(layout->pixel_bytes, 0xA5);
  const std::span<const std::uint8_t> input(data + 3, size - 3);
  expand_into_bmp(input, *layout, (choice & 1) != 0, format, pixels);
  const std::size_t words = std::min<std::size_t>(input.size() / 2, std::size_t{width} * height);
  for (std::uint32_t row = 0; row < height; ++row) {
    // The raw image's row that this stored row holds.
    const std::uint32_t raw_row = choice & 1 ? height - 1 - row : row;
    const std::size_t first_word = std::size_t{raw_row} * width;
    const std::size_t filled = first_word < words ? std::min<std::size_t>(width, words - first_word) : 0;
    const std::uint8_t* stored = pixels.data() + std::size_t{row} * layout->row_length;
    for (std::size_t at = filled * 3; at < layout->row_length; ++at) require(stored[at] == 0);
  }
  // Band by band, each band from its own part of the input only, the frame comes out the same:
  // in bands of one row, and in two bands whose second may be the shorter.
  for (const std::uint32_t band_rows : {1u, (height + 1) / 2}) {
    std::vector<std::uint8_t> banded(layout->pixel_bytes, 0xA5);
    for (std::uint32_t first = 0; first < height; first += band_rows) {
      const std::uint32_t rows = std::min(band_rows, height - first);
      const std::uint64_t offset = band_input_offset(*layout, first, rows, (choice & 1) != 0);
      const std::size_t from = static_cast<std::size_t>(std::min<std::uint64_t>(offset, input.size()));
      const std::size_t length = std::min<std::size_t>(std::size_t{rows} * width * 2, input.size() - from);
      // A copy, so that a read past the band's part of the input is one the sanitizers see.
      const std::vector<std::uint8_t> part(input.begin() + static_cast<std::ptrdiff_t>(from),
                                           input.begin() + static_cast<std::ptrdiff_t>(from + length));
      expand_band_into_bmp(
          part, *layout, rows, (choice & 1) != 0, format,
          std::span(banded).subspan(std::size_t{first} * layout->row_length, std::size_t{rows} * layout->row_length));
    }
    require(banded == pixels);
  }
  return 0;
}
