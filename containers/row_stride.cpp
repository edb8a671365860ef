#include "containers/row_stride.h"

#include <algorithm>
#include <cassert>

std::uint64_t aligned_stride(std::uint64_t row_bytes, std::uint32_t align) {
  assert(align >= 1);
  return (row_bytes + align - 1) / align * align;
}

StridedLayout strided_layout(const FormatSettings& settings, std::uint32_t width, std::uint32_t height,
                             std::uint64_t stride) {
  StridedLayout layout;
  layout.packed = image_layout(settings, width, height);
  assert(stride >= layout.packed.row_bytes);
  layout.stride = stride;
  layout.units = (std::uint64_t{height} + layout.packed.rows_per_unit - 1) / layout.packed.rows_per_unit;
  if (layout.packed.alpha_row_bytes != 0) layout.alpha_stride = stride / 2;
  layout.total = layout.packed.palette_bytes + layout.units * stride + std::uint64_t{height} * layout.alpha_stride;
  return layout;
}

StridedLayout aligned_layout(const FormatSettings& settings, std::uint32_t width, std::uint32_t height,
                             std::uint32_t align) {
  return strided_layout(settings, width, height,
                        aligned_stride(image_layout(settings, width, height).row_bytes, align));
}

std::span<const std::uint8_t> RowPadder::pad(std::span<const std::uint8_t> piece, std::vector<std::uint8_t>& out) {
  if (!pads()) {
    at_ += piece.size();
    return piece;
  }
  out.clear();
  const ImageLayout& packed = layout_.packed;
  const std::uint64_t plane_end = packed.palette_bytes + packed.plane_bytes;
  while (!piece.empty()) {
    std::uint64_t take = piece.size();
    std::uint64_t row = 0, padding = 0, into_row = 0;
    if (at_ < packed.palette_bytes) {
      take = std::min(take, packed.palette_bytes - at_);
    } else if (at_ < plane_end) {
      row = packed.row_bytes;
      padding = layout_.stride - row;
      into_row = (at_ - packed.palette_bytes) % row;
    } else if (packed.alpha_row_bytes != 0) {
      row = packed.alpha_row_bytes;
      padding = layout_.alpha_stride - row;
      into_row = (at_ - plane_end) % row;
    }
    if (row != 0) take = std::min(take, row - into_row);
    out.insert(out.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(take));
    if (row != 0 && into_row + take == row) out.insert(out.end(), static_cast<std::size_t>(padding), 0);
    piece = piece.subspan(static_cast<std::size_t>(take));
    at_ += take;
    if (at_ == packed.total) at_ = 0;  // the next frame of an animation, laid out alike
  }
  return out;
}
