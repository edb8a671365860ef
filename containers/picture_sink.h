// The pictures that unpack writes, behind one interface: each is begun, takes the picture's rows a
// band at a time, and is finished, and hands back the bytes of the file as they are made.
//
// - BMP: the 24-bit bottom-up BMP with a 58-byte header (bmp_output.h). It takes its rows bottom row
//   first, as it stores them, so that the file is written front to back; each row is BGR triples
//   padded with zeros to the BMP's row length, which the walk leaves in place.
// - PNG: 8-bit RGB, or RGBA for a picture with alpha (png_output.h), top row first; rows of triples
//   or quads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "containers/bmp_output.h"

class PictureSink {
 public:
  virtual ~PictureSink() = default;

  // The rows come bottom row first (else top row first).
  virtual bool bottom_up() const = 0;
  // The rows are BGRA quads, straight alpha (else BGR triples).
  virtual bool quads() const = 0;
  // Bytes from one row's start to the next in the bands that append() takes.
  virtual std::size_t stride() const = 0;
  // The length of the whole file when it is known beforehand.
  virtual std::optional<std::uint64_t> size() const = 0;

  // The file's first bytes; each call's bytes are valid until the next call. Nullopt when the
  // compressor found no memory.
  virtual std::optional<std::span<const std::uint8_t>> begin() = 0;
  // The next `count` rows, stride() bytes apart from `rows` on.
  virtual std::optional<std::span<const std::uint8_t>> append(const std::uint8_t* rows, std::uint32_t count) = 0;
  virtual std::optional<std::span<const std::uint8_t>> finish() = 0;
};

std::unique_ptr<PictureSink> make_bmp_sink(const BmpOutput& layout);
// Nullopt when the compressor found no memory.
std::unique_ptr<PictureSink> make_png_sink(std::uint32_t width, std::uint32_t height, bool alpha);
