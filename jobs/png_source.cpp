#include "jobs/png_source.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>
#include <vector>

#include "files/file_view.h"
#include "read/png_reader.h"

namespace {

class PngSource : public PackSource {
 public:
  PngSource(std::unique_ptr<FileView> view, std::unique_ptr<ViewByteWindows> bytes, PngReader reader,
            const PackOptions& options)
      : view_(std::move(view)), bytes_(std::move(bytes)), reader_(std::move(reader)), options_(options) {}

  std::uint32_t width() const override { return reader_.width(); }
  std::uint32_t height() const override { return reader_.height(); }
  bool top_down() const override { return true; }

  std::variant<StoredRows, Outcome> ready(std::uint32_t, bool reverse) override {
    // The walk reverses only a bottom-up picture's rows.
    assert(!reverse);
    return StoredRows{reader_.width(), reader_.height(), reader_.width() * 4, reverse, true, options_.background};
  }

  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    if (first == 0 && next_ != 0) {
      if (std::optional<Failure> failed = reader_.restart()) return refusal(std::move(*failed));
      next_ = 0;
    }
    assert(first == next_);
    std::variant<std::span<const std::uint8_t>, Failure> rows = reader_.next_rows(count);
    if (Failure* failed = std::get_if<Failure>(&rows)) return refusal(std::move(*failed));
    next_ = first + count;
    return std::get<std::span<const std::uint8_t>>(rows);
  }

 private:
  // In the order the reader needs them: it reads through the bytes, which map windows of the view.
  std::unique_ptr<FileView> view_;
  std::unique_ptr<ViewByteWindows> bytes_;
  PngReader reader_;
  const PackOptions& options_;
  std::uint32_t next_ = 0;
};

// A PNG stored row after row as the transform chain's picture, which a crop, a resize, a mirror left
// to right or tiles read downward a band of rows at a time: the rows of each band are inflated as they
// are asked for, and only those that the next band may ask for again are kept. A read above them (a
// walk that starts again) inflates the pixels again from the first IDAT.
class PngRegion : public ChainPicture {
 public:
  PngRegion(std::unique_ptr<FileView> view, std::unique_ptr<ViewByteWindows> bytes, PngReader reader)
      : view_(std::move(view)), bytes_(std::move(bytes)), reader_(std::move(reader)) {}

  std::uint32_t width() const override { return reader_.width(); }
  std::uint32_t height() const override { return reader_.height(); }

  void read(const Rect& rect, BgraQuad* out) override {
    if (failure_) return;
    const std::size_t row = std::size_t{reader_.width()} * 4;
    if (rect.y < first_) {
      if (std::optional<Failure> failed = reader_.restart()) return fail(std::move(*failed));
      first_ = next_ = 0;
      rows_.clear();
    }
    // The rows above the rectangle are let go; those it needs are inflated, a few at a time so that
    // the reader's own buffer stays small.
    const std::uint64_t kept_from = std::min<std::uint64_t>(rect.y, next_);
    rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>((kept_from - first_) * row));
    first_ = static_cast<std::uint32_t>(kept_from);
    const std::uint32_t end = rect.y + rect.height;
    while (next_ < end) {
      const std::uint32_t count = std::min<std::uint32_t>(end - next_, inflated_at_once);
      std::variant<std::span<const std::uint8_t>, Failure> got = reader_.next_rows(count);
      if (Failure* failed = std::get_if<Failure>(&got)) return fail(std::move(*failed));
      const std::span<const std::uint8_t> rows = std::get<std::span<const std::uint8_t>>(got);
      if (next_ + count <= rect.y) {
        first_ = next_ + count;  // above the rectangle: not kept
      } else {
        const std::size_t skip = next_ < rect.y ? (rect.y - next_) * row : 0;
        if (next_ < rect.y) first_ = rect.y;
        if (std::optional<Failure> failed = within_memory("the PNG's rows that a band needs do not fit in memory", [&] {
              rows_.insert(rows_.end(), rows.begin() + static_cast<std::ptrdiff_t>(skip), rows.end());
            }))
          return fail(std::move(*failed));
      }
      next_ += count;
    }
    for (std::uint32_t y = 0; y < rect.height; ++y, out += rect.width) {
      const std::uint8_t* from = rows_.data() + (std::size_t{rect.y - first_ + y} * reader_.width() + rect.x) * 4;
      std::memcpy(out, from, std::size_t{rect.width} * 4);
    }
  }

 private:
  static constexpr std::uint32_t inflated_at_once = 16;

  void fail(Failure failure) { failure_ = std::move(failure); }

  std::unique_ptr<FileView> view_;
  std::unique_ptr<ViewByteWindows> bytes_;
  PngReader reader_;
  std::vector<std::uint8_t> rows_;  // rows first_ to next_, as quads
  std::uint32_t first_ = 0;
  std::uint32_t next_ = 0;
};

}  // namespace

namespace {

// A PNG stored row after row, opened by its reader and made into a source by `make`; nullopt for
// anything else, an interlaced PNG included, which is read whole.
template <typename Made>
std::optional<std::variant<Made, Outcome>> open_stored_png(ViewByteWindows& bytes, const PackOptions& options,
                                                           const auto& make) {
  std::variant<std::monostate, PngReader, Failure> found = PngReader::open(bytes, options.pixel_limit);
  if (Failure* failed = std::get_if<Failure>(&found)) return refusal(std::move(*failed));
  PngReader* reader = std::get_if<PngReader>(&found);
  if (reader == nullptr || reader->interlaced()) return std::nullopt;
  return Made(make(std::move(*reader)));
}

}  // namespace

std::optional<std::variant<std::unique_ptr<ChainPicture>, Outcome>> open_png_region(
    std::unique_ptr<FileView>& view, std::unique_ptr<ViewByteWindows>& bytes, const PackOptions& options) {
  return open_stored_png<std::unique_ptr<ChainPicture>>(*bytes, options, [&](PngReader reader) {
    return std::make_unique<PngRegion>(std::move(view), std::move(bytes), std::move(reader));
  });
}

std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> open_png_bands(
    std::unique_ptr<FileView>& view, std::unique_ptr<ViewByteWindows>& bytes, const PackOptions& options) {
  return open_stored_png<std::unique_ptr<PackSource>>(*bytes, options, [&](PngReader reader) {
    return std::make_unique<PngSource>(std::move(view), std::move(bytes), std::move(reader), options);
  });
}
