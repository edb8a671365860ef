// Talvose's Generate job, and rgb565 unpack: one walk for every raw image. The raw image's rows are
// read a band at a time through windows of the input, decoded by their pixel format, and handed to
// the picture written (a BMP, or a PNG for an output named so), whose bytes go to the output: the
// file as it is made from the command line, else memory saved once the input is released, as
// Talvose saves it. A frame of any size, of any format, takes a few megabytes. By default the raw
// image is the fixed 568 x 130 frame whose rows are the BMP's stored rows, bottom row first.
#include "jobs/unpack.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "containers/bmp_output.h"
#include "containers/lvgl_image.h"
#include "containers/picture_sink.h"
#include "containers/row_stride.h"
#include "files/command_line.h"
#include "files/file_view.h"
#include "files/output_file.h"
#include "files/view_access.h"
#include "format/pixel_format.h"
#include "format/word_format.h"
#include "job/convert.h"
#include "job/job_output.h"
#include "jobs/probe.h"
#include "pixels/little_endian.h"
#include "read/frame_sizes.h"
#include "read/picture_types.h"

namespace {

constexpr std::uint32_t fixed_width = 568;
constexpr std::uint32_t fixed_height = 130;
constexpr const char* png_failed = "the PNG could not be made";

// A compressed LVGL image's data, which the walk reads a band at a time: decoded once, whole, to
// check it before anything is written, with a mark every few megabytes; each read then decodes on
// from where the last one ended, or from the mark at or before it, so that the image takes a few
// megabytes of memory rather than its whole data.
class CompressedData {
 public:
  // A mark of LZ4 keeps 64 KiB of history, one of RLE a few numbers: LZ4's are fewer.
  CompressedData(LvglStream stream, LvglCompression method, std::uint64_t size)
      : stream_(std::move(stream)), size_(size), mark_every_(method == LvglCompression::lz4 ? 2u << 20 : 64u << 10) {}

  std::uint64_t size() const { return size_; }

  // Why the data does not decompress to the image, if it does not.
  std::optional<std::string> check() {
    for (std::uint64_t made = 0; made < size_;) {
      if (made % mark_every_ == 0) marks_.push_back(stream_.mark());
      const std::uint64_t count = std::min(mark_every_, size_ - made);
      if (std::optional<std::string> failed = skip(count)) return failed;
      made += count;
    }
    return stream_.finish();
  }

  // out.size() bytes from `offset` on, within the image, once checked; why not when the file was
  // changed meanwhile.
  std::optional<std::string> read(std::uint64_t offset, std::span<std::uint8_t> out) {
    const std::size_t mark = static_cast<std::size_t>(offset / mark_every_);
    if (stream_.made() > offset || stream_.made() < mark * mark_every_) stream_.resume(marks_[mark]);
    if (std::optional<std::string> failed = skip(offset - stream_.made())) return failed;
    return stream_.next(out);
  }

 private:
  // The next `count` bytes decoded and let go.
  std::optional<std::string> skip(std::uint64_t count) {
    if (scratch_.empty()) scratch_.resize(64 * 1024);
    for (std::uint64_t left = count; left > 0;) {
      const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, scratch_.size()));
      if (std::optional<std::string> failed = stream_.next({scratch_.data(), piece})) return failed;
      left -= piece;
    }
    return std::nullopt;
  }

  LvglStream stream_;
  std::uint64_t size_;
  std::uint64_t mark_every_;
  std::vector<LvglStream::Mark> marks_;  // before every mark_every_-th byte
  std::vector<std::uint8_t> scratch_;
};

// What the raw image is read as: its format and size, the bytes from one row to the next, the bytes
// before its pixels (an LVGL header), whether its first row is the picture's top row, and whether
// its colours are to be divided by alpha again. A compressed LVGL image's data is decoded as the
// walk reads it, in place of the file's bytes.
struct RawLayout {
  FormatSettings settings;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint64_t stride = 0;
  std::uint64_t skip = 0;
  bool top_down = false;
  bool unpremultiply = false;
  std::unique_ptr<CompressedData> compressed;
};

StridedLayout strided_of(const RawLayout& raw) {
  return strided_layout(raw.settings, raw.width, raw.height, raw.stride);
}

