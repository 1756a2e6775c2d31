// A small program for the end-to-end tests: opens the graphics screen with
// the platform's back-end and prints every key code it reads, one per line,
// until a space arrives.
//
// Usage: key_probe [flags]   (open_screen flags; 1, full screen, by default)
// Prints "ready" once the screen is open, then each code in hexadecimal
// (a character byte, or an extended code as its (code << 8) | 0xFF form).
// The key "b" also sounds the bell, which must never hold the program up.
#include <cstdio>
#include <cstdlib>

#include "gfx/keys.h"
#include "gfx/screen.h"
#include "runtime/clock.h"

namespace {

// Return the queue code of a text read from the key queue.
unsigned code_of(const Text& key) {
  if (key.size() == 1) return static_cast<uint8_t>(key[0]);
  return (static_cast<unsigned>(static_cast<uint8_t>(key[1])) << 8) | 0xFF;
}

// Paint a test pattern: a white frame around the picture and a red pixel at (1, 1).
void paint_pattern() {
  GraphicsScreen* screen = current_screen();
  lock_screen();
  for (int32_t y = 0; y < screen->height; ++y) {
    auto* row = reinterpret_cast<ScreenPixel*>(screen->rows[y]);
    for (int32_t x = 0; x < screen->width; ++x) {
      const bool edge = x == 0 || y == 0 || x == screen->width - 1 || y == screen->height - 1;
      row[x] = edge ? 0xFFFF : 0;
    }
  }
  reinterpret_cast<ScreenPixel*>(screen->rows[1])[1] = rgb_to_screen(0xFF0000);
  mark_all_dirty();
  unlock_screen();
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t flags = argc > 1 ? std::atoi(argv[1]) : 1;
  set_window_title("key probe");
  open_screen(19, 16, 1, flags, 0);
  if (screen_ready() == 0) {
    std::puts("no screen");
    return 1;
  }
  paint_pattern();
  std::puts("ready");
  std::fflush(stdout);
  for (;;) {
    const uint64_t seen = key_generation();
    const Text key = read_key();
    if (key.empty()) {
      wait_key(seen, timer_seconds() + 60.0);
      continue;
    }
    const unsigned code = code_of(key);
    std::printf("%04X\n", code);
    std::fflush(stdout);
    if (code == 'b') sound_bell();
    if (code == ' ') break;
  }
  release_screen();
  return 0;
}
