#include <windows.h>

#include "files/file_identity.h"
#include "files/system_handles.h"

std::optional<FileIdentity> file_identity(const char* path) {
  // No access to the contents and every sharing mode: the file may be held by a view. Backup
  // semantics open a folder too.
  const SystemFile file(
      reinterpret_cast<std::intptr_t>(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
  if (!file) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(file.get()), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}
