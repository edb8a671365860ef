// Standard input's copy, for a job that needs its input as a file: a file of this run's own in the
// system's temporary folder, gone when the run is done with it and when the run is interrupted.
// POSIX: a folder of its own holds the file, and both are entries of the table of live outputs
// (files/live_outputs.h), which SIGINT, SIGTERM and SIGHUP remove. Windows: the file is opened to be
// deleted when its last handle closes, so the system removes it however the process ends (Ctrl+C, a
// closed console, or the process killed outright); the views that read it share its deletion.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>

#include "files/live_outputs.h"
#include "files/system_error.h"
#include "files/system_handles.h"

class StagingFile {
 public:
  // A new place for the copy, of this run's own; the reason in plain words when none could be made.
  static std::variant<StagingFile, std::string> create();

  // The moved-from one is left with no path, so that it removes nothing.
  StagingFile(StagingFile&& other) noexcept;
  StagingFile& operator=(StagingFile&&) = delete;
  // Removes the file, and its folder on POSIX.
  ~StagingFile();

  // The copy's path, which jobs open as they open any input.
  const std::string& path() const { return path_; }

  // Opens the copy, empty, for writing; then write() appends to it and finish() closes it. Each gives
  // the system's error when it fails.
  std::optional<SystemError> open();
  std::optional<SystemError> write(std::span<const std::uint8_t> bytes);
  std::optional<SystemError> finish();

 private:
  StagingFile() = default;

  // In the order of release: the writing handle, then the file's entry (or on Windows the handle that
  // deletes it), then the folder's entry. The folder is empty on Windows.
  std::string folder_;
  LiveEntry folder_entry_;
  std::string path_;
  LiveEntry file_entry_;
  SystemFile keep_;
  SystemFile writer_;
};

// "rgb565-" and sixteen random hexadecimal digits: a name that another run, or another user, is
// unlikely to have taken first.
std::string staging_name();
