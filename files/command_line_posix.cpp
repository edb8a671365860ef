#include "files/command_line.h"

// A backslash escapes the next character in a POSIX shell, so it is not a path's own.
const std::string_view shell_plain_punctuation = "./_-+:";
