// The window procedure of the windowed back-ends: typed characters and key
// presses become key-queue codes, the close request becomes KEY_CLOSE_REQUEST, and focus,
// repaint, mouse and full-screen switching messages are handled.
#include <cstring>

#include "gfx/keys.h"
#include "gfx/screen.h"
#include "gfx/windows/win_backend.h"
#include "gfx/windows/win_keymap.h"

namespace {

constexpr LPARAM ALT_HELD_BIT = LPARAM{1} << 29;
constexpr LPARAM E0_PREFIX_BIT = LPARAM{1} << 24;  // the key is one of the grey E0-prefixed keys
// System version (major * 256 + minor) 4.9; from 4.10 (Windows 98) on, the system sends wheel messages.
constexpr int32_t LAST_VERSION_WITHOUT_WHEEL = 4 * 256 + 9;

// Return the repeat count of a key message.
int32_t repeat_count(LPARAM lparam) { return static_cast<int32_t>(lparam & 0xFFFF); }

// Add a code once per repeat.
void add_repeated(uint32_t code, int32_t repeats) {
  for (int32_t i = 0; i < repeats; ++i) add_key(code);
}

// Convert a typed character of the system code page to code page 437 and queue it.
void queue_character(WPARAM character, LPARAM lparam) {
  if (character == 0 || character > 255) return;
  const char ansi = static_cast<char>(character);
  WCHAR wide = 0;
  if (MultiByteToWideChar(CP_ACP, 0, &ansi, 1, &wide, 1) != 1) return;
  char converted[4] = {};
  if (WideCharToMultiByte(437, 0, &wide, 1, converted, sizeof(converted), nullptr, nullptr) < 1) return;
  const uint8_t code = static_cast<uint8_t>(converted[0]);
  if (code != 0) add_repeated(code, repeat_count(lparam));
}

// Return the character the key gives on the current layout, 0 when none or a dead key.
uint8_t key_character(UINT virtual_key, UINT scan_code, const BYTE* keys) {
  if (MapVirtualKeyA(virtual_key, MAPVK_VK_TO_CHAR) & 0x80000000u) return 0;
  WORD out = 0;
  if (ToAscii(virtual_key, scan_code, keys, &out, 0) != 1) return 0;
  return static_cast<uint8_t>(out & 0xFF);
}

// Queue the extended code of a key press; false when the message must not reach DefWindowProcA.
bool queue_key_press(WPARAM virtual_key, LPARAM lparam) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  KeyModifiers modifiers;
  modifiers.shift = (keys[VK_SHIFT] & 0x80) != 0;
  modifiers.ctrl = (keys[VK_CONTROL] & 0x80) != 0;
  modifiers.alt = (keys[VK_MENU] & 0x80) != 0 || (lparam & ALT_HELD_BIT) != 0;
  modifiers.right_alt = (keys[VK_RMENU] & 0x80) != 0 && (keys[VK_RCONTROL] & 0x80) == 0;
  const UINT scan_code = static_cast<UINT>((lparam >> 16) & 0xFF);
  const bool grey = (lparam & E0_PREFIX_BIT) != 0;
  const uint8_t character = key_character(static_cast<UINT>(virtual_key), scan_code, keys);
  const uint32_t code = translate_key(static_cast<int32_t>(scan_code), grey, modifiers, character);
  if (code > 255) add_repeated(code, repeat_count(lparam));
  // F10 and Alt would open the system menu, Alt+F4 would close the window.
  return virtual_key != VK_F10 && virtual_key != VK_MENU && code != KEY_CLOSE_REQUEST;
}

// Forget held keys and buttons and repaint everything when the focus changes.
void change_focus(WinState& s, bool active) {
  s.active = active;
  if (GraphicsScreen* screen = current_screen()) std::memset(screen->key_state, 0, sizeof(screen->key_state));
  s.mouse_buttons = 0;
  mark_all_dirty();
}

// Handle a message; false when it must not reach DefWindowProcA. Runs under the screen lock.
bool handle_message(WinState& s, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  *result = 0;
  switch (message) {
    case WM_CHAR:
      queue_character(wparam, lparam);
      return true;
    case WM_SYSKEYDOWN:
      if (wparam == VK_RETURN && (lparam & ALT_HELD_BIT) && s.active) {
        win_switch_full_screen();
        return false;
      }
      return queue_key_press(wparam, lparam);
    case WM_KEYDOWN:
      return queue_key_press(wparam, lparam);
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return wparam != VK_F10 && wparam != VK_MENU;
    case WM_CLOSE:
      add_key(KEY_CLOSE_REQUEST);
      return false;
    case WM_PAINT:
      if (s.backend != nullptr && s.backend->paint != nullptr) s.backend->paint();
      return true;
    case WM_ACTIVATEAPP:
      change_focus(s, wparam != 0);
      return true;
    case WM_SIZE:
      if (wparam == SIZE_MAXIMIZED && s.active) {
        win_switch_full_screen();
        return false;
      }
      return true;
    case WM_LBUTTONDOWN: s.mouse_buttons |= MOUSE_LEFT; return true;
    case WM_LBUTTONUP: s.mouse_buttons &= ~MOUSE_LEFT; return true;
    case WM_RBUTTONDOWN: s.mouse_buttons |= MOUSE_RIGHT; return true;
    case WM_RBUTTONUP: s.mouse_buttons &= ~MOUSE_RIGHT; return true;
    case WM_MBUTTONDOWN: s.mouse_buttons |= MOUSE_MIDDLE; return true;
    case WM_MBUTTONUP: s.mouse_buttons &= ~MOUSE_MIDDLE; return true;
    case WM_MOUSEWHEEL:
      if (s.system_version > LAST_VERSION_WITHOUT_WHEEL) s.mouse_wheel += GET_WHEEL_DELTA_WPARAM(wparam) > 0 ? 1 : -1;
      return true;
    default:
      if (message == s.cursor_message && message != 0) {
        ShowCursor(wparam != 0);
        return false;
      }
      return true;
  }
}

}  // namespace

LRESULT CALLBACK win_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WinState& s = win_state();
  LRESULT result = 0;
  // Messages also arrive while the window is made or destroyed, outside the
  // thread's locked step; the key queue and the dirty marks need the lock.
  EnterCriticalSection(&s.lock);
  const bool pass_on = handle_message(s, message, wparam, lparam, &result);
  LeaveCriticalSection(&s.lock);
  return pass_on ? DefWindowProcA(window, message, wparam, lparam) : result;
}
