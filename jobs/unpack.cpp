// Talvose's Generate job: a raw 16-bit image of the fixed 568 x 130 frame back into a 24-bit BMP
// with a 58-byte header, bottom row first as the raw image's rows came from a bottom-up picture.
// From the command line the same job takes other frame sizes, the word layouts of UnpackOptions and
// raw images whose first row is the picture's top row, and writes a PNG for an output named so; it
// writes either band by band there, so that a frame of any size takes a few megabytes.
#include "jobs/unpack.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "codecs/image_codecs.h"
#include "containers/bmp_output.h"
#include "containers/lvgl_image.h"
#include "containers/png_output.h"
#include "files/file_view.h"
#include "files/output_block.h"
#include "files/output_file.h"
#include "files/view_access.h"
#include "format/pixel_format.h"
#include "format/word_format.h"
#include "job/convert.h"
#include "jobs/probe.h"
#include "pixels/little_endian.h"
#include "read/frame_sizes.h"

namespace {

constexpr std::uint32_t fixed_width = 568;
constexpr std::uint32_t fixed_height = 130;
constexpr const char* png_failed = "the PNG could not be made";

// The raw image's bytes: two a pixel, no padding between rows.
std::uint64_t frame_length(const BmpOutput& layout) { return std::uint64_t{layout.width} * layout.height * 2; }

// An input of another size than the frame's converts all the same, with a warning.
std::optional<std::string> size_warning(std::uint64_t input_size, const BmpOutput& layout) {
  const std::uint64_t frame_bytes = frame_length(layout);
  if (input_size == frame_bytes) return std::nullopt;
  std::string warning =
      "warning: " + std::to_string(input_size) + " bytes, not the " + std::to_string(frame_bytes) + " bytes of a " +
      std::to_string(layout.width) + " x " + std::to_string(layout.height) + " frame; " +
      (input_size < frame_bytes ? "the pixels no word reaches are black" : "the bytes past it are left out");
  // The wrong size given is the likeliest cause, so the sizes the input would fill are named.
  const std::vector<FrameSize> sizes = frame_sizes_of(input_size);
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    warning += i == 0 ? "; it fits " : ", ";
    warning += std::to_string(sizes[i].width) + "x" + std::to_string(sizes[i].height);
  }
  if (!sizes.empty()) warning += " exactly";
  return warning;
}

// An output named *.png, when the options allow the codecs: the frame as a PNG, upright, for any
// viewer. Case does not matter, as it does not to the systems that show such files.
bool wants_png(const UnpackOptions& options, std::string_view path) {
  if (!options.codecs || path.size() < 4) return false;
  std::string suffix(path.substr(path.size() - 4));
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return suffix == ".png";
}

// A PNG of the frame begun, or the refusal when there is no memory for it.
std::variant<PngOutput, Outcome> begin_png(const BmpOutput& layout, bool alpha) {
  std::optional<PngOutput> png =
      PngOutput::begin(layout.width, layout.height, alpha ? PngColour::rgba : PngColour::rgb);
  if (!png) return refusal(Ending::out_of_memory, png_failed);
  return std::move(*png);
}

