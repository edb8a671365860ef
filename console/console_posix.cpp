#include <unistd.h>

#include "console/console.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

bool standard_error_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

// A terminal takes its encoding from the locale; names are the bytes the file system holds.
void use_utf8_console() {}

// Linux streams carry bytes as they are.
void use_binary_standard_streams() {}

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
