// Views through mmap. Linux cannot refuse a second open() of a file, so the sharing rule is kept
// among views and outputs with flock: a writable view holds an exclusive lock on its file, a
// read-only view a shared one, so that any number of readers may read a file at once (two builds
// converting one picture) while a writer, or a save over the file, is refused until they close,
// under any of the file's names, in this process or another. A read-only view's later windows are
// read into memory of its own rather than mapped (see largest_read_window).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "files/file_view.h"
#include "files/view_access.h"

std::variant<FileView, SystemError> FileView::open(const char* path, ViewKind kind, std::uint64_t max_bytes) {
  const bool writable = kind == ViewKind::writable;
  FileView view;
  // O_NONBLOCK keeps open() of a FIFO from waiting for a writer; fstat refuses it below.
  int fd;
  do {
    fd = ::open(path, (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return last_open_error(path);
  // From here on the view owns what it holds: returning early releases it in reverse order.
  view.file_.reset(fd);

  if (::flock(fd, (writable ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) return last_system_error();

  struct stat info {};
  if (::fstat(fd, &info) != 0) return last_system_error();
  // Only regular files have bytes to map. An empty file cannot be mapped, and the jobs count bytes
  // in 32 bits, as the 32-bit build does, which could not map a longer part either.
  if (S_ISDIR(info.st_mode)) return SystemError{FileFault::is_a_folder, EISDIR};
  if (!S_ISREG(info.st_mode)) return SystemError{FileFault::not_a_regular_file, 0};
  if (info.st_size <= 0) return SystemError{FileFault::empty_file, 0};
  view.file_size_ = static_cast<std::uint64_t>(info.st_size);
  const std::uint64_t mapped = std::min(view.file_size_, std::max<std::uint64_t>(max_bytes, 1));
  if (mapped > UINT32_MAX) return SystemError{FileFault::too_large, 0};
  const auto size = static_cast<std::size_t>(mapped);

  // Every job walks its whole view, or nearly: the pages are mapped in one go rather than taken
  // one fault at a time.
  void* data = ::mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0);
  if (data == MAP_FAILED) return last_system_error();
  view.view_.reset({static_cast<std::uint8_t*>(data), size, writable});
  run_view_opened_hook(path);
  return view;
}

namespace {

// Read-only windows of up to this many bytes are read, larger ones mapped. Reading a window into the
// same memory again costs the system a copy from its cache, where mapping a new one costs a fault or
// a page-table entry for every page, and the unmapping: packing an 8192 x 8192 BMP a megabyte
// window at a time took twice the time and twice the processor with its windows mapped.
constexpr std::uint64_t largest_read_window = std::uint64_t{16} << 20;

// Reads `length` bytes at `offset` into `into`; false when the file ends before them (another
// program cut it short) or the read fails.
bool read_at(int fd, std::uint8_t* into, std::uint64_t offset, std::uint64_t length) {
  while (length > 0) {
    const ssize_t got = ::pread(fd, into, static_cast<std::size_t>(length), static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    into += got;
    offset += static_cast<std::uint64_t>(got);
    length -= static_cast<std::uint64_t>(got);
  }
  return true;
}

}  // namespace

std::optional<SystemError> FileView::map_window(std::uint64_t offset, std::uint64_t length) {
  const bool writable = view_.get().writable;
  skip_ = 0;
  const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  if (offset + length > file_size_ || length == 0) {
    view_.reset();
    return SystemError{FileFault::too_large, 0};
  }
  if (!writable && length <= largest_read_window) {
    if (!reads_windows_ || view_.get().size < length) {
      view_.reset();
      reads_windows_ = false;
      const auto size = static_cast<std::size_t>((length + page - 1) / page * page);
      void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
      if (data != MAP_FAILED) {
        view_.reset({static_cast<std::uint8_t*>(data), size, false});
        reads_windows_ = true;
      }
    }
    if (reads_windows_) {
      const MappedRegion region = view_.get();
      const std::size_t skip = region.size - static_cast<std::size_t>(length);
      if (read_at(static_cast<int>(file_.get()), region.data + skip, offset, length)) {
        skip_ = skip;
        return std::nullopt;
      }
      // The file is shorter than when it was opened: the window is mapped instead, and the job's
      // access to it meets the missing pages as it does in any mapped window, and says so.
    }
  }
  view_.reset();
  reads_windows_ = false;
  const std::uint64_t start = offset / page * page;
  const std::uint64_t size = length + (offset - start);
  if (size > SIZE_MAX) return SystemError{FileFault::too_large, 0};
  void* data = ::mmap(nullptr, static_cast<std::size_t>(size), writable ? PROT_READ | PROT_WRITE : PROT_READ,
                      MAP_SHARED | MAP_POPULATE, static_cast<int>(file_.get()), static_cast<off_t>(start));
  if (data == MAP_FAILED) return last_system_error();
  view_.reset({static_cast<std::uint8_t*>(data), static_cast<std::size_t>(size), writable});
  skip_ = static_cast<std::size_t>(offset - start);
  return std::nullopt;
}

bool FileView::same_file(const FileView& other) const {
  struct stat mine {};
  struct stat theirs {};
  if (!file_ || !other.file_) return false;
  if (::fstat(static_cast<int>(file_.get()), &mine) != 0 || ::fstat(static_cast<int>(other.file_.get()), &theirs) != 0)
    return false;
  return mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}

bool same_existing_file(const char* a, const char* b) {
  struct stat first {};
  struct stat second {};
  if (::stat(a, &first) != 0 || ::stat(b, &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
