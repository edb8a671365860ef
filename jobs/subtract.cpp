// Orvane's Generate job: the second file subtracted from the first, 32-bit little-endian word by
// word, modulo 2^32, in place through a writable view of the first file. A borrow never passes from
// one word into the next. From the command line the same difference can go to a new file instead,
// the image left as it is.
#include "jobs/subtract.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "files/file_view.h"
#include "files/interruption_note.h"
#include "files/output_file.h"
#include "files/view_access.h"
#include "job/convert.h"
#include "job/job.h"
#include "pixels/subtract_words.h"

namespace {

// Both files are walked a window at a time, so that a subtraction of files of any size takes a few
// megabytes of memory (and fits the 32-bit build's address space). A multiple of 4, so that no word
// is split between two windows, and of the 64 KiB at which Windows maps views.
constexpr std::uint64_t window_bytes = std::uint64_t{4} << 20;

// The two views of a subtraction, each at its first window, or the outcome that refuses it.
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
  std::variant<FileView, SystemError> image = FileView::open(image_path.c_str(), image_kind, window_bytes);
  if (const SystemError* error = std::get_if<SystemError>(&image)) {
    operands.refusal = refusal(Ending::cannot_open_image, {}, describe(*error));
    return operands;
  }
  operands.image = std::get<FileView>(std::move(image));
  std::variant<FileView, SystemError> sub = FileView::open(sub_path.c_str(), ViewKind::read_only, window_bytes);
  if (const SystemError* error = std::get_if<SystemError>(&sub)) {
    operands.refusal = refusal(Ending::cannot_open_sub_image, {}, describe(*error));
    return operands;
  }
  operands.sub = std::get<FileView>(std::move(sub));
  const std::uint64_t image_size = operands.image->file_size();
  const std::uint64_t sub_size = operands.sub->file_size();
  // The views' lock already refuses the image under a second name; the identity check also holds
  // where the file system only emulates that lock per process.
  if (operands.sub->same_file(*operands.image)) {
    operands.refusal = refusal(Ending::cannot_open_sub_image, "it is the image");
  } else if (sub_size < image_size) {
    operands.refusal = refusal(Ending::sub_image_too_short);
  } else if (refuse_longer_sub && sub_size > image_size) {
    operands.refusal = refusal(Ending::sub_image_too_long,
                               std::to_string(sub_size) + " bytes against the image's " + std::to_string(image_size) +
                                   "; are IMAGE and SUB the wrong way round? --longer-sub takes it as it is");
  }
  return operands;
}

// Where a subtraction stopped: a file cut short by another program meanwhile, or a window that
// could not be mapped. The words are done in order, so every word before `done` holds its
// difference; `in_place` says that those words are the image's own.
Outcome stopped(bool in_image, std::string why, std::uint64_t done, std::uint64_t size, bool in_place) {
  Outcome outcome = refusal(in_image ? Ending::cannot_open_image : Ending::cannot_open_sub_image,
                            std::string(in_image ? "the image" : "the sub image") + std::move(why));
  if (in_place && done > 0)
    outcome.reason += "; the image is partly changed: its first " + std::to_string(done) + " of " +
                      std::to_string(size) + " bytes hold the difference, the rest is as it was";
  return outcome;
}

