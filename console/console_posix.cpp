#include <unistd.h>

#include "console/console.h"

bool standard_error_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }
