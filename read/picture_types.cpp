#include "read/picture_types.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

#include "codecs/image_codecs.h"
#include "read/gif_reader.h"
#include "read/png_reader.h"
#include "read/pnm_reader.h"
#include "read/tga_reader.h"

namespace {

bool starts_with(std::span<const std::uint8_t> bytes, std::string_view text, std::size_t at = 0) {
  return bytes.size() >= at + text.size() && std::memcmp(bytes.data() + at, text.data(), text.size()) == 0;
}

bool bmp(std::span<const std::uint8_t> start, std::optional<std::uint64_t>) { return starts_with(start, "BM"); }
bool png(std::span<const std::uint8_t> start, std::optional<std::uint64_t>) { return has_png_signature(start); }
// JPEG and TIFF have no reader of the project's own: the codecs know their signatures.
bool codecs_name(std::span<const std::uint8_t> start, std::string_view name) {
  const char* format = codec_format_of(start);
  return format != nullptr && format == name;
}
bool jpeg(std::span<const std::uint8_t> start, std::optional<std::uint64_t>) { return codecs_name(start, "JPEG"); }
bool gif(std::span<const std::uint8_t> start, std::optional<std::uint64_t>) { return has_gif_signature(start); }
bool tga(std::span<const std::uint8_t> start, std::optional<std::uint64_t> file_size) {
  return looks_like_tga(start, file_size);
}
bool pnm(std::span<const std::uint8_t> start, std::optional<std::uint64_t>) { return has_pnm_signature(start); }
bool tiff(std::span<const std::uint8_t> start, std::optional<std::uint64_t>) { return codecs_name(start, "TIFF"); }

constexpr std::array<PictureTypeRow, 7> rows{{
    // type, name, starts, signature, compressed, exif, frames, own reader
    {PictureType::bmp, "BMP", bmp, true, false, false, false, true},
    {PictureType::png, "PNG", png, true, true, true, false, true},
    {PictureType::jpeg, "JPEG", jpeg, true, true, true, false, false},
    {PictureType::gif, "GIF", gif, true, true, false, true, true},
    {PictureType::tga, "TGA", tga, false, true, false, false, true},
    {PictureType::pnm, "PNM", pnm, true, true, false, false, true},
    {PictureType::tiff, "TIFF", tiff, true, true, true, false, false},
}};

// An SVG is XML text whose root is <svg>: its opening bytes hold the element's name, after any
// byte order mark, XML declaration, comment or doctype.
bool is_svg(std::span<const std::uint8_t> start) {
  const std::string_view text(reinterpret_cast<const char*>(start.data()), std::min<std::size_t>(start.size(), 4096));
  const std::size_t first = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
  return first != std::string_view::npos && text[first] == '<' && text.find("<svg") != std::string_view::npos;
}

}  // namespace

std::span<const PictureTypeRow> picture_types() { return rows; }

const PictureTypeRow* picture_type_of(std::span<const std::uint8_t> start, std::optional<std::uint64_t> file_size) {
  for (const bool signature : {true, false}) {
    for (const PictureTypeRow& row : rows) {
      if (row.signature == signature && row.starts(start, file_size)) return &row;
    }
  }
  return nullptr;
}

std::string picture_type_names(bool (*keep)(const PictureTypeRow&), std::string_view last) {
  std::string names;
  std::size_t left = static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(), keep));
  for (const PictureTypeRow& row : rows) {
    if (!keep(row)) continue;
    --left;
    if (!names.empty() && left == 0) {
      names += ' ';
      names += last;
      names += ' ';
    } else if (!names.empty()) {
      names += ", ";
    }
    names += row.name;
  }
  return names;
}

std::string picture_type_names(std::string_view last) {
  return picture_type_names([](const PictureTypeRow&) { return true; }, last);
}

std::string not_a_picture_reason(std::span<const std::uint8_t> start) {
  // Neither has a decoder on both builds (Windows has no WebP codec of its own, nor any SVG one).
  if (starts_with(start, "RIFF") && starts_with(start, "WEBP", 8))
    return "a WebP picture, which is not read: convert it to PNG first (e.g. dwebp picture.webp -o picture.png)";
  if (is_svg(start))
    return "an SVG picture, which is not read: convert it to PNG first (e.g. rsvg-convert -o picture.png "
           "picture.svg)";
  return "not a picture it reads (" + picture_type_names() + ")";
}
