// `-` for IN or OUT: the jobs read their input through a file view and save their output beside its
// target, so standard input is first copied whole into a file, and the finished output is copied to
// standard output only once the job has saved it (and this run's files are gone). Both files live in a folder of their
// own in the system's temporary folder, which goes when the run is over.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

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

  // Where standard input's copy goes, and where the job saves what goes to standard output. The
  // output's name has no .png, so unpack writes its BMP.
  std::string input_path() const;
  std::string output_path() const;

 private:
  explicit StagingFolder(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

// Copies `in` to its end into a new file at `path`: nullopt, or the reason it failed.
std::optional<std::string> copy_stream_to_file(std::istream& in, const std::string& path);

// The bytes of the file at `path` into `bytes`: false when it could not be read whole.
bool read_whole_file(const std::string& path, std::string& bytes);
