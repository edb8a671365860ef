#include "files/byte_windows.h"

#include <algorithm>
#include <cstring>

#include "files/view_access.h"

namespace {

Failure past_the_end() { return Failure{Fault::cannot_open, past_the_end_reason}; }

}  // namespace

std::optional<Failure> SpanByteWindows::copy(std::uint64_t offset, std::span<std::uint8_t> into) {
  if (offset > bytes_.size() || into.size() > bytes_.size() - offset) return past_the_end();
  // An empty piece may have no address at all, which memcpy must not be given.
  if (into.empty()) return std::nullopt;
  const std::uint8_t* from = bytes_.data() + offset;
  if (access_views([&] { std::memcpy(into.data(), from, into.size()); }) != nullptr)
    return Failure{Fault::cannot_open, cut_short_reason};
  return std::nullopt;
}

std::optional<Failure> ViewByteWindows::copy(std::uint64_t offset, std::span<std::uint8_t> into) {
  const std::uint64_t size = view_->file_size();
  if (offset > size || into.size() > size - offset) return past_the_end();
  // Nothing to copy needs no window, not even at the end, where none could be mapped.
  if (into.empty()) return std::nullopt;
  const std::uint64_t mapped = mapped_ ? view_->bytes().size() : 0;
  if (offset < window_at_ || offset - window_at_ > mapped || into.size() > mapped - (offset - window_at_)) {
    mapped_ = false;
    const std::uint64_t length = std::min(std::max<std::uint64_t>(window_bytes_, into.size()), size - offset);
    if (std::optional<SystemError> error = view_->map_window(offset, length))
      return Failure{Fault::cannot_open, {}, *error};
    window_at_ = offset;
    mapped_ = true;
  }
  const std::uint8_t* from = view_->bytes().data() + (offset - window_at_);
  if (access_views([&] { std::memcpy(into.data(), from, into.size()); }) != nullptr)
    return Failure{Fault::cannot_open, cut_short_reason};
  return std::nullopt;
}
