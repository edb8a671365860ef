// A file or folder that even root cannot change, for tests of writes that must fail: the tests run
// as root natively, where a read-only mode does not stop writes, but the immutable flag does. An
// immutable folder takes no new entries; the files already in it can still be written.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

// Sets the immutable flag and clears it again when it goes, so that the path can be removed.
// Setting it needs CAP_LINUX_IMMUTABLE and a file system that has the flag.
class Immutable {
 public:
  explicit Immutable(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    set_ = fd_ >= 0 && change(FS_IMMUTABLE_FL, 0);
  }
  ~Immutable() {
    if (set_) change(0, FS_IMMUTABLE_FL);
    if (fd_ >= 0) ::close(fd_);
  }
  Immutable(const Immutable&) = delete;
  Immutable& operator=(const Immutable&) = delete;
  bool is_set() const { return set_; }

 private:
  bool change(int add, int remove) const {
    int flags = 0;
    if (::ioctl(fd_, FS_IOC_GETFLAGS, &flags) != 0) return false;
    flags = (flags | add) & ~remove;
    return ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
  }

  int fd_;
  bool set_ = false;
};
