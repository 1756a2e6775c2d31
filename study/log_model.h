// The study log a run writes, worked out again from its seconds' counts.
//
// The model keeps the same windows, lean counts, deviation sums and global
// accumulators as the experiment, with the same arithmetic (integer sums,
// averages rounded half to even, the single-precision sum toward one), and
// renders each record's lines as the log has them, given the record's own
// date and time: so a record can be compared byte for byte but for its stamp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "experiment/run_facts.h"
#include "study/study_log_records.h"

// A record the run writes, with every value its lines show.
struct ExpectedRecord {
  RecordKind kind = RecordKind::window_5min;
  int64_t second = 0;         // the second that writes it
  int32_t zeros = 0;          // the window's counts
  int32_t ones = 0;
  int32_t average = 0;        // the window's average deviation in its leaning direction
  double global_one = 0.0;    // global averages (15-minute records)
  double global_zero = 0.0;
  int32_t cycles = 0;         // completed cycles (cycle records)
};

// The experiment's windows and accumulators, fed one second at a time.
class LogModel {
 public:
  // Add a second (numbered from 1) with its ones; append the records it writes to `due`.
  void add_second(int64_t second, int32_t ones, std::vector<ExpectedRecord>& due);

 private:
  struct Window {
    int32_t zeros = 0, ones = 0;          // bits of the window
    int32_t lean_zero = 0, lean_one = 0;  // seconds leaning each way
    int32_t dev_zero = 0, dev_one = 0;    // deviation sums
  };
  static void add_to(Window& window, int32_t zeros, int32_t ones);
  ExpectedRecord close_15min(int64_t second);
  ExpectedRecord close_5min(int64_t second);
  Window window_5min_;
  Window window_15min_;
  int32_t global_dev_zero_ = 0;
  float global_dev_one_ = 0.0f;
  int32_t checkpoints_zero_ = 0;
  uint64_t checkpoints_one_ = 0;
  int32_t cycles_ = 0;
};

// Render a record's lines (without CR LF) with the given stamp ("mm-dd-yyyy", "hh:mm:ss").
std::vector<std::string> render_record(const ExpectedRecord& record, const std::string& date,
                                       const std::string& time);

// Return the first second after `second` that writes a record.
int64_t next_record_second(int64_t second);
