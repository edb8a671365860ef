#include "files/command_line.h"

// The Command Prompt takes a drive's colon and the backslashes between folders as they stand.
const std::string_view shell_plain_punctuation = "./_-+:\\";
