// Kestrin's Generate job, and rgb565 pack: one walk for every picture, format and container. A
// source gives the picture's stored rows a band at a time (the loaded picture, a BMP read band by
// band through windows of its file, or the transform chain over a loaded picture), the format's
// encoder makes each band's bytes, the container puts them in their text or after their header,
// and the output takes them (job/job_output.h): the file as it is made when streaming, else memory
// that is saved once the picture is released, as the dialogs save it. A stream (standard input or
// output) takes the place of either file when the paths carry one.
#include "jobs/pack.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "containers/pack_container.h"
#include "job/job_output.h"
#include "jobs/held_source.h"
#include "jobs/pack_formats.h"
#include "jobs/pack_sources.h"
#include "jobs/tile_source.h"

namespace {

// The format's layout as the bytes hold it: mono1's one scan, and a byte's pixels in the order
// chosen where it is not the format's own.
std::string layout_of(const PackOptions& options) {
  const FormatInfo& info = format_info(options.pixel_format);
  const bool low_first = bit_order_of(format_settings(options)) == BitOrder::low_first;
  if (info.format == PixelFormat::mono1)
    return std::string(options.pages ? "8-row pages, a byte a column, the top row in bit "
                                     : "eight pixels a byte, the left one in bit ") +
           (low_first ? "0" : "7");
  std::string layout(info.layout);
  if (!low_first) return layout;
  for (const auto& [from, to] : {std::pair<std::string_view, std::string_view>{"high", "low"}, {"bit 7", "bit 0"}}) {
    const std::size_t at = layout.find(from);
    if (at != std::string::npos) layout.replace(at, from.size(), to);
  }
  if (info.index_bits != 0) layout += ", the first of each byte in its low bits";
  return layout;
}

// The line that opens a C source: which picture, its size (or its tiles'), its frames when they are
// counted, the bytes' layout, and the colour that stands for transparent pixels where one does.
std::string describe_layout(const std::string& path, std::uint32_t width, std::uint32_t height, std::uint32_t frames,
                            bool top_first, const PackOptions& options) {
  std::string text = path + ": ";
  if (options.tiles)
    text += std::to_string(height / options.tiles->height) + " tiles of " + std::to_string(width) + " x " +
            std::to_string(options.tiles->height) + " pixels, one after another, ";
  else
    text += std::to_string(width) + " x " + std::to_string(height) + " pixels, ";
  if (frames != 0) text.append(std::to_string(frames)).append(frames == 1 ? " frame, " : " frames one after another, ");
  text.append(top_first ? "top row first, " : "bottom row first, ");
  if (options.pixel_format != PixelFormat::rgb565) {
    const FormatInfo& info = format_info(options.pixel_format);
    text += std::string(info.name) + " (" + layout_of(options) + ")";
    if ((info.options & format_option::bytes) != 0)
      text += options.format.bytes == ByteOrder::low_first ? ", low byte first" : ", high byte first";
    if ((info.options & format_option::channels) != 0 && options.format.channels == ChannelOrder::bgr)
      text += ", red and blue swapped";
    return text;
  }
  return text + (options.format.channels == ChannelOrder::rgb ? "RGB565" : "BGR565") + ", " +
         (options.format.bytes == ByteOrder::low_first ? "low byte first" : "high byte first");
}

std::string describe(const std::string& path, std::uint32_t width, std::uint32_t height, std::uint32_t frames,
                     bool top_first, const PackOptions& options) {
  std::string text = describe_layout(path, width, height, frames, top_first, options);
  const bool opaque = format_info(options.pixel_format).alpha_bits == 0 || !options.palette.empty();
  if (options.alpha_threshold == 0 || !opaque) return text;
  char colour[7];
  std::snprintf(colour, sizeof colour, "%02X%02X%02X", options.background.red, options.background.green,
                options.background.blue);
  return text + "; pixels of alpha below " + std::to_string(options.alpha_threshold) + " are " + colour;
}

// A band of stored rows holds about this much of the picture.
constexpr std::uint64_t band_size = std::uint64_t{1} << 20;

// The walk: the source's bands encoded in the format, wrapped by the container, into `destination`;
// frame after frame from `first`, each a picture of its own, when the container holds `frames`.
std::optional<Outcome> walk(PackSource& source, StoredRows rows, std::uint32_t band, const PackOptions& options,
                            PackContainer& container, const ContainerPicture& picture, std::uint32_t first,
                            JobOutput& output) {
  std::string scratch;
  if (std::optional<Outcome> refused = output.write(container.begin(picture))) return refused;
  const RowSource from_source = [&](std::uint32_t row, std::uint32_t count) { return source.band(row, count); };
  // pack_format turns a failed allocation in the container's text into "Out of memory".
  const ByteSink into_container = [&](std::span<const std::uint8_t> bytes) {
    return output.write(container.append(bytes, scratch));
  };
  for (std::uint32_t frame = 0; frame < picture.frames; ++frame) {
    if (frame > 0) {
      if (std::optional<Outcome> refused = source.show_frame(first + frame)) return refused;
      std::variant<StoredRows, Outcome> readied = source.ready(band, rows.reverse);
      if (Outcome* refused = std::get_if<Outcome>(&readied)) return std::move(*refused);
      rows = std::get<StoredRows>(readied);
    }
    if (std::optional<Outcome> refused = pack_format(rows, options, band, from_source, into_container)) return refused;
  }
  // A compressed image is compressed here, whole.
  std::string ending;
  if (std::optional<Failure> failed =
          within_memory("the compressed image does not fit in memory", [&] { ending = container.finish(); }))
    return refusal(std::move(*failed));
  return output.write(ending);
}

// The refusal of a picture whose raw image, every frame and tile of it, would pass `limit` bytes.
std::optional<Outcome> over_output_limit(const ContainerPicture& picture, std::uint64_t limit) {
  const std::uint64_t bytes = padded_bytes(picture);
  if (bytes <= limit) return std::nullopt;
  std::string of = picture.frames > 1 ? " (" + std::to_string(picture.frames) + " frames of " +
                                            std::to_string(picture.width) + " x " + std::to_string(picture.height) + ")"
                                      : "";
  return refusal(Ending::unsupported_picture, "the output would hold " + std::to_string(bytes) + " bytes of pixels" +
                                                  of + ", more than the " + std::to_string(limit) +
                                                  " that --max-output allows");
}

}  // namespace