// Subtracts window by window. In place, each window's difference goes into the image through its
// writable view; otherwise into `buffer`, which `emit` takes before the next window. Under a guard
// against either file being cut short: the words done until then stay done, the rest stays as it
// was, and the file that lost its pages is reported as unreadable.
template <typename Emit>
Outcome walk(Operands& operands, bool in_place, std::span<std::uint8_t> buffer, Emit&& emit,
             std::atomic<std::uint64_t>* done = nullptr) {
  FileView& image_view = *operands.image;
  FileView& sub_view = *operands.sub;
  const std::uint64_t size = image_view.file_size();
  for (std::uint64_t offset = 0; offset < size; offset += window_bytes) {
    const std::uint64_t length = std::min(window_bytes, size - offset);
    if (offset != 0) {
      if (std::optional<SystemError> error = image_view.map_window(offset, length))
        return stopped(true, ": " + describe(*error), offset, size, in_place);
      if (std::optional<SystemError> error = sub_view.map_window(offset, length))
        return stopped(false, ": " + describe(*error), offset, size, in_place);
    }
    const std::span<const std::uint8_t> image = image_view.bytes();
    const std::span<const std::uint8_t> sub = sub_view.bytes().first(image.size());
    const std::span<std::uint8_t> out = in_place ? image_view.writable_bytes() : buffer.first(image.size());
    const void* fault = access_views([&] { subtract_words(out, image, sub); });
    if (fault != nullptr) {
      const auto* at = static_cast<const std::uint8_t*>(fault);
      const bool in_image = at >= image.data() && at < image.data() + image.size();
      const std::uint64_t within = static_cast<std::uint64_t>(at - (in_image ? image.data() : sub.data()));
      return stopped(in_image, " was cut short while it was read", offset + within / 4 * 4, size, in_place);
    }
    if (std::optional<Outcome> refused = emit(std::span<const std::uint8_t>(out))) return std::move(*refused);
    if (done != nullptr) done->store(offset + length, std::memory_order_relaxed);
  }
  return {};
}

// Subtracts in place. Both views are closed on return, the sub image's first, then the image's, so
// that the difference is in the file before the job reports it done.
Outcome subtract_in_place(const JobPaths& paths, const SubtractOptions& options) {
  Operands operands = open_operands(paths.first, paths.second, ViewKind::writable, options.refuse_longer_sub);
  if (operands.refusal) return *operands.refusal;
  // Interrupted, the image keeps the windows done: say how much of it holds the difference (at
  // least that much; a window under way may be partly done too).
  std::atomic<std::uint64_t> done{0};
  const InterruptionNote note(paths.first + ": interrupted: the image is partly changed: its first ", done,
                              " of " + std::to_string(operands.image->file_size()) +
                                  " bytes hold the difference, the next up to " + std::to_string(window_bytes) +
                                  " may too, and the rest is as it was\n");
  return walk(
      operands, true, {}, [](std::span<const std::uint8_t>) { return std::optional<Outcome>(); }, &done);
}

// The difference into a new file, written a window at a time as it is made; the new file takes its
// name only once it is complete, so a failure leaves what was at that name.
Outcome subtract_into_file(const JobPaths& paths, const SubtractOptions& options, JobProgress& progress) {
  Operands operands = open_operands(paths.first, paths.second, ViewKind::read_only, options.refuse_longer_sub);
  if (operands.refusal) return *operands.refusal;
  std::vector<std::uint8_t> buffer;
  if (std::optional<Failure> failed = within_memory("the difference's buffer does not fit in memory", [&] {
        buffer.resize(static_cast<std::size_t>(std::min(window_bytes, operands.image->file_size())));
      }))
    return refusal(std::move(*failed));
  std::variant<OutputFile, Outcome> created = begin_output(options.output, progress);
  if (Outcome* refused = std::get_if<Outcome>(&created)) return std::move(*refused);
  OutputFile& output = std::get<OutputFile>(created);
  Outcome outcome = walk(operands, false, buffer, [&](std::span<const std::uint8_t> difference) {
    std::optional<Outcome> refused;
    if (std::optional<SystemError> error = output.write(difference)) refused = not_saved(*error);
    return refused;
  });
  if (!outcome.done()) return outcome;
  if (std::optional<SystemError> error = output.commit()) return not_saved(*error);
  return outcome;
}

}  // namespace

Outcome subtract(const JobPaths& paths, const SubtractOptions& options, JobProgress& progress) {
  if (!options.output.empty()) return subtract_into_file(paths, options, progress);
  return subtract_in_place(paths, options);
}
