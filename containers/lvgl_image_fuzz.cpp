// Fuzz entry point of reading an LVGL image by its header, and of decoding the pixels it declares:
// whatever the bytes, a header is taken only when the file holds exactly the pixels it declares,
// and decoding them (palette, planes, pages) reads nothing past them. A file that the header
// describes is written back as the same header. The same entry replays the saved inputs in the
// normal test suite, where assert() may be compiled out: the checks abort by themselves.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "containers/lvgl_image.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  const std::optional<LvglImage> image = read_lvgl_header(file, size);
  if (!image) return 0;
  // Keep the runs quick: the header allows 65535 x 65535.
  if (std::uint64_t{image->width} * image->height > (1u << 20)) return 0;
  const ImageLayout layout = image_layout(image->settings, image->width, image->height);
  require(lvgl_header_size + layout.total == size);
  const std::optional<LvglHeader> header = lvgl_header(image->settings, image->width, image->height);
  require(header.has_value() && std::equal(header->begin(), header->begin() + 10, file.begin()));
  std::vector<BgraQuad> palette(layout.palette_bytes / 4);
  for (std::size_t k = 0; k < palette.size(); ++k) {
    const std::uint8_t* entry = data + lvgl_header_size + 4 * k;
    palette[k] = {entry[0], entry[1], entry[2], entry[3]};
  }
  FormatSettings settings = image->settings;
  settings.palette = palette;
  std::vector<BgraQuad> quads(std::size_t{image->width} * image->height);
  const std::span<const std::uint8_t> pixels = file.subspan(lvgl_header_size + layout.palette_bytes);
  decode_rows(settings, 0, pixels.first(layout.plane_bytes), image->width, image->height, quads);
  if (layout.alpha_plane_bytes != 0)
    decode_rows(settings, 1, pixels.subspan(layout.plane_bytes), image->width, image->height, quads);
  return 0;
}
