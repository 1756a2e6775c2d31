// The check of a study log against the replay of a seed, second by second.
//
// Every record of the log is compared with the record the replay writes at
// the same second, with the log's own date and time put in, through the
// SHA-256 of its lines (a line that differs is read again from the file and
// shown as it is);
// the seconds are handed on as data-folder rows, each with the wall time its
// records give it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "study/data_folder.h"
#include "study/study_log_records.h"

// What a check found.
struct LogCheckResult {
  bool agrees = true;           // every record checked agrees
  bool stopped = false;         // the row consumer asked to stop (a write failed)
  int64_t records_checked = 0;  // records compared
  int64_t line = 0;             // the first line that disagrees (0: none)
  std::string found;            // that line as the log has it
  std::string expected;         // that line as the replay gives it
};

// Receives a row and its bits (null unless asked for); returns false to stop.
using SecondSink = std::function<bool(const SecondRow& row, const uint8_t* bits)>;

// The wall time of each second, from the records' stamps.
class SecondTimes {
 public:
  // Take the stamps of the log's records; `start` (local wall seconds, -1: none) serves
  // when no record has a stamp, and tells the first record's day.
  SecondTimes(const StudyLogText& log, int64_t start);
  // Return the wall time and its source for a second; seconds must come in increasing order.
  std::pair<int64_t, TimeSource> time_of(int64_t second);
  // Return the stamped seconds: (second, local wall seconds of its record's stamp), increasing.
  const std::vector<std::pair<int64_t, int64_t>>& anchors() const { return anchors_; }

 private:
  std::vector<std::pair<int64_t, int64_t>> anchors_;  // (second, stamp), increasing seconds
  size_t at_ = 0;                                     // latest anchor at or before the second
  int64_t start_;
};

// Return the second that writes each record of the log (0 where the schedule has no such record).
std::vector<int64_t> record_seconds(const StudyLogText& log);

// Return the second of the log's last record (0 when it has none).
int64_t last_record_second(const StudyLogText& log);

// Replay `seed` for `seconds` seconds and compare the log's records; hand each row to `sink`
// (may be empty) with its bits when `with_bits`. `start`: as for SecondTimes.
LogCheckResult check_log(const StudyLogText& log, uint32_t seed, int64_t seconds, bool with_bits,
                         int64_t start, const SecondSink& sink);
