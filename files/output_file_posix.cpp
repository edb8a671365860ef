#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "files/output_file.h"

namespace {

// As many links as Linux itself follows before it gives up with ELOOP.
constexpr int most_links = 40;

// The file that `path` finally names when it is a symbolic link (perhaps one that names no file
// yet), else `path` itself; or why the path cannot be followed.
std::variant<std::string, SystemError> final_target(const char* path) {
  std::string current = path;
  for (int links = 0; links <= most_links; ++links) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) {
      // Nothing there yet: the new file gets this name. A missing folder is named when the new file
      // cannot be created in it.
      if (errno == ENOENT) return current;
      return last_open_error(current.c_str());
    }
    if (!S_ISLNK(info.st_mode)) return current;
    char link[PATH_MAX];
    const ssize_t length = ::readlink(current.c_str(), link, sizeof link);
    if (length < 0) return last_system_error();
    if (static_cast<std::size_t>(length) == sizeof link) return SystemError{FileFault::name_too_long, ENAMETOOLONG};
    std::string next(link, static_cast<std::size_t>(length));
    // A relative link is read from the folder that holds the link.
    const std::size_t slash = current.find_last_of('/');
    if (!next.empty() && next.front() != '/' && slash != std::string::npos) next = current.substr(0, slash + 1) + next;
    current = std::move(next);
  }
  return SystemError{FileFault::other, ELOOP};
}

}  // namespace

std::variant<OutputFile, SystemError> OutputFile::create(const char* path) {
  std::variant<std::string, SystemError> resolved = final_target(path);
  if (const SystemError* error = std::get_if<SystemError>(&resolved)) return *error;
  OutputFile output;
  output.target_path_ = std::get<std::string>(std::move(resolved));
  const char* target = output.target_path_.c_str();

  // An existing target is opened for writing, though it is only replaced, so that a file this
  // program may not write is refused as before. It then takes the views' exclusive lock, which keeps
  // Windows' rule that a file held with no sharing cannot be replaced. O_NONBLOCK keeps a FIFO
  // without a reader from blocking; only regular files are outputs.
  int fd;
  do {
    fd = ::open(target, O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  struct stat existing {};
  if (fd >= 0) {
    output.target_.reset(fd);
    if (::fstat(fd, &existing) != 0) return last_system_error();
    if (!S_ISREG(existing.st_mode)) return SystemError{FileFault::not_a_regular_file, 0};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return last_system_error();
  } else if (errno != ENOENT) {
    return last_open_error(target);
  }

  // Beside the target, so that the new file can take its place in one rename on the same file
  // system. O_EXCL makes sure the name is this output's alone; 0666 lets the umask decide a new
  // file's permissions, as it would for any file this program creates.
  const std::string_view whole(output.target_path_);
  const std::size_t slash = whole.find_last_of('/');
  const std::string folder(slash == std::string_view::npos ? std::string_view() : whole.substr(0, slash + 1));
  const std::string_view name = slash == std::string_view::npos ? whole : whole.substr(slash + 1);
  for (int attempt = 0;; ++attempt) {
    std::string temporary = folder + temporary_name(name, NAME_MAX, temporary_seed());
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) {
      output.temporary_.reset(std::move(temporary));
      output.file_.reset(fd);
      break;
    }
    if ((errno != EEXIST && errno != EINTR) || attempt == 100) return last_open_error(temporary.c_str());
  }
  // The replacement keeps the target's permissions. A file system without them (FAT) refuses the
  // change, which is no reason to refuse the output.
  if (output.target_) (void)::fchmod(fd, existing.st_mode & 07777);
  return output;
}

std::optional<SystemError> OutputFile::append(std::span<const std::uint8_t> bytes) {
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

std::optional<SystemError> OutputFile::replace() {
  if (!file_) return SystemError{FileFault::other, EBADF};
  // Some file systems (NFS) report a failed write only on closing. After a failed close(), even
  // with EINTR, the descriptor is gone on Linux: never retry it.
  // The new file is not forced to the disk first (no fsync): that would cost a batch of small
  // outputs most of its time, and the failures this guards against are the ones the program sees.
  if (::close(static_cast<int>(file_.take())) != 0) return last_system_error();
  if (::rename(temporary_.get().c_str(), target_path_.c_str()) != 0) return last_system_error();
  temporary_.take();
  // The old file, now without a name, is let go only once the new one has its place.
  target_.reset();
  return std::nullopt;
}
