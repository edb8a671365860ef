#include "job/job_output.h"

#include <algorithm>
#include <cassert>
#include <new>
#include <utility>

#include "job/convert.h"

std::variant<JobOutput, Outcome> JobOutput::to_file(const std::string& path, JobProgress& progress, Links links) {
  std::variant<OutputFile, Outcome> created = begin_output(path, progress, links);
  if (Outcome* refused = std::get_if<Outcome>(&created)) return std::move(*refused);
  JobOutput output;
  output.file_.emplace(std::get<OutputFile>(std::move(created)));
  return output;
}

std::variant<JobOutput, Outcome> JobOutput::to_memory(std::optional<std::uint64_t> size) {
  JobOutput output;
  if (!size) return output;
  if (*size > UINT32_MAX) return refusal(Ending::out_of_memory, "the output would not fit 4 GiB");
  output.block_ = OutputBlock::allocate(static_cast<std::uint32_t>(*size));
  if (!output.block_) return refusal(Ending::out_of_memory);
  return output;
}

JobOutput JobOutput::to_stream(OutputStream& stream, JobProgress& progress) {
  progress.saving();
  JobOutput output;
  output.stream_ = &stream;
  return output;
}

std::optional<Outcome> JobOutput::write(std::span<const std::uint8_t> bytes) {
  if (stream_ != nullptr) {
    if (bytes.empty()) return std::nullopt;
    std::size_t written = 0;
    if (std::optional<SystemError> error = stream_->write(bytes, written)) {
      streamed_ += written;
      // A reader that went away (`| head`) or a full disk: what was written stays written, so the
      // message says how much went before the stream stopped taking it.
      Outcome outcome = not_saved(*error);
      outcome.reason = std::string(stream_->name()) + " failed after " + std::to_string(streamed_) + " bytes";
      if (error->code == 0 && error->kind == FileFault::other) outcome.cause.clear();
      return outcome;
    }
    streamed_ += bytes.size();
    return std::nullopt;
  }
  if (file_) {
    if (std::optional<SystemError> error = file_->write(bytes)) return not_saved(*error);
    return std::nullopt;
  }
  if (block_) {
    assert(at_ + bytes.size() <= block_->bytes().size());
    std::copy(bytes.begin(), bytes.end(), block_->bytes().begin() + static_cast<std::ptrdiff_t>(at_));
    at_ += bytes.size();
    return std::nullopt;
  }
  if (std::optional<Failure> failed = within_memory("the output does not fit in memory",
                                                    [&] { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }))
    return refusal(std::move(*failed));
  return std::nullopt;
}

std::optional<Outcome> JobOutput::write(std::string_view text) {
  return write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

Outcome JobOutput::finish(const std::string& path, JobProgress& progress, std::vector<std::string> warnings) {
  Outcome outcome;
  outcome.warnings = std::move(warnings);
  if (stream_ != nullptr) return outcome;
  if (file_) {
    if (std::optional<SystemError> error = file_->commit()) return not_saved(*error);
    return outcome;
  }
  if (!block_) {
    block_ = OutputBlock::copy_of(bytes_);
    bytes_ = {};
    if (!block_) return refusal(Ending::out_of_memory);
  }
  OutputBlock block = std::move(*block_);
  block_.reset();
  return save(path, Converted{std::move(block), std::move(outcome.warnings)}, progress);
}
