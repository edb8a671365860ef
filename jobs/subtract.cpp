// Orvane's Generate job: the second file subtracted from the first, 32-bit little-endian word by
// word, modulo 2^32, in place through a writable view of the first file. A borrow never passes from
// one word into the next. From the command line the same difference can go to a new file instead,
// the image left as it is.
#include "jobs/subtract.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "files/file_view.h"
#include "files/output_block.h"
#include "files/view_access.h"
#include "job/save_output.h"
#include "pixels/subtract_words.h"

namespace {

// The two views of a subtraction, or the status that refuses it.
struct Operands {
  std::optional<FileView> image;
  std::optional<FileView> sub;
  const char* refusal = nullptr;
};

// Opens the image (writable when it is changed in place), then the sub image, and checks that the
// sub image covers the image.
Operands open_operands(const char* image_path, const char* sub_path, ViewKind image_kind) {
  Operands operands;
  std::variant<FileView, SystemError> opened_image = FileView::open(image_path, image_kind);
  if (FileView* image = std::get_if<FileView>(&opened_image)) operands.image = std::move(*image);
  if (!operands.image) {
    operands.refusal = status::cannot_open_image;
    return operands;
  }
  std::variant<FileView, SystemError> opened_sub = FileView::open(sub_path, ViewKind::read_only);
  if (FileView* sub = std::get_if<FileView>(&opened_sub)) operands.sub = std::move(*sub);
  // The views' lock already refuses the image under a second name; the identity check also holds
  // where the file system only emulates that lock per process.
  if (!operands.sub || operands.sub->same_file(*operands.image)) {
    operands.refusal = status::cannot_open_sub_image;
  } else if (operands.sub->bytes().size() < operands.image->bytes().size()) {
    operands.refusal = status::sub_image_too_short;
  }
  return operands;
}

// Subtracts under a guard against either file being cut short by another program meanwhile: the
// words done until then stay done, the rest stays as it was, and the file that lost its pages is
// reported as unreadable. Nullptr when the whole subtraction ran.
const char* guarded_subtract(std::span<std::uint8_t> out, const Operands& operands) {
  const std::span<const std::uint8_t> image = operands.image->bytes();
  const std::span<const std::uint8_t> sub = operands.sub->bytes().first(image.size());
  const void* fault = access_views([&] { subtract_words(out, image, sub); });
  if (fault == nullptr) return nullptr;
  const auto* at = static_cast<const std::uint8_t*>(fault);
  const bool in_image = at >= image.data() && at < image.data() + image.size();
  return in_image ? status::cannot_open_image : status::cannot_open_sub_image;
}

// Subtracts in place and returns the status to show once both views are closed: the sub image's
// first, then the image's, so that the difference is in the file before "Done" appears.
const char* subtract_in_place_files(const char* image_path, const char* sub_path) {
  const Operands operands = open_operands(image_path, sub_path, ViewKind::writable);
  if (operands.refusal != nullptr) return operands.refusal;
  const char* fault = guarded_subtract(operands.image->writable_bytes(), operands);
  return fault != nullptr ? fault : status::done;
}

// The difference into a new file: computed into an output block while both views are held, then
// saved once they are closed.
void subtract_into_file(JobFrame& frame, const char* out_path) {
  std::optional<OutputBlock> block;
  {
    const Operands operands = open_operands(frame.path(Field::first), frame.path(Field::second), ViewKind::read_only);
    if (operands.refusal != nullptr) {
      frame.set_status(operands.refusal);
      return;
    }
    const std::span<const std::uint8_t> image = operands.image->bytes();
    block = OutputBlock::allocate(static_cast<std::uint32_t>(image.size()));
    if (!block) {
      frame.set_status(status::out_of_memory);
      return;
    }
    if (const char* fault = guarded_subtract(block->bytes(), operands)) {
      frame.set_status(fault);
      return;
    }
  }
  save_output(frame, out_path, std::move(*block));
}

}  // namespace

void subtract(JobFrame& frame) {
  // Both fields are read even when one is empty; an empty path then fails to open as a view.
  if (!read_paths(frame, OnEmptyField::go_on)) return;
  const std::string& output = frame.options().output;
  if (!output.empty()) {
    subtract_into_file(frame, output.c_str());
    return;
  }
  frame.set_status(subtract_in_place_files(frame.path(Field::first), frame.path(Field::second)));
}
