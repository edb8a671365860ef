#include "files/output_file.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

std::optional<OutputFile> OutputFile::create(const char* path) {
  int fd;
  do {
    fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::nullopt;
  return OutputFile(fd);
}

bool OutputFile::write(std::span<const std::uint8_t> bytes) {
  if (handle_ == closed) return false;
  const int fd = static_cast<int>(handle_);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    // A write that makes no progress would loop for ever; treat it as the failure it is.
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

bool OutputFile::close() {
  if (handle_ == closed) return true;
  const int fd = static_cast<int>(handle_);
  handle_ = closed;
  // After a failed close(), even with EINTR, the descriptor is gone on Linux: never retry it.
  return ::close(fd) == 0;
}

void remove_output_file(const char* path) { ::unlink(path); }
