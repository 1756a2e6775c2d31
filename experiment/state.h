// The experiment's one record: every counter, window and sum of the run.
//
// Written only by the loop (loop.cpp) and the checkpoints (checkpoints.cpp);
// read by the layout and the study log. One instance for the whole process.
//
// NOTE: checkpoints_one (64-bit unsigned) and global_dev_one (single precision)
// differ in type from their zero-side twins on purpose: the global average
// toward one is summed in single precision and divided by an unsigned 64-bit
// count, and the digits it shows on screen and in the study log depend on
// that arithmetic. Do not "tidy" them into int32_t.
#pragma once

#include <cstdint>

#include "runtime/text.h"

struct ExperimentState {
  Text start_date;               // date_text at start-up, "mm-dd-yyyy"
  Text start_time;               // time_text at start-up, "hh:mm:ss"
  int32_t dot_x = 5;             // graph column of the next checkpoint dot
  int32_t dot_y = 0;             // graph row of the last checkpoint dot
  int32_t minute = 0;            // minute of the 12-hour cycle, 0 to 720
  int32_t second = 0;            // second within the minute, 0 to 59
  int32_t bit = 0;               // the bit just drawn
  int32_t zeros_second = 0;      // zeros drawn in this second
  int32_t ones_second = 0;       // ones drawn in this second
  int32_t lean_zero_5min = 0;    // seconds toward zero in the 5-minute window
  int32_t lean_zero_15min = 0;   // seconds toward zero in the 15-minute window
  int32_t lean_one_5min = 0;     // seconds toward one in the 5-minute window
  int32_t lean_one_15min = 0;    // seconds toward one in the 15-minute window
  int32_t seconds_counter = 1;   // number of the current second; never reset
  int32_t zeros_5min = 0;        // zeros drawn in the 5-minute window
  int32_t ones_5min = 0;         // ones drawn in the 5-minute window
  int32_t zeros_15min = 0;       // zeros drawn in the 15-minute window
  int32_t ones_15min = 0;        // ones drawn in the 15-minute window
  int32_t cycles = 0;            // completed 12-hour cycles
  int32_t checkpoints_zero = 0;  // 15-minute checkpoints judged toward zero
  uint64_t checkpoints_one = 0;  // 15-minute checkpoints judged toward one (64-bit unsigned: see NOTE)
  int32_t log_number = 0;        // file number of the study log
  int32_t dev_zero_5min = 0;     // deviation sum toward zero; its average at the checkpoint
  int32_t dev_one_5min = 0;      // deviation sum toward one; its average at the checkpoint
  int32_t dev_zero_15min = 0;    // the same over the 15-minute window
  int32_t dev_one_15min = 0;     // the same over the 15-minute window
  int32_t global_dev_zero = 0;   // sum of all 15-minute averages toward zero
  float global_dev_one = 0.0f;   // sum of all 15-minute averages toward one (single precision: see NOTE)
  int32_t second_start = 0;      // timer, in whole seconds, when this second began
  int32_t bit_index = 0;         // the bit being drawn, 1 to 200
};

// Which way a second or a window leans.
enum class Lean { zero, one, balanced };

// Return the process's experiment record.
ExperimentState& experiment_state();

// Reset every numeric field to its start value (the texts and log_number are kept).
void reset_counters(ExperimentState& state);

// Judge counts of zeros and ones: more zeros lean toward zero, more ones toward one.
inline Lean judge(int32_t zeros, int32_t ones) {
  if (zeros > ones) return Lean::zero;
  if (ones > zeros) return Lean::one;
  return Lean::balanced;
}

// Return the global average toward one: global_dev_one / checkpoints_one.
double global_average_one(const ExperimentState& state);

// Return the global average toward zero: global_dev_zero / checkpoints_zero.
double global_average_zero(const ExperimentState& state);
