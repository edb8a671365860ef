// A file made read-only for a test, and writable again afterwards so that its folder can be
// removed (Windows deletes no read-only file).
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(std::string path) : path_(std::move(path)) {
    std::filesystem::permissions(path_, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                            std::filesystem::perms::others_read);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  ~ReadOnlyFile() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_write, std::filesystem::perm_options::add,
                                 ignored);
  }

  // True when this process may write the file all the same (root on Linux): a test of a refused
  // write then has nothing to test.
  bool writable_anyway() const { return std::ofstream(path_, std::ios::binary | std::ios::app).is_open(); }

 private:
  std::string path_;
};
