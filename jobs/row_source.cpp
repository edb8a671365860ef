#include "jobs/row_source.h"

#include <cassert>
#include <utility>
#include <vector>

#include "files/view_access.h"
#include "jobs/chain_source.h"
#include "read/pnm_reader.h"
#include "read/tga_reader.h"

namespace {

// The reader's rows, read where they lie in the map; another program may cut the file short meanwhile.
template <typename Reader>
std::optional<Failure> read_rows(const Reader& reader, std::uint32_t top, std::uint32_t count, std::uint8_t* quads) {
  if (access_views([&] { reader.read_rows(top, count, quads); }) != nullptr)
    return Failure{Fault::cannot_open, cut_short_reason};
  return std::nullopt;
}

template <typename Reader>
class RowSource : public PackSource {
 public:
  RowSource(std::unique_ptr<FileView> view, Reader reader, const PackOptions& options)
      : view_(std::move(view)), reader_(std::move(reader)), options_(options) {}

  std::uint32_t width() const override { return reader_.width(); }
  std::uint32_t height() const override { return reader_.height(); }
  bool top_down() const override { return true; }

  std::variant<StoredRows, Outcome> ready(std::uint32_t, bool reverse) override {
    // The walk reverses only a bottom-up picture's rows; the reader gives the top row first.
    assert(!reverse);
    StoredRows rows{reader_.width(), reader_.height(), reader_.width() * 4, reverse, true, options_.background};
    rows.any_rows = true;
    return rows;
  }

  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    const std::size_t size = std::size_t{count} * reader_.width() * 4;
    if (std::optional<Failure> failed =
            within_memory("the band of rows does not fit in memory", [&] { rows_.resize(size); }))
      return refusal(std::move(*failed));
    if (std::optional<Failure> failed = read_rows(reader_, first, count, rows_.data()))
      return refusal(std::move(*failed));
    return std::span<const std::uint8_t>(rows_.data(), size);
  }

 private:
  std::unique_ptr<FileView> view_;  // what the reader reads
  Reader reader_;
  const PackOptions& options_;
  std::vector<std::uint8_t> rows_;
};

// The picture as the transform chain's: each rectangle read as the parts of its rows. Where each
// row lies at its place in the file, a part costs only its pixels, so that the chain reads columns
// (for a quarter turn) from the file rather than holding the picture.
template <typename Reader>
class RowRegion : public ChainPicture {
 public:
  RowRegion(std::unique_ptr<FileView> view, Reader reader) : view_(std::move(view)), reader_(std::move(reader)) {}

  std::uint32_t width() const override { return reader_.width(); }
  std::uint32_t height() const override { return reader_.height(); }
  bool held() const override { return reader_.rows_in_place(); }

  void read(const Rect& rect, BgraQuad* out) override {
    if (failure_) return;
    if (access_views([&] {
          for (std::uint32_t y = rect.y; y < rect.y + rect.height; ++y, out += rect.width)
            reader_.read_part(y, rect.x, rect.width, reinterpret_cast<std::uint8_t*>(out));
        }) != nullptr)
      failure_ = Failure{Fault::cannot_open, cut_short_reason};
  }

 private:
  std::unique_ptr<FileView> view_;
  Reader reader_;
};

template <typename Reader>
std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> open_with(std::unique_ptr<FileView>& view,
                                                                            const PackOptions& options,
                                                                            const Transforms& transforms) {
  std::variant<std::monostate, Reader, Failure> found;
  std::optional<Failure> failed;
  if (access_views([&] {
        found = Reader::open(view->bytes(), options.pixel_limit);
        if (Reader* reader = std::get_if<Reader>(&found)) failed = reader->check();
      }) != nullptr)
    return refusal(Failure{Fault::cannot_open, cut_short_reason});
  if (Failure* refused = std::get_if<Failure>(&found)) return refusal(std::move(*refused));
  if (failed) return refusal(std::move(*failed));
  Reader* reader = std::get_if<Reader>(&found);
  if (reader == nullptr) return std::nullopt;
  if (!transforms.any() && !options.tiles)
    return std::unique_ptr<PackSource>(
        std::make_unique<RowSource<Reader>>(std::move(view), std::move(*reader), options));
  return make_chain_source(std::make_unique<RowRegion<Reader>>(std::move(view), std::move(*reader)), options,
                           transforms);
}

}  // namespace

std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> open_row_source(std::unique_ptr<FileView>& view,
                                                                                  PictureType type,
                                                                                  const PackOptions& options,
                                                                                  const Transforms& transforms) {
  // Mapped whole: the rows are read where they lie.
  if (view->bytes().size() != view->file_size()) {
    if (std::optional<SystemError> error = view->map_window(0, view->file_size()))
      return refusal(Failure{Fault::cannot_open, describe(*error)});
  }
  if (type == PictureType::tga) return open_with<TgaReader>(view, options, transforms);
  if (type == PictureType::pnm) return open_with<PnmReader>(view, options, transforms);
  return std::nullopt;
}
