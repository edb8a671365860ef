#include <io.h>

#include <cstdio>

#include "console/console.h"

// The C runtime expands wildcards in the arguments before main, as Windows console programs do:
// `rgb565 pack -d out *.bmp` gets every matching name. A pattern that matches nothing stays as it is.
extern "C" {
int _dowildcard = -1;
}

bool standard_error_is_terminal() { return _isatty(_fileno(stderr)) != 0; }
