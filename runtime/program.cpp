// Program: runtime start-up, the exit actions, the way out of the process and the last-error value.
//
// Exit actions (closing files, releasing the screen) run once, last
// registered first, either from end_program or from any orderly process exit
// (std::atexit). Tests and the simulator replace the final exit with a hook.
#include "runtime/program.h"

#include <atomic>
#include <cfenv>
#include <cstdio>
#include <cstdlib>

#include "runtime/platform.h"
#include "runtime/print.h"

namespace {

constexpr int MAX_EXIT_ACTIONS = 32;

void (*exit_actions[MAX_EXIT_ACTIONS])();  // registered actions, oldest first
int exit_action_count = 0;                 // how many are registered and not yet run
bool atexit_arranged = false;              // std::atexit(run_program_end_actions) done
void (*exit_hook)(int32_t) = nullptr;      // replaces std::exit when set
int32_t least_exit_status = 0;             // the lowest status the program may end with
int32_t last_error = 0;                    // the runtime's last-error value
std::atomic<bool> leave_quickly{false};    // leave by std::_Exit: a thread was left running

// NOTE: set from signal handlers and other threads; a lock-free atomic is async-signal-safe.
std::atomic<int32_t> end_request{0};  // EndReason asked for, 0 while none
std::atomic<int32_t> ended_by{0};     // EndReason the program ended with
static_assert(std::atomic<int32_t>::is_always_lock_free, "stop requests need a lock-free flag");

}  // namespace

void runtime_start() {
  reset_channel_table();
  least_exit_status = 0;
  // NOTE: x86-64 arithmetic is SSE double throughout; exceptions stay masked as at process start.
  std::fesetround(FE_TONEAREST);
}

void end_program(int32_t code) {
  run_program_end_actions();
  if (least_exit_status > code) code = least_exit_status;
  if (exit_hook != nullptr) exit_hook(code);
  if (leave_quickly.load()) {
    std::fflush(nullptr);
    std::_Exit(code);
  }
  std::exit(code);
}

void raise_exit_status(int32_t code) {
  if (code > least_exit_status) least_exit_status = code;
}

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

void run_program_end_actions() {
  while (exit_action_count > 0) {
    void (*action)() = exit_actions[--exit_action_count];
    action();
  }
}

void request_quick_exit() { leave_quickly.store(true); }

void set_exit_hook(void (*hook)(int32_t code)) { exit_hook = hook; }

int32_t error_code() { return last_error; }

void set_error_code(int32_t code) { last_error = code; }

void request_end(EndReason reason) {
  int32_t none = 0;
  end_request.compare_exchange_strong(none, static_cast<int32_t>(reason));
}

void request_stop() { request_end(EndReason::stop_request); }

EndReason requested_end() { return static_cast<EndReason>(end_request.load()); }

void set_end_reason(EndReason reason) { ended_by.store(static_cast<int32_t>(reason)); }

EndReason end_reason() { return static_cast<EndReason>(ended_by.load()); }

void reset_end_state() {
  end_request.store(0);
  ended_by.store(0);
}

Text program_name() {
  Text name = platform_program_file_name();
  size_t dot = name.rfind('.');
  if (dot != Text::npos) name.erase(dot);
  return name.empty() ? Text("testnuv") : name;
}
