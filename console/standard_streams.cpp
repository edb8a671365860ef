#include "console/standard_streams.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "console/console.h"

namespace {

// Big enough to keep the copying calls few, small enough for the stack.
constexpr std::size_t chunk = 64 * 1024;

Failure unreadable() { return Failure{Fault::cannot_open, "standard input could not be read", std::nullopt}; }

}  // namespace

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
  std::variant<StagingFile, std::string> created = StagingFile::create();
  if (const std::string* reason = std::get_if<std::string>(&created))
    return Failure{Fault::cannot_open, "standard input cannot be copied into a file: " + *reason, std::nullopt};
  copy_.emplace(std::get<StagingFile>(std::move(created)));
  StagedInput staged{copy_->path(), false};
  // The system's reason: a full disk, a quota, a file size limit.
  const auto not_copied = [&](const SystemError& error) {
    return Failure{Fault::cannot_open,
                   "standard input cannot be copied into " + staged.path + ": " +
                       (error.code != 0 ? system_message(error.code) : describe(error)),
                   std::nullopt};
  };
  if (std::optional<SystemError> error = copy_->open()) return not_copied(*error);
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
    if (std::optional<SystemError> error = copy_->write({buffer.data(), kept})) return not_copied(*error);
    copied += kept;
    if (kept < count) {
      staged.longer = true;
      break;
    }
  }
  if (std::optional<SystemError> error = copy_->finish()) return not_copied(*error);
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
