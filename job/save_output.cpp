#include "job/save_output.h"

#include <utility>

#include "files/output_file.h"

void save_output(JobFrame& frame, const char* path, OutputBlock block, std::span<const std::uint8_t> header) {
  frame.set_status(status::saving);
  std::optional<SystemError> failure;
  {
    const OutputBlock written = std::move(block);
    failure = save_output_file(path, {header, written.bytes()});
  }  // The block is freed here, before "Done".
  if (!failure) frame.set_status(status::done);
}
