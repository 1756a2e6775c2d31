// The start and end of the program, its exit actions, its last-error value,
// and the requests that end it from outside the loop (stop requests of the
// operating system, a lost display).
#pragma once

#include <cstdint>

#include "runtime/text.h"

// Why the program ended, or `running` while it has not.
enum class EndReason : int32_t {
  running = 0,       // not ended (yet)
  space = 1,         // the space key
  stop_request = 2,  // the operating system asked (SIGINT, SIGTERM, SIGHUP; console events)
  display_lost = 3,  // the window or the connection to the display went away
};

// Prepare the runtime: clear the channel table and set the floating-point environment.
void runtime_start();

// Run the exit actions and end the process with `code`, or with the higher status an action asked for.
[[noreturn]] void end_program(int32_t code);

// Ask that the program end with at least exit status `code` (an end action that found lost data: 1).
void raise_exit_status(int32_t code);

// Register an action to run once when the program ends (last registered runs first).
// Registering the same action twice has no effect.
void at_program_end(void (*action)());

// Run the registered exit actions now, each at most once.
void run_program_end_actions();

// Make end_program leave through std::_Exit once the exit actions ran and the standard streams
// are flushed, skipping the destructors of statics and the libraries' exit handlers: for a thread
// that could not be stopped (a presentation thread stuck on a lost display). Any thread may call.
void request_quick_exit();

// Replace how end_program leaves the process (tests and the simulator); nullptr: std::exit.
// The hook must not return; if it does, the process exits.
void set_exit_hook(void (*hook)(int32_t code));

constexpr int32_t ERROR_REFUSED = 1;  // the last-error value of a refused call

// Return the runtime's last-error value (ERROR_REFUSED for a refused call).
int32_t error_code();

// Set the runtime's last-error value.
void set_error_code(int32_t code);

// Ask the program to end at its next key check; async-signal-safe, the first request is kept.
void request_end(EndReason reason);

// Ask the program to stop, as SIGINT, SIGTERM and SIGHUP do; async-signal-safe.
void request_stop();

// Return the end asked for by request_end and not yet reached (running: none).
EndReason requested_end();

// Record why the program is ending; called once the end is taken, before end_program.
void set_end_reason(EndReason reason);

// Return why the program ended (running while it runs); readable from the exit actions on.
EndReason end_reason();

// Forget any end request and end reason (a new program in the same process, as in tests).
void reset_end_state();

// Return the executable's file name without its folder and last extension ("testnuv" when unknown).
Text program_name();
