// `-` for IN or OUT. Standard output takes the output a band at a time as the job makes it, so that
// an output of any size holds a band, not the whole, in memory. Standard input is read by the job as
// it goes: a BMP it converts in one walk is read band by band as it comes; anything else the job
// needs as a file (a picture to load or transform, a raw dump) is copied into a folder of this run's
// own in the system's temporary folder, at most as many bytes as the job can use, and the folder goes
// when the run is over. Nothing is copied before the job has looked at the first bytes.
#pragma once

#include <fstream>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "files/byte_stream.h"
#include "files/live_outputs.h"

// The name that stands for standard input as IN and standard output as OUT.
inline constexpr std::string_view standard_stream = "-";

class StagingFolder {
 public:
  // A new, empty folder of this run's own; the reason in plain words when none could be made.
  static std::variant<StagingFolder, std::string> create();

  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  StagingFolder(StagingFolder&& other) noexcept;
  StagingFolder& operator=(StagingFolder&&) = delete;
  // Removes the folder and whatever the run left in it.
  ~StagingFolder();

  // Where standard input's copy goes.
  std::string input_path() const;

  // Opens `file` on input_path(), empty: an interruption on POSIX removes it and the folder, as it
  // removes the saves' new files (files/live_outputs.h). False when it cannot be opened.
  bool open_input(std::ofstream& file);

 private:
  StagingFolder(std::string path, LiveEntry entry) : path_(std::move(path)), folder_entry_(std::move(entry)) {}
  std::string path_;
  LiveEntry folder_entry_;
  LiveEntry input_entry_;
};

// Standard input as a job reads it (files/byte_stream.h), from `in`: its first bytes kept to be read
// again, and its copy, when the job asks for one, in a staging folder that lasts as long as this.
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
  std::optional<StagingFolder> folder_;
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
