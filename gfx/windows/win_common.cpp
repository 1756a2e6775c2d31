// Common set-up and exit of the windowed back-ends: the window class, the
// screen lock, the screen-saver setting, and the presentation thread with its
// start-up handshake and its step (present, key states, window messages);
// the dirty-band conversion that every back-end presents with.
#include <process.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "gfx/driver.h"
#include "gfx/screen.h"
#include "gfx/windows/win_backend.h"
#include "runtime/program.h"

namespace {

constexpr char CLASS_PREFIX[] = "TestnuvPantalla_";
constexpr size_t CLASS_TITLE_CHARS = 139;
constexpr DWORD STOP_LIMIT_MS = 5000;  // how long stopping waits for the thread (a mode switch back)

// Run one step of the thread: palette, presentation and key states under the lock, then the
// window messages outside it.
// NOTE: a message may run a modal loop of the system's (the system menu, dragging the caption)
// for as long as the user keeps it open; with the lock held, the experiment's next drawing would
// wait for it. The window procedure takes the lock itself around what it touches.
void run_step(WinState& s) {
  EnterCriticalSection(&s.lock);
  GraphicsScreen* screen = current_screen();
  if (s.palette_changed) {
    s.palette_changed = false;
    s.backend->send_palette();
  }
  if (screen != nullptr) {
    screen->refresh_rate = s.refresh_rate;
    s.backend->present(screen);
    if (s.active) s.backend->read_keyboard(screen);
  }
  LeaveCriticalSection(&s.lock);
  win_dispatch_messages();
}

// Make the window and device objects, signal readiness, then present until told to stop.
unsigned __stdcall presentation_thread(void* ready_event) {
  WinState& s = win_state();
  if (!s.backend->create()) {
    s.backend->destroy();
    return 1;
  }
  s.active = true;
  SetEvent(static_cast<HANDLE>(ready_event));
  while (s.alive) {
    run_step(s);
    Sleep(10);
  }
  s.backend->destroy();
  return 0;
}

// Note the system version as major * 256 + minor.
int32_t read_system_version() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExA(&info)) return 0;
  return static_cast<int32_t>(info.dwMajorVersion * 256 + info.dwMinorVersion);
}

// Register the window class named after the title; false when it cannot be had.
bool register_window_class(WinState& s) {
  std::snprintf(s.class_name, sizeof(s.class_name), "%s%.*s", CLASS_PREFIX,
                static_cast<int>(CLASS_TITLE_CHARS), s.title);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA window_class{};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = win_window_procedure;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  if (window_class.hIcon == nullptr) window_class.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.lpszClassName = s.class_name;
  return RegisterClassA(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Reset the per-screen fields before a new set-up.
void reset_state(WinState& s) {
  s.window = nullptr;
  s.active = false;
  s.alive = false;
  s.thread = nullptr;
  s.ready_event = nullptr;
  s.cursor_visible = true;
  s.mouse_buttons = 0;
  s.mouse_wheel = 0;
  s.palette_changed = false;
  s.converter = nullptr;
}

// Make the window on the caller's thread, for a back-end that presents when asked.
int32_t start_on_caller_thread(WinState& s) {
  if (!s.backend->create()) return 1;
  s.active = true;
  set_bell_sound(win_beep);
  return 0;
}

}  // namespace

WinState& win_state() {
  static WinState state;
  return state;
}

int32_t win_start(const WinBackend* backend, const char* title, int32_t width, int32_t height,
                  int32_t depth, int32_t refresh_rate, int32_t flags) {
  WinState& s = win_state();
  reset_state(s);
  s.backend = backend;
  std::snprintf(s.title, sizeof(s.title), "%s", title != nullptr ? title : "");
  s.flags = flags;
  s.width = width;
  s.height = height;
  s.depth = std::max(depth, 8);
  s.refresh_rate = refresh_rate;
  s.system_version = read_system_version();
  s.cursor_message = RegisterWindowMessageA("TestnuvCursor");
  SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &s.saved_screen_saver, 0);
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);
  InitializeCriticalSection(&s.lock);
  s.started = true;
  if (!register_window_class(s)) return 1;
  if (!backend->own_thread) return start_on_caller_thread(s);
  s.ready_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (s.ready_event == nullptr) return 1;
  s.alive = true;
  // NOTE: _beginthreadex, not _beginthread: its handle stays valid after the
  // thread ends, so both waits below and the one in win_stop are safe.
  s.thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, presentation_thread, s.ready_event, 0, nullptr));
  if (s.thread == nullptr) return 1;
  HANDLE events[2] = {s.ready_event, s.thread};
  if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) return 1;
  SetThreadPriority(s.thread, THREAD_PRIORITY_ABOVE_NORMAL);
  set_bell_sound(win_beep);
  return 0;
}

