#include "tests/gfx/support.h"

#include <cstring>

#include "gfx/driver.h"
#include "gfx/draw.h"
#include "runtime/program.h"

void HeadlessScreen::SetUp() {
  set_screen_drivers(nullptr);
  set_error_code(0);
  open_screen(19, 16, 4, SCREEN_NO_WINDOW, 0);
  ASSERT_NE(screen_ready(), 0);
}

void HeadlessScreen::TearDown() {
  release_screen();
  set_screen_drivers(nullptr);
}

uint16_t pixel_at(int32_t x, int32_t y) {
  uint16_t value;
  lock_screen();  // the rows are the whole picture under the lock
  std::memcpy(&value, current_screen()->rows[static_cast<size_t>(y)] + x * 2, 2);
  unlock_screen();
  return value;
}

std::set<std::pair<int32_t, int32_t>> pixels_of(uint16_t value) {
  std::set<std::pair<int32_t, int32_t>> found;
  for (int32_t y = 0; y < 600; ++y) {
    for (int32_t x = 0; x < 800; ++x) {
      if (pixel_at(x, y) == value) found.insert({x, y});
    }
  }
  return found;
}

void fill_screen(uint16_t value) {
  GraphicsScreen& s = *current_screen();
  lock_screen();
  for (int32_t y = 0; y < s.height; ++y) {
    for (int32_t x = 0; x < s.width; ++x) std::memcpy(s.rows[static_cast<size_t>(y)] + x * 2, &value, 2);
  }
  std::fill(s.dirty.begin(), s.dirty.end(), 0);
  unlock_screen();
}

void use_graph_area() { set_viewport(1, 30, 721, 202, DefaultColour, DefaultColour, 0); }
