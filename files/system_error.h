// Why a file view or an output file failed: the code the system reported (errno on POSIX,
// GetLastError() on Win32), kept so that a message can name the cause, and a kind that means the
// same on both builds, so that the program can tell causes apart without knowing either system's
// codes. Each platform's twin file maps its own codes to kinds.
#pragma once

#include <cstdint>
#include <string>

enum class FileFault {
  no_such_file,
  is_a_folder,
  // Not a file with bytes: a FIFO, a device or a socket.
  not_a_regular_file,
  permission_denied,
  // A view needs at least one byte to map.
  empty_file,
  // Longer than the jobs' 32-bit byte counts allow (a view mapping 4 GiB or more, code 0), or past the
  // largest file the system lets this process write (EFBIG, ERROR_FILE_TOO_LARGE).
  too_large,
  // A view of this program, or another program, holds the file with no sharing.
  held_by_another_program,
  disk_full,
  read_only_file_system,
  name_too_long,
  // A folder on the way to the file is missing.
  folder_missing,
  // The output's folder takes no new file from this process (no write permission, or immutable),
  // though the target itself may be writable: the output is made as a new file there first.
  folder_not_writable,
  // The output's path is a symbolic link, and the caller refused to write through one.
  symbolic_link,
  other,
};

struct SystemError {
  FileFault kind = FileFault::other;
  // errno (POSIX) or GetLastError() (Win32); 0 when the cause is a rule of this program (an empty
  // file, one of 4 GiB or more) rather than an error the system reported.
  std::uint32_t code = 0;
  friend bool operator==(const SystemError&, const SystemError&) = default;
};

// The error the system reported for the call that just failed, read at once, before any other
// call can replace it.
SystemError last_system_error();

// The same for a failed open or creation of `path`. Both builds then tell a missing folder on the
// way from a missing file, and a folder from a file that may not be opened: Win32 reports a folder
// as "access denied", and POSIX reports a missing folder as a missing file.
SystemError last_open_error(const char* path);

// The cause in a few plain words, without a final full stop: the kind's own words, which read the
// same on both builds, or for FileFault::other the system's text for its code.
std::string describe(const SystemError& error);

// The system's own text for `code` (strerror, FormatMessageA), for describe().
std::string system_message(std::uint32_t code);
