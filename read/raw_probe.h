// Guessing the layout of a raw dump (a framebuffer read out of a device, a frame captured off a
// display's bus) from its content alone: its width and height, its pixel format and byte order.
//
// The method: a picture is smooth. Read at the right width, each pixel is close to the pixel below
// it and to the pixel beside it; at a wrong width the pixel "below" is some other part of the
// picture, and in a wrong format or byte order the bytes of neighbouring pixels mix channels, so
// that the pixel beside is far off. Each candidate layout (a format the probe knows, a byte order,
// a width whose rows fill the file exactly) is scored by how far, on average, sampled pixels are
// from the pixel below and the pixel beside, against how far they are from pixels elsewhere in the
// file: near 0 for a smooth picture read right, near 1 for noise or a wrong reading. Pixels are
// compared on their 8-bit channels, so that formats of different depths compare alike. Rows are
// sampled in blocks spread over the file, so a dump of any size costs a few megabytes of reading.
//
// The bytes themselves tell what smoothness cannot. A 16-bit pixel's high byte holds the high bits of
// red and green, which change less often from pixel to pixel than the low byte's: the byte that
// changes less is the high one. rgb444 leaves the top four bits of its word zero, rgb666 the low two
// bits of each byte, and a four-byte pixel has a padding byte that keeps to one value (xrgb8888) or
// an alpha byte that mostly does (argb8888).
//
// Small priors settle near ties: a picture much wider than tall (or the reverse) is less likely than
// one near 2:1 or squarer, and the sizes of common panels come first when two layouts score alike.
// What the content cannot tell: whether red or blue is in the high bits (both read as equally
// smooth pictures; for a three-byte pixel that is also its byte order) and whether the first row is
// the top (a picture upside down is as smooth); the probe proposes red high and the first row on
// top, and says so.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "format/pixel_format.h"
#include "format/word_format.h"
#include "pixels/pixels.h"

// A pixel format the probe tries, read through the pixel-format stage's own decoder: its name on
// the command line and its bytes a pixel.
struct ProbeFormat {
  PixelFormat format;
  std::string_view name;
  std::uint32_t bytes_per_pixel;
  // Whether --bytes changes how the pixel is read.
  bool byte_order_matters;
};

// The formats a dump is probed for, the most common first.
std::span<const ProbeFormat> probe_formats();

// The part of the file the probe reads, as (offset, length) ranges inside it: the whole file when it
// is small, else blocks spread evenly over it.
struct ByteRange {
  std::uint64_t offset;
  std::uint64_t length;
};
std::vector<ByteRange> probe_ranges(std::uint64_t file_size);

// The bytes of one range that probe_ranges asked for.
struct RawSample {
  std::uint64_t offset;
  std::span<const std::uint8_t> bytes;
};

struct ProbeGuess {
  const ProbeFormat* format;
  ByteOrder bytes;
  // False where the other byte order would only swap red and blue (a three-byte pixel), which the
  // content cannot tell apart; `bytes` is then low first.
  bool order_told;
  std::uint32_t width;
  std::uint32_t height;
  // With the priors: 0 for a perfectly smooth reading, about 1 for noise.
  double score;
  // How likely this is the layout among those ranked, 0 to 100: each guess's share of the weights
  // (1 / score)^8, which leaves a guess half as smooth as the best at a fraction of a percent.
  int confidence;
};

enum class ProbeVerdict {
  confident,  // the first guess is clearly ahead of any other layout
  unsure,     // a picture, but another layout scores nearly as well
  no_guess,   // nothing reads as a picture: noise, one value throughout, or too few bytes
};

struct ProbeResult {
  ProbeVerdict verdict = ProbeVerdict::no_guess;
  // The best layouts, best first, at most one for each format, byte order and size.
  std::vector<ProbeGuess> ranked;
};

// What the user already knows of a dump: its format, its byte order, its size.
struct ProbeLimits {
  std::optional<PixelFormat> format = std::nullopt;
  std::optional<ByteOrder> bytes = std::nullopt;
  std::uint32_t width = 0;  // 0 for any
  std::uint32_t height = 0;
};

// Ranks the layouts of a dump of `file_size` bytes from `samples` of it (the ranges probe_ranges
// gave), keeping at most `most` of them.
ProbeResult probe_raw(std::uint64_t file_size, std::span<const RawSample> samples, const ProbeLimits& limits = {},
                      std::size_t most = 5);
