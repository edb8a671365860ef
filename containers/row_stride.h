// Rows padded to a stride, as `--align N` writes them and as an LVGL header's stride describes
// them: each row of a plane (each 8-row page of mono1 in pages) starts `stride` bytes after the one
// before it, its bytes first and zeros after them. What is not a row is never padded: the indexed
// formats' palette goes before the rows as it is. RGB565A8's alpha plane follows every row of the
// RGB565 plane, its rows stride / 2 bytes apart, as LVGL 9 lays that format out; so the same
// stride serves both planes, and `--align` gives LVGL's bytes and the raw ones alike.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "format/pixel_format.h"

// The largest alignment `--align` takes; a power of two up to it, 1 for none.
inline constexpr std::uint32_t max_alignment = 1024;

struct StridedLayout {
  ImageLayout packed;  // the format's own, its rows unpadded
  std::uint64_t stride = 0;
  std::uint64_t alpha_stride = 0;  // 0 without an alpha plane
  std::uint64_t units = 0;         // rows of the first plane (pages for mono1 in pages)
  std::uint64_t total = 0;         // palette, planes and padding
};

// A row of `row_bytes` rounded up to a multiple of `align`.
std::uint64_t aligned_stride(std::uint64_t row_bytes, std::uint32_t align);

// The image with its first plane's rows `stride` bytes apart; the stride at least a row's bytes.
StridedLayout strided_layout(const FormatSettings& settings, std::uint32_t width, std::uint32_t height,
                             std::uint64_t stride);
// The same with the stride rounded up to `align`.
StridedLayout aligned_layout(const FormatSettings& settings, std::uint32_t width, std::uint32_t height,
                             std::uint32_t align);

// Pads the format's bytes, handed over in pieces of any size in order, to the strided layout.
class RowPadder {
 public:
  explicit RowPadder(const StridedLayout& layout) : layout_(layout) {}

  bool pads() const { return layout_.total != layout_.packed.total; }
  // `piece` with the padding due after each row it ends, in `out`; `piece` itself when nothing pads.
  std::span<const std::uint8_t> pad(std::span<const std::uint8_t> piece, std::vector<std::uint8_t>& out);

 private:
  StridedLayout layout_;
  std::uint64_t at_ = 0;  // in the format's own bytes
};
