#include "console/standard_streams.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <utility>

namespace {

// Big enough to keep the copying calls few, small enough for the stack.
constexpr std::size_t chunk = 64 * 1024;

}  // namespace

std::variant<StagingFolder, std::string> StagingFolder::create() {
  std::error_code error;
  const std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) return "no temporary folder: " + error.message();
  // create_directory refuses a name that exists, so a folder made here is this run's alone; its name
  // is random so that another run, or another user, is unlikely to have taken it first.
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::uint64_t tag = std::uint64_t{random()} << 32 | random();
    std::string name = "rgb565-";
    for (int shift = 60; shift >= 0; shift -= 4) name += "0123456789abcdef"[tag >> shift & 0xF];
    const std::filesystem::path folder = base / name;
    if (std::filesystem::create_directory(folder, error)) return StagingFolder(folder.string());
    if (error) return "cannot make a folder in " + base.string() + ": " + error.message();
  }
  return "cannot make a folder of its own in " + base.string();
}

StagingFolder::StagingFolder(StagingFolder&& other) noexcept : path_(std::exchange(other.path_, {})) {}

StagingFolder::~StagingFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string StagingFolder::input_path() const { return (std::filesystem::path(path_) / "standard-input").string(); }

std::string StagingFolder::output_path() const { return (std::filesystem::path(path_) / "standard-output").string(); }

std::optional<std::string> copy_stream_to_file(std::istream& in, const std::string& path) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return "cannot make a file to hold standard input in " + path;
  std::array<char, chunk> buffer;
  while (in) {
    in.read(buffer.data(), buffer.size());
    file.write(buffer.data(), in.gcount());
    if (!file) return "cannot copy standard input into " + path;
  }
  if (in.bad()) return "standard input could not be read";
  file.close();
  if (!file) return "cannot copy standard input into " + path;
  return std::nullopt;
}

bool read_whole_file(const std::string& path, std::string& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::array<char, chunk> buffer;
  while (file) {
    file.read(buffer.data(), buffer.size());
    bytes.append(buffer.data(), static_cast<std::size_t>(file.gcount()));
  }
  return !file.bad();
}
