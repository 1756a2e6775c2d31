// Pixel writing for the drawing primitives and the text layer.
//
// Every pixel goes to its row through the row table, so a row is reached the
// same way after the text window has scrolled. Callers clip first: these
// functions write where they are told.
#pragma once

#include <cstdint>
#include <cstring>

#include "gfx/screen.h"

// Convert an RgbColour to the screen's pixel value (5-6-5 at depth 16).
inline uint32_t screen_colour(const GraphicsScreen& screen, RgbColour colour) {
  if (screen.depth == 16) return rgb_to_screen(colour);
  if (screen.depth == 32) return colour & 0xFFFFFFu;
  return colour & screen.colour_mask;
}

// Write pixels x1..x2 (inclusive) of row y; nothing when x1 > x2.
inline void fill_run(const GraphicsScreen& screen, int32_t y, int32_t x1, int32_t x2, uint32_t pixel) {
  if (x1 > x2) return;
  uint8_t* row = screen.rows[static_cast<size_t>(y)];
  size_t count = static_cast<size_t>(x2 - x1 + 1);
  switch (screen.bytes_per_pixel) {
    case 2: {
      uint16_t value = static_cast<uint16_t>(pixel);
      uint64_t four = value * 0x0001000100010001ull;
      uint8_t* at = row + static_cast<size_t>(x1) * 2;
      size_t i = 0;
      for (; i + 4 <= count; i += 4) std::memcpy(at + i * 2, &four, 8);
      for (; i < count; ++i) std::memcpy(at + i * 2, &value, 2);
      break;
    }
    case 4: {
      uint8_t* at = row + static_cast<size_t>(x1) * 4;
      for (size_t i = 0; i < count; ++i) std::memcpy(at + i * 4, &pixel, 4);
      break;
    }
    default:
      std::memset(row + x1, static_cast<int>(pixel & 0xFF), count);
      break;
  }
}

// Write one pixel.
inline void put_pixel(const GraphicsScreen& screen, int32_t x, int32_t y, uint32_t pixel) {
  fill_run(screen, y, x, x, pixel);
}

// Read one pixel.
inline uint32_t get_pixel(const GraphicsScreen& screen, int32_t x, int32_t y) {
  const uint8_t* row = screen.rows[static_cast<size_t>(y)];
  if (screen.bytes_per_pixel == 2) {
    uint16_t value;
    std::memcpy(&value, row + static_cast<size_t>(x) * 2, 2);
    return value;
  }
  if (screen.bytes_per_pixel == 4) {
    uint32_t value;
    std::memcpy(&value, row + static_cast<size_t>(x) * 4, 4);
    return value;
  }
  return row[x];
}

// Return whether drawing goes to the page that is presented.
inline bool drawing_visible(const GraphicsScreen& screen) {
  return screen.pages[static_cast<size_t>(screen.work_page)].get() == screen.visible_page;
}
