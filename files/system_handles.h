// The system resources that file views, output files and output blocks hold, as policies of
// Owned (owned.h). Handles are kept as plain integers and pointers so that this header needs no
// system header; each platform's twin file says how each one is released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "files/owned.h"
#include "files/system_error.h"

// A file handle (Win32) or descriptor (POSIX). -1 is INVALID_HANDLE_VALUE on Win32.
struct SystemFilePolicy {
  using Handle = std::intptr_t;
  static Handle empty() { return -1; }
  static void release(Handle file);
};
using SystemFile = Owned<SystemFilePolicy>;

// Writes all of `bytes` to `file` at its current place, as many calls as the system takes; nullopt
// when every byte was written, else why one was not (a write that makes no progress is a failure,
// though the system names no cause).
std::optional<SystemError> write_all(const SystemFile& file, std::span<const std::uint8_t> bytes);

// The name of a file that exists only until it is handed on (an output written beside its target):
// releasing it removes the file. Close any handle to the file first: Windows deletes no open file.
struct TemporaryNamePolicy {
  using Handle = std::string;
  static Handle empty() { return {}; }
  static void release(const Handle& path);
};
using TemporaryName = Owned<TemporaryNamePolicy>;

// A file mapping object (Win32 only: POSIX maps straight from the descriptor).
struct FileMappingPolicy {
  using Handle = std::intptr_t;
  static Handle empty() { return 0; }
  static void release(Handle mapping);
};
using FileMapping = Owned<FileMappingPolicy>;

// The mapped bytes of a file view. A writable region's changes are put in the file itself before
// it is unmapped.
struct MappedRegion {
  std::uint8_t* data = nullptr;
  std::size_t size = 0;
  bool writable = false;
  friend bool operator==(const MappedRegion&, const MappedRegion&) = default;
};
struct MappedRegionPolicy {
  using Handle = MappedRegion;
  static Handle empty() { return {}; }
  static void release(Handle region);
};
using Mapping = Owned<MappedRegionPolicy>;

// An output block's memory: a global memory handle (Win32, locked while held, `data` its locked
// address) or heap memory (`handle` and `data` the same).
struct LockedBlock {
  void* handle = nullptr;
  std::uint8_t* data = nullptr;
  std::size_t size = 0;
  friend bool operator==(const LockedBlock&, const LockedBlock&) = default;
};
struct LockedBlockPolicy {
  using Handle = LockedBlock;
  static Handle empty() { return {}; }
  static void release(Handle block);
};
using MemoryBlock = Owned<LockedBlockPolicy>;
