// State and entry points shared by the Windows back-ends of this folder.
//
// The back-ends share one set-up: a window class, the screen lock (a critical
// section) and the window procedure. "DirectX" and "GDI" add a presentation
// thread that owns the window; "OpenGL" makes its window on the caller's
// thread and presents when asked. Each fills in a WinBackend with the steps
// that differ: making and destroying its window and device objects,
// presenting the dirty rows, and repainting.
#pragma once

#include <atomic>
#include <cstdint>

#include "gfx/windows/win_api.h"
#include "gfx/windows/win_convert.h"

struct GraphicsScreen;

// The steps that differ between the back-ends, run on the thread that owns the window.
struct WinBackend {
  // True: a presentation thread owns the window; false: the caller's thread does (flip).
  bool own_thread;
  // Create the window and device objects for the flags in force; false on failure.
  bool (*create)();
  // Destroy the window and device objects (also after a failed create).
  void (*destroy)();
  // Show the dirty rows and clear their marks.
  void (*present)(GraphicsScreen* screen);
  // Send the 256 palette entries to the device.
  void (*send_palette)();
  // Handle WM_PAINT before DefWindowProcA.
  void (*paint)();
  // Refresh the key-state table of the screen.
  void (*read_keyboard)(GraphicsScreen* screen);
};

// Bits of WinState::mouse_buttons, as get_mouse reports them.
constexpr int32_t MOUSE_LEFT = 1;
constexpr int32_t MOUSE_RIGHT = 2;
constexpr int32_t MOUSE_MIDDLE = 4;

// Back-end state: one set per process, valid while a screen is open.
struct WinState {
  const WinBackend* backend = nullptr;   // the back-end whose init ran
  HWND window = nullptr;                 // the screen's window
  char class_name[160] = {};             // window class: prefix and title
  char title[128] = {};                  // caption, from init
  int32_t flags = 0;                     // open_screen flags: SCREEN_FULLSCREEN, SCREEN_NO_SWITCH
  int32_t width = 0;                     // picture size as passed to init
  int32_t height = 0;
  int32_t depth = 0;                     // at least 8
  int32_t refresh_rate = 0;              // requested, then the display's
  std::atomic<bool> active{false};       // the window has the focus
  std::atomic<bool> alive{false};        // the thread is to keep running
  bool started = false;                  // set-up ran: lock, class and saver to undo
  CRITICAL_SECTION lock{};               // the screen lock
  HANDLE ready_event = nullptr;          // signalled once the window exists
  HANDLE thread = nullptr;               // the presentation thread
  BOOL saved_screen_saver = FALSE;       // screen-saver setting before set-up
  UINT cursor_message = 0;               // registered: show or hide the cursor
  bool cursor_visible = true;
  int32_t mouse_buttons = 0;             // MOUSE_LEFT, MOUSE_RIGHT, MOUSE_MIDDLE
  int32_t mouse_wheel = 0;
  uint8_t palette[256][3] = {};          // red, green, blue
  bool palette_changed = false;
  int32_t system_version = 0;            // major * 256 + minor
  RowConverter converter = nullptr;      // for the display's pixel format
};

// Return the back-end state of the process.
WinState& win_state();

// Run the common set-up for `backend` and make its window (on its own thread if it has one); 0 on success.
int32_t win_start(const WinBackend* backend, const char* title, int32_t width, int32_t height,
                  int32_t depth, int32_t refresh_rate, int32_t flags);

// Destroy the window (stopping the thread) and undo the common set-up; nothing when it never started.
void win_stop();

// Create a visible window of the class with a client area of width x height, centred.
HWND win_create_centred_window(DWORD style);

// Switch between full screen and window, going back when the new form fails.
void win_switch_full_screen();

// The window procedure of both back-ends.
LRESULT CALLBACK win_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Enter and leave the screen lock.
void win_lock();
void win_unlock();

// Store one palette entry for the thread to send.
void win_set_palette(int32_t index, int32_t red, int32_t green, int32_t blue);

// Sleep for one frame of the refresh rate (16 ms when it is unknown).
void win_wait_frame();

// Dispatch the window messages waiting for the calling thread.
void win_dispatch_messages();

// Convert the dirty lines of the band first..last (output lines, as dirty_band finds them) into
// `target`, the surface line of the picture's top line with lines `pitch` bytes apart, then clear
// every mark.
void win_convert_band(GraphicsScreen* screen, int32_t first, int32_t last, uint8_t* target, int32_t pitch);

// Read the cursor position in the client area, the wheel count and the buttons.
void win_get_mouse(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons);

// Move the cursor within the client area and show or hide it.
void win_set_mouse(int32_t x, int32_t y, int32_t cursor_shown);

// Change the window caption.
void win_set_window_title(const char* title);

// Refresh the key-state table from the keyboard's asynchronous state.
void win_read_keyboard_state(GraphicsScreen* screen);

// Sound the bell: 1000 Hz for 250 ms.
void win_beep();
