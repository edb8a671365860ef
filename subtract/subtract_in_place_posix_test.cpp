// An image that cannot be opened for writing even by root: the tests run as root natively, where a
// read-only mode does not stop writes, but the immutable flag does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "subtract/subtract_in_place.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

// Sets the immutable flag on a file and clears it again when it goes, so that the file can be
// removed. Setting it needs CAP_LINUX_IMMUTABLE and a file system that has the flag.
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

TEST(SubtractInPlacePosix, AnImageThatCannotBeWrittenIsRefused) {
  TempDir dir;
  const Bytes image{10, 20, 30, 40};
  const Bytes sub{1, 2, 3, 4};
  write_file(dir.file("image"), image);
  write_file(dir.file("sub"), sub);
  const Immutable locked(dir.file("image"));
  if (!locked.is_set()) GTEST_SKIP() << "the immutable flag cannot be set here";
  ScriptedFrame frame(dir.file("image"), dir.file("sub"));
  subtract_in_place(frame);
  EXPECT_EQ(frame.status(), "Cannot open image");
  EXPECT_EQ(read_file(dir.file("image")), image);
  EXPECT_EQ(read_file(dir.file("sub")), sub);
}

}  // namespace
