#include "jobs/pack_formats.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include "files/view_access.h"
#include "format/dither.h"
#include "format/levels.h"
#include "format/median_cut.h"
#include "format/palette_match.h"

FormatSettings format_settings(const PackOptions& options) {
  FormatSettings settings;
  settings.format = options.pixel_format;
  settings.word = options.format;
  settings.premultiply = options.premultiply;
  settings.threshold = options.threshold;
  settings.pages = options.pages;
  settings.bit_order = options.bit_order;
  return settings;
}

std::uint32_t format_band_rows(const PackOptions& options, const StoredRows& rows, std::uint64_t band_bytes) {
  std::uint32_t band =
      options.switches.band_rows != 0
          ? options.switches.band_rows
          : static_cast<std::uint32_t>(std::clamp<std::uint64_t>(
                band_bytes / std::max<std::uint64_t>(1, std::uint64_t{rows.width} * 3), 1, rows.height));
  if (options.pixel_format == PixelFormat::mono1 && options.pages) band = std::max<std::uint32_t>(8, band / 8 * 8);
  return band;
}

namespace {

// The quads of a band's rows, in the output's order; when `opaque`, laid over the background, or
// with a `threshold` each pixel either the background or itself.
std::optional<Outcome> widen_band(std::span<const std::uint8_t> stored, const StoredRows& rows, std::uint32_t first,
                                  std::uint32_t count, bool opaque, std::uint8_t threshold,
                                  std::vector<BgraQuad>& quads) {
  const BgraQuad background{rows.background.blue, rows.background.green, rows.background.red, 255};
  quads.resize(std::size_t{rows.width} * count);
  if (access_views([&] {
        for (std::uint32_t y = 0; y < count; ++y) {
          const std::uint32_t row = rows.reverse ? count - 1 - y : y;
          const std::uint8_t* from = stored.data() + std::size_t{row} * rows.stride;
          BgraQuad* to = quads.data() + std::size_t{y} * rows.width;
          if (!rows.quads) {
            quads_of_triples(from, rows.width, to);
            if (rows.alpha == nullptr || (opaque && threshold == 0)) continue;
            const std::uint8_t* alpha = rows.alpha + (std::size_t{first} + row) * rows.width;
            for (std::uint32_t x = 0; x < rows.width; ++x) {
              if (!opaque)
                to[x].alpha = alpha[x];
              else if (alpha[x] < threshold)
                to[x] = background;
            }
            continue;
          }
          std::memcpy(to, from, std::size_t{rows.width} * 4);
          if (!opaque) continue;
          for (std::uint32_t x = 0; x < rows.width; ++x) {
            if (threshold != 0) {
              to[x] = to[x].alpha < threshold ? background : BgraQuad{to[x].blue, to[x].green, to[x].red, 255};
              continue;
            }
            const BgrTriple pixel = over(to[x], rows.background);
            to[x] = {pixel.blue, pixel.green, pixel.red, 255};
          }
        }
      }) != nullptr)
    return refusal(Ending::cannot_open_input, cut_short_reason);
  return std::nullopt;
}

}  // namespace

bool format_walks_once(const PackOptions& options) {
  const FormatSettings settings = format_settings(options);
  const bool counts_colours = format_info(settings.format).index_bits != 0 && options.palette.empty();
  return !counts_colours && image_layout(settings, 1, 1).alpha_plane_bytes == 0;
}

