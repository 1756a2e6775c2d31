// Shared helpers of the graphics tests: a headless screen and pixel access.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <utility>

#include "gfx/screen.h"

// A test with a headless mode-19 screen ("Null" back-end), released afterwards.
class HeadlessScreen : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  GraphicsScreen& screen() { return *current_screen(); }
};

// The screen pixel at device (x, y), read through the row table under the screen lock.
uint16_t pixel_at(int32_t x, int32_t y);

// Every device pixel whose value is `value`.
std::set<std::pair<int32_t, int32_t>> pixels_of(uint16_t value);

// Fill the whole picture with one value and clear the dirty marks.
void fill_screen(uint16_t value);

// Make the layout's graph area the viewport (device x 1-721, y 30-202, relative).
void use_graph_area();
