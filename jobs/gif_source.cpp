#include "jobs/gif_source.h"

#include <cassert>
#include <utility>

#include "files/byte_windows.h"
#include "jobs/chain_source.h"
#include "read/gif_reader.h"

namespace {

// The canvas's rows, where they lie.
class CanvasSource : public PackSource {
 public:
  CanvasSource(std::span<const std::uint8_t> quads, std::uint32_t width, std::uint32_t height,
               const PackOptions& options)
      : quads_(quads), width_(width), height_(height), background_(options.background) {}

  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }
  bool top_down() const override { return true; }
  std::variant<StoredRows, Outcome> ready(std::uint32_t, bool reverse) override {
    return StoredRows{width_, height_, width_ * 4, reverse, true, background_};
  }
  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    return quads_.subspan(std::size_t{first} * width_ * 4, std::size_t{count} * width_ * 4);
  }

 private:
  std::span<const std::uint8_t> quads_;
  std::uint32_t width_;
  std::uint32_t height_;
  BgrTriple background_;
};

// A GIF's frames, composed one at a time by the project's reader onto its canvas, which it holds
// with the canvas before a frame of disposal 3 and nothing more, whatever the number of frames. Each
// frame is packed from the canvas, or through the transform chain over it; a walk that starts again
// from the first band reads the same canvas again.
class GifSource : public PackSource {
 public:
  static std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> open(std::unique_ptr<FileView>& view,
                                                                                const PackOptions& options) {
    auto bytes = std::make_unique<ViewByteWindows>(*view);
    std::variant<std::monostate, GifReader, Failure> found = GifReader::open(*bytes, options.pixel_limit);
    if (Failure* failed = std::get_if<Failure>(&found)) return refusal(std::move(*failed));
    GifReader* reader = std::get_if<GifReader>(&found);
    if (reader == nullptr) return std::nullopt;
    std::unique_ptr<GifSource> source(new GifSource(std::move(view), std::move(bytes), std::move(*reader), options));
    if (std::optional<Outcome> refused = source->show_frame(0)) return std::move(*refused);
    return std::unique_ptr<PackSource>(std::move(source));
  }

  std::uint32_t width() const override { return shown_->width(); }
  std::uint32_t height() const override { return shown_->height(); }
  bool top_down() const override { return true; }
  std::variant<StoredRows, Outcome> ready(std::uint32_t band_rows, bool reverse) override {
    return shown_->ready(band_rows, reverse);
  }
  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    return shown_->band(first, count);
  }

  std::uint32_t frames() const override { return reader_.frames(); }
  std::uint32_t delay_ms(std::uint32_t index) const override { return reader_.delays_ms()[index]; }

  std::optional<Outcome> show_frame(std::uint32_t index) override {
    assert(index < reader_.frames() && index + 1 >= reader_.composed());
    while (reader_.composed() <= index) {
      if (std::optional<Failure> failed = reader_.next_frame()) return refusal(std::move(*failed));
    }
    // The chain is made again for each frame: a quarter turn holds the picture it turned.
    shown_.reset();
    if (!options_.transforms.any()) {
      shown_ = std::make_unique<CanvasSource>(reader_.canvas(), reader_.width(), reader_.height(), options_);
      return std::nullopt;
    }
    std::variant<std::unique_ptr<PackSource>, Outcome> chain =
        make_chain_source(canvas_region(reader_.canvas(), reader_.width(), reader_.height()), options_);
    if (Outcome* refused = std::get_if<Outcome>(&chain)) return std::move(*refused);
    shown_ = std::get<std::unique_ptr<PackSource>>(std::move(chain));
    return std::nullopt;
  }

 private:
  GifSource(std::unique_ptr<FileView> view, std::unique_ptr<ViewByteWindows> bytes, GifReader reader,
            const PackOptions& options)
      : view_(std::move(view)), bytes_(std::move(bytes)), reader_(std::move(reader)), options_(options) {}

  // In the order the reader needs them: it reads through the bytes, which map windows of the view.
  std::unique_ptr<FileView> view_;
  std::unique_ptr<ViewByteWindows> bytes_;
  GifReader reader_;
  const PackOptions& options_;
  std::unique_ptr<PackSource> shown_;
};

}  // namespace

std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> open_gif_source(std::unique_ptr<FileView>& view,
                                                                                  const PackOptions& options) {
  return GifSource::open(view, options);
}
