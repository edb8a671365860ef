// The sources of pack's walk, behind one interface: a picture's stored rows a band at a time. The
// picture is a BMP read band by band through windows of its file (when streaming, untransformed),
// a picture loaded whole (by the image loader or the platform's codecs), or the transform chain over
// a BMP read through windows of its file (or a codec's picture), whose rows are a new picture's, top
// row first, as BGRA quads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "files/byte_stream.h"
#include "job/job.h"
#include "jobs/pack.h"
#include "jobs/pack_formats.h"

// The first bytes of a picture's file or stream that its source maps or peeks: they hold every
// kind's signature and a BMP's headers and colour table; each reader maps its own windows for the
// rest.
inline constexpr std::uint64_t picture_start_bytes = std::uint64_t{64} << 10;

// A BMP's or a codec picture's alpha is kept only for a format that has alpha, or to be cut at a
// threshold; the others ignore it, as the dialogs do.
inline bool keeps_alpha(const PackOptions& options) {
  return format_info(options.pixel_format).alpha_bits != 0 || options.alpha_threshold != 0;
}

class PackSource {
 public:
  virtual ~PackSource() = default;

  virtual std::uint32_t width() const = 0;
  virtual std::uint32_t height() const = 0;
  // The first stored row is the picture's top row.
  virtual bool top_down() const = 0;
  // Readies bands of `band_rows` rows, taken from the last stored row first when `reverse`, and
  // says what the rows hold; or the refusal of a picture whose pixels do not convert.
  virtual std::variant<StoredRows, Outcome> ready(std::uint32_t band_rows, bool reverse) = 0;
  // `count` stored rows from stored row `first` on, in a band that ready() announced (or any rows
  // when ready() said `any_rows`); valid until the next call. A walk that starts again from the
  // first band sees the same rows again.
  virtual std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) = 0;

  // The frames of an animation, each a picture of the same size; a still picture has one.
  virtual std::uint32_t frames() const { return 1; }
  // How long frame `index` (from 0) is shown, in milliseconds; 0 when the file does not say.
  virtual std::uint32_t delay_ms(std::uint32_t) const { return 0; }
  // Makes frame `index`, from 0, the picture that ready() and band() give; frames are shown in
  // order, none before the one shown. The refusal when its pixels do not read.
  virtual std::optional<Outcome> show_frame(std::uint32_t) { return std::nullopt; }
};

// The source of the picture at `path` as the options read it, or the refusal that says why it
// cannot be read. With `input`, the picture is that stream's, `path` only naming it: a stream that
// does not start as a picture is refused before anything else is read. A BMP that converts in one
// walk in stored order, untransformed, is read as it comes (read/bmp_stream_bands.h); any other
// picture is first copied into a file, at most as many bytes as a picture within the pixel limit
// can take (stream_stage_limit), and refused, naming that limit, when the stream is longer.
std::variant<std::unique_ptr<PackSource>, Outcome> open_pack_source(const std::string& path, const PackOptions& options,
                                                                    InputStream* input = nullptr);

// The most bytes a stream's PNG, JPEG, GIF or run-length coded BMP of at most `pixel_limit` pixels
// is copied for: 9 bytes a pixel and 1 MiB, which holds a PNG of 16-bit samples with alpha stored
// without compression, a row's filter byte and every container's overhead.
std::uint64_t stream_stage_limit(std::uint64_t pixel_limit);
