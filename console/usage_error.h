// A command line the program does not take: why, in a line for the user (exit status 2).
#pragma once

#include <string>

struct UsageError {
  std::string message;
};
