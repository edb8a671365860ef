// Without Win32 the picture is the file itself: read whole into memory and described by the BMP
// reader, so its rows are the file's stored rows as they are.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "export-loader/image_loader.h"

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

bool read_all(int fd, std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t got = ::read(fd, data, size);
    if (got < 0 && errno == EINTR) continue;
    // 0 before the end: the file shrank since its size was taken.
    if (got <= 0) return false;
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

PictureLoad LoadedPicture::load(const char* path) {
  const Descriptor file(::open(path, O_RDONLY | O_CLOEXEC));
  struct stat status {};
  // A folder opens for reading here, but holds no picture.
  if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return LoadFault::cannot_open;
  if (static_cast<std::uintmax_t>(status.st_size) > SIZE_MAX) return LoadFault::cannot_open;
  const auto size = static_cast<std::size_t>(status.st_size);

  // Owned by the picture from here, so that every early return frees it.
  LoadedPicture picture(std::malloc(size == 0 ? 1 : size));
  auto* const bytes = static_cast<std::uint8_t*>(picture.handle_);
  if (bytes == nullptr || !read_all(file.get(), bytes, size)) return LoadFault::cannot_open;

  const BmpPicture bmp = read_bmp({bytes, size});
  if (const std::optional<LoadFault> fault = fault_of(bmp.verdict)) return *fault;
  picture.width_ = bmp.width;
  picture.height_ = bmp.height;
  picture.row_length_ = bmp.row_length;
  picture.bits_per_pixel_ = bmp.bits_per_pixel;
  picture.compression_ = bmp.compression;
  picture.rows_ = bmp.rows;
  return picture;
}

void LoadedPicture::release() {
  std::free(handle_);
  handle_ = nullptr;
  rows_ = {};
}
