// Program: runtime start-up, the exit actions, the way out of the process and the last-error value.
//
// Exit actions (closing files, releasing the screen) run once, last
// registered first, either from end_program or from any orderly process exit
// (std::atexit). Tests and the simulator replace the final exit with a hook.
#include "runtime/program.h"

#include <atomic>
#include <cfenv>
#include <cstdlib>

#include "runtime/print.h"

namespace {

constexpr int MAX_EXIT_ACTIONS = 32;

void (*exit_actions[MAX_EXIT_ACTIONS])();  // registered actions, oldest first
int exit_action_count = 0;                 // how many are registered and not yet run
bool atexit_arranged = false;              // std::atexit(run_program_end_actions) done
void (*exit_hook)(int32_t) = nullptr;      // replaces std::exit when set
int32_t least_exit_status = 0;             // the lowest status the program may end with
int32_t last_error = 0;                    // the runtime's last-error value

// NOTE: set from signal handlers and other threads; a lock-free atomic is async-signal-safe.
std::atomic<int32_t> end_request{0};  // EndReason asked for, 0 while none
std::atomic<int32_t> ended_by{0};     // EndReason the program ended with
static_assert(std::atomic<int32_t>::is_always_lock_free, "stop requests need a lock-free flag");

}  // namespace

// Prepare the runtime: clear the channel table and set the floating-point environment.
void runtime_start() {
  reset_channel_table();
  least_exit_status = 0;
  // NOTE: x86-64 arithmetic is SSE double throughout; exceptions stay masked as at process start.
  std::fesetround(FE_TONEAREST);
}

// Run the exit actions and end the process with `code`, or with the higher status an action asked for.
void end_program(int32_t code) {
  run_program_end_actions();
  if (least_exit_status > code) code = least_exit_status;
  if (exit_hook != nullptr) exit_hook(code);
  std::exit(code);
}

// Ask that the program end with at least exit status `code`.
void raise_exit_status(int32_t code) {
  if (code > least_exit_status) least_exit_status = code;
}

// Register an action to run once when the program ends (last registered runs first).
void at_program_end(void (*action)()) {
  if (action == nullptr) return;
  if (!atexit_arranged) {
    atexit_arranged = true;
    std::atexit(run_program_end_actions);
  }
  for (int i = 0; i < exit_action_count; ++i) {
    if (exit_actions[i] == action) return;
  }
  if (exit_action_count < MAX_EXIT_ACTIONS) exit_actions[exit_action_count++] = action;
}

// Run the registered exit actions now, each at most once.
void run_program_end_actions() {
  while (exit_action_count > 0) {
    void (*action)() = exit_actions[--exit_action_count];
    action();
  }
}

// Replace how end_program leaves the process (tests and the simulator); nullptr: std::exit.
void set_exit_hook(void (*hook)(int32_t code)) { exit_hook = hook; }

// Return the runtime's last-error value.
int32_t error_code() { return last_error; }

// Set the runtime's last-error value.
void set_error_code(int32_t code) { last_error = code; }

// Ask the program to end at its next key check; the first request is kept.
void request_end(EndReason reason) {
  int32_t none = 0;
  end_request.compare_exchange_strong(none, static_cast<int32_t>(reason));
}

// Ask the program to stop, as SIGINT, SIGTERM and SIGHUP do.
void request_stop() { request_end(EndReason::stop_request); }

// Return the end asked for and not yet reached.
EndReason requested_end() { return static_cast<EndReason>(end_request.load()); }

// Record why the program is ending.
void set_end_reason(EndReason reason) { ended_by.store(static_cast<int32_t>(reason)); }

// Return why the program ended.
EndReason end_reason() { return static_cast<EndReason>(ended_by.load()); }

// Forget any end request and end reason.
void reset_end_state() {
  end_request.store(0);
  ended_by.store(0);
}
