// Kestrin's Generate job, and rgb565 pack: one walk for every picture, format and container. A
// source gives the picture's stored rows a band at a time (the loaded picture, a BMP read band by
// band through windows of its file, or the transform chain over a loaded picture), the format's
// encoder makes each band's bytes, the container puts them in their text or after their header,
// and the output takes them: the file as it is made when streaming, else a block that is saved once
// the picture is released, as the dialogs save it.
#include "jobs/pack.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "containers/pack_container.h"
#include "files/output_block.h"
#include "files/output_file.h"
#include "job/convert.h"
#include "jobs/pack_formats.h"
#include "jobs/pack_sources.h"

namespace {

// The line that opens a C source: which picture, its size and the bytes' layout.
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
    if (info.format == PixelFormat::mono1) text += options.pages ? ", in 8-row pages" : ", in rows";
    return text;
  }
  return text + (options.format.channels == ChannelOrder::rgb ? "RGB565" : "BGR565") + ", " +
         (options.format.bytes == ByteOrder::low_first ? "low byte first" : "high byte first");
}

// A band of stored rows holds about this much of the picture.
constexpr std::uint64_t band_size = std::uint64_t{1} << 20;

// Where the container's bytes go: the output file as they are made, or memory, a block of the
// output's size when the container knows it beforehand.
class Destination {
 public:
  static std::variant<Destination, Outcome> to_file(const std::string& path, JobProgress& progress) {
    std::variant<OutputFile, Outcome> created = begin_output(path, progress);
    if (Outcome* refused = std::get_if<Outcome>(&created)) return std::move(*refused);
    Destination destination;
    destination.file_.emplace(std::get<OutputFile>(std::move(created)));
    return destination;
  }

  static std::variant<Destination, Outcome> to_memory(std::optional<std::uint64_t> size) {
    Destination destination;
    if (!size) return destination;
    if (*size > UINT32_MAX) return refusal(Ending::out_of_memory, "the output would not fit 4 GiB");
    destination.block_ = OutputBlock::allocate(static_cast<std::uint32_t>(*size));
    if (!destination.block_) return refusal(Ending::out_of_memory);
    return destination;
  }

  std::optional<Outcome> write(std::span<const std::uint8_t> bytes) {
    if (file_) {
      if (std::optional<SystemError> error = file_->write(bytes)) return not_saved(*error);
      return std::nullopt;
    }
    if (block_) {
      assert(at_ + bytes.size() <= block_->bytes().size());
      std::copy(bytes.begin(), bytes.end(), block_->bytes().begin() + static_cast<std::ptrdiff_t>(at_));
      at_ += bytes.size();
      return std::nullopt;
    }
    try {
      text_.insert(text_.end(), bytes.begin(), bytes.end());
    } catch (const std::bad_alloc&) {
      return refusal(Ending::out_of_memory);
    }
    return std::nullopt;
  }

  std::optional<Outcome> write(std::string_view text) {
    return write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  }

  // The file put in its target's place.
  std::optional<Outcome> commit() {
    if (std::optional<SystemError> error = file_->commit()) return not_saved(*error);
    return std::nullopt;
  }

  // What memory holds, in a block of its own.
  std::variant<OutputBlock, Outcome> take_block() {
    if (block_) return std::move(*block_);
    std::optional<OutputBlock> block = OutputBlock::copy_of(text_);
    text_ = {};
    if (!block) return refusal(Ending::out_of_memory);
    return std::move(*block);
  }

 private:
  Destination() = default;

  std::optional<OutputFile> file_;
  std::optional<OutputBlock> block_;
  std::size_t at_ = 0;
  std::vector<std::uint8_t> text_;
};

// The walk: the source's bands encoded in the format, wrapped by the container, into `destination`.
std::optional<Outcome> walk(PackSource& source, const StoredRows& rows, std::uint32_t band, const PackOptions& options,
                            PackContainer& container, const ContainerPicture& picture, Destination& destination) {
  std::string scratch;
  if (std::optional<Outcome> refused = destination.write(container.begin(picture))) return refused;
  const RowSource from_source = [&](std::uint32_t first, std::uint32_t count) { return source.band(first, count); };
  const ByteSink into_container = [&](std::span<const std::uint8_t> bytes) -> std::optional<Outcome> {
    try {
      return destination.write(container.append(bytes, scratch));
    } catch (const std::bad_alloc&) {
      return refusal(Ending::out_of_memory);
    }
  };
  if (std::optional<Outcome> refused = pack_format(rows, options, band, from_source, into_container)) return refused;
  return destination.write(container.finish());
}

}  // namespace

Outcome pack(const JobPaths& paths, const PackOptions& options, JobProgress& progress) {
  std::optional<OutputBlock> block;
  {
    std::variant<std::unique_ptr<PackSource>, Outcome> opened = open_pack_source(paths.first, options);
    if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
    PackSource& source = *std::get<std::unique_ptr<PackSource>>(opened);
    const bool reverse = options.top_down && !source.top_down();
    StoredRows shape{source.width(), source.height(), 0, reverse};
    const std::uint32_t band = format_band_rows(options, shape, band_size);
    std::variant<StoredRows, Outcome> readied = source.ready(band, reverse);
    if (Outcome* refused = std::get_if<Outcome>(&readied)) return std::move(*refused);
    const StoredRows& rows = std::get<StoredRows>(readied);

    const std::unique_ptr<PackContainer> container = make_container(options.container);
    std::string description;
    try {
      description = describe(paths.first, rows.width, rows.height, options.top_down || source.top_down(), options);
    } catch (const std::bad_alloc&) {
      return refusal(Ending::out_of_memory);
    }
    const FormatSettings settings = format_settings(options);
    const ContainerPicture picture{options.c_array,
                                   description,
                                   options.c_attribute,
                                   settings,
                                   rows.width,
                                   rows.height,
                                   image_layout(settings, rows.width, rows.height).total};
    if (std::optional<std::string> reason = container->refusal(picture))
      return refusal(Ending::unsupported_picture, std::move(*reason));

    std::variant<Destination, Outcome> opened_destination = options.stream
                                                                ? Destination::to_file(paths.second, progress)
                                                                : Destination::to_memory(container->size(picture));
    if (Outcome* refused = std::get_if<Outcome>(&opened_destination)) return std::move(*refused);
    Destination& destination = std::get<Destination>(opened_destination);
    if (std::optional<Outcome> refused = walk(source, rows, band, options, *container, picture, destination))
      return std::move(*refused);
    if (options.stream) {
      if (std::optional<Outcome> refused = destination.commit()) return std::move(*refused);
      return {};
    }
    std::variant<OutputBlock, Outcome> taken = destination.take_block();
    if (Outcome* refused = std::get_if<Outcome>(&taken)) return std::move(*refused);
    block.emplace(std::get<OutputBlock>(std::move(taken)));
  }  // The picture is released here, before the output is written.
  return save(paths.second, Converted{std::move(*block)}, progress);
}
