#include "jobs/png_source.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <optional>
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

// A PNG stored row after row as the transform chain's picture, read a band of rows at a time. Read
// downward (a crop, a resize, a mirror left to right, tiles), the rows of each band are inflated as
// they are asked for, and only those that the next band may ask for again are kept. Read upward (a
// mirror top to bottom, a half turn), each band is read on from the mark above it, made on the way
// down, and the rows from that mark down are kept for the bands above this one that lie below it:
// every row is inflated twice at most, and memory holds a block of rows and the marks.
class PngRegion : public ChainPicture {
 public:
  PngRegion(std::unique_ptr<FileView> view, std::unique_ptr<ViewByteWindows> bytes, PngReader reader)
      : view_(std::move(view)), bytes_(std::move(bytes)), reader_(std::move(reader)) {
    // A block's rows against its mark (zlib's window and state, the input it had not taken, a row
    // of the file): blocks of about sqrt(height x mark / row) rows keep the two about equal.
    const double row = double(reader_.width()) * 4, mark = 48 * 1024 + 64 * 1024 + row;
    const auto rows = static_cast<std::uint32_t>(std::sqrt(double(reader_.height()) * mark / row));
    mark_every_ =
        std::max<std::uint32_t>(inflated_at_once, (rows + inflated_at_once - 1) / inflated_at_once * inflated_at_once);
  }

  std::uint32_t width() const override { return reader_.width(); }
  std::uint32_t height() const override { return reader_.height(); }

  void read(const Rect& rect, BgraQuad* out) override {
    if (failure_) return;
    const std::size_t row = std::size_t{reader_.width()} * 4;
    const bool upward = rect.y < last_y_;
    last_y_ = rect.y;
    if (rect.y < first_) {
      // Read on from the mark at or above the rectangle; without one, from the first row.
      const std::size_t block = rect.y / mark_every_;
      if (block < marks_.size() && marks_[block]) {
        if (std::optional<Failure> failed = reader_.resume(*marks_[block])) return fail(std::move(*failed));
        first_ = next_ = marks_[block]->row();
      } else {
        if (std::optional<Failure> failed = reader_.restart()) return fail(std::move(*failed));
        first_ = next_ = 0;
      }
      rows_.clear();
    }
    // Going down, the rows above the rectangle are let go; going up, they are kept from the mark.
    const std::uint32_t keep_from = upward ? first_ : rect.y;
    const std::uint64_t kept_from = std::min<std::uint64_t>(keep_from, next_);
    rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>((kept_from - first_) * row));
    first_ = static_cast<std::uint32_t>(kept_from);
    const std::uint32_t end = rect.y + rect.height;
    while (next_ < end) {
      if (next_ % mark_every_ == 0) {
        if (std::optional<Failure> failed = mark_here()) return fail(std::move(*failed));
      }
      // A few rows at a time, so that the reader's own buffer stays small, and none past a mark.
      const std::uint32_t to_mark = mark_every_ - next_ % mark_every_;
      const std::uint32_t count = std::min({end - next_, inflated_at_once, to_mark});
      std::variant<std::span<const std::uint8_t>, Failure> got = reader_.next_rows(count);
      if (Failure* failed = std::get_if<Failure>(&got)) return fail(std::move(*failed));
      const std::span<const std::uint8_t> rows = std::get<std::span<const std::uint8_t>>(got);
      if (next_ + count <= keep_from) {
        first_ = next_ + count;  // above what is kept
      } else {
        const std::size_t skip = next_ < keep_from ? (keep_from - next_) * row : 0;
        if (next_ < keep_from) first_ = keep_from;
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

  // The reader's mark before row next_, the first time through it.
  std::optional<Failure> mark_here() {
    const std::size_t block = next_ / mark_every_;
    if (block < marks_.size() && marks_[block]) return std::nullopt;
    std::variant<PngReader::Mark, Failure> made = reader_.mark();
    if (Failure* failed = std::get_if<Failure>(&made)) return std::move(*failed);
    return within_memory("the PNG's marks do not fit in memory", [&] {
      if (marks_.size() <= block) marks_.resize(block + 1);
      marks_[block].emplace(std::get<PngReader::Mark>(std::move(made)));
    });
  }

  std::unique_ptr<FileView> view_;
  std::unique_ptr<ViewByteWindows> bytes_;
  PngReader reader_;
  std::vector<std::uint8_t> rows_;  // rows first_ to next_, as quads
  std::uint32_t first_ = 0;
  std::uint32_t next_ = 0;
  std::uint32_t last_y_ = 0;  // the last rectangle's first row
  std::uint32_t mark_every_ = inflated_at_once;
  std::vector<std::optional<PngReader::Mark>> marks_;  // one before every mark_every_-th row
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
