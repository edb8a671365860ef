#include "jobs/pack_sources.h"

#include <cstddef>
#include <optional>
#include <utility>

#include "codecs/image_codecs.h"
#include "files/byte_windows.h"
#include "files/file_view.h"
#include "files/view_access.h"
#include "job/convert.h"
#include "jobs/bmp_sources.h"
#include "jobs/chain_source.h"
#include "jobs/decode_reduction.h"
#include "jobs/gif_source.h"
#include "jobs/png_source.h"
#include "jobs/row_source.h"
#include "read/bmp_reader.h"
#include "read/exif_orientation.h"
#include "read/image_loader.h"
#include "read/picture_types.h"

namespace {

// The picture goes through the transform chain, whose rows are a new picture's, top row first: tiles
// are cut from such rows.
bool transformed(const PackOptions& options) { return options.transforms.any() || options.tiles.has_value(); }

// The chain reads its picture a band of rows at a time, downward or upward, under these transforms:
// none turns it a quarter, which reads it by columns.
bool reads_in_bands(const Transforms& transforms) {
  const auto in_bands = [](Orientation o) { return o.rotation == Rotation::none || o.rotation == Rotation::half; };
  return in_bands(transforms.upright) && in_bands({transforms.rotation, transforms.flip});
}

// The picture at `path` loaded whole by the image loader, which opens it itself (on Win32 the
// system's loader): a BMP, or when the options allow the codecs, a picture of theirs.
PictureLoad load(const std::string& path, const PackOptions& options) {
  PictureLoad load = LoadedPicture::load(path.c_str(), options.pixel_limit);
  if (const Failure* failure = std::get_if<Failure>(&load);
      failure != nullptr && failure->fault == Fault::cannot_open && options.switches.codecs) {
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
                      alpha_ && !picture_.alpha().empty() ? picture_.alpha().data() : nullptr,
                      true};
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

// A picture loaded whole, as it is stored, or through the chain of `transforms` (with tiles, an
// empty chain) when it has any.
std::variant<std::unique_ptr<PackSource>, Outcome> whole_source(PictureLoad loaded, const PackOptions& options,
                                                                const Transforms& transforms) {
  if (const Failure* failure = std::get_if<Failure>(&loaded)) return refusal(*failure);
  LoadedPicture& picture = std::get<LoadedPicture>(loaded);
  if (!transforms.any() && !options.tiles)
    return std::unique_ptr<PackSource>(std::make_unique<LoadedSource>(std::move(picture), options));
  // A JPEG decoded reduced: the chain then works in its pixels.
  const Transforms reduced = reduced_transforms(transforms, picture.reduced());
  return make_chain_source(loaded_region(std::move(picture), options), options, reduced);
}

// A BMP, whose file `view` holds: read in bands through windows of it when streaming or transformed;
// else, or when its headers are none the bands read, loaded whole by the image loader, which opens it
// itself once the view is let go (the system's loader on Win32 is kept out by a view of ours).
std::variant<std::unique_ptr<PackSource>, Outcome> open_bmp(std::unique_ptr<FileView> view, const std::string& path,
                                                            const PackOptions& options) {
  if (options.switches.stream || transformed(options)) {
    std::variant<std::monostate, FoundBands, Outcome> found = find_bands(view);
    if (Outcome* refused = std::get_if<Outcome>(&found)) return std::move(*refused);
    if (FoundBands* bmp = std::get_if<FoundBands>(&found)) {
      if (!transformed(options)) return bmp_bands_source(std::move(*bmp), path, options);
      std::variant<std::unique_ptr<ChainPicture>, Outcome> region = bmp_bands_region(std::move(*bmp), options);
      if (Outcome* refused = std::get_if<Outcome>(&region)) return std::move(*refused);
      return make_chain_source(std::get<std::unique_ptr<ChainPicture>>(std::move(region)), options);
    }
  }
  view.reset();
  return whole_source(load(path, options), options, options.transforms);
}

// Any other picture, whose file `view` holds, as its kind's reader takes it: a GIF's frames; a PNG
// stored row after row, a TGA or a PNM, read in bands; anything else decoded whole, by a reader of
// ours or the platform's codecs. A JPEG, PNG or TIFF is laid upright as its EXIF orientation says, when the
// options ask, before the transforms.
std::variant<std::unique_ptr<PackSource>, Outcome> open_other(std::unique_ptr<FileView> view,
                                                              const PictureTypeRow* type, const PackOptions& options) {
  const auto is = [&](PictureType kind) { return type != nullptr && type->type == kind; };
  if (is(PictureType::gif)) {
    if (std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> gif = open_gif_source(view, options))
      return std::move(*gif);
  }
  auto bytes = std::make_unique<ViewByteWindows>(*view);
  Transforms transforms = options.transforms;
  if (type != nullptr && type->exif && options.upright)
    transforms.upright = upright_from_exif(picture_orientation(*bytes));
  if (is(PictureType::png) && options.switches.stream && !transforms.any() && !options.tiles) {
    if (std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> png = open_png_bands(view, bytes, options))
      return std::move(*png);
  }
  if (is(PictureType::png) && options.switches.stream && reads_in_bands(transforms)) {
    std::optional<std::variant<std::unique_ptr<ChainPicture>, Outcome>> png = open_png_region(view, bytes, options);
    if (png && std::holds_alternative<Outcome>(*png)) return std::get<Outcome>(std::move(*png));
    if (png) return make_chain_source(std::get<std::unique_ptr<ChainPicture>>(std::move(*png)), options, transforms);
  }
  if ((is(PictureType::tga) || is(PictureType::pnm)) && options.switches.stream) {
    bytes.reset();
    if (std::optional<std::variant<std::unique_ptr<PackSource>, Outcome>> rows =
            open_row_source(view, type->type, options, transforms))
      return std::move(*rows);
  }
  FileView& file = *view;
  // A JPEG that the resize shrinks far is decoded reduced.
  PictureLoad loaded = transforms.any() || options.tiles
                           ? load_for_transforms(
                                 [&](const DecodeReduction& reduce) {
                                   return LoadedPicture::load_with_codecs(file, options.pixel_limit, reduce);
                                 },
                                 transforms)
                           : LoadedPicture::load_with_codecs(file, options.pixel_limit);
  bytes.reset();
  if (LoadedPicture* picture = std::get_if<LoadedPicture>(&loaded)) picture->keep_file(std::move(*view));
  return whole_source(std::move(loaded), options, transforms);
}

// The picture on `input`: read as it comes, or the path of the copy that the stream was staged
// into (`staged`), or the refusal of a stream that is not a picture or is longer than one can be.
std::variant<std::unique_ptr<PackSource>, Outcome> open_stream(InputStream& input, const PackOptions& options,
                                                               std::string& staged) {
  const std::string name(input.name());
  std::variant<std::span<const std::uint8_t>, Failure> peeked =
      input.peek(static_cast<std::size_t>(picture_start_bytes));
  if (Failure* failed = std::get_if<Failure>(&peeked)) return refusal(std::move(*failed));
  const std::span<const std::uint8_t> start = std::get<0>(peeked);
  const PictureTypeRow* type = picture_type_of(start);
  const bool bmp = type != nullptr && type->type == PictureType::bmp;
  // Known by its first bytes, so that a stream of anything else (an endless one among them) is
  // refused before it is read any further.
  if (!bmp && !options.switches.codecs)
    return refusal(Ending::cannot_open_input, "not a BMP file: " + name + " does not start as one");
  if (type == nullptr) {
    std::string reason = not_a_picture_reason(start);
    if (reason.rfind("not ", 0) == 0) reason += ": " + name + " does not start as one";
    return refusal(Ending::cannot_open_input, std::move(reason));
  }
  std::uint64_t limit = stream_stage_limit(options.pixel_limit);
  bool whole = false;  // the limit is the picture's own length, and bytes past it are not its own
  if (bmp) {
    // Of any length: the rows are read as they come, and a stream that ends early is cut short.
    const std::optional<BmpPixelsAt> at = find_bmp_pixels(start, UINT64_MAX);
    if (!at) {
      std::optional<Failure> failed = failure_of(read_bmp(start), options.pixel_limit);
      return refusal(failed ? std::move(*failed) : Failure{Fault::cannot_open, "not a BMP file", std::nullopt});
    }
    const bool reverse = reverses_rows(options.rows, at->bmp.top_down);
    if (options.switches.stream && !transformed(options) && !reverse && format_walks_once(options) &&
        BmpStreamBands::streams(*at, keeps_alpha(options)))
      return bmp_stream_source(input, *at, options);
    if (std::optional<Failure> over = over_limit(at->bmp.width, at->bmp.height, options.pixel_limit))
      return refusal(Ending::unsupported_picture,
                     over->reason + "; from " + name + " a BMP is copied whole when it is not read as it comes");
    const bool run_length = at->bmp.compression == bmp_rle8 || at->bmp.compression == bmp_rle4;
    if (!run_length) {
      limit = at->pixel_offset + at->pixel_bytes;
      whole = true;
    }
  }
  std::variant<StagedInput, Failure> copied = input.stage(limit);
  if (Failure* failed = std::get_if<Failure>(&copied)) return refusal(std::move(*failed));
  StagedInput& copy = std::get<StagedInput>(copied);
  if (copy.longer && !whole)
    return refusal(Ending::unsupported_picture,
                   name + " holds more than the " + std::to_string(limit) + " bytes that a picture of --max-pixels " +
                       std::to_string(options.pixel_limit) + " may take (9 bytes a pixel and 1 MiB)");
  staged = std::move(copy.path);
  return nullptr;
}

}  // namespace

std::uint64_t stream_stage_limit(std::uint64_t pixel_limit) {
  constexpr std::uint64_t slack = std::uint64_t{1} << 20;
  if (pixel_limit > (UINT64_MAX - slack) / 9) return UINT64_MAX;
  return pixel_limit * 9 + slack;
}

std::variant<std::unique_ptr<PackSource>, Outcome> open_pack_source(const std::string& given,
                                                                    const PackOptions& options, InputStream* input) {
  std::string staged;
  if (input != nullptr) {
    std::variant<std::unique_ptr<PackSource>, Outcome> opened = open_stream(*input, options, staged);
    if (std::holds_alternative<Outcome>(opened) || std::get<std::unique_ptr<PackSource>>(opened) != nullptr)
      return opened;
  }
  const std::string& path = input != nullptr ? staged : given;
  // A BMP loaded whole and as it is, the dialogs' case, is the loader's alone to open.
  if (!options.switches.codecs && !options.switches.stream && !transformed(options))
    return whole_source(load(path, options), options, options.transforms);
  // Opened once: its first bytes say which reader takes it, and that reader reads through this view.
  std::variant<FileView, Outcome> opened = open_input(path, Ending::cannot_open_input, picture_start_bytes);
  if (Outcome* refused = std::get_if<Outcome>(&opened)) return std::move(*refused);
  auto view = std::make_unique<FileView>(std::get<FileView>(std::move(opened)));
  const PictureTypeRow* type = nullptr;
  // Another program may cut the file short under the reading.
  if (access_views([&] { type = picture_type_of(view->bytes()); }) != nullptr)
    return refusal(Failure{Fault::cannot_open, cut_short_reason});
  if (type != nullptr && type->type == PictureType::bmp) return open_bmp(std::move(view), path, options);
  if (!options.switches.codecs) {
    // Only BMPs are read without the codecs: the loader says what this file is not.
    view.reset();
    return whole_source(load(path, options), options, options.transforms);
  }
  return open_other(std::move(view), type, options);
}
