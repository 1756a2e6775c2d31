// Loss of the display under the SDL back-end: a broken connection to the X
// server or a window destroyed by another client.
//
// Xlib's own answer to a broken connection is to end the process from the
// thread that noticed it, the presentation thread, whose exit actions then
// wait for that very thread. Instead the handlers here only note the loss and
// tell the program (report_display_lost), which ends by its orderly path; the
// presentation thread stops touching the display. Other X errors are ignored:
// the experiment must not die of a failed drawing request. Only the X11
// video driver is watched; the handlers run on the presentation thread.
//
// The handlers are in place before SDL opens its first connection. The I/O
// error handler does not return: Xlib would then end the process (the exit
// handler is set per connection, and only once the window is watched), or
// SDL would wait for the dead server's answers for ever (as it does when it
// hides a window). The presentation thread stops for good where it stands
// instead (sdl_strand_presenter); the program ends without it.
#include <atomic>

#include "gfx/keys.h"
#include "gfx/sdl/sdl_video.h"

#ifdef TESTNUV_HAVE_X11
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#endif

namespace {

std::atomic<bool> lost{false};  // the display is gone; set once, read by the presentation thread

// Note the loss once and tell the program.
void note_lost() {
  if (!lost.exchange(true)) report_display_lost();
}

#ifdef TESTNUV_HAVE_X11

Display* watched_display = nullptr;  // the connection SDL's window lives on
Window watched_window = 0;           // that window

// A broken connection: note it; the presentation thread stops here.
int on_io_error(Display* /*display*/) {
  note_lost();
  sdl_strand_presenter();
}

// Xlib's last step for a broken connection, should the handler above ever return: return
// instead of ending the process.
void on_io_error_exit(Display* /*display*/, void* /*data*/) { note_lost(); }

// A request that failed: the window's own absence means the display is lost; others are ignored.
int on_error(Display* /*display*/, XErrorEvent* error) {
  const bool window_gone = error->error_code == BadWindow || error->error_code == BadDrawable;
  if (window_gone && watched_window != 0 && error->resourceid == watched_window) note_lost();
  return 0;
}

#endif

}  // namespace

void sdl_catch_display_loss() {
  lost.store(false);
#ifdef TESTNUV_HAVE_X11
  watched_display = nullptr;
  watched_window = 0;
  XSetErrorHandler(on_error);
  XSetIOErrorHandler(on_io_error);
#endif
}

void sdl_watch_display(SdlState& s) {
#ifdef TESTNUV_HAVE_X11
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (s.window == nullptr || !SDL_GetWindowWMInfo(s.window, &info) ||
      info.subsystem != SDL_SYSWM_X11) {
    return;
  }
  watched_display = info.info.x11.display;
  watched_window = info.info.x11.window;
  XSetErrorHandler(on_error);
  XSetIOErrorHandler(on_io_error);
  XSetIOErrorExitHandler(watched_display, on_io_error_exit, nullptr);
#else
  (void)s;
#endif
}

bool sdl_display_lost() { return lost.load(); }
