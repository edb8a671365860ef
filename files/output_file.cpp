#include "files/output_file.h"

std::optional<SystemError> save_output_file(const char* path,
                                            std::initializer_list<std::span<const std::uint8_t>> pieces) {
  std::variant<OutputFile, SystemError> created = OutputFile::create(path);
  OutputFile* file = std::get_if<OutputFile>(&created);
  if (file == nullptr) return std::get<SystemError>(created);
  std::optional<SystemError> failure;
  for (std::span<const std::uint8_t> piece : pieces) {
    failure = file->write(piece);
    if (failure) break;
  }
  // The file is closed even after a failed write; the write's error is the one to report.
  const std::optional<SystemError> closing = file->close();
  if (!failure) failure = closing;
  if (failure) remove_output_file(path);
  return failure;
}
