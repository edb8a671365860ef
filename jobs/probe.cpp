#include "jobs/probe.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "files/file_view.h"
#include "files/view_access.h"
#include "job/convert.h"

std::variant<ProbeResult, Outcome> probe_file(const std::string& path, const ProbeLimits& limits) {
  std::variant<FileView, Outcome> opened = open_input(path, Ending::cannot_open_input, 1);
  if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  FileView& view = std::get<FileView>(opened);
  const std::vector<ByteRange> ranges = probe_ranges(view.file_size());
  // The samples are copied out of their windows, as each window replaces the one before.
  std::vector<std::vector<std::uint8_t>> copies;
  if (std::optional<Failure> failed = within_memory("the dump's samples do not fit in memory", [&] {
        copies.reserve(ranges.size());
        for (const ByteRange& range : ranges) copies.emplace_back(static_cast<std::size_t>(range.length));
      }))
    return refusal(std::move(*failed));
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (std::optional<SystemError> error = view.map_window(ranges[i].offset, ranges[i].length))
      return refusal(Ending::cannot_open_input, {}, describe(*error));
    const std::span<const std::uint8_t> window = view.bytes();
    std::uint8_t* copy = copies[i].data();
    if (access_views([&] { std::copy(window.begin(), window.end(), copy); }) != nullptr)
      return refusal(Ending::cannot_open_input, cut_short_reason);
  }
  std::vector<RawSample> samples;
  for (std::size_t i = 0; i < ranges.size(); ++i) samples.push_back({ranges[i].offset, copies[i]});
  return probe_raw(view.file_size(), samples, limits);
}

std::string layout_options(const ProbeGuess& guess) {
  std::string options;
  if (guess.format->format != PixelFormat::rgb565) options += "--format " + std::string(guess.format->name) + " ";
  options += "--size " + std::to_string(guess.width) + "x" + std::to_string(guess.height);
  if (guess.format->byte_order_matters && guess.order_told && guess.bytes == ByteOrder::high_first)
    options += " --bytes be";
  return options;
}

LvglRead lvgl_image_at(const std::string& path) {
  std::variant<FileView, Outcome> opened =
      open_input(path, Ending::cannot_open_input, lvgl_header_size + lvgl_compression_head_size);
  FileView* view = std::get_if<FileView>(&opened);
  if (view == nullptr) return std::monostate{};
  LvglRead read;
  if (access_views([&] { read = read_lvgl(view->bytes(), view->file_size()); }) != nullptr) return std::monostate{};
  return read;
}
