// The experiment loop: start-up, one second of 200 bits, the wait for the
// next second of the timer, and the end of a 12-hour cycle.
//
// Time, sleeping and keys come only through the clock seam (runtime/clock.h)
// and the key queue (gfx/keys.h), so the same code runs on the system clock
// and on a virtual one. The space key, or an end requested from outside
// (runtime/program.h: request_end), ends the program through end_program.
#pragma once

#include <cstdint>

#include "experiment/run_facts.h"
#include "runtime/text.h"

// The window caption: the program's name and the maker's credit.
extern const char WINDOW_TITLE[];

// Run the start-up sequence on a screen opened with `screen_flags` (1: full
// screen or a window; -1: no window). Ends the program when no screen opens.
void experiment_start(int32_t screen_flags);

// Run one second: its bits, report, pixel, checkpoints, clock and rule; then wait for the next.
void experiment_second();

// Run steps 1 to 8 of a second: everything up to the wait.
void run_second();

// Wait until the timer is 1.0 past the second's start, ending the program on a space or a request.
void wait_next_second();

// Call `observer` with every bit drawn, after it is counted (nullptr: none).
void set_bit_observer(void (*observer)(int32_t bit));

// End the 12-hour cycle: side panel, fresh background, cycle record.
void end_cycle();

// Start the experiment and run seconds for ever; `on_started` (may be null) runs after start-up.
[[noreturn]] void experiment_main(int32_t screen_flags, void (*on_started)() = nullptr);
