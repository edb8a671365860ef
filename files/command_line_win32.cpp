#include <algorithm>
#include <cctype>
#include <cstring>

#include "files/command_line.h"

// The Command Prompt takes a drive's colon and the backslashes between folders as they stand.
bool shell_takes_as_is(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || std::strchr("./_-+:\\", c) != nullptr;
  });
}
