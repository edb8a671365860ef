#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/output_file.h"

std::variant<OutputFile, SystemError> OutputFile::create(const char* path) {
  // Not O_TRUNC: Linux would empty a file that another program maps, and that program would die on
  // its next touch of a lost page. The file is emptied only once the views' exclusive lock is ours,
  // which keeps Windows' rule that a file held with no sharing cannot be replaced. O_NONBLOCK keeps
  // a FIFO without a reader from blocking; only regular files are outputs.
  int fd;
  do {
    fd = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return last_open_error(path);
  OutputFile file(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0) return last_system_error();
  if (!S_ISREG(info.st_mode)) return SystemError{FileFault::not_a_regular_file, 0};
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return last_system_error();
  if (::ftruncate(fd, 0) != 0) return last_system_error();
  return file;
}

std::optional<SystemError> OutputFile::write(std::span<const std::uint8_t> bytes) {
  if (!file_) return SystemError{FileFault::other, EBADF};
  const int fd = static_cast<int>(file_.get());
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return last_system_error();
    // A write that makes no progress would loop for ever; treat it as the failure it is, though the
    // system named no cause.
    if (written == 0) return SystemError{FileFault::other, EIO};
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return std::nullopt;
}

std::optional<SystemError> OutputFile::close() {
  if (!file_) return std::nullopt;
  // After a failed close(), even with EINTR, the descriptor is gone on Linux: never retry it.
  if (::close(static_cast<int>(file_.take())) != 0) return last_system_error();
  return std::nullopt;
}

void remove_output_file(const char* path) { ::unlink(path); }