std::optional<Outcome> pack_format(const StoredRows& rows, const PackOptions& options, std::uint32_t band,
                                   const RowSource& source, const ByteSink& sink) {
  FormatSettings settings = format_settings(options);
  const FormatInfo& info = format_info(settings.format);
  std::vector<BgraQuad> quads;
  std::vector<std::uint8_t> out;
  // Each band in the output's order: with `reverse` the bands go from the file's end. `each` takes
  // the band's stored rows, the first stored row, its count and the output rows before it, and
  // widens them to quads itself when it needs them. `backwards` visits the same bands the other way
  // round, in stored order. While `sampled` says so before a band, only its stored rows at a
  // multiple of 4 are asked for, each alone, and handed on as bands of one row (for a source that
  // gives `any_rows`).
  const auto walk = [&](auto&& each, bool backwards = false,
                        const std::function<bool()>& sampled = nullptr) -> std::optional<Outcome> {
    const std::uint32_t bands = rows.height == 0 ? 0 : (rows.height - 1) / band + 1;
    for (std::uint32_t k = 0; k < bands; ++k) {
      const std::uint32_t done = (backwards ? bands - 1 - k : k) * band;
      const std::uint32_t count = std::min(band, rows.height - done);
      const std::uint32_t first = rows.reverse ? rows.height - done - count : done;
      const auto hand_on = [&](std::uint32_t from, std::uint32_t rows_asked) -> std::optional<Outcome> {
        std::variant<std::span<const std::uint8_t>, Outcome> got = source(from, rows_asked);
        if (Outcome* refused = std::get_if<Outcome>(&got)) return std::move(*refused);
        return each(std::get<0>(got), from, rows_asked, done);
      };
      if (!sampled || !sampled()) {
        if (std::optional<Outcome> refused = hand_on(first, count)) return refused;
        continue;
      }
      for (std::uint32_t row = (first + 3) / 4 * 4; row < first + count; row += 4) {
        if (std::optional<Outcome> refused = hand_on(row, 1)) return refused;
      }
    }
    return std::nullopt;
  };
  // A palette the user gives is opaque: the picture is laid over the background to meet it.
  const bool opaque = info.alpha_bits == 0 || !options.palette.empty();
  const auto widen = [&](std::span<const std::uint8_t> stored, std::uint32_t first, std::uint32_t count) {
    return widen_band(stored, rows, first, count, opaque, options.alpha_threshold, quads);
  };
  try {
    std::vector<BgraQuad> palette;
    std::optional<PaletteIndex> index;
    std::optional<PaletteMatch> match;
    if (info.index_bits != 0 && !options.palette.empty()) {
      // Refused before the job with a message; a caller that slips gets no overrun.
      if (options.palette.size() > (std::size_t{1} << info.index_bits))
        return refusal(Ending::unsupported_picture, "the palette has more colours than the format holds");
      palette = options.palette;
    } else if (info.index_bits != 0) {
      ColourCount colours(1u << info.index_bits);
      // A picture of over a million pixels has its colours counted on every fourth stored row: as
      // good a palette, in a quarter of the time. Its other rows are told only while the palette
      // may still be exact, so once it cannot be, the rest are not read at all.
      const bool sampled = std::uint64_t{rows.width} * rows.height > (std::uint64_t{1} << 20);
      const bool opaque_triples = !rows.quads && rows.alpha == nullptr;
      const std::function<bool()> sampled_alone = [&] {
        return sampled && opaque_triples && rows.any_rows && !colours.keeps_colours();
      };
      std::vector<BgraQuad> prepared_band;
      if (std::optional<Outcome> refused = walk(
              [&](std::span<const std::uint8_t> stored, std::uint32_t first, std::uint32_t count,
                  std::uint32_t) -> std::optional<Outcome> {
                // Opaque triples are counted where they lie; premultiplying leaves them as they are.
                if (opaque_triples) {
                  if (access_views([&] {
                        for (std::uint32_t y = 0; y < count; ++y)
                          colours.add_triples(stored.data() + std::size_t{y} * rows.stride, rows.width,
                                              !sampled || (first + y) % 4 == 0);
                      }) != nullptr)
                    return refusal(Ending::cannot_open_input, cut_short_reason);
                  return std::nullopt;
                }
                if (std::optional<Outcome> refused_band = widen(stored, first, count)) return refused_band;
                if (!settings.premultiply) {
                  colours.add(quads);
                  return std::nullopt;
                }
                prepared_band.clear();
                for (const BgraQuad& quad : quads) prepared_band.push_back(prepared(quad, true));
                colours.add(prepared_band);
                return std::nullopt;
              },
              false, sampled_alone))
        return refused;
      palette = colours.palette();
      index.emplace(palette, colours.exact());
      settings.index = &*index;
    }
    if (info.index_bits != 0) {
      settings.palette = palette;
      // The median-cut palette without dithering keeps its own lookup, and its bytes.
      if (!options.palette.empty() || options.dither != Dither::none) {
        match.emplace(palette);
        settings.match = &*match;
      }
      out.resize(std::size_t{4} << info.index_bits);
      store_palette(palette, out);
      if (std::optional<Outcome> refused = sink(out)) return refused;
    }
    std::optional<RowDither> dither;
    if (options.dither != Dither::none && (info.options & format_option::dither) != 0) {
      dither.emplace(options.dither, rows.width);
      settings.dither = &*dither;
    }
    // Diffusion runs its errors down the stored rows. Written top row first from a bottom-up
    // picture, its colour plane's bands are then dithered from the output's last, each put in its
    // place in the plane, and the plane handed on whole.
    const bool backwards = rows.reverse && options.dither == Dither::diffusion && dither.has_value();
    std::vector<std::uint8_t> plane_bytes;
    const int planes = image_layout(settings, 1, 1).alpha_plane_bytes != 0 ? 2 : 1;
    for (int plane = 0; plane < planes; ++plane) {
      const bool whole_plane = backwards && plane == 0;
      if (whole_plane) plane_bytes.resize(static_cast<std::size_t>(band_bytes(settings, 0, rows.width, rows.height)));
      if (std::optional<Outcome> refused = walk(
              [&](std::span<const std::uint8_t> stored, std::uint32_t first, std::uint32_t count,
                  std::uint32_t done) -> std::optional<Outcome> {
                out.resize(static_cast<std::size_t>(band_bytes(settings, plane, rows.width, count)));
                if (dither && plane == 0) dither->start_band(first, count, rows.reverse);
                bool direct = false;
                if (!rows.quads && (rows.alpha == nullptr || (opaque && options.alpha_threshold == 0)) &&
                    access_views([&] {
                      direct = encode_triple_rows(settings, plane, stored.data(), rows.stride, rows.reverse, rows.width,
                                                  count, out);
                    }) != nullptr)
                  return refusal(Ending::cannot_open_input, cut_short_reason);
                if (!direct) {
                  if (std::optional<Outcome> refused_band = widen(stored, first, count)) return refused_band;
                  encode_rows(settings, plane, quads, rows.width, count, out);
                }
                if (!whole_plane) return sink(out);
                const auto at = static_cast<std::ptrdiff_t>(band_bytes(settings, 0, rows.width, done));
                std::copy(out.begin(), out.end(), plane_bytes.begin() + at);
                return std::nullopt;
              },
              whole_plane))
        return refused;
      if (whole_plane) {
        if (std::optional<Outcome> refused = sink(plane_bytes)) return refused;
        plane_bytes = {};
      }
    }
  } catch (const std::bad_alloc&) {
    return refusal(Ending::out_of_memory);
  }
  return std::nullopt;
}
