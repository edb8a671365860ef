#include "files/file_view.h"

#include <cassert>

std::span<std::uint8_t> FileView::writable_bytes() const {
  // The pages of a read-only view are mapped without write access: a write would fault.
  assert(view_.get().writable);
  if (!view_.get().writable) return {};
  return {view_.get().data + skip_, view_.get().size - skip_};
}
