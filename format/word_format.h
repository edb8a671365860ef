// The layouts of an RGB565 word that the command line offers besides the dialogs' own, and the
// row walks that take them. Every default is the dialogs' layout: red in the high five bits, the
// low byte first, low bits dropped when packing and zero when expanding, rows in stored order.
//
// With ChannelOrder::bgr blue takes the high five bits and red the low five (BGR565); green stays
// in the middle six. ByteOrder::high_first stores the high byte of each word first, as many SPI
// panels take it. Rounding::nearest packs each channel to its nearest level, round(v * 31 / 255)
// and round(v * 63 / 255); Expansion::replicate fills the low bits of an expanded channel with its
// high bits, so that full scale (0x1F, 0x3F) becomes 255.
#pragma once

#include <cstdint>
#include <span>

#include "pixels/pixels.h"

enum class ByteOrder { low_first, high_first };
enum class ChannelOrder { rgb, bgr };
enum class Rounding { truncate, nearest };
enum class Expansion { zero, replicate };

struct WordFormat {
  ByteOrder bytes = ByteOrder::low_first;
  ChannelOrder channels = ChannelOrder::rgb;
  Rounding rounding = Rounding::truncate;
  Expansion expansion = Expansion::zero;

  friend bool operator==(const WordFormat&, const WordFormat&) = default;
};

// The dialogs' layout, which the fast kernels of pixels.h produce.
inline constexpr WordFormat dialog_format{};

BgrTriple expand_word(std::uint16_t word, const WordFormat& format);

// Expands the words of `in` (an even number of bytes, at most width * height words, row after row)
// into `height` rows of `width` triples, `stride` bytes apart, in `out` (stride * height bytes).
// With `reverse` word row 0 becomes the last row of `out`. Pixels no word reaches and the bytes
// between a row's last triple and the next row are zero.
void expand_rows(std::span<const std::uint8_t> in, std::uint32_t stride, std::uint32_t width, std::uint32_t height,
                 bool reverse, const WordFormat& format, std::span<std::uint8_t> out);
