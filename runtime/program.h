// The start and end of the program, its exit actions and its last-error value.
#pragma once

#include <cstdint>

// Prepare the runtime: clear the channel table and set the floating-point environment.
void runtime_start();

// Run the exit actions and end the process with `code`.
[[noreturn]] void end_program(int32_t code);

// Register an action to run once when the program ends (last registered runs first).
// Registering the same action twice has no effect.
void at_program_end(void (*action)());

// Run the registered exit actions now, each at most once.
void run_program_end_actions();

// Replace how end_program leaves the process (tests and the simulator); nullptr: std::exit.
// The hook must not return; if it does, the process exits.
void set_exit_hook(void (*hook)(int32_t code));

// The runtime's last-error value (1 for a refused call).
int32_t error_code();
void set_error_code(int32_t code);
