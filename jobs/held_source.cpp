#include "jobs/held_source.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "files/failure.h"

namespace {

class HeldSource : public PackSource {
 public:
  explicit HeldSource(std::unique_ptr<PackSource> picture) : picture_(std::move(picture)) {}

  std::uint32_t width() const override { return picture_->width(); }
  std::uint32_t height() const override { return picture_->height(); }
  bool top_down() const override { return picture_->top_down(); }
  std::uint32_t frames() const override { return picture_->frames(); }
  std::uint32_t delay_ms(std::uint32_t index) const override { return picture_->delay_ms(index); }
  std::optional<Outcome> show_frame(std::uint32_t index) override { return picture_->show_frame(index); }

  // Reads the frame shown, band after band in stored order, into one block of rows.
  std::variant<StoredRows, Outcome> ready(std::uint32_t band_rows, bool reverse) override {
    std::variant<StoredRows, Outcome> readied = picture_->ready(band_rows, false);
    if (Outcome* refused = std::get_if<Outcome>(&readied)) return std::move(*refused);
    StoredRows rows = std::get<StoredRows>(readied);
    stride_ = rows.stride;
    if (std::optional<Failure> failed = within_memory("the picture does not fit in memory to be written bottom row "
                                                      "first",
                                                      [&] { held_.resize(std::size_t{stride_} * rows.height); }))
      return refusal(std::move(*failed));
    const std::uint32_t step = std::max<std::uint32_t>(band_rows, 1);
    for (std::uint32_t first = 0; first < rows.height; first += step) {
      const std::uint32_t count = std::min(step, rows.height - first);
      std::variant<std::span<const std::uint8_t>, Outcome> got = picture_->band(first, count);
      if (Outcome* refused = std::get_if<Outcome>(&got)) return std::move(*refused);
      const std::span<const std::uint8_t> band = std::get<std::span<const std::uint8_t>>(got);
      std::memcpy(held_.data() + std::size_t{first} * stride_, band.data(), std::size_t{count} * stride_);
    }
    rows.reverse = reverse;
    rows.any_rows = true;
    return rows;
  }

  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    return std::span<const std::uint8_t>(held_).subspan(std::size_t{first} * stride_, std::size_t{count} * stride_);
  }

 private:
  std::unique_ptr<PackSource> picture_;
  std::vector<std::uint8_t> held_;
  std::uint32_t stride_ = 0;
};

}  // namespace

std::unique_ptr<PackSource> hold_whole(std::unique_ptr<PackSource> picture) {
  return std::make_unique<HeldSource>(std::move(picture));
}
