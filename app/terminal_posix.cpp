// Terminal test on POSIX systems.
#include "app/terminal.h"

#include <cstdio>

#include <unistd.h>

bool stderr_is_terminal() { return isatty(fileno(stderr)) != 0; }
