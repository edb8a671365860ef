// A file view: a whole file made addressable in memory, read-only or writable, held with no
// sharing: while a view is open, every other open of the same file through a view fails, in this
// program or in another of the tools. Changes made through a writable view are in the file once
// the view is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

enum class ViewKind { read_only, writable };

class FileView {
 public:
  // Opens the file at `path`, maps all of it and returns the view; nullopt when any step fails
  // (missing, a folder, no access, empty, 4 GiB or longer, already held by another view), with
  // nothing left open.
  static std::optional<FileView> open(const char* path, ViewKind kind);

  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;
  FileView(FileView&& other) noexcept;
  FileView& operator=(FileView&& other) noexcept;
  ~FileView();  // unmaps the view, then closes the mapping, then the file

  // Every byte of the file at the length it had when opened. Writable only for ViewKind::writable;
  // a read-only view gives an empty span there.
  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
  std::span<std::uint8_t> writable_bytes() const;

  // The file's length as the system reports it now, low 32 bits. Callers bound their reads by
  // bytes() as well: only the bytes mapped at open are addressable.
  std::uint32_t file_length() const;

  // True when both views are of the same file, under whatever names they were opened.
  bool same_file(const FileView& other) const;

 private:
  FileView() = default;
  void close();

  ViewKind kind_ = ViewKind::read_only;
  std::intptr_t file_ = -1;    // file handle or descriptor
  std::intptr_t mapping_ = 0;  // mapping handle; unused on POSIX
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};
