#include <algorithm>
#include <cctype>
#include <cstring>

#include "files/command_line.h"

// A backslash escapes the next character in a POSIX shell, so it is not a path's own.
bool shell_takes_as_is(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || std::strchr("./_-+:", c) != nullptr;
  });
}
