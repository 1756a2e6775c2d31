// Stop requests on Windows: the console's Ctrl+C, Ctrl+Break and close events.
//
// Each puts a space into the key queue under the screen lock, so the running
// second ends at its next key check and the program ends by its own path (the
// study log closed, the screen released). For the close event the handler
// waits: the system ends the process as soon as the handler returns.
//
// The handlers run on a thread of the system's. Once the program's end has
// begun they no longer touch the key queue or the screen lock, which the
// screen's release deletes; a request that arrives then is left to that end.
#include "gfx/windows/win_api.h"

#include <mutex>

#include "app/stop_requests.h"
#include "app/stop_space.h"
#include "runtime/program.h"

namespace {

std::mutex request_lock;      // held while a request is queued and while requests are shut off
bool space_queued = false;    // one space is enough; the screen may be closing after it
bool program_ending = false;  // the program's end has begun: no request reaches the key queue

// Put a space into the key queue once for all requests; true also when the program is already
// ending, false when no screen is open to take it.
bool queue_space_once() {
  std::lock_guard<std::mutex> hold(request_lock);
  if (space_queued || program_ending) return true;
  space_queued = queue_stop_space();
  return space_queued;
}

// Take no more requests into the key queue; runs at the program's end, before the screen is released.
void stop_taking_requests() {
  std::lock_guard<std::mutex> hold(request_lock);
  program_ending = true;
}

// Turn a console event into a space; keep the handler alive until the process ends on close.
BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      return queue_space_once() ? TRUE : FALSE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      if (!queue_space_once()) return FALSE;
      // The program's thread ends the process; until then this thread must not return.
      for (;;) Sleep(1000);
    default:
      return FALSE;
  }
}

}  // namespace

void watch_stop_requests() {
  // Registered after open_screen's release_screen, so it runs before it.
  at_program_end(stop_taking_requests);
  SetConsoleCtrlHandler(on_console_event, TRUE);
}
