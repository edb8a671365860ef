#include "read/image_loader.h"

#include <algorithm>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "codecs/image_codecs.h"

#include "files/view_access.h"
#include "read/bmp_pixels.h"
#include "read/picture_types.h"
#include "read/png_reader.h"
#include "read/pnm_reader.h"
#include "read/tga_reader.h"
#include "read/tiff_reader.h"

namespace {

std::string compression_name(std::uint32_t compression) {
  switch (compression) {
    case 1:
      return "RLE8";
    case 2:
      return "RLE4";
    case 3:
      return "bit fields";
    case 4:
      return "JPEG";
    case 5:
      return "PNG";
    case 6:
      return "alpha bit fields";
    default:
      return "compression " + std::to_string(compression);
  }
}

}  // namespace

std::optional<Failure> failure_of(const BmpPicture& bmp, std::uint64_t pixel_limit) {
  switch (bmp.verdict) {
    case BmpVerdict::not_a_picture:
      return Failure{Fault::cannot_open, bmp.problem != nullptr ? bmp.problem : "not a BMP file"};
    case BmpVerdict::unsupported:
      if (bmp.compression == 0 && !bmp_format_converts(bmp.bits_per_pixel, 0))
        return Failure{Fault::unsupported, std::to_string(bmp.bits_per_pixel) +
                                               " bits per pixel; BMPs of 1, 4, 8, 16, 24 or 32 bits convert"};
      if (!bmp_format_converts(bmp.bits_per_pixel, bmp.compression))
        return Failure{Fault::unsupported,
                       std::to_string(bmp.bits_per_pixel) + " bits per pixel stored as " +
                           compression_name(bmp.compression) +
                           "; BMPs convert uncompressed, as RLE8 at 8 bits, RLE4 at 4 bits, or with bit fields "
                           "at 16 or 32 bits"};
      if (bmp.width == 0 || bmp.height == 0) return Failure{Fault::unsupported, "the picture has no pixels"};
      return Failure{Fault::unsupported, std::to_string(bmp.width) + " x " + std::to_string(bmp.height) +
                                             " pixels: the raw image would not fit 4 GiB"};
    case BmpVerdict::picture:
      break;
  }
  const bool run_length = bmp.compression == 1 || bmp.compression == 2;
  if (std::optional<Failure> over = over_limit(bmp.width, bmp.height, pixel_limit); over && run_length)
    return Failure{Fault::unsupported, over->reason};
  return std::nullopt;
}

std::optional<Failure> LoadedPicture::decode(const BmpPicture& bmp) {
  const std::uint64_t size = decoded_size(bmp.width, bmp.height);
  if (size > SIZE_MAX) return Failure{Fault::out_of_memory, "the decoded picture does not fit in memory"};
  decoded_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]);
  if (decoded_ == nullptr) return Failure{Fault::out_of_memory, "the decoded picture does not fit in memory"};
  decode_pixels(bmp, {decoded_.get(), static_cast<std::size_t>(size)});
  adopt(std::move(decoded_), bmp.width, bmp.height, bmp.top_down);
  return std::nullopt;
}

std::optional<Failure> LoadedPicture::keep_alpha(const BmpPicture& bmp) {
  if (bmp.alpha_mask == 0) return std::nullopt;
  const std::size_t size = std::size_t{bmp.width} * bmp.height;
  alpha_.reset(new (std::nothrow) std::uint8_t[size]);
  if (alpha_ == nullptr) return Failure{Fault::out_of_memory, "the picture's alpha does not fit in memory"};
  if (!decode_alpha(bmp, {alpha_.get(), size})) alpha_.reset();
  return std::nullopt;
}

void LoadedPicture::adopt(std::unique_ptr<std::uint8_t[]> pixels, std::uint32_t width, std::uint32_t height,
                          bool top_down, bool quads) {
  const std::uint32_t pixel_bytes = quads ? 4 : 3;
  decoded_ = std::move(pixels);
  width_ = width;
  height_ = height;
  top_down_ = top_down;
  quads_ = quads;
  row_length_ = width * pixel_bytes;
  rows_ = {decoded_.get(), std::size_t{width} * height * pixel_bytes};
}

