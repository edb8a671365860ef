#include "files/file_view.h"

#include <cassert>
#include <utility>

FileView::FileView(FileView&& other) noexcept
    : kind_(other.kind_),
      file_(std::exchange(other.file_, -1)),
      mapping_(std::exchange(other.mapping_, 0)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

FileView& FileView::operator=(FileView&& other) noexcept {
  if (this != &other) {
    close();
    kind_ = other.kind_;
    file_ = std::exchange(other.file_, -1);
    mapping_ = std::exchange(other.mapping_, 0);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

FileView::~FileView() { close(); }

std::span<std::uint8_t> FileView::writable_bytes() const {
  // The pages of a read-only view are mapped without write access: a write would fault.
  assert(kind_ == ViewKind::writable);
  if (kind_ != ViewKind::writable) return {};
  return {data_, size_};
}
