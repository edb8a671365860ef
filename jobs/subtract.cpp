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
#include "job/convert.h"
#include "pixels/subtract_words.h"

namespace {

// The two views of a subtraction, or the outcome that refuses it.
struct Operands {
  std::optional<FileView> image;
  std::optional<FileView> sub;
  std::optional<Outcome> refusal;
};

// Opens the image (writable when it is changed in place), then the sub image, and checks that the
// sub image covers the image.
Operands open_operands(const std::string& image_path, const std::string& sub_path, ViewKind image_kind,
                       bool refuse_longer_sub) {
  Operands operands;
  std::variant<FileView, SystemError> image = FileView::open(image_path.c_str(), image_kind);
  if (const SystemError* error = std::get_if<SystemError>(&image)) {
    operands.refusal = refusal(Ending::cannot_open_image, {}, describe(*error));
    return operands;
  }
  operands.image = std::get<FileView>(std::move(image));
  std::variant<FileView, SystemError> sub = FileView::open(sub_path.c_str(), ViewKind::read_only);
  if (const SystemError* error = std::get_if<SystemError>(&sub)) {
    operands.refusal = refusal(Ending::cannot_open_sub_image, {}, describe(*error));
    return operands;
  }
  operands.sub = std::get<FileView>(std::move(sub));
  // The views' lock already refuses the image under a second name; the identity check also holds
  // where the file system only emulates that lock per process.
  if (operands.sub->same_file(*operands.image)) {
    operands.refusal = refusal(Ending::cannot_open_sub_image, "it is the image");
  } else if (operands.sub->bytes().size() < operands.image->bytes().size()) {
    operands.refusal = refusal(Ending::sub_image_too_short);
  } else if (refuse_longer_sub && operands.sub->bytes().size() > operands.image->bytes().size()) {
    operands.refusal = refusal(Ending::sub_image_too_long,
                               std::to_string(operands.sub->bytes().size()) + " bytes against the image's " +
                                   std::to_string(operands.image->bytes().size()) +
                                   "; are IMAGE and SUB the wrong way round? --longer-sub takes it as it is");
  }
  return operands;
}

// Subtracts under a guard against either file being cut short by another program meanwhile: the
// words done until then stay done, the rest stays as it was, and the file that lost its pages is
// reported as unreadable. The words are done in order, so every word before the one whose page was
// lost holds its difference; `in_place` says that those words are the image's own.
Outcome guarded_subtract(std::span<std::uint8_t> out, const Operands& operands, bool in_place) {
  const std::span<const std::uint8_t> image = operands.image->bytes();
  const std::span<const std::uint8_t> sub = operands.sub->bytes().first(image.size());
  const void* fault = access_views([&] { subtract_words(out, image, sub); });
  if (fault == nullptr) return {};
  const auto* at = static_cast<const std::uint8_t*>(fault);
  const bool in_image = at >= image.data() && at < image.data() + image.size();
  Outcome outcome = refusal(in_image ? Ending::cannot_open_image : Ending::cannot_open_sub_image,
                            std::string(in_image ? "the image" : "the sub image") + " was cut short while it was read");
  if (in_place) {
    const std::size_t offset = static_cast<std::size_t>(at - (in_image ? image.data() : sub.data()));
    const std::size_t done_bytes = offset / 4 * 4;
    outcome.reason += "; the image is partly changed: its first " + std::to_string(done_bytes) + " of " +
                      std::to_string(image.size()) + " bytes hold the difference, the rest is as it was";
  }
  return outcome;
}

// Subtracts in place. Both views are closed on return, the sub image's first, then the image's, so
// that the difference is in the file before the job reports it done.
Outcome subtract_in_place(const JobPaths& paths, const SubtractOptions& options) {
  const Operands operands = open_operands(paths.first, paths.second, ViewKind::writable, options.refuse_longer_sub);
  if (operands.refusal) return *operands.refusal;
  return guarded_subtract(operands.image->writable_bytes(), operands, true);
}

// The difference into a new file: computed into an output block while both views are held, then
// saved once they are closed.
Outcome subtract_into_file(const JobPaths& paths, const SubtractOptions& options, JobProgress& progress) {
  return convert_and_save(options.output, progress, [&]() -> Conversion {
    const Operands operands = open_operands(paths.first, paths.second, ViewKind::read_only, options.refuse_longer_sub);
    if (operands.refusal) return *operands.refusal;
    std::variant<OutputBlock, Outcome> allocated =
        allocate_output(static_cast<std::uint32_t>(operands.image->bytes().size()));
    if (Outcome* refused = std::get_if<Outcome>(&allocated)) return std::move(*refused);
    Converted converted{std::get<OutputBlock>(std::move(allocated))};
    if (Outcome fault = guarded_subtract(converted.block.bytes(), operands, false); !fault.done()) return fault;
    return converted;
  });
}

}  // namespace

Outcome subtract(const JobPaths& paths, const SubtractOptions& options, JobProgress& progress) {
  if (!options.output.empty()) return subtract_into_file(paths, options, progress);
  return subtract_in_place(paths, options);
}
