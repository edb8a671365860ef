#include <windows.h>

#include <algorithm>

#include "files/output_file.h"

std::optional<OutputFile> OutputFile::create(const char* path) {
  // Share mode 0: a file that a view or another program holds cannot be created over.
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  return OutputFile(reinterpret_cast<std::intptr_t>(file));
}

bool OutputFile::write(std::span<const std::uint8_t> bytes) {
  if (!file_) return false;
  const HANDLE file = reinterpret_cast<HANDLE>(file_.get());
  while (!bytes.empty()) {
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 0x7FFFFFFF));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), count, &written, nullptr) || written == 0) return false;
    bytes = bytes.subspan(written);
  }
  return true;
}

bool OutputFile::close() {
  if (!file_) return true;
  return CloseHandle(reinterpret_cast<HANDLE>(file_.take())) != 0;
}

void remove_output_file(const char* path) { DeleteFileA(path); }
