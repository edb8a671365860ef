// Views through mmap. Linux cannot refuse a second open() of a file, so the no-sharing rule is
// kept among views: each view holds an exclusive flock on its file, and a second view of a file
// that has one (under any of its names, in this process or another) fails to take it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "files/file_view.h"

namespace {

// Closes the descriptor of a view that failed to open; closing drops its lock too.
class OpenFile {
 public:
  explicit OpenFile(int fd) : fd_(fd) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

}  // namespace

std::optional<FileView> FileView::open(const char* path, ViewKind kind) {
  // O_NONBLOCK keeps open() of a FIFO from waiting for a writer; fstat refuses it below.
  const int access = kind == ViewKind::writable ? O_RDWR : O_RDONLY;
  int fd;
  do {
    fd = ::open(path, access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::nullopt;
  OpenFile file(fd);

  if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) return std::nullopt;

  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return std::nullopt;
  // Only regular files have bytes to map. An empty file cannot be mapped, and the jobs count bytes
  // in 32 bits, as the 32-bit build does, which could not map a longer file either.
  if (!S_ISREG(info.st_mode) || info.st_size <= 0 || static_cast<std::uint64_t>(info.st_size) > UINT32_MAX)
    return std::nullopt;
  const auto size = static_cast<std::size_t>(info.st_size);

  const int protection = kind == ViewKind::writable ? PROT_READ | PROT_WRITE : PROT_READ;
  void* data = ::mmap(nullptr, size, protection, MAP_SHARED, file.get(), 0);
  if (data == MAP_FAILED) return std::nullopt;

  FileView view;
  view.kind_ = kind;
  view.file_ = file.release();
  view.data_ = static_cast<std::uint8_t*>(data);
  view.size_ = size;
  return view;
}

void FileView::close() {
  if (data_ != nullptr) {
    // A shared mapping's changes are already visible to readers of the file; msync puts them in
    // the file itself before the view is gone.
    if (kind_ == ViewKind::writable) ::msync(data_, size_, MS_SYNC);
    ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
  }
  if (file_ >= 0) {
    ::close(static_cast<int>(file_));
    file_ = -1;
  }
}

std::uint32_t FileView::file_length() const {
  struct stat info {};
  if (file_ < 0 || ::fstat(static_cast<int>(file_), &info) != 0) return 0;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(info.st_size));
}

bool FileView::same_file(const FileView& other) const {
  struct stat mine {};
  struct stat theirs {};
  if (file_ < 0 || other.file_ < 0) return false;
  if (::fstat(static_cast<int>(file_), &mine) != 0 || ::fstat(static_cast<int>(other.file_), &theirs) != 0)
    return false;
  return mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}
