// The experiment record and the global averages computed from it.
#include "experiment/state.h"

#include <cmath>
#include <limits>
#include <utility>

namespace {

ExperimentState the_state;

// Divide in double precision; a 0 / 0 is the positive quiet NaN, whatever the
// processor's default NaN, so it prints the same on every platform.
double average_of(double sum, double count) {
  double quotient = sum / count;
  if (std::isnan(quotient)) return std::numeric_limits<double>::quiet_NaN();
  return quotient;
}

}  // namespace

ExperimentState& experiment_state() { return the_state; }

void reset_counters(ExperimentState& state) {
  ExperimentState fresh;
  fresh.start_date = std::move(state.start_date);
  fresh.start_time = std::move(state.start_time);
  fresh.log_number = state.log_number;
  state = std::move(fresh);
}

double global_average_one(const ExperimentState& state) {
  return average_of(static_cast<double>(state.global_dev_one),
                    static_cast<double>(state.checkpoints_one));
}

double global_average_zero(const ExperimentState& state) {
  return average_of(static_cast<double>(state.global_dev_zero),
                    static_cast<double>(state.checkpoints_zero));
}
