#include "job/convert.h"

#include "files/output_file.h"

std::variant<FileView, Outcome> open_input(const std::string& path, Ending ending) {
  std::optional<FileView> view = FileView::open(path.c_str(), ViewKind::read_only);
  if (!view) return refusal(ending);
  return std::move(*view);
}

std::variant<OutputBlock, Outcome> allocate_output(std::uint32_t size) {
  std::optional<OutputBlock> block = OutputBlock::allocate(size);
  if (!block) return refusal(Ending::out_of_memory);
  return std::move(*block);
}

Outcome save(const std::string& output, Converted converted, JobProgress& progress) {
  progress.saving();
  bool saved = false;
  {
    const OutputBlock written = std::move(converted.block);
    saved = save_output_file(output.c_str(), {converted.header, written.bytes()});
  }  // The block is freed here, before the job reports that it is done.
  if (!saved) return refusal(Ending::not_saved);
  Outcome outcome;
  outcome.warnings = std::move(converted.warnings);
  return outcome;
}
