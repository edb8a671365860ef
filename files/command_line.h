// How a path is written into a command that the user may copy into this system's shell: a name
// made only of characters the shell takes as they stand can be shown as it is; any other is left
// for the user to fill in, since quoting it right depends on the shell.
#pragma once

#include <string_view>

// Whether the system's shell (a POSIX shell; on Windows, the Command Prompt) takes `name` as one
// word, as it stands, with nothing split, expanded or escaped. An empty name is not such a word.
bool shell_takes_as_is(std::string_view name);

// The punctuation, besides letters and digits, that the system's shell takes as it stands in a
// path (command_line_posix.cpp, command_line_win32.cpp).
extern const std::string_view shell_plain_punctuation;
