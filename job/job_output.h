// Where a job's walk writes its output as it makes it: the output file itself, created beside its
// target and put in its place once complete (the command line, which streams), a stream that takes
// each piece as it is made (standard output: a band at a time, never the whole output), or memory
// that is saved once the input is released (the dialogs, whose input and output may be one file).
// Memory is one block of the output's size when it is known beforehand, so that the bytes are not
// copied. A stream cannot take back what it was given: a walk that fails midway leaves its start
// there, and its outcome says how many bytes went.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "files/byte_stream.h"
#include "files/output_block.h"
#include "files/output_file.h"
#include "job/job.h"

class JobOutput {
 public:
  // The output file begun at `path` ("Saving" told first), or the refusal that names the cause.
  static std::variant<JobOutput, Outcome> to_file(const std::string& path, JobProgress& progress,
                                                  Links links = Links::follow);
  // Memory for an output of `size` bytes, or of a size not known beforehand.
  static std::variant<JobOutput, Outcome> to_memory(std::optional<std::uint64_t> size);
  // The stream, which stays the caller's ("Saving" told first).
  static JobOutput to_stream(OutputStream& stream, JobProgress& progress);

  // Appends `bytes`; the refusal when they could not be written or held.
  std::optional<Outcome> write(std::span<const std::uint8_t> bytes);
  std::optional<Outcome> write(std::string_view text);

  // Puts a file in its target's place, or for memory saves it at `path` ("Saving" told first): the
  // job's outcome. Memory is freed before the job reports that it is done. A stream has nothing
  // left to do.
  Outcome finish(const std::string& path, JobProgress& progress, std::vector<std::string> warnings = {});

 private:
  JobOutput() = default;

  std::optional<OutputFile> file_;
  std::optional<OutputBlock> block_;
  OutputStream* stream_ = nullptr;
  std::uint64_t streamed_ = 0;
  std::size_t at_ = 0;
  std::vector<std::uint8_t> bytes_;
};
