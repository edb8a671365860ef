// A file view: a file, or as much of its start as the program needs, made addressable in memory,
// read-only or writable, held with no sharing: while a view is open, every other open of the same
// file through a view fails, in this program or in another of the tools. Changes made through a
// writable view are in the file once the view is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

#include "files/system_error.h"
#include "files/system_handles.h"

enum class ViewKind { read_only, writable };

// True when both paths name one existing file, under whatever names; false when either is missing.
// Asks for no access to the files' contents, so it works on files that a view holds.
bool same_existing_file(const char* a, const char* b);

class FileView {
 public:
  static constexpr std::uint64_t whole_file = UINT64_MAX;

  // Opens the file at `path`, maps its first `max_bytes` bytes (at least one), or all of it when it
  // is shorter, and returns the view; or, when any step fails, why (missing, a folder, no access,
  // empty, a mapped part of 4 GiB or more, already held by another view), with nothing left open.
  // A job that reads only the start of a file maps only that, so a longer file costs it no memory
  // and does not have to fit the address space.
  static std::variant<FileView, SystemError> open(const char* path, ViewKind kind,
                                                  std::uint64_t max_bytes = whole_file);

  // Every mapped byte of the file, at the length it had when opened. Writable only for
  // ViewKind::writable; a read-only view gives an empty span there.
  std::span<const std::uint8_t> bytes() const { return {view_.get().data + skip_, view_.get().size - skip_}; }
  std::span<std::uint8_t> writable_bytes() const;

  // The file's whole length when the view was opened, mapped or not.
  std::uint64_t file_size() const { return file_size_; }

  // Maps the file's bytes from `offset` on, `length` of them (inside the file), in the place of
  // what was mapped: bytes() then gives them. A job walks a file of any length a window at a time
  // this way, in memory that stays small and in the 32-bit build's address space. The bytes of the
  // window before are gone (a writable window's changes are in the file); on a failure nothing is
  // mapped and bytes() is empty.
  std::optional<SystemError> map_window(std::uint64_t offset, std::uint64_t length);

  // True when both views are of the same file, under whatever names they were opened.
  bool same_file(const FileView& other) const;

 private:
  FileView() = default;

  // In the order of acquisition, so that closing unmaps the view, then closes the mapping, then
  // the file.
  SystemFile file_;
  FileMapping mapping_;
  Mapping view_;
  std::uint64_t file_size_ = 0;
  // Where the window's first byte lies in the mapped region, which starts at a boundary that the
  // system maps at.
  std::size_t skip_ = 0;
  // How much of the file the Win32 mapping object covers.
  std::uint64_t mapped_extent_ = 0;
  // POSIX: the region holds memory of the view's own that read-only windows are read into, each
  // window at its end (skip_ past the rest), kept from window to window, rather than a mapping.
  bool reads_windows_ = false;
};
