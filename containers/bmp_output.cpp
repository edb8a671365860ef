#include "containers/bmp_output.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

#include "pixels/bmp_fields.h"
#include "pixels/little_endian.h"

std::optional<BmpOutput> bmp_output(std::uint32_t width, std::uint32_t height) {
  if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
  const std::uint64_t row_length = (std::uint64_t{width} * 3 + 3) & ~std::uint64_t{3};
  const std::uint64_t pixel_bytes = row_length * height;
  // The raw frame's words must fit a 32-bit byte count too; they take less than the pixels.
  if (bmp_output_header_size + pixel_bytes > UINT32_MAX) return std::nullopt;

  BmpOutput layout;
  layout.width = width;
  layout.height = height;
  layout.row_length = static_cast<std::uint32_t>(row_length);
  layout.pixel_bytes = static_cast<std::uint32_t>(pixel_bytes);
  // Every field not stored here (reserved, compression, resolutions, colour counts, the gap) is 0.
  std::uint8_t* header = layout.header.data();
  header[bmp_field::signature] = 'B';
  header[bmp_field::signature + 1] = 'M';
  store_le32(header + bmp_field::file_size, bmp_output_header_size + layout.pixel_bytes);
  store_le32(header + bmp_field::pixel_offset, bmp_output_header_size);
  store_le32(header + bmp_field::info_size, bmp_size::info_header);
  store_le32(header + bmp_field::width, width);
  store_le32(header + bmp_field::height, height);  // positive: bottom-up
  store_le16(header + bmp_field::planes, 1);
  store_le16(header + bmp_field::bits_per_pixel, 24);
  store_le32(header + bmp_field::image_size, layout.pixel_bytes);
  return layout;
}
