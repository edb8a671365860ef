#include <windows.h>

#include <algorithm>

#include "files/output_file.h"

std::variant<OutputFile, SystemError> OutputFile::create(const char* path) {
  // Share mode 0: a file that a view or another program holds cannot be created over.
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return last_open_error(path);
  return OutputFile(reinterpret_cast<std::intptr_t>(file));
}

std::optional<SystemError> OutputFile::write(std::span<const std::uint8_t> bytes) {
  if (!file_) return SystemError{FileFault::other, ERROR_INVALID_HANDLE};
  const HANDLE file = reinterpret_cast<HANDLE>(file_.get());
  while (!bytes.empty()) {
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 0x7FFFFFFF));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), count, &written, nullptr)) return last_system_error();
    // A write that makes no progress would loop for ever; treat it as the failure it is, though the
    // system named no cause.
    if (written == 0) return SystemError{FileFault::other, ERROR_WRITE_FAULT};
    bytes = bytes.subspan(written);
  }
  return std::nullopt;
}

std::optional<SystemError> OutputFile::close() {
  if (!file_) return std::nullopt;
  if (!CloseHandle(reinterpret_cast<HANDLE>(file_.take()))) return last_system_error();
  return std::nullopt;
}

void remove_output_file(const char* path) { DeleteFileA(path); }
