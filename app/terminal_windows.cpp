// Terminal test on Windows.
#include "app/terminal.h"

#include <cstdio>

#include <io.h>

bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }
