// Kestrin's Generate job: a BMP, loaded with the image loader, packed into a raw 16-bit
// image. The loader reports the stored row length, so pictures of any width convert. From the
// command line the same job takes PackOptions: the word layout, the picture's top row first,
// dithering, C source instead of raw bytes, and PNG, JPEG and GIF pictures decoded by the
// platform's codecs, whose stored order is top row first. The command line also streams: a BMP is
// read (decoded, for other depths than 24 bits), packed and written a band of rows at a time, with
// its input open, and a picture cropped, turned or resized is made, packed and written a band at a
// time.
#include "jobs/pack.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "containers/c_array.h"
#include "containers/lvgl_image.h"
#include "files/file_view.h"
#include "files/output_block.h"
#include "files/output_file.h"
#include "files/view_access.h"
#include "format/dither.h"
#include "format/word_format.h"
#include "job/convert.h"
#include "jobs/pack_formats.h"
#include "pixels/pixels.h"
#include "read/bmp_bands.h"
#include "read/bmp_reader.h"
#include "read/image_loader.h"
#include "transform/chain.h"
#include "transform/picture_source.h"

namespace {

// The line that opens a C header: which picture, its size and the words' layout.
std::string describe(const std::string& path, std::uint32_t width, std::uint32_t height, bool top_first,
                     const PackOptions& options) {
  std::string text = path + ": " + std::to_string(width) + " x " + std::to_string(height) + " pixels, " +
                     (top_first ? "top row first" : "bottom row first") + ", ";
  if (options.pixel_format != PixelFormat::rgb565) {
    const FormatInfo& info = format_info(options.pixel_format);
    text += std::string(info.name) + " (" + std::string(info.layout) + ")";
    if ((info.options & format_option::bytes) != 0)
      text += options.format.bytes == ByteOrder::low_first ? ", low byte first" : ", high byte first";
    if ((info.options & format_option::channels) != 0 && options.format.channels == ChannelOrder::bgr)
      text += ", red and blue swapped";
    return text;
  }
  return text + (options.format.channels == ChannelOrder::rgb ? "RGB565" : "BGR565") + ", " +
         (options.format.bytes == ByteOrder::low_first ? "low byte first" : "high byte first");
}

// The C source's opening, up to the array's brace, for an output of `bytes` bytes.
std::string c_head(const PackOptions& options, const std::string& description, std::uint64_t bytes, std::uint32_t width,
                   std::uint32_t height) {
  if (options.c_bytes || options.pixel_format != PixelFormat::rgb565)
    return c_byte_array_head(options.c_array, description, bytes, width, height, options.c_attribute);
  return c_array_head(options.c_array, description, bytes / 2, width, height,
                      options.format.bytes == ByteOrder::high_first, options.c_attribute);
}

// The elements of `piece`, the output's bytes from byte `first` on, of `total` bytes in all.
void c_elements(const PackOptions& options, std::string& text, std::span<const std::uint8_t> piece, std::uint64_t first,
                std::uint64_t total) {
  if (options.c_bytes || options.lvgl || options.pixel_format != PixelFormat::rgb565)
    return append_c_byte_elements(text, piece, first, total);
  append_c_array_elements(text, piece, first / 2, total / 2);
}

// The raw image as C source, in a block of its own; the raw image's block is freed on return.
std::optional<OutputBlock> as_c_array(std::span<const std::uint8_t> raw, const std::string& description,
                                      const PackOptions& options, std::uint32_t width, std::uint32_t height) {
  try {
    std::string text = c_head(options, description, raw.size(), width, height);
    c_elements(options, text, raw, 0, raw.size());
    text += c_array_tail();
    return OutputBlock::copy_of({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

Ending ending_of(LoadFault fault) {
  switch (fault) {
    case LoadFault::unsupported:
      return Ending::unsupported_picture;
    case LoadFault::out_of_memory:
      return Ending::out_of_memory;
    case LoadFault::cannot_open:
      break;
  }
  return Ending::cannot_open_input;
}

// Loads the first path's picture: a BMP, or when the options allow the codecs a picture of theirs.
PictureLoad load(const std::string& path, const PackOptions& options) {
  PictureLoad load = LoadedPicture::load(path.c_str(), options.pixel_limit);
  if (const LoadFailure* failure = std::get_if<LoadFailure>(&load);
      failure != nullptr && failure->fault == LoadFault::cannot_open && options.codecs) {
    if (std::optional<PictureLoad> decoded = LoadedPicture::load_with_codecs(path.c_str(), options.pixel_limit))
      load = std::move(*decoded);
  }
  return load;
}

// A band of stored rows holds about this much of the picture.
constexpr std::uint64_t band_bytes = std::uint64_t{1} << 20;

// What goes around the pixel bytes of a format's output: nothing for raw bytes, LVGL's header for
// an LVGL .bin, or the C source's head and tail, whose elements are made from the bytes.
struct Wrapping {
  std::string head;
  std::string tail;
  bool c_source = false;
};

// The wrapping of a width x height picture of `total` pixel bytes, or the refusal of a picture too
// large for an LVGL header.
std::variant<Wrapping, Outcome> wrapping(const std::string& path, const PackOptions& options, std::uint32_t width,
                                         std::uint32_t height, bool top_first, std::uint64_t total) {
  Wrapping wrap;
  wrap.c_source = options.container == PackContainer::c_array;
  std::optional<LvglHeader> header;
  if (options.lvgl) {
    header = lvgl_header(format_settings(options), width, height);
    if (!header)
      return refusal(Ending::unsupported_picture, std::to_string(width) + " x " + std::to_string(height) +
                                                      " pixels: an LVGL image holds at most 65535 x 65535");
  }
  try {
    const std::string description = describe(path, width, height, top_first, options);
    if (wrap.c_source && header) {
      wrap.head = lvgl_c_head(options.c_array, description, total, options.c_attribute);
      wrap.tail = lvgl_c_tail(options.c_array, *header);
    } else if (wrap.c_source) {
      wrap.head = c_head(options, description, total, width, height);
      wrap.tail = c_array_tail();
    } else if (header) {
      wrap.head.assign(header->begin(), header->end());
    }
  } catch (const std::bad_alloc&) {
    return refusal(Ending::out_of_memory);
  }
  return wrap;
}

// The format's bytes with their wrapping (C source made of them, or a header before them), in a
// block of their own; the bytes are freed first. Nullopt when memory ran out.
std::optional<OutputBlock> wrapped_block(const Wrapping& wrap, const PackOptions& options,
                                         std::vector<std::uint8_t> bytes) {
  try {
    std::string text = wrap.head;
    if (wrap.c_source) {
      c_elements(options, text, bytes, 0, bytes.size());
    } else {
      text.append(bytes.begin(), bytes.end());
    }
    bytes = {};
    text += wrap.tail;
    return OutputBlock::copy_of({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

// The loaded picture in another format than RGB565, whole into a new block.
Conversion convert_format(const std::string& path, const LoadedPicture& picture, const PackOptions& options) {
  const StoredRows rows{picture.width(),
                        picture.height(),
                        picture.row_length(),
                        options.top_down && !picture.top_down(),
                        picture.quads(),
                        options.background,
                        picture.alpha().empty() ? nullptr : picture.alpha().data()};
  const ImageLayout layout = image_layout(format_settings(options), rows.width, rows.height);
  if (layout.total > UINT32_MAX) return refusal(Ending::out_of_memory, "the output would not fit 4 GiB");
  std::vector<std::uint8_t> bytes;
  try {
    bytes.reserve(static_cast<std::size_t>(layout.total));
  } catch (const std::bad_alloc&) {
    return refusal(Ending::out_of_memory);
  }
  std::variant<Wrapping, Outcome> wrapped =
      wrapping(path, options, rows.width, rows.height, options.top_down || picture.top_down(), layout.total);
  if (Outcome* refused = std::get_if<Outcome>(&wrapped)) return std::move(*refused);
  const Wrapping& wrap = std::get<Wrapping>(wrapped);
  const std::span<const std::uint8_t> stored = picture.rows();
  if (std::optional<Outcome> refused = pack_format(
          rows, options, format_band_rows(options, rows, band_bytes),
          [&](std::uint32_t first, std::uint32_t count) -> std::variant<std::span<const std::uint8_t>, Outcome> {
            return stored.subspan(std::size_t{first} * rows.stride, std::size_t{count} * rows.stride);
          },
          [&](std::span<const std::uint8_t> piece) -> std::optional<Outcome> {
            bytes.insert(bytes.end(), piece.begin(), piece.end());
            return std::nullopt;
          }))
    return std::move(*refused);
  std::optional<OutputBlock> block = wrapped_block(wrap, options, std::move(bytes));
  if (!block) return refusal(Ending::out_of_memory);
  return Converted{std::move(*block)};
}

// Converts the loaded picture into a new output block; the picture is released on return.
Conversion convert(const std::string& path, const PackOptions& options) {
  const PictureLoad load_result = load(path, options);
  if (const LoadFailure* failure = std::get_if<LoadFailure>(&load_result))
    return refusal(ending_of(failure->fault), failure->reason);
  // The loader hands over only pictures whose raw image fits a 32-bit count.
  const LoadedPicture& picture = std::get<LoadedPicture>(load_result);
  if (options.pixel_format != PixelFormat::rgb565 || options.lvgl) return convert_format(path, picture, options);
  // RGB565 keeps no alpha: a picture that has it is laid over the background first.
  std::vector<std::uint8_t> composited;
  std::span<const std::uint8_t> stored = picture.rows();
  std::uint32_t stride = picture.row_length();
  if (picture.quads()) {
    try {
      composited.resize(std::size_t{picture.width()} * picture.height() * 3);
    } catch (const std::bad_alloc&) {
      return refusal(Ending::out_of_memory);
    }
    composite_over(reinterpret_cast<const BgraQuad*>(stored.data()), std::size_t{picture.width()} * picture.height(),
                   options.background, composited.data());
    stored = composited;
    stride = picture.width() * 3;
  }
  std::optional<OutputBlock> block = OutputBlock::allocate(*raw_image_size(picture.width(), picture.height()));
  if (!block) return refusal(Ending::out_of_memory);
  // A bottom-up file's top row is its last stored row.
  const bool reverse = options.top_down && !picture.top_down();
  const std::span<std::uint8_t> out = block->bytes();
  std::vector<std::int32_t> scratch;
  try {
    scratch.resize(pack_scratch_size(picture.width(), options.dither));
  } catch (const std::bad_alloc&) {
    return refusal(Ending::out_of_memory);
  }
  if (access_views([&] {
        pack_rows_dithered(stored, stride, picture.width(), picture.height(), reverse, options.format, options.dither,
                           scratch, out);
      }) != nullptr)
    return refusal(Ending::cannot_open_input, cut_short_reason);
  if (options.container == PackContainer::c_array) {
    block =
        as_c_array(block->bytes(),
                   describe(path, picture.width(), picture.height(), options.top_down || picture.top_down(), options),
                   options, picture.width(), picture.height());
    if (!block) return refusal(Ending::out_of_memory);
  }
  return Converted{std::move(*block)};
}

// Streaming reads the headers from the file's first bytes; a band of rows (above) is enough to keep
// the system's calls few, and small enough to stay in cache.
constexpr std::uint64_t header_bytes = std::uint64_t{64} << 10;

// The band walk's memory: the packed words of one band, and for C source their text.
struct BandBuffers {
  std::vector<std::uint8_t> words;
  std::vector<std::int32_t> scratch;
  std::string text;
};

// The refusal for a band that could not be read.
Outcome refusal_of(BandFailure failure) {
  return refusal(ending_of(failure.fault), std::move(failure.reason),
                 failure.error ? describe(*failure.error) : std::string());
}

// Packs the picture's stored rows a band at a time, in the output's order, and writes each band
// as it is done. With `reverse` the bands go from the file's end and each is turned round; the
// Bayer pattern follows the stored rows either way, and diffusion, which carries its errors from
// row to row, is only ever walked forwards. Under a guard against the file being cut short.
Outcome stream_bands(BmpBands& bands, const PackOptions& options, bool reverse, std::uint32_t band,
                     BandBuffers& buffers, OutputFile& output) {
  const std::uint32_t width = bands.width(), height = bands.height();
  const std::uint64_t words = std::uint64_t{width} * height;
  for (std::uint32_t done = 0; done < height;) {
    const std::uint32_t count = std::min(band, height - done);
    const std::uint32_t first = reverse ? height - done - count : done;
    std::variant<std::span<const std::uint8_t>, BandFailure> got = bands.rows(first, count);
    if (BandFailure* failed = std::get_if<BandFailure>(&got)) return refusal_of(std::move(*failed));
    const std::span<std::uint8_t> out(buffers.words.data(), std::size_t{width} * count * 2);
    const std::span<const std::uint8_t> rows = std::get<0>(got);
    if (access_views([&] {
          pack_band_dithered(rows, bands.stride(), width, first, count, reverse, options.format, options.dither,
                             buffers.scratch, out);
        }) != nullptr)
      return refusal(Ending::cannot_open_input, cut_short_reason);
    std::span<const std::uint8_t> piece = out;
    if (options.container == PackContainer::c_array) {
      buffers.text.clear();
      c_elements(options, buffers.text, out, std::uint64_t{done} * width * 2, words * 2);
      piece = {reinterpret_cast<const std::uint8_t*>(buffers.text.data()), buffers.text.size()};
    }
    if (std::optional<SystemError> error = output.write(piece)) return not_saved(*error);
    done += count;
  }
  return {};
}

// Writes text whole to the output; the refusal when it could not be.
std::optional<Outcome> write_text(OutputFile& output, std::string_view text) {
  if (std::optional<SystemError> error =
          output.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}))
    return not_saved(*error);
  return std::nullopt;
}

// The same walk for the other formats: each band read through a window of the file, encoded and
// written, the C source's text made as it goes.
Outcome stream_format(const JobPaths& paths, const PackOptions& options, BmpBands& bands, const StoredRows& rows,
                      std::uint32_t band, JobProgress& progress) {
  const std::uint64_t total = image_layout(format_settings(options), rows.width, rows.height).total;
  std::variant<Wrapping, Outcome> wrapped =
      wrapping(paths.first, options, rows.width, rows.height, options.top_down || bands.top_down(), total);
  if (Outcome* refused = std::get_if<Outcome>(&wrapped)) return std::move(*refused);
  const Wrapping& wrap = std::get<Wrapping>(wrapped);
  const bool c_source = wrap.c_source;
  std::string text;
  std::variant<OutputFile, Outcome> created = begin_output(paths.second, progress);
  if (Outcome* refused = std::get_if<Outcome>(&created)) return std::move(*refused);
  OutputFile& output = std::get<OutputFile>(created);
  if (std::optional<Outcome> refused = write_text(output, wrap.head)) return std::move(*refused);
  std::uint64_t written = 0;
  if (std::optional<Outcome> refused = pack_format(
          rows, options, band,
          [&](std::uint32_t first, std::uint32_t count) -> std::variant<std::span<const std::uint8_t>, Outcome> {
            std::variant<std::span<const std::uint8_t>, BandFailure> got = bands.rows(first, count);
            if (BandFailure* failed = std::get_if<BandFailure>(&got)) return refusal_of(std::move(*failed));
            return std::get<0>(got);
          },
          [&](std::span<const std::uint8_t> piece) -> std::optional<Outcome> {
            if (!c_source) {
              if (std::optional<SystemError> error = output.write(piece)) return not_saved(*error);
              return std::nullopt;
            }
            text.clear();
            c_elements(options, text, piece, written, total);
            written += piece.size();
            return write_text(output, text);
          }))
    return std::move(*refused);
  if (std::optional<Outcome> refused = write_text(output, wrap.tail)) return std::move(*refused);
  if (std::optional<SystemError> error = output.commit()) return not_saved(*error);
  return {};
}

// A BMP packed band by band into the output as it is made, or nullopt for a picture that is
// converted whole (see PackOptions::stream). Its pixels are checked first, as the loader checks
// them, so that a refused file is refused before any output is begun. The view of the input stays
// open until the output is complete.
std::optional<Outcome> pack_streaming(const JobPaths& paths, const PackOptions& options, JobProgress& progress) {
  std::variant<FileView, Outcome> opened = open_input(paths.first, Ending::cannot_open_input, header_bytes);
  if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  FileView& view = std::get<FileView>(opened);
  std::variant<std::monostate, BmpBands, BandFailure> found = BmpBands::find(view);
  if (BandFailure* failed = std::get_if<BandFailure>(&found)) return refusal_of(std::move(*failed));
  if (std::holds_alternative<std::monostate>(found)) return std::nullopt;
  BmpBands& bands = std::get<BmpBands>(found);
  const bool reverse = options.top_down && !bands.top_down();
  const bool other_format = options.pixel_format != PixelFormat::rgb565 || options.lvgl;
  if (!other_format && reverse && options.dither == Dither::diffusion) return std::nullopt;
  StoredRows rows{bands.width(), bands.height(), bands.stride(), reverse};
  std::uint32_t band = format_band_rows(options, rows, band_bytes);
  if (!other_format && options.band_rows == 0)
    band = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, band_bytes / bands.stride()));
  // RGB565 and the formats without alpha ignore a BMP's, as the dialogs do.
  const bool keep_alpha = other_format && format_info(options.pixel_format).alpha_bits != 0;
  if (std::optional<BandFailure> failed = bands.survey(options.pixel_limit, band, reverse, keep_alpha))
    return refusal_of(std::move(*failed));
  rows.stride = bands.stride();
  rows.quads = bands.quads();
  rows.background = options.background;
  if (other_format) return stream_format(paths, options, bands, rows, band, progress);

  const std::uint32_t width = bands.width(), height = bands.height();
  BandBuffers buffers;
  std::string head;
  try {
    buffers.words.resize(std::size_t{width} * std::min(band, height) * 2);
    buffers.scratch.resize(pack_scratch_size(width, options.dither));
    if (options.container == PackContainer::c_array) {
      head = c_head(options, describe(paths.first, width, height, options.top_down || bands.top_down(), options),
                    std::uint64_t{width} * height * 2, width, height);
      // Eight characters to a word and a line break to twelve of them.
      buffers.text.reserve(buffers.words.size() * 4 + buffers.words.size() / 6 + 8);
    }
  } catch (const std::bad_alloc&) {
    return refusal(Ending::out_of_memory);
  }

  std::variant<OutputFile, Outcome> created = begin_output(paths.second, progress);
  if (Outcome* refused = std::get_if<Outcome>(&created)) return std::move(*refused);
  OutputFile& output = std::get<OutputFile>(created);
  if (std::optional<Outcome> refused = write_text(output, head)) return refused;
  Outcome outcome = stream_bands(bands, options, reverse, band, buffers, output);
  if (!outcome.done()) return outcome;
  if (options.container == PackContainer::c_array) {
    if (std::optional<Outcome> refused = write_text(output, c_array_tail())) return refused;
  }
  if (std::optional<SystemError> error = output.commit()) return not_saved(*error);
  return outcome;
}

// Makes the transformed picture a band at a time, packs each band and hands its bytes (words, or
// their C elements) to `write`, which returns the refusal that stops the walk. Each band is made
// under a guard against the input being cut short.
template <typename Write>
Outcome walk_transformed(TransformChain& chain, const PackOptions& options, BandBuffers& buffers,
                         std::vector<std::uint8_t>& triples, Write&& write) {
  const std::uint32_t width = chain.width(), height = chain.height();
  const std::uint64_t words = std::uint64_t{width} * height;
  for (std::uint32_t done = 0; done < height;) {
    const std::uint32_t count = std::min(chain.band_rows(), height - done);
    const std::span<std::uint8_t> out(buffers.words.data(), std::size_t{width} * count * 2);
    if (access_views([&] {
          chain.next_rows(count, triples.data());
          pack_band_dithered(triples, width * 3, width, done, count, false, options.format, options.dither,
                             buffers.scratch, out);
        }) != nullptr)
      return refusal(Ending::cannot_open_input, cut_short_reason);
    std::span<const std::uint8_t> piece = out;
    if (options.container == PackContainer::c_array && options.stream) {
      buffers.text.clear();
      append_c_array_elements(buffers.text, out, std::uint64_t{done} * width, words);
      piece = {reinterpret_cast<const std::uint8_t*>(buffers.text.data()), buffers.text.size()};
    }
    if (std::optional<Outcome> refused = write(piece, std::uint64_t{done} * width * 2)) return std::move(*refused);
    done += count;
  }
  return {};
}

// A picture cropped, turned or resized: loaded as the dialogs load it, then made and packed a band
// at a time, into the output as it is made when streaming, else into a block saved once the
// picture is released.
Outcome pack_transformed(const JobPaths& paths, const PackOptions& options, JobProgress& progress) {
  std::optional<OutputBlock> block;
  std::string description;
  std::uint32_t width = 0, height = 0;
  {
    const PictureLoad load_result = load(paths.first, options);
    if (const LoadFailure* failure = std::get_if<LoadFailure>(&load_result))
      return refusal(ending_of(failure->fault), failure->reason);
    const LoadedPicture& picture = std::get<LoadedPicture>(load_result);
    // RGB565 keeps no alpha: a codec picture's is laid over the background after the transforms, a
    // BMP's is ignored, as the dialogs ignore it.
    StoredPicture source(picture.rows(), picture.row_length(), picture.width(), picture.height(), picture.top_down(),
                         picture.quads());
    ChainMade made;
    BandBuffers buffers;
    std::vector<std::uint8_t> triples;
    std::string head;
    try {
      made = TransformChain::make(source, options.transforms, options.background, options.band_rows);
      if (const std::string* reason = std::get_if<std::string>(&made))
        return refusal(Ending::unsupported_picture, *reason);
      const TransformChain& chain = *std::get<std::unique_ptr<TransformChain>>(made);
      width = chain.width();
      height = chain.height();
      description = describe(paths.first, width, height, true, options);
      const std::size_t band = chain.band_rows();
      triples.resize(std::size_t{width} * band * 3);
      buffers.words.resize(std::size_t{width} * band * 2);
      buffers.scratch.resize(pack_scratch_size(width, options.dither));
      if (options.container == PackContainer::c_array && options.stream) {
        head = c_array_head(options.c_array, description, std::uint64_t{width} * height, width, height,
                            options.format.bytes == ByteOrder::high_first);
        buffers.text.reserve(buffers.words.size() * 4 + buffers.words.size() / 6 + 8);
      }
    } catch (const std::bad_alloc&) {
      return refusal(Ending::out_of_memory);
    }
    TransformChain& chain = *std::get<std::unique_ptr<TransformChain>>(made);
    if (options.stream) {
      std::variant<OutputFile, Outcome> created = begin_output(paths.second, progress);
      if (Outcome* failed = std::get_if<Outcome>(&created)) return std::move(*failed);
      OutputFile& output = std::get<OutputFile>(created);
      if (std::optional<Outcome> failed = write_text(output, head)) return std::move(*failed);
      Outcome outcome =
          walk_transformed(chain, options, buffers, triples,
                           [&](std::span<const std::uint8_t> piece, std::uint64_t) -> std::optional<Outcome> {
                             if (std::optional<SystemError> error = output.write(piece)) return not_saved(*error);
                             return std::nullopt;
                           });
      if (!outcome.done()) return outcome;
      if (options.container == PackContainer::c_array) {
        if (std::optional<Outcome> failed = write_text(output, c_array_tail())) return std::move(*failed);
      }
      if (std::optional<SystemError> error = output.commit()) return not_saved(*error);
      return outcome;
    }
    block = OutputBlock::allocate(*raw_image_size(width, height));
    if (!block) return refusal(Ending::out_of_memory);
    Outcome outcome = walk_transformed(
        chain, options, buffers, triples,
        [&](std::span<const std::uint8_t> piece, std::uint64_t at) -> std::optional<Outcome> {
          std::copy(piece.begin(), piece.end(), block->bytes().begin() + static_cast<std::ptrdiff_t>(at));
          return std::nullopt;
        });
    if (!outcome.done()) return outcome;
  }  // The picture is released here, before the output is written.
  if (options.container == PackContainer::c_array) {
    block = as_c_array(block->bytes(), description, options, width, height);
    if (!block) return refusal(Ending::out_of_memory);
  }
  return save(paths.second, Converted{std::move(*block)}, progress);
}

// A picture cropped, turned or resized into another format than RGB565 (or into an LVGL image): made
// a band at a time by the chain, its transparency kept, and encoded as any picture of the format is.
// A format that walks the picture more than once (the indexed formats count its colours first;
// rgb565a8 writes two planes) makes it again from the start for each walk.
Outcome pack_transformed_format(const JobPaths& paths, const PackOptions& options, JobProgress& progress) {
  std::vector<std::uint8_t> bytes;
  Wrapping wrap;
  {
    const PictureLoad load_result = load(paths.first, options);
    if (const LoadFailure* failure = std::get_if<LoadFailure>(&load_result))
      return refusal(ending_of(failure->fault), failure->reason);
    const LoadedPicture& picture = std::get<LoadedPicture>(load_result);
    const bool keeps_alpha = format_info(options.pixel_format).alpha_bits != 0;
    StoredPicture source(picture.rows(), picture.row_length(), picture.width(), picture.height(), picture.top_down(),
                         picture.quads(), keeps_alpha && !picture.alpha().empty() ? picture.alpha().data() : nullptr);
    std::unique_ptr<TransformChain> chain;
    const auto make = [&](std::uint32_t band_rows) -> std::optional<Outcome> {
      ChainMade made = TransformChain::make(source, options.transforms, options.background, band_rows);
      if (const std::string* reason = std::get_if<std::string>(&made))
        return refusal(Ending::unsupported_picture, *reason);
      chain = std::move(std::get<std::unique_ptr<TransformChain>>(made));
      return std::nullopt;
    };
    StoredRows rows;
    std::uint32_t band = 0;
    std::vector<BgraQuad> quads;
    try {
      if (std::optional<Outcome> refused = make(0)) return std::move(*refused);
      rows = StoredRows{chain->width(), chain->height(), chain->width() * 4, false, true, options.background};
      band = format_band_rows(options, rows, band_bytes);
      if (std::optional<Outcome> refused = make(band)) return std::move(*refused);
      quads.resize(std::size_t{rows.width} * band);
    } catch (const std::bad_alloc&) {
      return refusal(Ending::out_of_memory);
    }
    const std::uint64_t total = image_layout(format_settings(options), rows.width, rows.height).total;
    std::variant<Wrapping, Outcome> wrapped = wrapping(paths.first, options, rows.width, rows.height, true, total);
    if (Outcome* refused = std::get_if<Outcome>(&wrapped)) return std::move(*refused);
    wrap = std::get<Wrapping>(std::move(wrapped));
    std::uint32_t next = 0;
    const RowSource from_chain = [&](std::uint32_t first,
                                     std::uint32_t count) -> std::variant<std::span<const std::uint8_t>, Outcome> {
      if (first == 0 && next != 0) {
        try {
          if (std::optional<Outcome> refused = make(band)) return std::move(*refused);
        } catch (const std::bad_alloc&) {
          return refusal(Ending::out_of_memory);
        }
        next = 0;
      }
      assert(first == next);
      if (access_views([&] { chain->next_quads(count, quads.data()); }) != nullptr)
        return refusal(Ending::cannot_open_input, cut_short_reason);
      next = first + count;
      return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(quads.data()),
                                           std::size_t{rows.width} * count * 4);
    };
    if (options.stream) {
      std::variant<OutputFile, Outcome> created = begin_output(paths.second, progress);
      if (Outcome* refused = std::get_if<Outcome>(&created)) return std::move(*refused);
      OutputFile& output = std::get<OutputFile>(created);
      if (std::optional<Outcome> refused = write_text(output, wrap.head)) return std::move(*refused);
      std::uint64_t written = 0;
      std::string text;
      if (std::optional<Outcome> refused =
              pack_format(rows, options, band, from_chain, [&](std::span<const std::uint8_t> piece) {
                if (!wrap.c_source) {
                  if (std::optional<SystemError> error = output.write(piece)) return std::optional(not_saved(*error));
                  return std::optional<Outcome>();
                }
                text.clear();
                c_elements(options, text, piece, written, total);
                written += piece.size();
                return write_text(output, text);
              }))
        return std::move(*refused);
      if (std::optional<Outcome> refused = write_text(output, wrap.tail)) return std::move(*refused);
      if (std::optional<SystemError> error = output.commit()) return not_saved(*error);
      return {};
    }
    if (total > UINT32_MAX) return refusal(Ending::out_of_memory, "the output would not fit 4 GiB");
    try {
      bytes.reserve(static_cast<std::size_t>(total));
    } catch (const std::bad_alloc&) {
      return refusal(Ending::out_of_memory);
    }
    if (std::optional<Outcome> refused =
            pack_format(rows, options, band, from_chain, [&](std::span<const std::uint8_t> piece) {
              bytes.insert(bytes.end(), piece.begin(), piece.end());
              return std::optional<Outcome>();
            }))
      return std::move(*refused);
  }  // The picture is released here, before the output is written.
  std::optional<OutputBlock> block = wrapped_block(wrap, options, std::move(bytes));
  if (!block) return refusal(Ending::out_of_memory);
  return save(paths.second, Converted{std::move(*block)}, progress);
}

}  // namespace

Outcome pack(const JobPaths& paths, const PackOptions& options, JobProgress& progress) {
  if (options.transforms.any() && (options.pixel_format != PixelFormat::rgb565 || options.lvgl))
    return pack_transformed_format(paths, options, progress);
  if (options.transforms.any()) return pack_transformed(paths, options, progress);
  if (options.stream) {
    if (std::optional<Outcome> streamed = pack_streaming(paths, options, progress)) return std::move(*streamed);
  }
  return convert_and_save(paths.second, progress, [&] { return convert(paths.first, options); });
}
