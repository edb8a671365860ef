#include <windows.h>

#include <algorithm>

#include "files/system_handles.h"

void SystemFilePolicy::release(Handle file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

std::optional<SystemError> write_all(const SystemFile& file, std::span<const std::uint8_t> bytes) {
  if (!file) return SystemError{FileFault::other, ERROR_INVALID_HANDLE};
  while (!bytes.empty()) {
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 0x7FFFFFFF));
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(file.get()), bytes.data(), count, &written, nullptr))
      return last_system_error();
    if (written == 0) return SystemError{FileFault::other, ERROR_WRITE_FAULT};
    bytes = bytes.subspan(written);
  }
  return std::nullopt;
}

void FileMappingPolicy::release(Handle mapping) { CloseHandle(reinterpret_cast<HANDLE>(mapping)); }

// A writable view's pages reach the file when the view is unmapped.
void MappedRegionPolicy::release(Handle region) { UnmapViewOfFile(region.data); }

// A block is held locked; it is unlocked before it is freed.
void LockedBlockPolicy::release(Handle block) {
  GlobalUnlock(block.handle);
  GlobalFree(block.handle);
}

void TemporaryNamePolicy::release(const Handle& path) { DeleteFileA(path.c_str()); }