// A whole PNG in a new block, its rows, top row first, from `row_of` (BGR triples, or BGRA quads
// with `alpha`); nullopt when memory ran out.
template <typename RowOf>
std::optional<OutputBlock> whole_png(const BmpOutput& layout, bool alpha, RowOf&& row_of) {
  std::optional<PngOutput> png =
      PngOutput::begin(layout.width, layout.height, alpha ? PngColour::rgba : PngColour::rgb);
  if (!png) return std::nullopt;
  try {
    std::vector<std::uint8_t> file;
    const auto take = [&] {
      file.insert(file.end(), png->pending().begin(), png->pending().end());
      png->clear_pending();
    };
    for (std::uint32_t y = 0; y < layout.height; ++y) {
      if (!png->add_row(row_of(y))) return std::nullopt;
      take();
    }
    if (!png->finish()) return std::nullopt;
    take();
    return OutputBlock::copy_of(file);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

// The frame's BMP rows, bottom row first, as a PNG in a new block.
std::optional<OutputBlock> as_png(const OutputBlock& pixels, const BmpOutput& layout) {
  const std::uint8_t* rows = pixels.bytes().data();
  return whole_png(layout, false,
                   [&](std::uint32_t y) { return rows + std::size_t{layout.height - 1 - y} * layout.row_length; });
}

// The kind of picture whose signature `bytes`, the start of a file of `file_size` bytes, begin with,
// or null for none. A raw image may start with any bytes, but one of these signatures in front of a
// file handed to unpack is far likelier a picture given where its raw image was meant.
const char* picture_signature(std::span<const std::uint8_t> bytes, std::uint64_t file_size) {
  if (const char* format = codec_format_of(bytes)) return format;
  // "BM" and a file size field that matches the file: two bytes alone are too common in raw data.
  if (bytes.size() >= 6 && bytes[0] == 'B' && bytes[1] == 'M' && load_le32(bytes.data() + 2) == file_size) return "BMP";
  return nullptr;
}

// Only the frame's words, and a picture's signature, are read: the rest of a longer file is never
// mapped.
constexpr std::uint64_t longest_signature = 8;

// The input with its first `max_bytes` mapped, refused when the options take a picture's signature
// at its start for swapped arguments.
std::variant<FileView, Outcome> open_raw(const std::string& path, const UnpackOptions& options,
                                         std::uint64_t max_bytes) {
  std::variant<FileView, Outcome> opened = open_input(path, Ending::cannot_open_input, max_bytes);
  if (!options.refuse_pictures || std::holds_alternative<Outcome>(opened)) return opened;
  const FileView& view = std::get<FileView>(opened);
  const char* picture = nullptr;
  if (access_views([&] { picture = picture_signature(view.bytes(), view.file_size()); }) != nullptr)
    return refusal(Ending::cannot_open_input, cut_short_reason);
  if (picture != nullptr)
    return refusal(
        Ending::cannot_open_input,
        "a " + std::string(picture) + " picture, not a raw image: rgb565 pack converts pictures into raw images");
  return opened;
}

// Expands the input's words into the frame's BMP rows; the input is released on return.
Conversion convert(const std::string& path, const BmpOutput& layout, const UnpackOptions& options) {
  std::variant<FileView, Outcome> opened = open_raw(path, options, std::max(frame_length(layout), longest_signature));
  if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  const std::span<const std::uint8_t> bytes = std::get<FileView>(opened).bytes();
  std::variant<OutputBlock, Outcome> allocated = allocate_output(layout.pixel_bytes);
  if (Outcome* refused = std::get_if<Outcome>(&allocated)) return std::move(*refused);
  Converted converted{std::get<OutputBlock>(std::move(allocated))};
  if (std::optional<std::string> warning = size_warning(std::get<FileView>(opened).file_size(), layout))
    converted.warnings.push_back(std::move(*warning));
  const std::span<std::uint8_t> pixels = converted.block.bytes();
  if (access_views([&] { expand_into_bmp(bytes, layout, options.top_down, options.format, pixels); }) != nullptr)
    return refusal(Ending::cannot_open_input, cut_short_reason);
  return converted;
}

// About a megabyte of stored rows a band: small enough to stay in cache between its expansion and
// its write, large enough that the calls per band cost nothing beside the copying.
constexpr std::uint32_t band_bytes = std::uint32_t{1} << 20;

std::uint32_t rows_per_band(const BmpOutput& layout, const UnpackOptions& options) {
  const std::uint32_t rows =
      options.band_rows != 0 ? options.band_rows : std::max<std::uint32_t>(1, band_bytes / layout.row_length);
  return std::min(rows, layout.height);
}

// The BMP written band by band as it is made, bottom row first as it is stored, each band expanded
// from the window of the input that holds its rows; or with `png` the PNG, top row first, its bands
// taken from the top of the frame. The new file takes its name only once it is complete, so a
// failure, or an input cut short meanwhile, leaves what was at that name.
Outcome stream_rgb565(const JobPaths& paths, const BmpOutput& layout, const UnpackOptions& options, bool png,
                      JobProgress& progress) {
  std::variant<FileView, Outcome> opened = open_raw(paths.first, options, longest_signature);
  if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  FileView& input = std::get<FileView>(opened);
  const std::uint64_t input_size = input.file_size();
  const std::uint32_t rows = rows_per_band(layout, options);
  std::vector<std::uint8_t> band;
  try {
    band.resize(std::size_t{rows} * layout.row_length);
  } catch (const std::bad_alloc&) {
    return refusal(Ending::out_of_memory);
  }
  std::optional<PngOutput> writer;
  if (png) {
    std::variant<PngOutput, Outcome> begun = begin_png(layout, false);
    if (Outcome* refused = std::get_if<Outcome>(&begun)) return std::move(*refused);
    writer.emplace(std::get<PngOutput>(std::move(begun)));
  }
  std::variant<OutputFile, Outcome> created = begin_output(paths.second, progress);
  if (Outcome* refused = std::get_if<Outcome>(&created)) return std::move(*refused);
  OutputFile& output = std::get<OutputFile>(created);
  const auto write_pending = [&]() -> std::optional<SystemError> {
    std::optional<SystemError> error = output.write(writer->pending());
    writer->clear_pending();
    return error;
  };
  if (std::optional<SystemError> error = png ? write_pending() : output.write(layout.header)) return not_saved(*error);
  for (std::uint32_t done = 0; done < layout.height; done += rows) {
    const std::uint32_t count = std::min(rows, layout.height - done);
    // The stored rows of this band: from the bottom up for the BMP, from the top down for the PNG.
    const std::uint32_t first = png ? layout.height - done - count : done;
    const std::uint64_t offset = band_input_offset(layout, first, count, options.top_down);
    // A short input's last bands have fewer words, or none, and are black where they have none.
    const std::uint64_t length =
        offset < input_size ? std::min(std::uint64_t{count} * layout.width * 2, input_size - offset) : 0;
    std::span<const std::uint8_t> words;
    if (length != 0) {
      if (std::optional<SystemError> error = input.map_window(offset, length))
        return refusal(Ending::cannot_open_input, {}, describe(*error));
      words = input.bytes();
    }
    const std::span<std::uint8_t> out(band.data(), std::size_t{count} * layout.row_length);
    if (access_views([&] { expand_band_into_bmp(words, layout, count, options.top_down, options.format, out); }) !=
        nullptr)
      return refusal(Ending::cannot_open_input, cut_short_reason);
    if (!png) {
      if (std::optional<SystemError> error = output.write(out)) return not_saved(*error);
      continue;
    }
    for (std::uint32_t j = count; j-- > 0;)
      if (!writer->add_row(out.data() + std::size_t{j} * layout.row_length))
        return refusal(Ending::out_of_memory, png_failed);
    if (std::optional<SystemError> error = write_pending()) return not_saved(*error);
  }
  if (png) {
    if (!writer->finish()) return refusal(Ending::out_of_memory, png_failed);
    if (std::optional<SystemError> error = write_pending()) return not_saved(*error);
  }
  if (std::optional<SystemError> error = output.commit()) return not_saved(*error);
  Outcome outcome;
  if (std::optional<std::string> warning = size_warning(input_size, layout))
    outcome.warnings.push_back(std::move(*warning));
  return outcome;
}

// An input of another size than a frame of another format: converted all the same, with a warning.
std::string format_size_warning(std::uint64_t input_size, std::uint64_t frame_bytes, const BmpOutput& layout,
                                PixelFormat format) {
  return "warning: " + std::to_string(input_size) + " bytes, not the " + std::to_string(frame_bytes) + " bytes of a " +
         std::to_string(layout.width) + " x " + std::to_string(layout.height) + " frame of " +
         std::string(format_info(format).name) + "; " +
         (input_size < frame_bytes ? "the pixels no byte reaches are black" : "the bytes past it are left out");
}

// A colour divided by its alpha again, for a picture stored premultiplied.
std::uint8_t unpremultiplied(unsigned colour, unsigned alpha) {
  if (alpha == 0) return 0;
  return static_cast<std::uint8_t>(std::min(255u, (colour * 255 + alpha / 2) / alpha));
}

// A raw image of another format than the dialog's own, whole: its bytes after `skip` (an LVGL
// header) decoded into quads, the pixels no byte reaches black, then written as the BMP's stored
// rows, or upright as a PNG (with alpha where the format has it). Returns the conversion; the
// input is released on return.
Conversion convert_format(const std::string& path, const BmpOutput& layout, const FormatSettings& settings,
                          std::uint64_t skip, bool top_down, bool unpremultiply, bool png,
                          const UnpackOptions& options) {
  const ImageLayout image = image_layout(settings, layout.width, layout.height);
  // A 32-bit build cannot hold some frames' bytes or quads, which a BMP of the frame may still fit.
  if (image.total > SIZE_MAX || std::uint64_t{layout.width} * layout.height > SIZE_MAX / sizeof(BgraQuad))
    return refusal(Ending::out_of_memory, "the frame does not fit in memory");
  std::variant<FileView, Outcome> opened = open_raw(path, options, std::max(skip + image.total, longest_signature));
  if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  const FileView& view = std::get<FileView>(opened);
  const std::uint64_t input_size = view.file_size() > skip ? view.file_size() - skip : 0;
  std::vector<std::uint8_t> raw;
  std::vector<BgraQuad> quads;
  try {
    raw.assign(static_cast<std::size_t>(image.total), 0);
    quads.resize(std::size_t{layout.width} * layout.height);
  } catch (const std::bad_alloc&) {
    return refusal(Ending::out_of_memory);
  }
  const std::span<const std::uint8_t> bytes = view.bytes();
  if (access_views([&] {
        const std::size_t have = static_cast<std::size_t>(std::min<std::uint64_t>(input_size, image.total));
        if (have != 0) std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(skip), have, raw.begin());
      }) != nullptr)
    return refusal(Ending::cannot_open_input, cut_short_reason);
  std::vector<BgraQuad> palette(image.palette_bytes / 4);
  for (std::size_t k = 0; k < palette.size(); ++k)
    palette[k] = {raw[4 * k], raw[4 * k + 1], raw[4 * k + 2], raw[4 * k + 3]};
  FormatSettings decoding = settings;
  decoding.palette = palette;
  const std::span<const std::uint8_t> all(raw);
  decode_rows(decoding, 0,
              all.subspan(static_cast<std::size_t>(image.palette_bytes), static_cast<std::size_t>(image.plane_bytes)),
              layout.width, layout.height, quads);
  if (image.alpha_plane_bytes != 0)
    decode_rows(decoding, 1,
                all.subspan(static_cast<std::size_t>(image.palette_bytes + image.plane_bytes),
                            static_cast<std::size_t>(image.alpha_plane_bytes)),
                layout.width, layout.height, quads);
  if (unpremultiply) {
    for (BgraQuad& quad : quads)
      quad = {unpremultiplied(quad.blue, quad.alpha), unpremultiplied(quad.green, quad.alpha),
              unpremultiplied(quad.red, quad.alpha), quad.alpha};
  }
  std::vector<std::string> warnings;
  if (input_size != image.total)
    warnings.push_back(format_size_warning(input_size, image.total, layout, settings.format));
  // Raw row k is the BMP's stored row k, or with top_down the picture's row k from the top.
  const auto raw_row_of_stored = [&](std::uint32_t stored) { return top_down ? layout.height - 1 - stored : stored; };
  if (png) {
    const bool alpha = format_info(settings.format).alpha_bits != 0;
    std::vector<std::uint8_t> triples;
    try {
      triples.resize(std::size_t{layout.width} * 3);
    } catch (const std::bad_alloc&) {
      return refusal(Ending::out_of_memory);
    }
    std::optional<OutputBlock> block = whole_png(layout, alpha, [&](std::uint32_t y) -> const std::uint8_t* {
      const BgraQuad* from = quads.data() + std::size_t{raw_row_of_stored(layout.height - 1 - y)} * layout.width;
      if (alpha) return reinterpret_cast<const std::uint8_t*>(from);
      for (std::uint32_t x = 0; x < layout.width; ++x)
        triples[3 * x] = from[x].blue, triples[3 * x + 1] = from[x].green, triples[3 * x + 2] = from[x].red;
      return triples.data();
    });
    if (!block) return refusal(Ending::out_of_memory, png_failed);
    return Converted{std::move(*block), {}, std::move(warnings)};
  }
  std::variant<OutputBlock, Outcome> allocated = allocate_output(layout.pixel_bytes);
  if (Outcome* refused = std::get_if<Outcome>(&allocated)) return std::move(*refused);
  Converted converted{std::get<OutputBlock>(std::move(allocated)), layout.header, std::move(warnings)};
  const std::span<std::uint8_t> pixels = converted.block.bytes();
  std::fill(pixels.begin(), pixels.end(), std::uint8_t{0});
  for (std::uint32_t stored = 0; stored < layout.height; ++stored) {
    const BgraQuad* from = quads.data() + std::size_t{raw_row_of_stored(stored)} * layout.width;
    std::uint8_t* to = pixels.data() + std::size_t{stored} * layout.row_length;
    for (std::uint32_t x = 0; x < layout.width; ++x)
      to[3 * x] = from[x].blue, to[3 * x + 1] = from[x].green, to[3 * x + 2] = from[x].red;
  }
  return converted;
}

// What a raw image of another format is read as: its settings, the bytes before its pixels (an
// LVGL header), its row order and whether its colours are to be divided by alpha again.
struct RawFormat {
  FormatSettings settings;
  std::uint64_t skip = 0;
  bool top_down = false;
  bool unpremultiply = false;
};

// The same as convert_format, written band by band as it is made: each band of raw rows decoded
// from the windows of the input that hold them (the palette read once), and written as the BMP's
// stored rows, bottom row first, or with `png` as the PNG's rows, top row first. A band starts on
// an 8-row page for mono1 in pages; the raw bands go from the last where the output's first row is
// the raw image's last.
Outcome stream_format(const JobPaths& paths, const BmpOutput& layout, const RawFormat& raw,
                      const UnpackOptions& options, bool png, JobProgress& progress) {
  const ImageLayout image = image_layout(raw.settings, layout.width, layout.height);
  const bool alpha = png && format_info(raw.settings.format).alpha_bits != 0;
  std::variant<FileView, Outcome> opened = open_raw(paths.first, options, longest_signature);
  if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  FileView& input = std::get<FileView>(opened);
  const std::uint64_t input_size = input.file_size() > raw.skip ? input.file_size() - raw.skip : 0;
  std::uint32_t band = rows_per_band(layout, options);
  if (image.rows_per_unit > 1)
    band = std::max<std::uint32_t>(image.rows_per_unit, band / image.rows_per_unit * image.rows_per_unit);
  band = std::min(band, layout.height);
  std::vector<BgraQuad> palette(image.palette_bytes / 4), quads;
  std::vector<std::uint8_t> bytes, rows;
  // Copies `length` bytes of the raw image from `offset` on into `bytes`, zeros past the input.
  const auto read_raw = [&](std::uint64_t offset, std::uint64_t length) -> std::optional<Outcome> {
    bytes.assign(static_cast<std::size_t>(length), 0);
    const std::uint64_t have = offset < input_size ? std::min(length, input_size - offset) : 0;
    if (have == 0) return std::nullopt;
    if (std::optional<SystemError> error = input.map_window(raw.skip + offset, have))
      return refusal(Ending::cannot_open_input, {}, describe(*error));
    const std::span<const std::uint8_t> window = input.bytes();
    if (access_views([&] { std::copy_n(window.begin(), static_cast<std::size_t>(have), bytes.begin()); }) != nullptr)
      return refusal(Ending::cannot_open_input, cut_short_reason);
    return std::nullopt;
  };
  // A PNG takes one row at a time, of quads or triples; a BMP the band's stored rows at once.
  const std::size_t row_bytes = png ? std::size_t{layout.width} * (alpha ? 4 : 3) : layout.row_length;
  try {
    quads.resize(std::size_t{layout.width} * band);
    rows.resize(row_bytes * (png ? 1 : band));
    if (!palette.empty()) {
      if (std::optional<Outcome> refused = read_raw(0, image.palette_bytes)) return std::move(*refused);
      for (std::size_t k = 0; k < palette.size(); ++k)
        palette[k] = {bytes[4 * k], bytes[4 * k + 1], bytes[4 * k + 2], bytes[4 * k + 3]};
    }
  } catch (const std::bad_alloc&) {
    return refusal(Ending::out_of_memory);
  }
  FormatSettings settings = raw.settings;
  settings.palette = palette;
  std::optional<PngOutput> writer;
  if (png) {
    std::variant<PngOutput, Outcome> begun = begin_png(layout, alpha);
    if (Outcome* refused = std::get_if<Outcome>(&begun)) return std::move(*refused);
    writer.emplace(std::get<PngOutput>(std::move(begun)));
  }
  std::variant<OutputFile, Outcome> created = begin_output(paths.second, progress);
  if (Outcome* refused = std::get_if<Outcome>(&created)) return std::move(*refused);
  OutputFile& output = std::get<OutputFile>(created);
  const auto write_pending = [&]() -> std::optional<SystemError> {
    std::optional<SystemError> error = output.write(writer->pending());
    writer->clear_pending();
    return error;
  };
  if (std::optional<SystemError> error = png ? write_pending() : output.write(layout.header)) return not_saved(*error);
  // The BMP's first stored row is the bottom row, the PNG's first row the top row; the raw image's
  // first row is the top row when it is top-down.
  const bool last_first = raw.top_down != png;
  const std::uint32_t bands = (layout.height + band - 1) / band;
  try {
    for (std::uint32_t k = 0; k < bands; ++k) {
      const std::uint32_t first = (last_first ? bands - 1 - k : k) * band;  // raw row
      const std::uint32_t count = std::min(band, layout.height - first);
      const std::span<BgraQuad> band_quads(quads.data(), std::size_t{layout.width} * count);
      if (std::optional<Outcome> refused = read_raw(image.palette_bytes + first / image.rows_per_unit * image.row_bytes,
                                                    ::band_bytes(settings, 0, layout.width, count)))
        return std::move(*refused);
      decode_rows(settings, 0, bytes, layout.width, count, band_quads);
      // A plane of alpha is read where it counts: for a PNG with alpha, or to divide colours by it.
      if (image.alpha_plane_bytes != 0 && (alpha || raw.unpremultiply)) {
        if (std::optional<Outcome> refused =
                read_raw(image.palette_bytes + image.plane_bytes + std::uint64_t{first} * image.alpha_row_bytes,
                         ::band_bytes(settings, 1, layout.width, count)))
          return std::move(*refused);
        decode_rows(settings, 1, bytes, layout.width, count, band_quads);
      }
      // The band's raw rows in the output's order.
      for (std::uint32_t j = 0; j < count; ++j) {
        const BgraQuad* from = band_quads.data() + std::size_t{last_first ? count - 1 - j : j} * layout.width;
        std::uint8_t* to = rows.data() + (png ? 0 : std::size_t{j} * row_bytes);
        std::fill(to, to + row_bytes, std::uint8_t{0});
        for (std::uint32_t x = 0; x < layout.width; ++x) {
          const BgraQuad pixel = raw.unpremultiply
                                     ? BgraQuad{unpremultiplied(from[x].blue, from[x].alpha),
                                                unpremultiplied(from[x].green, from[x].alpha),
                                                unpremultiplied(from[x].red, from[x].alpha), from[x].alpha}
                                     : from[x];
          if (alpha) {
            to[4 * x] = pixel.blue, to[4 * x + 1] = pixel.green, to[4 * x + 2] = pixel.red, to[4 * x + 3] = pixel.alpha;
          } else {
            to[3 * x] = pixel.blue, to[3 * x + 1] = pixel.green, to[3 * x + 2] = pixel.red;
          }
        }
        if (png && !writer->add_row(rows.data())) return refusal(Ending::out_of_memory, png_failed);
      }
      if (std::optional<SystemError> error =
              png ? write_pending() : output.write({rows.data(), std::size_t{count} * layout.row_length}))
        return not_saved(*error);
    }
    if (png) {
      if (!writer->finish()) return refusal(Ending::out_of_memory, png_failed);
      if (std::optional<SystemError> error = write_pending()) return not_saved(*error);
    }
  } catch (const std::bad_alloc&) {
    return refusal(Ending::out_of_memory);
  }
  if (std::optional<SystemError> error = output.commit()) return not_saved(*error);
  Outcome outcome;
  if (input_size != image.total)
    outcome.warnings.push_back(format_size_warning(input_size, image.total, layout, raw.settings.format));
  return outcome;
}

// The frame at the size the options give, written as a BMP or a PNG.
Outcome unpack_at_size(const JobPaths& paths, const UnpackOptions& options, JobProgress& progress) {
  const bool own_size = options.width == 0 && options.height == 0;
  const std::optional<BmpOutput> layout =
      own_size ? bmp_output(fixed_width, fixed_height) : bmp_output(options.width, options.height);
  if (!layout) return refusal(Ending::out_of_memory, "the frame's BMP would not fit 4 GiB");
  const bool png = wants_png(options, paths.second);
  // An LVGL image says its own size and format, and its rows are top row first.
  if (options.lvgl_header && own_size && options.pixel_format == PixelFormat::rgb565) {
    if (const std::optional<LvglImage> lvgl = lvgl_image_at(paths.first)) {
      const std::optional<BmpOutput> lvgl_layout = bmp_output(lvgl->width, lvgl->height);
      if (!lvgl_layout) return refusal(Ending::out_of_memory, "the image's BMP would not fit 4 GiB");
      if (options.stream)
        return stream_format(paths, *lvgl_layout, {lvgl->settings, lvgl_header_size, true, lvgl->settings.premultiply},
                             options, png, progress);
      return convert_and_save(paths.second, progress, [&] {
        return convert_format(paths.first, *lvgl_layout, lvgl->settings, lvgl_header_size, true,
                              lvgl->settings.premultiply, png, options);
      });
    }
  }
  if (options.pixel_format != PixelFormat::rgb565) {
    FormatSettings settings;
    settings.format = options.pixel_format;
    settings.word = options.format;
    settings.pages = options.pages;
    if (options.stream)
      return stream_format(paths, *layout, {settings, 0, options.top_down, options.premultiplied}, options, png,
                           progress);
    return convert_and_save(paths.second, progress, [&] {
      return convert_format(paths.first, *layout, settings, 0, options.top_down, options.premultiplied, png, options);
    });
  }
  if (options.stream) return stream_rgb565(paths, *layout, options, png, progress);
  return convert_and_save(paths.second, progress, [&]() -> Conversion {
    Conversion conversion = convert(paths.first, *layout, options);
    Converted* converted = std::get_if<Converted>(&conversion);
    if (converted == nullptr) return conversion;
    if (!png) {
      converted->header = layout->header;
      return conversion;
    }
    std::optional<OutputBlock> encoded = as_png(converted->block, *layout);
    if (!encoded) return refusal(Ending::out_of_memory, "the PNG could not be made");
    converted->block = std::move(*encoded);
    return conversion;
  });
}

// A guess in words: "rgb565, 320 x 240, low byte first (87 % sure)", the format and byte order
// named when they were guessed.
std::string guess_text(const ProbeGuess& guess, bool with_format, bool with_order) {
  return (with_format ? std::string(guess.format->name) + ", " : std::string()) + std::to_string(guess.width) + " x " +
         std::to_string(guess.height) +
         (!with_order || !guess.order_told      ? ""
          : guess.bytes == ByteOrder::low_first ? ", low byte first"
                                                : ", high byte first") +
         " (" + std::to_string(guess.confidence) + " % sure)";
}

// The options with the size, and the format and byte order if asked, that the input's content reads
// best at; or the refusal of an input that is a picture, unreadable, or whose best guess is not
// clearly ahead. An LVGL image needs no guess: its header names its size and format.
std::variant<UnpackOptions, Outcome> with_guessed_layout(const std::string& path, UnpackOptions options,
                                                         std::string& note) {
  {
    std::variant<FileView, Outcome> opened = open_raw(path, options, longest_signature);
    if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  }
  if (options.lvgl_header && lvgl_image_at(path)) {
    options.width = options.height = 0;
    options.pixel_format = PixelFormat::rgb565;
    note = "an LVGL image: its header gives its size and format";
    return options;
  }
  ProbeLimits limits;
  if (!options.guess_format) limits.format = options.pixel_format;
  if (!options.guess_bytes) limits.bytes = options.format.bytes;
  if (!options.guess_size) {
    limits.width = options.width;
    limits.height = options.height;
  }
  std::variant<ProbeResult, Outcome> probed = probe_file(path, limits);
  if (Outcome* refused = std::get_if<Outcome>(&probed)) return std::move(*refused);
  const ProbeResult& result = std::get<ProbeResult>(probed);
  const std::string what = options.guess_format ? "layout" : "size";
  if (result.verdict == ProbeVerdict::no_guess)
    return refusal(Ending::cannot_open_input, "no confident guess of its " + what +
                                                  ": it does not read as a picture in any layout tried; give " +
                                                  (options.guess_format ? "--format and --size" : "--size"));
  if (result.verdict == ProbeVerdict::unsure) {
    std::string reason = "no confident guess of its " + what + ": ";
    for (std::size_t i = 0; i < result.ranked.size(); ++i)
      reason += (i == 0 ? "" : ", ") + guess_text(result.ranked[i], options.guess_format, options.guess_bytes);
    return refusal(Ending::cannot_open_input, reason + " read almost equally well; rgb565 probe shows each");
  }
  const ProbeGuess& best = result.ranked.front();
  options.width = best.width;
  options.height = best.height;
  options.pixel_format = best.format->format;
  if (best.format->byte_order_matters) options.format.bytes = best.bytes;
  note = (options.guess_format ? "format auto: " : "size auto: ") +
         guess_text(best, options.guess_format, options.guess_bytes);
  return options;
}

}  // namespace

Outcome unpack(const JobPaths& paths, const UnpackOptions& options, JobProgress& progress) {
  if (!options.guess_size && !options.guess_format) return unpack_at_size(paths, options, progress);
  std::string note;
  std::variant<UnpackOptions, Outcome> guessed = with_guessed_layout(paths.first, options, note);
  if (Outcome* refused = std::get_if<Outcome>(&guessed)) return std::move(*refused);
  Outcome outcome = unpack_at_size(paths, std::get<UnpackOptions>(guessed), progress);
  if (outcome.done()) outcome.warnings.insert(outcome.warnings.begin(), note);
  return outcome;
}
