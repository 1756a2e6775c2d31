// Whether standard error is a terminal (for progress lines that only a person reads).
// One implementation per platform: terminal_posix.cpp, terminal_windows.cpp.
#pragma once

// Return true when standard error goes to a terminal.
bool stderr_is_terminal();
