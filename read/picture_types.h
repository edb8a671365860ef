// The kinds of picture the programs read, one row each: the name messages use, how a file's first
// bytes are known as one, and what the kind carries besides its pixels. A file is told by its first
// bytes here alone, and the lists that messages and --help give are made from the table, so a new
// reader is one row here and one file of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

enum class PictureType : std::uint8_t { bmp, png, jpeg, gif, tga, pnm, tiff };

struct PictureTypeRow {
  PictureType type;
  std::string_view name;
  // Whether `start`, a file's or a stream's first bytes, opens this kind: by its signature, or for
  // a kind without one by a plausible header, then also fitting a file of `file_size` bytes when that
  // is known.
  bool (*starts)(std::span<const std::uint8_t> start, std::optional<std::uint64_t> file_size);
  // The kind has a signature; the others are tried only when no signature matched.
  bool signature;
  // A few bytes of it can declare billions of pixels (a run-length coded BMP among BMPs), so
  // --max-pixels bounds it.
  bool compressed;
  // It may record an EXIF orientation, which pack lays upright by.
  bool exif;
  // It may hold an animation's frames.
  bool frames;
  // Read by the project's own reader on both builds, rather than the platform's codecs.
  bool own_reader;
};

// Every kind, in the order lists name them.
std::span<const PictureTypeRow> picture_types();

// The kind that `start` opens, or null for none. Kinds with a signature are asked first, so that
// a header that merely looks plausible never takes a file whose signature says otherwise. With
// `file_size`, a kind known only by its header must also fit the file's length exactly, which
// tells a picture from raw data that happens to start alike.
const PictureTypeRow* picture_type_of(std::span<const std::uint8_t> start,
                                      std::optional<std::uint64_t> file_size = std::nullopt);

// The names of the kinds for which `keep` holds, in the table's order, as a list in words: "PNG,
// JPEG or GIF" (`last` the word before the last name).
std::string picture_type_names(bool (*keep)(const PictureTypeRow&), std::string_view last = "or");
std::string picture_type_names(std::string_view last = "or");

// Why a file that starts with `start` and is none of those kinds is not read, in plain words: an
// SVG or a WebP is named, with a way to make a PNG of it; anything else is told what is read.
std::string not_a_picture_reason(std::span<const std::uint8_t> start);
