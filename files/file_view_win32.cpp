// Views through CreateFileA, CreateFileMappingA and MapViewOfFile. A writable view opens its file
// with share mode 0, so the system itself refuses every other open while the view is held; a
// read-only view shares reading alone, so that other readers may read the file at once while a
// writer, or a save that would replace the file, is refused until they close; it shares deletion too
// only where a handle that will delete the file was there first.
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "files/file_view.h"
#include "files/view_access.h"

namespace {

HANDLE as_handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

struct Access {
  DWORD file;
  DWORD protection;
  DWORD view;
};

Access access_for(ViewKind kind) {
  if (kind == ViewKind::writable) return {GENERIC_READ | GENERIC_WRITE, PAGE_READWRITE, FILE_MAP_WRITE};
  return {GENERIC_READ, PAGE_READONLY, FILE_MAP_READ};
}

// A handle that asks for no access to the contents: it opens even a file held with no sharing.
SystemFile open_for_identity(const char* path) {
  return SystemFile(
      reinterpret_cast<std::intptr_t>(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
}

bool same_file_handles(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  if (!GetFileInformationByHandle(a, &first) || !GetFileInformationByHandle(b, &second)) return false;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace

std::variant<FileView, SystemError> FileView::open(const char* path, ViewKind kind, std::uint64_t max_bytes) {
  const Access access = access_for(kind);
  FileView view;

  const DWORD share = kind == ViewKind::writable ? 0 : FILE_SHARE_READ;
  HANDLE file = CreateFileA(path, access.file, share, nullptr, OPEN_EXISTING, 0, nullptr);
  // A file that another handle will delete, and that shares its reading (standard input's copy), is
  // read sharing that deletion: it goes when its last handle closes. No writer is let in either way.
  if (file == INVALID_HANDLE_VALUE && kind == ViewKind::read_only && GetLastError() == ERROR_SHARING_VIOLATION)
    file = CreateFileA(path, access.file, share | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return last_open_error(path);
  // From here on the view owns what it holds: returning early releases it in reverse order.
  view.file_.reset(reinterpret_cast<std::intptr_t>(file));

  // The size is read before mapping: with no sharing it cannot change while the view is open. A
  // mapped part of 4 GiB or more does not fit the 32-bit address space; the rest of a longer file
  // is never mapped, so it may be any length.
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(file, &length)) return last_system_error();
  // An empty file has nothing to map: the mapping below would fail with ERROR_FILE_INVALID.
  if (length.QuadPart <= 0) return SystemError{FileFault::empty_file, 0};
  view.file_size_ = static_cast<std::uint64_t>(length.QuadPart);
  const std::uint64_t mapped = std::min(view.file_size_, std::max<std::uint64_t>(max_bytes, 1));
  if (mapped > MAXDWORD) return SystemError{FileFault::too_large, 0};
  const auto size = static_cast<DWORD>(mapped);

  // The mapping object is as long as the part that is mapped, not the file.
  const HANDLE mapping = CreateFileMappingA(file, nullptr, access.protection, 0, size, nullptr);
  if (mapping == nullptr) return last_system_error();
  view.mapping_.reset(reinterpret_cast<std::intptr_t>(mapping));

  void* data = MapViewOfFile(mapping, access.view, 0, 0, size);
  if (data == nullptr) return last_system_error();
  view.view_.reset({static_cast<std::uint8_t*>(data), size, kind == ViewKind::writable});
  view.mapped_extent_ = size;
  run_view_opened_hook(path);
  return view;
}

std::optional<SystemError> FileView::map_window(std::uint64_t offset, std::uint64_t length) {
  const bool writable = view_.get().writable;
  view_.reset();
  skip_ = 0;
  if (offset + length > file_size_ || length == 0) return SystemError{FileFault::too_large, 0};
  // Windows maps views at its allocation granularity (64 KiB), from a mapping object that covers
  // the window: the first one made covers only the start that was mapped, so it is made again for
  // the whole file when a window reaches past it.
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const std::uint64_t start = offset / system.dwAllocationGranularity * system.dwAllocationGranularity;
  const std::uint64_t size = length + (offset - start);
  if (size > MAXDWORD) return SystemError{FileFault::too_large, 0};
  if (offset + length > mapped_extent_) {
    mapping_.reset();
    const HANDLE mapping =
        CreateFileMappingA(as_handle(file_.get()), nullptr, writable ? PAGE_READWRITE : PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) return last_system_error();
    mapping_.reset(reinterpret_cast<std::intptr_t>(mapping));
    mapped_extent_ = file_size_;
  }
  void* data = MapViewOfFile(as_handle(mapping_.get()), writable ? FILE_MAP_WRITE : FILE_MAP_READ,
                             static_cast<DWORD>(start >> 32), static_cast<DWORD>(start), static_cast<SIZE_T>(size));
  if (data == nullptr) return last_system_error();
  view_.reset({static_cast<std::uint8_t*>(data), static_cast<std::size_t>(size), writable});
  skip_ = static_cast<std::size_t>(offset - start);
  return std::nullopt;
}

bool FileView::same_file(const FileView& other) const {
  if (!file_ || !other.file_) return false;
  return same_file_handles(as_handle(file_.get()), as_handle(other.file_.get()));
}

bool same_existing_file(const char* a, const char* b) {
  const SystemFile first = open_for_identity(a);
  const SystemFile second = open_for_identity(b);
  return first && second && same_file_handles(as_handle(first.get()), as_handle(second.get()));
}
