#include "jobs/png_source.h"

#include <cassert>
#include <utility>

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

}  // namespace

std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> open_png_bands(
    std::unique_ptr<FileView>& view, std::unique_ptr<ViewByteWindows>& bytes, const PackOptions& options) {
  std::variant<std::monostate, PngReader, Failure> found = PngReader::open(*bytes, options.pixel_limit);
  if (Failure* failed = std::get_if<Failure>(&found)) return refusal(std::move(*failed));
  PngReader* reader = std::get_if<PngReader>(&found);
  if (reader == nullptr || reader->interlaced()) return std::nullopt;
  return std::unique_ptr<PackSource>(
      std::make_unique<PngSource>(std::move(view), std::move(bytes), std::move(*reader), options));
}