Outcome pack(const JobPaths& paths, const PackOptions& options, JobProgress& progress) {
  std::optional<JobOutput> output;
  {
    if (options.tiles && (options.container == ContainerKind::lvgl_bin || options.container == ContainerKind::lvgl_c))
      return refusal(Ending::unsupported_picture,
                     "an LVGL image holds one picture: --tiles writes raw data or a C header of the tiles");
    std::variant<std::unique_ptr<PackSource>, Outcome> opened =
        cut_into_tiles(open_pack_source(paths.first, options, paths.input), options);
    if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
    std::unique_ptr<PackSource>& opened_source = std::get<std::unique_ptr<PackSource>>(opened);
    const bool reverse = reverses_rows(options.rows, opened_source->top_down());
    // Only a bottom-up BMP's rows are read from the last one up where they lie.
    if (reverse && opened_source->top_down()) opened_source = hold_whole(std::move(opened_source));
    PackSource& source = *opened_source;
    const std::uint32_t available = source.frames();
    if (options.frame > available)
      return refusal(Ending::unsupported_picture,
                     "it has " + std::to_string(available) + (available == 1 ? " frame" : " frames") + "; --frame " +
                         std::to_string(options.frame) + " asks for frame " + std::to_string(options.frame));
    const std::uint32_t first = options.all_frames ? 0 : options.frame - 1;
    const std::uint32_t frames = options.all_frames ? available : 1;
    if (std::optional<Outcome> refused = source.show_frame(first)) return std::move(*refused);
    StoredRows shape{source.width(), source.height(), 0, reverse};
    const std::uint32_t band = format_band_rows(options, shape, band_size);
    std::variant<StoredRows, Outcome> readied = source.ready(band, reverse);
    if (Outcome* refused = std::get_if<Outcome>(&readied)) return std::move(*refused);
    const StoredRows& rows = std::get<StoredRows>(readied);

    const std::unique_ptr<PackContainer> container = make_container(options.container);
    std::string description;
    std::vector<std::uint32_t> delays;
    if (std::optional<Failure> failed = within_memory("the table of the frames' delays does not fit in memory", [&] {
          description = describe(paths.input != nullptr ? std::string(paths.input->name()) : paths.first, rows.width,
                                 rows.height, options.all_frames ? frames : 0, source.top_down() != reverse, options);
          if (options.all_frames) {
            for (std::uint32_t k = 0; k < frames; ++k) delays.push_back(source.delay_ms(k));
          }
        }))
      return refusal(std::move(*failed));
    const FormatSettings settings = format_settings(options);
    const ContainerPicture picture{options.c_array,
                                   description,
                                   options.c_attribute,
                                   settings,
                                   rows.width,
                                   options.tiles ? options.tiles->height : rows.height,
                                   options.align,
                                   options.compression,
                                   options.tiles ? rows.height / options.tiles->height : 0,
                                   frames,
                                   delays};
    if (std::optional<Failure> refused = container->refusal(picture)) return refusal(std::move(*refused));
    if (std::optional<Outcome> refused = over_output_limit(picture, options.output_limit)) return std::move(*refused);

    std::variant<JobOutput, Outcome> begun = paths.output != nullptr ? JobOutput::to_stream(*paths.output, progress)
                                             : options.switches.stream
                                                 ? JobOutput::to_file(paths.second, progress, paths.output_links)
                                                 : JobOutput::to_memory(container->size(picture));
    if (Outcome* refused = std::get_if<Outcome>(&begun)) return std::move(*refused);
    output.emplace(std::get<JobOutput>(std::move(begun)));
    if (std::optional<Outcome> refused = walk(source, rows, band, options, *container, picture, first, *output))
      return std::move(*refused);
  }  // The picture is released here, before a block in memory is saved.
  return output->finish(paths.second, progress);
}
