// Test helpers: a recording screen port and a temporary directory.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/print.h"

// Records every write that reaches the screen channel, with a settable cursor and grid size.
struct ScreenCapture {
  std::vector<std::string> writes;  // one entry per call of the port's write
  int32_t columns = 100;            // what the port reports as the grid width
  int32_t rows = 37;
  int32_t cursor_column = 1;        // what the port reports as the cursor, from 1
  int32_t cursor_row = 1;

  // Plug this capture in as the screen port (unplugged by the destructor).
  ScreenCapture();
  ~ScreenCapture();
  // Return every byte written, concatenated.
  std::string all() const;
};

// A fresh directory removed with its contents at the end of the test.
struct TempDir {
  std::filesystem::path path;
  TempDir();
  ~TempDir();
  // Return the full name of a file in the directory.
  std::string file(const std::string& name) const;
};

// Return the bytes of a file ("" if it cannot be read).
std::string read_file(const std::string& name);

// Reset the runtime's program-wide state (channel table, format mask) between tests.
void reset_runtime();
