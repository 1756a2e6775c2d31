// Test helpers for the experiment: a virtual clock and a throwing exit hook
// around the real start-up, reading text and pixels back from the picture,
// and finding seeds whose seconds have given counts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gfx/screen.h"
#include "runtime/clock.h"
#include "runtime/text.h"

// Thrown by the exit hook in place of leaving the process.
struct ProgramEnded {
  int32_t code;
};

// Return a local calendar time from "YYYY-MM-DD HH:MM:SS".
std::tm wall_time(const char* text);

// Return the bytes of a file ("" when it cannot be read).
std::string read_file(const std::filesystem::path& name);

// Run `action`; return the code the program ended with during it, -1 when it did not end.
int32_t exit_code_of(const std::function<void()>& action);

// Put a key into the queue as the back-end would.
void press(uint32_t code);

// Return the first seed from `from` on whose first second of 200 bits satisfies `wanted(zeros, ones)`.
int32_t find_seed(const std::function<bool(int32_t zeros, int32_t ones)>& wanted, int32_t from = 1);

// Each test runs in a fresh directory, on a virtual clock, with the exit hook throwing.
class ExperimentTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Install the virtual clock: timer (and so the seed) at `timer_start`, wall clock at `wall`.
  void use_virtual_clock(double timer_start, const char* wall = "2026-01-01 00:00:00");
  // Run the real start-up on the "Null" back-end (installs the clock first if none).
  void start(double timer_start = 1.0, const char* wall = "2026-01-01 00:00:00");
  // Run seconds; returns false when the program ended during them.
  bool run_seconds(int32_t count);
  // Call `action` every time the virtual clock moves.
  void on_clock(std::function<void()> action);

  // The screen pixel at device (x, y): live, or as it was when the program ended.
  ScreenPixel pixel(int32_t x, int32_t y) const;
  // The text of `count` cells from (row, column), ink of any colour on `background`.
  Text text_at(int32_t row, int32_t column, int32_t count, RgbColour background = 0) const;
  // The same, only where the ink is exactly `foreground` ('?' elsewhere).
  Text text_in(int32_t row, int32_t column, int32_t count, RgbColour foreground,
               RgbColour background = 0) const;
  // The ink colour of a cell (the first pixel that is not the background), or the background.
  ScreenPixel ink(int32_t row, int32_t column, RgbColour background = 0) const;
  // The bytes of the study log of the start date.
  std::string log_bytes() const;

  std::filesystem::path directory;  // the test's working directory
  std::filesystem::path previous;   // the working directory before the test
  std::unique_ptr<VirtualClock> clock;
  std::vector<ScreenPixel> picture;  // the picture when the program ended
  std::string log_date = "01-01-2026";
};
