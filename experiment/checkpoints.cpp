// The checkpoints of the 15-minute and 5-minute windows.
#include "experiment/checkpoints.h"

#include <cmath>

#include "experiment/layout.h"
#include "experiment/run_facts.h"
#include "experiment/state.h"
#include "experiment/study_log.h"

namespace {

constexpr int32_t CENTRE_ROW = 115;
constexpr double EXPECTED_15MIN = 90000.0;
constexpr double EXPECTED_5MIN = 30000.0;

// The colour of a dot of either size for a verdict.
RgbColour dot_colour(Lean lean, RgbColour toward_zero, RgbColour toward_one) {
  if (lean == Lean::zero) return toward_zero;
  if (lean == Lean::one) return toward_one;
  return 0xFFFFFF;
}

// Close the 15-minute window.
void run_15min_checkpoint(ExperimentState& s) {
  s.dev_zero_15min = window_average(s.dev_zero_15min, s.lean_zero_15min);
  s.dev_one_15min = window_average(s.dev_one_15min, s.lean_one_15min);
  s.global_dev_zero += s.dev_zero_15min;
  s.global_dev_one += static_cast<float>(s.dev_one_15min);
  const Lean lean = judge(s.zeros_15min, s.ones_15min);
  if (lean == Lean::zero) s.checkpoints_zero += 1;
  if (lean == Lean::one) s.checkpoints_one += 1;
  s.dot_y = dot_row(s.zeros_15min, s.ones_15min, EXPECTED_15MIN);
  draw_graph_dot(s.dot_x, s.dot_y, 2, dot_colour(lean, 0x8888DD, 0xDD8888));
  write_15min_record();
  s.zeros_15min = s.ones_15min = 0;
  s.dev_zero_15min = s.dev_one_15min = 0;
  s.lean_zero_15min = s.lean_one_15min = 0;
}

// Close the 5-minute window and move on to the next dot column.
void run_5min_checkpoint(ExperimentState& s) {
  s.dev_zero_5min = window_average(s.dev_zero_5min, s.lean_zero_5min);
  s.dev_one_5min = window_average(s.dev_one_5min, s.lean_one_5min);
  const Lean lean = judge(s.zeros_5min, s.ones_5min);
  s.dot_y = dot_row(s.zeros_5min, s.ones_5min, EXPECTED_5MIN);
  draw_graph_dot(s.dot_x, s.dot_y, 1, dot_colour(lean, 0x4444DD, 0xDD4444));
  write_5min_record();
  s.dot_x += 5;
  s.zeros_5min = s.ones_5min = 0;
  s.dev_zero_5min = s.dev_one_5min = 0;
  s.lean_zero_5min = s.lean_one_5min = 0;
}

}  // namespace

bool checkpoint_due(int32_t seconds_counter, int32_t period) {
  const double quotient = static_cast<double>(seconds_counter) / static_cast<double>(period);
  return quotient == std::floor(quotient);
}

int32_t window_average(int32_t sum, int32_t count) {
  // A window in which no second leaned this way has nothing to average: 0, never 0 / 0.
  if (count == 0) return 0;
  return round_to_int32(static_cast<double>(sum) / static_cast<double>(count));
}

int32_t dot_row(int32_t zeros, int32_t ones, double expected) {
  switch (judge(zeros, ones)) {
    case Lean::zero:
      return round_to_int32(CENTRE_ROW + (zeros - ones) * 100 / expected);
    case Lean::one:
      return round_to_int32(CENTRE_ROW - (ones - zeros) * 100 / expected);
    case Lean::balanced:
      break;
  }
  return CENTRE_ROW;
}

void run_checkpoints() {
  ExperimentState& s = experiment_state();
  if (checkpoint_due(s.seconds_counter, WINDOW_15MIN)) run_15min_checkpoint(s);
  if (checkpoint_due(s.seconds_counter, WINDOW_5MIN)) run_5min_checkpoint(s);
}
