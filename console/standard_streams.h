// `-` for IN or OUT. Standard output takes the output a band at a time as the job makes it, so that
// an output of any size holds a band, not the whole, in memory. Standard input is read by the job as
// it goes: a BMP it converts in one walk is read band by band as it comes; anything else the job
// needs as a file (a picture to load or transform, a raw dump) is copied into a file of this run's
// own in the system's temporary folder (console/staging_file.h), at most as many bytes as the job can
// use, and the copy goes when the run is over. Nothing is copied before the job has looked at the first bytes.
#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "console/staging_file.h"
#include "files/byte_stream.h"

// The name that stands for standard input as IN and standard output as OUT.
inline constexpr std::string_view standard_stream = "-";

// Standard input as a job reads it (files/byte_stream.h), from `in`: its first bytes kept to be read
// again, and its copy, when the job asks for one, which lasts as long as this.
class StandardInput : public InputStream {
 public:
  explicit StandardInput(std::istream* in) : in_(in) {}

  std::string_view name() const override { return "standard input"; }
  std::variant<std::span<const std::uint8_t>, Failure> peek(std::size_t count) override;
  std::variant<std::size_t, Failure> read(std::span<std::uint8_t> bytes) override;
  std::variant<StagedInput, Failure> stage(std::uint64_t limit) override;

 private:
  // Up to `bytes.size()` bytes from `in_`: how many, 0 at its end.
  std::variant<std::size_t, Failure> take(std::span<std::uint8_t> bytes);

  std::istream* in_;
  std::vector<std::uint8_t> start_;
  std::size_t start_read_ = 0;  // of start_, by read()
  bool reading_ = false;
  std::optional<StagingFile> copy_;
};

// Standard output as a job writes it: the process's own (through the system, so that a failure
// keeps its cause), or `out` for a caller that gives its own stream.
class StandardOutput : public OutputStream {
 public:
  StandardOutput(std::ostream& out, bool process) : out_(out), process_(process) {}

  std::string_view name() const override { return "standard output"; }
  std::optional<SystemError> write(std::span<const std::uint8_t> bytes, std::size_t& written) override;

 private:
  std::ostream& out_;
  bool process_;
};
