#include <unistd.h>

#include "console/console.h"

#include <string>

bool standard_error_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

// Linux streams carry bytes as they are.
void use_binary_standard_streams() {}

// Linux file names are exact: `logo.bin` and `LOGO.bin` are two files.
std::string output_name_key(const std::string& path) { return path; }
