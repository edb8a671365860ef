#include "files/command_line.h"

#include <algorithm>
#include <cctype>

bool shell_takes_as_is(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 ||
           shell_plain_punctuation.find(c) != std::string_view::npos;
  });
}
