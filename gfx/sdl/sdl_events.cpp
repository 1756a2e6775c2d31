// Event handling of the SDL back-end: key presses (named by their PC scan
// codes) and typed text into the key
// queue, the window's close request, focus and exposure.
//
// Runs on the presentation thread with the screen lock held, so the key queue
// and the dirty marks are touched only under the lock.
#include <algorithm>

#include "gfx/keys.h"
#include "gfx/screen.h"
#include "gfx/sdl/sdl_keys.h"
#include "gfx/sdl/sdl_video.h"

namespace {

constexpr int32_t PC_ENTER = 0x1C;

// Return the PC scan code (set 1) of a key, or -1; `grey` tells the E0-prefixed keys.
int32_t pc_scan_code(SDL_Scancode scancode, bool* grey) {
  // USB keyboard usages 4 (A) to 100 (the 102nd key), in order, as PC scan codes.
  static const uint8_t usage_to_scan[] = {
      0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,  // A-M
      0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C,  // N-Z
      0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,                    // 1-0
      0x1C, 0x01, 0x0E, 0x0F, 0x39, 0x0C, 0x0D, 0x1A, 0x1B, 0x2B, 0x2B, 0x27, 0x28,  // Enter..'
      0x29, 0x33, 0x34, 0x35, 0x3A,                                                  // `..Caps
      0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x57, 0x58,        // F1-F12
      0x00, 0x46, 0x00, 0x52, 0x47, 0x49, 0x53, 0x4F, 0x51, 0x4D, 0x4B, 0x50, 0x48,  // PrtSc..Up
      0x45, 0x35, 0x37, 0x4A, 0x4E, 0x1C,                                            // NumLk..KpEnter
      0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49, 0x52, 0x53, 0x56,        // Kp1..Kp., 102nd
  };
  const int32_t usage = static_cast<int32_t>(scancode);
  *grey = (usage >= SDL_SCANCODE_INSERT && usage <= SDL_SCANCODE_UP) ||
          usage == SDL_SCANCODE_KP_DIVIDE || usage == SDL_SCANCODE_KP_ENTER;
  const int32_t index = usage - SDL_SCANCODE_A;
  if (index < 0 || index >= static_cast<int32_t>(sizeof usage_to_scan)) return -1;
  const int32_t scan = usage_to_scan[index];
  return scan == 0 ? -1 : scan;
}

// Return the key code a key press adds to the queue (0: none), whether its text is to be dropped,
// and the code that follows it (`then`, 0: none).
uint32_t key_down_code(const SDL_KeyboardEvent& key, bool* suppress_text, uint32_t* then) {
  bool grey = false;
  const int32_t scan = pc_scan_code(key.keysym.scancode, &grey);
  const Uint16 mod = key.keysym.mod;
  int32_t modifiers = 0;
  if (mod & KMOD_SHIFT) modifiers |= PC_SHIFT;
  if (mod & KMOD_CTRL) modifiers |= PC_CTRL;
  if (mod & KMOD_LALT) modifiers |= PC_ALT;
  if (mod & (KMOD_RALT | KMOD_MODE)) modifiers |= PC_ALT_GR;
  if (mod & KMOD_NUM) modifiers |= PC_NUM_LOCK;
  *then = 0;
  if (scan < 0) {
    *suppress_text = (modifiers & (PC_CTRL | PC_ALT)) != 0;
    return 0;
  }
  *suppress_text = sdl_press_drops_text(scan, grey, modifiers);
  *then = sdl_press_typed_after(scan, grey, modifiers);
  return sdl_press_code(scan, grey, modifiers);
}

// Mark every row of the picture for the next presentation (applied when it uploads).
void mark_every_row(SdlState& s) { s.mark_all = true; }

// Forget which keys are held.
void clear_key_state(GraphicsScreen* screen) {
  if (screen != nullptr) std::fill(std::begin(screen->key_state), std::end(screen->key_state), uint8_t{0});
}

// Record a key going down or up in the key-state table.
void note_key_state(GraphicsScreen* screen, SDL_Scancode scancode, uint8_t held) {
  bool grey = false;
  const int32_t scan = pc_scan_code(scancode, &grey);
  if (screen != nullptr && scan >= 0 && scan < 128) screen->key_state[scan] = held;
}

// Tell whether a key press is Alt+Enter, the switch between full screen and window.
bool is_alt_enter(const SDL_KeyboardEvent& key) {
  bool grey = false;
  if (pc_scan_code(key.keysym.scancode, &grey) != PC_ENTER) return false;
  return (key.keysym.mod & KMOD_ALT) != 0 && (key.keysym.mod & (KMOD_CTRL | KMOD_SHIFT)) == 0;
}

// Queue the code of a key press, or switch the window form for Alt+Enter.
void handle_key_down(SdlState& s, GraphicsScreen* screen, const SDL_KeyboardEvent& key) {
  if (s.active) note_key_state(screen, key.keysym.scancode, 1);
  if (is_alt_enter(key)) {
    s.text_suppressed = true;
    if (key.repeat == 0) sdl_toggle_full_screen(s);
    return;
  }
  bool suppress = false;
  uint32_t then = 0;
  const uint32_t code = key_down_code(key, &suppress, &then);
  s.text_suppressed = suppress;
  if (code != 0) add_key(code);
  if (then != 0) add_key(then);
}

// Queue the code-page-437 bytes of typed text, unless its key press was queued already.
void handle_text(SdlState& s, const char* utf8) {
  if (s.text_suppressed) return;
  for (const char byte : utf8_to_cp437(utf8)) add_key(static_cast<uint8_t>(byte));
}

// React to a change of the window: close request, focus, exposure, size.
void handle_window_event(SdlState& s, GraphicsScreen* screen, const SDL_WindowEvent& w) {
  switch (w.event) {
    case SDL_WINDOWEVENT_CLOSE:
      add_key(KEY_CLOSE_REQUEST);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_FOCUS_LOST:
      s.active = w.event == SDL_WINDOWEVENT_FOCUS_GAINED;
      clear_key_state(screen);
      mark_every_row(s);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      sdl_update_layout(s);
      mark_every_row(s);
      break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
      mark_every_row(s);
      break;
    default:
      break;
  }
}

}  // namespace

void sdl_handle_events(SdlState& s, GraphicsScreen* screen) {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_QUIT:
        add_key(KEY_CLOSE_REQUEST);
        break;
      case SDL_WINDOWEVENT:
        handle_window_event(s, screen, e.window);
        break;
      case SDL_KEYDOWN:
        handle_key_down(s, screen, e.key);
        break;
      case SDL_KEYUP:
        note_key_state(screen, e.key.keysym.scancode, 0);
        break;
      case SDL_TEXTINPUT:
        handle_text(s, e.text.text);
        break;
      case SDL_RENDER_TARGETS_RESET:
        mark_every_row(s);
        break;
      case SDL_RENDER_DEVICE_RESET:
        sdl_reset_renderer(s);
        mark_every_row(s);
        break;
      default:
        break;
    }
  }
}
