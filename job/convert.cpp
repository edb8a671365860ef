#include "job/convert.h"

#include "files/output_file.h"

std::variant<FileView, Outcome> open_input(const std::string& path, Ending ending, std::uint64_t max_bytes) {
  std::variant<FileView, SystemError> view = FileView::open(path.c_str(), ViewKind::read_only, max_bytes);
  if (const SystemError* error = std::get_if<SystemError>(&view)) return refusal(ending, {}, describe(*error));
  return std::get<FileView>(std::move(view));
}

std::variant<OutputBlock, Outcome> allocate_output(std::uint32_t size) {
  std::optional<OutputBlock> block = OutputBlock::allocate(size);
  if (!block) return refusal(Ending::out_of_memory);
  return std::move(*block);
}

std::variant<OutputFile, Outcome> begin_output(const std::string& path, JobProgress& progress, Links links) {
  progress.saving();
  std::variant<OutputFile, SystemError> created = OutputFile::create(path.c_str(), links);
  if (const SystemError* error = std::get_if<SystemError>(&created))
    return refusal(Ending::not_saved, {}, describe_output_error(*error, path.c_str()));
  return std::get<OutputFile>(std::move(created));
}

Outcome not_saved(const SystemError& error) { return refusal(Ending::not_saved, {}, describe(error)); }

Outcome save(const std::string& output, Converted converted, JobProgress& progress) {
  progress.saving();
  std::optional<SystemError> error;
  {
    const OutputBlock written = std::move(converted.block);
    error = save_output_file(output.c_str(), {written.bytes()});
  }  // The block is freed here, before the job reports that it is done.
  if (error) return refusal(Ending::not_saved, {}, describe_output_error(*error, output.c_str()));
  Outcome outcome;
  outcome.warnings = std::move(converted.warnings);
  return outcome;
}
