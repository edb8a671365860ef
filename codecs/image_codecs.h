// Pictures in the formats of the platform's image codecs: Qt's image readers on Linux (Qt Gui, no
// display or application object needed), the Windows Imaging Component on Windows. Only the
// command line uses them, to read JPEG and TIFF pictures; the dialogs convert BMPs alone. GIFs are read
// by read/gif_reader.h, which composes every frame alike on both builds. PNGs are
// read by read/png_reader.h and written by containers/png_output.h; the codecs' PNG decoding is
// kept as an independent check of that writer in its tests.
//
// Decoding takes the file's bytes and accepts PNG, JPEG, GIF and TIFF (each the first frame or page),
// whatever the file's name. The picture comes back as width * height BGRA quads (straight alpha, pixels.h) with
// no row padding, top row first (the codecs' stored order), a PNG's 16-bit channels taken to 8 bits
// by rounding, (v * 255 + 32767) / 65535, so that both builds give the same pixels. Laying the
// picture over a background is left to the job, for the formats that keep no alpha.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "files/failure.h"
#include "pixels/pixels.h"

struct CodecPicture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::unique_ptr<std::uint8_t[]> quads;
  // The picture is the file's reduced to 1/reduced in each side (a JPEG decoded at a reduced scale).
  std::uint32_t reduced = 1;
};

// Asked with a JPEG's full size before it is decoded: the 1/n (1, 2, 4 or 8) of it to decode at,
// through the codec's own reduced inverse transform, which reads every coefficient but makes only
// the reduced pixels. An n that does not divide both sides is taken as 1, so that the reduced picture
// keeps the proportions and the grid of the file's pixels exactly (the codecs' reduced decoding makes
// an edge of ceil(side / n) pixels, whose last pixel would cover less of the file than the others).
using DecodeReduction = std::function<std::uint32_t(std::uint32_t width, std::uint32_t height)>;

// The reduction `choose` gives a width x height JPEG, taken as 1 when it is not 2, 4 or 8 dividing
// both sides.
std::uint32_t checked_reduction(const DecodeReduction& choose, std::uint32_t width, std::uint32_t height);

// The codecs refuse a file in the shape every stage does (files/failure.h): Fault::not_recognised
// for one that is no PNG, JPEG, GIF or TIFF at all (someone else's to refuse); Fault::cannot_open for
// one of them cut short or damaged; Fault::unsupported for one with no pixels, or more than a raw
// image or this build's memory can take.
// A picture of more than `pixel_limit` pixels is refused as too large before it is decoded. A file
// that starts with the signature of a PNG, JPEG, GIF or TIFF is that format's to refuse, in the same words
// on every build, whether or not the platform's codec recognised it as one.
// A JPEG is decoded at the reduction `reduce` chooses, when given; other formats whole.
std::variant<CodecPicture, Failure> decode_with_codecs(std::span<const std::uint8_t> file, std::uint64_t pixel_limit,
                                                       const DecodeReduction& reduce = {});

// "PNG", "JPEG", "GIF" or "TIFF" for a file that starts with that format's signature; null for others.
const char* codec_format_of(std::span<const std::uint8_t> file);

// Readies the platform's codecs on the calling thread; a program that decodes on worker threads calls
// it first, on its main thread (Qt's readers are plugins whose objects must outlive the workers).
// Decoding readies them too, when no one has.
void ready_platform_codecs();

// The platform's own decoding, which decode_with_codecs wraps: each build's twin file has one. A file
// it cannot decode is refused as Fault::cannot_open, in the words of the library under the codec when
// it said any (libjpeg's, libtiff's), else with no reason; a JPEG whose rows the library made up
// (grey, for a scan cut short or damaged) is refused so even though the library decoded it.
std::variant<CodecPicture, Failure> decode_with_platform_codecs(std::span<const std::uint8_t> file,
                                                                std::uint64_t pixel_limit,
                                                                const DecodeReduction& reduce);

// What both builds share of decoding: the layouts the codecs hand over, and one row of them turned
// into quads.
enum class CodecRow {
  bgra8,   // blue, green, red, alpha: a byte each
  rgba16,  // red, green, blue, alpha: 16-bit little-endian each
  rgb16,   // red, green, blue: 16-bit little-endian each, opaque
  gray16,  // one 16-bit little-endian grey level, opaque
  bgr8,    // blue, green, red: a byte each, opaque
  gray8,   // one grey level, a byte, opaque
};
void quads_row(const std::uint8_t* pixels, CodecRow layout, std::uint32_t width, std::uint8_t* quads);

// A picture of width x height with its buffer of quads, when its raw image fits a 32-bit count
// and the quads fit this build's memory.
std::variant<CodecPicture, Failure> allocate_picture(std::uint32_t width, std::uint32_t height);

// The refusal of a picture of width x height over `pixel_limit` pixels, before it is decoded: a
// compressed file of a few bytes can declare billions of pixels.
std::optional<Failure> over_limit(std::uint64_t width, std::uint64_t height, std::uint64_t pixel_limit);
