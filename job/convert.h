// The shape of every job that writes an output file: open the input, convert it into an output
// block, release the input, then save the block. The input is let go before the output is created,
// so that both paths may name one file: the input is then replaced by its conversion.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "files/file_view.h"
#include "files/output_block.h"
#include "files/output_file.h"
#include "job/job.h"

// A conversion held in memory once its input is released.
struct Converted {
  OutputBlock block;
  std::vector<std::string> warnings = {};
};

using Conversion = std::variant<Converted, Outcome>;

// A read-only view of a job's input (of its first `max_bytes` bytes, for a job that reads no more),
// or the refusal that names the cause.
std::variant<FileView, Outcome> open_input(const std::string& path, Ending ending = Ending::cannot_open_input,
                                           std::uint64_t max_bytes = FileView::whole_file);

// An output block of `size` bytes, or the refusal for memory that could not be had.
std::variant<OutputBlock, Outcome> allocate_output(std::uint32_t size);

// Tells `progress` that the output is being saved, writes the block whole at
// `output`, and frees the block. Done, with the conversion's warnings; or not_saved with the cause,
// whatever was at the path as it was.
Outcome save(const std::string& output, Converted converted, JobProgress& progress);

// For a job that writes its output as it makes it: tells `progress` that the output is being saved
// and creates it beside its target, whose place it takes on commit(); or the refusal that names the
// cause.
std::variant<OutputFile, Outcome> begin_output(const std::string& path, JobProgress& progress,
                                               Links links = Links::follow);

// An output that could not be written or put in its target's place, with the system's cause.
Outcome not_saved(const SystemError& error);

// Runs `convert` (a Conversion()), which opens, converts and releases its input, then saves what it
// made at `output`.
template <typename Convert>
Outcome convert_and_save(const std::string& output, JobProgress& progress, Convert&& convert) {
  Conversion conversion = std::forward<Convert>(convert)();
  if (Outcome* refused = std::get_if<Outcome>(&conversion)) return std::move(*refused);
  return save(output, std::get<Converted>(std::move(conversion)), progress);
}
