// Stop requests on Windows: the console's Ctrl+C, Ctrl+Break and close events.
//
// Each puts a space into the key queue under the screen lock, so the running
// second ends at its next key check and the program ends by its own path (the
// study log closed, the screen released). For the close event the handler
// waits: the system ends the process as soon as the handler returns.
#include "gfx/windows/win_api.h"

#include <atomic>

#include "app/stop_requests.h"
#include "app/stop_space.h"

namespace {

std::atomic<bool> space_queued{false};  // one space is enough; the screen may be closing after it

// Put a space into the key queue once for all requests; false when no screen is open to take it.
bool queue_space_once() {
  if (space_queued.exchange(true)) return true;
  if (queue_stop_space()) return true;
  space_queued = false;
  return false;
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

void watch_stop_requests() { SetConsoleCtrlHandler(on_console_event, TRUE); }
