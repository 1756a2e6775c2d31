// The SDL2 back-end's private state and the entry points its files share.
//
// Included only by the files of gfx/sdl/. Everything here runs on the
// presentation thread, which owns every SDL object, unless a comment says
// otherwise.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

struct GraphicsScreen;

struct SdlState {
  std::string title;                  // caption, UTF-8
  bool title_changed = false;         // the caption is to be applied at the next step
  int32_t width = 0;                  // picture size in pixels, as passed to init
  int32_t height = 0;
  int32_t bytes_per_pixel = 2;        // 2: 5-6-5, 4: 0x00RRGGBB
  int32_t flags = 0;                  // open_screen flags in force
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;     // the picture, streaming, width x height
  SDL_Rect dest = {0, 0, 0, 0};       // where the picture lands in the output
  bool full_screen = false;           // the window covers the desktop
  bool active = true;                 // the window has the focus
  bool text_suppressed = false;       // the last key press was already queued; drop its text
  bool mark_all = false;              // every row must be shown at the next step
  std::vector<uint8_t> band;          // staging rows for one texture upload
};

// sdl_window.cpp
// Create the window, renderer and texture for the state's size and form; false on failure.
bool sdl_create_window(SdlState& s);
// Destroy whatever sdl_create_window made.
void sdl_destroy_window(SdlState& s);
// Recompute where the picture lands after the output size changed.
void sdl_update_layout(SdlState& s);
// Switch between full screen and window, keeping the picture (unless switching is off).
void sdl_toggle_full_screen(SdlState& s);
// Make a new renderer and texture after the graphics device was lost; false on failure.
bool sdl_reset_renderer(SdlState& s);

// sdl_framebuffer.cpp
// Copy the band of dirty rows into the texture and clear the marks; false when nothing was marked.
bool sdl_upload_dirty(SdlState& s, GraphicsScreen& screen);
// Show the texture centred on black.
void sdl_show_frame(SdlState& s);

// sdl_events.cpp
// Handle every waiting event: keys into the key queue, window changes. Screen lock held.
void sdl_handle_events(SdlState& s, GraphicsScreen* screen);

// sdl_video.cpp
// On a lost display, from the presentation thread: let go of the screen lock if the step holds
// it, tell init and exit, and sleep until the process ends, so that nothing waits on the dead
// connection and Xlib does not end the process. Never returns.
[[noreturn]] void sdl_strand_presenter();

// sdl_display.cpp
// Answer the loss of any display connection (X11) before SDL opens one: nothing ends the process.
void sdl_catch_display_loss();
// Watch the window's display for its loss (X11): the program is told, nothing ends the process.
void sdl_watch_display(SdlState& s);
// Tell whether the display was lost; nothing more may be asked of it then.
bool sdl_display_lost();

// sdl_audio.cpp
// Ask for the bell from any thread; the presentation thread sounds it.
void sdl_request_bell();
// Start or end the tone as asked. Presentation thread, outside the screen lock.
void sdl_bell_step();
// Close the audio device if one was opened.
void sdl_bell_close();
