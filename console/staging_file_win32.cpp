#include <windows.h>

#include <filesystem>
#include <system_error>

#include "console/staging_file.h"

namespace {

// Every handle to the copy shares its reading, writing and deletion with the others.
constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

std::variant<StagingFile, std::string> StagingFile::create() {
  std::error_code error;
  const std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) return "no temporary folder: " + error.message();
  // CREATE_NEW refuses a name that exists, so the file is this run's alone. The handle kept asks for
  // no more than deletion, so that a view may read the file beside it; the system deletes the file
  // when the last handle to it closes, at the latest when the process ends in any way.
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string path = (base / (staging_name() + ".standard-input")).string();
    const HANDLE keep = CreateFileA(path.c_str(), DELETE, share_all, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (keep != INVALID_HANDLE_VALUE) {
      StagingFile staging;
      staging.path_ = path;
      staging.keep_.reset(reinterpret_cast<std::intptr_t>(keep));
      return staging;
    }
    const SystemError failed = last_open_error(path.c_str());
    if (failed.code == ERROR_FILE_EXISTS || failed.code == ERROR_ALREADY_EXISTS) continue;
    return "cannot make a file in " + base.string() + ": " + describe(failed);
  }
  return "cannot make a file of its own in " + base.string();
}

StagingFile::~StagingFile() {
  writer_.reset();
  keep_.reset();
}

std::optional<SystemError> StagingFile::open() {
  const HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, share_all, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return last_open_error(path_.c_str());
  writer_.reset(reinterpret_cast<std::intptr_t>(file));
  return std::nullopt;
}

std::optional<SystemError> StagingFile::write(std::span<const std::uint8_t> bytes) { return write_all(writer_, bytes); }

std::optional<SystemError> StagingFile::finish() {
  if (!CloseHandle(reinterpret_cast<HANDLE>(writer_.take()))) return last_system_error();
  return std::nullopt;
}
