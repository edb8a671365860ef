// A file view: a whole file made addressable in memory, read-only or writable, held with no
// sharing: while a view is open, every other open of the same file through a view fails, in this
// program or in another of the tools. Changes made through a writable view are in the file once
// the view is closed.
#pragma once

#include <cstdint>
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
  // Opens the file at `path`, maps all of it and returns the view; or, when any step fails, why
  // (missing, a folder, no access, empty, 4 GiB or longer, already held by another view), with
  // nothing left open.
  static std::variant<FileView, SystemError> open(const char* path, ViewKind kind);

  // Every byte of the file at the length it had when opened. Writable only for ViewKind::writable;
  // a read-only view gives an empty span there.
  std::span<const std::uint8_t> bytes() const { return {view_.get().data, view_.get().size}; }
  std::span<std::uint8_t> writable_bytes() const;

  // True when both views are of the same file, under whatever names they were opened.
  bool same_file(const FileView& other) const;

 private:
  FileView() = default;

  // In the order of acquisition, so that closing unmaps the view, then closes the mapping, then
  // the file.
  SystemFile file_;
  FileMapping mapping_;
  Mapping view_;
};
