// Vaskel's Generate job: a 24-bit BMP into a raw 16-bit image, read straight from the file through
// a read-only view by three of its header fields, the stored rows walked a fixed 120 bytes apart:
// the stored row length of a picture 39 or 40 pixels wide.
#include "jobs/pack_fixed_stride.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>

#include "files/file_view.h"
#include "files/output_block.h"
#include "files/view_access.h"
#include "job/convert.h"
#include "jobs/fixed_stride_plan.h"
#include "pixels/bmp_fields.h"
#include "pixels/little_endian.h"
#include "pixels/pixels.h"

namespace {

// The header fields the job reads end with the compression.
constexpr std::size_t header_fields_end = bmp_field::compression + 4;

}  // namespace

std::optional<FixedStridePlan> plan_fixed_stride(std::span<const std::uint8_t> file) {
  if (file.size() < header_fields_end) return std::nullopt;
  // Other depths or a compressed picture would come out as garbage if read as triples.
  if (load_le16(file.data() + bmp_field::bits_per_pixel) != 24 || load_le32(file.data() + bmp_field::compression) != 0)
    return std::nullopt;
  const std::uint32_t pixel_offset = load_le32(file.data() + bmp_field::pixel_offset);
  const std::uint32_t width = load_le32(file.data() + bmp_field::width);
  const std::uint32_t height_field = load_le32(file.data() + bmp_field::height);
  // A negative height marks a top-down file; its rows are walked in stored order all the same.
  const std::uint32_t rows = height_field & 0x80000000u ? 0u - height_field : height_field;
  if (width == 0 || rows == 0) return std::nullopt;
  const std::optional<std::uint32_t> output_size = raw_image_size(width, rows);
  if (!output_size) return std::nullopt;
  // In 64 bits: with narrow pictures the 120-byte steps outrun the stored rows, and a large offset
  // or height could otherwise wrap around to a small, wrongly accepted extent.
  if (std::uint64_t{pixel_offset} + rows_extent(source_stride, width, rows) > file.size()) return std::nullopt;
  return FixedStridePlan{pixel_offset, width, rows, *output_size};
}

namespace {

// Walks the input's rows into a new output block; the input is released on return.
Conversion convert(const std::string& path) {
  std::variant<FileView, Outcome> opened = open_input(path);
  if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  const std::span<const std::uint8_t> file = std::get<FileView>(opened).bytes();
  std::optional<FixedStridePlan> walk;
  if (access_views([&] { walk = plan_fixed_stride(file); }) != nullptr)
    return refusal(Ending::cannot_open_input, cut_short_reason);
  if (!walk) return refusal(Ending::unsupported_picture);
  std::variant<OutputBlock, Outcome> allocated = allocate_output(walk->output_size);
  if (Outcome* refused = std::get_if<Outcome>(&allocated)) return std::move(*refused);
  Converted converted{std::get<OutputBlock>(std::move(allocated))};
  const std::span<std::uint8_t> out = converted.block.bytes();
  if (access_views(
          [&] { pack_565_rows(file.subspan(walk->pixel_offset), source_stride, walk->width, walk->rows, out); }))
    return refusal(Ending::cannot_open_input, cut_short_reason);
  return converted;
}

}  // namespace

Outcome pack_fixed_stride(const JobPaths& paths, const PackFixedStrideOptions&, JobProgress& progress) {
  return convert_and_save(paths.second, progress, [&] { return convert(paths.first); });
}
