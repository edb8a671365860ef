#include "jobs/tile_source.h"

#include <cassert>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "jobs/pack_formats.h"

namespace {

constexpr char band_does_not_fit[] = "a band of the tiles does not fit in memory";

std::string size_text(std::uint64_t width, std::uint64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

// Why a picture of width x height does not cut into tiles of `tile`: the nearest sizes that do, below
// (a crop that keeps whole tiles) and above.
std::string uneven_reason(std::uint32_t width, std::uint32_t height, TileSize tile) {
  const std::uint64_t below_w = width / tile.width * std::uint64_t{tile.width};
  const std::uint64_t below_h = height / tile.height * std::uint64_t{tile.height};
  const std::uint64_t above_w = (width + std::uint64_t{tile.width} - 1) / tile.width * tile.width;
  const std::uint64_t above_h = (height + std::uint64_t{tile.height} - 1) / tile.height * tile.height;
  std::string reason = "the picture's " + size_text(width, height) + " pixels are not a whole number of " +
                       size_text(tile.width, tile.height) + " tiles: ";
  if (below_w != 0 && below_h != 0)
    reason += "--crop " + std::to_string(below_w) + "x" + std::to_string(below_h) + " keeps " +
              size_text(below_w / tile.width, below_h / tile.height) + " of them, or ";
  return reason + "--resize " + std::to_string(above_w) + "x" + std::to_string(above_h) + " --fit contain makes " +
         size_text(above_w / tile.width, above_h / tile.height);
}

class TileSource : public PackSource {
 public:
  TileSource(std::unique_ptr<PackSource> picture, TileSize tile)
      : picture_(std::move(picture)), tile_(tile), columns_(picture_->width() / tile.width) {}

  std::uint32_t width() const override { return tile_.width; }
  std::uint32_t height() const override { return picture_->height() / tile_.height * columns_ * tile_.height; }
  bool top_down() const override { return true; }

  std::variant<StoredRows, Outcome> ready(std::uint32_t, bool reverse) override {
    assert(!reverse);
    std::variant<StoredRows, Outcome> readied = picture_->ready(tile_.height, reverse);
    if (Outcome* refused = std::get_if<Outcome>(&readied)) return std::move(*refused);
    const StoredRows& rows = std::get<StoredRows>(readied);
    assert(rows.quads && !rows.reverse);
    stride_ = rows.stride;
    held_ = false;
    if (std::optional<Failure> failed =
            within_memory(band_does_not_fit, [&] { band_.resize(std::size_t{tile_.width} * 4 * tile_.height); }))
      return refusal(std::move(*failed));
    return StoredRows{tile_.width, height(), tile_.width * 4, false, true, rows.background};
  }

  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    const std::size_t row_bytes = std::size_t{tile_.width} * 4;
    if (std::optional<Failure> failed = within_memory(band_does_not_fit, [&] {
          if (band_.size() < row_bytes * count) band_.resize(row_bytes * count);
        }))
      return refusal(std::move(*failed));
    for (std::uint32_t k = 0; k < count; ++k) {
      const std::uint32_t row = first + k;
      const std::uint32_t tile = row / tile_.height, y = row % tile_.height;
      const std::uint32_t strip = tile / columns_, column = tile % columns_;
      // The picture's rows come in order: a walk that starts again starts from its first strip.
      if (!held_ || strip != strip_) {
        std::variant<std::span<const std::uint8_t>, Outcome> got = picture_->band(strip * tile_.height, tile_.height);
        if (Outcome* refused = std::get_if<Outcome>(&got)) return std::move(*refused);
        strip_rows_ = std::get<0>(got);
        strip_ = strip;
        held_ = true;
      }
      std::memcpy(band_.data() + row_bytes * k,
                  strip_rows_.data() + std::size_t{y} * stride_ + std::size_t{column} * row_bytes, row_bytes);
    }
    return std::span<const std::uint8_t>(band_.data(), row_bytes * count);
  }

 private:
  std::unique_ptr<PackSource> picture_;
  TileSize tile_;
  std::uint32_t columns_;
  std::uint32_t stride_ = 0;
  std::span<const std::uint8_t> strip_rows_;  // the row of tiles held, valid until the picture's next band
  std::uint32_t strip_ = 0;
  bool held_ = false;
  std::vector<std::uint8_t> band_;
};

}  // namespace

std::variant<std::unique_ptr<PackSource>, Outcome> cut_into_tiles(
    std::variant<std::unique_ptr<PackSource>, Outcome> opened, const PackOptions& options) {
  if (std::holds_alternative<Outcome>(opened) || !options.tiles) return opened;
  std::unique_ptr<PackSource> picture = std::get<std::unique_ptr<PackSource>>(std::move(opened));
  const TileSize tile = *options.tiles;
  const std::uint32_t width = picture->width(), height = picture->height();
  if (width % tile.width != 0 || height % tile.height != 0)
    return refusal(Ending::unsupported_picture, uneven_reason(width, height, tile));
  const std::uint64_t count = std::uint64_t{width / tile.width} * (height / tile.height);
  if (count * tile.height > UINT32_MAX)
    return refusal(Ending::unsupported_picture, std::to_string(count) + " tiles of " +
                                                    size_text(tile.width, tile.height) +
                                                    " pixels are more rows than an output can hold");
  if (options.pixel_format == PixelFormat::mono1 && options.pages && tile.height % 8 != 0)
    return refusal(Ending::unsupported_picture,
                   "mono1's 8-row pages need tiles a multiple of 8 rows high, not " + std::to_string(tile.height));
  return std::unique_ptr<PackSource>(std::make_unique<TileSource>(std::move(picture), tile));
}
