// pack's conversion into the formats besides the dialogs' RGB565: the picture's stored rows walked a
// band at a time in the output's order, each band widened to quads, encoded and handed on. The
// walk serves both the whole picture in memory and the band-by-band stream over a file's windows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "format/pixel_format.h"
#include "job/job.h"
#include "jobs/pack.h"

// The format's settings as the options choose them.
FormatSettings format_settings(const PackOptions& options);

// The picture as its stored rows of triples, or of quads, `stride` bytes apart.
struct StoredRows {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t stride = 0;
  // The output starts with the last stored row (the top row of a bottom-up picture).
  bool reverse = false;
  bool quads = false;
  // Laid under quads for a format that keeps no alpha.
  BgrTriple background{0, 0, 0};
  // The alpha of rows of triples, `width` bytes a stored row in stored order; null for opaque rows.
  // Only a format with alpha reads it.
  const std::uint8_t* alpha = nullptr;
  // The source gives any stored rows asked for, a single row too, not only the bands it readied.
  bool any_rows = false;
};

// `count` stored rows from stored row `first` on, or a refusal.
using RowSource =
    std::function<std::variant<std::span<const std::uint8_t>, Outcome>(std::uint32_t first, std::uint32_t count)>;
// Takes the next piece of the output; a refusal when it could not.
using ByteSink = std::function<std::optional<Outcome>(std::span<const std::uint8_t>)>;

// Rows a band holds: about `band_bytes` of stored rows, whole pages for paged formats.
std::uint32_t format_band_rows(const PackOptions& options, const StoredRows& rows, std::uint64_t band_bytes);

// Whether pack_format asks for each band once, in order (reversed or not): true unless it counts the
// colours for a palette first or writes an alpha plane after the colours.
bool format_walks_once(const PackOptions& options);

// Encodes the picture into `sink`: the palette first for indexed formats (after a first walk that
// counts the colours), then each plane, band after band.
std::optional<Outcome> pack_format(const StoredRows& rows, const PackOptions& options, std::uint32_t band,
                                   const RowSource& source, const ByteSink& sink);
