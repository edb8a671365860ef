#include <windows.h>

#include "files/system_handles.h"

void SystemFilePolicy::release(Handle file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

void FileMappingPolicy::release(Handle mapping) { CloseHandle(reinterpret_cast<HANDLE>(mapping)); }

// A writable view's pages reach the file when the view is unmapped.
void MappedRegionPolicy::release(Handle region) { UnmapViewOfFile(region.data); }

// A block is held locked; it is unlocked before it is freed.
void LockedBlockPolicy::release(Handle block) {
  GlobalUnlock(block.handle);
  GlobalFree(block.handle);
}

void TemporaryNamePolicy::release(const Handle& path) { DeleteFileA(path.c_str()); }
