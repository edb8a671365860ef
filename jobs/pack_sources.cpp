#include "jobs/pack_sources.h"

#include <cassert>
#include <new>
#include <optional>
#include <utility>

#include "files/file_view.h"
#include "files/view_access.h"
#include "job/convert.h"
#include "jobs/png_source.h"
#include "read/bmp_bands.h"
#include "read/image_loader.h"
#include "transform/chain.h"
#include "transform/picture_source.h"

namespace {

// Streaming reads the headers from the file's first bytes; the bands map their own windows.
constexpr std::uint64_t header_bytes = std::uint64_t{64} << 10;

// A BMP's alpha is kept only for a format that has alpha; the others ignore it, as the dialogs do.
bool keeps_alpha(const PackOptions& options) { return format_info(options.pixel_format).alpha_bits != 0; }

// The picture at `path` loaded whole: a BMP, or when the options allow the codecs a picture of theirs.
PictureLoad load(const std::string& path, const PackOptions& options) {
  PictureLoad load = LoadedPicture::load(path.c_str(), options.pixel_limit);
  if (const Failure* failure = std::get_if<Failure>(&load);
      failure != nullptr && failure->fault == Fault::cannot_open && options.codecs) {
    if (std::optional<PictureLoad> decoded = LoadedPicture::load_with_codecs(path.c_str(), options.pixel_limit))
      load = std::move(*decoded);
  }
  return load;
}

// A loaded picture's stored rows, where they lie.
class LoadedSource : public PackSource {
 public:
  LoadedSource(LoadedPicture picture, const PackOptions& options)
      : picture_(std::move(picture)), background_(options.background), alpha_(keeps_alpha(options)) {}

  std::uint32_t width() const override { return picture_.width(); }
  std::uint32_t height() const override { return picture_.height(); }
  bool top_down() const override { return picture_.top_down(); }

  std::variant<StoredRows, Outcome> ready(std::uint32_t, bool reverse) override {
    return StoredRows{picture_.width(),
                      picture_.height(),
                      picture_.row_length(),
                      reverse,
                      picture_.quads(),
                      background_,
                      alpha_ && !picture_.alpha().empty() ? picture_.alpha().data() : nullptr};
  }

  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    const std::size_t stride = picture_.row_length();
    return picture_.rows().subspan(std::size_t{first} * stride, std::size_t{count} * stride);
  }

 private:
  LoadedPicture picture_;
  BgrTriple background_;
  bool alpha_;
};

// A BMP read a band at a time through windows of its file, which stays open meanwhile.
class BandsSource : public PackSource {
 public:
  BandsSource(std::unique_ptr<FileView> view, BmpBands bands, const PackOptions& options)
      : view_(std::move(view)), bands_(std::move(bands)), options_(options) {}

  std::uint32_t width() const override { return bands_.width(); }
  std::uint32_t height() const override { return bands_.height(); }
  bool top_down() const override { return bands_.top_down(); }

  std::variant<StoredRows, Outcome> ready(std::uint32_t band_rows, bool reverse) override {
    // Its pixels are checked first, as the loader checks them, so that a refused file is refused
    // before any output is begun.
    if (std::optional<Failure> failed = bands_.survey(options_.pixel_limit, band_rows, reverse, keeps_alpha(options_)))
      return refusal(std::move(*failed));
    return StoredRows{bands_.width(), bands_.height(), bands_.stride(), reverse, bands_.quads(), options_.background};
  }

  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    std::variant<std::span<const std::uint8_t>, Failure> got = bands_.rows(first, count);
    if (Failure* failed = std::get_if<Failure>(&got)) return refusal(std::move(*failed));
    return std::get<0>(got);
  }

 private:
  std::unique_ptr<FileView> view_;  // the bands map their windows through it
  BmpBands bands_;
  const PackOptions& options_;
};

// A loaded picture cropped, turned or resized by the transform chain: a new picture stored top row
// first, as quads with their transparency. A walk that starts again from the first band (a format
// that counts colours first, or writes two planes) makes the chain again.
class ChainSource : public PackSource {
 public:
  static std::variant<std::unique_ptr<PackSource>, Outcome> make(LoadedPicture picture, const PackOptions& options) {
    std::unique_ptr<ChainSource> source(new ChainSource(std::move(picture), options));
    try {
      if (std::optional<Outcome> refused = source->make_chain(0)) return std::move(*refused);
    } catch (const std::bad_alloc&) {
      return refusal(Ending::out_of_memory);
    }
    return std::unique_ptr<PackSource>(std::move(source));
  }