// An input of another length than the frame's converts all the same, with a warning. The wrong size
// given is the likeliest cause, so for the dialogs' RGB565 the sizes the input would fill are named.
std::optional<std::string> size_warning(std::uint64_t input_size, const RawLayout& raw, std::uint32_t frames) {
  const std::uint64_t frame_bytes = strided_of(raw).total * frames;
  if (input_size == frame_bytes) return std::nullopt;
  const bool rgb565 = raw.settings.format == PixelFormat::rgb565;
  const std::string size = std::to_string(raw.width) + " x " + std::to_string(raw.height);
  std::string warning = "warning: " + std::to_string(input_size) + " bytes, not the " + std::to_string(frame_bytes) +
                        " bytes of " +
                        (frames == 1 ? "a " + size + " frame" : std::to_string(frames) + " frames of " + size) +
                        (rgb565 ? "" : " of " + std::string(format_info(raw.settings.format).name)) + "; " +
                        (input_size > frame_bytes ? "the bytes past it are left out"
                         : rgb565                 ? "the pixels no word reaches are black"
                                                  : "the pixels no byte reaches are black");
  if (!rgb565 || frames != 1) return warning;
  const std::vector<FrameSize> sizes = frame_sizes_of(input_size);
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    warning += i == 0 ? "; it fits " : ", ";
    warning += std::to_string(sizes[i].width) + "x" + std::to_string(sizes[i].height);
  }
  if (!sizes.empty()) warning += " exactly";
  return warning;
}

// The picture of frame `index` of many: `path` with the frame's number, from 000, before its
// extension ("out.png" gives "out-000.png").
std::string frame_path(const std::string& path, std::uint32_t index) {
  char number[16];
  std::snprintf(number, sizeof number, "-%03u", static_cast<unsigned>(index));
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.rfind('.');
  const std::size_t at =
      dot != std::string::npos && (slash == std::string::npos || dot > slash + 1) ? dot : path.size();
  return path.substr(0, at) + number + path.substr(at);
}

// An output named *.png, when the options allow the codecs: the frame as a PNG, upright, for any
// viewer. Case does not matter, as it does not to the systems that show such files.
bool wants_png(const UnpackOptions& options, std::string_view path) {
  return options.switches.codecs && names_png(path);
}

// The kind of picture whose signature `bytes`, the start of a file of `file_size` bytes (unknown for a
// stream), begin with, or null for none. A raw image may start with any bytes, but one of these
// signatures in front of a file handed to unpack is far likelier a picture given where its raw
// image was meant.
const char* picture_signature(std::span<const std::uint8_t> bytes, std::optional<std::uint64_t> file_size) {
  const PictureTypeRow* type = picture_type_of(bytes, file_size);
  // A TGA has no signature: only an uncompressed one whose pixels end a file exactly is known.
  if (type == nullptr || (!type->signature && !file_size)) return nullptr;
  // "BM" alone is too common in raw data: a BMP's file size field must match the file as well.
  if (type->type == PictureType::bmp && (!file_size || bytes.size() < 6 || load_le32(bytes.data() + 2) != *file_size))
    return nullptr;
  return type->name.data();
}

// Only a picture's signature (a TGA's header, a PNM's first fields), or an LVGL header and its
// compression head, is read at the start: the bands map their own windows.
constexpr std::uint64_t header_bytes = std::max<std::uint64_t>(lvgl_header_size + lvgl_compression_head_size, 64);

