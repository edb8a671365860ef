#include "console/standard_streams.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <utility>

#include "console/console.h"

namespace {

// Big enough to keep the copying calls few, small enough for the stack.
constexpr std::size_t chunk = 64 * 1024;

Failure unreadable() { return Failure{Fault::cannot_open, "standard input could not be read", std::nullopt}; }

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
    const InterruptionsHeld held;
    LiveEntry entry(claim_live_entry());
    if (std::filesystem::create_directory(folder, error)) {
      if (!publish_live_entry(entry.get(), folder.string(), 0)) entry.reset();
      return StagingFolder(folder.string(), std::move(entry));
    }
    if (error) return "cannot make a folder in " + base.string() + ": " + error.message();
  }
  return "cannot make a folder of its own in " + base.string();
}

StagingFolder::StagingFolder(StagingFolder&& other) noexcept
    : path_(std::exchange(other.path_, {})),
      folder_entry_(std::move(other.folder_entry_)),
      input_entry_(std::move(other.input_entry_)) {}

StagingFolder::~StagingFolder() {
  if (path_.empty()) return;
  const InterruptionsHeld held;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
  input_entry_.reset();
  folder_entry_.reset();
}

bool StagingFolder::open_input(std::ofstream& file) {
  const InterruptionsHeld held;
  input_entry_.reset(claim_live_entry());
  file.open(input_path(), std::ios::binary | std::ios::trunc);
  if (!file) return false;
  if (!publish_live_entry(input_entry_.get(), input_path(), 0)) input_entry_.reset();
  return true;
}

std::string StagingFolder::input_path() const { return (std::filesystem::path(path_) / "standard-input").string(); }

std::variant<std::size_t, Failure> StandardInput::take(std::span<std::uint8_t> bytes) {
  if (in_ == nullptr) return Failure{Fault::cannot_open, "there is no standard input to read", std::nullopt};
  if (!*in_) return in_->bad() ? std::variant<std::size_t, Failure>(unreadable()) : std::size_t{0};
  in_->read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (in_->bad()) return unreadable();
  return static_cast<std::size_t>(in_->gcount());
}

std::variant<std::span<const std::uint8_t>, Failure> StandardInput::peek(std::size_t count) {
  if (start_.size() < count) {
    const std::size_t had = start_.size();
    start_.resize(count);
    std::size_t filled = had;
    while (filled < count) {
      std::variant<std::size_t, Failure> got = take({start_.data() + filled, count - filled});
      if (Failure* failed = std::get_if<Failure>(&got)) return std::move(*failed);
      if (std::get<std::size_t>(got) == 0) break;
      filled += std::get<std::size_t>(got);
    }
    start_.resize(filled);
  }
  return std::span<const std::uint8_t>(start_.data(), std::min(count, start_.size()));
}

std::variant<std::size_t, Failure> StandardInput::read(std::span<std::uint8_t> bytes) {
  reading_ = true;
  if (start_read_ < start_.size()) {
    const std::size_t count = std::min(bytes.size(), start_.size() - start_read_);
    std::copy_n(start_.begin() + static_cast<std::ptrdiff_t>(start_read_), count, bytes.begin());
    start_read_ += count;
    if (start_read_ == start_.size()) start_ = {};
    return count;
  }
  return take(bytes);
}

std::variant<StagedInput, Failure> StandardInput::stage(std::uint64_t limit) {
  std::variant<StagingFolder, std::string> created = StagingFolder::create();
  if (const std::string* reason = std::get_if<std::string>(&created))
    return Failure{Fault::cannot_open, "standard input cannot be copied into a file: " + *reason, std::nullopt};
  folder_.emplace(std::get<StagingFolder>(std::move(created)));
  StagedInput staged{folder_->input_path(), false};
  std::ofstream file;
  // The system's reason, which the stream's state does not keep: a full disk, a quota.
  const auto not_copied = [&] {
    const int error = errno;
    std::string reason = "standard input cannot be copied into " + staged.path;
    if (error != 0) reason += ": " + std::generic_category().message(error);
    return Failure{Fault::cannot_open, std::move(reason), std::nullopt};
  };
  errno = 0;
  if (!folder_->open_input(file)) return not_copied();
  // One byte past the limit tells a longer stream from one of exactly the limit's length.
  std::array<std::uint8_t, chunk> buffer;
  std::uint64_t copied = 0;
  while (true) {
    const std::uint64_t left = limit - copied;
    const std::size_t wanted = left < buffer.size() ? static_cast<std::size_t>(left) + 1 : buffer.size();
    std::variant<std::size_t, Failure> got = read({buffer.data(), wanted});
    if (Failure* failed = std::get_if<Failure>(&got)) return std::move(*failed);
    const std::size_t count = std::get<std::size_t>(got);
    if (count == 0) break;
    const std::size_t kept = static_cast<std::size_t>(std::min<std::uint64_t>(count, limit - copied));
    file.write(reinterpret_cast<const char*>(buffer.data()), static_cast<std::streamsize>(kept));
    if (!file) return not_copied();
    copied += kept;
    if (kept < count) {
      staged.longer = true;
      break;
    }
  }
  file.close();
  if (!file) return not_copied();
  return staged;
}

std::optional<SystemError> StandardOutput::write(std::span<const std::uint8_t> bytes, std::size_t& written) {
  if (process_) return write_standard_output(bytes, written);
  written = 0;
  if (!out_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())).flush())
    return SystemError{};
  written = bytes.size();
  return std::nullopt;
}
