// Where a reader's bytes come from: pieces of a file, copied out so that the file being cut short
// under the reading is met as a refusal, not a fault. Readers of pictures that are read forward a
// piece at a time (PNG, GIF, EXIF) take their bytes through it, from a whole view in memory or
// through windows of a file that is never mapped whole.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "files/failure.h"
#include "files/file_view.h"

// The refusal's reason when the bytes asked for lie past the end of the file; a reader that
// knows the format says so in its own words ("the PNG is cut short").
inline constexpr char past_the_end_reason[] = "the file is cut short";

class ByteWindows {
 public:
  virtual ~ByteWindows() = default;
  virtual std::uint64_t size() const = 0;
  // Copies the bytes from `offset` on into `into`, all of them inside the file; the refusal when
  // they could not be had: past_the_end_reason, the file cut short while it was read, or the
  // system's cause for a window that could not be mapped.
  std::optional<Failure> copy(std::uint64_t offset, std::span<std::uint8_t> into);

 private:
  // Copies a piece that is not empty and lies inside the file.
  virtual std::optional<Failure> copy_inside(std::uint64_t offset, std::span<std::uint8_t> into) = 0;
};

// Bytes that are all in memory (a whole view of a file, or a test's).
class SpanByteWindows final : public ByteWindows {
 public:
  explicit SpanByteWindows(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }

 private:
  std::optional<Failure> copy_inside(std::uint64_t offset, std::span<std::uint8_t> into) override;

  std::span<const std::uint8_t> bytes_;
};

// A file read through windows of `window_bytes` mapped by its view as the reading needs them. The
// view stays the caller's; what it maps when given is used as the first window.
class ViewByteWindows final : public ByteWindows {
 public:
  explicit ViewByteWindows(FileView& view, std::uint64_t window_bytes = std::uint64_t{1} << 20)
      : view_(&view), window_bytes_(window_bytes) {}
  std::uint64_t size() const override { return view_->file_size(); }

 private:
  std::optional<Failure> copy_inside(std::uint64_t offset, std::span<std::uint8_t> into) override;

  FileView* view_;
  std::uint64_t window_bytes_;
  std::uint64_t window_at_ = 0;
  bool mapped_ = true;
};
