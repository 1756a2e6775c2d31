// Event handling of the SDL back-end: key presses and typed text into the key
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

// Mark every row of the picture for the next presentation (applied when it uploads).
void mark_every_row(SdlState& s) { s.mark_all = true; }

// Forget which keys are held.
void clear_key_state(GraphicsScreen* screen) {
  if (screen != nullptr) std::fill(std::begin(screen->key_state), std::end(screen->key_state), uint8_t{0});
}

// Record a key going down or up in the key-state table.
void note_key_state(GraphicsScreen* screen, SDL_Scancode scancode, uint8_t held) {
  bool grey = false;
  const int32_t scan = sdl_pc_scan_code(scancode, &grey);
  if (screen != nullptr && scan >= 0 && scan < 128) screen->key_state[scan] = held;
}

// Tell whether a key press is Alt+Enter, the switch between full screen and window.
bool is_alt_enter(const SDL_KeyboardEvent& key) {
  bool grey = false;
  if (sdl_pc_scan_code(key.keysym.scancode, &grey) != PC_ENTER) return false;
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
  const uint32_t code = sdl_key_down_code(key, &suppress, &then);
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
