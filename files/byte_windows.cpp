#include "files/byte_windows.h"

#include <algorithm>
#include <cstring>

#include "files/view_access.h"

namespace {

// Copies `into.size()` bytes from `from`, met as the file cut short if it is cut under the copy.
std::optional<Failure> copy_guarded(const std::uint8_t* from, std::span<std::uint8_t> into) {
  if (access_views([&] { std::memcpy(into.data(), from, into.size()); }) != nullptr)
    return Failure{Fault::cannot_open, cut_short_reason};
  return std::nullopt;
}

}  // namespace

std::optional<Failure> ByteWindows::copy(std::uint64_t offset, std::span<std::uint8_t> into) {
  const std::uint64_t length = size();
  if (offset > length || into.size() > length - offset) return Failure{Fault::cannot_open, past_the_end_reason};
  // An empty piece needs no window (none could be mapped at the very end) and may have no address,
  // which memcpy must not be given.
  if (into.empty()) return std::nullopt;
  return copy_inside(offset, into);
}

std::optional<Failure> SpanByteWindows::copy_inside(std::uint64_t offset, std::span<std::uint8_t> into) {
  return copy_guarded(bytes_.data() + offset, into);
}

std::optional<Failure> ViewByteWindows::copy_inside(std::uint64_t offset, std::span<std::uint8_t> into) {
  const std::uint64_t mapped = mapped_ ? view_->bytes().size() : 0;
  if (offset < window_at_ || offset - window_at_ > mapped || into.size() > mapped - (offset - window_at_)) {
    mapped_ = false;
    const std::uint64_t length = std::min(std::max<std::uint64_t>(window_bytes_, into.size()), size() - offset);
    if (std::optional<SystemError> error = view_->map_window(offset, length))
      return Failure{Fault::cannot_open, {}, *error};
    window_at_ = offset;
    mapped_ = true;
  }
  return copy_guarded(view_->bytes().data() + (offset - window_at_), into);
}