template <typename Reader>
std::optional<PictureLoad> LoadedPicture::load_whole(std::variant<std::monostate, Reader, Failure> found) {
  if (Failure* failed = std::get_if<Failure>(&found)) return std::move(*failed);
  Reader* reader = std::get_if<Reader>(&found);
  if (reader == nullptr) return std::nullopt;
  if (std::uint64_t{reader->width()} * reader->height() * 4 > SIZE_MAX)
    return Failure{Fault::out_of_memory, "the decoded picture does not fit in memory"};
  const std::size_t size = std::size_t{reader->width()} * reader->height() * 4;
  std::unique_ptr<std::uint8_t[]> quads(new (std::nothrow) std::uint8_t[size]);
  if (quads == nullptr) return Failure{Fault::out_of_memory, "the decoded picture does not fit in memory"};
  std::optional<Failure> failed;
  // The file's own bytes may be read where they lie, and another program may cut it short meanwhile.
  if (access_views([&] { failed = reader->read_whole({quads.get(), size}); }) != nullptr)
    return Failure{Fault::cannot_open, cut_short_reason};
  if (failed) return std::move(*failed);
  adopt(std::move(quads), reader->width(), reader->height(), true, true);
  return std::move(*this);
}

std::optional<PictureLoad> LoadedPicture::load_png(std::span<const std::uint8_t> file, std::uint64_t pixel_limit) {
  SpanByteWindows bytes(file);
  return load_whole(PngReader::open(bytes, pixel_limit));
}

std::optional<PictureLoad> LoadedPicture::load_with_codecs(const char* path, std::uint64_t pixel_limit,
                                                           const DecodeReduction& reduce) {
  std::variant<FileView, SystemError> opened = FileView::open(path, ViewKind::read_only);
  FileView* view = std::get_if<FileView>(&opened);
  if (view == nullptr) return std::nullopt;
  const PictureTypeRow* type = nullptr;
  if (access_views([&] { type = picture_type_of(view->bytes()); }) != nullptr)
    return Failure{Fault::cannot_open, cut_short_reason};
  if (type != nullptr && type->type == PictureType::bmp) return std::nullopt;
  PictureLoad load = load_with_codecs(*view, pixel_limit, reduce);
  // The picture holds its file, as a BMP's does, until it is released: the output may replace it.
  if (LoadedPicture* picture = std::get_if<LoadedPicture>(&load)) picture->keep_file(std::move(*view));
  return load;
}

PictureLoad LoadedPicture::load_with_codecs(FileView& view, std::uint64_t pixel_limit, const DecodeReduction& reduce) {
  // Read whole: the view may have mapped only the file's start, or a window of it.
  if (view.bytes().size() != view.file_size()) {
    if (std::optional<SystemError> error = view.map_window(0, view.file_size()))
      return Failure{Fault::cannot_open, describe(*error)};
  }
  const std::span<const std::uint8_t> file = view.bytes();
  LoadedPicture picture;
  if (std::optional<PictureLoad> png = picture.load_png(file, pixel_limit)) return std::move(*png);
  if (std::optional<PictureLoad> pnm = picture.load_whole(PnmReader::open(file, pixel_limit))) return std::move(*pnm);
  // A TIFF with alpha is read here, alike on both builds; any other TIFF goes to the codecs.
  if (std::optional<PictureLoad> tiff = picture.load_whole(TiffReader::open(file, pixel_limit)))
    return std::move(*tiff);
  std::variant<CodecPicture, Failure> decoded = decode_with_codecs(file, pixel_limit, reduce);
  if (const Failure* failure = std::get_if<Failure>(&decoded)) {
    if (failure->fault != Fault::not_recognised) return *failure;
    // A TGA has no signature, so it is tried last, when no other format has claimed the file.
    if (std::optional<PictureLoad> tga = picture.load_whole(TgaReader::open(file, pixel_limit))) return std::move(*tga);
    return Failure{Fault::cannot_open, not_a_picture_reason(file)};
  }
  CodecPicture& codec = std::get<CodecPicture>(decoded);
  // A codec's stored order is top row first.
  picture.adopt(std::move(codec.quads), codec.width, codec.height, true, true);
  picture.reduced_ = codec.reduced;
  return picture;
}
