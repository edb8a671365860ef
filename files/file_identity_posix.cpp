#include <sys/stat.h>

#include "files/file_identity.h"

std::optional<FileIdentity> file_identity(const char* path) {
  struct stat info {};
  if (::stat(path, &info) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}
