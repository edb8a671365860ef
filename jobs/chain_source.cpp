#include "jobs/chain_source.h"

#include <cassert>
#include <new>
#include <utility>
#include <vector>

#include "files/view_access.h"
#include "transform/buffers.h"
#include "transform/chain.h"

namespace {

// Runs `work`, which makes the chain or its buffers, and gives its refusal; or, when a buffer finds
// no memory, the refusal that names the bytes it asked for.
template <typename Work>
std::optional<Outcome> with_buffers(Work&& work) {
  try {
    return work();
  } catch (const BufferTooLarge& too_large) {
    return refusal(Ending::out_of_memory, buffer_reason(too_large.bytes()));
  } catch (const std::bad_alloc&) {
    return refusal(Ending::out_of_memory);
  }
}

// A picture loaded whole (the codecs'), whose rows may lie in a view of its file.
class LoadedRegion : public ChainPicture {
 public:
  LoadedRegion(LoadedPicture picture, const PackOptions& options)
      : picture_(std::move(picture)),
        stored_(picture_.rows(), picture_.row_length(), picture_.width(), picture_.height(), picture_.top_down(),
                picture_.quads(),
                keeps_alpha(options) && !picture_.alpha().empty() ? picture_.alpha().data() : nullptr) {}

  std::uint32_t width() const override { return stored_.width(); }
  std::uint32_t height() const override { return stored_.height(); }
  bool held() const override { return true; }
  void read(const Rect& rect, BgraQuad* out) override {
    if (!failure_ && access_views([&] { stored_.read(rect, out); }) != nullptr)
      failure_ = Failure{Fault::cannot_open, cut_short_reason};
  }

 private:
  LoadedPicture picture_;
  StoredPicture stored_;
};

// A picture cropped, turned or resized by the transform chain: a new picture stored top row first,
// as quads with their transparency. A walk that starts again from the first band (a format that
// counts colours first, or writes two planes) makes the chain again.
class ChainSource : public PackSource {
 public:
  static std::variant<std::unique_ptr<PackSource>, Outcome> make(std::unique_ptr<ChainPicture> picture,
                                                                 const PackOptions& options,
                                                                 std::optional<Transforms> transforms = std::nullopt) {
    std::unique_ptr<ChainSource> source(
        new ChainSource(std::move(picture), options, transforms ? *transforms : options.transforms));
    if (std::optional<Outcome> refused = with_buffers([&] { return source->make_chain(0); }))
      return std::move(*refused);
    return std::unique_ptr<PackSource>(std::move(source));
  }

  std::uint32_t width() const override { return chain_->width(); }
  std::uint32_t height() const override { return chain_->height(); }
  bool top_down() const override { return true; }

  std::variant<StoredRows, Outcome> ready(std::uint32_t band_rows, bool) override {
    band_rows_ = band_rows;
    if (std::optional<Outcome> refused = with_buffers([&]() -> std::optional<Outcome> {
          // The chain made to size the picture serves, unread, when its bands are large enough: a
          // turn then reads and holds its picture once.
          if (next_ != 0 || band_rows > chain_->band_rows()) {
            if (std::optional<Outcome> remade = make_chain(band_rows)) return remade;
          }
          allocate(quads_, product(chain_->width(), chain_->band_rows()));
          return std::nullopt;
        }))
      return std::move(*refused);
    return StoredRows{chain_->width(), chain_->height(), chain_->width() * 4, false, true, options_.background};
  }

  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    if (first == 0 && next_ != 0) {
      if (std::optional<Outcome> refused = with_buffers([&] { return make_chain(band_rows_); }))
        return std::move(*refused);
    }
    assert(first == next_);
    chain_->next_quads(count, quads_.data());
    if (const std::optional<Failure>& failed = picture_->failure()) return refusal(*failed);
    next_ = first + count;
    return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(quads_.data()),
                                         std::size_t{chain_->width()} * count * 4);
  }

 private:
  ChainSource(std::unique_ptr<ChainPicture> picture, const PackOptions& options, const Transforms& transforms)
      : picture_(std::move(picture)), options_(options), transforms_(transforms) {}

  // Throws BufferTooLarge when the chain's rows and tables find no memory.
  std::optional<Outcome> make_chain(std::uint32_t band_rows) {
    chain_.reset();
    ChainMade made = TransformChain::make(*picture_, transforms_, options_.background, band_rows, options_.pixel_limit);
    if (Failure* failed = std::get_if<Failure>(&made)) return refusal(std::move(*failed));
    chain_ = std::move(std::get<std::unique_ptr<TransformChain>>(made));
    next_ = 0;
    return std::nullopt;
  }

  std::unique_ptr<ChainPicture> picture_;
  const PackOptions& options_;
  Transforms transforms_;
  std::unique_ptr<TransformChain> chain_;
  std::uint32_t band_rows_ = 0;
  std::uint32_t next_ = 0;
  std::vector<BgraQuad> quads_;
};

// The canvas an animation's frames are composed on, under the transform chain.
class CanvasRegion : public ChainPicture {
 public:
  CanvasRegion(std::span<const std::uint8_t> quads, std::uint32_t width, std::uint32_t height)
      : stored_(quads, width * 4, width, height, true, true) {}

  std::uint32_t width() const override { return stored_.width(); }
  std::uint32_t height() const override { return stored_.height(); }
  bool held() const override { return true; }
  void read(const Rect& rect, BgraQuad* out) override { stored_.read(rect, out); }

 private:
  StoredPicture stored_;
};

}  // namespace

std::string buffer_reason(std::uint64_t bytes) {
  if (bytes == UINT64_MAX) return "the transforms need a buffer larger than any memory";
  return "the transforms need a buffer of " + std::to_string(bytes) + " bytes";
}

std::unique_ptr<ChainPicture> loaded_region(LoadedPicture picture, const PackOptions& options) {
  return std::make_unique<LoadedRegion>(std::move(picture), options);
}

std::unique_ptr<ChainPicture> canvas_region(std::span<const std::uint8_t> quads, std::uint32_t width,
                                            std::uint32_t height) {
  return std::make_unique<CanvasRegion>(quads, width, height);
}

std::variant<std::unique_ptr<PackSource>, Outcome> make_chain_source(std::unique_ptr<ChainPicture> picture,
                                                                     const PackOptions& options,
                                                                     std::optional<Transforms> transforms) {
  return ChainSource::make(std::move(picture), options, std::move(transforms));
}
