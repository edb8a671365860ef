// Fuzz entry point of reading an LVGL image by its header, and of decoding the data it declares:
// whatever the bytes, a header is taken only when the file holds exactly the data it declares (or,
// compressed, the compressed bytes its compression head declares), decompressing them writes no
// more than the data the header's layout takes, and decoding them (palette, padded rows, planes)
// reads nothing past them. A file that the header describes is written back as the same header.
// The same entry replays the saved inputs in the normal test suite, where assert() may be compiled
// out: the checks abort by themselves.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "containers/lvgl_image.h"
#include "containers/row_stride.h"

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
  if (std::uint64_t{image->width} * image->height > (1u << 20) || image->data_bytes > (1u << 24)) return 0;
  const StridedLayout layout = strided_layout(image->settings, image->width, image->height, image->stride);
  require(layout.total == image->data_bytes);
  const std::optional<LvglHeader> header =
      lvgl_header(image->settings, image->width, image->height, 1, image->compression);
  // LVGL's later code for premultiplied ARGB8888 is written back as ARGB8888 with the premultiplied flag.
  std::array<std::uint8_t, 8> expected{};
  std::copy(file.begin(), file.begin() + 8, expected.begin());
  if (expected[1] == 0x1A) expected[1] = 0x10, expected[2] |= 0x01;
  require(header.has_value() && std::equal(header->begin(), header->begin() + 8, expected.begin()));

  std::vector<std::uint8_t> bytes;
  if (image->compression == LvglCompression::none) {
    require(lvgl_header_size + layout.total == size);
    bytes.assign(file.begin() + lvgl_header_size, file.end());
  } else {
    require(lvgl_header_size + lvgl_compression_head_size + image->compressed_bytes == size);
    auto decompressed = lvgl_decompress(*image, file.subspan(lvgl_header_size + lvgl_compression_head_size));
    if (std::holds_alternative<std::string>(decompressed)) return 0;
    bytes = std::move(std::get<std::vector<std::uint8_t>>(decompressed));
    require(bytes.size() == layout.total);
  }

  const ImageLayout& packed = layout.packed;
  std::vector<BgraQuad> palette(packed.palette_bytes / 4);
  for (std::size_t k = 0; k < palette.size(); ++k) {
    const std::uint8_t* entry = bytes.data() + 4 * k;
    palette[k] = {entry[0], entry[1], entry[2], entry[3]};
  }
  FormatSettings settings = image->settings;
  settings.palette = palette;
  // The rows without their padding, plane by plane.
  std::vector<std::uint8_t> rows;
  const std::uint8_t* at = bytes.data() + packed.palette_bytes;
  for (std::uint64_t k = 0; k < layout.units; ++k, at += layout.stride)
    rows.insert(rows.end(), at, at + packed.row_bytes);
  std::vector<std::uint8_t> alpha;
  for (std::uint32_t k = 0; k < image->height && packed.alpha_row_bytes != 0; ++k, at += layout.alpha_stride)
    alpha.insert(alpha.end(), at, at + packed.alpha_row_bytes);
  std::vector<BgraQuad> quads(std::size_t{image->width} * image->height);
  decode_rows(settings, 0, rows, image->width, image->height, quads);
  if (packed.alpha_plane_bytes != 0) decode_rows(settings, 1, alpha, image->width, image->height, quads);
  return 0;
}
