// Talvose's Generate job: a raw 16-bit image of the fixed 568 x 130 frame back into a 24-bit BMP
// with a 58-byte header, bottom row first as the raw image's rows came from a bottom-up picture.
// From the command line the same job takes other frame sizes, the word layouts of UnpackOptions and
// raw images whose first row is the picture's top row, and writes a PNG for an output named so; it
// writes a BMP band by band there, so that a frame of any size takes a few megabytes.
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
#include "files/file_view.h"
#include "files/output_block.h"
#include "files/output_file.h"
#include "files/view_access.h"
#include "format/word_format.h"
#include "job/convert.h"
#include "jobs/probe.h"
#include "pixels/little_endian.h"
#include "read/frame_sizes.h"

namespace {

constexpr std::uint32_t fixed_width = 568;
constexpr std::uint32_t fixed_height = 130;

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

// The frame's BMP rows, bottom row first, encoded as a PNG in a new block; nullopt when encoding
// failed or memory ran out.
std::optional<OutputBlock> as_png(const OutputBlock& pixels, const BmpOutput& layout) {
  try {
    const std::optional<std::vector<std::uint8_t>> png =
        encode_png(pixels.bytes(), layout.row_length, layout.width, layout.height, true);
    if (!png) return std::nullopt;
    return OutputBlock::copy_of(*png);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
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
// from the window of the input that holds its rows. The new file takes its name only once it is
// complete, so a failure, or an input cut short meanwhile, leaves what was at that name.
Outcome stream_bmp(const JobPaths& paths, const BmpOutput& layout, const UnpackOptions& options,
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
  std::variant<OutputFile, Outcome> created = begin_output(paths.second, progress);
  if (Outcome* refused = std::get_if<Outcome>(&created)) return std::move(*refused);
  OutputFile& output = std::get<OutputFile>(created);
  if (std::optional<SystemError> error = output.write(layout.header)) return not_saved(*error);
  for (std::uint32_t first = 0; first < layout.height; first += rows) {
    const std::uint32_t count = std::min(rows, layout.height - first);
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
    if (std::optional<SystemError> error = output.write(out)) return not_saved(*error);
  }
  if (std::optional<SystemError> error = output.commit()) return not_saved(*error);
  Outcome outcome;
  if (std::optional<std::string> warning = size_warning(input_size, layout))
    outcome.warnings.push_back(std::move(*warning));
  return outcome;
}

// The frame at the size the options give, written as a BMP or a PNG.
Outcome unpack_at_size(const JobPaths& paths, const UnpackOptions& options, JobProgress& progress) {
  const bool own_size = options.width == 0 && options.height == 0;
  const std::optional<BmpOutput> layout =
      own_size ? bmp_output(fixed_width, fixed_height) : bmp_output(options.width, options.height);
  if (!layout) return refusal(Ending::out_of_memory, "the frame's BMP would not fit 4 GiB");
  const bool png = wants_png(options, paths.second);
  if (options.stream && !png) return stream_bmp(paths, *layout, options, progress);
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

// A guess in words: "320 x 240, low byte first (87 % sure)".
std::string guess_text(const ProbeGuess& guess, bool with_order) {
  return std::to_string(guess.width) + " x " + std::to_string(guess.height) +
         (!with_order                           ? ""
          : guess.bytes == ByteOrder::low_first ? ", low byte first"
                                                : ", high byte first") +
         " (" + std::to_string(guess.confidence) + " % sure)";
}

// The options with the size, and the byte order if asked, that the input's content reads best at;
// or the refusal of an input that is a picture, unreadable, or whose best guess is not clearly ahead.
std::variant<UnpackOptions, Outcome> with_guessed_size(const std::string& path, UnpackOptions options,
                                                       std::string& note) {
  {
    std::variant<FileView, Outcome> opened = open_raw(path, options, longest_signature);
    if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  }
  ProbeLimits limits{.format = "rgb565"};
  if (!options.guess_bytes) limits.bytes = options.format.bytes;
  std::variant<ProbeResult, Outcome> probed = probe_file(path, limits);
  if (Outcome* refused = std::get_if<Outcome>(&probed)) return std::move(*refused);
  const ProbeResult& result = std::get<ProbeResult>(probed);
  if (result.verdict == ProbeVerdict::no_guess)
    return refusal(Ending::cannot_open_input,
                   "no confident guess of its size: it does not read as a picture at any size; give --size");
  if (result.verdict == ProbeVerdict::unsure) {
    std::string reason = "no confident guess of its size: ";
    for (std::size_t i = 0; i < result.ranked.size(); ++i)
      reason += (i == 0 ? "" : ", ") + guess_text(result.ranked[i], options.guess_bytes);
    return refusal(Ending::cannot_open_input, reason + " read almost equally well; give --size");
  }
  const ProbeGuess& best = result.ranked.front();
  options.width = best.width;
  options.height = best.height;
  options.format.bytes = best.bytes;
  note = "size auto: " + guess_text(best, options.guess_bytes);
  return options;
}

}  // namespace

Outcome unpack(const JobPaths& paths, const UnpackOptions& options, JobProgress& progress) {
  if (!options.guess_size) return unpack_at_size(paths, options, progress);
  std::string note;
  std::variant<UnpackOptions, Outcome> guessed = with_guessed_size(paths.first, options, note);
  if (Outcome* refused = std::get_if<Outcome>(&guessed)) return std::move(*refused);
  Outcome outcome = unpack_at_size(paths, std::get<UnpackOptions>(guessed), progress);
  if (outcome.done()) outcome.warnings.insert(outcome.warnings.begin(), note);
  return outcome;
}
