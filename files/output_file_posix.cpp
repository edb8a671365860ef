#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
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

// The folder part of `path` with its final slash ("" for a name alone), and the name.
std::pair<std::string, std::string_view> split_path(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return {std::string(), path};
  return {std::string(path.substr(0, slash + 1)), path.substr(slash + 1)};
}

// Removes the new files that saves to `name` in `folder` left behind when their process could not
// clean up, each only when its lock can be had: a live save holds the lock on its new file from
// the moment it is made until it is in place.
void remove_leftovers(const std::string& folder, std::string_view name) {
  // The names that might be saves' new files: hidden, with the marker in them.
  const auto list = [&] {
    std::vector<std::string> names;
    DIR* const listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (listing == nullptr) return names;
    while (const dirent* entry = ::readdir(listing)) {
      const std::string_view found = entry->d_name;
      if (found.starts_with('.') && found.find(".saving-") != std::string_view::npos) names.emplace_back(found);
    }
    ::closedir(listing);
    return names;
  };
  for (const std::string& taken : take_leftovers_of(folder, name, NAME_MAX, list)) {
    const std::string leftover = folder + taken;
    const int fd = ::open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) continue;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      ::unlink(leftover.c_str());
    ::close(fd);
  }
}

// Gives the new file the existing target's owner and group, where this process may (root may give
// both, an owner who is in the target's group that group), and then exactly its permission bits,
// which the umask may have narrowed at the creation. The set-user-ID and set-group-ID bits are kept
// only with the owner or group they were given for. A file system without owners or permissions
// (FAT) refuses the changes, which is no reason to refuse the output.
void take_owner_and_permissions(int fd, const struct stat& target) {
  if (::fchown(fd, target.st_uid, target.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), target.st_gid) != 0) {
    // The new file keeps this process's owner and group.
  }
  struct stat made {};
  if (::fstat(fd, &made) != 0) return;
  mode_t mode = target.st_mode & 07777;
  if (made.st_uid != target.st_uid) mode &= ~static_cast<mode_t>(S_ISUID);
  if (made.st_gid != target.st_gid) mode &= ~static_cast<mode_t>(S_ISGID);
  (void)::fchmod(fd, mode);
}

}  // namespace

std::variant<OutputFile, SystemError> OutputFile::create(const char* path, Links links) {
  OutputFile output;
  if (links == Links::follow) {
    std::variant<std::string, SystemError> resolved = final_target(path);
    if (const SystemError* error = std::get_if<SystemError>(&resolved)) return *error;
    output.target_path_ = std::get<std::string>(std::move(resolved));
  } else {
    output.target_path_ = path;
  }
  const char* target = output.target_path_.c_str();

  // An existing target is opened for writing, though it is only replaced, so that a file this
  // program may not write is refused as before. It then takes the views' exclusive lock, which keeps
  // Windows' rule that a file held with no sharing cannot be replaced. O_NONBLOCK keeps a FIFO
  // without a reader from blocking; only regular files are outputs. O_NOFOLLOW refuses a link, one
  // that names no file as well (ELOOP).
  const int no_links = links == Links::refuse ? O_NOFOLLOW : 0;
  int fd;
  do {
    fd = ::open(target, O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | no_links);
  } while (fd < 0 && errno == EINTR);
  struct stat existing {};
  if (fd >= 0) {
    output.target_.reset(fd);
    if (::fstat(fd, &existing) != 0) return last_system_error();
    if (!S_ISREG(existing.st_mode)) return SystemError{FileFault::not_a_regular_file, 0};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return last_system_error();
  } else if (errno == ELOOP && links == Links::refuse) {
    return SystemError{FileFault::symbolic_link, ELOOP};
  } else if (errno != ENOENT) {
    return last_open_error(target);
  }

  // Beside the target, so that the new file can take its place in one rename on the same file
  // system.
  const auto [folder, name] = split_path(output.target_path_);
  remove_leftovers(folder, name);
  // O_EXCL makes sure the name is this output's alone. Made with the target's permission bits (less
  // the umask) it is never more open than the target, even for a moment; a new target's are 0666
  // less the umask, as for any file this program creates. The special bits wait for the owner.
  const mode_t mode = output.target_ ? existing.st_mode & 0777 : 0666;
  {
    // No interruption between the file's creation and its entry in the table of live outputs.
    const InterruptionsHeld held;
    LiveEntry live(claim_live_entry());
    for (int attempt = 0;; ++attempt) {
      std::string temporary = folder + temporary_name(name, NAME_MAX, temporary_seed());
      fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
      if (fd < 0) {
        if ((errno == EEXIST || errno == EINTR) && attempt < 100) continue;
        if (errno == EACCES || errno == EPERM)
          return SystemError{FileFault::folder_not_writable, static_cast<std::uint32_t>(errno)};
        return last_open_error(temporary.c_str());
      }
      // Another save may take the file for a leftover in the moment before it is locked, and remove
      // it: such a file has no name left, and another is made. A file system without locks makes
      // files that no other save removes (it cannot lock them either).
      const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
      struct stat made {};
      if (taken || (::fstat(fd, &made) == 0 && made.st_nlink == 0)) {
        ::close(fd);
        if (attempt < 100) continue;
        return SystemError{FileFault::other, EAGAIN};
      }
      if (!publish_live_entry(live.get(), temporary, fd)) live.reset();
      output.live_ = std::move(live);
      output.temporary_.reset(std::move(temporary));
      output.file_.reset(fd);
      break;
    }
  }
  const int lock = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (lock < 0) return last_system_error();
  output.lock_.reset(lock);
  if (output.target_) take_owner_and_permissions(fd, existing);
  return output;
}

OutputFile::~OutputFile() {
  // The new file goes before its entry is left, so that an interruption in between still finds it.
  file_.reset();
  temporary_.reset();
  lock_.reset();
  live_.reset();
}

std::string output_folder(const char* path) {
  const std::variant<std::string, SystemError> resolved = final_target(path);
  const std::string* target = std::get_if<std::string>(&resolved);
  std::string folder = split_path(target != nullptr ? *target : std::string(path)).first;
  if (folder.size() > 1) folder.pop_back();
  return folder;
}

std::optional<SystemError> OutputFile::append(std::span<const std::uint8_t> bytes) { return write_all(file_, bytes); }

std::optional<SystemError> OutputFile::replace() {
  if (!file_) return SystemError{FileFault::other, EBADF};
  // Some file systems (NFS) report a failed write only on closing. After a failed close(), even
  // with EINTR, the descriptor is gone on Linux: never retry it.
  // The new file is not forced to the disk first (no fsync): that would cost a batch of small
  // outputs most of its time, and the failures this guards against are the ones the program sees.
  if (::close(static_cast<int>(file_.take())) != 0) return last_system_error();
  if (::rename(temporary_.get().c_str(), target_path_.c_str()) != 0) return last_system_error();
  temporary_.take();
  lock_.reset();
  live_.reset();
  // The old file, now without a name, is let go only once the new one has its place.
  target_.reset();
  return std::nullopt;
}
