#include "export-loader/image_loader.h"

#include <new>
#include <string>

#include "export-loader/bmp_pixels.h"

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

std::optional<LoadFailure> failure_of(const BmpPicture& bmp) {
  switch (bmp.verdict) {
    case BmpVerdict::not_a_picture:
      return LoadFailure{LoadFault::cannot_open, bmp.problem != nullptr ? bmp.problem : "not a BMP file"};
    case BmpVerdict::unsupported:
      if (bmp.compression == 0 && !bmp_format_converts(bmp.bits_per_pixel, 0))
        return LoadFailure{LoadFault::unsupported, std::to_string(bmp.bits_per_pixel) +
                                                       " bits per pixel; BMPs of 1, 4, 8, 16, 24 or 32 bits convert"};
      if (!bmp_format_converts(bmp.bits_per_pixel, bmp.compression))
        return LoadFailure{LoadFault::unsupported,
                           std::to_string(bmp.bits_per_pixel) + " bits per pixel stored as " +
                               compression_name(bmp.compression) +
                               "; BMPs convert uncompressed, as RLE8 at 8 bits, RLE4 at 4 bits, or with bit fields "
                               "at 16 or 32 bits"};
      if (bmp.width == 0 || bmp.height == 0) return LoadFailure{LoadFault::unsupported, "the picture has no pixels"};
      return LoadFailure{LoadFault::unsupported, std::to_string(bmp.width) + " x " + std::to_string(bmp.height) +
                                                     " pixels: the raw image would not fit 4 GiB"};
    case BmpVerdict::picture:
      break;
  }
  return std::nullopt;
}

std::optional<LoadFailure> LoadedPicture::decode(const BmpPicture& bmp) {
  const std::uint64_t size = decoded_size(bmp.width, bmp.height);
  if (size > SIZE_MAX) return LoadFailure{LoadFault::out_of_memory, "the decoded picture does not fit in memory"};
  decoded_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]);
  if (decoded_ == nullptr) return LoadFailure{LoadFault::out_of_memory, "the decoded picture does not fit in memory"};
  decode_pixels(bmp, {decoded_.get(), static_cast<std::size_t>(size)});
  rows_ = {decoded_.get(), static_cast<std::size_t>(size)};
  width_ = bmp.width;
  height_ = bmp.height;
  top_down_ = bmp.top_down;
  row_length_ = bmp.width * 3;
  return std::nullopt;
}
