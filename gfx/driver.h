// The presentation back-end interface and the bootstrap table of back-ends.
//
// A back-end shows the picture of the graphics screen and fills the key queue.
// open_screen walks the table in order and takes the first back-end whose
// init succeeds. Every operation may be absent (null); the core checks.
// Back-end data is private to its folder; no window-system header is ever
// included outside gfx/<back-end>/.
#pragma once

#include <cstdint>

struct ScreenDriver {
  const char* name;
  // Create the window and start presenting; returns 0 on success, nonzero to refuse.
  // Succeeds only once the window exists. After a failure, exit is called.
  int32_t (*init)(const char* title, int32_t width, int32_t height, int32_t depth,
                  int32_t refresh_rate, int32_t flags);
  // Stop presenting and destroy everything init made (also after a failed init).
  void (*exit)();
  // Enter the recursive screen lock shared with the presentation thread.
  void (*lock)();
  // Leave the screen lock.
  void (*unlock)();
  // Store one palette entry (8-bit screens only).
  void (*set_palette)(int32_t index, int32_t red, int32_t green, int32_t blue);
  // Wait for the display's vertical blank.
  void (*wait_vsync)();
  // Read the mouse position, wheel count and buttons.
  void (*get_mouse)(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons);
  // Move the mouse and show or hide the cursor.
  void (*set_mouse)(int32_t x, int32_t y, int32_t cursor_shown);
  // Change the window caption at once.
  void (*set_window_title)(const char* title);
  // Fill `pairs` with up to `max` width, height pairs of display modes at `depth`; returns the count.
  int32_t (*fetch_modes)(int32_t depth, int32_t* pairs, int32_t max);
  // Show the back buffer (back-ends without their own thread).
  void (*flip)();
  // Handle pending window events (back-ends without their own thread).
  void (*poll_events)();
};

// open_screen flags.
constexpr int32_t SCREEN_FULLSCREEN = 1;      // bit 0: full screen, else a window
constexpr int32_t SCREEN_OPENGL = 2;          // bit 1: the OpenGL back-end
constexpr int32_t SCREEN_NO_SWITCH = 4;       // bit 2: no switching full screen / window
constexpr int32_t SCREEN_NO_WINDOW = -1;      // the "Null" back-end, no window at all
constexpr int32_t SCREEN_CLOSE_KEEP_WINDOW = static_cast<int32_t>(0x80000000u);

// The back-end that shows nothing; chosen only for flags -1.
extern const ScreenDriver null_driver;

// The platform's back-ends in order of preference, ending with nullptr.
const ScreenDriver* const* screen_drivers();

// Replace the table of back-ends that open_screen tries (tests); nullptr: the platform's table.
void set_screen_drivers(const ScreenDriver* const* table);
