// The rgb565 console program as a function, so that tests run it as a user would without starting
// a process: it takes the arguments, writes to the two streams and returns the exit code.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "files/system_error.h"

struct ConsoleStreams {
  std::ostream& out;
  std::ostream& err;
  // Show a progress line on `err` for batches: true when standard error is a terminal.
  bool progress = false;
  // Standard input, read when IN is `-`; null when the caller has none to give.
  std::istream* in = nullptr;
  // These are the process's own streams: raw bytes through them need binary mode, which Windows
  // does not give them by default.
  bool standard = false;
};

inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 1;
inline constexpr int exit_usage = 2;

// `arguments` without the program's name.
int run_rgb565(std::span<const std::string_view> arguments, ConsoleStreams streams);

// For the entry point: whether standard error is a terminal.
bool standard_error_is_terminal();

// For the entry point: a console shows the program's text, names included, as the UTF-8 it is.
void use_utf8_console();

// Readies the process's standard input and output for raw bytes: binary mode, so that no byte of a
// raw image is translated, and a reader that went away (`| head`) reported by the write that meets
// it, as an error, rather than ending the process with a signal before it can say so.
void prepare_standard_streams();

// Writes all of `bytes` to the process's standard output: nullopt, or the system's error with how
// many went out before it in `written`.
std::optional<SystemError> write_standard_output(std::span<const std::uint8_t> bytes, std::size_t& written);

// What two output names in one folder have in common when they name one file on this system.
std::string output_name_key(const std::string& path);

// A path as this system's shell reads it back in a command: quoted when it holds more than the
// usual characters (a POSIX shell's single quotes; the Command Prompt's double quotes).
std::string shell_word(const std::string& path);
