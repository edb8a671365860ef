#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include "console/console.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

bool standard_error_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

// A terminal takes its encoding from the locale; names are the bytes the file system holds.
void use_utf8_console() {}

// Linux streams carry bytes as they are; a write to a pipe whose reader is gone then fails with
// EPIPE instead of raising SIGPIPE.
void prepare_standard_streams() { ::signal(SIGPIPE, SIG_IGN); }

std::optional<SystemError> write_standard_output(std::span<const std::uint8_t> bytes, std::size_t& written) {
  written = 0;
  while (!bytes.empty()) {
    const ssize_t count = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return last_system_error();
    }
    bytes = bytes.subspan(static_cast<std::size_t>(count));
    written += static_cast<std::size_t>(count);
  }
  return std::nullopt;
}

// Linux file names are exact: `logo.bin` and `LOGO.bin` are two files.
std::string output_name_key(const std::string& path) { return path; }

std::string shell_word(const std::string& path) {
  const bool plain = !path.empty() && std::all_of(path.begin(), path.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
           std::string_view("/._-+:,=@%").find(c) != std::string_view::npos;
  });
  if (plain) return path;
  std::string quoted = "'";
  for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}
