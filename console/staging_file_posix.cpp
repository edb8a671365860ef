#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "console/staging_file.h"

std::variant<StagingFile, std::string> StagingFile::create() {
  std::error_code error;
  const std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) return "no temporary folder: " + error.message();
  // create_directory refuses a name that exists, so a folder made here is this run's alone, and the
  // file in it can be no one else's link.
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::filesystem::path folder = base / staging_name();
    const InterruptionsHeld held;
    LiveEntry entry(claim_live_entry());
    if (std::filesystem::create_directory(folder, error)) {
      if (!publish_live_entry(entry.get(), folder.string(), 0)) entry.reset();
      StagingFile staging;
      staging.folder_ = folder.string();
      staging.folder_entry_ = std::move(entry);
      staging.path_ = (folder / "standard-input").string();
      return staging;
    }
    if (error) return "cannot make a folder in " + base.string() + ": " + error.message();
  }
  return "cannot make a folder of its own in " + base.string();
}

StagingFile::~StagingFile() {
  writer_.reset();
  if (folder_.empty()) return;
  const InterruptionsHeld held;
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
  file_entry_.reset();
  folder_entry_.reset();
}

std::optional<SystemError> StagingFile::open() {
  const InterruptionsHeld held;
  file_entry_.reset(claim_live_entry());
  const int file = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (file < 0) {
    // Left at once: an entry claimed and never named would keep the interruption's handler waiting.
    const SystemError error = last_system_error();
    file_entry_.reset();
    return error;
  }
  writer_.reset(file);
  if (!publish_live_entry(file_entry_.get(), path_, 0)) file_entry_.reset();
  return std::nullopt;
}

std::optional<SystemError> StagingFile::write(std::span<const std::uint8_t> bytes) { return write_all(writer_, bytes); }

std::optional<SystemError> StagingFile::finish() {
  if (::close(static_cast<int>(writer_.take())) != 0) return last_system_error();
  return std::nullopt;
}
