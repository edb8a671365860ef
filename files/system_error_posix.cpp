#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "files/system_error.h"

namespace {

FileFault kind_of(int code) {
  switch (code) {
    case ENOENT:
      return FileFault::no_such_file;
    case EISDIR:
      return FileFault::is_a_folder;
    case ENXIO:
    case ENODEV:
      return FileFault::not_a_regular_file;
    case EACCES:
    case EPERM:
      return FileFault::permission_denied;
    case EFBIG:
    case EOVERFLOW:
      return FileFault::too_large;
    // The views' flock taken by another view, or an executable being run opened for writing.
    case EWOULDBLOCK:
    case ETXTBSY:
      return FileFault::held_by_another_program;
    case ENOSPC:
    case EDQUOT:
      return FileFault::disk_full;
    case EROFS:
      return FileFault::read_only_file_system;
    case ENAMETOOLONG:
      return FileFault::name_too_long;
    case ENOTDIR:
      return FileFault::folder_missing;
    default:
      return FileFault::other;
  }
}

}  // namespace

SystemError last_system_error() {
  const int code = errno;
  return {kind_of(code), static_cast<std::uint32_t>(code)};
}

SystemError last_open_error(const char* path) {
  SystemError error = last_system_error();
  if (error.kind != FileFault::no_such_file) return error;
  // ENOENT also stands for a missing folder on the way. A name without a slash is in the current
  // folder, which exists as long as the process has one.
  std::string folder(path);
  const std::size_t slash = folder.find_last_of('/');
  if (slash == std::string::npos) return error;
  folder.resize(slash == 0 ? 1 : slash);
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 && errno == ENOENT) error.kind = FileFault::folder_missing;
  return error;
}

std::string system_message(std::uint32_t code) {
  // Thread-safe, unlike strerror: several jobs may fail at once.
  return std::generic_category().message(static_cast<int>(code));
}
