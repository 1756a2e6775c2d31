// Where the seconds of a run fall in time: each second's moment (UTC) and the
// local time a clock on the wall showed then.
//
// The seconds are paced by a steady timer, so with a provenance record a
// second's moment is the start's moment plus its number; a bare log gives
// moments through its records' stamps, read in a zone the user names. Local
// times follow from the moments by the zone's rules where this machine knows
// the zone, else by the UTC offsets the records' stamps show (zones change at
// whole hours, so a jump between two records places the change). Either way
// no local time is one the zone never showed, and every offset used is kept
// in an OffsetTable for the data folder.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "study/local_time.h"
#include "study/result.h"

// What a run's provenance record says of its times.
struct RunTimes {
  bool known = false;        // the record gives the start and its UTC offset
  int64_t start_utc = 0;     // the moment of the start (second 1)
  int32_t start_offset = 0;  // minutes ahead of UTC then
  bool end_known = false;    // the record gives the end and its offset too
  int64_t end_utc = 0;
  int32_t end_offset = 0;
  std::string zone;          // the zone the record names ("" none)
};

// Read the times of a run's provenance record (start_local, utc_offset_minutes, …).
RunTimes run_times(const nlohmann::json& run);

// The places of a run's seconds, asked for in increasing order.
class SecondPlaces {
 public:
  // Place the seconds from the run's start; `anchors` are the records' (second, local stamp).
  // Uses the zone's rules when this machine knows the zone and they give the recorded offset
  // at the start, else the offsets of the stamps.
  void from_start(const RunTimes& run, const std::vector<std::pair<int64_t, int64_t>>& anchors);
  // Place the seconds of a bare log by its records' stamps read in the zone `zone` ("" the
  // machine's own, named `own_name`); fails when the zone is unknown here (EXIT_USAGE when it was
  // named) or no record has a stamp.
  Result<> from_stamps(const std::string& zone, const std::string& own_name,
                       const std::vector<std::pair<int64_t, int64_t>>& anchors);
  // Return (moment, local calendar seconds) of a second, and note its offset in the table.
  std::pair<int64_t, int64_t> place(int64_t second);
  // Return the zone, the way local times are worked out and the offsets used so far.
  const OffsetTable& table() const { return table_; }

 private:
  int64_t moment_of(int64_t second);
  int32_t record_offset(int64_t utc);
  std::vector<std::pair<int64_t, int64_t>> moments_;  // (second, moment) of the stamps, bare logs
  std::vector<std::pair<int64_t, int32_t>> seen_;     // (moment, offset) the stamps show
  size_t at_ = 0;                                     // latest moment anchor at or before the second
  size_t seen_at_ = 0;                                // first offset seen after the last moment asked
  bool by_start_ = false;
  int64_t start_utc_ = 0;
  OffsetTable table_;
};
