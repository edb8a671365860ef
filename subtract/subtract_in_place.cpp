// Orvane's Generate job: the second file subtracted from the first, 32-bit little-endian word by
// word, modulo 2^32, in place through a writable view of the first file. A borrow never passes from
// one word into the next.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "files/file_view.h"
#include "frame/programs.h"
#include "pixels/subtract_words.h"

namespace {

// Subtracts in place and returns the status to show once both views are closed: the sub image's
// first, then the image's, so that the difference is in the file before "Done" appears.
const char* subtract_files(const char* image_path, const char* sub_path) {
  const std::optional<FileView> image = FileView::open(image_path, ViewKind::writable);
  if (!image) return status::cannot_open_image;
  const std::optional<FileView> sub = FileView::open(sub_path, ViewKind::read_only);
  // The views' lock already refuses the image under a second name; the identity check also holds
  // where the file system only emulates that lock per process.
  if (!sub || sub->same_file(*image)) return status::cannot_open_sub_image;

  const std::size_t length = std::min<std::size_t>(image->file_length(), image->bytes().size());
  if (sub->bytes().size() < length) return status::sub_image_too_short;
  subtract_words(image->writable_bytes().first(length), sub->bytes().first(length));
  return status::done;
}

}  // namespace

void subtract_in_place(JobFrame& frame) {
  // Both fields are read even when one is empty; an empty path then fails to open as a view.
  if (!read_paths(frame, OnEmptyField::go_on)) return;
  frame.set_status(subtract_files(frame.path(Field::first), frame.path(Field::second)));
}
