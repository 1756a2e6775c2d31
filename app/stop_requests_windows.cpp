// Stop requests on Windows: the console's Ctrl+C, Ctrl+Break and close events.
//
// Each sets the stop flag and wakes the loop from its wait, so the running
// second ends at its next key check and the program ends by its own path (the
// study log closed, the screen released). For the close event the handler
// waits: the system ends the process as soon as the handler returns.
//
// The handlers run on a thread of the system's. Once the program's end has
// begun they no longer wake the loop, whose wake signal goes away with the
// process; a request that arrives then is left to that end.
#include "app/console_windows.h"

#include <mutex>

#include "app/stop_requests.h"
#include "gfx/keys.h"
#include "runtime/program.h"

namespace {

std::mutex request_lock;      // held while a request wakes the loop and while requests are shut off
bool program_ending = false;  // the program's end has begun: no request wakes the loop

// Set the stop flag and wake the loop, unless the program is already ending.
void pass_request() {
  request_stop();
  std::lock_guard<std::mutex> hold(request_lock);
  if (!program_ending) wake_key_waiters();
}

// Wake the loop no more; runs at the program's end.
void stop_taking_requests() {
  std::lock_guard<std::mutex> hold(request_lock);
  program_ending = true;
}

// Turn a console event into a stop request; keep the handler alive until the process ends on close.
BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      pass_request();
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      pass_request();
      // The program's thread ends the process; until then this thread must not return.
      for (;;) Sleep(1000);
    default:
      return FALSE;
  }
}

}  // namespace

void watch_stop_requests() {
  at_program_end(stop_taking_requests);
  SetConsoleCtrlHandler(on_console_event, TRUE);
}
