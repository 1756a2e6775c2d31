// The 15-minute and 5-minute checkpoints: window averages, verdicts, the
// global accumulators, the dots of the fluctuation graph and the log records.
//
// Works on the experiment record; draws in the graph area that the layout
// leaves as the viewport; writes through study_log.h.
#pragma once

#include <cstdint>

// Run the 15-minute checkpoint if due, then the 5-minute checkpoint if due.
void run_checkpoints();

// Return true when the counter is a whole multiple of the period (tested in floating point).
bool checkpoint_due(int32_t seconds_counter, int32_t period);

// Return a window's average deviation: sum / count rounded half to even; 0 when count is 0.
int32_t window_average(int32_t sum, int32_t count);

// Return the graph row of a window's dot; expected is the window's expected count of one digit.
int32_t dot_row(int32_t zeros, int32_t ones, double expected);