void win_stop() {
  WinState& s = win_state();
  if (!s.started) return;
  s.alive = false;
  if (s.thread != nullptr && WaitForSingleObject(s.thread, STOP_LIMIT_MS) == WAIT_TIMEOUT) {
    // NOTE: the thread is stuck in the window system; it keeps its lock and objects, and the
    // process leaves without its own teardown, which could meet them.
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, s.saved_screen_saver, nullptr, 0);
    request_quick_exit();
    return;
  }
  if (s.thread != nullptr) {
    CloseHandle(s.thread);
    s.thread = nullptr;
  } else if (!s.backend->own_thread) {
    s.backend->destroy();
  }
  if (s.ready_event != nullptr) CloseHandle(s.ready_event);
  s.ready_event = nullptr;
  DeleteCriticalSection(&s.lock);
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, s.saved_screen_saver, nullptr, 0);
  UnregisterClassA(s.class_name, GetModuleHandleA(nullptr));
  set_bell_sound(nullptr);
  s.started = false;
}

HWND win_create_centred_window(DWORD style) {
  WinState& s = win_state();
  RECT frame{0, 0, s.width, s.height};
  AdjustWindowRect(&frame, style, FALSE);
  const int frame_width = frame.right - frame.left;
  const int frame_height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - frame_width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - frame_height) / 2;
  HWND window = CreateWindowExA(0, s.class_name, s.title, style | WS_VISIBLE, left, top, frame_width,
                                frame_height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window != nullptr) SetForegroundWindow(window);
  return window;
}

void win_switch_full_screen() {
  WinState& s = win_state();
  if (s.flags & SCREEN_NO_SWITCH) return;
  s.backend->destroy();
  s.flags ^= SCREEN_FULLSCREEN;
  if (!s.backend->create()) {
    s.backend->destroy();
    s.flags ^= SCREEN_FULLSCREEN;
    if (!s.backend->create()) s.backend->destroy();
  }
  s.backend->send_palette();
  mark_all_dirty();
  s.active = true;
}

void win_dispatch_messages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void win_convert_band(GraphicsScreen* screen, int32_t first, int32_t last, uint8_t* target, int32_t pitch) {
  const RowSource picture{screen->rows.data(), screen->dirty.data(), screen->width, screen->height,
                          screen->line_multiplier};
  convert_band(win_state().converter, picture, first, last, target, pitch);
  std::memset(screen->dirty.data(), 0, screen->dirty.size());
}

void win_lock() { EnterCriticalSection(&win_state().lock); }

void win_unlock() { LeaveCriticalSection(&win_state().lock); }

void win_set_palette(int32_t index, int32_t red, int32_t green, int32_t blue) {
  if (index < 0 || index > 255) return;
  WinState& s = win_state();
  s.palette[index][0] = static_cast<uint8_t>(red);
  s.palette[index][1] = static_cast<uint8_t>(green);
  s.palette[index][2] = static_cast<uint8_t>(blue);
  s.palette_changed = true;
}

void win_wait_frame() {
  const int32_t rate = win_state().refresh_rate;
  Sleep(rate > 0 ? 1000 / rate : 16);
}

void win_get_mouse(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons) {
  WinState& s = win_state();
  POINT point{0, 0};
  GetCursorPos(&point);
  if (s.window != nullptr) ScreenToClient(s.window, &point);
  if (x != nullptr) *x = point.x;
  if (y != nullptr) *y = point.y;
  if (wheel != nullptr) *wheel = s.mouse_wheel;
  if (buttons != nullptr) *buttons = s.mouse_buttons;
}

void win_set_mouse(int32_t x, int32_t y, int32_t cursor_shown) {
  WinState& s = win_state();
  if (s.window == nullptr) return;
  POINT point{x, y};
  ClientToScreen(s.window, &point);
  SetCursorPos(point.x, point.y);
  const bool visible = cursor_shown != 0;
  if (visible != s.cursor_visible) {
    s.cursor_visible = visible;
    PostMessageA(s.window, s.cursor_message, visible ? TRUE : FALSE, 0);
  }
}

void win_set_window_title(const char* title) {
  WinState& s = win_state();
  std::snprintf(s.title, sizeof(s.title), "%s", title != nullptr ? title : "");
  if (s.window != nullptr) SetWindowTextA(s.window, s.title);
}

void win_read_keyboard_state(GraphicsScreen* screen) {
  static UINT virtual_keys[128];
  static bool mapped = false;
  if (!mapped) {
    for (UINT scan = 0; scan < 128; ++scan) virtual_keys[scan] = MapVirtualKeyA(scan, MAPVK_VSC_TO_VK);
    mapped = true;
  }
  BYTE keys[256];
  if (!GetKeyboardState(keys)) return;
  for (int scan = 0; scan < 128; ++scan) {
    const UINT vk = virtual_keys[scan];
    screen->key_state[scan] = (vk != 0 && (keys[vk & 0xFF] & 0x80)) ? 1 : 0;
  }
}

void win_beep() { Beep(1000, 250); }
