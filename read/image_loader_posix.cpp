// Without Win32 the picture is the file itself: a read-only view of it, described by the BMP
// reader, so a 24-bit picture's rows are the file's stored rows as they are, read where they lie,
// and any other picture is decoded from them.
#include "read/image_loader.h"

#include "files/view_access.h"

#include <utility>

void BitmapPolicy::release(Handle) {}

PictureLoad LoadedPicture::load(const char* path, std::uint64_t pixel_limit) {
  LoadedPicture picture;
  std::variant<FileView, SystemError> opened = FileView::open(path, ViewKind::read_only);
  if (const SystemError* error = std::get_if<SystemError>(&opened))
    return Failure{Fault::cannot_open, describe(*error)};
  picture.file_ = std::get<FileView>(std::move(opened));
  BmpPicture bmp;
  const std::span<const std::uint8_t> bytes = picture.file_->bytes();
  if (access_views([&] { bmp = read_bmp(bytes); }) != nullptr) return Failure{Fault::cannot_open, cut_short_reason};
  if (std::optional<Failure> failure = failure_of(bmp, pixel_limit)) return std::move(*failure);
  if (bmp.bits_per_pixel != 24) {
    if (std::optional<Failure> failure = picture.decode(bmp)) return std::move(*failure);
    if (std::optional<Failure> failure = picture.keep_alpha(bmp)) return std::move(*failure);
    return picture;
  }
  picture.width_ = bmp.width;
  picture.height_ = bmp.height;
  picture.top_down_ = bmp.top_down;
  picture.row_length_ = bmp.row_length;
  picture.rows_ = bmp.rows;
  return picture;
}
