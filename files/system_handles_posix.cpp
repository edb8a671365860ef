#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "files/system_handles.h"
#include "files/system_handles_posix.h"

// After a failed close(), even with EINTR, the descriptor is gone on Linux: never retry it.
void SystemFilePolicy::release(Handle file) { ::close(static_cast<int>(file)); }

std::optional<SystemError> write_all(const SystemFile& file, std::span<const std::uint8_t> bytes) {
  if (!file) return SystemError{FileFault::other, EBADF};
  while (!bytes.empty()) {
    const ssize_t written = ::write(static_cast<int>(file.get()), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return last_system_error();
    if (written == 0) return SystemError{FileFault::other, EIO};
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return std::nullopt;
}

// POSIX maps straight from the descriptor: there is never a mapping object to release.
void FileMappingPolicy::release(Handle) {}

void MappedRegionPolicy::release(Handle region) {
  // A shared mapping's changes are already visible to readers of the file; msync puts them in the
  // file itself before the view is gone.
  if (region.writable) ::msync(region.data, region.size, MS_SYNC);
  ::munmap(region.data, region.size);
}

// Without Win32 there is nothing to lock: a block is heap memory or a mapping of its own.
void LockedBlockPolicy::release(Handle block) {
  if (mapped_block(block.size)) {
    ::munmap(block.handle, block.size);
  } else {
    std::free(block.handle);
  }
}

void TemporaryNamePolicy::release(const Handle& path) { ::unlink(path.c_str()); }
