#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "console/console.h"

// The C runtime expands wildcards in the arguments before main, as Windows console programs do:
// `rgb565 pack -d out *.bmp` gets every matching name. A pattern that matches nothing stays as it is.
extern "C" {
int _dowildcard = -1;
}

bool standard_error_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

// The manifest makes the program's code page UTF-8, but a console keeps its own output code page
// (437, 850, ...), in which a name outside ASCII would show as other characters.
void use_utf8_console() { SetConsoleOutputCP(CP_UTF8); }

// In text mode the C runtime turns each 0x0A written into 0x0D 0x0A, and stops reading at 0x1A.
// Windows raises no signal for a pipe whose reader is gone: WriteFile fails with ERROR_NO_DATA.
void prepare_standard_streams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

// Through the handle itself, so that a failure keeps GetLastError's cause; WriteFile writes at most
// 4 GiB a call, and a pipe may take less than it is given.
std::optional<SystemError> write_standard_output(std::span<const std::uint8_t> bytes, std::size_t& written) {
  written = 0;
  const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  while (!bytes.empty()) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD count = 0;
    if (!WriteFile(handle, bytes.data(), wanted, &count, nullptr)) return last_system_error();
    if (count == 0) return SystemError{};
    bytes = bytes.subspan(count);
    written += count;
  }
  return std::nullopt;
}

// Windows file names ignore case: `logo.bin` and `LOGO.bin` name one file.
std::string output_name_key(const std::string& path) {
  std::string key = path;
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

// The Command Prompt splits a command at spaces and takes & | < > ^ as its own; inside double
// quotes all of them are plain. A file name cannot hold a double quote.
std::string shell_word(const std::string& path) {
  if (!path.empty() && path.find_first_of(" \t&|<>^()%!,;=") == std::string::npos) return path;
  return '"' + path + '"';
}