  std::uint32_t width() const override { return chain_->width(); }
  std::uint32_t height() const override { return chain_->height(); }
  bool top_down() const override { return true; }

  std::variant<StoredRows, Outcome> ready(std::uint32_t band_rows, bool) override {
    try {
      band_rows_ = band_rows;
      if (std::optional<Outcome> refused = make_chain(band_rows)) return std::move(*refused);
      quads_.resize(std::size_t{chain_->width()} * chain_->band_rows());
    } catch (const std::bad_alloc&) {
      return refusal(Ending::out_of_memory);
    }
    return StoredRows{chain_->width(), chain_->height(), chain_->width() * 4, false, true, options_.background};
  }

  std::variant<std::span<const std::uint8_t>, Outcome> band(std::uint32_t first, std::uint32_t count) override {
    if (first == 0 && next_ != 0) {
      try {
        if (std::optional<Outcome> refused = make_chain(band_rows_)) return std::move(*refused);
      } catch (const std::bad_alloc&) {
        return refusal(Ending::out_of_memory);
      }
    }
    assert(first == next_);
    if (access_views([&] { chain_->next_quads(count, quads_.data()); }) != nullptr)
      return refusal(Ending::cannot_open_input, cut_short_reason);
    next_ = first + count;
    return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(quads_.data()),
                                         std::size_t{chain_->width()} * count * 4);
  }

 private:
  ChainSource(LoadedPicture picture, const PackOptions& options)
      : picture_(std::move(picture)),
        options_(options),
        stored_(picture_.rows(), picture_.row_length(), picture_.width(), picture_.height(), picture_.top_down(),
                picture_.quads(),
                keeps_alpha(options) && !picture_.alpha().empty() ? picture_.alpha().data() : nullptr) {}

  // Throws std::bad_alloc when the chain's rows and tables find no memory.
  std::optional<Outcome> make_chain(std::uint32_t band_rows) {
    chain_.reset();
    ChainMade made = TransformChain::make(stored_, options_.transforms, options_.background, band_rows);
    if (Failure* failed = std::get_if<Failure>(&made)) return refusal(std::move(*failed));
    chain_ = std::move(std::get<std::unique_ptr<TransformChain>>(made));
    next_ = 0;
    return std::nullopt;
  }

  LoadedPicture picture_;
  const PackOptions& options_;
  StoredPicture stored_;
  std::unique_ptr<TransformChain> chain_;
  std::uint32_t band_rows_ = 0;
  std::uint32_t next_ = 0;
  std::vector<BgraQuad> quads_;
};

// A BMP to be read band by band, when streaming; nothing when the file is not a BMP (the loader,
// and the codecs, then say what it is).
std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> open_bands(const std::string& path,
                                                                             const PackOptions& options) {
  std::variant<FileView, Outcome> opened = open_input(path, Ending::cannot_open_input, header_bytes);
  if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  auto view = std::make_unique<FileView>(std::get<FileView>(std::move(opened)));
  std::variant<std::monostate, BmpBands, Failure> found = BmpBands::find(*view);
  if (Failure* failed = std::get_if<Failure>(&found)) return refusal(std::move(*failed));
  if (std::holds_alternative<std::monostate>(found)) return std::nullopt;
  return std::unique_ptr<PackSource>(
      std::make_unique<BandsSource>(std::move(view), std::get<BmpBands>(std::move(found)), options));
}

}  // namespace

std::variant<std::unique_ptr<PackSource>, Outcome> open_pack_source(const std::string& path,
                                                                    const PackOptions& options) {
  if (options.stream && !options.transforms.any()) {
    if (std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> bands = open_bands(path, options))
      return std::move(*bands);
    if (options.codecs) {
      if (std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> png = open_png_bands(path, options))
        return std::move(*png);
    }
  }
  PictureLoad loaded = load(path, options);
  if (const Failure* failure = std::get_if<Failure>(&loaded)) return refusal(*failure);
  LoadedPicture& picture = std::get<LoadedPicture>(loaded);
  if (options.transforms.any()) return ChainSource::make(std::move(picture), options);
  return std::unique_ptr<PackSource>(std::make_unique<LoadedSource>(std::move(picture), options));
}