// The input with its first bytes mapped, refused when the options take a picture's signature at its
// start for swapped arguments.
std::variant<FileView, Outcome> open_raw(const std::string& path, const UnpackOptions& options) {
  std::variant<FileView, Outcome> opened = open_input(path, Ending::cannot_open_input, header_bytes);
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

// A colour divided by its alpha again, for a picture stored premultiplied.
std::uint8_t unpremultiplied(unsigned colour, unsigned alpha) {
  if (alpha == 0) return 0;
  return static_cast<std::uint8_t>(std::min(255u, (colour * 255 + alpha / 2) / alpha));
}

// About a megabyte of output rows a band: small enough to stay in cache between its decoding and its
// write, large enough that the calls per band cost nothing beside the copying.
constexpr std::uint64_t band_size = std::uint64_t{1} << 20;

// The raw image's bytes, read a window at a time: zeros past the end of the input, and past the last
// whole pixel of a format whose pixels are whole bytes, so that a pixel no byte fully reaches is
// black rather than half made of the next frame's bytes. Padded rows are read with their padding
// and handed on without it.
class RawBytes {
 public:
  RawBytes(FileView& input, const RawLayout& raw)
      : input_(input),
        compressed_(raw.compressed.get()),
        skip_(raw.skip),
        size_(compressed_ != nullptr         ? compressed_->size()
              : input.file_size() > raw.skip ? input.file_size() - raw.skip
                                             : 0),
        unit_(raw.stride == image_layout(raw.settings, raw.width, 1).row_bytes ? whole_pixel_bytes(raw.settings) : 1) {}

  // `units` rows of `row` bytes each, `stride` bytes apart from `offset` on, as for read().
  std::variant<std::span<const std::uint8_t>, Outcome> read_rows(std::uint64_t offset, std::uint64_t units,
                                                                 std::uint64_t row, std::uint64_t stride) {
    std::variant<std::span<const std::uint8_t>, Outcome> got = read(offset, units * stride);
    if (std::holds_alternative<Outcome>(got) || stride == row) return got;
    for (std::uint64_t k = 1; k < units; ++k)
      std::memmove(bytes_.data() + k * row, bytes_.data() + k * stride, static_cast<std::size_t>(row));
    return std::span<const std::uint8_t>(bytes_.data(), static_cast<std::size_t>(units * row));
  }

  std::uint64_t size() const { return size_; }

  // `length` bytes of the raw image from `offset` on, valid until the next call; throws
  // std::bad_alloc when they find no memory.
  std::variant<std::span<const std::uint8_t>, Outcome> read(std::uint64_t offset, std::uint64_t length) {
    bytes_.assign(static_cast<std::size_t>(length), 0);
    std::uint64_t have = offset < size_ ? std::min(length, size_ - offset) : 0;
    have -= have % unit_;
    if (have == 0) return std::span<const std::uint8_t>(bytes_);
    if (compressed_ != nullptr) {
      std::optional<std::string> failed;
      // The compressed bytes lie in a view of the file, which another program may cut short.
      if (access_views([&] {
            failed = compressed_->read(offset, {bytes_.data(), static_cast<std::size_t>(have)});
          }) != nullptr)
        return refusal(Ending::cannot_open_input, cut_short_reason);
      if (failed) return refusal(Ending::cannot_open_input, lvgl_damaged(*failed));
      return std::span<const std::uint8_t>(bytes_);
    }
    if (std::optional<SystemError> error = input_.map_window(skip_ + offset, have))
      return refusal(Ending::cannot_open_input, {}, describe(*error));
    const std::span<const std::uint8_t> window = input_.bytes();
    if (access_views([&] { std::copy_n(window.begin(), static_cast<std::size_t>(have), bytes_.begin()); }) != nullptr)
      return refusal(Ending::cannot_open_input, cut_short_reason);
    return std::span<const std::uint8_t>(bytes_);
  }

 private:
  // The bytes of one pixel of a one-plane format of whole-byte pixels; 1 for any other.
  static std::uint64_t whole_pixel_bytes(const FormatSettings& settings) {
    const FormatInfo& info = format_info(settings.format);
    const ImageLayout one = image_layout(settings, 1, 1);
    if (info.bits_per_pixel % 8 != 0 || one.palette_bytes != 0 || one.alpha_plane_bytes != 0) return 1;
    return info.bits_per_pixel / 8;
  }

  FileView& input_;
  CompressedData* compressed_;
  std::uint64_t skip_;
  std::uint64_t size_;
  std::uint64_t unit_;
  std::vector<std::uint8_t> bytes_;
};

// The walk: the raw image's bands, in the order the picture takes its rows, decoded into the
// picture's rows and written through it to `output`. A band starts on an 8-row page for mono1 in
// pages; the raw bands go from the last where the picture's first row is the raw image's last.
std::optional<Outcome> walk(FileView& input, const RawLayout& raw, std::uint32_t band_rows, PictureSink& sink,
                            JobOutput& output) {
  const std::uint32_t width = raw.width, height = raw.height;
  const StridedLayout strided = strided_of(raw);
  const ImageLayout& image = strided.packed;
  RawBytes bytes(input, raw);
  const std::size_t stride = sink.stride();
  std::uint32_t band =
      band_rows != 0 ? band_rows : static_cast<std::uint32_t>(std::max<std::uint64_t>(1, band_size / stride));
  if (image.rows_per_unit > 1)
    band = std::max<std::uint32_t>(image.rows_per_unit, band / image.rows_per_unit * image.rows_per_unit);
  band = std::min(band, height);
  const bool alpha_read = image.alpha_plane_bytes != 0 && (sink.quads() || raw.unpremultiply);
  // RGB565's own kernels expand its words straight into rows of triples; every other format, and
  // RGB565 into quads, is decoded into quads first.
  const bool direct = raw.settings.format == PixelFormat::rgb565 && !sink.quads() && !raw.unpremultiply;
  // A format of alpha alone holds all its picture in the alpha, which a BMP has no room for: there
  // the mask is shown as a viewer shows the PNG, laid over a white page.
  const bool mask = !sink.quads() && holds_alpha_alone(raw.settings.format);
  FormatSettings settings = raw.settings;
  std::vector<BgraQuad> palette(image.palette_bytes / 4), quads;
  std::vector<std::uint8_t> rows;
  try {
    if (!palette.empty()) {
      std::variant<std::span<const std::uint8_t>, Outcome> got = bytes.read(0, image.palette_bytes);
      if (Outcome* refused = std::get_if<Outcome>(&got)) return std::move(*refused);
      const std::span<const std::uint8_t> entries = std::get<0>(got);
      for (std::size_t k = 0; k < palette.size(); ++k)
        palette[k] = {entries[4 * k], entries[4 * k + 1], entries[4 * k + 2], entries[4 * k + 3]};
    }
    settings.palette = palette;
    if (!direct) quads.resize(std::size_t{width} * band);
    rows.assign(stride * band, 0);

    const std::optional<std::span<const std::uint8_t>> begun = sink.begin();
    if (!begun) return refusal(Ending::out_of_memory, png_failed);
    if (std::optional<Outcome> refused = output.write(*begun)) return refused;
    // The picture's first row is the raw image's last where their row orders differ.
    const bool reversed = sink.bottom_up() == raw.top_down;
    const std::uint32_t bands = (height + band - 1) / band;
    for (std::uint32_t k = 0; k < bands; ++k) {
      const std::uint32_t first = (reversed ? bands - 1 - k : k) * band;  // raw row
      const std::uint32_t count = std::min(band, height - first);
      std::variant<std::span<const std::uint8_t>, Outcome> got =
          bytes.read_rows(image.palette_bytes + first / image.rows_per_unit * strided.stride,
                          band_bytes(settings, 0, width, count) / image.row_bytes, image.row_bytes, strided.stride);
      if (Outcome* refused = std::get_if<Outcome>(&got)) return std::move(*refused);
      if (direct) {
        expand_rows(std::get<0>(got), static_cast<std::uint32_t>(stride), width, count, reversed, settings.word, rows);
      } else {
        const std::span<BgraQuad> band_quads(quads.data(), std::size_t{width} * count);
        decode_rows(settings, 0, std::get<0>(got), width, count, band_quads);
        if (alpha_read) {
          got = bytes.read_rows(
              image.palette_bytes + strided.units * strided.stride + std::uint64_t{first} * strided.alpha_stride, count,
              image.alpha_row_bytes, strided.alpha_stride);
          if (Outcome* refused = std::get_if<Outcome>(&got)) return std::move(*refused);
          decode_rows(settings, 1, std::get<0>(got), width, count, band_quads);
        }
        for (std::uint32_t j = 0; j < count; ++j) {
          const BgraQuad* from = band_quads.data() + std::size_t{reversed ? count - 1 - j : j} * width;
          std::uint8_t* to = rows.data() + j * stride;
          for (std::uint32_t x = 0; x < width; ++x) {
            const BgraQuad pixel = raw.unpremultiply
                                       ? BgraQuad{unpremultiplied(from[x].blue, from[x].alpha),
                                                  unpremultiplied(from[x].green, from[x].alpha),
                                                  unpremultiplied(from[x].red, from[x].alpha), from[x].alpha}
                                       : from[x];
            if (sink.quads()) {
              to[4 * x] = pixel.blue, to[4 * x + 1] = pixel.green, to[4 * x + 2] = pixel.red,
                     to[4 * x + 3] = pixel.alpha;
            } else if (mask) {
              const BgrTriple shown = over(pixel, {255, 255, 255});
              to[3 * x] = shown.blue, to[3 * x + 1] = shown.green, to[3 * x + 2] = shown.red;
            } else {
              to[3 * x] = pixel.blue, to[3 * x + 1] = pixel.green, to[3 * x + 2] = pixel.red;
            }
          }
        }
      }
      const std::optional<std::span<const std::uint8_t>> made = sink.append(rows.data(), count);
      if (!made) return refusal(Ending::out_of_memory, png_failed);
      if (std::optional<Outcome> refused = output.write(*made)) return refused;
    }
    const std::optional<std::span<const std::uint8_t>> ended = sink.finish();
    if (!ended) return refusal(Ending::out_of_memory, png_failed);
    return output.write(*ended);
  } catch (const std::bad_alloc&) {
    return refusal(Ending::out_of_memory);
  }
}

// The raw image as the options, or an LVGL image's header, describe it; or the refusal of a frame
// too large for the BMP written.
std::variant<RawLayout, Outcome> raw_layout(FileView& input, const UnpackOptions& options) {
  RawLayout raw;
  const bool own_size = options.width == 0 && options.height == 0;
  // An LVGL image says its own size and format, and its rows are top row first; one that cannot be
  // read is refused with the reason, never read as a raw frame of its bytes.
  if (options.lvgl_header && options.offset == 0 && options.stride == 0) {
    LvglRead read;
    if (access_views([&] { read = read_lvgl(input.bytes(), input.file_size()); }) != nullptr)
      return refusal(Ending::cannot_open_input, cut_short_reason);
    if (std::string* reason = std::get_if<std::string>(&read))
      return refusal(Ending::cannot_open_input, std::move(*reason));
    if (const LvglImage* lvgl = std::get_if<LvglImage>(&read)) {
      const std::string named = std::string(format_info(lvgl->settings.format).name) + " " +
                                std::to_string(lvgl->width) + " x " + std::to_string(lvgl->height);
      if (!own_size && (options.width != lvgl->width || options.height != lvgl->height))
        return refusal(Ending::cannot_open_input,
                       "an LVGL image of " + named + ": its header decides its size; leave out --size");
      if (options.pixel_format != PixelFormat::rgb565 && options.pixel_format != lvgl->settings.format)
        return refusal(Ending::cannot_open_input,
                       "an LVGL image of " + named + ": its header decides its format; leave out --format");
      if (options.bit_order == BitOrder::low_first && format_info(lvgl->settings.format).bits_per_pixel < 8)
        return refusal(Ending::cannot_open_input,
                       "an LVGL image of " + named +
                           ": LVGL keeps each byte's first pixel in its high bits; leave out "
                           "--bit-order lsb");
      const std::uint64_t row_bytes = image_layout(lvgl->settings, lvgl->width, 1).row_bytes;
      if (options.align != 1 && aligned_stride(row_bytes, options.align) != lvgl->stride)
        return refusal(Ending::cannot_open_input, "an LVGL image of " + named + " whose rows are " +
                                                      std::to_string(lvgl->stride) +
                                                      " bytes apart: its header decides its stride; leave out --align");
      raw.settings = lvgl->settings;
      // The header decides the layout; how its channels widen to 8 bits is still the user's choice.
      raw.settings.word.expansion = options.format.expansion;
      raw.width = lvgl->width;
      raw.height = lvgl->height;
      raw.stride = lvgl->stride;
      raw.skip = lvgl_header_size;
      if (lvgl->compression != LvglCompression::none) {
        // The compressed bytes stay mapped while the walk decodes them.
        const std::uint64_t from = lvgl_header_size + lvgl_compression_head_size;
        if (lvgl->compressed_bytes != 0) {
          if (std::optional<SystemError> error = input.map_window(from, lvgl->compressed_bytes))
            return refusal(Ending::cannot_open_input, {}, describe(*error));
        }
        const std::span<const std::uint8_t> compressed =
            lvgl->compressed_bytes != 0 ? input.bytes() : std::span<const std::uint8_t>();
        std::variant<LvglStream, std::string> stream = lvgl_stream(*lvgl, compressed);
        if (std::string* reason = std::get_if<std::string>(&stream))
          return refusal(Ending::cannot_open_input, std::move(*reason));
        std::optional<std::string> damaged;
        const void* cut = nullptr;
        if (std::optional<Failure> failed = within_memory("the decompressed image's marks do not fit in memory", [&] {
              raw.compressed = std::make_unique<CompressedData>(std::get<LvglStream>(std::move(stream)),
                                                                lvgl->compression, lvgl->data_bytes);
              cut = access_views([&] { damaged = raw.compressed->check(); });
            }))
          return refusal(std::move(*failed));
        if (cut != nullptr) return refusal(Ending::cannot_open_input, cut_short_reason);
        if (damaged) return refusal(Ending::cannot_open_input, lvgl_damaged(*damaged));
      }
      raw.top_down = true;
      raw.unpremultiply = lvgl->settings.premultiply;
      if (!bmp_output(raw.width, raw.height))
        return refusal(Ending::out_of_memory, "the image's BMP would not fit 4 GiB");
      return raw;
    }
  }
  raw.settings.format = options.pixel_format;
  raw.settings.word = options.format;
  raw.settings.pages = options.pages;
  raw.settings.bit_order = options.bit_order;
  raw.width = own_size ? fixed_width : options.width;
  raw.height = own_size ? fixed_height : options.height;
  const std::uint64_t row_bytes = image_layout(raw.settings, raw.width, 1).row_bytes;
  if (options.stride != 0 && options.stride < row_bytes)
    return refusal(Ending::cannot_open_input, "rows of " + std::to_string(raw.width) + " " +
                                                  std::string(format_info(raw.settings.format).name) + " pixels take " +
                                                  std::to_string(row_bytes) + " bytes, more than --stride " +
                                                  std::to_string(options.stride));
  raw.stride = options.stride != 0 ? options.stride : aligned_stride(row_bytes, options.align);
  raw.skip = options.offset;
  raw.top_down = options.top_down;
  raw.unpremultiply = options.premultiplied;
  if (!bmp_output(raw.width, raw.height)) return refusal(Ending::out_of_memory, "the frame's BMP would not fit 4 GiB");
  return raw;
}

// The frame at the size the options give, written as a BMP or a PNG: frame `index` of the options'
// frames, which follow one another in the input.
Outcome unpack_at_size(const JobPaths& paths, const UnpackOptions& options, JobProgress& progress,
                       std::uint32_t index = 0) {
  std::optional<JobOutput> output;
  std::optional<std::string> warning;
  {
    std::variant<FileView, Outcome> opened = open_raw(paths.first, options);
    if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
    FileView& input = std::get<FileView>(opened);
    std::variant<RawLayout, Outcome> described = raw_layout(input, options);
    if (Outcome* refused = std::get_if<Outcome>(&described)) return std::move(*refused);
    RawLayout& raw = std::get<RawLayout>(described);
    const std::uint32_t frames = std::max<std::uint32_t>(options.frames, 1);
    const std::uint64_t skip = raw.skip;
    raw.skip += strided_of(raw).total * index;
    const bool alpha = format_info(raw.settings.format).alpha_bits != 0;
    const std::unique_ptr<PictureSink> sink = wants_png(options, paths.second)
                                                  ? make_png_sink(raw.width, raw.height, alpha)
                                                  : make_bmp_sink(*bmp_output(raw.width, raw.height));
    if (!sink) return refusal(Ending::out_of_memory, png_failed);
    const std::uint64_t input_size = raw.compressed             ? raw.compressed->size()
                                     : input.file_size() > skip ? input.file_size() - skip
                                                                : 0;
    std::variant<JobOutput, Outcome> begun = paths.output != nullptr ? JobOutput::to_stream(*paths.output, progress)
                                             : options.switches.stream
                                                 ? JobOutput::to_file(paths.second, progress, paths.output_links)
                                                 : JobOutput::to_memory(sink->size());
    if (Outcome* refused = std::get_if<Outcome>(&begun)) return std::move(*refused);
    output.emplace(std::get<JobOutput>(std::move(begun)));
    if (std::optional<Outcome> refused = walk(input, raw, options.switches.band_rows, *sink, *output))
      return std::move(*refused);
    // Said once, with the last frame.
    if (std::optional<Failure> failed = within_memory("the warning does not fit in memory", [&] {
          if (index + 1 == frames) warning = size_warning(input_size, raw, frames);
        }))
      return refusal(std::move(*failed));
  }  // The input is released here, before memory is saved.
  std::vector<std::string> warnings;
  if (warning) warnings.push_back(std::move(*warning));
  return output->finish(paths.second, progress, std::move(warnings));
}

// How many candidates a refusal names.
constexpr std::size_t shown_candidates = 3;

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
std::variant<UnpackOptions, Outcome> with_guessed_layout(const JobPaths& paths, UnpackOptions options,
                                                         std::string& note) {
  const std::string& path = paths.first;
  {
    std::variant<FileView, Outcome> opened = open_raw(path, options);
    if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  }
  const LvglRead lvgl = options.lvgl_header ? lvgl_image_at(path) : LvglRead{};
  if (const std::string* reason = std::get_if<std::string>(&lvgl)) return refusal(Ending::cannot_open_input, *reason);
  if (std::holds_alternative<LvglImage>(lvgl)) {
    // Its header is read as when a size is given: options that disagree with it are refused there.
    if (options.size_implied && !options.guess_format) return options;
    options.width = options.height = 0;
    options.pixel_format = PixelFormat::rgb565;
    note = "an LVGL image: its header gives its size and format";
    return options;
  }
  if (options.size_implied) {
    // The guess reads unpadded rows from the first byte, each format in its own bit order.
    const char* placing = options.offset != 0   ? "--offset"
                          : options.stride != 0 ? "--stride"
                          : options.align != 1  ? "--align"
                          : options.bit_order   ? "--bit-order"
                                                : nullptr;
    if (placing != nullptr)
      return refusal(Ending::cannot_open_input, std::string(placing) +
                                                    " needs --size WxH: a size is guessed only "
                                                    "for rows from the dump's first byte, unpadded");
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
    // Each candidate as the command that shows it, so that the user can look at each; paths that the
    // shell would split or expand are left for the user to fill in.
    const std::string in = shell_takes_as_is(paths.first) ? paths.first : "DUMP";
    const std::string out = shell_takes_as_is(paths.second) ? paths.second : "OUT";
    std::string reason = "no confident guess of its " + what + " (" + result.doubt +
                         "); look at each (rgb565 probe --sheet draws them): ";
    for (std::size_t i = 0; i < result.ranked.size() && i < shown_candidates; ++i) {
      reason += (i == 0 ? "" : "; ") + std::string("rgb565 unpack ") + layout_options(result.ranked[i]) + " " + in +
                " " + out + " (" + std::to_string(result.ranked[i].confidence) + " % sure)";
    }
    return refusal(Ending::cannot_open_input, reason);
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

// A raw image on a stream has no signature to be known by, and no end but its own: only the bytes
// that the frame takes (its header's, for an LVGL image) are copied into a file for the walk, and
// one more, to refuse a stream longer than the frame rather than read it to an end that may never
// come. The path of the copy, or the refusal.
std::variant<std::string, Outcome> stage_raw(InputStream& input, const UnpackOptions& options) {
  const std::string name(input.name());
  std::variant<std::span<const std::uint8_t>, Failure> peeked = input.peek(header_bytes);
  if (Failure* failed = std::get_if<Failure>(&peeked)) return refusal(std::move(*failed));
  const std::span<const std::uint8_t> start = std::get<0>(peeked);
  if (options.refuse_pictures) {
    if (const char* picture = picture_signature(start, std::nullopt))
      return refusal(Ending::cannot_open_input, "a " + std::string(picture) +
                                                    " picture, not a raw image: rgb565 pack converts pictures into "
                                                    "raw images");
  }
  const bool placed = options.offset != 0 || options.stride != 0;
  const std::optional<std::uint64_t> declared =
      options.lvgl_header && !placed ? lvgl_declared_length(start) : std::nullopt;
  // An LVGL image's header gives its size; any other stream's size is the user's to give.
  if (!declared && (options.guess_size || options.guess_format))
    return refusal(Ending::cannot_open_input, "a guess of the size or format reads the whole dump, which " + name +
                                                  " cannot give: give --size (and --format), or a file");
  std::uint64_t frame = declared.value_or(0);
  std::string what = "the LVGL image's header declares";
  std::string file_note;
  if (!declared) {
    const bool own_size = options.width == 0 && options.height == 0;
    const std::uint32_t width = own_size ? fixed_width : options.width;
    const std::uint32_t height = own_size ? fixed_height : options.height;
    FormatSettings settings;
    settings.format = options.pixel_format;
    settings.word = options.format;
    settings.pages = options.pages;
    settings.bit_order = options.bit_order;
    const std::uint32_t frames = std::max<std::uint32_t>(options.frames, 1);
    const std::uint64_t row_bytes = image_layout(settings, width, 1).row_bytes;
    const StridedLayout layout = options.stride >= row_bytes ? strided_layout(settings, width, height, options.stride)
                                                             : aligned_layout(settings, width, height, options.align);
    frame = options.offset + layout.total * frames;
    what = (options.offset != 0 ? "--offset " + std::to_string(options.offset) + " and " : std::string()) +
           (frames == 1 ? std::string("a ") : std::to_string(frames) + " ") + std::to_string(width) + " x " +
           std::to_string(height) + " " + std::string(format_info(options.pixel_format).name) +
           (frames == 1 && options.offset == 0 ? " frame takes"
            : frames == 1                      ? " frame take"
                                               : " frames take");
    file_note = "; from a file the bytes past them would be left out";
  }
  std::variant<StagedInput, Failure> copied = input.stage(frame);
  if (Failure* failed = std::get_if<Failure>(&copied)) return refusal(std::move(*failed));
  StagedInput& copy = std::get<StagedInput>(copied);
  if (copy.longer)
    return refusal(Ending::cannot_open_input,
                   name + " holds more than the " + std::to_string(frame) + " bytes " + what + file_note);
  return std::move(copy.path);
}

// Each of the options' frames, in the input one after another, written to a picture of its own.
Outcome unpack_frames(const JobPaths& paths, const UnpackOptions& options, JobProgress& progress) {
  Outcome outcome;
  for (std::uint32_t index = 0; index < options.frames && outcome.done(); ++index) {
    JobPaths frame = paths;
    frame.second = frame_path(paths.second, index);
    outcome = unpack_at_size(frame, options, progress, index);
  }
  return outcome;
}

}  // namespace

Outcome unpack(const JobPaths& paths, const UnpackOptions& options, JobProgress& progress) {
  if (options.frames != 0) {
    if (paths.output != nullptr || options.guess_size || options.guess_format)
      return refusal(Ending::cannot_open_input, "frames need a file for each and a size given");
    std::string staged = paths.first;
    if (paths.input != nullptr) {
      std::variant<std::string, Outcome> copied = stage_raw(*paths.input, options);
      if (Outcome* refused = std::get_if<Outcome>(&copied)) return std::move(*refused);
      staged = std::get<std::string>(copied);
    }
    return unpack_frames({staged, paths.second, nullptr, nullptr, paths.output_links}, options, progress);
  }
  if (paths.input != nullptr) {
    std::variant<std::string, Outcome> staged = stage_raw(*paths.input, options);
    if (Outcome* refused = std::get_if<Outcome>(&staged)) return std::move(*refused);
    return unpack_at_size({std::get<std::string>(staged), paths.second, nullptr, paths.output}, options, progress);
  }
  if (!options.guess_size && !options.guess_format) return unpack_at_size(paths, options, progress);
  std::string note;
  std::variant<UnpackOptions, Outcome> guessed = with_guessed_layout(paths, options, note);
  if (Outcome* refused = std::get_if<Outcome>(&guessed)) return std::move(*refused);
  Outcome outcome = unpack_at_size(paths, std::get<UnpackOptions>(guessed), progress);
  if (outcome.done() && !note.empty()) outcome.warnings.insert(outcome.warnings.begin(), note);
  return outcome;
}
