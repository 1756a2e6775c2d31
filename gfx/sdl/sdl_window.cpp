// The SDL back-end's window: creation in full screen or as a window, the
// renderer and the picture's texture, the centring, and Alt+Enter switching.
//
// Full screen covers the desktop without changing the display mode; the
// picture sits in the middle at the largest whole-number scale that fits,
// with black around it, so its pixels stay crisp. A display smaller than the
// picture gets the window instead, which shows the picture whole.
#include <algorithm>
#include <new>

#include "gfx/driver.h"
#include "gfx/sdl/sdl_video.h"

namespace {

// Return the texture format matching the picture's pixels.
Uint32 texture_format(const SdlState& s) {
  return s.bytes_per_pixel == 4 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
}

// Make the renderer and the picture's texture for the window.
bool create_renderer(SdlState& s) {
  s.renderer = SDL_CreateRenderer(s.window, -1, 0);
  if (s.renderer == nullptr) return false;
  s.texture = SDL_CreateTexture(s.renderer, texture_format(s), SDL_TEXTUREACCESS_STREAMING,
                                s.width, s.height);
  if (s.texture == nullptr) return false;
  SDL_SetTextureScaleMode(s.texture, SDL_ScaleModeNearest);
  sdl_update_layout(s);
  return true;
}

// Destroy the renderer and its texture.
void destroy_renderer(SdlState& s) {
  if (s.texture != nullptr) SDL_DestroyTexture(s.texture);
  if (s.renderer != nullptr) SDL_DestroyRenderer(s.renderer);
  s.texture = nullptr;
  s.renderer = nullptr;
}

// Return the rectangle of the display the window is on (the first display before there is a window).
SDL_Rect display_bounds(const SdlState& s) {
  const int index = s.window != nullptr ? std::max(0, SDL_GetWindowDisplayIndex(s.window)) : 0;
  SDL_Rect bounds = {0, 0, s.width, s.height};
  SDL_GetDisplayBounds(index, &bounds);
  return bounds;
}

// Give the window the size and place of its display, so it covers it even without a window manager.
void cover_display(SdlState& s) {
  const SDL_Rect bounds = display_bounds(s);
  SDL_SetWindowPosition(s.window, bounds.x, bounds.y);
  SDL_SetWindowSize(s.window, bounds.w, bounds.h);
}

// Give the window the picture's size, centred on its display.
void centre_window(SdlState& s) {
  SDL_SetWindowSize(s.window, s.width, s.height);
  SDL_SetWindowPosition(s.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

// Tell whether the whole picture fits on the window's display at scale 1.
bool picture_fits(const SdlState& s) {
  const SDL_Rect bounds = display_bounds(s);
  return bounds.w >= s.width && bounds.h >= s.height;
}

// Put the window into the form asked for; false when the system refused or the picture
// would not fit in full screen.
bool set_form(SdlState& s, bool full_screen) {
  if (full_screen && !picture_fits(s)) return false;
  if (full_screen) cover_display(s);
  if (SDL_SetWindowFullscreen(s.window, full_screen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return false;
  if (!full_screen) centre_window(s);
  return true;
}

}  // namespace

bool sdl_create_window(SdlState& s) {
  // Made hidden at its final place and size, then switched and shown: a full-screen window covers
  // the display even where no window manager applies the full-screen state.
  // On a display smaller than the picture, full screen would crop it: the window shows it whole.
  if (s.full_screen && !picture_fits(s)) s.full_screen = false;
  SDL_Rect place = {SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, s.width, s.height};
  if (s.full_screen) place = display_bounds(s);
  s.window = SDL_CreateWindow(s.title.c_str(), place.x, place.y, place.w, place.h, SDL_WINDOW_HIDDEN);
  if (s.window == nullptr ||
      (s.full_screen && SDL_SetWindowFullscreen(s.window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) ||
      !create_renderer(s)) {
    sdl_destroy_window(s);
    return false;
  }
  try {
    s.band.assign(static_cast<size_t>(s.width) * s.height * s.bytes_per_pixel, 0);
  } catch (const std::bad_alloc&) {
    sdl_destroy_window(s);
    return false;
  }
  SDL_ShowWindow(s.window);
  sdl_update_layout(s);
  s.mark_all = true;
  SDL_StartTextInput();
  return true;
}

void sdl_destroy_window(SdlState& s) {
  destroy_renderer(s);
  if (s.window != nullptr) SDL_DestroyWindow(s.window);
  s.window = nullptr;
}

void sdl_update_layout(SdlState& s) {
  int out_w = s.width;
  int out_h = s.height;
  if (s.renderer != nullptr) SDL_GetRendererOutputSize(s.renderer, &out_w, &out_h);
  const int scale = std::max(1, std::min(out_w / s.width, out_h / s.height));
  s.dest = {(out_w - s.width * scale) / 2, (out_h - s.height * scale) / 2, s.width * scale,
            s.height * scale};
}

void sdl_toggle_full_screen(SdlState& s) {
  if (s.flags & SCREEN_NO_SWITCH) return;
  if (set_form(s, !s.full_screen)) {
    s.full_screen = !s.full_screen;
  } else {
    set_form(s, s.full_screen);
  }
  s.active = true;
  sdl_update_layout(s);
  s.mark_all = true;
}

bool sdl_reset_renderer(SdlState& s) {
  destroy_renderer(s);
  return create_renderer(s);
}
