// The output file: created or emptied at a path and written from its start. A job's output is
// complete only when every byte reached the file and it closed cleanly; a partial output is
// removed, so that a failed save never leaves a file that looks like a finished conversion.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <variant>

#include "files/system_error.h"
#include "files/system_handles.h"

class OutputFile {
 public:
  // Creates the file, or empties an existing one, with no sharing; or says why that failed, in
  // which case nothing at the path was touched. A file that a view holds is not emptied: that
  // would pull the pages from under the program that maps it.
  static std::variant<OutputFile, SystemError> create(const char* path);

  // Appends all of `bytes`; nullopt when every one reached the file, else why one did not.
  std::optional<SystemError> write(std::span<const std::uint8_t> bytes);
  // Closes the file; nullopt unless the system reported an error on closing.
  std::optional<SystemError> close();

 private:
  explicit OutputFile(std::intptr_t handle) : file_(handle) {}

  SystemFile file_;  // closed when the object goes, if close() was not called
};

// Removes the file at `path`; used to take back a partial output.
void remove_output_file(const char* path);

// Writes `pieces` one after another as the whole file at `path`. Nullopt when the file was
// created, every byte written and the file closed cleanly; else the first error. When the file
// could not be created nothing is touched; when a write or the close failed the partial file is
// removed.
std::optional<SystemError> save_output_file(const char* path,
                                            std::initializer_list<std::span<const std::uint8_t>> pieces);
