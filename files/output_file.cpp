#include "files/output_file.h"

bool save_output_file(const char* path, std::initializer_list<std::span<const std::uint8_t>> pieces) {
  std::optional<OutputFile> file = OutputFile::create(path);
  if (!file) return false;
  bool complete = true;
  for (std::span<const std::uint8_t> piece : pieces) {
    if (!file->write(piece)) {
      complete = false;
      break;
    }
  }
  if (!file->close()) complete = false;
  if (!complete) remove_output_file(path);
  return complete;
}
