// Guessing the layout of a raw dump (a framebuffer read out of a device, a frame captured off a
// display's bus) from its content alone: its width and height, its pixel format and byte order.
//
// Each candidate layout (a format the probe knows, a byte order, a width whose rows fill the file
// exactly) gets a score, lower for a likelier layout, the product of what the content says:
//
// - Smoothness. Read at the right width, each pixel is close to the pixel below it and beside it;
//   at a wrong width the pixel "below" is some other part of the picture, and in a wrong format or
//   byte order the bytes of neighbouring pixels mix channels. The ratio of how far sampled pixels
//   are from the pixel below and beside to how far they are from pixels elsewhere in the file: near
//   0 for a picture read right, near 1 for noise. Pixels are compared on their 8-bit channels, read
//   by the pixel-format stage's own decoder. In formats of fewer than 8 bits a channel, ordered
//   dither adds to the steps to both neighbours and repeats two on, so that a dithered picture
//   read as two of its rows side by side (the pixel below then two rows on, at the same step of the
//   dither) reads smoother than at its own width. What the dither adds is taken off: the smaller of
//   the drops from the pixel below to the pixel two below and from the pixel beside to the pixel
//   two beside, no more than one step of each channel (in the wrong byte order or pixel size, low
//   bits land in high ones and repeat two on by far more), from a reading that is a picture without
//   it. A reading close to noise gets it taken off only where the dither is most of what the
//   pixels differ by (what it adds beside, at most a step of each channel, at least half of what
//   pixels elsewhere differ by: a fine grain, a nearly flat texture); then it is taken off where it
//   repeats, two or four on (a dither may repeat only every four rows), the drop below counting
//   only where the pixel two below is already nearer than the one below (read at half a picture's
//   width, the pixel four below is the picture's own pixel two below), and the reading gets no
//   credit for its rows lining up.
// - How sharply the rows line up. Drawings (flat fills, bars, hard edges) read as smooth at many
//   widths, but their rows line up exactly at one. Per row length in bytes, so that every format of
//   one row length shares it: how far each byte is from the byte one and two rows on, against the
//   bytes one to four steps of twelve bytes beside that (whole pixels of every size, so that a
//   word's other half or padding never passes for an edge). Rows two to four apart line up too
//   (ordered dither makes rows two apart more alike than neighbours), so a row length whose half,
//   third, ... or eighth already lines up gets no credit. Where that fraction lines up more sharply
//   than the row length itself, the row length is a multiple of the picture's and counts as the less
//   likely the more sharply the fraction lines up: a dithered picture read as two of its rows side
//   by side is smoother than at its own width, rows two apart sharing the dither.
// - Seams. A width that is two or three rows of a narrower picture side by side jumps at the column
//   where each next row starts, where the columns near it do not: a texture enlarged in blocks jumps
//   at every block's edge, one of which may fall there, so the seam counts only where it jumps more
//   than any column up to eight pixels either side.
// - The bytes' periods. The bytes of a pixel play different parts (channels, a word's halves,
//   padding), so the steps between neighbouring bytes differ from one position to the next with the
//   pixel's period: a pixel size that cannot make the period the bytes show (gray8 of 16-bit words;
//   16 bits of 32-bit pixels), or a four-byte pixel whose bytes show no period of four, is unlikely.
//   So is gray8 or a three-byte pixel where bytes two apart are nearer each other than neighbouring
//   bytes: 16-bit words are nearest the same half of the next word, even where flat fills change
//   both halves alike, while inside a flat fill three-byte pixels step between the same pairs of
//   channels one byte on as two bytes on.
// - The bytes' own marks. A 16-bit pixel's high byte (the high bits of red and green) changes less
//   often than its low byte; both orders are scored, the other one handicapped by how lopsided the
//   changes are. Flat drawings change both bytes alike at their edges, but the pixels between an
//   edge's two sides lie on the way from one side to the other only in the right order; the order
//   whose edges make the longer detour is handicapped by its lead. Where the two kinds point
//   opposite ways, the handicaps only set one order against the other: the words are no less
//   likely than other pixels for them (unless a byte's clear top nibble marks rgb444). A dithered
//   ground can set both kinds of evidence against the right order: a reading that is a picture but
//   for its order's handicap is still listed, and the probe is unsure rather than finding no
//   picture. rgb444
//   leaves the top four bits of its word zero, rgb666 the low two bits of each byte; a four-byte
//   pixel's padding keeps to one value (xrgb8888), an alpha byte mostly to 255 or 0, and far more
//   often than the byte two places away (argb8888): pairs of 16-bit words read as one pixel cannot
//   show that, their bytes two apart being the same half of a word.
// - Fixed marks. A byte that keeps one value or a clear top nibble at every second, third or fourth
//   position while the others vary is the format's doing; a pixel size that is no multiple of that
//   period (gray8 with every fourth byte 0) is far less likely.
// - Priors. Near ties go to a picture no further from square than 2:1 and to common panel sizes.
//
// Every layout gets a quick look, the best twelve a close one. How sure the first guess is, is its
// share of the weights (best score / score)^8 among those listed; on dumps that other tools wrote
// these figures were roughly calibrated (of guesses given at 90 to 99 %, about nine in ten were
// right). The first guess counts as sure only at 95 % or more, 1.2 times ahead of the next and by
// at least 0.001 (scores nearer 0 than that differ by which few edges the samples met: flat grey
// bands read as flat in gray8 and in rgb888 at a third of the width), and
// where its rows line up at all: a texture close to noise shows no sign of its row length. Nor where a
// row length of half its own or less lines up sharply, or where the bytes repeat at a length of two
// pixels or more that divides the row far more nearly than at any shorter whole number of pixels:
// a pattern that repeats along its rows lines up at every multiple of its repeat, and none of them
// is more the picture's width than another. Nor where the halves of its rows are nearly as alike as
// neighbouring rows, or fairly alike while each row's last pixel runs on into the next row's first:
// such a picture reads as well at twice or half its width (ordered dither makes a picture read
// smoother as two of its rows side by side, rows two apart sharing the dither).
// Nor where its rows line up only loosely with the next while rows two to four on line up far more
// exactly: a pattern whose rows repeat every few rows (bricks) reads as that many of its rows side
// by side, each row of the reading met again a period on. Nor where the bytes show a period of three
// standing out from those of two and four, which the guessed pixel cannot make: a pattern that
// repeats along its rows may read smoothest one repeat a row, in a pixel of the wrong size. Nor where
// the guess is no common panel's size while a panel of its pixel count is one whose rows line up at
// all: a grid of squares whose neighbours are more alike than its rows (a colour lookup grid) reads
// smoothest with each row cut into parts, a dithered drawing of flat fills and thin lines reads
// smoother as two of its rows side by side, slanted stripes line up at many row lengths, and only
// the panel tells the width. Nor where the guess
// is a strip further from square than 4:1 of no common panel's size: a pattern whose rows repeat
// every few rows reads as those rows side by side, and a picture of blocks that each ramp one
// channel reads smoother cut at a block, both as long strips whose rows line up like a picture's.
// Nor where it would lose its lead without the handicap of multiples: a pattern tiled along its rows
// lines up at every multiple of its repeat, and the handicap would set one of them clearly ahead.
//
// What the content cannot tell: whether red or blue is in the high bits (for a three-byte pixel that
// is also its byte order), whether the first row is the top, and alpha that is one value throughout
// from padding; the probe proposes red high, the first row on top and xrgb8888. Flat drawings of a
// few colours may not tell a 16-bit byte order or rgb444 from rgb565 either: the probe is then
// unsure, and a look at the candidates (probe --sheet) settles it. Rows are sampled in blocks spread
// over the file, so a dump of any size costs a few megabytes of reading. Within a block, the rows
// and columns scored are spread evenly but each at a varying place within its share, never at one
// fixed spacing: a picture of blocks as tall as half that spacing would have every sampled row meet
// a block's edge, and read as noise at its own width.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
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
  // (1 / score)^8, which leaves a guess with twice the best score at a fraction of a percent.
  int confidence;
};

enum class ProbeVerdict {
  confident,  // the first guess is at least 95 % sure and clearly ahead of any other layout
  unsure,     // a picture, but another layout scores nearly as well
  no_guess,   // nothing reads as a picture: noise, one value throughout, or too few bytes
};

struct ProbeResult {
  ProbeVerdict verdict = ProbeVerdict::no_guess;
  // The best layouts, best first, at most one for each format, byte order and size.
  std::vector<ProbeGuess> ranked;
  // Why an unsure first guess is not taken, in words for the user: the next guesses read almost as
  // well, or its content cannot tell its width (so that a guess of 100 % is not called a close one).
  std::string doubt;
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
