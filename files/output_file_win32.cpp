#include "files/output_file.h"

#include <windows.h>

#include <algorithm>

namespace {

HANDLE as_handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

std::optional<OutputFile> OutputFile::create(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  return OutputFile(reinterpret_cast<std::intptr_t>(file));
}

bool OutputFile::write(std::span<const std::uint8_t> bytes) {
  if (handle_ == closed) return false;
  while (!bytes.empty()) {
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 0x7FFFFFFF));
    DWORD written = 0;
    if (!WriteFile(as_handle(handle_), bytes.data(), count, &written, nullptr) || written == 0) return false;
    bytes = bytes.subspan(written);
  }
  return true;
}

bool OutputFile::close() {
  if (handle_ == closed) return true;
  const HANDLE file = as_handle(handle_);
  handle_ = closed;
  return CloseHandle(file) != 0;
}

void remove_output_file(const char* path) { DeleteFileA(path); }
